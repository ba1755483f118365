#pragma once

// The geometric expressions every measurement shares. Reports must come out
// the same on every machine and the fast searches must reproduce the plain
// ones to the last bit, so each is written exactly one way.

#include <cmath>
#include <limits>

#include "analysis/Point2d.h"

namespace quorrel {

// Larger than every distance a search can find: its starting best.
inline constexpr double kLargestDistance = std::numeric_limits<double>::max();

// Euclidean distance, as sqrt(dx * dx + dy * dy) rather than hypot.
inline double distanceBetween(const Point2d& a, const Point2d& b)
{
    const double dx = a.x - b.x;
    const double dy = a.y - b.y;
    return std::sqrt(dx * dx + dy * dy);
}

// The point at parameter t of the segment from `from` to `to`.
inline Point2d pointOnSegment(const Point2d& from, const Point2d& to, double t)
{
    return {from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t};
}

} // namespace quorrel
