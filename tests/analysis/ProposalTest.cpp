#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestImage.h"
#include "analysis/MeasurementPipeline.h"
#include "analysis/ReferenceCurveProposal.h"
#include "analysis/VitreousPatchProposal.h"
#include "samples/generator/SyntheticScan.h"

namespace quorrel {
namespace {

// The bundled samples' frame: 768 x 384, surface at row 174 dipping 30 rows,
// lower border at row 110, plain noise of 6 levels.
SyntheticScanParameters sampleFrame()
{
    SyntheticScanParameters parameters;
    parameters.width = 768;
    parameters.height = 384;
    parameters.surfaceRow = 174.0;
    parameters.referenceRow = 110.0;
    parameters.pitCentreX = 384.0;
    parameters.pitDepth = 30.0;
    parameters.pitSigma = 65.0;
    parameters.rimHeight = 14.0;
    parameters.rimSigma = 130.0;
    return parameters;
}

// The speckle sample's noise: the retina's level deviates by about 40.
SyntheticScanParameters speckled(SyntheticScanParameters parameters)
{
    parameters.noiseAmplitude = 16.0;
    parameters.speckleContrast = 0.22;
    return parameters;
}

struct ScanCase {
    const char* name;
    SyntheticScanParameters parameters;
};

std::vector<ScanCase> generatorScans()
{
    std::vector<ScanCase> scans;
    scans.push_back({"standard", sampleFrame()});
    SyntheticScanParameters tilted = sampleFrame();
    tilted.tiltRowsPerColumn = 0.1;
    tilted.referenceRow = 150.0;
    tilted.surfaceRow = 214.0;
    scans.push_back({"tilted", tilted});
    scans.push_back({"speckle", speckled(sampleFrame())});
    SyntheticScanParameters curved = speckled(sampleFrame());
    curved.curvature = 0.0004; // the ends lie 59 rows above the middle
    curved.referenceRow = 90.0;
    curved.surfaceRow = 154.0;
    scans.push_back({"curved", curved});
    SyntheticScanParameters choroid = speckled(sampleFrame());
    choroid.choroidThickness = 30.0;
    scans.push_back({"bright choroid", choroid});
    SyntheticScanParameters shadow = speckled(sampleFrame());
    shadow.shadowLeft = 250.0;
    shadow.shadowWidth = 15.0;
    scans.push_back({"vessel shadow", shadow});
    // Everything at once, at half the speckle sample's noise: with the
    // choroid the border's step is 50 levels instead of 80.
    SyntheticScanParameters everything = sampleFrame();
    everything.curvature = 0.0003;
    everything.tiltRowsPerColumn = -0.05;
    everything.referenceRow = 100.0;
    everything.surfaceRow = 164.0;
    everything.choroidThickness = 30.0;
    everything.shadowLeft = 500.0;
    everything.shadowWidth = 15.0;
    everything.noiseAmplitude = 10.0;
    everything.speckleContrast = 0.11;
    scans.push_back({"everything", everything});
    return scans;
}

// The traced surface the window would make from the proposed patch: the
// region grown with the tolerance estimated from it, made into a curve and
// smoothed twice.
MeasurementParameters tracedFromProposedPatch(const SyntheticScan& scan)
{
    const VitreousPatchProposal patch = proposeVitreousPatch(scan.view());
    EXPECT_TRUE(patch.found) << patch.reason;
    MeasurementParameters parameters;
    parameters.selection = patch.rect;
    parameters.estimateTolerance = true;
    parameters.smoothCount = 2;
    return parameters;
}

double rowOnPolyline(const std::vector<Point2d>& points, double x)
{
    for (std::size_t i = 0; i + 1 < points.size(); ++i) {
        if (x >= points[i].x && x <= points[i + 1].x)
            return points[i].y + (points[i + 1].y - points[i].y) * (x - points[i].x) / (points[i + 1].x - points[i].x);
    }
    return NAN;
}

TEST(ProposedVitreousPatch, GeneratorScans_LieInTheVitreousClearOfTheRetina)
{
    for (const ScanCase& scanCase : generatorScans()) {
        SCOPED_TRACE(scanCase.name);
        const SyntheticScan scan = makeSyntheticScan(scanCase.parameters);
        const VitreousPatchProposal patch = proposeVitreousPatch(scan.view());
        ASSERT_TRUE(patch.found) << patch.reason;
        EXPECT_GE(patch.rect.right - patch.rect.left, 16);
        EXPECT_GE(patch.rect.top - patch.rect.bottom, 8);
        for (int x = patch.rect.left; x < patch.rect.right; ++x)
            ASSERT_GT(patch.rect.bottom, scan.surfaceRowAt(x) + 8.0) << "column " << x;
        EXPECT_TRUE(patch.rect.left >= 8 && patch.rect.right <= scan.width - 8 && patch.rect.top <= scan.height - 8);
    }
}

TEST(ProposedVitreousPatch, TextAndScaleBarInTheVitreous_AreKeptClearOf)
{
    SyntheticScan scan = makeSyntheticScan(sampleFrame());
    // A label in the upper left and a scale bar below it, both white.
    const auto paintWhite = [&scan](int left, int bottom, int right, int top) {
        for (int y = bottom; y < top; ++y)
            for (int x = left; x < right; ++x)
                std::fill_n(&scan.rgba[(static_cast<std::size_t>(y) * 768u + static_cast<std::size_t>(x)) * 4u], 3,
                            255);
    };
    paintWhite(10, 350, 200, 375);
    paintWhite(20, 300, 300, 303);
    const VitreousPatchProposal patch = proposeVitreousPatch(scan.view());
    ASSERT_TRUE(patch.found) << patch.reason;
    const bool clearOfLabel = patch.rect.left >= 208 || patch.rect.top <= 342;
    const bool clearOfBar = patch.rect.left >= 308 || patch.rect.bottom >= 311 || patch.rect.top <= 292;
    EXPECT_TRUE(clearOfLabel && clearOfBar)
        << patch.rect.left << " " << patch.rect.bottom << " " << patch.rect.right << " " << patch.rect.top;
}

TEST(ProposedVitreousPatch, NoPlausibleVitreous_IsRefusedWithTheReason)
{
    const test::TestImage black(300, 200, test::grey(0));
    const test::TestImage grey(300, 200, test::grey(128));
    SyntheticScanParameters noRetina = sampleFrame();
    noRetina.retinaColor = noRetina.vitreousColor;
    noRetina.belowColor = noRetina.vitreousColor;
    const SyntheticScan noiseOnly = makeSyntheticScan(noRetina);
    test::TestImage blob(300, 200, test::grey(10));
    for (int y = 90; y < 110; ++y)
        for (int x = 140; x < 160; ++x)
            blob.set(x, y, test::grey(220));
    const struct {
        const char* name;
        RgbaImageView image;
        const char* reason;
    } cases[] = {
        {"empty", RgbaImageView{}, "the image has no pixels"},
        {"black", black.view(), "blank or of one brightness"},
        {"grey", grey.view(), "blank or of one brightness"},
        {"noise only", noiseOnly.view(), "blank or of one brightness"},
        {"a small bright blob", blob.view(), "no bright retinal band"},
    };
    for (const auto& refusal : cases) {
        SCOPED_TRACE(refusal.name);
        const VitreousPatchProposal patch = proposeVitreousPatch(refusal.image);
        EXPECT_FALSE(patch.found);
        EXPECT_TRUE(patch.rect.isEmpty());
        EXPECT_NE(patch.reason.find(refusal.reason), std::string::npos) << patch.reason;
    }
}

TEST(ProposedReferenceCurve, GeneratorScans_FollowTheLowerBorderWithinTheTargets)
{
    for (const ScanCase& scanCase : generatorScans()) {
        SCOPED_TRACE(scanCase.name);
        const SyntheticScan scan = makeSyntheticScan(scanCase.parameters);
        const MeasurementResult traced = runMeasurement(scan.view(), L"", tracedFromProposedPatch(scan));
        const std::vector<Point2d>& surface = traced.boundary.curve;
        ASSERT_FALSE(surface.empty());
        const ReferenceCurveProposal proposal = proposeReferenceCurve(scan.view(), surface);
        ASSERT_TRUE(proposal.found) << proposal.reason;

        const auto [leftmost, rightmost] = std::minmax_element(
            surface.begin(), surface.end(), [](const Point2d& a, const Point2d& b) { return a.x < b.x; });
        EXPECT_GE(proposal.points.front().x, std::ceil(leftmost->x));
        EXPECT_LE(proposal.points.back().x, std::floor(rightmost->x));
        for (std::size_t i = 1; i < proposal.points.size(); ++i) {
            const double spacing = proposal.points[i].x - proposal.points[i - 1].x;
            EXPECT_TRUE(spacing >= 20.0 && spacing <= 40.0) << spacing;
        }
        double sum = 0.0;
        double largest = 0.0;
        int count = 0;
        for (double x = proposal.points.front().x; x <= proposal.points.back().x; x += 1.0, ++count) {
            const double error = std::fabs(rowOnPolyline(proposal.points, x) - scan.referenceRowAt(x));
            sum += error;
            largest = std::max(largest, error);
        }
        EXPECT_LE(sum / count, 1.5);
        EXPECT_LE(largest, 4.0);
    }
}

TEST(ProposedReferenceCurve, NoPlausibleBorder_IsRefusedWithTheReason)
{
    const std::vector<Point2d> surface{{10, 150}, {290, 150}};
    const test::TestImage grey(300, 200, test::grey(128));
    SyntheticScanParameters noBorder = sampleFrame();
    noBorder.belowColor = noBorder.retinaColor;
    const SyntheticScan withoutBorder = makeSyntheticScan(noBorder);
    const std::vector<Point2d> sampleSurface{{1, 174}, {766, 174}};
    const struct {
        const char* name;
        RgbaImageView image;
        std::vector<Point2d> surface;
        const char* reason;
    } cases[] = {
        {"empty image", RgbaImageView{}, surface, "the image has no pixels"},
        {"no traced curve", grey.view(), {}, "make the curve first"},
        {"a one-point curve", grey.view(), {{10, 150}}, "make the curve first"},
        {"a curve of ten columns", grey.view(), {{10, 150}, {19, 150}}, "spans too few columns"},
        {"a curve at the bottom row", grey.view(), {{10, 3}, {290, 3}}, "no room for a border"},
        {"a uniform image", grey.view(), surface, "no clear lower retinal border"},
        {"a retina without lower border", withoutBorder.view(), sampleSurface, "no clear lower retinal border"},
    };
    for (const auto& refusal : cases) {
        SCOPED_TRACE(refusal.name);
        const ReferenceCurveProposal proposal = proposeReferenceCurve(refusal.image, refusal.surface);
        EXPECT_FALSE(proposal.found);
        EXPECT_TRUE(proposal.points.empty());
        EXPECT_NE(proposal.reason.find(refusal.reason), std::string::npos) << proposal.reason;
    }
}

TEST(MeasurementWithProposals, NothingGiven_MeasuresThicknessAndDepthWithinTwoPixels)
{
    for (const ScanCase& scanCase : generatorScans()) {
        if (scanCase.parameters.curvature != 0.0)
            continue; // the true figures below take the border as straight
        SCOPED_TRACE(scanCase.name);
        const SyntheticScan scan = makeSyntheticScan(scanCase.parameters);
        MeasurementParameters parameters;
        parameters.proposeMissing = true;
        parameters.estimateTolerance = true;
        const MeasurementResult result = runMeasurement(scan.view(), L"", parameters);
        ASSERT_TRUE(result.ok()) << describeMeasurement(result);
        EXPECT_TRUE(result.selectionProposed && result.referenceProposed);
        const SyntheticMicronGeometry truth = syntheticMicronGeometry(scan); // 1 micron per pixel
        EXPECT_NEAR(result.measurements.pixelDistances[0], truth.thicknessAtLeftRim, 2.0);
        EXPECT_NEAR(result.measurements.pixelDistances[2], truth.thicknessAtCentre, 2.0);
        EXPECT_NEAR(result.measurements.pixelDistances[4], truth.thicknessAtRightRim, 2.0);
        EXPECT_NEAR(result.measurements.perpendicularDepthPixel, truth.fovealDepth, 2.0);
    }
}

TEST(MeasurementWithProposals, GivenSelectionAndReference_AreKeptAndARefusalStopsTheMeasurement)
{
    const SyntheticScan scan = makeSyntheticScan(sampleFrame());
    MeasurementParameters given;
    given.proposeMissing = true;
    given.selection = PixelRect{20, 330, 100, 370};
    given.referenceCurve = {{10, 110}, {757, 110}};
    const MeasurementResult kept = runMeasurement(scan.view(), L"", given);
    ASSERT_TRUE(kept.ok()) << describeMeasurement(kept);
    EXPECT_FALSE(kept.selectionProposed || kept.referenceProposed);
    EXPECT_EQ(kept.boundary.selectionRect.left, 20);
    EXPECT_EQ(kept.boundary.referenceCurve, given.referenceCurve);

    const test::TestImage grey(300, 200, test::grey(128));
    MeasurementParameters nothing;
    nothing.proposeMissing = true;
    const MeasurementResult refused = runMeasurement(grey.view(), L"", nothing);
    EXPECT_EQ(refused.status, MeasurementStatus::NoPatchProposed);
    EXPECT_EQ(describeMeasurement(refused),
              "no vitreous patch proposed: the image is blank or of one brightness throughout");
    EXPECT_TRUE(refused.report.empty());
}

} // namespace
} // namespace quorrel
