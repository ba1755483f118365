#include "analysis/CurveConstruction.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>
#include <utility>

#include "analysis/ExchangeSort.h"
#include "analysis/Geometry.h"
#include "analysis/PointGrid.h"

namespace quorrel {

namespace {

// Reorders points[begin, end) so that position begin + k holds what was at
// begin + order[k].
void applyOrder(std::vector<Point2d>& points, std::size_t begin, const std::vector<std::size_t>& order,
                std::vector<Point2d>& scratch)
{
    scratch.assign(points.begin() + static_cast<std::ptrdiff_t>(begin),
                   points.begin() + static_cast<std::ptrdiff_t>(begin + order.size()));
    for (std::size_t k = 0; k < order.size(); ++k)
        points[begin + k] = scratch[order[k]];
}

enum JoinType { EndToStart = 0, EndToEnd = 1, StartToStart = 2, StartToEnd = 3 };

struct JoinChoice {
    JoinType type = EndToStart;
    double distance = 0.0;
};

// How polyline A (ends a0, a1) would meet polyline B (ends b0, b1). The rules
// are tested in the order 0, 1, 3, 2; ties between them are settled by that
// order. Without NaN the distance chosen is the smallest of the four.
JoinChoice chooseJoin(const Point2d& a0, const Point2d& a1, const Point2d& b0, const Point2d& b1)
{
    const double endToStart = distanceBetween(a1, b0);
    const double endToEnd = distanceBetween(a1, b1);
    const double startToStart = distanceBetween(a0, b0);
    const double startToEnd = distanceBetween(a0, b1);
    if (endToStart <= endToEnd && endToStart <= startToStart && endToStart <= startToEnd)
        return {EndToStart, endToStart};
    if (endToEnd <= startToStart && endToEnd <= startToEnd)
        return {EndToEnd, endToEnd};
    if (startToEnd <= startToStart)
        return {StartToEnd, startToEnd};
    return {StartToStart, startToStart};
}

// Pass after pass from the first polyline, restarted after every join: the
// plain form, kept beside the oracle's for exactness, because with a NaN or
// infinite end a chosen distance need not be the smallest of the four and the
// shortcut of joinPolylines would join differently.
void joinByRestartedPasses(std::vector<Polyline>& polylines, double maxDistance)
{
    std::size_t i = 0;
    while (i < polylines.size()) {
        bool found = false;
        std::size_t bestOther = 0;
        JoinChoice best;
        const Polyline& a = polylines[i];
        for (std::size_t j = i + 1; j < polylines.size(); ++j) {
            const Polyline& b = polylines[j];
            if (a.empty() || b.empty())
                continue;
            const JoinChoice choice = chooseJoin(a.front(), a.back(), b.front(), b.back());
            if (choice.distance < maxDistance && (!found || choice.distance < best.distance)) {
                found = true;
                bestOther = j;
                best = choice;
            }
        }
        if (!found) {
            ++i;
            continue;
        }
        switch (best.type) {
        case EndToStart:
            break;
        case EndToEnd:
            std::reverse(polylines[bestOther].begin(), polylines[bestOther].end());
            break;
        case StartToStart:
            std::reverse(polylines[i].begin(), polylines[i].end());
            break;
        case StartToEnd:
            std::swap(polylines[i], polylines[bestOther]);
            break;
        }
        polylines[i].insert(polylines[i].end(), polylines[bestOther].begin(), polylines[bestOther].end());
        polylines.erase(polylines.begin() + static_cast<std::ptrdiff_t>(bestOther));
        i = 0;
    }
}

// A polyline being grown by joins, kept as a list of untouched source
// polylines, each read forwards or backwards, so that reversing or extending
// it at either end never copies points. The points are written out once at
// the end.
class JoinedPolyline {
public:
    JoinedPolyline(const std::vector<Polyline>& sources, std::size_t first)
        : m_sources(sources)
    {
        m_pieces.push_back(Piece{first, false});
    }

    Point2d front() const { return m_flipped ? lastOf(m_pieces.back()) : firstOf(m_pieces.front()); }
    Point2d back() const { return m_flipped ? firstOf(m_pieces.front()) : lastOf(m_pieces.back()); }
    bool isUnjoined() const { return m_pieces.size() == 1; }

    void reverse() { m_flipped = !m_flipped; }

    void append(std::size_t source, bool reversed)
    {
        if (m_flipped)
            m_pieces.push_front(Piece{source, !reversed});
        else
            m_pieces.push_back(Piece{source, reversed});
    }

    void prepend(std::size_t source)
    {
        if (m_flipped)
            m_pieces.push_back(Piece{source, true});
        else
            m_pieces.push_front(Piece{source, false});
    }

