#include "oracle/PlainCurveConstruction.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

#include "analysis/Geometry.h"

namespace quorrel::plain {

namespace {

// Every position is compared with every later one and the two are swapped
// when the earlier key is strictly greater.
template <typename Item>
void exchangeSort(std::vector<Item>& items, std::vector<double>& keys, std::size_t begin, std::size_t end)
{
    for (std::size_t a = begin; a < end; ++a) {
        for (std::size_t b = a + 1; b < end; ++b) {
            if (keys[a] > keys[b]) {
                std::swap(keys[a], keys[b]);
                std::swap(items[a], items[b]);
            }
        }
    }
}

enum JoinType { EndToStart = 0, EndToEnd = 1, StartToStart = 2, StartToEnd = 3 };

} // namespace

std::vector<std::size_t> exchangeSortOrder(const std::vector<double>& keys)
{
    std::vector<double> sortedKeys = keys;
    std::vector<std::size_t> order(keys.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    exchangeSort(order, sortedKeys, 0, keys.size());
    return order;
}

void sortEdgePoints(std::vector<Point2d>& points)
{
    const std::size_t count = points.size();
    std::vector<double> columns(count);
    for (std::size_t i = 0; i < count; ++i)
        columns[i] = points[i].x;
    exchangeSort(points, columns, 0, count);

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

void joinPolylines(std::vector<Polyline>& polylines, double maxDistance)
{
    std::size_t i = 0;
    while (i < polylines.size()) {
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

void buildBoundaryCurve(Boundary& boundary, double minLineConnectionDistance, double maxLineConnectionDistance,
                        int minCurvePointCount)
{
    boundary.curveNodes.clear();
    boundary.curve.clear();
    boundary.curveNodes = plain::buildNeighbourGraph(boundary.edgePoints, minLineConnectionDistance);
    quorrel::linkSuccessors(boundary.curveNodes);
    std::vector<Polyline> polylines = quorrel::collectChains(boundary.curveNodes);
    plain::joinPolylines(polylines, maxLineConnectionDistance);
    boundary.curve = quorrel::selectLongestPolyline(polylines, minCurvePointCount);
}

} // namespace quorrel::plain
