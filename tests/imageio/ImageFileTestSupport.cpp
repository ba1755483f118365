#include "ImageFileTestSupport.h"

#include <cstdlib>

#include <QBuffer>
#include <QColor>
#include <QFile>

namespace quorrel::test {

QImage gradientPicture()
{
    QImage picture(31, 21, QImage::Format_RGBA8888);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(8 * x, 12 * y, 255 - 4 * x));
    }
    return picture;
}

QImage palettePicture(bool translucent)
{
    QImage picture(9, 5, QImage::Format_Indexed8);
    picture.setColorTable(
        {qRgb(250, 10, 10), qRgb(10, 240, 20), qRgba(30, 40, 200, translucent ? 128 : 255), qRgb(255, 255, 255)});
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, static_cast<uint>((x / 3 + 2 * y) % 4));
    }
    return picture;
}

QImage greyPicture()
{
    QImage picture(9, 5, QImage::Format_Grayscale8);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x)
            picture.scanLine(y)[x] = static_cast<uchar>(25 * x + 7 * y);
    }
    return picture;
}

QByteArray encodeWithQt(const QImage& picture, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, format, 100);
    return bytes;
}

std::wstring dataPath(const QString& name)
{
    return (QStringLiteral(QUORREL_TEST_DATA_DIR "/imageio/") + name).toStdWString();
}

std::wstring writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        ADD_FAILURE() << "cannot write " << path.toStdString();
    return path.toStdWString();
}

QByteArray readFile(const std::wstring& path)
{
    QFile file(QString::fromStdWString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

::testing::AssertionResult showsPicture(const LoadedRegion& region, const QImage& picture, int tolerance)
{
    if (region.status != LoadStatus::Ok || !region.pixels)
        return ::testing::AssertionFailure() << "no pixels, status " << static_cast<int>(region.status);
    if (region.width != static_cast<std::uint32_t>(picture.width())
        || region.height != static_cast<std::uint32_t>(picture.height()))
        return ::testing::AssertionFailure() << "size " << region.width << " x " << region.height;
    const QImage expected = picture.convertToFormat(QImage::Format_RGBA8888);
    for (int y = 0; y < picture.height(); ++y) {
        const uchar* expectedRow = expected.constScanLine(picture.height() - 1 - y);
        const std::uint8_t* row = region.pixels.get() + static_cast<std::size_t>(y) * region.width * 4;
        for (int byte = 0; byte < picture.width() * 4; ++byte) {
            if (std::abs(row[byte] - expectedRow[byte]) > tolerance)
                return ::testing::AssertionFailure()
                    << "pixel " << byte / 4 << ", " << y << " channel " << byte % 4 << ": " << int(row[byte])
                    << " instead of " << int(expectedRow[byte]);
        }
    }
    return ::testing::AssertionSuccess();
}

} // namespace quorrel::test
