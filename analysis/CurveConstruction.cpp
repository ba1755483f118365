#include "analysis/CurveConstruction.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace quorrel {

namespace {

double distanceBetween(const Point2d& a, const Point2d& b)
{
    const double dx = a.x - b.x;
    const double dy = a.y - b.y;
    return std::sqrt(dx * dx + dy * dy);
}

// Every position is compared with every later one and the two are swapped
// when the earlier key is strictly greater. The procedure is not stable, and
// the curve depends on the order of equal keys it leaves, so no library sort
// may replace it.
template <typename Key>
void exchangeSort(std::vector<Point2d>& points, std::vector<Key>& keys, std::size_t begin, std::size_t end)
{
    for (std::size_t a = begin; a < end; ++a) {
        for (std::size_t b = a + 1; b < end; ++b) {
            if (keys[a] > keys[b]) {
                std::swap(keys[a], keys[b]);
                std::swap(points[a], points[b]);
            }
        }
    }
}

enum JoinType { EndToStart = 0, EndToEnd = 1, StartToStart = 2, StartToEnd = 3 };

} // namespace

void sortEdgePoints(std::vector<Point2d>& points)
{
    const std::size_t count = points.size();
    std::vector<double> columns(count);
    for (std::size_t i = 0; i < count; ++i)
        columns[i] = points[i].x;
    exchangeSort(points, columns, 0, count);

    // Keys and the previous row are truncated toward zero; std::trunc gives
    // the same values as an int conversion without its overflow.
    std::vector<double> rowKeys(count);
    double previousRow = 0.0;
    std::size_t runBegin = 0;
    while (runBegin < count) {
        std::size_t runEnd = runBegin + 1;
        while (runEnd < count && points[runEnd].x == points[runBegin].x)
            ++runEnd;
        for (std::size_t k = runBegin; k < runEnd; ++k)
            rowKeys[k] = std::trunc(std::fabs(points[k].y - previousRow));
        exchangeSort(points, rowKeys, runBegin, runEnd);
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
    for (std::size_t i = 0; i < points.size(); ++i) {
        for (std::size_t j = i + 1; j < points.size(); ++j) {
            const double dx = points[i].x - points[j].x;
            const double dy = points[i].y - points[j].y;
            const double distanceSquared = dx * dx + dy * dy;
            if (distanceSquared <= radiusSquared) {
                nodes[i].neighbours.push_back(static_cast<int>(j));
                nodes[i].neighbourDistances.push_back(std::sqrt(distanceSquared));
            }
        }
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
    std::size_t i = 0;
    while (i < polylines.size()) {
        // Of equal distances the first candidate wins, so the best is replaced
        // only by a strictly smaller one.
        bool found = false;
        std::size_t bestOther = 0;
        double bestDistance = 0.0;
        JoinType bestType = EndToStart;

        const Polyline& a = polylines[i];
        for (std::size_t j = i + 1; j < polylines.size(); ++j) {
            const Polyline& b = polylines[j];
            if (a.empty() || b.empty())
                continue;
            const double endToStart = distanceBetween(a.back(), b.front());
            const double endToEnd = distanceBetween(a.back(), b.back());
            const double startToStart = distanceBetween(a.front(), b.front());
            const double startToEnd = distanceBetween(a.front(), b.back());

            // The rules are tested in the order 0, 1, 3, 2; ties between them
            // are settled by that order.
            JoinType type;
            double distance;
            if (endToStart <= endToEnd && endToStart <= startToStart && endToStart <= startToEnd) {
                type = EndToStart;
                distance = endToStart;
            } else if (endToEnd <= startToStart && endToEnd <= startToEnd) {
                type = EndToEnd;
                distance = endToEnd;
            } else if (startToEnd <= startToStart) {
                type = StartToEnd;
                distance = startToEnd;
            } else {
                type = StartToStart;
                distance = startToStart;
            }

            if (distance < maxDistance && (!found || distance < bestDistance)) {
                found = true;
                bestOther = j;
                bestDistance = distance;
                bestType = type;
            }
        }

        if (!found) {
            ++i;
            continue;
        }

        switch (bestType) {
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
