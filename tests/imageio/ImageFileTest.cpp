#include <sys/resource.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "ImageFileTestSupport.h"
#include "imageio/ImageFile.h"
#include "imageio/PictureMemory.h"

namespace quorrel::test {
namespace {

// A 100 × 80 file whose pixels name themselves: red = column, green = row
// counted from the bottom.
std::wstring coordinatesFile(const QTemporaryDir& dir)
{
    QImage picture(100, 80, QImage::Format_RGBA8888);
    for (int y = 0; y < 80; ++y) {
        for (int x = 0; x < 100; ++x)
            picture.setPixel(x, y, qRgb(x, 79 - y, 0));
    }
    return writeFile(dir, "coordinates.png", encodeWithQt(picture, "png"));
}

// Column and bottom-counted row of the file that the region's pixel shows.
std::pair<int, int> shown(const LoadedRegion& region, std::uint32_t x, std::uint32_t y)
{
    const std::uint8_t* pixel = region.pixels.get() + (static_cast<std::size_t>(y) * region.width + x) * 4;
    return {pixel[0], pixel[1]};
}

// Fractions of the file: the start rounds half up, the size is cut to the
// file; the last pixel shows the file's pixel as far from the first. A
// region without pixels allocates nothing.
TEST(ImageRegion, LoadRegion_Fractions_RoundHalfUpAndClipToTheFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::wstring path = coordinatesFile(dir);
    const struct {
        const char* meaning;
        double x0, y0, width, height;
        std::uint32_t expectedWidth, expectedHeight;
        std::pair<int, int> firstPixelShows;
    } cases[] = {
        {"whole file: the first four bytes are the bottom left pixel", 0, 0, 1, 1, 100, 80, {0, 0}},
        {"a quarter across, half up", 0.25, 0.5, 0.5, 0.5, 50, 40, {25, 40}},
        {"origin fraction 1.0: last column and row, clipped to one pixel", 1.0, 1.0, 0.5, 0.5, 1, 1, {99, 79}},
        {"trunc(100 * -0.2 + 0.5) = -19, read as unsigned: too large", -0.2, 0, 1, 1, 1, 80, {99, 0}},
        {"trunc(0.6 + 0.5) = 1 and trunc(0.8 + 0.5) = 1", 0.006, 0.01, 0.5, 0.5, 50, 40, {1, 1}},
        {"50 columns from column 90 leave 10", 0.9, 0.0, 0.5, 1.0, 10, 80, {90, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.meaning);
        const LoadedRegion region = loadImageRegion(path, c.x0, c.y0, c.width, c.height);
        ASSERT_EQ(region.status, LoadStatus::Ok);
        EXPECT_EQ(region.width, c.expectedWidth);
        EXPECT_EQ(region.height, c.expectedHeight);
        EXPECT_EQ(shown(region, 0, 0), c.firstPixelShows);
        EXPECT_EQ(shown(region, region.width - 1, region.height - 1),
                  std::make_pair(c.firstPixelShows.first + static_cast<int>(region.width) - 1,
                                 c.firstPixelShows.second + static_cast<int>(region.height) - 1));
    }
    // trunc(100 · 0.004 + 0.5) = 0 columns.
    for (const LoadedRegion& region : {loadImageRegion(path, 0, 0, 0.004, 1), loadImageRegion(path, 0, 0, 1, -0.5)}) {
        EXPECT_EQ(region.status, LoadStatus::AllocationFailed);
        EXPECT_EQ(region.pixels, nullptr);
    }
}

// Missing files, the damaged, foreign or oversized ones of refused/ and
// every file that once crashed or hung the decoding (kept as found):
// refused, no pixels.
TEST(ImageFileRefusal, LoadRegion_DamagedForeignOversizedOrMissingFiles_DecodeFailed)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QStringList paths{dir.filePath("absent.png"), dir.filePath("folder.png")};
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.png"));
    for (const char* folder : {"/imageio/refused", "/fuzz-regressions"}) {
        const QDir files(QStringLiteral(QUORREL_TEST_DATA_DIR) + folder);
        for (const QString& name : files.entryList(QDir::Files)) {
            if (!name.endsWith(QLatin1String(".md")))
                paths << files.filePath(name);
        }
    }
    EXPECT_GE(paths.size(), 27); // the folders were found
    for (const QString& path : paths) {
        SCOPED_TRACE(path.toStdString());
        const LoadedRegion region = loadImageRegion(path.toStdWString(), 0, 0, 1, 1);
        EXPECT_EQ(region.status, LoadStatus::DecodeFailed);
        EXPECT_EQ(region.pixels, nullptr);
        StatedPicture stated;
        statePicture(path.toStdWString(), stated); // a hint only, but it must survive any head
    }
}

// A header read ahead is believed only where it holds the size and the
// picture is not far bigger than its file could hold.
TEST(ImageFileRefusal, StatePicture_HeadWithoutTheSizeOrOverstatingIt_StatesNothing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QByteArray png = encodeWithQt(greyPicture(), "png");
    QByteArray jpeg = encodeWithQt(gradientPicture(), "jpg");
    const int frameHeader = jpeg.indexOf("\xff\xc0");
    ASSERT_GT(frameHeader, 0);
    QByteArray oversized = png;
    oversized.replace(16, 8, QByteArray("\x00\x01\x00\x00\x00\x00\x10\x00", 8)); // 65 536 x 4 096
    const std::vector<std::pair<QString, QByteArray>> files{{"cut-in-ihdr.png", png.left(20)},
                                                            {"cut-before-frame-header.jpg", jpeg.left(frameHeader + 6)},
                                                            {"oversized.png", oversized},
                                                            {"gradient.bmp", encodeWithQt(gradientPicture(), "bmp")}};
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name.toStdString());
        StatedPicture stated;
        EXPECT_FALSE(statePicture(writeFile(dir, name, bytes), stated));
        EXPECT_EQ(stated.width, 0u);
    }
}

