#include "analysis/FovealExtrema.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <utility>

#include "analysis/Geometry.h"
#include "analysis/NearestCurvePoint.h"
#include "analysis/SmoothingKernel.h"

namespace quorrel {

namespace {

std::size_t pairedSampleCount(const Boundary& boundary)
{
    return std::min(boundary.curveSamples.size(), boundary.referenceSamples.size());
}

std::vector<double> sampleThicknesses(const Boundary& boundary)
{
    const std::size_t count = pairedSampleCount(boundary);
    std::vector<double> thicknesses(count);
    for (std::size_t i = 0; i < count; ++i)
        thicknesses[i] = distanceBetween(boundary.referenceSamples[i], boundary.curveSamples[i]);
    return thicknesses;
}

// First segment whose mean distance of its two ends to the point is smallest.
std::size_t nearestSegment(const std::vector<Point2d>& polyline, Point2d point)
{
    std::size_t nearest = 0;
    double best = kLargestDistance;
    for (std::size_t k = 0; k + 1 < polyline.size(); ++k) {
        const double meanDistance =
            (distanceBetween(point, polyline[k]) + distanceBetween(point, polyline[k + 1])) * 0.5;
        if (meanDistance < best) {
            best = meanDistance;
            nearest = k;
        }
    }
    return nearest;
}

struct PathPiece {
    Point2d from;
    Point2d to;
    double length = 0.0;
};

PathPiece makePiece(Point2d from, Point2d to)
{
    return {from, to, distanceBetween(from, to)};
}

// Places count points at arc positions 0, step, 2*step, ... along the pieces.
// A position falls into the first piece whose running end lies strictly
// beyond it; the last piece takes every position left over, so the list is
// always full. A zero-length last piece repeats its end point.
void placeAlongPieces(std::vector<Point2d>& out, int count, const std::vector<PathPiece>& pieces)
{
    double totalLength = 0.0;
    for (const PathPiece& piece : pieces)
        totalLength += piece.length;
    const double step = totalLength / static_cast<double>(count - 1);

    out.push_back(pieces.front().from);
    std::size_t current = 0;
    double pieceStart = 0.0;
    for (int j = 1; j < count; ++j) {
        const double position = static_cast<double>(j) * step;
        while (current + 1 < pieces.size() && !(position < pieceStart + pieces[current].length)) {
            pieceStart += pieces[current].length;
            ++current;
        }
        const PathPiece& piece = pieces[current];
        if (piece.length > 0.0)
            out.push_back(pointOnSegment(piece.from, piece.to, (position - pieceStart) / piece.length));
        else
            out.push_back(piece.to);
    }
}

} // namespace

void sampleReferenceCurve(Boundary& boundary, int dividingCount)
{
    boundary.curveSamples.clear();
    boundary.referenceSamples.clear();
    // Sampled in drawing order: A is the rim nearer the first drawn point, so
    // that reports made by others from the same drawing agree with ours.
    const std::vector<Point2d>& reference = boundary.referenceCurve;
    if (dividingCount < 1 || reference.size() < 2)
        return;

    // One finder serves every sample, so that each search starts where the
    // last one ended.
    NearestCurvePointFinder nearest(boundary.curve, dividingCount);
    const double step = 1.0 / dividingCount;
    for (std::size_t k = 0; k + 1 < reference.size(); ++k) {
        double t = 0.0;
        for (int j = 0; j < dividingCount; ++j) {
            const Point2d sample = pointOnSegment(reference[k], reference[k + 1], t);
            boundary.curveSamples.push_back(nearest.find(sample));
            boundary.referenceSamples.push_back(sample);
            t += step;
        }
    }
}

void smoothSampleDistances(Boundary& boundary)
{
    const std::vector<double> thicknesses = sampleThicknesses(boundary);
    const std::vector<double> smoothed = smoothValues(thicknesses);
    for (std::size_t i = 0; i < thicknesses.size(); ++i) {
        // A Bottom point on its Top point has no direction to move in.
        if (!(thicknesses[i] > 0.0))
            continue;
        const double ratio = smoothed[i] / thicknesses[i];
        const Point2d top = boundary.curveSamples[i];
        Point2d& bottom = boundary.referenceSamples[i];
        bottom = {top.x + (bottom.x - top.x) * ratio, top.y + (bottom.y - top.y) * ratio};
    }
}

void findLocalMinMax(Boundary& boundary)
{
    boundary.indexA = -1;
    boundary.indexC = -1;
    boundary.indexE = -1;
    const std::vector<double> thicknesses = sampleThicknesses(boundary);
    const int count = static_cast<int>(thicknesses.size());

    double smallest = kLargestDistance;
    for (int i = 0; i < count; ++i) {
        if (thicknesses[i] < smallest) {
            smallest = thicknesses[i];
            boundary.indexC = i;
        }
    }
    if (boundary.indexC < 0)
        return;

    double largest = 0.0;
    for (int i = 0; i < boundary.indexC; ++i) {
        if (thicknesses[i] > largest) {
            largest = thicknesses[i];
            boundary.indexA = i;
        }
    }
    // The right-hand range starts at C itself.
    largest = 0.0;
    for (int i = boundary.indexC; i < count; ++i) {
        if (thicknesses[i] > largest) {
            largest = thicknesses[i];
            boundary.indexE = i;
        }
    }
    if (boundary.indexA > boundary.indexE)
        std::swap(boundary.indexA, boundary.indexE);
}

void resampleBetween(std::vector<Point2d>& out, int count, const std::vector<Point2d>& polyline, Point2d start,
                     Point2d end)
{
    out.clear();
    if (count < 1)
        return;
    if (count == 1) {
        out.push_back(start);
        return;
    }

    std::vector<PathPiece> pieces;
    const std::size_t startSegment = polyline.size() < 2 ? 0 : nearestSegment(polyline, start);
    const std::size_t endSegment = polyline.size() < 2 ? 0 : nearestSegment(polyline, end);
    if (polyline.size() < 2 || startSegment == endSegment) {
        // A forward walk along one segment would overshoot the end and come
        // back; the straight line is the path.
        pieces.push_back(makePiece(start, end));
    } else {
        // Walk whichever way leads from start to end. The reversed segment
        // indices are mapped, not searched again, so that ties cannot turn
        // the walk round.
        std::vector<Point2d> reversed;
        const std::vector<Point2d>* path = &polyline;
        std::size_t first = startSegment;
        std::size_t last = endSegment;
        if (startSegment > endSegment) {
            reversed.assign(polyline.rbegin(), polyline.rend());
            path = &reversed;
            const std::size_t lastSegment = polyline.size() - 2;
            first = lastSegment - startSegment;
            last = lastSegment - endSegment;
        }
        const std::vector<Point2d>& points = *path;
        pieces.push_back(makePiece(start, points[first + 1]));
        for (std::size_t k = first + 1; k < last; ++k)
            pieces.push_back(makePiece(points[k], points[k + 1]));
        pieces.push_back(makePiece(points[last], end));
    }
    out.reserve(static_cast<std::size_t>(count));
    placeAlongPieces(out, count, pieces);
}

void resampleBetweenMaxima(Boundary& boundary)
{
    if (!hasValidExtrema(boundary))
        return;
    const auto a = static_cast<std::size_t>(boundary.indexA);
    const auto c = static_cast<std::size_t>(boundary.indexC);
    const auto e = static_cast<std::size_t>(boundary.indexE);
    resampleBetween(boundary.resampledCurve, kResampledPointCount, boundary.curve, boundary.curveSamples[a],
                    boundary.curveSamples[e]);
    resampleBetween(boundary.resampledReference, kResampledPointCount, boundary.referenceCurve,
                    boundary.referenceSamples[a], boundary.referenceSamples[e]);

    boundary.resampledIndexC = -1;
    double best = kLargestDistance;
    for (std::size_t i = 0; i < boundary.resampledCurve.size(); ++i) {
        const double distance = distanceBetween(boundary.resampledCurve[i], boundary.curveSamples[c]);
        if (distance < best) {
            best = distance;
            boundary.resampledIndexC = static_cast<int>(i);
        }
    }
    findSlopePoints(boundary);
}

void findSlopePoints(Boundary& boundary)
{
    boundary.resampledDistances.clear();
    const std::size_t size = std::min(boundary.resampledCurve.size(), boundary.resampledReference.size());
    for (std::size_t i = 0; i < size; ++i)
        boundary.resampledDistances.push_back(
            distanceBetween(boundary.resampledCurve[i], boundary.resampledReference[i]));
    const int count = static_cast<int>(size);
    const int c = boundary.resampledIndexC;
    if (!indexInRange(c, size))
        return;

    // Backward differences with both ends held at zero, smoothed three times.
    const std::vector<double>& distances = boundary.resampledDistances;
    std::vector<double> differences(size, 0.0);
    for (int i = 1; i < count - 1; ++i)
        differences[i] = distances[i] - distances[i - 1];
    const std::vector<double> slopes = smoothValues(smoothValues(smoothValues(differences)));

    const int margin = c / 2;
    double steepest = 0.0;
    for (int i = margin; i < c; ++i) {
        if (std::fabs(slopes[i]) > steepest) {
            steepest = std::fabs(slopes[i]);
            boundary.indexB = i;
        }
    }
    steepest = 0.0;
    for (int i = c + 1; i < count - margin; ++i) {
        if (std::fabs(slopes[i]) > steepest) {
            steepest = std::fabs(slopes[i]);
            boundary.indexD = i;
        }
    }
}

FovealInputCheck checkFovealInput(const Boundary& boundary)
{
    if (boundary.curve.empty())
        return FovealInputCheck::NoCurve;
    if (boundary.referenceCurve.size() < 2)
        return FovealInputCheck::NoReferenceCurve;
    return FovealInputCheck::Ok;
}

void detectFovealWidthAndDepth(Boundary& boundary, int dividingCount)
{
    sampleReferenceCurve(boundary, dividingCount);
    smoothSampleDistances(boundary);
    findLocalMinMax(boundary);
    // Without both rims there is nothing to resample between; the boundary
    // then simply has no valid extrema.
    if (boundary.indexA >= 0 && boundary.indexE >= 0)
        resampleBetweenMaxima(boundary);
}

bool hasValidExtrema(const Boundary& boundary)
{
    const std::size_t count = boundary.curveSamples.size();
    return boundary.referenceSamples.size() == count && indexInRange(boundary.indexA, count)
        && indexInRange(boundary.indexC, count) && indexInRange(boundary.indexE, count);
}

bool hasReportableExtrema(const Boundary& boundary)
{
    const std::size_t count = std::min(boundary.resampledCurve.size(), boundary.resampledReference.size());
    return hasValidExtrema(boundary) && indexInRange(boundary.indexB, count) && indexInRange(boundary.indexD, count)
        && indexInRange(boundary.resampledIndexC, count);
}

} // namespace quorrel
