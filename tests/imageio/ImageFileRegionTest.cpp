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
        ASSERT_TRUE(dir_.isValid());
        QImage picture(100, 80, QImage::Format_RGBA8888);
        for (int y = 0; y < 80; ++y) {
            for (int x = 0; x < 100; ++x)
                picture.setPixel(x, y, qRgb(x, 79 - y, 0));
        }
        path_ = writeFile(dir_, "coordinates.png", encodeWithQt(picture, "png"));
    }

    LoadedRegion load(double x0, double y0, double width, double height) const
    {
        return loadImageRegion(path_, x0, y0, width, height);
    }

    // Column and bottom-counted row of the file that the region's pixel shows.
    static std::pair<int, int> shown(const LoadedRegion& region, std::uint32_t x, std::uint32_t y)
    {
        const std::uint8_t* pixel = region.pixels.get() + (static_cast<std::size_t>(y) * region.width + x) * 4;
        return {pixel[0], pixel[1]};
    }

    QTemporaryDir dir_;
    std::wstring path_;
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

TEST_F(ImageRegionTest, LoadRegion_OriginFractionOne_OnePixelAtLastColumnAndRow)
{
    const LoadedRegion region = load(1.0, 1.0, 0.5, 0.5);
    ASSERT_EQ(region.status, LoadStatus::Ok);
    EXPECT_EQ(region.width, 1u);
    EXPECT_EQ(region.height, 1u);
    EXPECT_EQ(shown(region, 0, 0), std::make_pair(99, 79));
}

TEST_F(ImageRegionTest, LoadRegion_NegativeOrigin_CountsAsTooLargeAndTakesLastColumn)
{
    // trunc(100 · −0.2 + 0.5) = −19, read as unsigned: not below 100.
    const LoadedRegion region = load(-0.2, 0, 1, 1);
    ASSERT_EQ(region.status, LoadStatus::Ok);
    EXPECT_EQ(region.width, 1u);
    EXPECT_EQ(region.height, 80u);
    EXPECT_EQ(shown(region, 0, 0), std::make_pair(99, 0));
}

TEST_F(ImageRegionTest, LoadRegion_FractionsRoundHalfUpAndSizeClipsAtEdge)
{
    // x = trunc(0.6 + 0.5) = 1, y = trunc(0.8 + 0.5) = 1; width 50 from
    // column 90 leaves 10.
    const LoadedRegion rounded = load(0.006, 0.01, 0.5, 0.5);
    ASSERT_EQ(rounded.status, LoadStatus::Ok);
    EXPECT_EQ(shown(rounded, 0, 0), std::make_pair(1, 1));
    const LoadedRegion clipped = load(0.9, 0.0, 0.5, 1.0);
    ASSERT_EQ(clipped.status, LoadStatus::Ok);
    EXPECT_EQ(clipped.width, 10u);
    EXPECT_EQ(shown(clipped, 9, 0), std::make_pair(99, 0));
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
