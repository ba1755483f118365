#include "analysis/FovealExtrema.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <optional>
#include <utility>

#include "analysis/Geometry.h"
#include "analysis/SmoothingKernel.h"

namespace quorrel {

namespace {

constexpr double kLargestDistance = std::numeric_limits<double>::max();

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

// Above this count the parameters are not tabled and every candidate is
// visited in turn.
constexpr int kLargestTabledDividingCount = 1 << 20;

// The parameters 0, h, h + h, ... of one segment's candidates, h = 1.0 / N,
// accumulated as the samples and candidates are: the same doubles.
std::vector<double> accumulatedParameters(int dividingCount)
{
    const double step = 1.0 / dividingCount;
    std::vector<double> parameters(static_cast<std::size_t>(dividingCount));
    double t = 0.0;
    for (double& parameter : parameters) {
        parameter = t;
        t += step;
    }
    return parameters;
}

// Every candidate of every segment in order, the first of equal distances
// winning. Kept beside the plain form in the oracle because the fast search
// needs the parameters tabled, and beyond 2^20 sub-steps the table would not fit.
Point2d visitEveryCandidate(const std::vector<Point2d>& polyline, Point2d point, int dividingCount)
{
    const double step = 1.0 / dividingCount;
    Point2d nearest{kNaN, kNaN};
    double best = kLargestDistance;
    for (std::size_t i = 0; i + 1 < polyline.size(); ++i) {
        double t = 0.0;
        for (int j = 0; j < dividingCount; ++j) {
            const Point2d candidate = pointOnSegment(polyline[i], polyline[i + 1], t);
            const double distance = distanceBetween(point, candidate);
            if (distance < best) {
                best = distance;
                nearest = candidate;
            }
            t += step;
        }
    }
    return nearest;
}

// The nearest candidate as findNearestCurvePoint defines it, without looking
// at most candidates. Every candidate that is looked at is computed as the
// literal search computes it, and of equal distances the one earliest in the
// literal order (segment, then parameter) wins, so the result is the same
// point. Candidates are skipped only when their distance provably exceeds the
// best found so far:
// - a segment or block of segments is skipped when its bounding box is
//   farther away than the best distance;
// - along a segment the exact distance falls and then rises with t, around
//   the foot of the perpendicular; walking outward from the foot, a distance
//   above the best ends the walk in that direction.
// Rounding never moves a computed distance by more than the slack, a tiny
// fraction of the coordinates' size, which every bound allows for. Segments
// with coordinates that are not finite, or so large that products could
// overflow, are searched candidate by candidate.
class NearestCurvePointSearch {
public:
    NearestCurvePointSearch(const std::vector<Point2d>& polyline, const std::vector<double>& parameters)
        : polyline_(polyline)
        , parameters_(parameters)
        , segmentCount_(polyline.size() - 1)
    {
        const double farthestParameter = std::max(1.0, parameters.back());
        segments_.resize(segmentCount_);
        for (std::size_t i = 0; i < segmentCount_; ++i) {
            const Point2d from = polyline[i];
            const Point2d to = polyline[i + 1];
            SegmentBounds& segment = segments_[i];
            segment.trusted = isTrusted(from) && isTrusted(to);
            if (!segment.trusted)
                continue;
            const Point2d farthest = pointOnSegment(from, to, farthestParameter);
            segment.box = Box{std::min({from.x, to.x, farthest.x}), std::max({from.x, to.x, farthest.x}),
                              std::min({from.y, to.y, farthest.y}), std::max({from.y, to.y, farthest.y})};
            scale_ = std::max({scale_, std::fabs(from.x), std::fabs(from.y), std::fabs(to.x), std::fabs(to.y),
                               std::fabs(farthest.x), std::fabs(farthest.y)});
        }
        for (std::size_t first = 0; first < segmentCount_; first += kSegmentsPerBlock) {
            SegmentBounds block = segments_[first];
            for (std::size_t i = first + 1; i < std::min(first + kSegmentsPerBlock, segmentCount_); ++i) {
                block.trusted = block.trusted && segments_[i].trusted;
                if (!block.trusted)
                    break;
                block.box = Box{
                    std::min(block.box.left, segments_[i].box.left), std::max(block.box.right, segments_[i].box.right),
                    std::min(block.box.bottom, segments_[i].box.bottom), std::max(block.box.top, segments_[i].box.top)};
            }
            blocks_.push_back(block);
        }
    }

