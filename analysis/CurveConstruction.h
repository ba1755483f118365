#pragma once

// Construction of a boundary curve from its edge pixels, in six stages: sort
// the pixels column by column, link pixels within a radius, give each pixel
// at most one successor, follow the links into chains, join chains end to
// end across small gaps, and keep the longest result. Every stage gives
// exactly what the literal procedure gives (every pair compared, join passes
// restarted after each join), in O(n log n) for edge pixels of an image.

#include <vector>

#include "analysis/Boundary.h"
#include "analysis/Point2d.h"

namespace quorrel {

using Polyline = std::vector<Point2d>;

// Stage 1: orders the points by column, and each column by the distance of
// its rows from the row where the previous column starts (row 0 for the
// first column). Both sorts are exchange sorts whose order of equal keys the
// later stages depend on. An empty list stays empty.
void sortEdgePoints(std::vector<Point2d>& points);

// Stage 2: one node per point, in point order; each pair i < j within radius
// is stored at node i as neighbour j with its distance. No points give no nodes.
std::vector<CurveNode> buildNeighbourGraph(const std::vector<Point2d>& points, double radius);

// Stage 3: links every node in turn to its nearest neighbour that has no
// predecessor yet (the first of equal distances wins) and removes that
// neighbour from its lists. Nodes without neighbours stay unlinked.
void linkSuccessors(std::vector<CurveNode>& nodes);

// Stage 4: the points of every chain that starts at a node without
// predecessor but with a successor, in node order. Unlinked nodes are dropped.
std::vector<Polyline> collectChains(const std::vector<CurveNode>& nodes);

// Stage 5: joins polylines end to end, nearest pair of ends first, across
// gaps strictly shorter than maxDistance, until no pair can be joined. Fewer
// than two polylines are left as they are.
void joinPolylines(std::vector<Polyline>& polylines, double maxDistance);

// Stage 6: drops polylines of fewer than minPointCount points and returns the
// longest remaining one (the first of equal lengths); empty when none is left.
Polyline selectLongestPolyline(std::vector<Polyline>& polylines, int minPointCount);

// Stages 2 to 6 on the boundary's (already sorted) edge points: replaces its
// curveNodes and curve. No edge points, or only short pieces, give an empty curve.
void buildBoundaryCurve(Boundary& boundary, double minLineConnectionDistance, double maxLineConnectionDistance,
                        int minCurvePointCount);

} // namespace quorrel
