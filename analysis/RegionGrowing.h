#pragma once

// Boundary edge detection: a region grown over 4-connected pixels whose
// colour lies within a tolerance of a reference colour; the pixels where the
// growth stops are the boundary's edge pixels.

#include <string>
#include <vector>

#include "analysis/Boundary.h"
#include "analysis/PixelRect.h"
#include "analysis/Point2d.h"
#include "analysis/RgbaImage.h"

namespace quorrel {

// Whether the pixel at point (coordinates truncated) lies in columns
// 1 .. width-3 and rows 1 .. height-3, the part of the image that region
// growing examines. False for every point of an image under 4x4 pixels.
bool isTracedPixel(const RgbaImageView& image, Point2d point);

// Edge pixels of the region grown from seed, in the order of the depth-first
// visit. Only columns 1 .. width-3 and rows 1 .. height-3 are examined, so a
// seed outside them, an empty image or one under 4x4 pixels gives no points;
// a seed pixel at or beyond the tolerance gives just the seed.
std::vector<Point2d> collectEdgePoints(const RgbaImageView& image, Point2d seed, const RgbaColor& reference,
                                       int tolerance);

// A new boundary for the selected rectangle: truncated mean colour, centre
// seed, the rectangle and the tolerance; its edge points are left empty. An
// empty rectangle gives the colour (0, 0, 0, 0).
Boundary makeCandidateBoundary(const RgbaImageView& image, const std::wstring& imagePath, const PixelRect& rect,
                               int maxColorDistance);

// Whether two boundaries have the same seed, colour, rectangle and tolerance
// (the image path is not compared).
bool isEqualDetection(const Boundary& existing, const Boundary& candidate);

// Index of the first boundary with the candidate's seed, colour, rectangle and
// tolerance (the image path is not compared), or -1 when there is none.
int findEqualBoundary(const std::vector<Boundary>& boundaries, const Boundary& candidate);

} // namespace quorrel
