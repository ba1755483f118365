#pragma once

// Smoothing and thinning of a boundary curve with the seven-tap kernel.

#include <vector>

#include "analysis/Point2d.h"

namespace quorrel {

// One smoothing press: the curve becomes its unchanged first point followed by
// every point smoothed with the seven-tap kernel, then, when smoothLevel > 1
// and that gives more than 100 points, every smoothLevel-th of them from the
// first. Curves of fewer than 2 * smoothLevel points, and empty curves, are
// left unchanged.
void smoothCurve(std::vector<Point2d>& curve, int smoothLevel);

} // namespace quorrel
