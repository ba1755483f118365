#include "analysis/MeasurementSettings.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <functional>

#include "analysis/ViewerCoordinates.h"

namespace quorrel {

namespace {

// What a run takes for a setting that neither a file nor the command line
// gives: the measurement's own defaults, the window's start values.
const MeasurementParameters kStartValues{};

std::string formatLimit(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

int clampToInt(long long value)
{
    return static_cast<int>(std::min<long long>(std::max<long long>(value, INT_MIN), INT_MAX));
}

// Viewer rows y .. y+height-1 are image rows H-y-height .. H-1-y.
ViewerRect toViewerRect(const PixelRect& rect, int imageHeight)
{
    return ViewerRect{rect.left, clampToInt(static_cast<long long>(imageHeight) - rect.top), rect.right - rect.left,
                      rect.top - rect.bottom};
}

// The same pixels back, not cut to the image, so that a degenerate rectangle
// stays what it was.
PixelRect toPixelRectAsIs(const ViewerRect& rect, int imageHeight)
{
    const long long top = static_cast<long long>(imageHeight) - rect.y;
    return PixelRect{rect.x, clampToInt(top - rect.height), clampToInt(static_cast<long long>(rect.x) + rect.width),
                     clampToInt(top)};
}

} // namespace

std::string describe(const WholeRule& rule)
{
    return "a whole number from " + std::to_string(rule.minimum) + " to " + std::to_string(rule.maximum);
}

std::string describe(const DecimalRule& rule)
{
    return std::string(rule.exclusive ? "a number greater than " : "a number from ") + formatLimit(rule.minimum)
        + (rule.exclusive ? " up to " : " to ") + formatLimit(rule.maximum);
}

bool inRange(const WholeRule& rule, long long value)
{
    return value >= rule.minimum && value <= rule.maximum;
}

bool inRange(const DecimalRule& rule, double value)
{
    return (rule.exclusive ? value > rule.minimum : value >= rule.minimum) && value <= rule.maximum;
}

void overlaySettings(MeasurementSettings& base, const MeasurementSettings& overrides)
{
    auto take = [](auto& into, const auto& from) {
        if (from)
            into = from;
    };
    if (overrides.smoothLevel || overrides.smoothCount)
        base.smoothLevels.reset();
    // Scales given anew are no longer what base's source describes, and two
    // unit lines given anew set both axes themselves.
    if (overrides.lateralMicronsPerPixel || overrides.axialMicronsPerPixel)
        base.scaleSource.reset();
    if (overrides.secondUnitLine) {
        base.lateralMicronsPerPixel.reset();
        base.axialMicronsPerPixel.reset();
        base.scaleSource.reset();
    }
    take(base.image, overrides.image);
    take(base.frame, overrides.frame);
    take(base.selection, overrides.selection);
    take(base.tolerance, overrides.tolerance);
    take(base.minConnection, overrides.minConnection);
    take(base.maxConnection, overrides.maxConnection);
    take(base.smoothLevel, overrides.smoothLevel);
    take(base.smoothCount, overrides.smoothCount);
    take(base.divideCount, overrides.divideCount);
    take(base.reference, overrides.reference);
    take(base.unitLine, overrides.unitLine);
    take(base.unitMicrons, overrides.unitMicrons);
    take(base.lateralMicronsPerPixel, overrides.lateralMicronsPerPixel);
    take(base.axialMicronsPerPixel, overrides.axialMicronsPerPixel);
    take(base.scaleSource, overrides.scaleSource);
    take(base.secondUnitLine, overrides.secondUnitLine);
    take(base.secondUnitMicrons, overrides.secondUnitMicrons);
    take(base.region, overrides.region);
    take(base.whitened, overrides.whitened);
    take(base.erasures, overrides.erasures);
    take(base.smoothLevels, overrides.smoothLevels);
    take(base.moves, overrides.moves);
}

MeasurementParameters toMeasurementParameters(const MeasurementSettings& settings, int imageWidth, int imageHeight)
{
    MeasurementParameters parameters;
    if (settings.selection) {
        const ViewerRect& rect = *settings.selection;
        parameters.selection = viewerRectToPixelRect(rect.x, rect.y, rect.width, rect.height, imageWidth, imageHeight);
    }
    const ToleranceSetting tolerance =
        settings.tolerance.value_or(ToleranceSetting{false, kStartValues.maxColorDistance});
    parameters.estimateTolerance = tolerance.estimate;
    parameters.maxColorDistance = tolerance.value;
    parameters.minLineConnectionDistance = settings.minConnection.value_or(kStartValues.minLineConnectionDistance);
    parameters.maxLineConnectionDistance = settings.maxConnection.value_or(kStartValues.maxLineConnectionDistance);
    parameters.smoothLevel = settings.smoothLevel.value_or(kStartValues.smoothLevel);
    parameters.smoothCount = settings.smoothCount.value_or(kStartValues.smoothCount);
    parameters.smoothLevels = settings.smoothLevels.value_or(std::vector<int>{});
    parameters.curveDividingCount = settings.divideCount.value_or(kStartValues.curveDividingCount);
    for (const Point2d& point : settings.reference.value_or(std::vector<Point2d>{}))
        parameters.referenceCurve.push_back(viewerPointToImagePoint(point, imageHeight));
    if (settings.unitLine) {
        parameters.unitLineStart = viewerPointToImagePoint((*settings.unitLine)[0], imageHeight);
        parameters.unitLineEnd = viewerPointToImagePoint((*settings.unitLine)[1], imageHeight);
    }
    parameters.unitMicron = settings.unitMicrons.value_or(kStartValues.unitMicron);
    for (const ViewerErasure& erasure : settings.erasures.value_or(std::vector<ViewerErasure>{}))
        parameters.erasures.push_back(
            EdgeErasure{toPixelRectAsIs(erasure.rect, imageHeight), erasure.curvesMadeBefore});
    for (const PointMove& move : settings.moves.value_or(std::vector<PointMove>{}))
        parameters.moves.push_back(PointMove{move.point, viewerPointToImagePoint(move.position, imageHeight)});
    return parameters;
}

ImageOrigin toImageOrigin(const MeasurementSettings& settings, int imageWidth, int imageHeight)
{
    ImageOrigin origin;
    origin.frame = static_cast<std::uint32_t>(settings.frame.value_or(0));
    if (settings.region) {
        origin.regionX0 = settings.region->x0;
        origin.regionY0 = settings.region->y0;
        origin.regionWidth = settings.region->width;
        origin.regionHeight = settings.region->height;
    }
    for (const ViewerRect& rect : settings.whitened.value_or(std::vector<ViewerRect>{})) {
        const PixelRect pixels =
            viewerRectToPixelRect(rect.x, rect.y, rect.width, rect.height, imageWidth, imageHeight);
        if (!pixels.isEmpty())
            origin.whitened.push_back(pixels);
    }
    return origin;
}

MeasurementSettings settingsForBoundary(const Boundary& boundary, int imageHeight, Point2d unitLineStart,
                                        Point2d unitLineEnd, double unitMicrons, const AxisScales& axisScales)
{
    const MeasurementSteps& steps = boundary.measuredSteps;
    const auto toViewer = [imageHeight](Point2d point) { return viewerPointToImagePoint(point, imageHeight); };
    MeasurementSettings settings;
    const ImageOrigin& origin = steps.origin;
    if (origin.frame != 0)
        settings.frame = static_cast<int>(origin.frame);
    if (origin.regionX0 != 0.0 || origin.regionY0 != 0.0 || origin.regionWidth != 1.0 || origin.regionHeight != 1.0)
        settings.region = ImageRegion{origin.regionX0, origin.regionY0, origin.regionWidth, origin.regionHeight};
    if (!origin.whitened.empty()) {
        settings.whitened.emplace();
        for (const PixelRect& rect : origin.whitened)
            settings.whitened->push_back(toViewerRect(rect, imageHeight));
    }
    settings.selection = toViewerRect(boundary.selectionRect, imageHeight);
    settings.tolerance = ToleranceSetting{false, boundary.maxColorDistance};
    if (!steps.erasures.empty()) {
        settings.erasures.emplace();
        for (const EdgeErasure& erasure : steps.erasures)
            settings.erasures->push_back(
                ViewerErasure{toViewerRect(erasure.rect, imageHeight), erasure.curvesMadeBefore});
    }
    settings.minConnection = steps.minLineConnectionDistance;
    settings.maxConnection = steps.maxLineConnectionDistance;
    const std::vector<int>& levels = steps.smoothLevels;
    if (std::adjacent_find(levels.begin(), levels.end(), std::not_equal_to<int>()) != levels.end()) {
        settings.smoothLevels = levels;
    } else {
        settings.smoothLevel = levels.empty() ? kStartValues.smoothLevel : levels.front();
        settings.smoothCount = static_cast<int>(levels.size());
    }
    settings.divideCount = steps.curveDividingCount;
    settings.reference.emplace();
    for (const Point2d& point : steps.referenceCurve)
        settings.reference->push_back(toViewer(point));
    settings.unitLine = std::array<Point2d, 2>{toViewer(unitLineStart), toViewer(unitLineEnd)};
    settings.unitMicrons = unitMicrons;
    if (axisScales.isSet()) {
        settings.lateralMicronsPerPixel = axisScales.lateralMicronsPerPixel;
        settings.axialMicronsPerPixel = axisScales.axialMicronsPerPixel;
        settings.scaleSource = axisScales.source;
    }
    if (!steps.moves.empty()) {
        settings.moves.emplace();
        for (const PointMove& move : steps.moves)
            settings.moves->push_back(PointMove{move.point, toViewer(move.position)});
    }
    return settings;
}

bool resolveAxisScales(const MeasurementSettings& settings, const AxisScales& imageFile, AxisScales& scales,
                       std::string& error)
{
    struct AxisScale {
        double micronsPerPixel = 0.0;
        std::string source;
    };
    AxisScale lateral;
    AxisScale axial;
    if (imageFile.lateralMicronsPerPixel > 0.0)
        lateral = {imageFile.lateralMicronsPerPixel, imageFile.source};
    if (imageFile.axialMicronsPerPixel > 0.0)
        axial = {imageFile.axialMicronsPerPixel, imageFile.source};
    if (settings.secondUnitLine) {
        const double unitMicrons = settings.unitMicrons.value_or(kStartValues.unitMicron);
        const std::array<Point2d, 2> first = settings.unitLine.value_or(std::array<Point2d, 2>{});
        const std::array<Point2d, 2>& second = *settings.secondUnitLine;
        const struct {
            const char* name;
            UnitLineScale scale;
        } lines[] = {
            {"the unit line", scaleFromUnitLine(first[0], first[1], unitMicrons)},
            {"the second unit line",
             scaleFromUnitLine(second[0], second[1], settings.secondUnitMicrons.value_or(unitMicrons))},
        };
        for (const auto& line : lines) {
            if (line.scale.check == ScaleCheck::ZeroLengthLine) {
                error = std::string(line.name) + " has no length, and a scale cannot come from a unit line of no "
                    + "length; with a second unit line, both lines set a scale";
                return false;
            }
            if (line.scale.check != ScaleCheck::Ok) {
                error = std::string(line.name) + " gives " + formatLimit(line.scale.micronsPerPixel)
                    + " microns per pixel, which " + describeScaleCheck(line.scale.check)
                    + "; check its length in microns";
                return false;
            }
        }
        if (lines[0].scale.axis == lines[1].scale.axis) {
            error = std::string("the unit line and the second unit line both run ")
                + (lines[0].scale.axis == ScaleAxis::Lateral ? "across" : "down")
                + " the scan: one of them must run across it for the lateral scale, the other down it for the "
                  "axial scale";
            return false;
        }
        for (const auto& line : lines)
            (line.scale.axis == ScaleAxis::Lateral ? lateral : axial) = {line.scale.micronsPerPixel, "unit line"};
    }
    if (settings.lateralMicronsPerPixel)
        lateral = {*settings.lateralMicronsPerPixel, "typed"};
    if (settings.axialMicronsPerPixel)
        axial = {*settings.axialMicronsPerPixel, "typed"};

    scales.lateralMicronsPerPixel = lateral.micronsPerPixel;
    scales.axialMicronsPerPixel = axial.micronsPerPixel;
    if (settings.lateralMicronsPerPixel && settings.axialMicronsPerPixel && settings.scaleSource)
        scales.source = *settings.scaleSource;
    else if (lateral.source == axial.source)
        scales.source = lateral.source == "unit line" ? "unit lines" : lateral.source;
    else
        scales.source = "lateral " + (lateral.source.empty() ? "not set" : lateral.source) + ", axial "
            + (axial.source.empty() ? "not set" : axial.source);
    return true;
}

bool checkSampleCount(const MeasurementSettings& settings, std::string& error)
{
    const std::size_t points = settings.reference ? settings.reference->size() : 0;
    if (points < 2)
        return true;
    const long long divideCount = settings.divideCount.value_or(kStartValues.curveDividingCount);
    const long long samples = static_cast<long long>(points - 1) * divideCount;
    if (samples <= kLargestReferenceSampleCount)
        return true;
    error = "a reference curve of " + std::to_string(points) + " points at divide count " + std::to_string(divideCount)
        + " gives " + std::to_string(samples) + " samples, more than the "
        + std::to_string(kLargestReferenceSampleCount) + " allowed: (points - 1) x divide count";
    return false;
}

bool checkCoordinates(const MeasurementSettings& settings, int imageWidth, int imageHeight, std::string& error)
{
    const auto isNearImage = [&](const Point2d& point) {
        return point.x >= -kLargestDistanceOutsideImage && point.x <= imageWidth + kLargestDistanceOutsideImage
            && point.y >= -kLargestDistanceOutsideImage && point.y <= imageHeight + kLargestDistanceOutsideImage;
    };
    const auto refuse = [&](const std::string& what, const Point2d& point) {
        error = what + " (" + formatLimit(point.x) + ", " + formatLimit(point.y) + ") lies more than "
            + std::to_string(static_cast<long long>(kLargestDistanceOutsideImage)) + " pixels outside the "
            + std::to_string(imageWidth) + " x " + std::to_string(imageHeight) + " image";
        return false;
    };
    const std::vector<Point2d> reference = settings.reference.value_or(std::vector<Point2d>{});
    for (std::size_t i = 0; i < reference.size(); ++i) {
        if (!isNearImage(reference[i]))
            return refuse("reference point " + std::to_string(i + 1), reference[i]);
    }
    for (const auto& [line, name] : {std::pair{&settings.unitLine, "the unit line's end"},
                                     std::pair{&settings.secondUnitLine, "the second unit line's end"}}) {
        for (const Point2d& end : line->value_or(std::array<Point2d, 2>{})) {
            if (!isNearImage(end))
                return refuse(name, end);
        }
    }
    for (const PointMove& move : settings.moves.value_or(std::vector<PointMove>{})) {
        if (!isNearImage(move.position))
            return refuse(std::string("the moved point ") + movablePointName(move.point), move.position);
    }
    return true;
}

const char* movablePointName(MovablePoint point)
{
    switch (point) {
    case MovablePoint::CTop:
        return "CTop";
    case MovablePoint::CBottom:
        return "CBottom";
    case MovablePoint::ATop:
        return "ATop";
    case MovablePoint::ABottom:
        return "ABottom";
    case MovablePoint::ETop:
        return "ETop";
    case MovablePoint::EBottom:
        return "EBottom";
    }
    return "";
}

bool movablePointFromName(const std::string& name, MovablePoint& point)
{
    for (MovablePoint candidate : {MovablePoint::CTop, MovablePoint::CBottom, MovablePoint::ATop, MovablePoint::ABottom,
                                   MovablePoint::ETop, MovablePoint::EBottom}) {
        if (name == movablePointName(candidate)) {
            point = candidate;
            return true;
        }
    }
    return false;
}

} // namespace quorrel
