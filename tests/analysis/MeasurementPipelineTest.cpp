// Whole measurements of generator scans and hand-made pictures: where each
// unusable input stops, what is proposed when nothing is given, and what
// the trust warnings find.

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestImage.h"
#include "analysis/FovealExtrema.h"
#include "analysis/MeasurementPipeline.h"
#include "analysis/ReferenceCurveProposal.h"
#include "analysis/TrustWarnings.h"
#include "analysis/VitreousPatchProposal.h"

namespace quorrel {
namespace {

// Each input the measurement cannot use stops it at its step with a status
// and no report. The command's tests check the wording; these pin where the
// traced part of the image ends: columns and rows 1 to size - 3.
TEST(MeasurementPipeline, EachUnusableInput_StopsAtItsStep)
{
    const SyntheticScan scan = makeSyntheticScan(test::smallFovea());
    // One colour everywhere: a region fills the image up to its margins and
    // meets no edge.
    const test::TestImage uniform(60, 40, test::grey(128));
    const test::TestImage threeColumns(3, 40, test::grey(128));
    const test::TestImage threeRows(40, 3, test::grey(128));
    const test::TestImage smallest(4, 4, test::grey(128));
    const PixelRect patch{150, 165, 250, 190};
    const std::vector<Point2d> border{{10, 60}, {389, 60}};
    const struct {
        const char* name;
        RgbaImageView image;
        PixelRect selection;
        std::vector<Point2d> reference;
        MeasurementStatus status;
    } cases[] = {
        {"no image", RgbaImageView{}, patch, border, MeasurementStatus::NoImage},
        {"three columns", threeColumns.view(), {0, 0, 3, 3}, border, MeasurementStatus::ImageTooSmall},
        {"three rows", threeRows.view(), {0, 0, 3, 3}, border, MeasurementStatus::ImageTooSmall},
        {"4 x 4 pixels", smallest.view(), {0, 0, 3, 3}, border, MeasurementStatus::NoCurve},
        {"selection outside", scan.view(), {400, 10, 420, 20}, border, MeasurementStatus::EmptySelection},
        {"centre on column width - 2", uniform.view(), {56, 10, 60, 20}, border, MeasurementStatus::SelectionInMargin},
        {"centre on row height - 2", uniform.view(), {10, 36, 20, 40}, border, MeasurementStatus::SelectionInMargin},
        {"centre on column 0", uniform.view(), {0, 10, 1, 20}, border, MeasurementStatus::SelectionInMargin},
        {"centre on column width - 3", uniform.view(), {55, 10, 60, 20}, border, MeasurementStatus::NoCurve},
        {"one reference point", scan.view(), patch, {{10, 60}}, MeasurementStatus::NoReferenceCurve},
        // Starting on the surface and falling away from it, the reference
        // has its thinnest place at its first sample: no rim before it.
        {"reference away from the surface", scan.view(), patch, {{2, 140}, {397, 0}}, MeasurementStatus::NoRim},
    };
    for (const auto& c : cases) {
        MeasurementParameters parameters;
        parameters.selection = c.selection;
        parameters.estimateTolerance = true;
        parameters.referenceCurve = c.reference;
        const MeasurementResult result = runMeasurement(c.image, L"", parameters);
        EXPECT_EQ(result.status, c.status) << c.name;
        EXPECT_TRUE(result.report.empty()) << c.name;
        // The curve made before the reference is looked at is kept.
        const bool curveMade = c.status == MeasurementStatus::NoReferenceCurve || c.status == MeasurementStatus::NoRim;
        EXPECT_EQ(result.boundary.curve.empty(), !curveMade) << c.name;
    }
}

// The bundled samples' frame: 768 x 384, surface at row 174 dipping 30 rows,
// lower border at row 110, plain noise of 6 levels.
SyntheticScanParameters sampleFrame()
{
    return test::foveaShape(768, 384, 174, 110, 30, 65, 14, 130);
}

// Nothing given but the image: the patch lies in the vitreous clear of the
// retina, the edges and text burnt into the picture, the reference curve follows the lower border, and
// where the border is straight the figures come within 2 pixels of the
// truth.
TEST(MeasurementWithProposals, GeneratorScans_ProposeAPatchAndAReferenceThatMeasureTheTruth)
{
    // Variations of the samples' frame: both borders shifted by some rows,
    // a tilt, a curvature (0.0004 lifts the ends 59 rows above the middle),
    // a bright choroid under the border, a vessel's shadow 15 columns wide,
    // and the speckle sample's noise (the retina's level deviates by about
    // 40) or half of it, with which the choroid leaves the border a step of
    // 50 levels instead of 80.
    const struct {
        const char* name;
        double shift, tilt, curvature, choroid, shadowLeft, noise, speckle;
    } scans[] = {
        {"standard", 0, 0, 0, 0, 0, 6, 0},
        {"tilted", 40, 0.1, 0, 0, 0, 6, 0},
        {"speckle", 0, 0, 0, 0, 0, 16, 0.22},
        {"curved", -20, 0, 0.0004, 0, 0, 16, 0.22},
        {"bright choroid", 0, 0, 0, 30, 0, 16, 0.22},
        {"vessel shadow", 0, 0, 0, 0, 250, 16, 0.22},
        {"everything", -10, -0.05, 0.0003, 30, 500, 10, 0.11},
    };
    for (const auto& variation : scans) {
        SCOPED_TRACE(variation.name);
        SyntheticScanParameters frame = sampleFrame();
        frame.referenceRow += variation.shift;
        frame.surfaceRow += variation.shift;
        frame.tiltRowsPerColumn = variation.tilt;
        frame.curvature = variation.curvature;
        frame.choroidThickness = variation.choroid;
        frame.shadowLeft = variation.shadowLeft;
        frame.shadowWidth = variation.shadowLeft > 0 ? 15.0 : 0.0;
        frame.noiseAmplitude = variation.noise;
        frame.speckleContrast = variation.speckle;
        SyntheticScan scan = makeSyntheticScan(frame);
        // A label in the upper left and a scale bar below it, both white.
        for (const PixelRect& white : {PixelRect{10, 350, 200, 375}, PixelRect{20, 300, 300, 303}})
            for (int y = white.bottom; y < white.top; ++y)
                std::fill_n(&scan.rgba[(std::size_t(y) * 768u + std::size_t(white.left)) * 4u],
                            4 * (white.right - white.left), 255);
        MeasurementParameters parameters;
        parameters.proposeMissing = true;
        parameters.estimateTolerance = true;
        parameters.smoothCount = 2;
        const MeasurementResult result = runMeasurement(scan.view(), L"", parameters);
        ASSERT_TRUE(result.selectionProposed && result.referenceProposed) << describeMeasurement(result);

        const PixelRect& patch = result.boundary.selectionRect;
        EXPECT_GE(patch.right - patch.left, 16);
        EXPECT_GE(patch.top - patch.bottom, 8);
        for (int x = patch.left; x < patch.right; ++x)
            ASSERT_GT(patch.bottom, scan.surfaceRowAt(x) + 8.0) << "column " << x;
        EXPECT_TRUE(patch.left >= 8 && patch.right <= scan.width - 8 && patch.top <= scan.height - 8);
        EXPECT_TRUE(patch.left >= 208 || patch.top <= 342); // clear of the label
        EXPECT_TRUE(patch.left >= 308 || patch.bottom >= 311 || patch.top <= 292); // and of the bar

        // Points within the traced surface's columns, 20 to 40 apart, on
        // average within 1.5 rows of the border and nowhere more than 4 off.
        const std::vector<Point2d>& surface = result.boundary.curve;
        const std::vector<Point2d>& points = result.boundary.referenceCurve;
        const auto [leftmost, rightmost] = std::minmax_element(
            surface.begin(), surface.end(), [](const Point2d& a, const Point2d& b) { return a.x < b.x; });
        EXPECT_GE(points.front().x, std::ceil(leftmost->x));
        EXPECT_LE(points.back().x, std::floor(rightmost->x));
        for (std::size_t i = 1; i < points.size(); ++i) {
            const double spacing = points[i].x - points[i - 1].x;
            EXPECT_TRUE(spacing >= 20.0 && spacing <= 40.0) << spacing;
        }
        double sum = 0.0;
        for (const Point2d& point : points) {
            EXPECT_LE(std::fabs(point.y - scan.referenceRowAt(point.x)), 4.0) << point.x;
            sum += std::fabs(point.y - scan.referenceRowAt(point.x));
        }
        EXPECT_LE(sum / points.size(), 1.5);

        if (variation.curvature != 0.0)
            continue; // the true figures below take the border as straight
        ASSERT_TRUE(result.ok()) << describeMeasurement(result);
        const SyntheticMicronGeometry truth = syntheticMicronGeometry(scan); // 1 micron per pixel
        EXPECT_NEAR(result.measurements.pixelDistances[0], truth.thicknessAtLeftRim, 2.0);
        EXPECT_NEAR(result.measurements.pixelDistances[2], truth.thicknessAtCentre, 2.0);
        EXPECT_NEAR(result.measurements.pixelDistances[4], truth.thicknessAtRightRim, 2.0);
        EXPECT_NEAR(result.measurements.perpendicularDepthPixel, truth.fovealDepth, 2.0);
    }
}

TEST(MeasurementWithProposals, GivenSelectionAndReference_AreKept)
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
}

// A patch is refused on the image alone, a reference below the traced
// surface; each names what it missed.
TEST(Proposals, NoPlausibleVitreousOrBorder_AreRefusedWithTheReason)
{
    const test::TestImage grey(300, 200, test::grey(128));
    test::TestImage blob(300, 200, test::grey(10));
    for (int y = 90; y < 110; ++y)
        for (int x = 140; x < 160; ++x)
            blob.set(x, y, test::grey(220));
    SyntheticScanParameters noRetina = sampleFrame();
    noRetina.retinaColor = noRetina.belowColor = noRetina.vitreousColor;
    const SyntheticScan noiseOnly = makeSyntheticScan(noRetina);
    const std::pair<RgbaImageView, const char*> patchRefusals[] = {
        {RgbaImageView{}, "the image has no pixels"},
        {grey.view(), "blank or of one brightness"},
        {noiseOnly.view(), "blank or of one brightness"},
        {blob.view(), "no bright retinal band"},
    };
    for (const auto& [image, reason] : patchRefusals) {
        const VitreousPatchProposal patch = proposeVitreousPatch(image);
        EXPECT_TRUE(!patch.found && patch.rect.isEmpty()) << reason;
        EXPECT_NE(patch.reason.find(reason), std::string::npos) << patch.reason;
    }

    SyntheticScanParameters noBorder = sampleFrame();
    noBorder.belowColor = noBorder.retinaColor;
    const SyntheticScan withoutBorder = makeSyntheticScan(noBorder);
    const std::vector<Point2d> surface{{10, 150}, {290, 150}};
    const struct {
        RgbaImageView image;
        std::vector<Point2d> surface;
        const char* reason;
    } referenceRefusals[] = {
        {RgbaImageView{}, surface, "the image has no pixels"},
        {grey.view(), {{10, 150}}, "make the curve first"},
        {grey.view(), {{10, 150}, {19, 150}}, "spans too few columns"},
        {grey.view(), {{10, 3}, {290, 3}}, "no room for a border"},
        {grey.view(), surface, "no clear lower retinal border"},
        {withoutBorder.view(), {{1, 174}, {766, 174}}, "no clear lower retinal border"},
    };
    for (const auto& refusal : referenceRefusals) {
        const ReferenceCurveProposal proposal = proposeReferenceCurve(refusal.image, refusal.surface);
        EXPECT_TRUE(!proposal.found && proposal.points.empty()) << refusal.reason;
        EXPECT_NE(proposal.reason.find(refusal.reason), std::string::npos) << proposal.reason;
    }
}

TEST(TrustWarnings, SpeckledScanWhoseCurveStopsShort_WarnsOfEachFindingOnce_ABridgedTraceOfNone)
{
    // A 400 x 200 fovea with rims at columns 110 and 290 under strong
    // speckle, which breaks the edge chain at the default connecting
    // distance: the traced curve starts near column 151, right of the left
    // rim, so A is the first sample and its thickness line runs slanted to
    // the curve's end. The calibrated run finds the same ends; they are not
    // listed twice.
    const SyntheticScan scan = makeSyntheticScan(test::smallFovea(true));
    MeasurementParameters parameters;
    parameters.selection = PixelRect{150, 165, 250, 190};
    parameters.estimateTolerance = true;
    parameters.smoothCount = 2;
    parameters.referenceCurve = {{5, 60}, {394, 60}};
    parameters.unitLineStart = {10, 9};
    parameters.unitLineEnd = {110, 9};
    parameters.unitMicron = 250.0;
    parameters.axisScales = AxisScales{2.5, 2.5, "typed"};
    const MeasurementResult result = runMeasurement(scan.view(), L"", parameters);
    ASSERT_TRUE(result.ok());
    ASSERT_TRUE(result.calibrated.determined);
    ASSERT_EQ(result.warnings.size(), 3u);
    for (const TrustWarning& warning : result.warnings)
        EXPECT_EQ(warning.finding.find('\n'), std::string::npos);
    EXPECT_EQ(trustWarningCodes(result.warnings), "curve-short-of-reference;rim-at-profile-end;top-at-curve-end");
    EXPECT_EQ(result.warnings[0].finding.rfind("the traced curve runs from x = 151", 0), 0u)
        << result.warnings[0].finding;
    EXPECT_EQ(result.warnings[1].finding.rfind("rim A is the first sample", 0), 0u) << result.warnings[1].finding;
    EXPECT_EQ(result.warnings[2].finding.rfind("A Top lies on the end of the traced curve", 0), 0u)
        << result.warnings[2].finding;

    // Bridging the gaps, as a user told to would, traces the whole surface
    // and leaves nothing to warn of; nor does an empty boundary.
    parameters.maxLineConnectionDistance = 10.0;
    const MeasurementResult retraced = runMeasurement(scan.view(), L"", parameters);
    ASSERT_TRUE(retraced.ok());
    EXPECT_TRUE(retraced.warnings.empty()) << trustWarningCodes(retraced.warnings);
    EXPECT_TRUE(findTrustWarnings(Boundary{}, nullptr).empty());
}

} // namespace
} // namespace quorrel
