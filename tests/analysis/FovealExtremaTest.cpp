#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/FovealExtrema.h"
#include "analysis/MeasurementReport.h"

namespace quorrel {
namespace {

using Points = std::vector<Point2d>;

// Bottom samples at (i, 0) with Top samples straight above at the given
// thicknesses, also used as the resampled lists with C at resampledIndexC.
Boundary boundaryWithThicknesses(const std::vector<double>& thicknesses, int resampledIndexC = -1)
{
    Boundary boundary;
    for (std::size_t i = 0; i < thicknesses.size(); ++i) {
        boundary.curveSamples.push_back({double(i), thicknesses[i]});
        boundary.referenceSamples.push_back({double(i), 0.0});
    }
    boundary.resampledCurve = boundary.curveSamples;
    boundary.resampledReference = boundary.referenceSamples;
    boundary.resampledIndexC = resampledIndexC;
    return boundary;
}

// A narrow tilted pit over the reference line y = 0, a vertex every 2 px from
// x = 100 to 300: the rims differ in height and the walls lie well inside
// the halves next to C.
Points tiltedNarrowPit()
{
    Points curve;
    for (int x = 100; x <= 300; x += 2) {
        const double d = x - 200.0;
        curve.push_back({double(x), 90.0 - 10.0 * std::exp(-d * d / 1250.0) - 0.0004 * d * d + 0.01 * d});
    }
    return curve;
}

void expectSamePoint(Point2d actual, Point2d expected)
{
    EXPECT_NEAR(actual.x, expected.x, 1e-9);
    EXPECT_NEAR(actual.y, expected.y, 1e-9);
}

TEST(SmoothSampleDistances, BottomsMoveAlongTheirLinesByTheSmoothedThickness_ZeroThicknessStays)
{
    Boundary boundary;
    boundary.curveSamples = {{0, 0}, {1, 0}, {2, 0}};
    boundary.referenceSamples = {{3, 4}, {4, 4}, {5, 4}};
    smoothSampleDistances(boundary);
    EXPECT_NEAR(boundary.referenceSamples[1].x, 4.003, 1e-12);
    EXPECT_NEAR(boundary.referenceSamples[1].y, 4.004, 1e-12);

    boundary = boundaryWithThicknesses({10, 10, 10, 0, 10, 10, 10});
    smoothSampleDistances(boundary);
    EXPECT_EQ(boundary.referenceSamples[3], (Point2d{3, 0}));
    // Its neighbour's sum misses the 0.242 tap: 10 * (1.001 - 0.242) = 7.59.
    EXPECT_NEAR(boundary.referenceSamples[2].y, 10.0 - 7.59, 1e-12);
}

TEST(FindLocalMinMax, Profiles_PickFirstOfEqualExtremaOnEachSide)
{
    const struct {
        std::vector<double> thicknesses;
        int a, c, e;
    } cases[] = {
        {{5, 7, 9, 4, 2, 2, 6, 8, 8, 3}, 2, 4, 7},
        {{1, 2, 3, 4}, -1, 0, 3},
        {{5, 2, 2}, 0, 1, 1}, // the right-hand range starts at C itself
        {{3, 5, 0, 0, 0}, -1, 2, 1}, // nothing thicker than 0 from C on: the left rim moves into E
    };
    for (const auto& c : cases) {
        Boundary boundary = boundaryWithThicknesses(c.thicknesses);
        findLocalMinMax(boundary);
        EXPECT_EQ((std::vector<int>{boundary.indexA, boundary.indexC, boundary.indexE}),
                  (std::vector<int>{c.a, c.c, c.e}));
        EXPECT_EQ(hasValidExtrema(boundary), c.a >= 0);
    }
}

TEST(FindSlopePoints, SteepestChangeAfterThreeSmoothingPasses_WithinHalfCOfTheEnds)
{
    // Drops of 5 at index 11 and of 2 at each of 16, 17 and 18, a rise of 3
    // at 25. One pass would favour the single drop at 11.
    std::vector<double> profile(40);
    double thickness = 30.0;
    for (int i = 0; i < 40; ++i) {
        thickness += i == 11 ? -5.0 : (i >= 16 && i <= 18) ? -2.0 : i == 25 ? 3.0 : 0.0;
        profile[i] = thickness;
    }
    Boundary boundary = boundaryWithThicknesses(profile, 20);
    findSlopePoints(boundary);
    EXPECT_EQ(boundary.resampledDistances, profile);
    EXPECT_EQ(boundary.indexB, 17);
    EXPECT_EQ(boundary.indexD, 25);

    // Changes at 9 and 30, just outside the ranges from C / 2 to before
    // length - C / 2: the nearest index inside wins.
    for (int i = 0; i < 40; ++i)
        profile[i] = i < 9 ? 10.0 : i < 30 ? 8.0 : 12.0;
    boundary = boundaryWithThicknesses(profile, 20);
    findSlopePoints(boundary);
    EXPECT_EQ(boundary.indexB, 10);
    EXPECT_EQ(boundary.indexD, 29);

    // A flat profile leaves both walls as they were.
    boundary = boundaryWithThicknesses(std::vector<double>(40, 10.0), 20);
    boundary.indexB = 3;
    findSlopePoints(boundary);
    EXPECT_EQ(boundary.indexB, 3);
    EXPECT_EQ(boundary.indexD, -1);
}

TEST(DetectFovealWidthAndDepth, CurveDirection_ChangesNothing_ReferenceDirectionMirrorsTheRims)
{
    const Points pit = tiltedNarrowPit();
    // The same report, to the precision it prints.
    const auto report = [](const Boundary& boundary) {
        return formatMeasurementReport(computeFovealMeasurements(boundary, {0, 0}, {10, 0}, 100.0));
    };
    const auto detect = [&pit, &report](bool reverseCurve, bool reverseReference) {
        Boundary boundary;
        boundary.curve = reverseCurve ? Points(pit.rbegin(), pit.rend()) : pit;
        boundary.referenceCurve = {{100, 0}, {200, 0}, {300, 0}};
        if (reverseReference)
            boundary.referenceCurve = {{300, 0}, {200, 0}, {100, 0}};
        detectFovealWidthAndDepth(boundary, 100); // one sample per pixel
        EXPECT_TRUE(hasReportableExtrema(boundary));
        // Detecting again starts from the curve, not from the last detection.
        Boundary again = boundary;
        detectFovealWidthAndDepth(again, 100);
        EXPECT_EQ(report(again), report(boundary));
        return boundary;
    };
    const Boundary forward = detect(false, false);
    EXPECT_EQ(report(detect(true, false)), report(forward));
    EXPECT_LT(forward.curveSamples[forward.indexA].x, forward.curveSamples[forward.indexE].x);

    // A reference drawn from right to left is sampled in drawing order: A is
    // the right rim, A and E, B and D trade places, and the backward
    // differences sit one step further on.
    const Boundary mirrored = detect(false, true);
    EXPECT_EQ(report(detect(true, true)), report(mirrored));
    EXPECT_EQ((std::vector<int>{mirrored.indexA, mirrored.indexC, mirrored.indexE, mirrored.resampledIndexC,
                                mirrored.indexB, mirrored.indexD}),
              (std::vector<int>{200 - forward.indexE, 200 - forward.indexC, 200 - forward.indexA,
                                99 - forward.resampledIndexC, 100 - forward.indexD, 100 - forward.indexB}));
    for (int i = 0; i < 100; ++i) {
        expectSamePoint(mirrored.resampledCurve[i], forward.resampledCurve[99 - i]);
        expectSamePoint(mirrored.resampledReference[i], forward.resampledReference[99 - i]);
    }
}

TEST(DetectFovealWidthAndDepth, DegenerateInputs_NeverCrashNorInventPoints)
{
    Boundary boundary;
    boundary.curve.assign(20, Point2d{50, 50});
    boundary.referenceCurve = {{0, 0}, {100, 0}};
    detectFovealWidthAndDepth(boundary, 100);
    EXPECT_EQ(boundary.resampledCurve, Points(100, Point2d{50, 50}));
    EXPECT_FALSE(hasReportableExtrema(boundary)); // C at resampled index 0 leaves no room for B

    boundary = Boundary();
    boundary.curve.assign(20, Point2d{50, 50});
    boundary.referenceCurve = {{50, 50}, {50, 50}};
    detectFovealWidthAndDepth(boundary, 100);
    EXPECT_EQ(boundary.referenceSamples, Points(100, Point2d{50, 50}));
    EXPECT_FALSE(hasValidExtrema(boundary));
    EXPECT_TRUE(boundary.resampledCurve.empty());

    boundary = Boundary();
    boundary.curve = tiltedNarrowPit();
    boundary.referenceCurve = {{100, 0}, {100, 0}};
    detectFovealWidthAndDepth(boundary, 100);
    EXPECT_FALSE(hasValidExtrema(boundary));

    boundary.referenceCurve = {{100, 0}, {300, 0}};
    detectFovealWidthAndDepth(boundary, 1);
    EXPECT_EQ(boundary.curveSamples.size(), 1u);
    EXPECT_FALSE(hasValidExtrema(boundary));

    boundary.curve = {{60, 40}};
    boundary.referenceCurve = {{0, 0}, {100, 0}};
    detectFovealWidthAndDepth(boundary, 10);
    EXPECT_EQ(boundary.curveSamples, Points(10, Point2d{60, 40}));
    EXPECT_EQ(boundary.indexC, 6);
    EXPECT_FALSE(hasReportableExtrema(boundary));
}

TEST(ResampleBetween, PointsAreSpacedEquallyAlongThePathFromStartToEnd)
{
    const Points elbow = {{0, 0}, {10, 0}, {10, 10}};
    const Points alongElbow = {{0, 0}, {5, 0}, {10, 0}, {10, 5}, {10, 10}};
    const Points segment = {{0, 0}, {10, 0}};
    const struct {
        const char* name;
        Points polyline;
        int count;
        Point2d start, end;
        Points expected;
    } cases[] = {
        {"bent polyline", elbow, 5, {0, 0}, {10, 10}, alongElbow},
        {"drawn the other way", {{10, 10}, {10, 0}, {0, 0}}, 5, {0, 0}, {10, 10}, alongElbow},
        {"walked backwards", elbow, 5, {10, 10}, {0, 0}, Points(alongElbow.rbegin(), alongElbow.rend())},
        {"within one segment", segment, 4, {2, 0}, {8, 0}, {{2, 0}, {4, 0}, {6, 0}, {8, 0}}},
        // (10, 10) is nearer the short last segment, whose start it is: the
        // end is repeated, not NaN.
        {"end on a segment's start", {{0, 0}, {10, 0}, {10, 10}, {14, 10}}, 5, {0, 0}, {10, 10}, alongElbow},
        // The 2 px riser gets no point; the next lies 4 px further along the
        // path at (6, 2), not 4 px from the last point in a straight line.
        {"segment without a point",
         {{0, 0}, {5, 0}, {5, 2}, {10, 2}},
         4,
         {0, 0},
         {10, 2},
         {{0, 0}, {4, 0}, {6, 2}, {10, 2}}},
        {"no points", elbow, 0, {0, 0}, {10, 10}, {}},
        {"one point", elbow, 1, {0, 0}, {10, 10}, {{0, 0}}},
        {"one-point polyline", {{5, 5}}, 3, {0, 0}, {4, 2}, {{0, 0}, {2, 1}, {4, 2}}},
    };
    for (const auto& c : cases) {
        Points out = {{1, 1}};
        resampleBetween(out, c.count, c.polyline, c.start, c.end);
        ASSERT_EQ(out.size(), c.expected.size()) << c.name;
        for (std::size_t i = 0; i < out.size(); ++i) {
            EXPECT_NEAR(out[i].x, c.expected[i].x, 1e-12) << c.name << ", point " << i;
            EXPECT_NEAR(out[i].y, c.expected[i].y, 1e-12) << c.name << ", point " << i;
        }
    }
}

} // namespace
} // namespace quorrel
