#include "analysis/MeasurementSteps.h"

#include <algorithm>

#include "analysis/CurveConstruction.h"
#include "analysis/CurveSmoothing.h"
#include "analysis/FovealExtrema.h"

namespace quorrel {

void recordDetection(Boundary& boundary, const ImageOrigin& origin)
{
    boundary.steps = MeasurementSteps{};
    boundary.steps.origin = origin;
    boundary.measuredSteps = MeasurementSteps{};
}

void eraseEdgePoints(Boundary& boundary, const PixelRect& rect)
{
    auto inside = [&rect](const Point2d& point) {
        return rect.left <= point.x && point.x <= rect.right && rect.bottom <= point.y && point.y <= rect.top;
    };
    boundary.edgePoints.erase(std::remove_if(boundary.edgePoints.begin(), boundary.edgePoints.end(), inside),
                              boundary.edgePoints.end());
    boundary.curveNodes.clear();
    boundary.curve.clear();
    boundary.steps.erasures.push_back(EdgeErasure{rect, boundary.steps.curvesMade});
    boundary.steps.smoothLevels.clear();
}

void makeCurve(Boundary& boundary, double minLineConnectionDistance, double maxLineConnectionDistance,
               int minCurvePointCount)
{
    sortEdgePoints(boundary.edgePoints);
    buildBoundaryCurve(boundary, minLineConnectionDistance, maxLineConnectionDistance, minCurvePointCount);
    MeasurementSteps& steps = boundary.steps;
    ++steps.curvesMade;
    steps.minLineConnectionDistance = minLineConnectionDistance;
    steps.maxLineConnectionDistance = maxLineConnectionDistance;
    steps.smoothLevels.clear();
}

void smoothCurveOnce(Boundary& boundary, int smoothLevel)
{
    smoothCurve(boundary.curve, smoothLevel);
    boundary.steps.smoothLevels.push_back(smoothLevel);
}

void measureFovea(Boundary& boundary, int dividingCount)
{
    detectFovealWidthAndDepth(boundary, dividingCount);
    boundary.measuredSteps = boundary.steps;
    boundary.measuredSteps.referenceCurve = boundary.referenceCurve;
    boundary.measuredSteps.curveDividingCount = dividingCount;
    boundary.measuredSteps.moves.clear();
    boundary.measuredSteps.saved = false;
}

bool moveMeasuredPoint(Boundary& boundary, const PointMove& move)
{
    if (!hasValidExtrema(boundary))
        return false;
    const auto at = [](int index) { return static_cast<std::size_t>(index); };
    switch (move.point) {
    case MovablePoint::CTop:
        boundary.curveSamples[at(boundary.indexC)] = move.position;
        break;
    case MovablePoint::CBottom:
        boundary.referenceSamples[at(boundary.indexC)] = move.position;
        break;
    case MovablePoint::ATop:
        boundary.curveSamples[at(boundary.indexA)] = move.position;
        break;
    case MovablePoint::ABottom:
        boundary.referenceSamples[at(boundary.indexA)] = move.position;
        break;
    case MovablePoint::ETop:
        boundary.curveSamples[at(boundary.indexE)] = move.position;
        break;
    case MovablePoint::EBottom:
        boundary.referenceSamples[at(boundary.indexE)] = move.position;
        break;
    default:
        return false;
    }
    // A and E may share a sample with C, so the order of the last moves
    // decides where that sample ends up.
    std::vector<PointMove>& moves = boundary.measuredSteps.moves;
    moves.erase(std::remove_if(moves.begin(), moves.end(),
                               [&move](const PointMove& earlier) { return earlier.point == move.point; }),
                moves.end());
    moves.push_back(move);
    boundary.measuredSteps.saved = false;
    return true;
}

bool moveMeasuredPoints(Boundary& boundary, const std::vector<PointMove>& moves)
{
    for (const PointMove& move : moves) {
        if (!moveMeasuredPoint(boundary, move))
            return false;
    }
    return true;
}

void whitenPixels(std::uint8_t* pixels, int width, int height, const PixelRect& rect)
{
    if (!pixels)
        return;
    const int left = std::max(rect.left, 0);
    const int right = std::min(rect.right, width);
    for (int row = std::max(rect.bottom, 0); row < std::min(rect.top, height); ++row) {
        for (int column = left; column < right; ++column) {
            std::uint8_t* pixel = pixels
                + (static_cast<std::size_t>(row) * static_cast<std::size_t>(width) + static_cast<std::size_t>(column))
                    * 4u;
            std::fill(pixel, pixel + 4, std::uint8_t{255});
        }
    }
}

std::vector<int> smoothingPresses(const std::vector<int>& levels, int count, int level)
{
    if (!levels.empty())
        return levels;
    return std::vector<int>(static_cast<std::size_t>(std::max(count, 0)), level);
}

bool operator==(const PixelRect& a, const PixelRect& b)
{
    return a.left == b.left && a.bottom == b.bottom && a.right == b.right && a.top == b.top;
}

bool operator==(const ImageOrigin& a, const ImageOrigin& b)
{
    return a.frame == b.frame && a.regionX0 == b.regionX0 && a.regionY0 == b.regionY0 && a.regionWidth == b.regionWidth
        && a.regionHeight == b.regionHeight && a.whitened == b.whitened;
}

} // namespace quorrel
