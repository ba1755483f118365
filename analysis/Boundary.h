#pragma once

// The detection record that every step from region growing to the report
// fills, with the curve-construction node it holds.

#include <cstddef>
#include <string>
#include <vector>

#include "analysis/PixelRect.h"
#include "analysis/Point2d.h"
#include "analysis/RgbaImage.h"

namespace quorrel {

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
