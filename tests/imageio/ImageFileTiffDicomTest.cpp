#include <cmath>

#include <QColor>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <tiffio.h>

#include <dcmtk/config/osconfig.h>

#include <dcmtk/dcmdata/dcxfer.h>

#include "ImageFileTestSupport.h"
#include "TiffDicomWriters.h"
#include "imageio/ImageFile.h"

namespace quorrel::test {
namespace {

constexpr int kWidth = 37; // neither strips of 4 rows nor tiles of 16 fit evenly
constexpr int kHeight = 23;

std::uint16_t byteSample(int x, int y, int c)
{
    return static_cast<std::uint16_t>((x * 17 + y * 29 + c * 61) & 0xff);
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

TiffPage bytePage(int channels)
{
    TiffPage page;
    page.width = kWidth;
    page.height = kHeight;
    page.channels = channels;
    page.photometric = channels >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    page.sample = byteSample;
    return page;
}

// 40 x 10, value 1000 + 100 x in every channel but the middle one, which
// runs the other way, with a dead pixel at the top left and a hot one at the
// bottom right: the 0.5 % points of its 400 to 1200 samples are 1000 and
// 4900, so column x shows round(255 x / 39).
std::uint16_t wordSample(int x, int y, int c)
{
    if (x == 0 && y == 0)
        return 0;
    if (x == 39 && y == 9)
        return 65535;
    if (c == 3)
        return static_cast<std::uint16_t>(x * 1000 + 0xc3); // alpha: high byte 3.9 x
    return static_cast<std::uint16_t>(1000 + 100 * (c == 1 ? 39 - x : x));
}

int windowed(int columnSteps)
{
    return static_cast<int>(std::lround(255.0 * columnSteps / 39.0));
}

TEST(TiffFiles, LoadRegion_EveryLayoutAndCompression_GivesThePicture)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const std::uint16_t compression :
         {COMPRESSION_NONE, COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE, COMPRESSION_PACKBITS}) {
        for (const bool tiled : {false, true}) {
            for (const int channels : {1, 2, 3, 4}) {
                for (const bool planar : {false, true}) {
                    if (planar && channels == 1)
                        continue;
                    TiffPage page = bytePage(channels);
                    page.compression = compression;
                    page.tiled = tiled;
                    page.planar = planar;
                    SCOPED_TRACE(testing::Message() << "compression " << compression << (tiled ? " tiles" : " strips")
                                                    << ", " << channels << " channels" << (planar ? " planar" : ""));
                    const std::wstring path = writeFile(dir, QStringLiteral("page.tif"), tiffFile({page}));
                    EXPECT_TRUE(showsPicture(loadImageRegion(path, 0, 0, 1, 1), shownPicture(channels, false)));
                }
            }
        }
    }
    TiffPage white = bytePage(1);
    white.photometric = PHOTOMETRIC_MINISWHITE;
    EXPECT_TRUE(
        showsPicture(loadImageRegion(writeFile(dir, QStringLiteral("white.TIFF"), tiffFile({white})), 0, 0, 1, 1),
                     shownPicture(1, true)));
}

TEST(TiffFiles, LoadRegion_SixteenBitSamples_WindowedBetweenTheHalfPercentPoints)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const int channels : {1, 4}) {
        TiffPage page;
        page.width = 40;
        page.height = 10;
        page.bits = 16;
        page.channels = channels;
        page.photometric = channels == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB;
        page.compression = COMPRESSION_LZW;
        page.sample = wordSample;
        QImage expected(40, 10, QImage::Format_RGBA8888);
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < 40; ++x) {
                const int rising = x == 0 && y == 0 ? 0 : x == 39 && y == 9 ? 255 : windowed(x);
                const int falling = x == 0 && y == 0 ? 0 : x == 39 && y == 9 ? 255 : windowed(39 - x);
                expected.setPixelColor(x, y,
                                       channels == 1 ? QColor(rising, rising, rising)
                                                     : QColor(rising, falling, rising, wordSample(x, y, 3) >> 8));
            }
        }
        SCOPED_TRACE(channels);
        const std::wstring path = writeFile(dir, QStringLiteral("wide.tif"), tiffFile({page}));
        EXPECT_TRUE(showsPicture(loadImageRegion(path, 0, 0, 1, 1), expected));
    }
}

