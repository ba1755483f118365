#include "ImageFileTestSupport.h"

#include <cstdlib>

#include <QBuffer>
#include <QColor>
#include <QFile>

namespace quorrel::test {

namespace {

void appendU8(QByteArray& bytes, unsigned value)
{
    bytes.append(static_cast<char>(value & 0xff));
}

void appendU16(QByteArray& bytes, unsigned value)
{
    appendU8(bytes, value);
    appendU8(bytes, value >> 8);
}

void appendU32(QByteArray& bytes, std::uint32_t value)
{
    appendU16(bytes, value & 0xffff);
    appendU16(bytes, value >> 16);
}

void appendBgr(QByteArray& bytes, QRgb colour)
{
    appendU8(bytes, qBlue(colour));
    appendU8(bytes, qGreen(colour));
    appendU8(bytes, qRed(colour));
}

QByteArray bgrRows(const QImage& picture, bool topFirst)
{
    QByteArray rows;
    for (int i = 0; i < picture.height(); ++i) {
        const int y = topFirst ? i : picture.height() - 1 - i;
        for (int x = 0; x < picture.width(); ++x)
            appendBgr(rows, picture.pixel(x, y));
        while (rows.size() % 4 != 0)
            appendU8(rows, 0);
    }
    return rows;
}

} // namespace

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

QByteArray bmpHeaders(int width, int height, int bitCount, int compression, int headerSize, int paletteBytes,
                      int pixelBytes)
{
    QByteArray bytes("BM");
    const int dataOffset = 14 + headerSize + paletteBytes;
    for (int value : {dataOffset + pixelBytes, 0, dataOffset, headerSize, width, height})
        appendU32(bytes, static_cast<std::uint32_t>(value));
    appendU16(bytes, 1);
    appendU16(bytes, static_cast<unsigned>(bitCount));
    for (int value : {compression, pixelBytes, 2835, 2835, 0, 0})
        appendU32(bytes, static_cast<std::uint32_t>(value));
    if (headerSize == 124) {
        bytes.append(QByteArray(16, '\0')); // no colour masks
        appendU32(bytes, 0x73524742); // 'sRGB'
        bytes.append(QByteArray(48, '\0')); // end points and gammas, unused with sRGB
        appendU32(bytes, 4); // rendering intent: pictures
        bytes.append(QByteArray(12, '\0')); // no profile
    }
    return bytes;
}

QByteArray bmp24(const QImage& picture, bool version5, bool topDown)
{
    const QByteArray rows = bgrRows(picture, topDown);
    return bmpHeaders(picture.width(), topDown ? -picture.height() : picture.height(), 24, 0, version5 ? 124 : 40, 0,
                      rows.size())
        + rows;
}

QByteArray bmpRle8(const QImage& indexed)
{
    QByteArray runs;
    for (int y = indexed.height() - 1; y >= 0; --y) {
        for (int x = 0; x < indexed.width();) {
            int length = 1;
            while (x + length < indexed.width() && indexed.pixelIndex(x + length, y) == indexed.pixelIndex(x, y))
                ++length;
            appendU8(runs, static_cast<unsigned>(length));
            appendU8(runs, static_cast<unsigned>(indexed.pixelIndex(x, y)));
            x += length;
        }
        appendU16(runs, 0); // end of row
    }
    appendU8(runs, 0);
    appendU8(runs, 1); // end of picture
    QByteArray bytes = bmpHeaders(indexed.width(), indexed.height(), 8, 1, 40, 256 * 4, runs.size());
    for (int entry = 0; entry < 256; ++entry) {
        appendBgr(bytes, entry < indexed.colorCount() ? indexed.color(entry) : 0);
        appendU8(bytes, 0);
    }
    return bytes + runs;
}

QByteArray tga(const QImage& picture, int imageType, bool topLeft)
{
    const bool mapped = (imageType & 7) == 1;
    const bool grey = (imageType & 7) == 3;
    QByteArray bytes;
    appendU8(bytes, 0);
    appendU8(bytes, mapped ? 1 : 0);
    appendU8(bytes, static_cast<unsigned>(imageType));
    appendU16(bytes, 0);
    appendU16(bytes, mapped ? static_cast<unsigned>(picture.colorCount()) : 0);
    appendU8(bytes, mapped ? 24 : 0);
    appendU32(bytes, 0); // x and y origin
    appendU16(bytes, static_cast<unsigned>(picture.width()));
    appendU16(bytes, static_cast<unsigned>(picture.height()));
    appendU8(bytes, mapped || grey ? 8 : 24);
    appendU8(bytes, topLeft ? 0x20 : 0);
    if (mapped) {
        for (QRgb colour : picture.colorTable())
            appendBgr(bytes, colour);
    }

    QByteArray pixels;
    for (int i = 0; i < picture.height(); ++i) {
        const int y = topLeft ? i : picture.height() - 1 - i;
        for (int x = 0; x < picture.width(); ++x) {
            if (mapped)
                appendU8(pixels, static_cast<unsigned>(picture.pixelIndex(x, y)));
            else if (grey)
                appendU8(pixels, static_cast<unsigned>(qGray(picture.pixel(x, y))));
            else
                appendBgr(pixels, picture.pixel(x, y));
        }
    }
    if (!(imageType & 8))
        return bytes + pixels;
    // Pairs of equal pixels become run packets, the others one-pixel raw
    // packets; runs cross row ends as the format allows.
    const int pixelSize = mapped || grey ? 1 : 3;
    const int count = pixels.size() / pixelSize;
    for (int i = 0; i < count;) {
        const QByteArray pixel = pixels.mid(i * pixelSize, pixelSize);
        const bool pair = i + 1 < count && pixels.mid((i + 1) * pixelSize, pixelSize) == pixel;
        appendU8(bytes, pair ? 0x81 : 0x00);
        bytes.append(pixel);
        i += pair ? 2 : 1;
    }
    return bytes;
}

std::wstring writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        ADD_FAILURE() << "cannot write " << path.toStdString();
    return path.toStdWString();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
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