    Point2d find(Point2d point)
    {
        found_ = false;
        bestDistance_ = kLargestDistance;
        nearest_ = Point2d{kNaN, kNaN};
        if (!isTrusted(point)) {
            for (std::size_t i = 0; i < segmentCount_; ++i)
                visitSegment(i, point, 0, parameters_.size() - 1);
            return nearest_;
        }
        slack_ = kRelativeSlack * std::max({scale_, std::fabs(point.x), std::fabs(point.y)}) + kAbsoluteSlack;

        // Neighbouring samples usually share their nearest segment; starting
        // there makes the best distance small from the outset.
        if (hint_ < segmentCount_)
            searchSegment(hint_, point);
        for (std::size_t block = 0; block < blocks_.size(); ++block) {
            if (blocks_[block].trusted && isBeyondBest(blocks_[block].box, point))
                continue;
            const std::size_t first = block * kSegmentsPerBlock;
            for (std::size_t i = first; i < std::min(first + kSegmentsPerBlock, segmentCount_); ++i) {
                if (i == hint_ || (segments_[i].trusted && isBeyondBest(segments_[i].box, point)))
                    continue;
                searchSegment(i, point);
            }
        }
        if (found_)
            hint_ = bestSegment_;
        return nearest_;
    }

private:
    static constexpr std::size_t kSegmentsPerBlock = 16;
    // Products of coordinates up to this size neither overflow nor lose the
    // relative accuracy the slack relies on.
    static constexpr double kLargestTrustedCoordinate = 1e100;
    // A computed distance is within about 20 units of rounding of the
    // coordinates' size of the exact one; the slack allows 4500.
    static constexpr double kRelativeSlack = 1e-12;
    // Squares of differences below 1e-154 underflow to zero.
    static constexpr double kAbsoluteSlack = 1e-150;
    // Below this squared length the foot of the perpendicular is not
    // computed; such a segment is searched candidate by candidate.
    static constexpr double kSmallestFootSegment = 1e-200;

    struct Box {
        double left = 0.0;
        double right = 0.0;
        double bottom = 0.0;
        double top = 0.0;
    };

    struct SegmentBounds {
        Box box;
        bool trusted = false;
    };

    static bool isTrusted(Point2d point)
    {
        return std::fabs(point.x) <= kLargestTrustedCoordinate && std::fabs(point.y) <= kLargestTrustedCoordinate;
    }

    // True when every point of the box is farther from point than the best
    // distance by more than the slack.
    bool isBeyondBest(const Box& box, Point2d point) const
    {
        if (!found_)
            return false;
        const double gapX = std::max({box.left - point.x, point.x - box.right, 0.0});
        const double gapY = std::max({box.bottom - point.y, point.y - box.top, 0.0});
        return std::sqrt(gapX * gapX + gapY * gapY) - slack_ >= bestDistance_;
    }

    double consider(std::size_t segment, std::size_t j, Point2d point)
    {
        const Point2d candidate = pointOnSegment(polyline_[segment], polyline_[segment + 1], parameters_[j]);
        const double distance = distanceBetween(point, candidate);
        if (!(distance < kLargestDistance))
            return distance;
        if (!found_ || distance < bestDistance_
            || (distance == bestDistance_ && (segment < bestSegment_ || (segment == bestSegment_ && j < bestIndex_)))) {
            found_ = true;
            bestDistance_ = distance;
            bestSegment_ = segment;
            bestIndex_ = j;
            nearest_ = candidate;
        }
        return distance;
    }

    void visitSegment(std::size_t segment, Point2d point, std::size_t first, std::size_t last)
    {
        for (std::size_t j = first; j <= last; ++j)
            consider(segment, j, point);
    }

