// Each fast step of the library against its literal form in tests/oracle/,
// one test per step over generated inputs: sizes from empty to hundreds of
// points, ties on small grids, repeated and non-finite points, odd radii and
// counts. The results must agree bit for bit, in the same order.

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/ColorDistance.h"
#include "analysis/CurveConstruction.h"
#include "analysis/ExchangeSort.h"
#include "analysis/FovealExtrema.h"
#include "analysis/RegionGrowing.h"
#include "oracle/PlainCurveConstruction.h"
#include "oracle/PlainNearestPoint.h"
#include "oracle/PlainRegionGrowing.h"
#include "samples/generator/SyntheticScan.h"
#include "tests/analysis/TestImage.h"

namespace quorrel {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Equal bit for bit: NaN matches NaN, and -0 differs from +0.
bool sameBits(const std::vector<Point2d>& a, const std::vector<Point2d>& b)
{
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(Point2d)) == 0);
}

bool sameBits(Point2d a, Point2d b)
{
    return std::memcmp(&a, &b, sizeof(Point2d)) == 0;
}

bool sameNodes(const std::vector<CurveNode>& a, const std::vector<CurveNode>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!sameBits(a[i].point, b[i].point) || a[i].prev != b[i].prev || a[i].next != b[i].next
            || a[i].neighbours != b[i].neighbours || a[i].neighbourDistances != b[i].neighbourDistances)
            return false;
    }
    return true;
}

// A small scan with strong speckle: a frayed surface and holes in the
// vitreous, so that its edge has many pieces, forks and ties.
SyntheticScan speckledScan(std::uint64_t seed, int width, int height)
{
    SyntheticScanParameters parameters = test::foveaShape(width, height, 0.6 * height, 0.2 * height, 0.15 * height,
                                                          0.12 * width, 0.02 * height, 0.25 * width);
    parameters.noiseAmplitude = 10.0;
    parameters.speckleContrast = 0.9;
    parameters.vitreousColor = RgbaColor{40, 40, 40, 255};
    parameters.retinaColor = RgbaColor{150, 150, 150, 255};
    parameters.seed = seed;
    return makeSyntheticScan(parameters);
}

// The edge of the region grown from the middle of the scan's top, with the
// tolerance estimated there, as Detect gives it.
std::vector<Point2d> speckledEdgePoints(const SyntheticScan& scan)
{
    const RgbaImageView image = scan.view();
    const PixelRect patch =
        pixelRectBetween(scan.width / 2 - scan.width / 10, scan.height - 3, scan.width / 2 + scan.width / 10,
                         scan.height - scan.height / 5, scan.width, scan.height);
    const Boundary candidate = makeCandidateBoundary(image, L"", patch, estimateMaxColorDistance(image, patch));
    return collectEdgePoints(image, candidate.seedPoint, candidate.referenceColor, candidate.maxColorDistance);
}

// Points on a few columns and rows: columns of many points, repeated row
// keys, coinciding pixels, some off the grid.
std::vector<Point2d> crowdedPoints(std::mt19937_64& random, std::size_t count, int columns, int rows)
{
    std::uniform_int_distribution<int> column(0, columns - 1);
    std::uniform_int_distribution<int> row(-rows / 4, rows);
    std::vector<Point2d> points(count);
    for (Point2d& point : points)
        point = Point2d{double(column(random)), double(row(random)) + (random() % 10 == 0 ? 0.5 : 0.0)};
    return points;
}

