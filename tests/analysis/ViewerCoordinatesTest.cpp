#include <climits>

#include <gtest/gtest.h>

#include "analysis/ViewerCoordinates.h"

namespace quorrel {
namespace {

void expectRect(const PixelRect& rect, int left, int bottom, int right, int top)
{
    EXPECT_EQ(rect.left, left);
    EXPECT_EQ(rect.bottom, bottom);
    EXPECT_EQ(rect.right, right);
    EXPECT_EQ(rect.top, top);
}

TEST(ViewerCoordinates, RectInsideImage_CoversTheSamePixelsCountedFromTheBottom)
{
    // Viewer rows 10 .. 34 of 200 are image rows 189 .. 165.
    expectRect(viewerRectToPixelRect(150, 10, 100, 25, 400, 200), 150, 165, 250, 190);
    // The top-left viewer pixel is the top image row; the bottom-right one row 0.
    expectRect(viewerRectToPixelRect(0, 0, 1, 1, 4, 3), 0, 2, 1, 3);
    expectRect(viewerRectToPixelRect(3, 2, 1, 1, 4, 3), 3, 0, 4, 1);
}

TEST(ViewerCoordinates, RectReachingPastTheEdges_IsCutToTheImage)
{
    expectRect(viewerRectToPixelRect(-5, -5, 10, 10, 100, 50), 0, 45, 5, 50);
    expectRect(viewerRectToPixelRect(95, 45, 10, 10, 100, 50), 95, 0, 100, 5);
}

TEST(ViewerCoordinates, RectOutsideImageOrWithoutArea_IsEmpty)
{
    EXPECT_TRUE(viewerRectToPixelRect(100, 0, 5, 5, 100, 50).isEmpty());
    EXPECT_TRUE(viewerRectToPixelRect(0, 50, 5, 5, 100, 50).isEmpty());
    EXPECT_TRUE(viewerRectToPixelRect(-10, 0, 10, 5, 100, 50).isEmpty());
    EXPECT_TRUE(viewerRectToPixelRect(0, -5, 5, 5, 100, 50).isEmpty());
    EXPECT_TRUE(viewerRectToPixelRect(10, 10, 0, 5, 100, 50).isEmpty());
    EXPECT_TRUE(viewerRectToPixelRect(10, 10, 5, -1, 100, 50).isEmpty());
    EXPECT_TRUE(viewerRectToPixelRect(10, 10, 5, 5, 0, 50).isEmpty());
    // Corners far outside int range once added must not wrap into the image.
    EXPECT_TRUE(viewerRectToPixelRect(INT_MAX, INT_MAX, INT_MAX, INT_MAX, 100, 50).isEmpty());
    EXPECT_TRUE(viewerRectToPixelRect(INT_MIN, INT_MIN, INT_MAX, INT_MAX, 100, 50).isEmpty());
}

TEST(ViewerCoordinates, Point_FlipsTheRowAboutTheImageHeight)
{
    EXPECT_EQ(viewerPointToImagePoint(Point2d{3, 0}, 200), (Point2d{3, 199}));
    EXPECT_EQ(viewerPointToImagePoint(Point2d{7.5, 199}, 200), (Point2d{7.5, 0}));
    EXPECT_EQ(viewerPointToImagePoint(Point2d{0, 10.25}, 100), (Point2d{0, 88.75}));
    EXPECT_EQ(viewerPointToImagePoint(Point2d{-4, 120}, 100), (Point2d{-4, -21}));
}

} // namespace
} // namespace quorrel
