#pragma once

// A proposed reference curve along the retina's lower border: the lower edge
// of the bright band at the bottom of the retina, traced column by column
// below the traced surface and made continuous by dynamic programming over
// the columns, returned as a few points the user can move like drawn ones.

#include <string>
#include <vector>

#include "analysis/Types.h"

namespace quorrel {

struct ReferenceCurveParameters {
    double minThickness = 8.0; // least rows from the traced surface down to the border
    double maxThicknessFraction = 0.5; // most rows, as a fraction of the image height
    int edgeHalfWidth = 8; // columns averaged on either side of a column
    int edgeRows = 10; // rows compared above and below a candidate border while tracing
    int maxStepPerColumn = 2; // rows the traced border may move from one column to the next
    double stepPenalty = 0.7; // cost of a row of movement, as a fraction of the typical edge strength
    int pointSpacing = 30; // columns between proposed points, about
    int refineHalfWidth = 45; // columns either side over which a point's row is refined
    int refineRows = 4; // rows compared above and below while refining
    double minEdgeStrength = 15.0; // least mean edge strength along the border, in grey levels
    double minSignificance = 3.0; // least ratio of that mean to the edge strength's noise
    int minColumnCount = 20; // least columns the traced surface must span
};

struct ReferenceCurveProposal {
    bool found = false;
    // Left to right at whole columns, image rows counted up from the bottom
    // in 64ths of a pixel, which stay exact when counted from the top row.
    std::vector<Point2d> points;
    std::string reason; // why nothing was proposed, in lower case: "the image has no pixels"
};

// The border below the traced surface, over the columns the surface spans
// (where it doubles back, its lowest point in a column counts). The edge
// strength of a candidate row is the drop in mean grey level from the rows
// above it to the rows below, weighted by the level above so that the lower
// edge of the brightest band wins over the edges of duller bands beneath it.
// The path through the columns with the largest total strength, less a
// penalty for each row it moves, is traced; each point's row is then refined
// to the line, parallel to the path's around it, of the strongest edge, and
// placed on the edge itself, half a row below the band's lowest row. An empty
// image, a surface of fewer than two points or spanning too few columns, or
// no clear edge below it is refused with a reason and no points.
ReferenceCurveProposal proposeReferenceCurve(const RgbaImageView& image, const std::vector<Point2d>& surface,
                                             const ReferenceCurveParameters& parameters = ReferenceCurveParameters{});

} // namespace quorrel
