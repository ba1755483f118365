#pragma once

// Plots how fast the thickness changes along a boundary's resampled profile:
// forward differences of the once-smoothed distances. The window hands the
// boundary in before showing it; the plot is rebuilt each time it is shown.

#include <cstddef>

#include <QDialog>

#include "analysis/GraphSeries.h"

namespace Ui {
class DifferentiateGraphDialogClass;
}
class QCustomPlot;

class DifferentiateGraphDialog : public QDialog {
    Q_OBJECT

public:
    explicit DifferentiateGraphDialog(QWidget* parent = nullptr);
    ~DifferentiateGraphDialog() override;

    QCustomPlot* plot() const;
    // The boundary to plot at the next show; none gives an empty plot.
    // Nothing of it is kept but what is plotted.
    void setBoundary(const quorrel::Boundary* boundary);

protected:
    void showEvent(QShowEvent* event) override;

private:
    Ui::DifferentiateGraphDialogClass* m_ui;
    quorrel::DifferenceProfile m_profile;
    std::size_t m_distanceCount = 0;
};
