#include "analysis/MeasurementPipeline.h"

#include <algorithm>
#include <string>

#include "analysis/ColorDistance.h"
#include "analysis/CurveConstruction.h"
#include "analysis/CurveSmoothing.h"
#include "analysis/FovealExtrema.h"
#include "analysis/MeasurementSteps.h"
#include "analysis/ReferenceCurveProposal.h"
#include "analysis/RegionGrowing.h"
#include "analysis/VitreousPatchProposal.h"

namespace quorrel {

namespace {

// The label of the first report line whose figure prints as "nan" or "inf",
// or empty. Read from the report itself, so that every figure it shows is
// checked under the name it shows. Without a unit line the micron figures are
// infinite by design.
std::string firstNonFiniteFigure(const std::string& report, bool skipMicronFigures)
{
    std::size_t start = 0;
    while (start < report.size()) {
        const std::size_t end = std::min(report.find('\n', start), report.size());
        const std::string line = report.substr(start, end - start);
        start = end + 1;
        const std::size_t colon = line.find(": ");
        if (colon == std::string::npos)
            continue;
        const std::string label = line.substr(0, colon);
        const std::string figure = line.substr(colon + 2);
        if (skipMicronFigures && label.find(" Micron ") != std::string::npos && label.rfind("Unit Micron", 0) != 0)
            continue;
        if (figure.find("nan") != std::string::npos || figure.find("inf") != std::string::npos)
            return label;
    }
    return std::string();
}

} // namespace

MeasurementResult runMeasurement(const RgbaImageView& image, const std::wstring& imagePath,
                                 const MeasurementParameters& parameters)
{
    MeasurementResult result;
    if (image.isEmpty()) {
        result.status = MeasurementStatus::NoImage;
        return result;
    }
    if (!isTracedPixel(image, Point2d{1.0, 1.0})) {
        result.status = MeasurementStatus::ImageTooSmall;
        return result;
    }
    // The window's own clamping of a rubber band, so that a rectangle reaching
    // past the image gives the boundary the window would make.
    const PixelRect& asked = parameters.selection;
    PixelRect rect = pixelRectBetween(asked.left, asked.bottom, asked.right, asked.top, image.width, image.height);
    if (asked.isEmpty() && parameters.proposeMissing) {
        const VitreousPatchProposal patch = proposeVitreousPatch(image);
        if (!patch.found) {
            result.status = MeasurementStatus::NoPatchProposed;
            result.proposalRefusal = patch.reason;
            return result;
        }
        rect = patch.rect;
        result.selectionProposed = true;
    }
    if (rect.isEmpty()) {
        result.status = MeasurementStatus::EmptySelection;
        return result;
    }

    result.maxColorDistance =
        parameters.estimateTolerance ? estimateMaxColorDistance(image, rect) : parameters.maxColorDistance;
    Boundary& boundary = result.boundary;
    boundary = makeCandidateBoundary(image, imagePath, rect, result.maxColorDistance);
    if (!isTracedPixel(image, boundary.seedPoint)) {
        result.status = MeasurementStatus::SelectionInMargin;
        return result;
    }
    recordDetection(boundary, ImageOrigin{});
    boundary.edgePoints =
        collectEdgePoints(image, boundary.seedPoint, boundary.referenceColor, result.maxColorDistance);

    // Each Make Curve reorders the edge points, so the erasures are repeated
    // between as many of them as the user made.
    const auto makeTheCurve = [&] {
        makeCurve(boundary, parameters.minLineConnectionDistance, parameters.maxLineConnectionDistance,
                  parameters.minCurvePointCount);
    };
    for (const EdgeErasure& erasure : parameters.erasures) {
        while (boundary.steps.curvesMade < erasure.curvesMadeBefore)
            makeTheCurve();
        eraseEdgePoints(boundary, erasure.rect);
    }
    makeTheCurve();
    if (boundary.curve.empty()) {
        result.status = MeasurementStatus::NoCurve;
        return result;
    }
    for (int level : smoothingPresses(parameters.smoothLevels, parameters.smoothCount, parameters.smoothLevel))
        smoothCurveOnce(boundary, level);

    boundary.referenceCurve = parameters.referenceCurve;
    if (boundary.referenceCurve.size() < 2 && parameters.proposeMissing) {
        const ReferenceCurveProposal proposal = proposeReferenceCurve(image, boundary.curve);
        if (!proposal.found) {
            result.status = MeasurementStatus::NoReferenceProposed;
            result.proposalRefusal = proposal.reason;
            return result;
        }
        boundary.referenceCurve = proposal.points;
        result.referenceProposed = true;
    }
    switch (checkFovealInput(boundary)) {
    case FovealInputCheck::NoCurve:
        result.status = MeasurementStatus::NoCurve;
        return result;
    case FovealInputCheck::NoReferenceCurve:
        result.status = MeasurementStatus::NoReferenceCurve;
        return result;
    case FovealInputCheck::Ok:
        break;
    }
    measureFovea(boundary, parameters.curveDividingCount);
    if (!hasValidExtrema(boundary)) {
        result.status = MeasurementStatus::NoRim;
        return result;
    }
    moveMeasuredPoints(boundary, parameters.moves);
    if (!hasReportableExtrema(boundary)) {
        result.status = MeasurementStatus::NoWall;
        return result;
    }

    result.unitLineTooShort = unitLineTooShort(parameters.unitLineStart, parameters.unitLineEnd);
    result.measurements =
        computeFovealMeasurements(boundary, parameters.unitLineStart, parameters.unitLineEnd, parameters.unitMicron);
    const std::string report = formatMeasurementReport(result.measurements);
    result.nonFiniteFigure = firstNonFiniteFigure(report, result.unitLineTooShort);
    if (!result.nonFiniteFigure.empty()) {
        result.status = MeasurementStatus::NonFiniteFigure;
        return result;
    }
    result.report = report;
    if (parameters.axisScales.isSet()) {
        result.calibrated = measureCalibrated(boundary, parameters.axisScales, parameters.curveDividingCount);
        result.report += formatCalibratedSection(result.calibrated);
    }
    result.warnings = findTrustWarnings(boundary, &result.calibrated);
    result.status = MeasurementStatus::Ok;
    return result;
}

const char* describeMeasurementStatus(MeasurementStatus status)
{
    switch (status) {
    case MeasurementStatus::Ok:
        return "measured";
    case MeasurementStatus::NoImage:
        return "the image has no pixels";
    case MeasurementStatus::EmptySelection:
        return "the selection lies outside the image";
    case MeasurementStatus::NoCurve:
        return "no curve found: the region grown from the selection has no connected edge long enough";
    case MeasurementStatus::NoReferenceCurve:
        return "the reference curve needs at least two points";
    case MeasurementStatus::ImageTooSmall:
        return "the image is too small to trace: it needs at least 4 x 4 pixels";
    case MeasurementStatus::SelectionInMargin:
        return "the selection's centre lies in the image's 1 to 2 pixel border, where no edge is traced; "
               "move the selection inwards";
    case MeasurementStatus::NoRim:
        return "no foveal pit found: the thickness profile has no rim on one side of its smallest thickness";
    case MeasurementStatus::NoWall:
        return "no foveal wall found: the thickness does not change between the pit centre and one of its rims";
    case MeasurementStatus::NonFiniteFigure:
        return "a figure came out as infinity or not a number";
    case MeasurementStatus::NoPatchProposed:
        return "no vitreous patch proposed";
    case MeasurementStatus::NoReferenceProposed:
        return "no reference curve proposed";
    }
    return "unknown status";
}

std::string describeMeasurement(const MeasurementResult& result)
{
    std::string description = describeMeasurementStatus(result.status);
    if (result.status == MeasurementStatus::NonFiniteFigure)
        description += " (\"" + result.nonFiniteFigure + "\"); no report is written";
    if (!result.proposalRefusal.empty())
        description += ": " + result.proposalRefusal;
    return description;
}

} // namespace quorrel