TEST(TiffFiles, LoadRegion_MultiPage_GivesTheAskedPageAndRefusesOnePastTheEnd)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::wstring path =
        writeFile(dir, QStringLiteral("pages.tif"), tiffFile({bytePage(3), bytePage(1), bytePage(4)}));
    EXPECT_EQ(inspectImageFile(path).frameCount, 3u);
    for (std::uint32_t page = 0; page < 3; ++page) {
        const LoadedRegion region = loadImageRegion(path, 0, 0, 1, 1, page);
        EXPECT_TRUE(showsPicture(region, shownPicture(page == 0 ? 3 : page == 1 ? 1 : 4, false)));
        EXPECT_EQ(region.frameCount, 3u);
    }
    const LoadedRegion pastEnd = loadImageRegion(path, 0, 0, 1, 1, 3);
    EXPECT_EQ(pastEnd.status, LoadStatus::DecodeFailed);
    EXPECT_EQ(pastEnd.failure, "page 3 asked for, the TIFF has 3 pages");
}

TEST(TiffFiles, LoadRegion_ResolutionTags_GiveThePixelSizeInMicrons)
{
    struct Case {
        const char* name;
        std::uint16_t unit;
        float x;
        float y;
        std::string description;
        double lateral;
        double axial;
        PixelSizeSource source;
    };
    const Case cases[] = {
        {"centimetres", RESUNIT_CENTIMETER, 869.565f, 2564.1f, "", 11.5, 3.9, PixelSizeSource::TiffResolution},
        {"inches", RESUNIT_INCH, 2540.0f, 5080.0f, "", 10.0, 5.0, PixelSizeSource::TiffResolution},
        {"print setting", RESUNIT_INCH, 72.0f, 72.0f, "", 0.0, 0.0, PixelSizeSource::None},
        {"no unit", RESUNIT_NONE, 2.0f, 4.0f, "", 0.0, 0.0, PixelSizeSource::None},
        {"ImageJ microns", RESUNIT_NONE, 0.0869565f, 0.25641f, "ImageJ=1.54f\nunit=micron\n", 11.5, 3.9,
         PixelSizeSource::ImageJDescription},
        {"ImageJ µm", RESUNIT_NONE, 0.5f, 0.25f, "ImageJ=1.54f\nunit=\xc2\xb5m\nloop=false\n", 2.0, 4.0,
         PixelSizeSource::ImageJDescription},
        {"ImageJ pixels", RESUNIT_NONE, 1.0f, 1.0f, "ImageJ=1.54f\nunit=pixel\n", 0.0, 0.0, PixelSizeSource::None},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TiffPage page = bytePage(1);
        page.resolutionUnit = c.unit;
        page.xResolution = c.x;
        page.yResolution = c.y;
        page.description = c.description;
        const LoadedRegion region =
            loadImageRegion(writeFile(dir, QStringLiteral("calibrated.tif"), tiffFile({page})), 0, 0, 1, 1);
        ASSERT_EQ(region.status, LoadStatus::Ok);
        EXPECT_NEAR(region.pixelSize.lateralMicrons, c.lateral, 1e-4);
        EXPECT_NEAR(region.pixelSize.axialMicrons, c.axial, 1e-4);
        EXPECT_EQ(region.pixelSize.source, c.source);
    }
}

// The file with the directory's width and length (SHORT entries, little
// endian) set to side.
QByteArray withSquareSize(QByteArray bytes, int side)
{
    for (const char* tag : {"\x00\x01\x03\x00\x01\x00\x00\x00", "\x01\x01\x03\x00\x01\x00\x00\x00"}) {
        const int entry = bytes.indexOf(QByteArray(tag, 8));
        if (entry < 0)
            return QByteArray();
        bytes[entry + 8] = static_cast<char>(side & 0xff);
        bytes[entry + 9] = static_cast<char>(side >> 8);
    }
    return bytes;
}

