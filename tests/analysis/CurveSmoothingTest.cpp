#include <vector>

#include <gtest/gtest.h>

#include "analysis/CurveSmoothing.h"

namespace quorrel {
namespace {

using Points = std::vector<Point2d>;

Points horizontalLine(double firstX, int count, double y)
{
    Points points;
    for (int i = 0; i < count; ++i)
        points.push_back(Point2d{firstX + i, y});
    return points;
}

TEST(SmoothCurve, FewerPointsThanTwiceLevel_LeavesCurveUnchanged)
{
    Points three = horizontalLine(0, 3, 10);
    smoothCurve(three, 2);
    EXPECT_EQ(three, horizontalLine(0, 3, 10));

    Points nine = horizontalLine(0, 9, 10);
    smoothCurve(nine, 5);
    EXPECT_EQ(nine.size(), 9u);
    Points ten = horizontalLine(0, 10, 10);
    smoothCurve(ten, 5);
    EXPECT_EQ(ten.size(), 11u);

    Points empty;
    smoothCurve(empty, 0);
    EXPECT_TRUE(empty.empty());
}

TEST(SmoothCurve, FourPoints_GiveTheFirstPointAndFourSmoothedOnes)
{
    // c = 0: 0.692*0 + 0.242*1 + 0.061*2 + 0.006*3 = 0.382, and so on with
    // the indices clamped at both ends; every y becomes 10 * 1.001.
    Points curve = horizontalLine(0, 4, 10);
    smoothCurve(curve, 2);
    ASSERT_EQ(curve.size(), 5u);
    EXPECT_EQ(curve[0], (Point2d{0, 10}));
    const double expectedX[4] = {0.382, 1.068, 1.935, 2.621};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(curve[i + 1].x, expectedX[i], 1e-12) << i;
        EXPECT_NEAR(curve[i + 1].y, 10.01, 1e-12) << i;
    }
}

TEST(SmoothCurve, InteriorPointOfStraightLine_IsScaledByTheKernelSum)
{
    // 99 points give 100, not thinned; S[50] is the smoothed point 49,
    // (500, 40), which becomes (500 * 1.001, 40 * 1.001).
    Points curve = horizontalLine(451, 99, 40);
    smoothCurve(curve, 2);
    ASSERT_EQ(curve.size(), 100u);
    EXPECT_NEAR(curve[50].x, 500.5, 1e-9);
    EXPECT_NEAR(curve[50].y, 40.04, 1e-12);
}

TEST(SmoothCurve, MoreThan100SmoothedPoints_AreThinnedToEveryLevelth)
{
    Points hundred = horizontalLine(0, 100, 0);
    smoothCurve(hundred, 2);
    EXPECT_EQ(hundred.size(), 51u);

    // 200 points: S of 201, kept S[0], S[2], ..., S[200]; S[2k] is the
    // smoothed point 2k - 1, whose x is (2k - 1) * 1.001 away from the ends.
    Points twoHundred = horizontalLine(0, 200, 0);
    smoothCurve(twoHundred, 2);
    ASSERT_EQ(twoHundred.size(), 101u);
    EXPECT_EQ(twoHundred[0], (Point2d{0, 0}));
    EXPECT_NEAR(twoHundred[50].x, 99 * 1.001, 1e-9);

    Points levelThree = horizontalLine(0, 150, 0);
    smoothCurve(levelThree, 3);
    ASSERT_EQ(levelThree.size(), 51u);
    EXPECT_NEAR(levelThree[10].x, 29 * 1.001, 1e-9);

    Points levelOne = horizontalLine(0, 200, 0);
    smoothCurve(levelOne, 1);
    EXPECT_EQ(levelOne.size(), 201u);
}

} // namespace
} // namespace quorrel
