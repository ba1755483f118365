#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/FovealExtrema.h"

using quorrel::Point2d;
using quorrel::resampleBetween;

namespace {

void expectPoints(const std::vector<Point2d>& actual, const std::vector<Point2d>& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(actual[i].x, expected[i].x, 1e-12) << "point " << i;
        EXPECT_NEAR(actual[i].y, expected[i].y, 1e-12) << "point " << i;
    }
}

const std::vector<Point2d> kElbow = {{0, 0}, {10, 0}, {10, 10}};

} // namespace

TEST(ResampleBetween, BentPolyline_SpacesPointsEquallyAlongThePath)
{
    std::vector<Point2d> out;
    resampleBetween(out, 5, kElbow, {0, 0}, {10, 10});
    expectPoints(out, {{0, 0}, {5, 0}, {10, 0}, {10, 5}, {10, 10}});
}

TEST(ResampleBetween, PolylineDrawnTheOtherWay_WalksFromStartToEndAllTheSame)
{
    const std::vector<Point2d> reversedElbow = {{10, 10}, {10, 0}, {0, 0}};
    std::vector<Point2d> out;
    resampleBetween(out, 5, reversedElbow, {0, 0}, {10, 10});
    expectPoints(out, {{0, 0}, {5, 0}, {10, 0}, {10, 5}, {10, 10}});

    resampleBetween(out, 5, kElbow, {10, 10}, {0, 0});
    expectPoints(out, {{10, 10}, {10, 5}, {10, 0}, {5, 0}, {0, 0}});
}

TEST(ResampleBetween, StartAndEndNearestOneSegment_FollowsTheStraightLineEitherWay)
{
    const std::vector<Point2d> segment = {{0, 0}, {10, 0}};
    std::vector<Point2d> out;
    resampleBetween(out, 4, segment, {2, 0}, {8, 0});
    expectPoints(out, {{2, 0}, {4, 0}, {6, 0}, {8, 0}});

    // The end lies behind the start on the same segment.
    resampleBetween(out, 4, segment, {8, 0}, {2, 0});
    expectPoints(out, {{8, 0}, {6, 0}, {4, 0}, {2, 0}});
}

TEST(ResampleBetween, EndOnTheStartOfItsSegment_RepeatsTheEndInsteadOfNaN)
{
    // (10, 10) is nearer the short last segment, whose start it is.
    const std::vector<Point2d> polyline = {{0, 0}, {10, 0}, {10, 10}, {14, 10}};
    std::vector<Point2d> out;
    resampleBetween(out, 5, polyline, {0, 0}, {10, 10});
    expectPoints(out, {{0, 0}, {5, 0}, {10, 0}, {10, 5}, {10, 10}});
}

TEST(ResampleBetween, WholeSegmentWithoutPoint_CarriesItsLengthAlongThePath)
{
    // The 2 px riser gets no point; the next point lies 4 px further along
    // the path at (6, 2), not 4 px from the last point in a straight line.
    const std::vector<Point2d> step = {{0, 0}, {5, 0}, {5, 2}, {10, 2}};
    std::vector<Point2d> out;
    resampleBetween(out, 4, step, {0, 0}, {10, 2});
    expectPoints(out, {{0, 0}, {4, 0}, {6, 2}, {10, 2}});
}

TEST(ResampleBetween, DegenerateInputs_GiveShortOrStraightListsWithoutNaN)
{
    std::vector<Point2d> out = {{1, 1}};
    resampleBetween(out, 0, kElbow, {0, 0}, {10, 10});
    EXPECT_TRUE(out.empty());

    resampleBetween(out, 1, kElbow, {0, 0}, {10, 10});
    expectPoints(out, {{0, 0}});

    resampleBetween(out, 3, {{5, 5}}, {0, 0}, {4, 2});
    expectPoints(out, {{0, 0}, {2, 1}, {4, 2}});

    const std::vector<Point2d> onOneSpot(20, Point2d{7, 7});
    resampleBetween(out, 3, onOneSpot, {7, 7}, {7, 7});
    expectPoints(out, {{7, 7}, {7, 7}, {7, 7}});
}
