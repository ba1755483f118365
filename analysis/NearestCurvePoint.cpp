#include "analysis/NearestCurvePoint.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "analysis/Geometry.h"

namespace quorrel {

namespace {

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

} // namespace

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
class NearestCurvePointFinder::Search {
public:
    Search(const std::vector<Point2d>& polyline, const std::vector<double>& parameters)
        : m_polyline(polyline)
        , m_parameters(parameters)
        , m_segmentCount(polyline.size() - 1)
    {
        const double farthestParameter = std::max(1.0, parameters.back());
        m_segments.resize(m_segmentCount);
        for (std::size_t i = 0; i < m_segmentCount; ++i) {
            const Point2d from = polyline[i];
            const Point2d to = polyline[i + 1];
            SegmentBounds& segment = m_segments[i];
            segment.trusted = isTrusted(from) && isTrusted(to);
            if (!segment.trusted)
                continue;
            const Point2d farthest = pointOnSegment(from, to, farthestParameter);
            segment.box = Box{std::min({from.x, to.x, farthest.x}), std::max({from.x, to.x, farthest.x}),
                              std::min({from.y, to.y, farthest.y}), std::max({from.y, to.y, farthest.y})};
            m_scale = std::max({m_scale, std::fabs(from.x), std::fabs(from.y), std::fabs(to.x), std::fabs(to.y),
                                std::fabs(farthest.x), std::fabs(farthest.y)});
        }
        for (std::size_t first = 0; first < m_segmentCount; first += kSegmentsPerBlock) {
            SegmentBounds block = m_segments[first];
            for (std::size_t i = first + 1; i < std::min(first + kSegmentsPerBlock, m_segmentCount); ++i) {
                block.trusted = block.trusted && m_segments[i].trusted;
                if (!block.trusted)
                    break;
                block.box = Box{std::min(block.box.left, m_segments[i].box.left),
                                std::max(block.box.right, m_segments[i].box.right),
                                std::min(block.box.bottom, m_segments[i].box.bottom),
                                std::max(block.box.top, m_segments[i].box.top)};
            }
            m_blocks.push_back(block);
        }
    }

    Point2d find(Point2d point)
    {
        m_found = false;
        m_bestDistance = kLargestDistance;
        m_nearest = Point2d{kNaN, kNaN};
        if (!isTrusted(point)) {
            for (std::size_t i = 0; i < m_segmentCount; ++i)
                visitSegment(i, point, 0, m_parameters.size() - 1);
            return m_nearest;
        }
        m_slack = kRelativeSlack * std::max({m_scale, std::fabs(point.x), std::fabs(point.y)}) + kAbsoluteSlack;

        // Neighbouring samples usually share their nearest segment; starting
        // there makes the best distance small from the outset.
        if (m_hint < m_segmentCount)
            searchSegment(m_hint, point);
        for (std::size_t block = 0; block < m_blocks.size(); ++block) {
            if (m_blocks[block].trusted && isBeyondBest(m_blocks[block].box, point))
                continue;
            const std::size_t first = block * kSegmentsPerBlock;
            for (std::size_t i = first; i < std::min(first + kSegmentsPerBlock, m_segmentCount); ++i) {
                if (i == m_hint || (m_segments[i].trusted && isBeyondBest(m_segments[i].box, point)))
                    continue;
                searchSegment(i, point);
            }
        }
        if (m_found)
            m_hint = m_bestSegment;
        return m_nearest;
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
        if (!m_found)
            return false;
        const double gapX = std::max({box.left - point.x, point.x - box.right, 0.0});
        const double gapY = std::max({box.bottom - point.y, point.y - box.top, 0.0});
        return std::sqrt(gapX * gapX + gapY * gapY) - m_slack >= m_bestDistance;
    }

    double consider(std::size_t segment, std::size_t j, Point2d point)
    {
        const Point2d candidate = pointOnSegment(m_polyline[segment], m_polyline[segment + 1], m_parameters[j]);
        const double distance = distanceBetween(point, candidate);
        if (!(distance < kLargestDistance))
            return distance;
        if (!m_found || distance < m_bestDistance
            || (distance == m_bestDistance
                && (segment < m_bestSegment || (segment == m_bestSegment && j < m_bestIndex)))) {
            m_found = true;
            m_bestDistance = distance;
            m_bestSegment = segment;
            m_bestIndex = j;
            m_nearest = candidate;
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
        const std::size_t lastIndex = m_parameters.size() - 1;
        if (!m_segments[segment].trusted) {
            visitSegment(segment, point, 0, lastIndex);
            return;
        }
        const Point2d from = m_polyline[segment];
        const Point2d to = m_polyline[segment + 1];
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
        const auto lowBound = std::lower_bound(m_parameters.begin(), m_parameters.end(), foot - footSlack);
        const auto highBound = std::upper_bound(m_parameters.begin(), m_parameters.end(), foot + footSlack);
        const std::size_t low = std::min(static_cast<std::size_t>(lowBound - m_parameters.begin()), lastIndex);
        const std::size_t high = std::min(static_cast<std::size_t>(highBound - m_parameters.begin()), lastIndex);

        visitSegment(segment, point, low, high);
        for (std::size_t j = high + 1; j <= lastIndex; ++j) {
            if (consider(segment, j, point) > m_bestDistance + 2.0 * m_slack)
                break;
        }
        for (std::size_t j = low; j-- > 0;) {
            if (consider(segment, j, point) > m_bestDistance + 2.0 * m_slack)
                break;
        }
    }

    const std::vector<Point2d>& m_polyline;
    const std::vector<double>& m_parameters;
    const std::size_t m_segmentCount;
    std::vector<SegmentBounds> m_segments;
    std::vector<SegmentBounds> m_blocks;
    double m_scale = 0.0;
    double m_slack = 0.0;
    std::size_t m_hint = 0;

    bool m_found = false;
    double m_bestDistance = kLargestDistance;
    std::size_t m_bestSegment = 0;
    std::size_t m_bestIndex = 0;
    Point2d m_nearest{kNaN, kNaN};
};

NearestCurvePointFinder::NearestCurvePointFinder(const std::vector<Point2d>& polyline, int dividingCount)
    : m_polyline(polyline)
    , m_dividingCount(dividingCount)
{
    if (polyline.size() < 2 || dividingCount < 1 || dividingCount > kLargestTabledDividingCount)
        return;
    m_parameters = accumulatedParameters(dividingCount);
    m_search = std::make_unique<Search>(polyline, m_parameters);
}

NearestCurvePointFinder::~NearestCurvePointFinder() = default;

Point2d NearestCurvePointFinder::find(Point2d point)
{
    if (m_polyline.empty() || m_dividingCount < 1)
        return {kNaN, kNaN};
    if (m_polyline.size() == 1)
        return m_polyline.front();
    if (!m_search)
        return visitEveryCandidate(m_polyline, point, m_dividingCount);
    return m_search->find(point);
}

Point2d findNearestCurvePoint(const std::vector<Point2d>& polyline, Point2d point, int dividingCount)
{
    return NearestCurvePointFinder(polyline, dividingCount).find(point);
}

} // namespace quorrel