    Polyline points() const
    {
        std::size_t count = 0;
        for (const Piece& piece : m_pieces)
            count += m_sources[piece.source].size();
        Polyline result;
        result.reserve(count);
        const auto write = [&](const Piece& piece, bool backwards) {
            const Polyline& source = m_sources[piece.source];
            if (backwards)
                result.insert(result.end(), source.rbegin(), source.rend());
            else
                result.insert(result.end(), source.begin(), source.end());
        };
        if (m_flipped) {
            for (auto piece = m_pieces.rbegin(); piece != m_pieces.rend(); ++piece)
                write(*piece, !piece->reversed);
        } else {
            for (const Piece& piece : m_pieces)
                write(piece, piece.reversed);
        }
        return result;
    }

private:
    struct Piece {
        std::size_t source;
        bool reversed;
    };

    Point2d firstOf(const Piece& piece) const
    {
        const Polyline& source = m_sources[piece.source];
        return piece.reversed ? source.back() : source.front();
    }
    Point2d lastOf(const Piece& piece) const
    {
        const Polyline& source = m_sources[piece.source];
        return piece.reversed ? source.front() : source.back();
    }

    const std::vector<Polyline>& m_sources;
    std::deque<Piece> m_pieces;
    bool m_flipped = false;
};

} // namespace

void sortEdgePoints(std::vector<Point2d>& points)
{
    const std::size_t count = points.size();
    std::vector<double> keys(count);
    for (std::size_t i = 0; i < count; ++i)
        keys[i] = points[i].x;
    std::vector<Point2d> scratch;
    applyOrder(points, 0, exchangeSortOrder(keys), scratch);

    // Keys and the previous row are truncated toward zero; std::trunc gives
    // the same values as an int conversion without its overflow.
    double previousRow = 0.0;
    std::size_t runBegin = 0;
    while (runBegin < count) {
        std::size_t runEnd = runBegin + 1;
        while (runEnd < count && points[runEnd].x == points[runBegin].x)
            ++runEnd;
        if (runEnd - runBegin > 1) {
            keys.resize(runEnd - runBegin);
            for (std::size_t k = runBegin; k < runEnd; ++k)
                keys[k - runBegin] = std::trunc(std::fabs(points[k].y - previousRow));
            applyOrder(points, runBegin, exchangeSortOrder(keys), scratch);
        }
        previousRow = std::trunc(points[runBegin].y);
        runBegin = runEnd;
    }
}

std::vector<CurveNode> buildNeighbourGraph(const std::vector<Point2d>& points, double radius)
{
    std::vector<CurveNode> nodes(points.size());
    for (std::size_t i = 0; i < points.size(); ++i)
        nodes[i].point = points[i];

    const double radiusSquared = radius * radius;
    const auto linkIfNear = [&](std::size_t i, std::size_t j) {
        const double dx = points[i].x - points[j].x;
        const double dy = points[i].y - points[j].y;
        const double distanceSquared = dx * dx + dy * dy;
        if (distanceSquared <= radiusSquared) {
            nodes[i].neighbours.push_back(static_cast<int>(j));
            nodes[i].neighbourDistances.push_back(std::sqrt(distanceSquared));
        }
    };
    if (std::isnan(radiusSquared))
        return nodes;
    if (std::isinf(radiusSquared)) {
        // Every pair links: the output itself is quadratic.
        for (std::size_t i = 0; i < points.size(); ++i)
            for (std::size_t j = i + 1; j < points.size(); ++j)
                linkIfNear(i, j);
        return nodes;
    }

    // A point with a NaN or infinite coordinate is at an infinite or NaN
    // squared distance from every other, so it links to none and the grid
    // may leave it out.
    const PointGrid grid(points, std::fabs(radius));
    std::vector<std::size_t> candidates;
    for (std::size_t i = 0; i < points.size(); ++i) {
        candidates.clear();
        grid.forEachNear(points[i], i + 1, [&candidates](std::size_t j) { candidates.push_back(j); });
        // Neighbours are stored in index order, as a scan of j = i+1, i+2, ... finds them.
        std::sort(candidates.begin(), candidates.end());
        for (const std::size_t j : candidates)
            linkIfNear(i, j);
    }
    return nodes;
}

void linkSuccessors(std::vector<CurveNode>& nodes)
{
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        CurveNode& node = nodes[i];
        double bestDistance = std::numeric_limits<double>::max();
        std::size_t bestPosition = node.neighbours.size();
        for (std::size_t k = 0; k < node.neighbours.size(); ++k) {
            if (nodes[static_cast<std::size_t>(node.neighbours[k])].prev != -1)
                continue;
            if (node.neighbourDistances[k] < bestDistance) {
                bestDistance = node.neighbourDistances[k];
                bestPosition = k;
            }
        }
        if (bestPosition == node.neighbours.size())
            continue;

        const int successor = node.neighbours[bestPosition];
        node.neighbours.erase(node.neighbours.begin() + static_cast<std::ptrdiff_t>(bestPosition));
        node.neighbourDistances.erase(node.neighbourDistances.begin() + static_cast<std::ptrdiff_t>(bestPosition));
        node.next = successor;
        nodes[static_cast<std::size_t>(successor)].prev = static_cast<int>(i);
    }
}

