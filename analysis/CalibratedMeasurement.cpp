#include "analysis/CalibratedMeasurement.h"

#include <cmath>
#include <cstddef>
#include <vector>

#include "analysis/FovealExtrema.h"
#include "analysis/Geometry.h"

namespace quorrel {

namespace {

std::vector<Point2d> scaledPoints(const std::vector<Point2d>& points, const AxisScales& scales)
{
    std::vector<Point2d> scaled;
    scaled.reserve(points.size());
    for (const Point2d& point : points)
        scaled.push_back(toMicrons(point, scales));
    return scaled;
}

std::string formatPoint(Point2d point)
{
    return "(" + formatReportNumber(point.x) + ", " + formatReportNumber(point.y) + ")";
}

void appendLine(std::string& text, const std::string& line)
{
    text += line;
    text += '\n';
}

} // namespace

ScaleCheck checkMicronsPerPixel(double micronsPerPixel)
{
    if (!std::isfinite(micronsPerPixel))
        return ScaleCheck::NotFinite;
    if (!(micronsPerPixel > 0.0))
        return ScaleCheck::NotPositive;
    if (micronsPerPixel > kLargestMicronsPerPixel)
        return ScaleCheck::TooLarge;
    return ScaleCheck::Ok;
}

std::string describeScaleCheck(ScaleCheck check)
{
    switch (check) {
    case ScaleCheck::Ok:
        return "";
    case ScaleCheck::NotFinite:
        return "is not a finite number";
    case ScaleCheck::NotPositive:
        return "must be above 0 microns per pixel";
    case ScaleCheck::TooLarge:
        return "is above 1000 microns per pixel, more than any scan's pixel";
    case ScaleCheck::ZeroLengthLine:
        return "cannot come from a unit line of no length";
    }
    return "";
}

UnitLineScale scaleFromUnitLine(Point2d start, Point2d end, double unitMicron)
{
    UnitLineScale scale;
    if (unitLineTooShort(start, end))
        return scale;
    const double across = std::fabs(end.x - start.x);
    const double down = std::fabs(end.y - start.y);
    scale.axis = across >= down ? ScaleAxis::Lateral : ScaleAxis::Axial;
    scale.micronsPerPixel = unitMicron / distanceBetween(start, end);
    scale.check = checkMicronsPerPixel(scale.micronsPerPixel);
    return scale;
}

AxisScales scalesFromImageFile(double lateralMicrons, double axialMicrons, const std::string& fieldName)
{
    AxisScales scales;
    scales.source = "file (" + fieldName + ")";
    if (checkMicronsPerPixel(lateralMicrons) == ScaleCheck::Ok)
        scales.lateralMicronsPerPixel = lateralMicrons;
    if (checkMicronsPerPixel(axialMicrons) == ScaleCheck::Ok)
        scales.axialMicronsPerPixel = axialMicrons;
    return scales;
}

Point2d toMicrons(Point2d pixel, const AxisScales& scales)
{
    return {pixel.x * scales.lateralMicronsPerPixel, pixel.y * scales.axialMicronsPerPixel};
}

Point2d toImagePixels(Point2d micron, const AxisScales& scales)
{
    return {micron.x / scales.lateralMicronsPerPixel, micron.y / scales.axialMicronsPerPixel};
}

CalibratedMeasurements measureCalibrated(const Boundary& boundary, const AxisScales& scales, int dividingCount)
{
    CalibratedMeasurements calibrated;
    calibrated.scales = scales;
    if (!scales.isSet())
        return calibrated;
    Boundary& run = calibrated.run;
    run.curve = scaledPoints(boundary.curve, scales);
    run.referenceCurve = scaledPoints(boundary.referenceCurve, scales);
    if (checkFovealInput(run) != FovealInputCheck::Ok)
        return calibrated;
    detectFovealWidthAndDepth(run, dividingCount);
    if (!hasReportableExtrema(run))
        return calibrated;

    // With a unit line one micron long, the figures' pixel lengths are the
    // microns and the micron ones repeat them exactly (x / 1 * 1 == x).
    calibrated.figures = computeFovealMeasurements(run, Point2d{0.0, 0.0}, Point2d{1.0, 0.0}, 1.0);
    for (std::size_t i = 0; i < calibrated.topPoints.size(); ++i) {
        calibrated.topPoints[i] = toImagePixels(calibrated.figures.topPoints[i], scales);
        calibrated.bottomPoints[i] = toImagePixels(calibrated.figures.bottomPoints[i], scales);
    }
    calibrated.determined = true;
    return calibrated;
}

std::string formatCalibratedSection(const CalibratedMeasurements& calibrated)
{
    const AxisScales& scales = calibrated.scales;
    if (!scales.isSet())
        return "";
    std::string text;
    appendLine(text, "");
    appendLine(text, "Calibrated Measurement: foveal detection repeated in microns");
    appendLine(text, "Lateral Micron per Pixel: " + formatReportNumber(scales.lateralMicronsPerPixel));
    appendLine(text, "Axial   Micron per Pixel: " + formatReportNumber(scales.axialMicronsPerPixel));
    appendLine(text, "Scales from: " + (scales.source.empty() ? std::string("not stated") : scales.source));
    appendLine(text, "");
    if (!calibrated.determined) {
        appendLine(text, "Calibrated Points: Not Determined (no rim on one side of the smallest thickness in microns)");
        return text;
    }

    const FovealMeasurements& m = calibrated.figures;
    for (std::size_t i = 0; i < calibrated.topPoints.size(); ++i) {
        const std::string label(1, kFovealPointLabels[i]);
        appendLine(text, "Calibrated " + label + " Top    Point: " + formatPoint(calibrated.topPoints[i]));
        appendLine(text, "Calibrated " + label + " Bottom Point: " + formatPoint(calibrated.bottomPoints[i]));
    }
    appendLine(text, "");
    for (std::size_t i = 0; i < m.pixelDistances.size(); ++i) {
        const std::string label(1, kFovealPointLabels[i]);
        appendLine(text,
                   "Calibrated " + label + " Bottom to " + label
                       + " Top Micron Distance: " + formatReportNumber(m.pixelDistances[i]));
    }
    appendLine(text, "");
    appendLine(text, "Calibrated Foveal Micron Width: " + formatReportNumber(m.fovealPixelWidth));
    appendLine(text,
               "Calibrated Foveal Micron Depth (C Bottom - C Top Line) to (A - E Top Line): "
                   + (m.depthAlongCLineDetermined ? formatReportNumber(m.depthAlongCLinePixel) : "Not Determined"));
    appendLine(
        text,
        "Calibrated Foveal Micron Depth (A - E Top Perpendicular Line): "
            + (m.perpendicularDepthDetermined ? formatReportNumber(m.perpendicularDepthPixel) : "Not Determined"));
    appendLine(text, "");
    for (std::size_t i = 0; i < m.slopes.size(); ++i)
        appendLine(
            text, std::string("Calibrated Slope (") + kSlopeSegmentLabels[i] + "): " + formatReportNumber(m.slopes[i]));
    appendLine(text, "");
    for (std::size_t i = 0; i < m.slopeRadians.size(); ++i)
        appendLine(text,
                   std::string("Calibrated Slope Radian Angle (") + kSlopeSegmentLabels[i]
                       + "): " + formatReportNumber(m.slopeRadians[i]));
    appendLine(text, "");
    for (std::size_t i = 0; i < m.slopeDegrees.size(); ++i)
        appendLine(text,
                   std::string("Calibrated Slope Degree Angle (") + kSlopeSegmentLabels[i]
                       + "): " + formatReportNumber(m.slopeDegrees[i]));
    return text;
}

} // namespace quorrel
