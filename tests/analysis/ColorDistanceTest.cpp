#include <cstdint>

#include <gtest/gtest.h>

#include "TestImage.h"
#include "analysis/ColorDistance.h"
#include "analysis/PixelRect.h"

namespace quorrel {
namespace {

using test::grey;
using test::TestImage;

void expectRect(const PixelRect& rect, int left, int bottom, int right, int top)
{
    EXPECT_EQ(rect.left, left);
    EXPECT_EQ(rect.bottom, bottom);
    EXPECT_EQ(rect.right, right);
    EXPECT_EQ(rect.top, top);
}

TEST(PixelRectBetween, CornersInEitherOrder_GiveTheSameRect)
{
    // 4.5 -> 4, 29.5 -> 29, 4.5 -> 4, 9.5 -> 9.
    expectRect(pixelRectBetween(4.5, 9.5, 29.5, 4.5, 100, 100), 4, 4, 29, 9);
    expectRect(pixelRectBetween(29.5, 4.5, 4.5, 9.5, 100, 100), 4, 4, 29, 9);
    expectRect(pixelRectBetween(4.5, 4.5, 29.5, 9.5, 100, 100), 4, 4, 29, 9);
}

TEST(PixelRectBetween, FractionalCorners_AreTruncatedTowardZero)
{
    // 3.9 becomes 3 (not 4); -0.7 becomes 0 (not -1).
    expectRect(pixelRectBetween(-0.1, -0.1, 3.9, 3.9, 100, 100), 0, 0, 3, 3);
    expectRect(pixelRectBetween(-5.7, -5.7, -0.7, -0.7, 100, 100), 0, 0, 0, 0);
}

TEST(PixelRectBetween, CornersPastTheImage_AreCutAtItsEdges)
{
    expectRect(pixelRectBetween(90, 95, 150, 130, 100, 100), 90, 95, 100, 100);
    expectRect(pixelRectBetween(-20, -30, 10, 5, 100, 100), 0, 0, 10, 5);
    EXPECT_TRUE(pixelRectBetween(200, 200, 300, 300, 100, 100).isEmpty());
    EXPECT_TRUE(pixelRectBetween(-300, -300, -200, -200, 100, 100).isEmpty());
    EXPECT_TRUE(pixelRectBetween(0, 0, 0, 0, 100, 100).isEmpty());
    expectRect(pixelRectBetween(1e300, 1e300, -1e300, -1e300, 100, 100), 0, 0, 100, 100);
}

TEST(MeanColor, PatchOfTwoColours_AveragesEveryChannel)
{
    TestImage image(4, 4, grey(0));
    image.set(1, 1, RgbaColor{10, 20, 30, 40});
    image.set(2, 1, RgbaColor{11, 21, 31, 41});
    const MeanColor mean = meanColor(image.view(), PixelRect{1, 1, 3, 2});
    EXPECT_EQ(mean.count, 2);
    EXPECT_DOUBLE_EQ(mean.r, 10.5);
    EXPECT_DOUBLE_EQ(mean.g, 20.5);
    EXPECT_DOUBLE_EQ(mean.b, 30.5);
    EXPECT_DOUBLE_EQ(mean.a, 40.5);
}

TEST(MeanColor, EmptyRectOrImage_GivesZeros)
{
    TestImage image(4, 4, grey(200));
    const MeanColor empty = meanColor(image.view(), PixelRect{3, 3, 1, 1});
    EXPECT_EQ(empty.count, 0);
    EXPECT_EQ(empty.r, 0.0);
    EXPECT_EQ(empty.a, 0.0);
    EXPECT_EQ(meanColor(RgbaImageView{}, PixelRect{0, 0, 4, 4}).count, 0);
}

TEST(MeanColor, RectLargerThanTheImage_ReadsOnlyTheImage)
{
    TestImage image(2, 2, grey(100));
    const MeanColor mean = meanColor(image.view(), PixelRect{-5, -5, 50, 50});
    EXPECT_EQ(mean.count, 4);
    EXPECT_DOUBLE_EQ(mean.r, 100.0);
}

TEST(ColorDistance, AllFourChannels_CountAsUnsignedBytes)
{
    const std::uint8_t pixel[4] = {10, 20, 30, 40};
    EXPECT_DOUBLE_EQ(colorDistance(pixel, RgbaColor{13, 24, 30, 40}), 5.0);
    const std::uint8_t transparent[4] = {0, 0, 0, 0};
    EXPECT_DOUBLE_EQ(colorDistance(transparent, RgbaColor{0, 0, 0, 255}), 255.0);
    const std::uint8_t bright[4] = {200, 0, 0, 0};
    EXPECT_DOUBLE_EQ(colorDistance(bright, RgbaColor{0, 0, 0, 0}), 200.0);
}

// A row of pixels 0, 255, 0, 255, ... in R, G and B: far beyond the cap once
// the formula applies.
TestImage alternatingRow(int width)
{
    TestImage image(width, 1);
    for (int x = 0; x < width; ++x)
        image.set(x, 0, grey(x % 2 == 0 ? 0 : 255));
    return image;
}

TEST(EstimateMaxColorDistance, FivePixels_FallBackTo30_SixUseTheSpread)
{
    const TestImage five = alternatingRow(5);
    EXPECT_EQ(estimateMaxColorDistance(five.view(), PixelRect{0, 0, 5, 1}), 30);
    const TestImage six = alternatingRow(6);
    EXPECT_EQ(estimateMaxColorDistance(six.view(), PixelRect{0, 0, 6, 1}), 128);
}

TEST(EstimateMaxColorDistance, UniformPatch_Gives30)
{
    TestImage image(8, 8, RgbaColor{50, 90, 130, 255});
    EXPECT_EQ(estimateMaxColorDistance(image.view(), PixelRect{0, 0, 8, 8}), 30);
}

TEST(EstimateMaxColorDistance, DeviationsOf10In10In10And0_Give78)
{
    // Deviations +15, -15, +5, -5, 0, 0 from 100 sum to 500 squared, so each
    // colour channel's sample deviation is sqrt(500 / 5) = 10; alpha is
    // constant. d = sqrt(300) = 17.32..., 4.5 d + 0.5 = 78.44... -> 78.
    const int levels[6] = {115, 85, 105, 95, 100, 100};
    TestImage image(3, 2);
    for (int i = 0; i < 6; ++i)
        image.set(i % 3, i / 3, grey(levels[i]));
    EXPECT_EQ(estimateMaxColorDistance(image.view(), PixelRect{0, 0, 3, 2}), 78);
}

TEST(EstimateMaxColorDistance, EmptySelectionOrImage_Gives30)
{
    const TestImage six = alternatingRow(6);
    EXPECT_EQ(estimateMaxColorDistance(six.view(), PixelRect{10, 10, 20, 20}), 30);
    EXPECT_EQ(estimateMaxColorDistance(RgbaImageView{}, PixelRect{0, 0, 6, 1}), 30);
}

} // namespace
} // namespace quorrel
