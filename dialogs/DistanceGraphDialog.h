#pragma once

// Plots the thickness profile of a boundary between the rims, with the rim,
// centre and wall markers. The window hands the boundary in before showing
// it; the plot is rebuilt each time it is shown.

#include <QDialog>

#include "analysis/GraphSeries.h"

namespace Ui {
class DistanceGraphDialogClass;
}
class QCustomPlot;

class DistanceGraphDialog : public QDialog {
    Q_OBJECT

public:
    explicit DistanceGraphDialog(QWidget* parent = nullptr);
    ~DistanceGraphDialog() override;

    QCustomPlot* plot() const;
    // The boundary to plot at the next show; none (or one without A, C and E)
    // gives an empty plot. Nothing of it is kept but what is plotted.
    void setBoundary(const quorrel::Boundary* boundary);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    Ui::DistanceGraphDialogClass* m_ui;
    quorrel::DistanceProfile m_profile;
};
