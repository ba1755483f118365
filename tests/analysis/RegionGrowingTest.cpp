// Detect's steps: the rubber band as a pixel rectangle, the tolerance
// estimated from it, and the region grown from its centre.

#include <array>
#include <climits>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "TestImage.h"
#include "analysis/ColorDistance.h"
#include "analysis/PixelRect.h"
#include "analysis/RegionGrowing.h"
#include "analysis/ViewerCoordinates.h"

namespace quorrel {
namespace {

using Points = std::vector<Point2d>;
using test::grey;
using test::TestImage;

std::array<int, 4> sides(const PixelRect& rect)
{
    return {rect.left, rect.bottom, rect.right, rect.top};
}

TEST(PixelRectBetween, CornersInAnyOrder_AreTruncatedTowardZeroAndCutAtTheImage)
{
    const struct {
        double x0, y0, x1, y1;
        std::array<int, 4> sides; // left, bottom, right, top in a 100 x 100 image
    } cases[] = {
        {4.5, 9.5, 29.5, 4.5, {4, 4, 29, 9}},   {29.5, 4.5, 4.5, 9.5, {4, 4, 29, 9}},
        {-0.1, -0.1, 3.9, 3.9, {0, 0, 3, 3}}, // 3.9 becomes 3, not 4
        {-5.7, -5.7, -0.7, -0.7, {0, 0, 0, 0}}, // -0.7 becomes 0, not -1
        {90, 95, 150, 130, {90, 95, 100, 100}}, {1e300, 1e300, -1e300, -1e300, {0, 0, 100, 100}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sides(pixelRectBetween(c.x0, c.y0, c.x1, c.y1, 100, 100)), c.sides) << c.x0 << ", " << c.y0;
    EXPECT_TRUE(pixelRectBetween(200, 200, 300, 300, 100, 100).isEmpty());
    EXPECT_TRUE(pixelRectBetween(-300, -300, -200, -200, 100, 100).isEmpty());
    EXPECT_TRUE(pixelRectBetween(0, 0, 0, 0, 100, 100).isEmpty());
}

TEST(ViewerCoordinates, Rects_CoverTheSamePixelsCountedFromTheBottomAndCutToTheImage)
{
    const struct {
        int x, y, width, height, imageWidth, imageHeight;
        std::array<int, 4> sides;
    } cases[] = {
        {150, 10, 100, 25, 400, 200, {150, 165, 250, 190}}, // viewer rows 10 .. 34 are image rows 189 .. 165
        {0, 0, 1, 1, 4, 3, {0, 2, 1, 3}}, // the top-left viewer pixel is on the top image row
        {3, 2, 1, 1, 4, 3, {3, 0, 4, 1}}, // the bottom-right one on row 0
        {-5, -5, 10, 10, 100, 50, {0, 45, 5, 50}},
        {95, 45, 10, 10, 100, 50, {95, 0, 100, 5}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sides(viewerRectToPixelRect(c.x, c.y, c.width, c.height, c.imageWidth, c.imageHeight)), c.sides)
            << c.x << ", " << c.y;

    // Outside the image, without area, or with corners beyond int range
    // once added, which must not wrap into the image.
    const int empty[][6] = {{100, 0, 5, 5, 100, 50},
                            {0, 50, 5, 5, 100, 50},
                            {-10, 0, 10, 5, 100, 50},
                            {10, 10, 0, 5, 100, 50},
                            {10, 10, 5, 5, 0, 50},
                            {INT_MAX, INT_MAX, INT_MAX, INT_MAX, 100, 50},
                            {INT_MIN, INT_MIN, INT_MAX, INT_MAX, 100, 50}};
    for (const auto& c : empty)
        EXPECT_TRUE(viewerRectToPixelRect(c[0], c[1], c[2], c[3], c[4], c[5]).isEmpty()) << c[0] << ", " << c[1];
}

TEST(ColorDistance, AllFourChannels_CountAsUnsignedBytes_ASeedAtTheToleranceIsAnEdge)
{
    const std::uint8_t pixel[4] = {10, 20, 30, 40};
    EXPECT_DOUBLE_EQ(colorDistance(pixel, RgbaColor{13, 24, 30, 40}), 5.0);
    const std::uint8_t transparent[4] = {0, 0, 0, 0};
    EXPECT_DOUBLE_EQ(colorDistance(transparent, RgbaColor{0, 0, 0, 255}), 255.0);
    const std::uint8_t bright[4] = {200, 0, 0, 0};
    EXPECT_DOUBLE_EQ(colorDistance(bright, RgbaColor{0, 0, 0, 0}), 200.0);

    // A seed at the tolerance or beyond is the only edge of the fill: (3, 4, 0)
    // lies exactly 5 from black. The fill's order and the margins it leaves
    // unexamined are compared with the plain fill in FastAgainstPlainTest.
    const TestImage far(8, 8, RgbaColor{3, 4, 0, 255});
    EXPECT_EQ(collectEdgePoints(far.view(), Point2d{4, 4}, grey(0), 5), (Points{{4, 4}}));
    EXPECT_TRUE(collectEdgePoints(far.view(), Point2d{4, 4}, grey(0), 6).empty());
}

TEST(EstimateMaxColorDistance, FiveOrFewerPixels_FallBackTo30_MoreUseTheRoundedSpread)
{
    // Rows of 0, 255, 0, 255, ... in R, G and B: far beyond the cap once the
    // spread counts.
    TestImage six(6, 1);
    for (int x = 0; x < 6; ++x)
        six.set(x, 0, grey(x % 2 == 0 ? 0 : 255));
    // Deviations +15, -15, +5, -5, 0, 0 from 100 sum to 500 squared, so each
    // colour channel's sample deviation is sqrt(500 / 5) = 10; alpha is
    // constant. d = sqrt(300) = 17.32..., 4.5 d + 0.5 = 78.44... -> 78.
    const int levels[6] = {115, 85, 105, 95, 100, 100};
    TestImage tens(3, 2);
    for (int i = 0; i < 6; ++i)
        tens.set(i % 3, i / 3, grey(levels[i]));
    const TestImage uniform(8, 8, RgbaColor{50, 90, 130, 255});
    const struct {
        const char* name;
        RgbaImageView image;
        PixelRect rect;
        int tolerance;
    } cases[] = {
        {"five pixels", six.view(), {0, 0, 5, 1}, 30},           {"six pixels", six.view(), {0, 0, 6, 1}, 128},
        {"deviations of 10", tens.view(), {0, 0, 3, 2}, 78},     {"uniform patch", uniform.view(), {0, 0, 8, 8}, 30},
        {"selection outside", six.view(), {10, 10, 20, 20}, 30}, {"no image", RgbaImageView{}, {0, 0, 6, 1}, 30},
    };
    for (const auto& c : cases)
        EXPECT_EQ(estimateMaxColorDistance(c.image, c.rect), c.tolerance) << c.name;
}

const RgbaColor kBlack = grey(0);
const RgbaColor kWhite = grey(255);

TEST(CollectEdgePoints, LargeRegion_IsFilledWithoutRecursion)
{
    // 16 million pixels, a white ring at columns/rows 1 and size-3 around a
    // black interior: the 4-connected edge is the ring without its corners,
    // 4 * (size - 5) pixels, each once.
    const int size = 4000;
    TestImage image(size, size, kBlack);
    for (int i = 1; i <= size - 3; ++i) {
        image.set(i, 1, kWhite);
        image.set(i, size - 3, kWhite);
        image.set(1, i, kWhite);
        image.set(size - 3, i, kWhite);
    }
    const Points edges = collectEdgePoints(image.view(), Point2d{size / 2.0, size / 2.0}, kBlack, 10);
    // Which pixels, in which order, the plain fill's comparison checks.
    EXPECT_EQ(edges.size(), 4u * (size - 5));
}

TEST(MakeCandidateBoundary, FillsSeedColourRectAndTolerance_WhichAloneTellADetectionMadeBefore)
{
    TestImage image(10, 10, kBlack);
    for (int x = 2; x < 7; ++x)
        for (int y = 3; y < 8; ++y)
            image.set(x, y, RgbaColor{10 + (x % 2), 200, 7, 255});
    // Columns 2..6: three at 10, two at 11 -> mean 10.4 -> 10.
    const PixelRect rect{2, 3, 7, 8};
    const Boundary boundary = makeCandidateBoundary(image.view(), L"scan.png", rect, 42);
    EXPECT_EQ(boundary.imagePath, L"scan.png");
    EXPECT_EQ(boundary.seedPoint, (Point2d{4, 5}));
    EXPECT_EQ(boundary.referenceColor, (RgbaColor{10, 200, 7, 255}));
    EXPECT_EQ(sides(boundary.selectionRect), (std::array<int, 4>{2, 3, 7, 8}));
    EXPECT_EQ(boundary.maxColorDistance, 42);

    // A band left of the image clamps to left 0, right -3: (0 + -3) / 2 is -1.
    const Boundary outside = makeCandidateBoundary(image.view(), L"", PixelRect{0, 0, -3, 5}, 30);
    EXPECT_EQ(outside.referenceColor, (RgbaColor{0, 0, 0, 0}));
    EXPECT_EQ(outside.seedPoint, (Point2d{-1, 2}));

    // Every field but the path decides whether a detection was made before.
    const auto differsBy = [&boundary](auto change) {
        Boundary other = boundary;
        change(other);
        return !isEqualDetection(boundary, other);
    };
    EXPECT_FALSE(differsBy([](Boundary& b) { b.imagePath = L"other.png"; }));
    EXPECT_TRUE(differsBy([](Boundary& b) { b.referenceColor.a = 254; }));
    EXPECT_TRUE(differsBy([](Boundary& b) { b.selectionRect.top = 7; }));
    EXPECT_TRUE(differsBy([](Boundary& b) { b.seedPoint.y = 6; }));
    EXPECT_TRUE(differsBy([](Boundary& b) { b.maxColorDistance = 30; }));
    EXPECT_EQ(findEqualBoundary({outside, boundary}, boundary), 1);
    EXPECT_EQ(findEqualBoundary({}, boundary), -1);
}

} // namespace
} // namespace quorrel
