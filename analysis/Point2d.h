#pragma once

// A position in image pixels, the one point type of every measurement step.

#include <cmath>
#include <limits>

namespace quorrel {

// A position in image pixel coordinates: x is the column, y the row counted
// upward from the bottom row of the pixel buffer.
struct Point2d {
    double x = 0.0;
    double y = 0.0;
};

inline bool operator==(const Point2d& a, const Point2d& b)
{
    return a.x == b.x && a.y == b.y;
}
inline bool operator!=(const Point2d& a, const Point2d& b)
{
    return !(a == b);
}

// The value of a figure or coordinate that does not exist: no nearest point,
// a distance that cannot be computed.
inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// True when neither coordinate is NaN or infinite.
inline bool isFinitePoint(const Point2d& point)
{
    return std::isfinite(point.x) && std::isfinite(point.y);
}

} // namespace quorrel
