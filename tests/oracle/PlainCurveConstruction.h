#pragma once

// The curve construction written out literally: exchange sorts that compare
// every pair, an all-pairs neighbour search, and join passes restarted from
// the first polyline after every join. Quadratic or worse; kept for the
// differential tests and the benchmark, never linked into the programs.

#include <cstddef>
#include <vector>

#include "analysis/CurveConstruction.h"

namespace quorrel::plain {

// The order the exchange sort leaves: element k is the index of the key that
// ends at position k. No keys give an empty list.
std::vector<std::size_t> exchangeSortOrder(const std::vector<double>& keys);

// Stage 1 with both exchange sorts run literally. An empty list stays empty.
void sortEdgePoints(std::vector<Point2d>& points);

// Stage 2 by comparing every pair i < j. No points give no nodes.
std::vector<CurveNode> buildNeighbourGraph(const std::vector<Point2d>& points, double radius);

// Stage 5 with every pass restarted at the first polyline after a join.
// Fewer than two polylines are left as they are.
void joinPolylines(std::vector<Polyline>& polylines, double maxDistance);

// Stages 2 to 6 with the plain stages 2 and 5. No edge points give an empty curve.
void buildBoundaryCurve(Boundary& boundary, double minLineConnectionDistance, double maxLineConnectionDistance,
                        int minCurvePointCount);

} // namespace quorrel::plain
