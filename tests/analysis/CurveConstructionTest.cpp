#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/CurveConstruction.h"
#include "analysis/CurveSmoothing.h"

namespace quorrel {
namespace {

using Points = std::vector<Point2d>;

Points sorted(Points points)
{
    sortEdgePoints(points);
    return points;
}

// count points along a row, x = firstX, firstX + 1, ...
Points row(double firstX, int count, double y)
{
    Points points;
    for (int i = 0; i < count; ++i)
        points.push_back(Point2d{firstX + i, y});
    return points;
}

TEST(SortEdgePoints, EachColumnStartsNearestToThePreviousColumnsStart)
{
    EXPECT_EQ(sorted({{2, 5}, {1, 7}, {1, 3}, {2, 9}}), (Points{{1, 3}, {1, 7}, {2, 5}, {2, 9}}));
    EXPECT_EQ(sorted({{1, 10}, {2, 1}, {2, 9}}), (Points{{1, 10}, {2, 9}, {2, 1}}));
    EXPECT_TRUE(sorted({}).empty());
}

TEST(SortEdgePoints, EqualKeys_KeepTheExchangeSortsOrder)
{
    // Column sort: (1, 7) swaps with the first (2, 5), leaving (2, 9) before
    // (2, 5); both are 2 rows from 7, so they stay that way. A stable sort
    // would give (2, 5), (2, 9).
    EXPECT_EQ(sorted({{2, 5}, {2, 9}, {1, 7}}), (Points{{1, 7}, {2, 9}, {2, 5}}));
    // Row keys 2, 2, 1 in column 2 become 1, 2, 2 with the two 2s exchanged.
    EXPECT_EQ(sorted({{1, 10}, {2, 12}, {2, 8}, {2, 11}}), (Points{{1, 10}, {2, 11}, {2, 8}, {2, 12}}));
}

TEST(BuildNeighbourGraph, DiagonalsLinkOnlyWhenTheSquaredRadiusReaches2)
{
    const Points square{{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    const std::vector<CurveNode> straight = buildNeighbourGraph(square, 1.0);
    ASSERT_EQ(straight.size(), 4u);
    EXPECT_EQ(straight[0].neighbours, (std::vector<int>{1, 2}));
    EXPECT_EQ(straight[1].neighbours, (std::vector<int>{3}));
    EXPECT_EQ(straight[2].neighbours, (std::vector<int>{3}));
    EXPECT_TRUE(straight[3].neighbours.empty());
    EXPECT_EQ(straight[0].neighbourDistances, (std::vector<double>{1.0, 1.0}));

    EXPECT_EQ(buildNeighbourGraph(square, 1.4)[0].neighbours, (std::vector<int>{1, 2}));
    const std::vector<CurveNode> diagonal = buildNeighbourGraph(square, 2.0);
    EXPECT_EQ(diagonal[0].neighbours, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(diagonal[1].neighbours, (std::vector<int>{2, 3}));
    EXPECT_DOUBLE_EQ(diagonal[0].neighbourDistances[2], std::sqrt(2.0));

    // At 2.0 pixels two apart in a row also link; three apart do not.
    const std::vector<CurveNode> gaps = buildNeighbourGraph({{0, 0}, {2, 0}, {5, 0}}, 2.0);
    EXPECT_EQ(gaps[0].neighbours, (std::vector<int>{1}));
    EXPECT_TRUE(gaps[1].neighbours.empty());
}

TEST(LinkSuccessors, NearestFreeNeighbourWins_FirstOfEqualDistances)
{
    // Node 0 has 1 and 2 at distance 1: 1 wins. Node 1 takes 3 (1 < sqrt 2).
    // Node 2's only neighbour 3 already has a predecessor: 2 stays unlinked.
    std::vector<CurveNode> nodes = buildNeighbourGraph({{0, 0}, {1, 0}, {0, 1}, {1, 1}}, 1.5);
    linkSuccessors(nodes);
    EXPECT_EQ(nodes[0].next, 1);
    EXPECT_EQ(nodes[1].prev, 0);
    EXPECT_EQ(nodes[1].next, 3);
    EXPECT_EQ(nodes[3].prev, 1);
    EXPECT_EQ(nodes[2].prev, -1);
    EXPECT_EQ(nodes[2].next, -1);
    // The chosen neighbour leaves the lists.
    EXPECT_EQ(nodes[0].neighbours, (std::vector<int>{2, 3}));
    EXPECT_EQ(nodes[1].neighbours, (std::vector<int>{2}));
    EXPECT_EQ(nodes[2].neighbours, (std::vector<int>{3}));

    EXPECT_EQ(collectChains(nodes), (std::vector<Polyline>{{{0, 0}, {1, 0}, {1, 1}}}));
}

TEST(JoinPolylines, GapEqualToTheMaximum_IsNotBridged_JustBelowIs)
{
    std::vector<Polyline> equal{{{0, 0}, {1, 0}}, {{4, 0}, {5, 0}}};
    joinPolylines(equal, 3.0);
    EXPECT_EQ(equal.size(), 2u);

    std::vector<Polyline> below{{{0, 0}, {1, 0}}, {{3.99, 0}, {4.99, 0}}};
    joinPolylines(below, 3.0);
    EXPECT_EQ(below, (std::vector<Polyline>{{{0, 0}, {1, 0}, {3.99, 0}, {4.99, 0}}}));
}

TEST(JoinPolylines, EachJoinType_OrdersThePointsByTheEndsThatMeet)
{
    // Type 1, end of A to end of B: A, then B reversed.
    std::vector<Polyline> endToEnd{{{0, 0}, {1, 0}}, {{5, 0}, {3, 0}}};
    joinPolylines(endToEnd, 3.0);
    EXPECT_EQ(endToEnd, (std::vector<Polyline>{{{0, 0}, {1, 0}, {3, 0}, {5, 0}}}));

    // Type 2, start of A to start of B: A reversed, then B.
    std::vector<Polyline> startToStart{{{5, 0}, {6, 0}, {7, 0}}, {{3, 0}, {2, 0}, {1, 0}}};
    joinPolylines(startToStart, 3.0);
    EXPECT_EQ(startToStart, (std::vector<Polyline>{{{7, 0}, {6, 0}, {5, 0}, {3, 0}, {2, 0}, {1, 0}}}));

    // Type 3, start of A to end of B: B, then A.
    std::vector<Polyline> startToEnd{{{5, 0}, {6, 0}}, {{1, 0}, {3, 0}}};
    joinPolylines(startToEnd, 3.0);
    EXPECT_EQ(startToEnd, (std::vector<Polyline>{{{1, 0}, {3, 0}, {5, 0}, {6, 0}}}));
}

TEST(JoinPolylines, TiedRules_AreSettledInTheOrder0_1_3_2)
{
    // End of A is sqrt 5 from both ends of B: type 0 wins over type 1.
    std::vector<Polyline> endTie{{{0, 0}, {2, 0}}, {{4, 1}, {4, -1}}};
    joinPolylines(endTie, 3.0);
    EXPECT_EQ(endTie, (std::vector<Polyline>{{{0, 0}, {2, 0}, {4, 1}, {4, -1}}}));

    // Start of A is sqrt 2 from both ends of B: type 3 wins over type 2.
    std::vector<Polyline> startTie{{{0, 0}, {-5, 0}}, {{1, 1}, {1, -1}}};
    joinPolylines(startTie, 3.0);
    EXPECT_EQ(startTie, (std::vector<Polyline>{{{1, 1}, {1, -1}, {0, 0}, {-5, 0}}}));
}

TEST(JoinPolylines, NearestCandidateJoinsFirst_AndThePassRestarts)
{
    // Polyline 0 could join 1 (2.5) or 2 (1.0): 2 goes first. Afterwards the
    // end (1, 2) is 3.2 from (3.5, 0), too far.
    std::vector<Polyline> nearest{{{0, 0}, {1, 0}}, {{3.5, 0}, {4.5, 0}}, {{1, 1}, {1, 2}}};
    joinPolylines(nearest, 3.0);
    EXPECT_EQ(nearest, (std::vector<Polyline>{{{0, 0}, {1, 0}, {1, 1}, {1, 2}}, {{3.5, 0}, {4.5, 0}}}));

    // Equal candidates (2 and 2): the first recorded joins; the restarted
    // pass then joins the rest by the starts (type 2, sqrt 5).
    std::vector<Polyline> tied{{{0, 0}, {1, 0}}, {{3, 0}, {4, 0}}, {{1, 2}, {1, 3}}};
    joinPolylines(tied, 3.0);
    EXPECT_EQ(tied, (std::vector<Polyline>{{{4, 0}, {3, 0}, {1, 0}, {0, 0}, {1, 2}, {1, 3}}}));
}

TEST(SelectLongestPolyline, DropsShortPieces_FirstOfEqualLengthsWins)
{
    std::vector<Polyline> polylines{row(0, 19, 0), row(0, 25, 1), row(0, 25, 2), row(0, 20, 3)};
    EXPECT_EQ(selectLongestPolyline(polylines, 20), row(0, 25, 1));
    EXPECT_EQ(polylines.size(), 3u);

    std::vector<Polyline> shortOnes{row(0, 19, 0), row(0, 5, 1)};
    EXPECT_TRUE(selectLongestPolyline(shortOnes, 20).empty());
    std::vector<Polyline> none;
    EXPECT_TRUE(selectLongestPolyline(none, 20).empty());
}

TEST(BuildBoundaryCurve, PiecesUnder20Points_GiveAnEmptyCurve_UnlessBridged)
{
    // Two pieces of 15 points, 3 apart: not linked at radius 2, not bridged
    // at 3.0, bridged at 3.5 into one curve of 30 points.
    Boundary boundary;
    boundary.edgePoints = row(0, 15, 5);
    const Points right = row(17, 15, 5);
    boundary.edgePoints.insert(boundary.edgePoints.end(), right.begin(), right.end());
    boundary.curve = row(0, 3, 0);

    buildBoundaryCurve(boundary, 2.0, 3.0, 20);
    EXPECT_TRUE(boundary.curve.empty());
    EXPECT_EQ(boundary.curveNodes.size(), 30u);

    buildBoundaryCurve(boundary, 2.0, 3.5, 20);
    Points expected = row(0, 15, 5);
    expected.insert(expected.end(), right.begin(), right.end());
    EXPECT_EQ(boundary.curve, expected);
}

TEST(BuildBoundaryCurve, NoEdgePoints_GiveNoNodesAndNoCurve)
{
    Boundary boundary;
    boundary.curve = row(0, 30, 0);
    buildBoundaryCurve(boundary, 2.0, 3.0, 20);
    EXPECT_TRUE(boundary.curve.empty());
    EXPECT_TRUE(boundary.curveNodes.empty());
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

} // namespace
} // namespace quorrel
