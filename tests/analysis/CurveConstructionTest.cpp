// The steps of Make Curve and Smooth Contour that have no plain form in
// tests/oracle/, worked by hand; FastAgainstPlainTest holds the others.

#include <vector>

#include <gtest/gtest.h>

#include "TestImage.h"
#include "analysis/CurveConstruction.h"
#include "analysis/CurveSmoothing.h"

namespace quorrel {
namespace {

using Points = std::vector<Point2d>;
using test::row;

TEST(LinkSuccessors, NearestFreeNeighbourWins_FirstOfEqualDistances)
{
    // Node 0 has 1 and 2 at distance 1: 1 wins. Node 1 takes 3 (1 < sqrt 2).
    // Node 2's only neighbour 3 already has a predecessor: 2 stays unlinked.
    // The chosen neighbour leaves the lists.
    std::vector<CurveNode> nodes = buildNeighbourGraph({{0, 0}, {1, 0}, {0, 1}, {1, 1}}, 1.5);
    linkSuccessors(nodes);
    EXPECT_EQ(
        (std::vector<int>{nodes[0].next, nodes[1].prev, nodes[1].next, nodes[3].prev, nodes[2].prev, nodes[2].next}),
        (std::vector<int>{1, 0, 3, 1, -1, -1}));
    EXPECT_EQ(nodes[0].neighbours, (std::vector<int>{2, 3}));
    EXPECT_EQ(nodes[1].neighbours, (std::vector<int>{2}));
    EXPECT_EQ(nodes[2].neighbours, (std::vector<int>{3}));
    EXPECT_EQ(collectChains(nodes), (std::vector<Polyline>{{{0, 0}, {1, 0}, {1, 1}}}));
}

TEST(SelectLongestPolyline, DropsShortPieces_FirstOfEqualLengthsWins)
{
    std::vector<Polyline> polylines{row(0, 19, 0), row(0, 25, 1), row(0, 25, 2), row(0, 20, 3)};
    EXPECT_EQ(selectLongestPolyline(polylines, 20), row(0, 25, 1));
    EXPECT_EQ(polylines.size(), 3u);
    std::vector<Polyline> shortOnes{row(0, 19, 0), row(0, 5, 1)};
    EXPECT_TRUE(selectLongestPolyline(shortOnes, 20).empty());
}

TEST(BuildBoundaryCurve, PiecesUnder20Points_GiveAnEmptyCurve_UnlessBridged)
{
    // Two pieces of 15 points, 3 apart: not linked at radius 2, not bridged
    // at 3.0, bridged at 3.5 into one curve of 30 points. No edge points
    // give no nodes and no curve; an earlier curve never survives.
    Boundary boundary;
    boundary.curve = row(0, 30, 0);
    buildBoundaryCurve(boundary, 2.0, 3.0, 20);
    EXPECT_TRUE(boundary.curve.empty());
    EXPECT_TRUE(boundary.curveNodes.empty());

    boundary.edgePoints = row(0, 15, 5);
    const Points right = row(17, 15, 5);
    boundary.edgePoints.insert(boundary.edgePoints.end(), right.begin(), right.end());
    boundary.curve = row(0, 3, 0);
    buildBoundaryCurve(boundary, 2.0, 3.0, 20);
    EXPECT_TRUE(boundary.curve.empty());
    EXPECT_EQ(boundary.curveNodes.size(), 30u);
    buildBoundaryCurve(boundary, 2.0, 3.5, 20);
    EXPECT_EQ(boundary.curve, boundary.edgePoints);
}

TEST(BuildBoundaryCurve, RunningTwice_GivesTheSameCurve_AndUndoesSmoothing)
{
    // A zigzag band two pixels thick, shuffled: plenty of ties and forks.
    Boundary boundary;
    for (int x = 59; x >= 0; --x) {
        const double y = 10 + (x / 5) % 3;
        boundary.edgePoints.push_back(Point2d{double(x), y + ((x * 7) % 2)});
        if (x % 3 == 0)
            boundary.edgePoints.push_back(Point2d{double(x), y + 2});
    }
    sortEdgePoints(boundary.edgePoints);
    buildBoundaryCurve(boundary, 2.0, 3.0, 20);
    const Points first = boundary.curve;
    ASSERT_GE(first.size(), 20u);
    smoothCurve(boundary.curve, 2);
    sortEdgePoints(boundary.edgePoints);
    buildBoundaryCurve(boundary, 2.0, 3.0, 20);
    EXPECT_EQ(boundary.curve, first);
}

TEST(SmoothCurve, FourPoints_GiveTheFirstPointAndFourSmoothedOnes)
{
    // c = 0: 0.383*0 + 0.242*1 + 0.061*2 + 0.006*3 = 0.382, and so on with
    // the indices clamped at both ends; every y becomes 10 * 1.001.
    std::vector<Point2d> curve = row(0, 4, 10);
    smoothCurve(curve, 2);
    ASSERT_EQ(curve.size(), 5u);
    EXPECT_EQ(curve[0], (Point2d{0, 10}));
    const double expectedX[4] = {0.382, 1.068, 1.935, 2.621};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(curve[i + 1].x, expectedX[i], 1e-12) << i;
        EXPECT_NEAR(curve[i + 1].y, 10.01, 1e-12) << i;
    }
}

TEST(SmoothCurve, LongCurves_AreThinnedToEveryLevelthPoint_ShortOnesLeftAlone)
{
    // The first point and the smoothed ones make S; more than 100 points of S
    // keep S[0], S[level], S[2 level], ... S[k] is the smoothed point k - 1,
    // scaled by the kernel's sum 1.001 away from the ends.
    const struct {
        int count;
        int level;
        std::size_t size;
        std::size_t index;
        Point2d point;
    } cases[] = {
        {0, 0, 0, 0, {}},
        {3, 2, 3, 2, {2, 10}}, // fewer points than twice the level: unchanged
        {9, 5, 9, 8, {8, 10}},
        {10, 5, 11, 0, {0, 10}},
        {99, 2, 100, 50, {49 * 1.001, 10.01}}, // S of 100 is not thinned
        {100, 2, 51, 25, {49 * 1.001, 10.01}},
        {200, 2, 101, 50, {99 * 1.001, 10.01}},
        {150, 3, 51, 10, {29 * 1.001, 10.01}},
        {200, 1, 201, 100, {99 * 1.001, 10.01}},
    };
    for (const auto& c : cases) {
        std::vector<Point2d> curve = row(0, c.count, 10);
        smoothCurve(curve, c.level);
        ASSERT_EQ(curve.size(), c.size) << c.count << " at level " << c.level;
        if (c.size > 0) {
            EXPECT_NEAR(curve[c.index].x, c.point.x, 1e-9) << c.count << " at level " << c.level;
            EXPECT_NEAR(curve[c.index].y, c.point.y, 1e-9) << c.count << " at level " << c.level;
        }
    }
}

} // namespace
} // namespace quorrel
