#include "MeasureSettings.h"

#include "StrictText.h"

namespace measure {

using quorrel::Point2d;

std::string describe(const WholeRule& rule)
{
    return "a whole number from " + std::to_string(rule.minimum) + " to " + std::to_string(rule.maximum);
}

std::string describe(const DecimalRule& rule)
{
    return std::string(rule.exclusive ? "a number greater than " : "a number from ") + formatNumber(rule.minimum)
        + (rule.exclusive ? " up to " : " to ") + formatNumber(rule.maximum);
}

bool inRange(const DecimalRule& rule, double value)
{
    return (rule.exclusive ? value > rule.minimum : value >= rule.minimum) && value <= rule.maximum;
}

bool checkSampleCount(const MeasureSettings& settings, std::string& error)
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

bool checkCoordinates(const MeasureSettings& settings, int imageWidth, int imageHeight, std::string& error)
{
    const auto isNearImage = [&](const Point2d& point) {
        return point.x >= -kLargestDistanceOutsideImage && point.x <= imageWidth + kLargestDistanceOutsideImage
            && point.y >= -kLargestDistanceOutsideImage && point.y <= imageHeight + kLargestDistanceOutsideImage;
    };
    const auto refuse = [&](const std::string& what, const Point2d& point) {
        error = what + " (" + formatNumber(point.x) + ", " + formatNumber(point.y) + ") lies more than "
            + std::to_string(static_cast<long long>(kLargestDistanceOutsideImage)) + " pixels outside the "
            + std::to_string(imageWidth) + " x " + std::to_string(imageHeight) + " image";
        return false;
    };
    const std::vector<Point2d> reference = settings.reference.value_or(std::vector<Point2d>{});
    for (std::size_t i = 0; i < reference.size(); ++i) {
        if (!isNearImage(reference[i]))
            return refuse("reference point " + std::to_string(i + 1), reference[i]);
    }
    if (settings.unitLine) {
        for (const Point2d& end : *settings.unitLine) {
            if (!isNearImage(end))
                return refuse("the unit line's end", end);
        }
    }
    return true;
}

void overlaySettings(MeasureSettings& base, const MeasureSettings& overrides)
{
    auto take = [](auto& into, const auto& from) {
        if (from)
            into = from;
    };
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
}

} // namespace measure
