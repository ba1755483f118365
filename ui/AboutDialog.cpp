#include "ui/AboutDialog.h"

#include "ui_AboutDialog.h"

AboutDialog::AboutDialog(QWidget* parent)
    : QDialog(parent)
    , m_ui(new Ui::AboutDialog)
{
    m_ui->setupUi(this);
    const QString credits = m_ui->authorsTextEdit->toPlainText();
    m_ui->authorsTextEdit->setPlainText(credits.arg(QStringLiteral(QUORREL_VERSION), QString::fromLatin1(qVersion())));
}

AboutDialog::~AboutDialog()
{
    delete m_ui;
}

void AboutDialog::on_okButtonClicked()
{
    accept();
}
