#include "analysis/MeasurementReport.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <locale>
#include <sstream>

#include "analysis/FovealExtrema.h"
#include "analysis/Geometry.h"

namespace quorrel {

namespace {

// Both angle constants are truncated on purpose; saved reports depend on them.
constexpr double kPerpendicularAngle = 1.570796;
constexpr double kReportPi = 3.141592;

constexpr double kParallelDenominator = 1e-7;
constexpr double kShortestUnitLine = 1e-5;

Point2d rotated(Point2d v, double cosine, double sine)
{
    return {v.x * cosine - v.y * sine, v.x * sine + v.y * cosine};
}

FovealMeasurements undeterminedMeasurements()
{
    FovealMeasurements m;
    const Point2d nanPoint{kNaN, kNaN};
    m.topPoints.fill(nanPoint);
    m.bottomPoints.fill(nanPoint);
    m.pixelDistances.fill(kNaN);
    m.micronDistances.fill(kNaN);
    m.fovealPixelWidth = kNaN;
    m.fovealMicronWidth = kNaN;
    m.depthAlongCLineDetermined = false;
    m.depthAlongCLinePixel = kNaN;
    m.depthAlongCLineMicron = kNaN;
    m.perpendicularDepthDetermined = false;
    m.perpendicularDepthPixel = kNaN;
    m.perpendicularDepthMicron = kNaN;
    m.slopeFrameAngle = kNaN;
    m.slopes.fill(kNaN);
    m.slopeRadians.fill(kNaN);
    m.slopeDegrees.fill(kNaN);
    return m;
}

// The angle that rotates the unit vector from C Bottom to C Top onto (0, 1);
// NaN when the two points coincide.
double slopeFrameAngle(Point2d cTop, Point2d cBottom)
{
    const double vx = cTop.x - cBottom.x;
    const double vy = cTop.y - cBottom.y;
    const double length = std::sqrt(vx * vx + vy * vy);
    if (!(length > 0.0))
        return kNaN;
    const double nx = vx / length;
    const double ny = std::clamp(vy / length, -1.0, 1.0);
    return nx <= 0.0 ? -std::acos(ny) : std::acos(ny);
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

bool intersectLines(Point2d p0, Point2d p1, Point2d p2, Point2d p3, Point2d* out)
{
    const double denominator = (p0.x - p1.x) * (p2.y - p3.y) - (p2.x - p3.x) * (p0.y - p1.y);
    if (std::fabs(denominator) < kParallelDenominator)
        return false;
    const double a = p0.x * p1.y - p0.y * p1.x;
    const double b = p2.x * p3.y - p2.y * p3.x;
    if (out != nullptr) {
        out->x = ((p2.x - p3.x) * a - (p0.x - p1.x) * b) / denominator;
        out->y = ((p2.y - p3.y) * a - (p0.y - p1.y) * b) / denominator;
    }
    return true;
}

bool unitLineTooShort(Point2d unitLineStart, Point2d unitLineEnd)
{
    return distanceBetween(unitLineStart, unitLineEnd) < kShortestUnitLine;
}

FovealMeasurements computeFovealMeasurements(const Boundary& boundary, Point2d unitLineStart, Point2d unitLineEnd,
                                             double unitMicron)
{
    FovealMeasurements m = undeterminedMeasurements();
    m.unitPixelLength = distanceBetween(unitLineStart, unitLineEnd);
    m.unitMicron = unitMicron;
    if (!hasReportableExtrema(boundary))
        return m;

    // No guard against a zero unit length: the figures come out as NaN or
    // infinity, which is what the report should show then.
    const auto toMicron = [&](double pixels) { return pixels / m.unitPixelLength * unitMicron; };

    const auto a = static_cast<std::size_t>(boundary.indexA);
    const auto b = static_cast<std::size_t>(boundary.indexB);
    const auto c = static_cast<std::size_t>(boundary.indexC);
    const auto d = static_cast<std::size_t>(boundary.indexD);
    const auto e = static_cast<std::size_t>(boundary.indexE);
    m.topPoints = {boundary.curveSamples[a], boundary.resampledCurve[b], boundary.curveSamples[c],
                   boundary.resampledCurve[d], boundary.curveSamples[e]};
    m.bottomPoints = {boundary.referenceSamples[a], boundary.resampledReference[b], boundary.referenceSamples[c],
                      boundary.resampledReference[d], boundary.referenceSamples[e]};
    for (std::size_t i = 0; i < m.topPoints.size(); ++i) {
        m.pixelDistances[i] = distanceBetween(m.bottomPoints[i], m.topPoints[i]);
        m.micronDistances[i] = toMicron(m.pixelDistances[i]);
    }

    const Point2d aTop = m.topPoints[0];
    const Point2d cTop = m.topPoints[2];
    const Point2d cBottom = m.bottomPoints[2];
    const Point2d eTop = m.topPoints[4];
    m.fovealPixelWidth = distanceBetween(aTop, eTop);
    m.fovealMicronWidth = toMicron(m.fovealPixelWidth);

    Point2d crossing;
    m.depthAlongCLineDetermined = intersectLines(cTop, cBottom, aTop, eTop, &crossing);
    if (m.depthAlongCLineDetermined) {
        m.depthAlongCLinePixel = distanceBetween(cTop, crossing);
        m.depthAlongCLineMicron = toMicron(m.depthAlongCLinePixel);
    }

    const Point2d normal =
        rotated({eTop.x - aTop.x, eTop.y - aTop.y}, std::cos(kPerpendicularAngle), std::sin(kPerpendicularAngle));
    const Point2d normalEnd{cTop.x + normal.x, cTop.y + normal.y};
    m.perpendicularDepthDetermined = intersectLines(aTop, eTop, cTop, normalEnd, &crossing);
    if (m.perpendicularDepthDetermined) {
        m.perpendicularDepthPixel = distanceBetween(cTop, crossing);
        m.perpendicularDepthMicron = toMicron(m.perpendicularDepthPixel);
    }

    // Slopes are taken in a frame whose y axis is the C Bottom to C Top line.
    m.slopeFrameAngle = slopeFrameAngle(cTop, cBottom);
    const double cosine = std::cos(m.slopeFrameAngle);
    const double sine = std::sin(m.slopeFrameAngle);
    const auto rc = static_cast<std::size_t>(boundary.resampledIndexC);
    const std::array<Point2d, 5> wallPoints = {boundary.resampledCurve.front(), boundary.resampledCurve[b],
                                               boundary.resampledCurve[rc], boundary.resampledCurve[d],
                                               boundary.resampledCurve.back()};
    for (std::size_t i = 0; i < m.slopes.size(); ++i) {
        const Point2d segment{wallPoints[i + 1].x - wallPoints[i].x, wallPoints[i + 1].y - wallPoints[i].y};
        const Point2d turned = rotated(segment, cosine, sine);
        m.slopes[i] = turned.y / turned.x;
        m.slopeRadians[i] = std::atan(m.slopes[i]);
        m.slopeDegrees[i] = m.slopeRadians[i] / kReportPi * 180.0;
    }
    return m;
}

std::string formatReportNumber(double value)
{
    // glibc would print a NaN with its sign bit set as "-nan".
    if (std::isnan(value))
        return "nan";
    if (std::isinf(value))
        return value > 0.0 ? "inf" : "-inf";
    std::ostringstream stream;
    stream.imbue(std::locale::classic());
    stream << value;
    return stream.str();
}

std::string formatMeasurementReport(const FovealMeasurements& m)
{
    std::string text;
    for (std::size_t i = 0; i < m.topPoints.size(); ++i) {
        const std::string label(1, kFovealPointLabels[i]);
        appendLine(text, label + " Top    Point: " + formatPoint(m.topPoints[i]));
        appendLine(text, label + " Bottom Point: " + formatPoint(m.bottomPoints[i]));
    }
    appendLine(text, "");

    for (std::size_t i = 0; i < m.pixelDistances.size(); ++i) {
        const std::string label(1, kFovealPointLabels[i]);
        appendLine(text,
                   label + " Bottom to " + label + " Top Pixel Distance: " + formatReportNumber(m.pixelDistances[i]));
    }
    appendLine(text, "");

    appendLine(text, "Unit Micron Pixel  Length: " + formatReportNumber(m.unitPixelLength));
    appendLine(text, "Unit Micron Actual Length: " + formatReportNumber(m.unitMicron));
    appendLine(text, "");

    for (std::size_t i = 0; i < m.micronDistances.size(); ++i) {
        const std::string label(1, kFovealPointLabels[i]);
        appendLine(text,
                   label + " Bottom to " + label + " Top Micron Distance: " + formatReportNumber(m.micronDistances[i]));
    }
    appendLine(text, "");

    appendLine(text, "Foveal Pixel  Width: " + formatReportNumber(m.fovealPixelWidth));
    appendLine(text, "Foveal Micron Width: " + formatReportNumber(m.fovealMicronWidth));
    // The undetermined rows are worded differently ("Top) line to") on purpose.
    if (m.depthAlongCLineDetermined) {
        appendLine(text,
                   "Foveal Pixel  Depth (C Bottom - C Top Line) to (A - E Top Line): "
                       + formatReportNumber(m.depthAlongCLinePixel));
        appendLine(text,
                   "Foveal Micron Depth (C Bottom - C Top Line) to (A - E Top Line): "
                       + formatReportNumber(m.depthAlongCLineMicron));
    } else {
        appendLine(text, "Foveal Pixel  Depth (C Bottom - C Top) line to (A - E Top Line): Not Determined");
        appendLine(text, "Foveal Micron Depth (C Bottom - C Top) line to (A - E Top Line): Not Determined");
    }
    appendLine(text, "");

    if (m.perpendicularDepthDetermined) {
        appendLine(text,
                   "Foveal Pixel  Depth (A - E Top Perpendicular Line): "
                       + formatReportNumber(m.perpendicularDepthPixel));
        appendLine(text,
                   "Foveal Micron Depth (A - E Top Perpendicular Line): "
                       + formatReportNumber(m.perpendicularDepthMicron));
    } else {
        appendLine(text, "Foveal Pixel  Depth (A - E Top Perpendicular Line): Not Determined");
        appendLine(text, "Foveal Micron Depth (A - E Top Perpendicular Line): Not Determined");
    }
    appendLine(text, "");

    appendLine(text, "(C bottom to C top) line is assumed Y axis for slope calculation");
    for (std::size_t i = 0; i < m.slopes.size(); ++i)
        appendLine(text, std::string("Slope (") + kSlopeSegmentLabels[i] + "): " + formatReportNumber(m.slopes[i]));
    appendLine(text, "");
    for (std::size_t i = 0; i < m.slopeRadians.size(); ++i)
        appendLine(text,
                   std::string("Slope Radian Angle (") + kSlopeSegmentLabels[i]
                       + "): " + formatReportNumber(m.slopeRadians[i]));
    appendLine(text, "");
    for (std::size_t i = 0; i < m.slopeDegrees.size(); ++i)
        appendLine(text,
                   std::string("Slope Degree Angle (") + kSlopeSegmentLabels[i]
                       + "): " + formatReportNumber(m.slopeDegrees[i]));
    appendLine(text, "");
    return text;
}

} // namespace quorrel
