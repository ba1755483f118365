// TIFF and DICOM files as device software and image tools write them; the
// files under tests/data/imageio say in their README how they were made.

#include <cmath>

#include <QColor>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "ImageFileTestSupport.h"
#include "imageio/ImageFile.h"

namespace quorrel::test {
namespace {

constexpr int kWidth = 37; // neither strips of 4 rows nor tiles of 16 fit evenly
constexpr int kHeight = 23;

int byteSample(int x, int y, int c)
{
    return (x * 17 + y * 29 + c * 61) & 0xff;
}

// The RGBA picture that 8-bit samples of a page with these channels show.
QImage shownPicture(int channels, bool minIsWhite)
{
    QImage picture(kWidth, kHeight, QImage::Format_RGBA8888);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const auto colour = [&](int c) { return minIsWhite ? 255 - byteSample(x, y, c) : byteSample(x, y, c); };
            const bool rgb = channels >= 3;
            const int alpha = channels == 2 || channels == 4 ? byteSample(x, y, channels - 1) : 255;
            picture.setPixelColor(x, y, QColor(colour(0), colour(rgb ? 1 : 0), colour(rgb ? 2 : 0), alpha));
        }
    }
    return picture;
}

int windowed(int columnSteps)
{
    return static_cast<int>(std::lround(255.0 * columnSteps / 39.0));
}

// layouts.tif: strips then 16 x 16 tiles; 1 to 4 channels, interleaved then
// planar; compressed in turn none, LZW, deflate, PackBits; last a
// min-is-white page. The multi-page file also holds the asked page.
TEST(TiffFiles, LoadRegion_EveryLayoutAndCompressionPage_GivesThePicture)
{
    const std::wstring path = dataPath("layouts.tif");
    std::uint32_t page = 0;
    for (const bool tiled : {false, true}) {
        for (const int channels : {1, 2, 3, 4}) {
            for (const bool planar : {false, true}) {
                if (planar && channels == 1)
                    continue;
                SCOPED_TRACE(testing::Message() << "page " << page << (tiled ? " tiles, " : " strips, ") << channels
                                                << " channels" << (planar ? " planar" : ""));
                const LoadedRegion region = loadImageRegion(path, 0, 0, 1, 1, page++);
                EXPECT_TRUE(showsPicture(region, shownPicture(channels, false)));
                EXPECT_EQ(region.frameCount, 15u);
            }
        }
    }
    EXPECT_TRUE(showsPicture(loadImageRegion(path, 0, 0, 1, 1, 14), shownPicture(1, true)));
    EXPECT_EQ(inspectImageFile(path).frameCount, 15u);
    const LoadedRegion pastEnd = loadImageRegion(path, 0, 0, 1, 1, 15);
    EXPECT_EQ(pastEnd.status, LoadStatus::DecodeFailed);
    EXPECT_EQ(pastEnd.failure, "page 15 asked for, the TIFF has 15 pages");
}

// 40 x 10, value 1000 + 100 x in every channel but the middle one, which
// runs the other way, with a dead pixel at the top left and a hot one at the
// bottom right: the 0.5 % points of its 400 to 1200 samples are 1000 and
// 4900, so column x shows round(255 x / 39). Alpha is 1000 x + 0xc3.
TEST(TiffFiles, LoadRegion_SixteenBitSamples_WindowedBetweenTheHalfPercentPoints)
{
    for (const int channels : {1, 4}) {
        QImage expected(40, 10, QImage::Format_RGBA8888);
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < 40; ++x) {
                const int rising = x == 0 && y == 0 ? 0 : x == 39 && y == 9 ? 255 : windowed(x);
                const int falling = x == 0 && y == 0 ? 0 : x == 39 && y == 9 ? 255 : windowed(39 - x);
                const int alpha = x == 0 && y == 0 ? 0 : x == 39 && y == 9 ? 255 : (x * 1000 + 0xc3) >> 8;
                expected.setPixelColor(
                    x, y, channels == 1 ? QColor(rising, rising, rising) : QColor(rising, falling, rising, alpha));
            }
        }
        SCOPED_TRACE(channels);
        EXPECT_TRUE(
            showsPicture(loadImageRegion(dataPath("sixteen-bit.tif"), 0, 0, 1, 1, channels == 1 ? 0 : 1), expected));
    }
}

// One page of resolutions.tif each.
TEST(TiffFiles, LoadRegion_ResolutionTags_GiveThePixelSizeInMicrons)
{
    const struct {
        const char* name;
        double lateral;
        double axial;
        PixelSizeSource source;
    } cases[] = {
        {"869.565 x 2564.1 per centimetre", 11.5, 3.9, PixelSizeSource::TiffResolution},
        {"2540 x 5080 per inch", 10.0, 5.0, PixelSizeSource::TiffResolution},
        {"72 per inch, a print setting", 0.0, 0.0, PixelSizeSource::None},
        {"no unit", 0.0, 0.0, PixelSizeSource::None},
        {"ImageJ, unit=micron", 11.5, 3.9, PixelSizeSource::ImageJDescription},
        {"ImageJ, unit=\xc2\xb5m", 2.0, 4.0, PixelSizeSource::ImageJDescription},
        {"ImageJ, unit=pixel", 0.0, 0.0, PixelSizeSource::None},
    };
    std::uint32_t page = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const LoadedRegion region = loadImageRegion(dataPath("resolutions.tif"), 0, 0, 1, 1, page++);
        ASSERT_EQ(region.status, LoadStatus::Ok);
        EXPECT_NEAR(region.pixelSize.lateralMicrons, c.lateral, 1e-4);
        EXPECT_NEAR(region.pixelSize.axialMicrons, c.axial, 1e-4);
        EXPECT_EQ(region.pixelSize.source, c.source);
    }
}