    void searchSegment(std::size_t segment, Point2d point)
    {
        const std::size_t lastIndex = parameters_.size() - 1;
        if (!segments_[segment].trusted) {
            visitSegment(segment, point, 0, lastIndex);
            return;
        }
        const Point2d from = polyline_[segment];
        const Point2d to = polyline_[segment + 1];
        const double dx = to.x - from.x;
        const double dy = to.y - from.y;
        // Every candidate of a zero-length segment is the same point.
        if (dx == 0.0 && dy == 0.0) {
            consider(segment, 0, point);
            return;
        }
        const double lengthSquared = dx * dx + dy * dy;
        if (!(lengthSquared >= kSmallestFootSegment)) {
            visitSegment(segment, point, 0, lastIndex);
            return;
        }

        // The exact foot lies within footSlack of the computed one (whose
        // rounding is some 1e-15 of |w| / |d| + |foot|), so every candidate
        // before `low` lies before it and every one after `high` beyond it.
        const double wx = point.x - from.x;
        const double wy = point.y - from.y;
        const double foot = (wx * dx + wy * dy) / lengthSquared;
        const double footSlack = 1e-9 * (std::sqrt((wx * wx + wy * wy) / lengthSquared) + std::fabs(foot) + 1.0);
        const auto lowBound = std::lower_bound(parameters_.begin(), parameters_.end(), foot - footSlack);
        const auto highBound = std::upper_bound(parameters_.begin(), parameters_.end(), foot + footSlack);
        const std::size_t low = std::min(static_cast<std::size_t>(lowBound - parameters_.begin()), lastIndex);
        const std::size_t high = std::min(static_cast<std::size_t>(highBound - parameters_.begin()), lastIndex);

        visitSegment(segment, point, low, high);
        for (std::size_t j = high + 1; j <= lastIndex; ++j) {
            if (consider(segment, j, point) > bestDistance_ + 2.0 * slack_)
                break;
        }
        for (std::size_t j = low; j-- > 0;) {
            if (consider(segment, j, point) > bestDistance_ + 2.0 * slack_)
                break;
        }
    }

    const std::vector<Point2d>& polyline_;
    const std::vector<double>& parameters_;
    const std::size_t segmentCount_;
    std::vector<SegmentBounds> segments_;
    std::vector<SegmentBounds> blocks_;
    double scale_ = 0.0;
    double slack_ = 0.0;
    std::size_t hint_ = 0;

    bool found_ = false;
    double bestDistance_ = kLargestDistance;
    std::size_t bestSegment_ = 0;
    std::size_t bestIndex_ = 0;
    Point2d nearest_{kNaN, kNaN};
};

} // namespace

Point2d findNearestCurvePoint(const std::vector<Point2d>& polyline, Point2d point, int dividingCount)
{
    if (polyline.empty() || dividingCount < 1)
        return {kNaN, kNaN};
    if (polyline.size() == 1)
        return polyline.front();
    if (dividingCount > kLargestTabledDividingCount)
        return visitEveryCandidate(polyline, point, dividingCount);
    const std::vector<double> parameters = accumulatedParameters(dividingCount);
    return NearestCurvePointSearch(polyline, parameters).find(point);
}

void sampleReferenceCurve(Boundary& boundary, int dividingCount)
{
    boundary.curveSamples.clear();
    boundary.referenceSamples.clear();
    // Sampled in drawing order: A is the rim nearer the first drawn point, so
    // that reports made by others from the same drawing agree with ours.
    const std::vector<Point2d>& reference = boundary.referenceCurve;
    const std::vector<Point2d>& curve = boundary.curve;
    if (dividingCount < 1 || reference.size() < 2)
        return;

    // One search serves every sample, so that each starts where the last one
    // ended; without a table or a curve of two points the plain answer holds.
    const bool searchable = dividingCount <= kLargestTabledDividingCount && curve.size() >= 2;
    const std::vector<double> parameters = searchable ? accumulatedParameters(dividingCount) : std::vector<double>{};
    std::optional<NearestCurvePointSearch> search;
    if (searchable) {
        search.emplace(curve, parameters);
        const std::size_t sampleCount = (reference.size() - 1) * parameters.size();
        boundary.curveSamples.reserve(sampleCount);
        boundary.referenceSamples.reserve(sampleCount);
    }
    // t accumulates exactly as the tabled parameters do.
    const double step = 1.0 / dividingCount;
    for (std::size_t k = 0; k + 1 < reference.size(); ++k) {
        double t = 0.0;
        for (int j = 0; j < dividingCount; ++j) {
            const Point2d sample = pointOnSegment(reference[k], reference[k + 1], t);
            boundary.curveSamples.push_back(search ? search->find(sample)
                                                   : findNearestCurvePoint(curve, sample, dividingCount));
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
