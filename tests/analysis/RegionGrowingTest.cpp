#include <vector>

#include <gtest/gtest.h>

#include "TestImage.h"
#include "analysis/RegionGrowing.h"

namespace quorrel {
namespace {

using test::grey;
using test::TestImage;

const RgbaColor kBlack = grey(0);
const RgbaColor kWhite = grey(255);

std::vector<Point2d> points(std::initializer_list<Point2d> list)
{
    return std::vector<Point2d>(list);
}

TEST(CollectEdgePoints, SmallShape_GivesEdgesInDepthFirstOrder)
{
    // 6x6 black picture; only columns and rows 1 to 3 are examined. White at
    // (3, 2) and (2, 3) walls off (3, 3). From (1, 1) the fill goes up
    // column 1 first (x, y-1 is popped first, then x, y+1), meets (2, 3) from
    // (1, 3), then returns through (2, 2) and (2, 1) to (3, 1), whose upper
    // neighbour (3, 2) is the second edge. A row-by-row scan would find
    // (3, 2) first.
    TestImage image(6, 6, kBlack);
    image.set(3, 2, kWhite);
    image.set(2, 3, kWhite);
    image.set(3, 3, kWhite);
    EXPECT_EQ(collectEdgePoints(image.view(), Point2d{1, 1}, kBlack, 10), points({{2, 3}, {3, 2}}));
}

TEST(CollectEdgePoints, RegionUpToTheMargins_HasNoEdgesThere)
{
    // Everything outside columns and rows 1 to 3 is white but never examined.
    TestImage image(6, 6, kWhite);
    for (int y = 1; y <= 3; ++y)
        for (int x = 1; x <= 3; ++x)
            image.set(x, y, kBlack);
    EXPECT_TRUE(collectEdgePoints(image.view(), Point2d{2, 2}, kBlack, 10).empty());

    image.set(3, 3, kWhite);
    EXPECT_EQ(collectEdgePoints(image.view(), Point2d{2, 2}, kBlack, 10), points({{3, 3}}));
}

TEST(CollectEdgePoints, SeedAtOrBeyondTolerance_GivesOnlyTheSeed)
{
    // (3, 4, 0) lies exactly 5 from black.
    TestImage image(8, 8, RgbaColor{3, 4, 0, 255});
    EXPECT_EQ(collectEdgePoints(image.view(), Point2d{4, 4}, kBlack, 5), points({{4, 4}}));
    EXPECT_EQ(collectEdgePoints(image.view(), Point2d{4, 4}, kBlack, 3), points({{4, 4}}));
    EXPECT_TRUE(collectEdgePoints(image.view(), Point2d{4, 4}, kBlack, 6).empty());
}

TEST(CollectEdgePoints, SeedInTheMargin_GivesNothing)
{
    TestImage image(8, 8, kWhite);
    EXPECT_TRUE(collectEdgePoints(image.view(), Point2d{0, 4}, kBlack, 10).empty());
    EXPECT_TRUE(collectEdgePoints(image.view(), Point2d{6, 4}, kBlack, 10).empty());
    EXPECT_TRUE(collectEdgePoints(image.view(), Point2d{7, 4}, kBlack, 10).empty());
    EXPECT_TRUE(collectEdgePoints(image.view(), Point2d{4, 6}, kBlack, 10).empty());
    EXPECT_TRUE(collectEdgePoints(image.view(), Point2d{-0.5, 4}, kBlack, 10).empty());
    EXPECT_TRUE(collectEdgePoints(image.view(), Point2d{1e300, 4}, kBlack, 10).empty());
    // The last examined column and a fractional seed truncated into range.
    EXPECT_EQ(collectEdgePoints(image.view(), Point2d{5, 4}, kBlack, 10), points({{5, 4}}));
    EXPECT_EQ(collectEdgePoints(image.view(), Point2d{1.9, 5.99}, kBlack, 10), points({{1, 5}}));
}

TEST(CollectEdgePoints, ImageUnder4x4_GivesNothing)
{
    const TestImage narrow(3, 10, kWhite);
    const TestImage low(10, 3, kWhite);
    for (int x = 0; x < 10; ++x) {
        for (int y = 0; y < 10; ++y) {
            EXPECT_TRUE(collectEdgePoints(narrow.view(), Point2d{double(x), double(y)}, kBlack, 10).empty());
            EXPECT_TRUE(collectEdgePoints(low.view(), Point2d{double(x), double(y)}, kBlack, 10).empty());
        }
    }
    EXPECT_TRUE(collectEdgePoints(RgbaImageView{}, Point2d{1, 1}, kBlack, 10).empty());
}

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
    const std::vector<Point2d> edges = collectEdgePoints(image.view(), Point2d{size / 2.0, size / 2.0}, kBlack, 10);
    EXPECT_EQ(edges.size(), 4u * (size - 5));
    for (const Point2d& point : edges) {
        const bool onRing = point.x == 1 || point.y == 1 || point.x == size - 3 || point.y == size - 3;
        const bool corner = (point.x == 1 || point.x == size - 3) && (point.y == 1 || point.y == size - 3);
        ASSERT_TRUE(onRing && !corner) << point.x << ", " << point.y;
    }
}

TEST(MakeCandidateBoundary, FillsSeedColourRectAndTolerance)
{
    TestImage image(10, 10, kBlack);
    for (int x = 2; x < 7; ++x)
        for (int y = 3; y < 8; ++y)
            image.set(x, y, RgbaColor{10 + (x % 2), 200, 7, 255});
    // Columns 2..6: three at 10, two at 11 -> mean 10.4 -> 10.
    const Boundary boundary = makeCandidateBoundary(image.view(), L"scan.png", PixelRect{2, 3, 7, 8}, 42);
    EXPECT_EQ(boundary.imagePath, L"scan.png");
    EXPECT_EQ(boundary.seedPoint, (Point2d{4, 5}));
    EXPECT_EQ(boundary.referenceColor, (RgbaColor{10, 200, 7, 255}));
    EXPECT_EQ(boundary.selectionRect.left, 2);
    EXPECT_EQ(boundary.selectionRect.top, 8);
    EXPECT_EQ(boundary.selectionRect.right, 7);
    EXPECT_EQ(boundary.selectionRect.bottom, 3);
    EXPECT_EQ(boundary.maxColorDistance, 42);
    EXPECT_TRUE(boundary.edgePoints.empty());
    EXPECT_EQ(boundary.indexA, -1);
}

TEST(MakeCandidateBoundary, EmptyRect_GivesZeroColourAndTruncatedCentre)
{
    // A band left of the image clamps to left 0, right -3: (0 + -3) / 2 is -1.
    TestImage image(10, 10, grey(90));
    const Boundary boundary = makeCandidateBoundary(image.view(), L"", PixelRect{0, 0, -3, 5}, 30);
    EXPECT_EQ(boundary.referenceColor, (RgbaColor{0, 0, 0, 0}));
    EXPECT_EQ(boundary.seedPoint, (Point2d{-1, 2}));
}

TEST(FindEqualBoundary, MatchesEveryFieldButThePath)
{
    TestImage image(10, 10, grey(90));
    const PixelRect rect{2, 2, 6, 6};
    std::vector<Boundary> boundaries;
    boundaries.push_back(makeCandidateBoundary(image.view(), L"a.png", rect, 31));
    boundaries.push_back(makeCandidateBoundary(image.view(), L"a.png", rect, 30));
    boundaries.push_back(makeCandidateBoundary(image.view(), L"b.png", rect, 30));

    EXPECT_EQ(findEqualBoundary(boundaries, makeCandidateBoundary(image.view(), L"c.png", rect, 30)), 1);
    EXPECT_EQ(findEqualBoundary(boundaries, makeCandidateBoundary(image.view(), L"a.png", rect, 32)), -1);
    EXPECT_EQ(findEqualBoundary({}, boundaries[0]), -1);

    Boundary other = boundaries[1];
    other.referenceColor.a = 254;
    EXPECT_EQ(findEqualBoundary(boundaries, other), -1);
    other = boundaries[1];
    other.selectionRect.top = 7;
    EXPECT_EQ(findEqualBoundary(boundaries, other), -1);
    other = boundaries[1];
    other.seedPoint.y = 5;
    EXPECT_EQ(findEqualBoundary(boundaries, other), -1);
}

} // namespace
} // namespace quorrel
