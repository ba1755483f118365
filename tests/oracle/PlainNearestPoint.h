#pragma once

// The nearest-point search of the foveal detection written out literally:
// every candidate of every segment for every sample. Kept for the
// differential tests and the benchmark, never linked into the programs.

#include <vector>

#include "analysis/Boundary.h"
#include "analysis/Point2d.h"

namespace quorrel::plain {

// Nearest of all candidates Pi + (Pi+1 - Pi)*t, t accumulated in steps of
// 1/N, the first of equal distances winning. A one-point polyline gives that
// point; an empty polyline or a count below 1 gives (NaN, NaN).
Point2d findNearestCurvePoint(const std::vector<Point2d>& polyline, Point2d point, int dividingCount);

// The reference samples and their nearest curve points by the search above.
// A count below 1 or fewer than two reference points give empty lists.
void sampleReferenceCurve(Boundary& boundary, int dividingCount);

// The whole detection with the sampling above and the library's later steps.
void detectFovealWidthAndDepth(Boundary& boundary, int dividingCount);

} // namespace quorrel::plain