// 12 bits stored: frame f shows column x at round(255 ((x + f) mod 40) / 39);
// 8 bits: frame f shows (25 x + 7 y + 40 f) mod 256.
QImage shownFrame(int bits, bool monochrome1, int frame)
{
    const QSize size = bits == 8 ? QSize(kWidth, kHeight) : QSize(40, 10);
    QImage picture(size, QImage::Format_RGBA8888);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            int grey = bits == 8 ? (x * 25 + y * 7 + frame * 40) & 0xff : windowed((x + frame) % 40);
            if (monochrome1)
                grey = 255 - grey;
            picture.setPixelColor(x, y, QColor(grey, grey, grey));
        }
    }
    return picture;
}

TEST(DicomFiles, LoadRegion_EverySyntaxAndDepth_GivesTheAskedFrame)
{
    const char* const files[] = {
        "frames-explicit-8-mono1.dcm",
        "frames-explicit-16.dcm",
        "frames-implicit-8.dcm",
        "frames-implicit-16-mono1.dcm",
        "frames-big-endian-8-mono1.dcm",
        "frames-big-endian-16.dcm",
        "frames-rle-8.dcm",
        "frames-rle-16-mono1.dcm",
        "frames-jpeg-lossless-8-mono1.dcm",
        "frames-jpeg-lossless-16.dcm",
        "frames-jpeg-ls-8.dcm",
        "frames-jpeg-ls-16-mono1.dcm",
    };
    for (const QString name : files) {
        SCOPED_TRACE(name.toStdString());
        const int bits = name.contains("-16") ? 16 : 8;
        for (int frame = 0; frame < 3; ++frame) {
            const LoadedRegion region = loadImageRegion(dataPath(name), 0, 0, 1, 1, static_cast<std::uint32_t>(frame));
            EXPECT_TRUE(showsPicture(region, shownFrame(bits, name.contains("mono1"), frame))) << "frame " << frame;
            EXPECT_EQ(region.frameCount, 3u);
        }
    }
}

TEST(DicomFiles, LoadRegion_PixelSpacingOrMeasures_GiveLateralFromColumnsAndAxialFromRows)
{
    const struct {
        QString file;
        double lateral;
        double axial;
        PixelSizeSource source;
        std::string problem;
    } cases[] = {
        {"frames-implicit-8.dcm", 11.5, 3.9, PixelSizeSource::DicomPixelMeasures, ""}, // shared 0.0039\0.0115
        {"spacing-per-frame.dcm", 12.0, 4.0, PixelSizeSource::DicomPixelMeasures, ""}, // 0.004\0.012
        {"spacing-plain.dcm", 11.5, 3.9, PixelSizeSource::DicomPixelSpacing, ""},
        {"spacing-none.dcm", 0.0, 0.0, PixelSizeSource::None, "the DICOM file gives no Pixel Spacing"},
        {"spacing-zero.dcm", 0.0, 0.0, PixelSizeSource::None,
         "the DICOM Pixel Spacing is zero, negative or incomplete"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        const LoadedRegion region = loadImageRegion(dataPath(c.file), 0, 0, 1, 1, 1);
        ASSERT_EQ(region.status, LoadStatus::Ok);
        EXPECT_NEAR(region.pixelSize.lateralMicrons, c.lateral, 1e-9);
        EXPECT_NEAR(region.pixelSize.axialMicrons, c.axial, 1e-9);
        EXPECT_EQ(region.pixelSize.source, c.source);
        EXPECT_EQ(region.pixelSize.problem, c.problem);
    }
}

TEST(DicomFiles, LoadRegion_FileWithoutSuffix_ReadByItsPreamble)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::wstring path = writeFile(dir, QStringLiteral("IM000001"), readFile(dataPath("frames-jpeg-ls-8.dcm")));
    EXPECT_EQ(inspectImageFile(path).frameCount, 3u);
    EXPECT_TRUE(showsPicture(loadImageRegion(path, 0, 0, 1, 1, 2), shownFrame(8, false, 2)));
}

// Damaged files: ImageFileRefusal; a DICOM frame past the last: the command's
// test.
TEST(TiffAndDicomFiles, LoadRegion_UnreadVariantOrPastTheLastFrame_RefusedWithReason)
{
    const struct {
        QString name;
        std::uint32_t frame;
        std::string failure;
    } cases[] = {
        {"float.tif", 0, "TIFF with 32-bit samples (read are 8 and 16 bits)"},
        {"jpeg2000.dcm", 0,
         "DICOM compressed as JPEG 2000 (Lossless only) (1.2.840.10008.1.2.4.90), which cannot be decoded here"},
        {"gamma.png", 1, "frame 1 asked for, the file holds one picture (frame 0)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        const LoadedRegion region = loadImageRegion(dataPath(c.name), 0, 0, 1, 1, c.frame);
        EXPECT_EQ(region.status, LoadStatus::DecodeFailed);
        EXPECT_EQ(region.pixels, nullptr);
        EXPECT_EQ(region.failure, c.failure);
    }
}

} // namespace
} // namespace quorrel::test
