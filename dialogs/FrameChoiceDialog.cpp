#include "dialogs/FrameChoiceDialog.h"

#include <algorithm>
#include <climits>

#include <QImage>
#include <QPixmap>

#include "imageio/ImageFile.h"
#include "ui_FrameChoiceDialog.h"
#include "view/BusyCursor.h"

namespace {

constexpr int kThumbnailSide = 256;

} // namespace

FrameChoiceDialog::FrameChoiceDialog(const std::wstring& path, std::uint32_t frameCount, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::FrameChoiceDialogClass)
    , path(path)
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
    quorrel::LoadedRegion region;
    {
        BusyCursor busy;
        region = quorrel::loadImageRegion(path, 0.0, 0.0, 1.0, 1.0, static_cast<std::uint32_t>(frame));
    }
    if (region.status != quorrel::LoadStatus::Ok || !region.pixels) {
        ui->thumbnailLabel_->setPixmap(QPixmap());
        ui->thumbnailLabel_->setText(tr("This frame cannot be read."));
        return;
    }
    // The buffer holds the bottom row first.
    const QImage frameImage(region.pixels.get(), static_cast<int>(region.width), static_cast<int>(region.height),
                            static_cast<int>(region.width) * 4, QImage::Format_RGBA8888);
    const QImage thumbnail =
        frameImage.mirrored().scaled(kThumbnailSide, kThumbnailSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    ui->thumbnailLabel_->setPixmap(QPixmap::fromImage(thumbnail));
}
