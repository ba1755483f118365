#include "view/MainViewWidget.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include <QFileInfo>
#include <QMessageBox>

#include "imageio/ImageFile.h"
#include "view/BusyCursor.h"

// Why a file gave no picture, in words for the second line of the warning,
// where the decoder had nothing more to say.
QString MainViewWidget::loadFailureReason(const QString& path, quorrel::LoadStatus status)
{
    const QFileInfo file(path);
    if (!file.exists())
        return MainViewWidget::tr("the file does not exist");
    if (!file.isFile())
        return MainViewWidget::tr("it is not a file");
    if (!file.isReadable())
        return MainViewWidget::tr("the file may not be read");
    if (file.size() == 0)
        return MainViewWidget::tr("the file is empty");
    switch (status) {
    case quorrel::LoadStatus::NoImageName:
        return MainViewWidget::tr("the image library could not provide an image");
    case quorrel::LoadStatus::AllocationFailed:
        return MainViewWidget::tr("there is not enough memory for the picture");
    case quorrel::LoadStatus::DecodeFailed:
    case quorrel::LoadStatus::Ok:
        break;
    }
    return MainViewWidget::tr("it is not a complete picture in a format that can be read");
}

void MainViewWidget::selectImageFrame(const std::wstring& path, std::uint32_t frame)
{
    m_frameSelectionPath = path;
    m_selectedFrame = frame;
}

bool MainViewWidget::loadImage(const std::wstring& path, double x0, double y0, double width, double height)
{
    if (!replaceImage(path, path == m_frameSelectionPath ? m_selectedFrame : 0, x0, y0, width, height))
        return false;
    m_dragPending = false;
    m_history.clear();
    historyChanged();
    reportStatus(tr("Opened %1, %2 x %3 pixels")
                     .arg(QFileInfo(QString::fromStdWString(path)).fileName())
                     .arg(m_imageWidth)
                     .arg(m_imageHeight));
    if (m_imageOpened)
        m_imageOpened();
    return true;
}

// The first picture this big in the process would get texture storage on
// pages never touched before, which on a virtual machine costs many times
// the upload itself. Only PNG and JPEG files state their size where it can
// be read ahead; the others get no reserve.
quorrel::PictureMemoryReserve MainViewWidget::readyTextureMemory(const std::wstring& path)
{
    quorrel::StatedPicture stated;
    if (!quorrel::statePicture(path, stated))
        return {};
    // A driver may pad rows and the height; the megabyte covers that and the
    // small blocks taken from the freed memory before the texture's.
    const std::uint64_t bytesPerPixel = stated.grey ? 1 : 4;
    const std::uint64_t bytes =
        (std::uint64_t{stated.width} + 64) * bytesPerPixel * (std::uint64_t{stated.height} + 64) + (1u << 20);
    if (bytes <= m_readyTextureBytes || bytes > SIZE_MAX)
        return {};
    m_readyTextureBytes = bytes;
    return quorrel::PictureMemoryReserve(static_cast<std::size_t>(bytes));
}

// Decodes first and replaces the image only when that worked, so that a file
// that cannot be read leaves the picture, its path and the selection as they
// were.
bool MainViewWidget::replaceImage(const std::wstring& path, std::uint32_t frame, double x0, double y0, double width,
                                  double height)
{
    const QString filePath = QString::fromStdWString(path);
    quorrel::LoadedRegion region;
    {
        BusyCursor busy;
        const quorrel::PictureMemoryReserve textureMemory =
            m_textureMemoryReadiedAhead ? readyTextureMemory(path) : quorrel::PictureMemoryReserve();
        region = quorrel::loadImageRegion(path, x0, y0, width, height, frame);
    }
    if (region.status != quorrel::LoadStatus::Ok) {
        const QString fileName = QFileInfo(filePath).fileName();
        const QString reason = region.failure.empty() ? loadFailureReason(filePath, region.status)
                                                      : QString::fromStdString(region.failure);
        QMessageBox::warning(this, tr("Warning"),
                             tr("Failed to load image!!!") + QLatin1Char('\n') + tr("%1: %2").arg(fileName, reason),
                             QMessageBox::Ok);
        reportStatus(tr("Could not open %1").arg(fileName));
        return false;
    }
    return installImage(path, quorrel::ImageOrigin{frame, x0, y0, width, height, {}}, std::move(region));
}

// The decoded picture becomes the one shown; false, changing nothing, when
// no texture can be made for it.
bool MainViewWidget::installImage(const std::wstring& path, const quorrel::ImageOrigin& origin,
                                  quorrel::LoadedRegion region)
{
    makeCurrent();
    GLuint name = m_textureId;
    if (name == 0)
        glGenTextures(1, &name);
    if (name == 0) {
        QMessageBox::warning(this, tr("Warning"), tr("Failed to create texture!!!"), QMessageBox::Ok);
        return false;
    }
    m_textureId = name;
    m_imageCut = false;
    m_imageWidth = region.width;
    m_imageHeight = region.height;
    m_pixels = std::move(region.pixels);
    m_imageFrame = origin.frame;
    m_filePixelSize = region.pixelSize;
    uploadTexture();

    m_imagePath = path;
    m_imageOrigin = origin;
    m_currentBoundaryIndex = -1;
    m_selectedReferencePointIndex = -1;
    m_imageOffset = m_imageDisplayMode == ImageDisplayMode::OriginalSize ? centringOffset() : Point2d{};
    resetCamera();
    return true;
}

namespace {

// Whether every pixel is grey (red, green and blue equal) and opaque. Such a
// picture goes to a luminance texture, a quarter of the bytes, which the
// driver fills from the red channel and which samples to the same red,
// green, blue and alpha.
bool isOpaqueGrey(const std::uint8_t* pixels, std::size_t pixelCount)
{
    for (std::size_t i = 0; i < pixelCount; ++i) {
        const std::uint8_t* pixel = pixels + 4 * i;
        if (pixel[0] != pixel[1] || pixel[0] != pixel[2] || pixel[3] != 255)
            return false;
    }
    return true;
}

} // namespace

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
    // The default wrap repeats the texture, and nearest filtering at the very
    // edge of a row or column then shows the pixel from the opposite edge.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    const auto width = static_cast<GLsizei>(m_imageWidth);
    const auto height = static_cast<GLsizei>(m_imageHeight);
    const bool grey = isOpaqueGrey(m_pixels.get(), std::size_t{m_imageWidth} * std::size_t{m_imageHeight});
    const GLint internalFormat = grey ? GL_LUMINANCE8 : GL_RGBA8;
    const void* data = m_pixels.get();
    // A texture of the same size and kind is overwritten in place, which
    // spares the driver a new allocation of its storage.
    if (width == m_textureWidth && height == m_textureHeight && internalFormat == m_textureFormat) {
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, data);
    } else {
        glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, data);
        const std::uint64_t storageBytes = std::uint64_t{m_imageWidth} * m_imageHeight * (grey ? 1 : 4);
        m_readyTextureBytes = std::max(m_readyTextureBytes, storageBytes);
        m_textureWidth = width;
        m_textureHeight = height;
        m_textureFormat = internalFormat;
    }
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
