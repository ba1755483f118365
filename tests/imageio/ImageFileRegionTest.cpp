#include <utility>

#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "ImageFileTestSupport.h"
#include "imageio/ImageFile.h"

namespace quorrel::test {
namespace {

// A 100 × 80 file whose pixels name themselves: red = column, green = row
// counted from the bottom.
class ImageRegionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QImage picture(100, 80, QImage::Format_RGBA8888);
        for (int y = 0; y < 80; ++y) {
            for (int x = 0; x < 100; ++x)
                picture.setPixel(x, y, qRgb(x, 79 - y, 0));
        }
        m_path = writeFile(m_dir, "coordinates.png", encodeWithQt(picture, "png"));
    }

    LoadedRegion load(double x0, double y0, double width, double height) const
    {
        return loadImageRegion(m_path, x0, y0, width, height);
    }

    // Column and bottom-counted row of the file that the region's pixel shows.
    static std::pair<int, int> shown(const LoadedRegion& region, std::uint32_t x, std::uint32_t y)
    {
        const std::uint8_t* pixel = region.pixels.get() + (static_cast<std::size_t>(y) * region.width + x) * 4;
        return {pixel[0], pixel[1]};
    }

    QTemporaryDir m_dir;
    std::wstring m_path;
};

TEST_F(ImageRegionTest, LoadRegion_WholeFile_FirstFourBytesAreBottomLeftPixel)
{
    const LoadedRegion region = load(0, 0, 1, 1);
    ASSERT_EQ(region.status, LoadStatus::Ok);
    EXPECT_EQ(region.width, 100u);
    EXPECT_EQ(region.height, 80u);
    EXPECT_EQ(std::vector<int>(region.pixels.get(), region.pixels.get() + 4), (std::vector<int>{0, 0, 0, 255}));
    EXPECT_EQ(shown(region, 99, 79), std::make_pair(99, 79));
}

TEST_F(ImageRegionTest, LoadRegion_QuarterAcrossHalfUp_HalfSizeFromColumn25Row40)
{
    const LoadedRegion region = load(0.25, 0.5, 0.5, 0.5);
    ASSERT_EQ(region.status, LoadStatus::Ok);
    EXPECT_EQ(region.width, 50u);
    EXPECT_EQ(region.height, 40u);
    EXPECT_EQ(shown(region, 0, 0), std::make_pair(25, 40));
    EXPECT_EQ(shown(region, 49, 39), std::make_pair(74, 79));
}

struct RegionCase {
    const char* meaning;
    double x0, y0, width, height;
    std::uint32_t expectedWidth, expectedHeight;
    std::pair<int, int> firstPixelShows;
};

TEST_F(ImageRegionTest, LoadRegion_EdgeFractions_RoundHalfUpAndClipToTheFile)
{
    const RegionCase cases[] = {
        {"origin fraction 1.0: last column and row, clipped to one pixel", 1.0, 1.0, 0.5, 0.5, 1, 1, {99, 79}},
        {"trunc(100 * -0.2 + 0.5) = -19, read as unsigned: too large", -0.2, 0, 1, 1, 1, 80, {99, 0}},
        {"trunc(0.6 + 0.5) = 1 and trunc(0.8 + 0.5) = 1", 0.006, 0.01, 0.5, 0.5, 50, 40, {1, 1}},
        {"50 columns from column 90 leave 10", 0.9, 0.0, 0.5, 1.0, 10, 80, {90, 0}},
    };
    for (const RegionCase& c : cases) {
        SCOPED_TRACE(c.meaning);
        const LoadedRegion region = load(c.x0, c.y0, c.width, c.height);
        ASSERT_EQ(region.status, LoadStatus::Ok);
        EXPECT_EQ(region.width, c.expectedWidth);
        EXPECT_EQ(region.height, c.expectedHeight);
        EXPECT_EQ(shown(region, 0, 0), c.firstPixelShows);
    }
}

TEST_F(ImageRegionTest, LoadRegion_EmptyOrNegativeSize_AllocationFailedWithoutBuffer)
{
    // trunc(100 · 0.004 + 0.5) = 0 columns.
    for (const LoadedRegion& region : {load(0, 0, 0.004, 1), load(0, 0, 1, -0.5)}) {
        EXPECT_EQ(region.status, LoadStatus::AllocationFailed);
        EXPECT_EQ(region.pixels, nullptr);
    }
}

} // namespace
} // namespace quorrel::test
