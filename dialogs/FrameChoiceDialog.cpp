#include "dialogs/FrameChoiceDialog.h"

#include <algorithm>
#include <climits>

#include <QPixmap>

#include "ui_FrameChoiceDialog.h"

namespace {

constexpr int kThumbnailSide = 256;

} // namespace

FrameChoiceDialog::FrameChoiceDialog(std::uint32_t frameCount, FramePicture framePicture, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::FrameChoiceDialogClass)
    , framePicture(std::move(framePicture))
{
    ui->setupUi(this);
    const int last = static_cast<int>(std::min<std::uint32_t>(std::max<std::uint32_t>(frameCount, 1) - 1, INT_MAX));
    ui->frameCountLabel_->setText(tr("of 0 to %1").arg(last));
    const QSignalBlocker blocker(ui->frameSpinBox_);
    ui->frameSpinBox_->setRange(0, last);
    ui->frameSpinBox_->setValue(static_cast<int>(frameCount / 2));
    on_frameValueChanged(ui->frameSpinBox_->value());
}

FrameChoiceDialog::~FrameChoiceDialog()
{
    delete ui;
}

std::uint32_t FrameChoiceDialog::chosenFrame() const
{
    return static_cast<std::uint32_t>(ui->frameSpinBox_->value());
}

bool FrameChoiceDialog::showsThumbnail() const
{
    return !ui->thumbnailLabel_->pixmap(Qt::ReturnByValue).isNull();
}

void FrameChoiceDialog::on_frameValueChanged(int frame)
{
    const QImage picture = framePicture ? framePicture(static_cast<std::uint32_t>(frame)) : QImage();
    if (picture.isNull()) {
        ui->thumbnailLabel_->setPixmap(QPixmap());
        ui->thumbnailLabel_->setText(tr("This frame cannot be read."));
        return;
    }
    ui->thumbnailLabel_->setPixmap(QPixmap::fromImage(
        picture.scaled(kThumbnailSide, kThumbnailSide, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}
