#include <cstring>
#include <utility>
#include <vector>

#include <QColor>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "ImageFileTestSupport.h"
#include "imageio/ImageFile.h"

namespace quorrel::test {
namespace {

// 9 × 5 RGBA: red = 20·column, green = 40·row from the top, blue = 200,
// alpha = 255 − 20·column. alpha-16-bit.png holds it with 0xc3 in each
// sample's low byte, which the buffer drops.
QImage alphaPicture()
{
    QImage picture(9, 5, QImage::Format_RGBA8888);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixelColor(x, y, QColor(20 * x, 40 * y, 200, 255 - 20 * x));
    }
    return picture;
}

struct FormatCase {
    QString fileName;
    QByteArray bytes;
    QImage shown;
    int tolerance;
};

std::vector<FormatCase> formatCases()
{
    const QImage gradient = gradientPicture();
    const QImage palette = palettePicture(false);
    const QImage translucentPalette = palettePicture(true);
    const QImage grey = greyPicture();
    const QImage alpha = alphaPicture();
    QImage grey16 = greyPicture().convertToFormat(QImage::Format_Grayscale16);
    return {
        {"gradient.png", encodeWithQt(gradient, "png"), gradient, 0},
        {"gradient.JPG", encodeWithQt(gradient, "jpg"), gradient, 12},
        {"gradient.jpeg", encodeWithQt(gradient, "jpg"), gradient, 12},
        {"gradient.jp2", readFile(dataPath("gradient.jp2")), gradient, 0},
        {"grey16.Jp2", readFile(dataPath("grey16.jp2")), grey, 0},
        {"alpha.jp2", readFile(dataPath("alpha.jp2")), alpha, 0},
        {"gradient-windows3.bmp", encodeWithQt(gradient, "bmp"), gradient, 0},
        {"gradient-version5.BMP", readFile(dataPath("gradient-version5.bmp")), gradient, 0},
        {"gradient-top-down.bmp", readFile(dataPath("gradient-top-down.bmp")), gradient, 0},
        {"palette-rle8.bmp", readFile(dataPath("palette-rle8.bmp")), palette, 0},
        {"palette-short-table.bmp", encodeWithQt(palette, "bmp"), palette, 0},
        {"gradient.tga", readFile(dataPath("gradient.tga")), gradient, 0},
        {"gradient-top-left.TGA", readFile(dataPath("gradient-top-left.tga")), gradient, 0},
        {"gradient-rle.tga", readFile(dataPath("gradient-rle.tga")), gradient, 0},
        {"palette-rle-top-left.tga", readFile(dataPath("palette-rle-top-left.tga")), palette, 0},
        {"grey.tga", readFile(dataPath("grey.tga")), grey, 0},
        {"grey.png", encodeWithQt(grey, "png"), grey, 0},
        {"palette-with-transparency.png", encodeWithQt(translucentPalette, "png"), translucentPalette, 0},
        {"alpha.png", encodeWithQt(alpha, "png"), alpha, 0},
        {"alpha-16-bit.PNG", readFile(dataPath("alpha-16-bit.png")), alpha, 0},
        {"png-named-as.jpg", encodeWithQt(gradient, "png"), gradient, 0},
        {"grey-16-bit.png", encodeWithQt(grey16, "png"), grey, 0},
        {"mono.png", encodeWithQt(grey.convertToFormat(QImage::Format_Mono), "png"),
         grey.convertToFormat(QImage::Format_Mono), 0},
        {"gamma.png", readFile(dataPath("gamma.png")), gradient, 0},
        {"grey.jpg", encodeWithQt(grey, "jpg"), grey, 12},
        {"progressive.jpg", readFile(dataPath("progressive.jpg")), gradient, 12},
    };
}

// Each file shows the picture, and the check's own decode, which stands in
// for the library's where it gives the same bytes, gives them exactly for
// the whole file and for a region of it. PNG and JPEG headers state the
// picture's size ahead of the decode, and whether it is plain grey.
TEST(ImageFileFormats, LoadRegion_EveryAcceptedSuffixAndVariant_GivesThePicturesRgbaAsTheLibraryDoes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const FormatCase& format : formatCases()) {
        SCOPED_TRACE(format.fileName.toStdString());
        ASSERT_FALSE(format.bytes.isEmpty());
        const std::wstring path = writeFile(dir, format.fileName, format.bytes);
        EXPECT_TRUE(showsPicture(loadImageRegion(path, 0, 0, 1, 1), format.shown, format.tolerance));
        StatedPicture stated;
        const bool pngOrJpeg = format.bytes.startsWith("\x89PNG") || format.bytes.startsWith("\xff\xd8");
        ASSERT_EQ(statePicture(path, stated), pngOrJpeg);
        if (pngOrJpeg) {
            EXPECT_EQ(std::make_pair(stated.width, stated.height),
                      std::make_pair(std::uint32_t(format.shown.width()), std::uint32_t(format.shown.height())));
            EXPECT_EQ(stated.grey, format.fileName.startsWith("grey"));
        }
        for (const double start : {0.0, 0.25}) {
            const LoadedRegion checked = loadImageRegion(path, start, start, 1.0 - start, 1.0 - start);
            const LoadedRegion library = loadImageRegionThroughLibrary(path, start, start, 1.0 - start, 1.0 - start);
            ASSERT_EQ(checked.status, LoadStatus::Ok);
            ASSERT_EQ(library.status, LoadStatus::Ok);
            ASSERT_EQ(std::make_pair(checked.width, checked.height), std::make_pair(library.width, library.height));
            EXPECT_EQ(std::memcmp(checked.pixels.get(), library.pixels.get(),
                                  std::size_t{checked.width} * checked.height * 4),
                      0);
        }
    }
}

} // namespace
} // namespace quorrel::test