std::vector<Polyline> collectChains(const std::vector<CurveNode>& nodes)
{
    std::vector<Polyline> polylines;
    for (const CurveNode& start : nodes) {
        if (start.prev != -1 || start.next == -1)
            continue;
        Polyline chain;
        chain.push_back(start.point);
        for (int next = start.next; next != -1; next = nodes[static_cast<std::size_t>(next)].next)
            chain.push_back(nodes[static_cast<std::size_t>(next)].point);
        polylines.push_back(std::move(chain));
    }
    return polylines;
}

void joinPolylines(std::vector<Polyline>& polylines, double maxDistance)
{
    // No distance is below a maximum that is zero, negative or NaN.
    if (polylines.size() < 2 || !(maxDistance > 0.0))
        return;

    std::vector<Point2d> ends(2 * polylines.size(), Point2d{std::numeric_limits<double>::quiet_NaN(), 0.0});
    for (std::size_t k = 0; k < polylines.size(); ++k) {
        if (polylines[k].empty())
            continue;
        ends[2 * k] = polylines[k].front();
        ends[2 * k + 1] = polylines[k].back();
        if (!isFinitePoint(ends[2 * k]) || !isFinitePoint(ends[2 * k + 1])) {
            joinByRestartedPasses(polylines, maxDistance);
            return;
        }
    }

    // A pass restarted after a join at (i, j) finds nothing before i again:
    // the joined polyline's ends are ends that polylines before i were
    // already too far from, and the chosen distance is always the smallest of
    // the four. So the joins of polyline i go on at i until it has no
    // candidate left, and only polylines after i, still untouched, are
    // candidates. Their ends sit in a grid; removing j keeps the order of the
    // others, so the first of equal distances is the one of lowest index.
    const PointGrid grid(ends, maxDistance);
    std::vector<char> joinedAway(polylines.size(), 0);
    std::vector<Polyline> result;
    for (std::size_t i = 0; i < polylines.size(); ++i) {
        if (joinedAway[i])
            continue;
        if (polylines[i].empty()) {
            result.push_back(std::move(polylines[i]));
            continue;
        }

        JoinedPolyline joined(polylines, i);
        for (;;) {
            const Point2d start = joined.front();
            const Point2d end = joined.back();
            bool found = false;
            std::size_t bestOther = 0;
            JoinChoice best;
            const auto consider = [&](std::size_t endIndex) {
                const std::size_t other = endIndex / 2;
                // An empty polyline is only in a grid of one cell (an infinite maximum).
                if (joinedAway[other] || polylines[other].empty())
                    return;
                const Polyline& b = polylines[other];
                const JoinChoice choice = chooseJoin(start, end, b.front(), b.back());
                if (choice.distance < maxDistance
                    && (!found || choice.distance < best.distance
                        || (choice.distance == best.distance && other < bestOther))) {
                    found = true;
                    bestOther = other;
                    best = choice;
                }
            };
            grid.forEachNear(start, 2 * (i + 1), consider);
            grid.forEachNear(end, 2 * (i + 1), consider);
            if (!found)
                break;

            switch (best.type) {
            case EndToStart:
                joined.append(bestOther, false);
                break;
            case EndToEnd:
                joined.append(bestOther, true);
                break;
            case StartToStart:
                joined.reverse();
                joined.append(bestOther, false);
                break;
            case StartToEnd:
                joined.prepend(bestOther);
                break;
            }
            joinedAway[bestOther] = 1;
        }
        if (joined.isUnjoined())
            result.push_back(std::move(polylines[i]));
        else
            result.push_back(joined.points());
    }
    polylines = std::move(result);
}

Polyline selectLongestPolyline(std::vector<Polyline>& polylines, int minPointCount)
{
    polylines.erase(std::remove_if(polylines.begin(), polylines.end(),
                                   [minPointCount](const Polyline& polyline) {
                                       return static_cast<long long>(polyline.size()) < minPointCount;
                                   }),
                    polylines.end());
    if (polylines.empty())
        return {};

    std::size_t longest = 0;
    for (std::size_t i = 1; i < polylines.size(); ++i) {
        if (polylines[i].size() > polylines[longest].size())
            longest = i;
    }
    return polylines[longest];
}

void buildBoundaryCurve(Boundary& boundary, double minLineConnectionDistance, double maxLineConnectionDistance,
                        int minCurvePointCount)
{
    boundary.curveNodes.clear();
    boundary.curve.clear();
    boundary.curveNodes = buildNeighbourGraph(boundary.edgePoints, minLineConnectionDistance);
    linkSuccessors(boundary.curveNodes);
    std::vector<Polyline> polylines = collectChains(boundary.curveNodes);
    joinPolylines(polylines, maxLineConnectionDistance);
    boundary.curve = selectLongestPolyline(polylines, minCurvePointCount);
}

} // namespace quorrel