TEST(FastAgainstPlain, CollectEdgePoints)
{
    const int scanTolerances[] = {128, 60, 200, 1};
    for (std::uint64_t seed = 1; seed <= 6; ++seed) {
        const SyntheticScan scan = speckledScan(seed, 150 + int(seed) * 7, 70 + int(seed) * 3);
        const Point2d seedPoint{scan.width / 2.0, scan.height - 5.0};
        const int tolerance = scanTolerances[seed % 4];
        ASSERT_TRUE(sameBits(collectEdgePoints(scan.view(), seedPoint, {42, 42, 42, 255}, tolerance),
                             plain::collectEdgePoints(scan.view(), seedPoint, {42, 42, 42, 255}, tolerance)))
            << "seed " << seed;
    }
    // Tiny pictures, from too small to trace up, seeds on, past and far past
    // the margins, references far outside 0..255 (their squares round as
    // doubles), tolerances below 0 and huge.
    std::mt19937_64 random(41);
    const RgbaColor references[] = {{0, 0, 0, 255}, {-70000000, 3, 300, 0}, {100, 100, 100, 100}};
    const int tolerances[] = {30, 0, -5, 150, 2000000000};
    for (int trial = 0; trial < 400; ++trial) {
        const int width = 1 + trial % 12;
        const int height = 1 + (trial / 12) % 10;
        test::TestImage image(width, height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                image.set(x, y, test::grey(int(random() % (random() % 3 == 0 ? 256 : 40))));
        Point2d seedPoint{double(random() % unsigned(width + 1)) - 0.5, double(random() % unsigned(height))};
        if (trial % 50 == 7)
            seedPoint.x = trial % 100 == 7 ? 1e300 : kNaN;
        ASSERT_TRUE(
            sameBits(collectEdgePoints(image.view(), seedPoint, references[trial % 3], tolerances[trial % 5]),
                     plain::collectEdgePoints(image.view(), seedPoint, references[trial % 3], tolerances[trial % 5])))
            << "trial " << trial;
    }
}

TEST(FastAgainstPlain, ExchangeSortOrder)
{
    std::mt19937_64 random(13);
    for (int trial = 0; trial < 600; ++trial) {
        // Sizes from none across the direct (up to 32) and the counted path,
        // with groups of equal keys large enough for the counted queue (over
        // 128).
        std::vector<double> keys(trial % 3 == 0 ? trial % 32 : 30 + (trial * 37) % 500);
        for (double& key : keys) {
            const auto roll = random() % 100;
            key = roll == 0 && trial % 4 == 1 ? kNaN : roll == 1 ? -0.0 : double(random() % unsigned(1 + trial % 9));
        }
        ASSERT_EQ(exchangeSortOrder(keys), plain::exchangeSortOrder(keys)) << "trial " << trial;
    }
}

TEST(FastAgainstPlain, SortEdgePoints)
{
    std::mt19937_64 random(21);
    for (int trial = 0; trial < 312; ++trial) {
        // Up to 600 points on as few as one column; the last trials sort the
        // fill of speckled scans.
        std::vector<Point2d> points = trial < 300
            ? crowdedPoints(random, std::size_t(trial * 37 % 600), 1 + trial % 12, 2 + trial % 30)
            : speckledEdgePoints(speckledScan(std::uint64_t(trial), 160, 80));
        if (trial % 25 == 0 && !points.empty())
            points[std::size_t(trial) % points.size()].x = kNaN;
        std::vector<Point2d> expected = points;
        plain::sortEdgePoints(expected);
        sortEdgePoints(points);
        ASSERT_TRUE(sameBits(points, expected)) << "trial " << trial;
    }
}

TEST(FastAgainstPlain, BuildNeighbourGraph)
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
    // Near 1e13 a cell is wider than the radius; at 1e-300 only points that
    // coincide, or whose differences underflow, are neighbours.
    for (int trial = 0; trial < 20; ++trial) {
        std::vector<Point2d> points = crowdedPoints(random, 120, 8, 8);
        for (Point2d& point : points)
            point = Point2d{1e13 + point.x, -1e13 + point.y};
        ASSERT_TRUE(sameNodes(buildNeighbourGraph(points, 2.0), plain::buildNeighbourGraph(points, 2.0)));
        for (Point2d& point : points)
            point = Point2d{(point.x - 1e13) * 1e-160, (point.y + 1e13) * 1e-160};
        ASSERT_TRUE(sameNodes(buildNeighbourGraph(points, 1e-300), plain::buildNeighbourGraph(points, 1e-300)));
    }
}

TEST(FastAgainstPlain, JoinPolylines)
{
    // Short polylines with ends on a small grid: many equal distances, so
    // the tie rules (first candidate, join type order) decide most joins;
    // every tenth trial has an end that is not finite.
    std::mt19937_64 random(24);
    const double maxima[] = {3.0, 1.0, 2.0, 2.5, 5.0, 1e6, kInfinity, 0.0, -1.0, kNaN};
    for (int trial = 0; trial < 2000; ++trial) {
        std::uniform_int_distribution<int> coordinate(0, 4 + trial % 16);
        std::vector<Polyline> polylines(std::size_t(trial % 130));
        for (Polyline& polyline : polylines) {
            const std::size_t length = random() % 4;
            for (std::size_t k = 0; k < length; ++k)
                polyline.push_back(Point2d{double(coordinate(random)), double(coordinate(random))});
        }
        if (trial % 10 == 9 && !polylines.empty())
            polylines[std::size_t(trial) % polylines.size()] = {Point2d{trial % 20 ? kNaN : kInfinity, 1.0}, {2, 2}};
        const double maximum = trial % 10 == 9 ? 3.0 : maxima[trial % 10];
        std::vector<Polyline> expected = polylines;
        plain::joinPolylines(expected, maximum);
        joinPolylines(polylines, maximum);
        ASSERT_EQ(polylines.size(), expected.size()) << "trial " << trial;
        for (std::size_t k = 0; k < polylines.size(); ++k)
            ASSERT_TRUE(sameBits(polylines[k], expected[k])) << "trial " << trial << ", maximum " << maximum;
    }
}

