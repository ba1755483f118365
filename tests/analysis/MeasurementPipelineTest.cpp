#include <gtest/gtest.h>

#include "TestImage.h"
#include "analysis/MeasurementPipeline.h"
#include "samples/generator/SyntheticScan.h"

namespace quorrel {
namespace {

// A 400 x 200 fovea: surface at row 140 dipping 30 rows at column 200, lower
// border at row 60, rims raised by up to 4 rows.
SyntheticScan smallFovea()
{
    SyntheticScanParameters parameters;
    parameters.width = 400;
    parameters.height = 200;
    parameters.surfaceRow = 140.0;
    parameters.referenceRow = 60.0;
    parameters.pitCentreX = 200.0;
    parameters.pitDepth = 30.0;
    parameters.pitSigma = 30.0;
    parameters.rimHeight = 4.0;
    parameters.rimSigma = 70.0;
    return makeSyntheticScan(parameters);
}

// The vitreous patch of viewer rows 10 .. 34, the reference curve along the
// lower border, a 100-pixel unit line of 250 microns.
MeasurementParameters fovealParameters()
{
    MeasurementParameters parameters;
    parameters.selection = PixelRect{150, 165, 250, 190};
    parameters.estimateTolerance = true;
    parameters.smoothCount = 2;
    parameters.referenceCurve = {{10, 60}, {389, 60}};
    parameters.unitLineStart = {10, 9};
    parameters.unitLineEnd = {110, 9};
    parameters.unitMicron = 250.0;
    return parameters;
}

TEST(MeasurementPipeline, EachMissingInput_StopsAtItsStep)
{
    const SyntheticScan scan = smallFovea();

    EXPECT_EQ(runMeasurement(RgbaImageView{}, L"", fovealParameters()).status, MeasurementStatus::NoImage);

    MeasurementParameters outside = fovealParameters();
    outside.selection = PixelRect{400, 10, 420, 20};
    const MeasurementResult outsideResult = runMeasurement(scan.view(), L"", outside);
    EXPECT_EQ(outsideResult.status, MeasurementStatus::EmptySelection);
    EXPECT_TRUE(outsideResult.boundary.edgePoints.empty());
    EXPECT_TRUE(outsideResult.report.empty());

    // One colour everywhere: the region fills the image up to its margins
    // and meets no edge.
    const test::TestImage uniform(60, 40, RgbaColor{128, 128, 128, 255});
    MeasurementParameters flat = fovealParameters();
    flat.selection = PixelRect{10, 10, 30, 20};
    EXPECT_EQ(runMeasurement(uniform.view(), L"", flat).status, MeasurementStatus::NoCurve);

    MeasurementParameters onePoint = fovealParameters();
    onePoint.referenceCurve.resize(1);
    const MeasurementResult onePointResult = runMeasurement(scan.view(), L"", onePoint);
    EXPECT_EQ(onePointResult.status, MeasurementStatus::NoReferenceCurve);
    EXPECT_FALSE(onePointResult.boundary.curve.empty());
    EXPECT_TRUE(onePointResult.report.empty());

    // A reference curve that starts on the surface and falls away from it:
    // the thinnest place is its first sample, so there is no rim before it.
    MeasurementParameters slanted = fovealParameters();
    slanted.referenceCurve = {{2, 140}, {397, 0}};
    EXPECT_EQ(runMeasurement(scan.view(), L"", slanted).status, MeasurementStatus::NoRim);
}

} // namespace
} // namespace quorrel
