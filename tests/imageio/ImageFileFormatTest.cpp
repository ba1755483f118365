#include <cstring>
#include <vector>

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "ImageFileTestSupport.h"
#include "imageio/ImageFile.h"

namespace quorrel::test {
namespace {

const QString kDataDir = QStringLiteral(QUORREL_TEST_DATA_DIR "/imageio/");

// 9 × 5 RGBA: red = 20·column, green = 40·row from the top, blue = 200,
// alpha = 255 − 20·column; with sixteen bits each sample carries 0xc3 in its
// low byte, which the buffer drops.
QImage alphaPicture(bool sixteenBits)
{
    QImage picture(9, 5, sixteenBits ? QImage::Format_RGBA64 : QImage::Format_RGBA8888);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const auto wide = [](int value) { return static_cast<quint16>(value * 256 + 0xc3); };
            if (sixteenBits)
                picture.setPixelColor(x, y,
                                      QColor::fromRgba64(wide(20 * x), wide(40 * y), wide(200), wide(255 - 20 * x)));
            else
                picture.setPixelColor(x, y, QColor(20 * x, 40 * y, 200, 255 - 20 * x));
        }
    }
    return picture;
}

struct FormatCase {
    QString fileName;
    QByteArray bytes;
    QImage shown;
    int tolerance;
};

QByteArray progressiveJpeg(const QImage& picture)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpg");
    writer.setProgressiveScanWrite(true);
    writer.write(picture);
    return bytes;
}

// The PNG with a gAMA chunk of 1/2.2 after its header, which a decoder may
// take as a request to correct the samples.
QByteArray withGammaChunk(const QByteArray& png)
{
    const QByteArray body = QByteArray("gAMA") + QByteArray::fromHex("0000b18f");
    quint32 crc = 0xffffffffu;
    for (const char byte : body) {
        crc ^= static_cast<quint8>(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    crc = ~crc;
    QByteArray chunk = QByteArray::fromHex("00000004") + body;
    for (const int shift : {24, 16, 8, 0})
        chunk.append(static_cast<char>((crc >> shift) & 0xffu));
    const int afterHeader = 8 + 25; // signature, then the 13-byte IHDR chunk
    return png.left(afterHeader) + chunk + png.mid(afterHeader);
}

std::vector<FormatCase> formatCases()
{
    const QImage gradient = gradientPicture();
    const QImage palette = palettePicture(false);
    const QImage translucentPalette = palettePicture(true);
    const QImage grey = greyPicture();
    const QImage alpha = alphaPicture(false);
    QImage grey16 = greyPicture().convertToFormat(QImage::Format_Grayscale16);
    return {
        {"gradient.png", encodeWithQt(gradient, "png"), gradient, 0},
        {"gradient.JPG", encodeWithQt(gradient, "jpg"), gradient, 12},
        {"gradient.jpeg", encodeWithQt(gradient, "jpg"), gradient, 12},
        {"gradient.jp2", readFile(kDataDir + "gradient.jp2"), gradient, 0},
        {"grey16.Jp2", readFile(kDataDir + "grey16.jp2"), grey, 0},
        {"alpha.jp2", readFile(kDataDir + "alpha.jp2"), alpha, 0},
        {"gradient-windows3.bmp", encodeWithQt(gradient, "bmp"), gradient, 0},
        {"gradient-version5.BMP", bmp24(gradient, true, false), gradient, 0},
        {"gradient-top-down.bmp", bmp24(gradient, false, true), gradient, 0},
        {"palette-rle8.bmp", bmpRle8(palette), palette, 0},
        {"palette-short-table.bmp", encodeWithQt(palette, "bmp"), palette, 0},
        {"gradient.tga", tga(gradient, 2, false), gradient, 0},
        {"gradient-top-left.TGA", tga(gradient, 2, true), gradient, 0},
        {"gradient-rle.tga", tga(gradient, 10, false), gradient, 0},
        {"palette-rle-top-left.tga", tga(palette, 9, true), palette, 0},
        {"grey.tga", tga(grey, 3, false), grey, 0},
        {"grey.png", encodeWithQt(grey, "png"), grey, 0},
        {"palette-with-transparency.png", encodeWithQt(translucentPalette, "png"), translucentPalette, 0},
        {"alpha.png", encodeWithQt(alpha, "png"), alpha, 0},
        {"alpha-16-bit.PNG", encodeWithQt(alphaPicture(true), "png"), alpha, 0},
        {"png-named-as.jpg", encodeWithQt(gradient, "png"), gradient, 0},
        {"grey-16-bit.png", encodeWithQt(grey16, "png"), grey, 0},
        {"mono.png", encodeWithQt(grey.convertToFormat(QImage::Format_Mono), "png"),
         grey.convertToFormat(QImage::Format_Mono), 0},
        {"gamma.png", withGammaChunk(encodeWithQt(gradient, "png")), gradient, 0},
        {"grey.jpg", encodeWithQt(grey, "jpg"), grey, 12},
        {"progressive.jpg", progressiveJpeg(gradient), gradient, 12},
    };
}

TEST(ImageFileFormats, LoadRegion_EveryAcceptedSuffixAndVariant_GivesThePicturesRgba)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const FormatCase& format : formatCases()) {
        SCOPED_TRACE(format.fileName.toStdString());
        ASSERT_FALSE(format.bytes.isEmpty());
        const std::wstring path = writeFile(dir, format.fileName, format.bytes);
        EXPECT_TRUE(showsPicture(loadImageRegion(path, 0, 0, 1, 1), format.shown, format.tolerance));
    }
}

// The check's own decode stands in for the library's where it gives the same
// bytes: whole files and a region of each must come out identical.
TEST(ImageFileFormats, LoadRegion_EveryVariant_GivesTheLibrarysBytes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const FormatCase& format : formatCases()) {
        SCOPED_TRACE(format.fileName.toStdString());
        const std::wstring path = writeFile(dir, format.fileName, format.bytes);
        for (const double start : {0.0, 0.25}) {
            const double size = 1.0 - start;
            const LoadedRegion checked = loadImageRegion(path, start, start, size, size);
            const LoadedRegion library = loadImageRegionThroughLibrary(path, start, start, size, size);
            ASSERT_EQ(checked.status, LoadStatus::Ok);
            ASSERT_EQ(library.status, LoadStatus::Ok);
            ASSERT_EQ(checked.width, library.width);
            ASSERT_EQ(checked.height, library.height);
            EXPECT_EQ(std::memcmp(checked.pixels.get(), library.pixels.get(),
                                  std::size_t{checked.width} * checked.height * 4),
                      0);
        }
    }
}

TEST(ImageFileFormats, LoadRegion_PathWithNonAsciiCharacters_Loads)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Aufnahmen äöü")));
    const std::wstring path =
        writeFile(dir, QStringLiteral("Aufnahmen äöü/Netzhaut-網膜-ü.png"), encodeWithQt(gradientPicture(), "png"));
    EXPECT_TRUE(showsPicture(loadImageRegion(path, 0, 0, 1, 1), gradientPicture()));
}

} // namespace
} // namespace quorrel::test