TEST(FastAgainstPlain, BuildBoundaryCurve)
{
    const double connections[][2] = {{2.0, 3.0}, {1.0, 2.0}, {1.5, 6.0}}; // minimum, maximum
    for (std::uint64_t seed = 1; seed <= 12; ++seed) {
        Boundary boundary;
        boundary.edgePoints = speckledEdgePoints(speckledScan(seed, 260, 110));
        Boundary expected = boundary;
        const double* connection = connections[seed % 3];
        sortEdgePoints(boundary.edgePoints);
        buildBoundaryCurve(boundary, connection[0], connection[1], 20);
        plain::sortEdgePoints(expected.edgePoints);
        plain::buildBoundaryCurve(expected, connection[0], connection[1], 20);
        ASSERT_TRUE(sameNodes(boundary.curveNodes, expected.curveNodes)) << "seed " << seed;
        ASSERT_TRUE(sameBits(boundary.curve, expected.curve)) << "seed " << seed;
        // At the default distances the scans give a curve, so every stage ran.
        EXPECT_TRUE(seed % 3 != 0 || boundary.curve.size() >= 20u) << "seed " << seed;
    }
}

TEST(FastAgainstPlain, FindNearestCurvePoint)
{
    // Grid polylines (ties, repeated vertices, none at all), counts from 0,
    // and random walks with steps from 1e-9 to 1e150 and vertices or queries
    // that are not finite.
    std::mt19937_64 random(31);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    const double scales[] = {1e-9, 1e-3, 1.0, 1e4, 1e12, 1e150};
    for (int trial = 0; trial < 4000; ++trial) {
        std::vector<Point2d> polyline;
        Point2d query;
        if (trial % 2 == 0) {
            std::uniform_int_distribution<int> coordinate(0, 4 + trial % 17);
            polyline.resize(std::size_t(trial % 61));
            for (Point2d& point : polyline)
                point = Point2d{double(coordinate(random)), double(coordinate(random))};
            query = Point2d{0.5 * int(random() % 49) - 2.0, 0.5 * int(random() % 49) - 2.0};
        } else {
            polyline.push_back({unit(random), unit(random)});
            for (int k = 0; k < 12; ++k) {
                const double step = scales[random() % 6];
                polyline.push_back(random() % 8 == 0 ? polyline.back()
                                                     : Point2d{polyline.back().x + step * unit(random),
                                                               polyline.back().y + step * unit(random)});
            }
            if (trial % 10 == 3)
                polyline[6].x = kNaN;
            if (trial % 10 == 7)
                polyline[4].y = -kInfinity;
            query =
                Point2d{scales[trial % 6] * unit(random), trial % 50 == 11 ? kNaN : scales[trial % 6] * unit(random)};
        }
        const int count = trial % 61;
        ASSERT_TRUE(sameBits(findNearestCurvePoint(polyline, query, count),
                             plain::findNearestCurvePoint(polyline, query, count)))
            << "trial " << trial << ", N " << count;
    }
}

TEST(FastAgainstPlain, DetectFovealWidthAndDepth)
{
    // The sampling of pixel-stepped pits as Make Curve gives them, forwards
    // and backwards, then of curves too short to sample, at counts from 0.
    for (int trial = 0; trial < 15; ++trial) {
        Boundary boundary;
        const int width = 120 + 10 * trial;
        for (int x = 0; trial < 12 && x < width; ++x) {
            const double offset = (x - width / 2.0) / (width / 6.0);
            const double depth = 20.0 + trial;
            const double row =
                std::floor(80.0 - depth * std::exp(-offset * offset) + 0.4 * depth * std::exp(-offset * offset / 6.0));
            if (!boundary.curve.empty() && row < boundary.curve.back().y - 1)
                boundary.curve.push_back(Point2d{double(x), boundary.curve.back().y - 1});
            boundary.curve.push_back(Point2d{double(x), row});
        }
        if (trial % 2 == 1)
            boundary.curve.assign(boundary.curve.rbegin(), boundary.curve.rend());
        if (trial == 13)
            boundary.curve = {{3, 4}};
        if (trial == 14)
            boundary.curve = {{0, 5}, {0, 5}, {9, 5}};
        for (int k = 0; k < 5 + trial % 4; ++k)
            boundary.referenceCurve.push_back(Point2d{double(width) * k / (4 + trial % 4), 10.0 + (k % 2)});
        Boundary expected = boundary;
        const int count = trial == 0 ? 0 : 2 + (trial * 13) % 40;
        detectFovealWidthAndDepth(boundary, count);
        plain::detectFovealWidthAndDepth(expected, count);
        // The steps after the sampling are the library's in both.
        ASSERT_TRUE(sameBits(boundary.curveSamples, expected.curveSamples)) << "trial " << trial;
        ASSERT_TRUE(sameBits(boundary.referenceSamples, expected.referenceSamples)) << "trial " << trial;
        EXPECT_EQ(boundary.resampledCurve.size(), expected.resampledCurve.size()) << "trial " << trial;
    }
}

} // namespace
} // namespace quorrel
