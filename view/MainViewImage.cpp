#include "view/MainViewWidget.h"

#include <QMessageBox>

#include "imageio/ImageFile.h"
#include "view/BusyCursor.h"

bool MainViewWidget::loadImage(const std::wstring& path, double x0, double y0, double width, double height)
{
    imageCut = false;
    makeCurrent();
    if (textureId != 0) {
        GLuint name = textureId;
        glDeleteTextures(1, &name);
        textureId = 0;
    }

    quorrel::LoadedRegion region;
    {
        BusyCursor busy;
        region = quorrel::loadImageRegion(path, x0, y0, width, height);
    }
    if (region.status == quorrel::LoadStatus::NoImageName)
        return false;

    pixels.reset();
    if (region.status == quorrel::LoadStatus::AllocationFailed) {
        // Without a word the user would be left looking at an empty view.
        QMessageBox::warning(this, tr("Warning"), tr("Failed to load image!!!"), QMessageBox::Ok);
        return false;
    }

    if (region.status == quorrel::LoadStatus::DecodeFailed) {
        QMessageBox::warning(this, tr("Warning"), tr("Failed to load image!!!"), QMessageBox::Ok);
    } else {
        GLuint name = 0;
        glGenTextures(1, &name);
        if (name == 0) {
            QMessageBox::warning(this, tr("Warning"), tr("Failed to create texture!!!"), QMessageBox::Ok);
            return false;
        }
        textureId = name;
        imageWidth = region.width;
        imageHeight = region.height;
        pixels = std::move(region.pixels);
        uploadTexture();
    }

    imagePath = path;
    m_currentBoundaryIndex = -1;
    selectedReferencePointIndex = -1;
    imageOffset = imageDisplayMode == quorrel::OriginalSize ? centringOffset() : Point2d{};
    return true;
}

void MainViewWidget::uploadTexture()
{
    if (!pixels || textureId == 0)
        return;
    makeCurrent();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, textureId);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(imageWidth), static_cast<GLsizei>(imageHeight), 0,
                 GL_RGBA, GL_UNSIGNED_BYTE, pixels.get());
    glBindTexture(GL_TEXTURE_2D, 0);
    // The toolkit's text drawing uploads its glyphs with the default alignment.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

bool MainViewWidget::saveImage(const std::wstring& path)
{
    if (!pixels)
        return false;
    return quorrel::saveRgbaImage(path, pixels.get(), imageWidth, imageHeight);
}
