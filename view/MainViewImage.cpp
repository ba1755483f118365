#include "view/MainViewWidget.h"

#include <QMessageBox>

#include "imageio/ImageFile.h"
#include "view/BusyCursor.h"

namespace {

// The text stays the one every failed load shows; what the decoder could tell
// more ("frame 5 asked for, ...") goes below it.
void showLoadFailure(QWidget* parent, const std::string& failure)
{
    QMessageBox box(QMessageBox::Warning, MainViewWidget::tr("Warning"), MainViewWidget::tr("Failed to load image!!!"),
                    QMessageBox::Ok, parent);
    if (!failure.empty())
        box.setInformativeText(QString::fromStdString(failure));
    box.exec();
}

} // namespace

void MainViewWidget::selectImageFrame(const std::wstring& path, std::uint32_t frame)
{
    m_frameSelectionPath = path;
    m_selectedFrame = frame;
}

bool MainViewWidget::loadImage(const std::wstring& path, double x0, double y0, double width, double height)
{
    m_imageCut = false;
    makeCurrent();
    if (m_textureId != 0) {
        GLuint name = m_textureId;
        glDeleteTextures(1, &name);
        m_textureId = 0;
    }

    const std::uint32_t frame = path == m_frameSelectionPath ? m_selectedFrame : 0;
    quorrel::LoadedRegion region;
    {
        BusyCursor busy;
        region = quorrel::loadImageRegion(path, x0, y0, width, height, frame);
    }
    if (region.status == quorrel::LoadStatus::NoImageName)
        return false;

    m_pixels.reset();
    m_filePixelSize = quorrel::FilePixelSize{};
    if (region.status == quorrel::LoadStatus::AllocationFailed) {
        // Without a word the user would be left looking at an empty view.
        QMessageBox::warning(this, tr("Warning"), tr("Failed to load image!!!"), QMessageBox::Ok);
        return false;
    }

    if (region.status == quorrel::LoadStatus::DecodeFailed) {
        showLoadFailure(this, region.failure);
    } else {
        GLuint name = 0;
        glGenTextures(1, &name);
        if (name == 0) {
            QMessageBox::warning(this, tr("Warning"), tr("Failed to create texture!!!"), QMessageBox::Ok);
            return false;
        }
        m_textureId = name;
        m_imageWidth = region.width;
        m_imageHeight = region.height;
        m_pixels = std::move(region.pixels);
        m_imageFrame = frame;
        m_filePixelSize = region.pixelSize;
        uploadTexture();
    }

    m_imagePath = path;
    m_currentBoundaryIndex = -1;
    m_selectedReferencePointIndex = -1;
    m_imageOffset = m_imageDisplayMode == ImageDisplayMode::OriginalSize ? centringOffset() : Point2d{};
    return true;
}

void MainViewWidget::uploadTexture()
{
    if (!m_pixels || m_textureId == 0)
        return;
    makeCurrent();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, m_textureId);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(m_imageWidth), static_cast<GLsizei>(m_imageHeight), 0,
                 GL_RGBA, GL_UNSIGNED_BYTE, m_pixels.get());
    glBindTexture(GL_TEXTURE_2D, 0);
    // The toolkit's text drawing uploads its glyphs with the default alignment.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

bool MainViewWidget::saveImage(const std::wstring& path)
{
    if (!m_pixels)
        return false;
    return quorrel::saveRgbaImage(path, m_pixels.get(), m_imageWidth, m_imageHeight);
}
