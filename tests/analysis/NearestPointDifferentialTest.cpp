// The nearest-point search of the foveal detection against the literal
// search over every candidate: the same candidate, bit for bit, including
// which of equally near candidates wins.

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/FovealExtrema.h"
#include "oracle/PlainNearestPoint.h"
#include "tests/analysis/DifferentialSupport.h"

namespace quorrel {
namespace {

using test::sameBits;

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Vertices on a small integer grid: repeated vertices (segments of length
// zero), collinear runs, and queries equally far from several candidates.
std::vector<Point2d> gridPolyline(std::mt19937_64& random, std::size_t count, int extent)
{
    std::uniform_int_distribution<int> coordinate(0, extent);
    std::vector<Point2d> polyline(count);
    for (Point2d& point : polyline)
        point = Point2d{double(coordinate(random)), double(coordinate(random))};
    return polyline;
}

TEST(FindNearestCurvePointDifferential, EqualDistances_FirstSegmentThenFirstParameterWins)
{
    // (10, 0) is sqrt 50 from (5, 5) on the first segment and (15, 5) on the
    // second, at N = 2 and at N = 4 (parameters 0.25 and 0.75 give 62.5).
    const std::vector<Point2d> vee{{0, 0}, {10, 10}, {20, 0}};
    EXPECT_TRUE(sameBits(findNearestCurvePoint(vee, {10, 0}, 2), Point2d{5, 5}));
    EXPECT_TRUE(sameBits(findNearestCurvePoint(vee, {10, 0}, 4), Point2d{5, 5}));
    // Along (0, 0) - (8, 0) at N = 4 the candidates are x = 0, 2, 4, 6; from
    // (5, 1) both 4 and 6 are sqrt 2 away: the smaller parameter wins, though
    // the foot of the perpendicular (x = 5) is no closer to it.
    EXPECT_TRUE(sameBits(findNearestCurvePoint({{0, 0}, {8, 0}}, {5, 1}, 4), Point2d{4, 0}));

    // Sampling starts each search on the segment the previous sample found:
    // (5, 9) is nearest (5, 10) on the third segment, and from (5, 5) the
    // first three segments each offer a candidate 5 away. The first segment's
    // still wins, as in the visit of every candidate.
    Boundary square;
    square.curve = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    square.referenceCurve = {{5, 9}, {5, 1}};
    Boundary expected = square;
    sampleReferenceCurve(square, 2);
    plain::sampleReferenceCurve(expected, 2);
    EXPECT_TRUE(sameBits(square.curveSamples, std::vector<Point2d>{{5, 10}, {5, 0}}));
    EXPECT_TRUE(sameBits(square.curveSamples, expected.curveSamples));
}

TEST(FindNearestCurvePointDifferential, GridPolylinesWithTies_GiveTheLiteralCandidate)
{
    std::mt19937_64 random(31);
    const int counts[] = {1, 2, 3, 4, 5, 7, 10, 16, 100};
    std::uniform_int_distribution<int> half(-4, 44);
    for (int trial = 0; trial < 4000; ++trial) {
        const std::vector<Point2d> polyline = gridPolyline(random, 1 + std::size_t(trial % 60), 4 + trial % 17);
        const Point2d query{0.5 * half(random), 0.5 * half(random)};
        const int count = counts[trial % 9];
        ASSERT_TRUE(sameBits(findNearestCurvePoint(polyline, query, count),
                             plain::findNearestCurvePoint(polyline, query, count)))
            << "trial " << trial << ", N " << count;
    }
}

TEST(FindNearestCurvePointDifferential, ShortOrDistantOrUnusualSegments_GiveTheLiteralCandidate)
{
    std::mt19937_64 random(32);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    const double scales[] = {1e-9, 1e-3, 1.0, 1e4, 1e12, 1e150};
    for (int trial = 0; trial < 2000; ++trial) {
        // A random walk with steps from tiny to huge, some repeated vertices
        // and, now and then, a vertex that is not finite.
        std::vector<Point2d> polyline{{unit(random), unit(random)}};
        for (int k = 0; k < 12; ++k) {
            const double step = scales[random() % 6];
            Point2d next{polyline.back().x + step * unit(random), polyline.back().y + step * unit(random)};
            if (random() % 8 == 0)
                next = polyline.back();
            polyline.push_back(next);
        }
        if (trial % 10 == 3)
            polyline[6].x = kNaN;
        if (trial % 10 == 7)
            polyline[4].y = -kInfinity;
        Point2d query{scales[trial % 6] * unit(random), scales[trial % 6] * unit(random)};
        if (trial % 50 == 11)
            query.y = kNaN;
        const int count = 1 + trial % 60;
        ASSERT_TRUE(sameBits(findNearestCurvePoint(polyline, query, count),
                             plain::findNearestCurvePoint(polyline, query, count)))
            << "trial " << trial;
    }
    EXPECT_TRUE(sameBits(findNearestCurvePoint({}, {0, 0}, 5), plain::findNearestCurvePoint({}, {0, 0}, 5)));
    EXPECT_TRUE(sameBits(findNearestCurvePoint({{1, 2}}, {0, 0}, 0), Point2d{kNaN, kNaN}));
}

// A traced surface as Make Curve gives it: pixel steps along a pit between
// two rims.
std::vector<Point2d> pixelPit(int width, double depth)
{
    std::vector<Point2d> curve;
    for (int x = 0; x < width; ++x) {
        const double offset = (x - width / 2.0) / (width / 6.0);
        const double row =
            std::floor(80.0 - depth * std::exp(-offset * offset) + 0.4 * depth * std::exp(-offset * offset / 6.0));
        if (!curve.empty() && row < curve.back().y - 1)
            curve.push_back(Point2d{double(x), curve.back().y - 1});
        curve.push_back(Point2d{double(x), row});
    }
    return curve;
}

TEST(DetectFovealWidthAndDepthDifferential, PixelCurves_GiveTheLiteralSamplesAndPoints)
{
    for (int trial = 0; trial < 12; ++trial) {
        Boundary boundary;
        boundary.curve = pixelPit(120 + 10 * trial, 20.0 + trial);
        if (trial % 2 == 1)
            boundary.curve.assign(boundary.curve.rbegin(), boundary.curve.rend());
        const double width = 120.0 + 10 * trial;
        for (int k = 0; k < 5 + trial % 4; ++k)
            boundary.referenceCurve.push_back(Point2d{width * k / (4 + trial % 4), 10.0 + (k % 2)});
        Boundary expected = boundary;
        const int count = 2 + (trial * 13) % 40;

        detectFovealWidthAndDepth(boundary, count);
        plain::detectFovealWidthAndDepth(expected, count);
        ASSERT_TRUE(sameBits(boundary.curveSamples, expected.curveSamples)) << "trial " << trial;
        ASSERT_TRUE(sameBits(boundary.referenceSamples, expected.referenceSamples)) << "trial " << trial;
        ASSERT_TRUE(sameBits(boundary.resampledCurve, expected.resampledCurve)) << "trial " << trial;
        ASSERT_TRUE(sameBits(boundary.resampledReference, expected.resampledReference)) << "trial " << trial;
        EXPECT_EQ(boundary.indexA, expected.indexA);
        EXPECT_EQ(boundary.indexB, expected.indexB);
        EXPECT_EQ(boundary.indexC, expected.indexC);
        EXPECT_EQ(boundary.indexD, expected.indexD);
        EXPECT_EQ(boundary.indexE, expected.indexE);
        // Forward curves with enough samples give every point, so the whole
        // detection is compared, not just the sampling.
        if (trial % 2 == 0 && trial > 0) {
            EXPECT_TRUE(hasReportableExtrema(boundary)) << "trial " << trial;
        }
    }
}

TEST(SampleReferenceCurveDifferential, ShortCurves_GiveTheLiteralSamples)
{
    for (const std::vector<Point2d>& curve :
         {std::vector<Point2d>{}, std::vector<Point2d>{{3, 4}}, std::vector<Point2d>{{0, 5}, {0, 5}, {9, 5}}}) {
        Boundary boundary;
        boundary.curve = curve;
        boundary.referenceCurve = {{0, 0}, {4, 1}, {8, 0}};
        Boundary expected = boundary;
        sampleReferenceCurve(boundary, 7);
        plain::sampleReferenceCurve(expected, 7);
        EXPECT_TRUE(sameBits(boundary.curveSamples, expected.curveSamples));
        EXPECT_TRUE(sameBits(boundary.referenceSamples, expected.referenceSamples));
    }
}

} // namespace
} // namespace quorrel
