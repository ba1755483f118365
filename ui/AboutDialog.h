#pragma once

// The credits box of the Help menu.

#include <QDialog>

namespace Ui {
class AboutDialog;
}

class AboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);
    ~AboutDialog() override;

protected slots:
    void on_okButtonClicked();

private:
    Ui::AboutDialog* m_ui;
};
