// Curve construction against its literal form: every stage must give the
// same points, neighbour lists, links and polylines, in the same order.

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/CurveConstruction.h"
#include "oracle/PlainCurveConstruction.h"
#include "tests/analysis/DifferentialSupport.h"

namespace quorrel {
namespace {

using test::sameBits;
using test::sameNodes;

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Points on a few columns and rows, so that columns hold many points, row
// keys repeat and pixels coincide; some off the pixel grid.
std::vector<Point2d> crowdedPoints(std::mt19937_64& random, std::size_t count, int columns, int rows)
{
    std::uniform_int_distribution<int> column(0, columns - 1);
    std::uniform_int_distribution<int> row(-rows / 4, rows);
    std::vector<Point2d> points(count);
    for (Point2d& point : points) {
        point = Point2d{double(column(random)), double(row(random))};
        if (random() % 10 == 0)
            point.y += 0.5;
    }
    return points;
}

TEST(SortEdgePointsDifferential, CrowdedColumnsWithEqualRowKeys_GiveTheLiteralOrder)
{
    std::mt19937_64 random(21);
    for (int trial = 0; trial < 400; ++trial) {
        // Up to 600 points on as few as one column: columns of hundreds of points.
        std::vector<Point2d> points =
            crowdedPoints(random, std::size_t(trial * 37 % 600), 1 + trial % 12, 2 + trial % 30);
        if (trial % 25 == 0 && !points.empty())
            points[std::size_t(trial) % points.size()].x = kNaN;
        std::vector<Point2d> expected = points;
        plain::sortEdgePoints(expected);
        sortEdgePoints(points);
        ASSERT_TRUE(sameBits(points, expected)) << "trial " << trial;
    }
}

TEST(SortEdgePointsDifferential, RegionFillOfSpeckledScans_GivesTheLiteralOrder)
{
    for (std::uint64_t seed = 1; seed <= 12; ++seed) {
        std::vector<Point2d> points = test::speckledEdgePoints(test::makeSpeckledScan(seed, 160, 80));
        ASSERT_GT(points.size(), 200u);
        std::vector<Point2d> expected = points;
        plain::sortEdgePoints(expected);
        sortEdgePoints(points);
        ASSERT_TRUE(sameBits(points, expected)) << "seed " << seed;
    }
}

TEST(BuildNeighbourGraphDifferential, AnyRadius_GivesTheLiteralNeighbourLists)
{
    std::mt19937_64 random(22);
    const double radii[] = {2.0, 1.0, std::sqrt(2.0), 1.5, 2.5, 0.0, -2.0, 7.0, kNaN, kInfinity};
    for (int trial = 0; trial < 300; ++trial) {
        std::vector<Point2d> points = crowdedPoints(random, std::size_t(trial % 150), 2 + trial % 20, 2 + trial % 15);
        if (trial % 7 == 0 && !points.empty())
            points[0] = Point2d{kInfinity, 3.0};
        if (trial % 11 == 0 && points.size() > 1)
            points[1] = Point2d{4.0, kNaN};
        const double radius = radii[trial % 10];
        ASSERT_TRUE(sameNodes(buildNeighbourGraph(points, radius), plain::buildNeighbourGraph(points, radius)))
            << "trial " << trial << ", radius " << radius;
    }
}

TEST(BuildNeighbourGraphDifferential, FarFromTheOriginOrTiny_GivesTheLiteralNeighbourLists)
{
    // Coordinates near 1e13 make cells wider than the radius; a radius of
    // 1e-300 links only points that coincide or whose differences underflow.
    std::mt19937_64 random(23);
    for (int trial = 0; trial < 40; ++trial) {
        std::vector<Point2d> points = crowdedPoints(random, 120, 8, 8);
        for (Point2d& point : points)
            point = Point2d{1e13 + point.x, -1e13 + point.y};
        ASSERT_TRUE(sameNodes(buildNeighbourGraph(points, 2.0), plain::buildNeighbourGraph(points, 2.0)));
        for (Point2d& point : points)
            point = Point2d{(point.x - 1e13) * 1e-160, (point.y + 1e13) * 1e-160};
        ASSERT_TRUE(sameNodes(buildNeighbourGraph(points, 1e-300), plain::buildNeighbourGraph(points, 1e-300)));
    }
}

// Short polylines whose ends lie on a small grid: many equal distances, so
// the tie rules (first candidate, join type order) decide most joins.
std::vector<Polyline> crowdedPolylines(std::mt19937_64& random, std::size_t count, int extent)
{
    std::uniform_int_distribution<int> coordinate(0, extent);
    std::vector<Polyline> polylines(count);
    for (Polyline& polyline : polylines) {
        const std::size_t length = random() % 4;
        for (std::size_t k = 0; k < length; ++k)
            polyline.push_back(Point2d{double(coordinate(random)), double(coordinate(random))});
    }
    return polylines;
}

TEST(JoinPolylinesDifferential, TiedDistancesAndEveryJoinType_GiveTheLiteralJoins)
{
    std::mt19937_64 random(24);
    const double maxima[] = {3.0, 1.0, 2.0, 2.5, 5.0, 1e6, kInfinity, 0.0, -1.0, kNaN};
    for (int trial = 0; trial < 2000; ++trial) {
        std::vector<Polyline> polylines = crowdedPolylines(random, std::size_t(trial % 130), 4 + trial % 16);
        const double maximum = maxima[trial % 10];
        std::vector<Polyline> expected = polylines;
        plain::joinPolylines(expected, maximum);
        joinPolylines(polylines, maximum);
        ASSERT_EQ(polylines, expected) << "trial " << trial << ", maximum " << maximum;
    }
}

TEST(JoinPolylinesDifferential, EndsThatAreNotFinite_GiveTheLiteralJoins)
{
    // With a NaN end the chosen distance need not be the smallest of the
    // four; the library then takes the restarted passes.
    std::mt19937_64 random(25);
    for (int trial = 0; trial < 100; ++trial) {
        std::vector<Polyline> polylines = crowdedPolylines(random, 20, 5);
        polylines[std::size_t(trial) % 20] = {Point2d{trial % 2 ? kNaN : kInfinity, 1.0}, Point2d{2.0, 2.0}};
        std::vector<Polyline> expected = polylines;
        plain::joinPolylines(expected, 3.0);
        joinPolylines(polylines, 3.0);
        ASSERT_EQ(polylines.size(), expected.size()) << "trial " << trial;
        for (std::size_t k = 0; k < polylines.size(); ++k)
            ASSERT_TRUE(sameBits(polylines[k], expected[k])) << "trial " << trial;
    }
}

TEST(BuildBoundaryCurveDifferential, SpeckledScans_GiveTheLiteralNodesAndCurve)
{
    const double connections[][2] = {{2.0, 3.0}, {1.0, 2.0}, {1.5, 6.0}}; // minimum, maximum
    for (std::uint64_t seed = 1; seed <= 18; ++seed) {
        Boundary boundary;
        boundary.edgePoints = test::speckledEdgePoints(test::makeSpeckledScan(seed, 260, 110));
        Boundary expected = boundary;
        const double* connection = connections[seed % 3];

        sortEdgePoints(boundary.edgePoints);
        buildBoundaryCurve(boundary, connection[0], connection[1], 20);
        plain::sortEdgePoints(expected.edgePoints);
        plain::buildBoundaryCurve(expected, connection[0], connection[1], 20);

        ASSERT_TRUE(sameBits(boundary.edgePoints, expected.edgePoints)) << "seed " << seed;
        ASSERT_TRUE(sameNodes(boundary.curveNodes, expected.curveNodes)) << "seed " << seed;
        ASSERT_TRUE(sameBits(boundary.curve, expected.curve)) << "seed " << seed;
        // At the default distances the scans give a curve, so every stage ran.
        if (seed % 3 == 0) {
            EXPECT_GE(boundary.curve.size(), 20u) << "seed " << seed;
        }
    }
}

} // namespace
} // namespace quorrel
