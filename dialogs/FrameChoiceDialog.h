#pragma once

// Asks which frame of a multi-frame DICOM file (or page of a TIFF) to open:
// a spin box counting from 0, starting at the middle frame (on a macular
// volume usually the one through the fovea), and a thumbnail of the frame.

#include <cstdint>
#include <functional>

#include <QDialog>
#include <QImage>

namespace Ui {
class FrameChoiceDialogClass;
}

class FrameChoiceDialog : public QDialog {
    Q_OBJECT

public:
    // The picture of a frame as shown (top row first); a null image when the
    // frame cannot be read.
    using FramePicture = std::function<QImage(std::uint32_t frame)>;

    // frameCount of at least 1.
    FrameChoiceDialog(std::uint32_t frameCount, FramePicture framePicture, QWidget* parent = nullptr);
    ~FrameChoiceDialog() override;

    std::uint32_t chosenFrame() const;
    // The thumbnail shows a picture (the frame could be decoded).
    bool showsThumbnail() const;

protected slots:
    void on_frameValueChanged(int frame);

private:
    Ui::FrameChoiceDialogClass* ui;
    FramePicture framePicture;
};
