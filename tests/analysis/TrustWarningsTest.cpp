#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/FovealExtrema.h"
#include "analysis/MeasurementPipeline.h"
#include "analysis/TrustWarnings.h"
#include "samples/generator/SyntheticScan.h"

namespace quorrel {
namespace {

// A 400 x 200 fovea with rims at columns 110 and 290, measured from a
// vitreous patch and a reference curve along the whole lower border.
SyntheticScanParameters fovea(double speckleContrast)
{
    SyntheticScanParameters parameters;
    parameters.width = 400;
    parameters.height = 200;
    parameters.referenceRow = 60.0;
    parameters.surfaceRow = 140.0;
    parameters.pitCentreX = 200.0;
    parameters.pitDepth = 30.0;
    parameters.pitSigma = 30.0;
    parameters.rimHeight = 6.0;
    parameters.rimSigma = 60.0;
    parameters.speckleContrast = speckleContrast;
    if (speckleContrast > 0.0)
        parameters.noiseAmplitude = 16.0;
    parameters.seed = 4;
    return parameters;
}

MeasurementParameters foveaMeasurement()
{
    MeasurementParameters parameters;
    parameters.selection = PixelRect{150, 165, 250, 190};
    parameters.estimateTolerance = true;
    parameters.smoothCount = 2;
    parameters.referenceCurve = {{5, 60}, {394, 60}};
    parameters.unitLineStart = {10, 9};
    parameters.unitLineEnd = {110, 9};
    parameters.unitMicron = 250.0;
    parameters.axisScales = AxisScales{2.5, 2.5, "typed"};
    return parameters;
}

std::vector<TrustWarningKind> kinds(const std::vector<TrustWarning>& warnings)
{
    std::vector<TrustWarningKind> result;
    for (const TrustWarning& warning : warnings)
        result.push_back(warning.kind);
    return result;
}

TEST(TrustWarnings, SpeckledScanWhoseCurveStopsShort_WarnsOfEachFinding)
{
    // Strong speckle breaks the edge chain at the default connecting
    // distance: the traced curve starts near column 151, right of the left
    // rim, so A is the first sample and its thickness line runs slanted to
    // the curve's end.
    const SyntheticScan scan = makeSyntheticScan(fovea(0.4));
    const MeasurementResult result = runMeasurement(scan.view(), L"", foveaMeasurement());
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(kinds(result.warnings),
              (std::vector<TrustWarningKind>{TrustWarningKind::CurveShortOfReference, TrustWarningKind::RimAtProfileEnd,
                                             TrustWarningKind::TopAtCurveEnd}));
    EXPECT_EQ(trustWarningCodes(result.warnings), "curve-short-of-reference;rim-at-profile-end;top-at-curve-end");
    EXPECT_EQ(result.warnings[0].finding.rfind("the traced curve runs from x = 151", 0), 0u)
        << result.warnings[0].finding;
    EXPECT_EQ(result.warnings[1].finding.rfind("rim A is the first sample", 0), 0u) << result.warnings[1].finding;
    EXPECT_EQ(result.warnings[2].finding.rfind("A Top lies on the end of the traced curve", 0), 0u)
        << result.warnings[2].finding;
    for (const TrustWarning& warning : result.warnings)
        EXPECT_EQ(warning.finding.find('\n'), std::string::npos);

    // Bridging the gaps, as a user told to would, traces the whole surface.
    MeasurementParameters bridged = foveaMeasurement();
    bridged.maxLineConnectionDistance = 10.0;
    const MeasurementResult retraced = runMeasurement(scan.view(), L"", bridged);
    ASSERT_TRUE(retraced.ok());
    EXPECT_TRUE(retraced.warnings.empty()) << trustWarningCodes(retraced.warnings);
}

TEST(TrustWarnings, CleanScan_GivesNone)
{
    const SyntheticScan scan = makeSyntheticScan(fovea(0.0));
    const MeasurementResult result = runMeasurement(scan.view(), L"", foveaMeasurement());
    ASSERT_TRUE(result.ok());
    ASSERT_TRUE(result.calibrated.determined);
    EXPECT_TRUE(result.warnings.empty()) << trustWarningCodes(result.warnings);
    EXPECT_EQ(trustWarningCodes(result.warnings), "");
}

TEST(TrustWarnings, ReferenceCurveBeyondTheTracedCurve_WarnsInBothRunsOnce)
{
    // A hand-made boundary: the reference runs from x = 0 to 100 under a
    // curve that ends at x = 60, where the thickness grows to the reference
    // curve's right end; the sample lists mark E as their last sample.
    Boundary boundary;
    boundary.curve = {{20, 10}, {40, 8}, {60, 10}};
    boundary.referenceCurve = {{0, 0}, {100, 0}};
    detectFovealWidthAndDepth(boundary, 10);
    ASSERT_TRUE(hasValidExtrema(boundary));
    const CalibratedMeasurements calibrated = measureCalibrated(boundary, AxisScales{2.0, 1.0, "typed"}, 10);
    const std::vector<TrustWarning> warnings = findTrustWarnings(boundary, &calibrated);
    EXPECT_EQ(trustWarningCodes(warnings), "curve-short-of-reference;rim-at-profile-end;top-at-curve-end");
    // The calibrated run finds the same ends; they are not listed twice.
    for (const TrustWarning& warning : warnings)
        EXPECT_EQ(warning.finding.find("calibrated"), std::string::npos) << warning.finding;

    EXPECT_TRUE(findTrustWarnings(Boundary{}, nullptr).empty());
}

} // namespace
} // namespace quorrel
