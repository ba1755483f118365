#pragma once

// Plots the thickness profile of the current boundary between the rims,
// with the rim, centre and wall markers. Rebuilt each time it is shown.

#include <QDialog>

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

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    Ui::DistanceGraphDialogClass* ui;
};
