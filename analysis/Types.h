#pragma once

// Plain value types shared by every measurement step. Standard C++ only.

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "analysis/PixelRect.h"

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

// A colour as four integer channels, each 0 to 255.
struct RgbaColor {
    int r = 0;
    int g = 0;
    int b = 0;
    int a = 0;
};

inline bool operator==(const RgbaColor& p, const RgbaColor& q)
{
    return p.r == q.r && p.g == q.g && p.b == q.b && p.a == q.a;
}

// Non-owning view of an RGBA buffer, 4 bytes per pixel, rows packed, row 0 at
// the bottom. Pixel (x, y) starts at byte (y * width + x) * 4.
struct RgbaImageView {
    const std::uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;

    bool isEmpty() const { return pixels == nullptr || width <= 0 || height <= 0; }
    const std::uint8_t* pixel(int x, int y) const
    {
        return pixels
            + (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 4u;
    }
};

// Working node of curve construction. Links are indices into the node list;
// -1 means none.
struct CurveNode {
    Point2d point;
    int prev = -1;
    int next = -1;
    std::vector<int> neighbours;
    std::vector<double> neighbourDistances;
};

// One detection record and everything measured on it.
struct Boundary {
    std::wstring imagePath;
    Point2d seedPoint;
    RgbaColor referenceColor;
    PixelRect selectionRect; // the clamped selection it was made from
    int maxColorDistance = 0;
    std::vector<Point2d> edgePoints;
    std::vector<CurveNode> curveNodes;
    std::vector<Point2d> curve;
    std::vector<Point2d> referenceCurve;
    int indexA = -1;
    int indexC = -1;
    int indexE = -1;
    std::vector<Point2d> curveSamples;
    std::vector<Point2d> referenceSamples;
    std::vector<Point2d> resampledReference;
    std::vector<Point2d> resampledCurve;
    std::vector<double> resampledDistances;
    int indexB = -1;
    int resampledIndexC = -1;
    int indexD = -1;
};

// True when index lies within a list of the given size.
inline bool indexInRange(int index, std::size_t size)
{
    return index >= 0 && static_cast<std::size_t>(index) < size;
}

} // namespace quorrel
