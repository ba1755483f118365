#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/FovealExtrema.h"
#include "analysis/MeasurementReport.h"

using namespace quorrel;

namespace {

double thicknessAt(const Boundary& boundary, int index)
{
    const Point2d top = boundary.curveSamples[index];
    const Point2d bottom = boundary.referenceSamples[index];
    return std::sqrt((top.x - bottom.x) * (top.x - bottom.x) + (top.y - bottom.y) * (top.y - bottom.y));
}

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

// Over the reference line y = 0, a vertex every 4 px from x = 40 to 360:
// rims (y = 90) at x = 100 and 300, bottom (y = 80) at 200.
std::vector<Point2d> cosinePit()
{
    std::vector<Point2d> curve;
    for (int x = 40; x <= 360; x += 4)
        curve.push_back({double(x), 85.0 - 5.0 * std::cos(std::acos(-1.0) * (x - 200) / 100.0)});
    return curve;
}

// A narrow tilted pit, a vertex every 2 px from x = 100 to 300: the rims
// differ in height and the walls lie well inside the halves next to C.
std::vector<Point2d> tiltedNarrowPit()
{
    std::vector<Point2d> curve;
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

} // namespace

TEST(SampleReferenceCurve, TwoPointsAndHundredSteps_GiveHundredSamplesWithoutTheEndPoint)
{
    Boundary boundary;
    boundary.curve = {{0, 50}, {100, 50}};
    boundary.referenceCurve = {{0, 0}, {100, 0}};
    sampleReferenceCurve(boundary, 100);
    ASSERT_EQ(boundary.referenceSamples.size(), 100u);
    ASSERT_EQ(boundary.curveSamples.size(), 100u);
    EXPECT_NEAR(boundary.referenceSamples.back().x, 99.0, 1e-9);
    EXPECT_NEAR(boundary.curveSamples[37].x, 37.0, 1e-9);

    sampleReferenceCurve(boundary, 0);
    EXPECT_TRUE(boundary.referenceSamples.empty());
}

TEST(SampleReferenceCurve, OneStep_SamplesEverySegmentStartOnce)
{
    Boundary boundary;
    boundary.curve = {{0, 10}, {10, 10}, {20, 10}};
    boundary.referenceCurve = {{0, 0}, {9, 0}, {19, 0}, {30, 0}};
    sampleReferenceCurve(boundary, 1);
    EXPECT_EQ(boundary.referenceSamples, (std::vector<Point2d>{{0, 0}, {9, 0}, {19, 0}}));
    EXPECT_EQ(boundary.curveSamples, (std::vector<Point2d>{{0, 10}, {10, 10}, {10, 10}}));
}

TEST(SmoothSampleDistances, EvenThickness_MovesBottomsAlongTheirLinesByTheKernelExcess)
{
    Boundary boundary;
    boundary.curveSamples = {{0, 0}, {1, 0}, {2, 0}};
    boundary.referenceSamples = {{3, 4}, {4, 4}, {5, 4}};
    smoothSampleDistances(boundary);
    EXPECT_NEAR(boundary.referenceSamples[1].x, 4.003, 1e-12);
    EXPECT_NEAR(boundary.referenceSamples[1].y, 4.004, 1e-12);
}

TEST(SmoothSampleDistances, ZeroThicknessSample_StaysWhereItIs)
{
    Boundary boundary = boundaryWithThicknesses({10, 10, 10, 0, 10, 10, 10});
    smoothSampleDistances(boundary);
    EXPECT_EQ(boundary.referenceSamples[3], (Point2d{3, 0}));
    // Its neighbour's sum misses the 0.242 tap: 10 * (1.001 - 0.242).
    EXPECT_NEAR(thicknessAt(boundary, 2), 7.59, 1e-12);
}

TEST(FindLocalMinMax, Profiles_PickFirstOfEqualExtremaOnEachSide)
{
    Boundary boundary = boundaryWithThicknesses({5, 7, 9, 4, 2, 2, 6, 8, 8, 3});
    findLocalMinMax(boundary);
    EXPECT_EQ(boundary.indexC, 4);
    EXPECT_EQ(boundary.indexA, 2);
    EXPECT_EQ(boundary.indexE, 7);

    boundary = boundaryWithThicknesses({1, 2, 3, 4});
    findLocalMinMax(boundary);
    EXPECT_EQ(boundary.indexC, 0);
    EXPECT_EQ(boundary.indexA, -1);
    EXPECT_FALSE(hasValidExtrema(boundary));

    // The right-hand range starts at C itself.
    boundary = boundaryWithThicknesses({5, 2, 2});
    findLocalMinMax(boundary);
    EXPECT_EQ(boundary.indexE, 1);

    // Nothing thicker than 0 from C on: the left rim moves into E.
    boundary = boundaryWithThicknesses({3, 5, 0, 0, 0});
    findLocalMinMax(boundary);
    EXPECT_EQ(boundary.indexA, -1);
    EXPECT_EQ(boundary.indexE, 1);
}

TEST(FindSlopePoints, SteepestChange_IsTakenAfterThreeSmoothingPasses)
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
}

