#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestImage.h"
#include "analysis/CalibratedMeasurement.h"
#include "analysis/MeasurementPipeline.h"
#include "analysis/MeasurementSettings.h"

namespace quorrel {
namespace {

using test::lines;

double relativeError(double measured, double truth)
{
    return std::fabs(measured - truth) / truth;
}

TEST(CalibratedMeasurement, AnisotropicScan_GivesTheTrueMicronFigures_OneUnsetScaleNone)
{
    // A real-looking scan: pixels 11.5 um across and 3.9 um down, a pit
    // about 2 mm from rim to rim and 100 um deep in a retina 215 to 315 um
    // thick.
    SyntheticScanParameters shape = test::foveaShape(512, 400, 225, 150, 38, 38, 18, 68);
    shape.lateralMicronsPerPixel = 11.5;
    shape.axialMicronsPerPixel = 3.9;
    const SyntheticScan scan = makeSyntheticScan(shape);
    const SyntheticMicronGeometry truth = syntheticMicronGeometry(scan);
    MeasurementParameters parameters;
    parameters.selection = PixelRect{20, 360, 120, 390};
    parameters.estimateTolerance = true;
    parameters.smoothCount = 2;
    parameters.referenceCurve = {{5, 150}, {506, 150}};
    // A horizontal scale bar: the 50 lines convert with 11.5 um per pixel.
    parameters.unitLineStart = {10, 20};
    parameters.unitLineEnd = {110, 20};
    parameters.unitMicron = 1150.0;
    // One scale unset adds nothing to the 50 lines.
    parameters.axisScales = AxisScales{11.5, 0.0, "typed"};
    const MeasurementResult uncalibrated = runMeasurement(scan.view(), L"", parameters);
    ASSERT_TRUE(uncalibrated.ok());
    EXPECT_FALSE(uncalibrated.calibrated.determined);
    EXPECT_EQ(formatCalibratedSection(uncalibrated.calibrated), "");
    EXPECT_EQ(lines(uncalibrated.report).size(), 50u);
    parameters.axisScales = AxisScales{11.5, 3.9, "typed"};
    const MeasurementResult result = runMeasurement(scan.view(), L"", parameters);
    ASSERT_TRUE(result.ok());
    ASSERT_TRUE(result.calibrated.determined);

    const FovealMeasurements& m = result.calibrated.figures;
    const CalibratedMeasurements& run = result.calibrated;
    EXPECT_LT(relativeError(m.pixelDistances[0], truth.thicknessAtLeftRim), 0.02);
    EXPECT_LT(relativeError(m.pixelDistances[2], truth.thicknessAtCentre), 0.02);
    EXPECT_LT(relativeError(m.pixelDistances[4], truth.thicknessAtRightRim), 0.02);
    // On the walls the thickness is that to the nearest surface point.
    EXPECT_LT(relativeError(m.pixelDistances[1], nearestSurfaceMicrons(scan, run.bottomPoints[1].x)), 0.02);
    EXPECT_LT(relativeError(m.pixelDistances[3], nearestSurfaceMicrons(scan, run.bottomPoints[3].x)), 0.02);
    EXPECT_LT(relativeError(m.fovealPixelWidth, truth.fovealWidth), 0.02);
    EXPECT_LT(relativeError(m.depthAlongCLinePixel, truth.fovealDepth), 0.02);
    EXPECT_LT(relativeError(m.perpendicularDepthPixel, truth.fovealDepth), 0.02);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_NEAR(m.slopeDegrees[i], truth.wallChordDegrees[i], 1.0) << kSlopeSegmentLabels[i];
    // The points are given in image pixels, the rims near the true ones.
    EXPECT_NEAR(run.topPoints[0].x, scan.leftRimX, 5.0);
    EXPECT_NEAR(run.topPoints[4].x, scan.rightRimX, 5.0);
    EXPECT_NEAR(run.bottomPoints[2].y, 150.0, 0.5);
}

constexpr double kInfinity = std::numeric_limits<double>::infinity();

TEST(AxisScales, UnitLine_SetsTheAxisItMostlyRunsAlong_BadScalesAreRefusedWithTheirReason)
{
    const struct {
        Point2d start;
        Point2d end;
        double microns;
        ScaleCheck check;
        ScaleAxis axis;
        double micronsPerPixel;
    } unitLines[] = {
        // Drawn either way, a little slanted: 3-4-5 triangles.
        {{110, 24}, {10, 99}, 625.0, ScaleCheck::Ok, ScaleAxis::Lateral, 5.0},
        {{0, 80}, {60, 0}, 500.0, ScaleCheck::Ok, ScaleAxis::Axial, 5.0},
        // Exactly diagonal counts as across.
        {{0, 0}, {30, 30}, 100.0, ScaleCheck::Ok, ScaleAxis::Lateral, 100.0 / std::sqrt(1800.0)},
        {{5, 5}, {5, 5}, 100.0, ScaleCheck::ZeroLengthLine, ScaleAxis::Lateral, 0.0},
        {{0, 0}, {100, 0}, 0.0, ScaleCheck::NotPositive, ScaleAxis::Lateral, 0.0},
        {{0, 0}, {0, 2}, 2000.0, ScaleCheck::Ok, ScaleAxis::Axial, 1000.0},
        {{0, 0}, {0, 2}, 2000.002, ScaleCheck::TooLarge, ScaleAxis::Axial, 1000.001},
        {{0, 0}, {100, 0}, kInfinity, ScaleCheck::NotFinite, ScaleAxis::Lateral, kInfinity},
    };
    for (const auto& c : unitLines) {
        const UnitLineScale scale = scaleFromUnitLine(c.start, c.end, c.microns);
        EXPECT_EQ(scale.check, c.check) << c.end.x << ", " << c.end.y;
        if (c.check == ScaleCheck::ZeroLengthLine)
            continue;
        EXPECT_EQ(scale.axis, c.axis) << c.end.x << ", " << c.end.y;
        EXPECT_DOUBLE_EQ(scale.micronsPerPixel, c.micronsPerPixel) << c.end.x << ", " << c.end.y;
        EXPECT_EQ(describeScaleCheck(c.check).empty(), c.check == ScaleCheck::Ok);
    }
    EXPECT_EQ(checkMicronsPerPixel(std::nan("")), ScaleCheck::NotFinite);
}

// What the command's tests do not reach: a file's absurd size, and unit
// lines that cannot set a scale.
TEST(AxisScales, Resolution_IgnoresAnAbsurdFileScaleAndRefusesLinesThatCannotSetAScale)
{
    const AxisScales file = scalesFromImageFile(25400.0, 3.9, "TIFF resolution"); // 1 dpi across
    MeasurementSettings settings;
    AxisScales scales;
    std::string error;
    ASSERT_TRUE(resolveAxisScales(settings, file, scales, error));
    EXPECT_EQ(scales.lateralMicronsPerPixel, 0.0);
    EXPECT_EQ(scales.source, "lateral not set, axial file (TIFF resolution)");

    // Unit lines given over stated scales replace them, and must each give one.
    settings.lateralMicronsPerPixel = 12.0;
    settings.scaleSource = "typed";
    MeasurementSettings options;
    options.secondUnitLine = std::array<Point2d, 2>{Point2d{0, 0}, Point2d{0, 2}};
    options.secondUnitMicrons = 5000.0;
    overlaySettings(settings, options);
    EXPECT_FALSE(settings.lateralMicronsPerPixel || settings.axialMicronsPerPixel || settings.scaleSource);
    EXPECT_FALSE(resolveAxisScales(settings, file, scales, error));
    EXPECT_NE(error.find("the unit line has no length"), std::string::npos) << error;
    settings.unitLine = std::array<Point2d, 2>{Point2d{10, 20}, Point2d{110, 20}};
    EXPECT_FALSE(resolveAxisScales(settings, file, scales, error));
    EXPECT_NE(error.find("the second unit line gives 2500 microns per pixel, which is above 1000"), std::string::npos)
        << error;
}

} // namespace
} // namespace quorrel
