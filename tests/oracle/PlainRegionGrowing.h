#pragma once

// The region fill as first written: a depth-first visit that works out every
// pixel's row and column and tests the margins and the colour distance
// directly. Kept for the differential tests and the benchmark, never linked
// into the programs.

#include <vector>

#include "analysis/Point2d.h"
#include "analysis/RgbaImage.h"

namespace quorrel::plain {

// Edge pixels of the region grown from seed, in the order of the depth-first
// visit. A seed outside columns 1 .. width-3 and rows 1 .. height-3, or an
// empty image, gives no points.
std::vector<Point2d> collectEdgePoints(const RgbaImageView& image, Point2d seed, const RgbaColor& reference,
                                       int tolerance);

} // namespace quorrel::plain