TEST(FindSlopePoints, RangeEnds_StartAtHalfCAndStopBeforeLengthMinusHalfC)
{
    // Changes at 9 and 30, just outside both ranges: the nearest index inside wins.
    std::vector<double> profile(40);
    for (int i = 0; i < 40; ++i)
        profile[i] = i < 9 ? 10.0 : i < 30 ? 8.0 : 12.0;
    Boundary boundary = boundaryWithThicknesses(profile, 20);
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

TEST(DetectFovealWidthAndDepth, CosinePit_FindsCentreRimsAndWallsWhereTheGeometryPutsThem)
{
    Boundary boundary;
    boundary.curve = cosinePit();
    boundary.referenceCurve = {{40, 0}, {360, 0}};
    detectFovealWidthAndDepth(boundary, 320);

    // One sample per pixel from x = 40.
    ASSERT_EQ(boundary.curveSamples.size(), 320u);
    EXPECT_EQ(boundary.indexC, 160);
    EXPECT_EQ(boundary.indexA, 60);
    EXPECT_EQ(boundary.indexE, 260);
    EXPECT_EQ(boundary.curveSamples[160], (Point2d{200, 80}));
    EXPECT_NEAR(boundary.referenceSamples[160].x, 200.0, 1e-9);
    // 80 * 1.001 plus the taps' share of the slightly thicker neighbours.
    EXPECT_NEAR(thicknessAt(boundary, 160), 80.085, 0.002);
    // The polyline's rim is a corner 0.0044 px below 90 whose sides fall
    // 0.00986 px per px.
    EXPECT_NEAR(thicknessAt(boundary, 60), 90.078, 0.002);
    EXPECT_NEAR(boundary.curveSamples[60].x, 100.0, 0.9);

    ASSERT_TRUE(hasReportableExtrema(boundary));
    ASSERT_EQ(boundary.resampledCurve.size(), 100u);
    EXPECT_EQ(boundary.resampledCurve.front(), boundary.curveSamples[60]);
    expectSamePoint(boundary.resampledCurve.back(), boundary.curveSamples[260]);
    expectSamePoint(boundary.resampledReference.back(), boundary.referenceSamples[260]);
    // The walls are steepest half way between rim and bottom.
    EXPECT_NEAR(boundary.resampledCurve[boundary.indexB].x, 150.0, 4.0);
    EXPECT_NEAR(boundary.resampledCurve[boundary.indexD].x, 250.0, 4.0);
    EXPECT_NEAR(boundary.resampledCurve[boundary.resampledIndexC].x, 200.0, 1.1);

    const FovealMeasurements m = computeFovealMeasurements(boundary, {0, 0}, {10, 0}, 100.0);
    EXPECT_NEAR(m.fovealPixelWidth, 200.0, 1.8);
    EXPECT_NEAR(m.depthAlongCLinePixel, 9.991, 0.002);
    EXPECT_NEAR(m.perpendicularDepthPixel, 9.991, 0.002);

    const Boundary first = boundary;
    detectFovealWidthAndDepth(boundary, 320);
    EXPECT_EQ(boundary.referenceSamples, first.referenceSamples);
    EXPECT_EQ(boundary.resampledCurve, first.resampledCurve);
    EXPECT_EQ(boundary.resampledReference, first.resampledReference);
    EXPECT_EQ(boundary.indexB, first.indexB);
    EXPECT_EQ(boundary.indexD, first.indexD);
}

TEST(DetectFovealWidthAndDepth, CurveDirection_ChangesNothing_ReferenceDirectionMirrorsTheRims)
{
    const auto detect = [](bool reverseCurve, bool reverseReference) {
        Boundary boundary;
        boundary.curve = tiltedNarrowPit();
        if (reverseCurve)
            boundary.curve = std::vector<Point2d>(boundary.curve.rbegin(), boundary.curve.rend());
        boundary.referenceCurve = {{100, 0}, {200, 0}, {300, 0}};
        if (reverseReference)
            boundary.referenceCurve = {{300, 0}, {200, 0}, {100, 0}};
        detectFovealWidthAndDepth(boundary, 100); // one sample per pixel
        EXPECT_TRUE(hasReportableExtrema(boundary));
        return boundary;
    };
    const auto expectSameFigures = [](const Boundary& a, const Boundary& b) {
        const FovealMeasurements ma = computeFovealMeasurements(a, {0, 0}, {10, 0}, 100.0);
        const FovealMeasurements mb = computeFovealMeasurements(b, {0, 0}, {10, 0}, 100.0);
        for (int i = 0; i < 5; ++i) {
            expectSamePoint(ma.topPoints[i], mb.topPoints[i]);
            expectSamePoint(ma.bottomPoints[i], mb.bottomPoints[i]);
        }
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(ma.slopes[i], mb.slopes[i], 1e-9);
        EXPECT_NEAR(ma.depthAlongCLinePixel, mb.depthAlongCLinePixel, 1e-9);
    };

    const Boundary forward = detect(false, false);
    expectSameFigures(detect(true, false), forward);
    EXPECT_LT(forward.curveSamples[forward.indexA].x, forward.curveSamples[forward.indexE].x);

    // A reference drawn from right to left is sampled in drawing order: A is
    // the right rim, A and E, B and D trade places, and the backward
    // differences sit one step further on.
    const Boundary mirrored = detect(false, true);
    expectSameFigures(detect(true, true), mirrored);
    EXPECT_EQ(mirrored.indexA, 200 - forward.indexE);
    EXPECT_EQ(mirrored.indexC, 200 - forward.indexC);
    EXPECT_EQ(mirrored.indexE, 200 - forward.indexA);
    EXPECT_EQ(mirrored.resampledIndexC, 99 - forward.resampledIndexC);
    EXPECT_EQ(mirrored.indexB, 100 - forward.indexD);
    EXPECT_EQ(mirrored.indexD, 100 - forward.indexB);
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
    EXPECT_EQ(boundary.resampledCurve, std::vector<Point2d>(100, Point2d{50, 50}));
    EXPECT_FALSE(hasReportableExtrema(boundary)); // C at resampled index 0 leaves no room for B

    boundary = Boundary();
    boundary.curve.assign(20, Point2d{50, 50});
    boundary.referenceCurve = {{50, 50}, {50, 50}};
    detectFovealWidthAndDepth(boundary, 100);
    EXPECT_EQ(boundary.referenceSamples, std::vector<Point2d>(100, Point2d{50, 50}));
    EXPECT_FALSE(hasValidExtrema(boundary));
    EXPECT_TRUE(boundary.resampledCurve.empty());

    boundary = Boundary();
    boundary.curve = cosinePit();
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
    EXPECT_EQ(boundary.curveSamples, std::vector<Point2d>(10, Point2d{60, 40}));
    EXPECT_EQ(boundary.indexC, 6);
    EXPECT_FALSE(hasReportableExtrema(boundary));
}
