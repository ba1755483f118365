#pragma once

// The detection record that every step from region growing to the report
// fills, with the curve-construction node it holds and the record of the
// steps that made it.

#include <cstddef>
#include <cstdint>
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

// Which pixels a boundary was traced on: the frame of its image file (a DICOM
// frame or TIFF page, else 0), the part of it that was loaded, as the
// fractions of its size that loading takes ((0, 0, 1, 1) is all of it), and
// the rectangles whitened in it since, in order.
struct ImageOrigin {
    std::uint32_t frame = 0;
    double regionX0 = 0.0;
    double regionY0 = 0.0;
    double regionWidth = 1.0;
    double regionHeight = 1.0;
    std::vector<PixelRect> whitened;
};

// A measured point that can be moved by hand, numbered as the view's handles.
enum class MovablePoint { CTop = 0, CBottom = 1, ATop = 2, ABottom = 3, ETop = 4, EBottom = 5 };

struct PointMove {
    MovablePoint point = MovablePoint::CTop;
    Point2d position;
};

// Edge points erased by hand inside a rectangle (its far edges included),
// after curvesMadeBefore curves had been made from them: each Make Curve
// reorders the points, and the order decides the curve.
struct EdgeErasure {
    PixelRect rect;
    int curvesMadeBefore = 0;
};

// The steps a boundary's figures depend on, in the form the user took them,
// so that a measurement file can repeat them exactly. The selection and the
// tolerance are the boundary's own.
struct MeasurementSteps {
    ImageOrigin origin;
    std::vector<EdgeErasure> erasures;
    int curvesMade = 0;
    double minLineConnectionDistance = 2.0; // of the last Make Curve
    double maxLineConnectionDistance = 3.0;
    std::vector<int> smoothLevels; // one per smoothing since the last Make Curve
    // Set by the foveal detection:
    std::vector<Point2d> referenceCurve;
    int curveDividingCount = 0; // 0: not measured
    std::vector<PointMove> moves; // since the detection, one per point, in the order last moved
    bool saved = false; // written to a measurement file since the detection or the last move
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
    // How the curve was made so far, and how it stood when the points A to E
    // were detected: what a measurement file records.
    MeasurementSteps steps;
    MeasurementSteps measuredSteps;
};

// True when index lies within a list of the given size.
inline bool indexInRange(int index, std::size_t size)
{
    return index >= 0 && static_cast<std::size_t>(index) < size;
}

} // namespace quorrel
