#pragma once

// Plots how fast the thickness changes along the resampled profile: forward
// differences of the once-smoothed distances. Rebuilt each time it is shown.

#include <QDialog>

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

protected:
    void showEvent(QShowEvent* event) override;

private:
    Ui::DifferentiateGraphDialogClass* ui;
};
