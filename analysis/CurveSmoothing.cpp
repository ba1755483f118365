#include "analysis/CurveSmoothing.h"

#include <cstddef>
#include <cstdint>
#include <utility>

#include "analysis/SmoothingKernel.h"

namespace quorrel {

namespace {

constexpr std::size_t kThinningThreshold = 100;

} // namespace

void smoothCurve(std::vector<Point2d>& curve, int smoothLevel)
{
    const auto count = static_cast<std::ptrdiff_t>(curve.size());
    if (curve.empty() || count < 2 * std::int64_t{smoothLevel})
        return;

    // The copy of the first point in front is kept on purpose: every press
    // adds one point there, and the reports depend on it.
    std::vector<Point2d> smoothed;
    smoothed.reserve(curve.size() + 1);
    smoothed.push_back(curve.front());
    for (std::ptrdiff_t centre = 0; centre < count; ++centre) {
        const double x =
            smoothingTap([&](std::ptrdiff_t i) { return curve[static_cast<std::size_t>(i)].x; }, centre, count);
        const double y =
            smoothingTap([&](std::ptrdiff_t i) { return curve[static_cast<std::size_t>(i)].y; }, centre, count);
        smoothed.push_back(Point2d{x, y});
    }

    if (smoothLevel > 1 && smoothed.size() > kThinningThreshold) {
        curve.clear();
        const auto step = static_cast<std::size_t>(smoothLevel);
        for (std::size_t i = 0; i < smoothed.size(); i += step)
            curve.push_back(smoothed[i]);
        return;
    }
    curve = std::move(smoothed);
}

} // namespace quorrel