TEST(TiffFiles, LoadRegion_UnreadVariantsOrDamage_Refused)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TiffPage real = bytePage(1);
    real.bits = 32;
    const QByteArray whole = tiffFile({bytePage(3)});
    TiffPage lzw = bytePage(3);
    lzw.compression = COMPRESSION_LZW;
    const QByteArray packed = tiffFile({lzw});
    // Strips first, then the directory: cutting the middle out loses pixels.
    QByteArray missingStrip = packed;
    missingStrip.replace(100, 200, QByteArray(200, '\0'));
    const std::pair<QString, QByteArray> cases[] = {
        {"floating-point.tif", tiffFile({real})},
        {"header-only.tif", whole.left(8)},
        {"cut-in-strips.tif", whole.left(whole.size() / 2)},
        {"zeroed-lzw-strip.tif", missingStrip},
        {"claims-2-to-30.tif", withSquareSize(whole, 32768)},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_FALSE(bytes.isEmpty());
        const LoadedRegion region = loadImageRegion(writeFile(dir, name, bytes), 0, 0, 1, 1);
        EXPECT_EQ(region.status, LoadStatus::DecodeFailed);
        EXPECT_EQ(region.pixels, nullptr);
    }
    EXPECT_EQ(loadImageRegion(writeFile(dir, QStringLiteral("f.tif"), tiffFile({real})), 0, 0, 1, 1).failure,
              "TIFF with 32-bit samples (read are 8 and 16 bits)");
}

// 12 bits stored: frame f shows column x at round(255 ((x + f) mod 40) / 39).
std::uint16_t twelveBitSample(int frame, int x, int)
{
    return static_cast<std::uint16_t>(100 + 100 * ((x + frame) % 40));
}

std::uint16_t byteFrameSample(int frame, int x, int y)
{
    return static_cast<std::uint16_t>((x * 25 + y * 7 + frame * 40) & 0xff);
}

QImage shownFrame(const DicomImage& image, int frame)
{
    QImage picture(image.width, image.height, QImage::Format_RGBA8888);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            int grey = image.bitsAllocated == 8 ? byteFrameSample(frame, x, y) : windowed((x + frame) % 40);
            if (image.monochrome1)
                grey = 255 - grey;
            picture.setPixelColor(x, y, QColor(grey, grey, grey));
        }
    }
    return picture;
}

DicomImage threeFrames(int bits, E_TransferSyntax syntax)
{
    DicomImage image;
    image.width = bits == 8 ? kWidth : 40;
    image.height = bits == 8 ? kHeight : 10;
    image.frames = 3;
    image.bitsAllocated = bits;
    image.bitsStored = bits == 8 ? 8 : 12;
    image.sample = bits == 8 ? byteFrameSample : twelveBitSample;
    image.pixelSpacing = "0.0039\\0.0115";
    image.transferSyntax = syntax;
    return image;
}

TEST(DicomFiles, LoadRegion_EverySyntaxAndDepth_GivesTheAskedFrame)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const E_TransferSyntax syntax : {EXS_LittleEndianExplicit, EXS_LittleEndianImplicit, EXS_BigEndianExplicit,
                                          EXS_RLELossless, EXS_JPEGProcess14SV1, EXS_JPEGLSLossless}) {
        for (const int bits : {8, 16}) {
            for (const bool monochrome1 : {false, true}) {
                DicomImage image = threeFrames(bits, syntax);
                image.monochrome1 = monochrome1;
                SCOPED_TRACE(testing::Message() << DcmXfer(syntax).getXferName() << ", " << bits << " bits"
                                                << (monochrome1 ? ", MONOCHROME1" : ""));
                const std::wstring path = writeFile(dir, QStringLiteral("frames.dcm"), dicomFile(image));
                for (int frame = 0; frame < 3; ++frame) {
                    const LoadedRegion region = loadImageRegion(path, 0, 0, 1, 1, static_cast<std::uint32_t>(frame));
                    EXPECT_TRUE(showsPicture(region, shownFrame(image, frame))) << "frame " << frame;
                    EXPECT_EQ(region.frameCount, 3u);
                }
            }
        }
    }
}

