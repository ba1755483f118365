#pragma once

// The steps of a measurement that change a boundary, as the window takes them
// one button at a time and the headless command repeats them. Each does its
// step and records it in the boundary's steps, so that what a measurement
// file stores is exactly what was done.

#include <cstdint>
#include <vector>

#include "analysis/Boundary.h"
#include "analysis/PixelRect.h"

namespace quorrel {

// Starts the record of a boundary just detected on the pixels of origin (its
// selection rectangle and tolerance are the boundary's own).
void recordDetection(Boundary& boundary, const ImageOrigin& origin);

// Removes the edge points inside rect, its right and top edges included, and
// the curve made from them. A degenerate rect still removes the points on it.
void eraseEdgePoints(Boundary& boundary, const PixelRect& rect);

// Make Curve: sorts the edge points and builds the curve from them (an empty
// curve when none is long enough).
void makeCurve(Boundary& boundary, double minLineConnectionDistance, double maxLineConnectionDistance,
               int minCurvePointCount);

// One press of Smooth Contour.
void smoothCurveOnce(Boundary& boundary, int smoothLevel);

// Calculate Foveal Depth & Width on a boundary whose curve and reference
// curve checkFovealInput accepts; the steps so far, the reference curve and
// the count become the boundary's measured steps, with no point moved yet.
void measureFovea(Boundary& boundary, int dividingCount);

// Puts one of the points A, C and E, Top or Bottom, at move.position. False,
// changing nothing, when the boundary has no valid extrema.
bool moveMeasuredPoint(Boundary& boundary, const PointMove& move);

// The same points moved in the same order as moves; false when a move fails.
bool moveMeasuredPoints(Boundary& boundary, const std::vector<PointMove>& moves);

// Whitens (255 in every channel) the pixels of rect, cut to the image, in an
// RGBA buffer of the given size, rows packed as RgbaImageView has them.
void whitenPixels(std::uint8_t* pixels, int width, int height, const PixelRect& rect);

// The levels of the smoothing presses: levels when it is not empty, else
// count presses at level.
std::vector<int> smoothingPresses(const std::vector<int>& levels, int count, int level);

bool operator==(const PixelRect& a, const PixelRect& b);
bool operator==(const ImageOrigin& a, const ImageOrigin& b);
inline bool operator!=(const ImageOrigin& a, const ImageOrigin& b)
{
    return !(a == b);
}

} // namespace quorrel
