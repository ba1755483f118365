#pragma once

// The point of a polyline nearest to a given point, among the candidates
// Pi + (Pi+1 - Pi)*t, t = 0, 1/N, 2/N, ... (accumulated) of every segment:
// the last polyline point is never a candidate and the first of equal
// candidates wins. Most candidates are ruled out by bounds instead of being
// visited; the result is the point the visit of every candidate gives.

#include <memory>
#include <vector>

#include "analysis/Point2d.h"

namespace quorrel {

// The nearest candidate to point. A one-point polyline gives that point; an
// empty polyline or a count below 1 gives (NaN, NaN).
Point2d findNearestCurvePoint(const std::vector<Point2d>& polyline, Point2d point, int dividingCount);

// findNearestCurvePoint for many points on one polyline, which must outlive
// the finder: the bounds are worked out once, and each search starts on the
// segment where the last one ended.
class NearestCurvePointFinder {
public:
    NearestCurvePointFinder(const std::vector<Point2d>& polyline, int dividingCount);
    ~NearestCurvePointFinder();
    NearestCurvePointFinder(const NearestCurvePointFinder&) = delete;
    NearestCurvePointFinder& operator=(const NearestCurvePointFinder&) = delete;

    Point2d find(Point2d point);

private:
    class Search;

    const std::vector<Point2d>& m_polyline;
    int m_dividingCount;
    std::vector<double> m_parameters;
    std::unique_ptr<Search> m_search; // none where every candidate is visited
};

} // namespace quorrel