TEST(DicomFiles, LoadRegion_PixelSpacingOrMeasures_GiveLateralFromColumnsAndAxialFromRows)
{
    using Place = DicomImage::SpacingPlace;
    struct Case {
        Place place;
        std::string spacing;
        double lateral;
        double axial;
        PixelSizeSource source;
        std::string problem;
    };
    const Case cases[] = {
        {Place::SharedPixelMeasures, "0.0039\\0.0115", 11.5, 3.9, PixelSizeSource::DicomPixelMeasures, ""},
        {Place::PerFramePixelMeasures, "0.004\\0.012", 12.0, 4.0, PixelSizeSource::DicomPixelMeasures, ""},
        {Place::PixelSpacing, "0.0039\\0.0115", 11.5, 3.9, PixelSizeSource::DicomPixelSpacing, ""},
        {Place::PixelSpacing, "", 0.0, 0.0, PixelSizeSource::None, "the DICOM file gives no Pixel Spacing"},
        {Place::SharedPixelMeasures, "0\\0.0115", 0.0, 0.0, PixelSizeSource::None,
         "the DICOM Pixel Spacing is zero, negative or incomplete"},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.spacing);
        DicomImage image = threeFrames(8, EXS_LittleEndianExplicit);
        image.spacingPlace = c.place;
        image.pixelSpacing = c.spacing;
        const LoadedRegion region =
            loadImageRegion(writeFile(dir, QStringLiteral("spacing.dcm"), dicomFile(image)), 0, 0, 1, 1, 1);
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
    const DicomImage image = threeFrames(8, EXS_LittleEndianExplicit);
    const std::wstring path = writeFile(dir, QStringLiteral("IM000001"), dicomFile(image));
    EXPECT_TRUE(hasDicomPreamble(QString::fromStdWString(path)));
    EXPECT_EQ(inspectImageFile(path).frameCount, 3u);
    EXPECT_TRUE(showsPicture(loadImageRegion(path, 0, 0, 1, 1, 2), shownFrame(image, 2)));
    EXPECT_FALSE(hasDicomPreamble(QString::fromStdWString(writeFile(dir, QStringLiteral("README"), "text"))));
}

TEST(DicomFiles, LoadRegion_DamagedUndecodableOrPastTheLastFrame_RefusedWithReason)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray whole = dicomFile(threeFrames(16, EXS_LittleEndianExplicit));
    const QByteArray jpeg = dicomFile(threeFrames(16, EXS_JPEGProcess14SV1));
    QByteArray oversized = whole;
    // Rows and Columns of 40000 each: (0028,0010) US 2 and (0028,0011) US 2.
    oversized.replace(oversized.indexOf(QByteArray("\x28\x00\x10\x00US\x02\x00", 8)) + 8, 2, "\x40\x9c");
    oversized.replace(oversized.indexOf(QByteArray("\x28\x00\x11\x00US\x02\x00", 8)) + 8, 2, "\x40\x9c");
    const struct {
        QString name;
        QByteArray bytes;
        std::uint32_t frame;
        std::string failure;
    } cases[] = {
        {"frames.dcm", whole, 3, "frame 3 asked for, the DICOM file has 3 frames"},
        {"cut.dcm", whole.left(whole.size() - 100), 0, ""},
        {"cut-jpeg.dcm", jpeg.left(jpeg.size() - 40), 0, ""},
        {"preamble-only.dcm", whole.left(132), 0, ""},
        {"claims-40000-square.dcm", oversized, 0, ""},
        {"jpeg2000.dcm", dicomJpeg2000File(), 0,
         "DICOM compressed as JPEG 2000 (Lossless only) (1.2.840.10008.1.2.4.90), which cannot be decoded here"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        ASSERT_FALSE(c.bytes.isEmpty());
        const LoadedRegion region = loadImageRegion(writeFile(dir, c.name, c.bytes), 0, 0, 1, 1, c.frame);
        EXPECT_EQ(region.status, LoadStatus::DecodeFailed);
        EXPECT_EQ(region.pixels, nullptr);
        EXPECT_EQ(region.failure, c.failure);
    }
    const LoadedRegion png = loadImageRegion(
        writeFile(dir, QStringLiteral("one.png"), encodeWithQt(gradientPicture(), "png")), 0, 0, 1, 1, 1);
    EXPECT_EQ(png.failure, "frame 1 asked for, the file holds one picture (frame 0)");
}

} // namespace
} // namespace quorrel::test