// Memory made ready on another thread serves the next big block without a
// page fault in each of its pages.
TEST(PictureMemory, Reserve_ReleasedBeforeABlockOfItsSize_LeavesThatBlocksPagesTouched)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator holds freed blocks back";
#endif
    constexpr std::size_t kBytes = std::size_t{32} << 20;
    keepFreedPictureMemory();
    PictureMemoryReserve(kBytes + (1u << 20));
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[kBytes]);
    std::memset(block.get(), 1, kBytes);
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_minflt - before.ru_minflt, 100) << "of " << kBytes / 4096 << " pages";
    EXPECT_FALSE(PictureMemoryReserve(SIZE_MAX).holdsBlock());
}

// Loaded from and saved to paths with characters beyond ASCII too.
TEST(ImageFileSave, SaveRgbaImage_LosslessFormats_ReloadGivesTheSamePicture)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Aufnahmen äöü")));
    const LoadedRegion original = loadImageRegion(
        writeFile(dir, "Aufnahmen äöü/Netzhaut-網膜-ü.png", encodeWithQt(gradientPicture(), "png")), 0, 0, 1, 1);
    ASSERT_TRUE(showsPicture(original, gradientPicture()));
    for (const char* name : {"saved.png", "saved.bmp", "saved.tga", "gespeichert-ä.png"}) {
        SCOPED_TRACE(name);
        const std::wstring path = dir.filePath(QString::fromUtf8(name)).toStdWString();
        ASSERT_TRUE(saveRgbaImage(path, original.pixels.get(), original.width, original.height));
        EXPECT_TRUE(showsPicture(loadImageRegion(path, 0, 0, 1, 1), gradientPicture()));
    }
}

// An existing file is never overwritten; nothing to save writes nothing.
TEST(ImageFileSave, SaveRgbaImage_ExistingFileNoBufferEmptyOrUnknownType_ReturnsFalse)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::wstring path = writeFile(dir, "report-figure.png", QByteArray("kept"));
    const std::uint8_t pixel[] = {1, 2, 3, 255};
    EXPECT_FALSE(saveRgbaImage(path, pixel, 1, 1));
    EXPECT_EQ(readFile(path), QByteArray("kept"));
    EXPECT_FALSE(saveRgbaImage(dir.filePath("none.png").toStdWString(), nullptr, 1, 1));
    EXPECT_FALSE(saveRgbaImage(dir.filePath("empty.png").toStdWString(), pixel, 0, 1));
    EXPECT_FALSE(saveRgbaImage(dir.filePath("unknown.xyz").toStdWString(), pixel, 1, 1));
    EXPECT_FALSE(QFile::exists(dir.filePath("empty.png")));
}

} // namespace
} // namespace quorrel::test
