#include "analysis/MeasurementPipeline.h"

#include <algorithm>

#include "analysis/ColorDistance.h"
#include "analysis/CurveConstruction.h"
#include "analysis/CurveSmoothing.h"
#include "analysis/FovealExtrema.h"
#include "analysis/RegionGrowing.h"

namespace quorrel {

namespace {

int clampToInt(long long value, int low, int high)
{
    return static_cast<int>(std::min<long long>(std::max<long long>(value, low), high));
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
    // The window's own clamping of a rubber band, so that a rectangle reaching
    // past the image gives the boundary the window would make.
    const PixelRect& asked = parameters.selection;
    const PixelRect rect =
        pixelRectBetween(asked.left, asked.bottom, asked.right, asked.top, image.width, image.height);
    if (rect.isEmpty()) {
        result.status = MeasurementStatus::EmptySelection;
        return result;
    }

    result.maxColorDistance =
        parameters.estimateTolerance ? estimateMaxColorDistance(image, rect) : parameters.maxColorDistance;
    Boundary& boundary = result.boundary;
    boundary = makeCandidateBoundary(image, imagePath, rect, result.maxColorDistance);
    boundary.edgePoints =
        collectEdgePoints(image, boundary.seedPoint, boundary.referenceColor, result.maxColorDistance);

    sortEdgePoints(boundary.edgePoints);
    buildBoundaryCurve(boundary, parameters.minLineConnectionDistance, parameters.maxLineConnectionDistance,
                       parameters.minCurvePointCount);
    if (boundary.curve.empty()) {
        result.status = MeasurementStatus::NoCurve;
        return result;
    }
    for (int press = 0; press < parameters.smoothCount; ++press)
        smoothCurve(boundary.curve, parameters.smoothLevel);

    boundary.referenceCurve = parameters.referenceCurve;
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
    detectFovealWidthAndDepth(boundary, parameters.curveDividingCount);
    if (!hasReportableExtrema(boundary)) {
        result.status = MeasurementStatus::NoFovealPoints;
        return result;
    }

    result.unitLineTooShort = unitLineTooShort(parameters.unitLineStart, parameters.unitLineEnd);
    result.measurements =
        computeFovealMeasurements(boundary, parameters.unitLineStart, parameters.unitLineEnd, parameters.unitMicron);
    result.report = formatMeasurementReport(result.measurements);
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
    case MeasurementStatus::NoFovealPoints:
        return "no foveal pit found: the thickness profile has no rim on one side of its smallest thickness";
    }
    return "unknown status";
}

PixelRect viewerRectToPixelRect(int x, int y, int width, int height, int imageWidth, int imageHeight)
{
    if (width < 1 || height < 1 || imageWidth < 1 || imageHeight < 1)
        return PixelRect{};
    // Viewer rows y .. y+height-1 are image rows imageHeight-y-height ..
    // imageHeight-1-y; corners are cut to the image before they can overflow.
    const int left = clampToInt(x, 0, imageWidth);
    const int right = clampToInt(static_cast<long long>(x) + width, 0, imageWidth);
    const int bottom = clampToInt(static_cast<long long>(imageHeight) - y - height, 0, imageHeight);
    const int top = clampToInt(static_cast<long long>(imageHeight) - y, 0, imageHeight);
    return pixelRectBetween(left, bottom, right, top, imageWidth, imageHeight);
}

Point2d viewerPointToImagePoint(Point2d viewerPoint, int imageHeight)
{
    return Point2d{viewerPoint.x, static_cast<double>(imageHeight - 1) - viewerPoint.y};
}

} // namespace quorrel
