#pragma once

// The five points of the foveal pit on a boundary: C where the thickness
// between the boundary curve (Top) and the reference curve (Bottom) is
// smallest, the rims A and E where it is largest on either side of C, and the
// walls B and D where it changes fastest between them.

#include <vector>

#include "analysis/Boundary.h"
#include "analysis/NearestCurvePoint.h"
#include "analysis/Point2d.h"

namespace quorrel {

// Number of points of the resampled lists between the rims.
constexpr int kResampledPointCount = 100;

// Fills referenceSamples with dividingCount points per reference segment
// (accumulated parameter, segment end excluded) and curveSamples with their
// nearest curve points, in the order the reference curve was drawn (its last
// point is never a sample). A count below 1 or a reference curve of fewer than
// two points gives empty lists.
void sampleReferenceCurve(Boundary& boundary, int dividingCount);

// Moves every Bottom sample along its line from the Top sample to the
// once-smoothed thickness. A sample of zero thickness stays where it is.
void smoothSampleDistances(Boundary& boundary);

// Sets indexC (first smallest thickness), indexA (first largest before C) and
// indexE (first largest from C on), then swaps A and E when A > E. Empty
// sample lists give -1 for all three.
void findLocalMinMax(Boundary& boundary);

// Fills out with count points equally spaced along the polyline from start to
// end, whichever way the polyline runs. Start and end nearest one segment, or
// a polyline of fewer than two points, give a straight line from start to end.
// A count below 1 gives an empty list, a count of 1 just the start point.
void resampleBetween(std::vector<Point2d>& out, int count, const std::vector<Point2d>& polyline, Point2d start,
                     Point2d end);

// Resamples both curves between A and E, finds C in the resampled curve and
// runs findSlopePoints. Does nothing unless A, C and E are valid.
void resampleBetweenMaxima(Boundary& boundary);

// Fills resampledDistances and sets indexB and indexD to the steepest
// thrice-smoothed change of thickness between A and C and between C and E.
// An index whose range has no non-zero change, or an invalid resampledIndexC,
// leaves the index as it was.
void findSlopePoints(Boundary& boundary);

enum class FovealInputCheck { Ok, NoCurve, NoReferenceCurve };

// Whether the boundary has the curve and the reference curve the detection
// needs: NoCurve for an empty curve, NoReferenceCurve for fewer than two
// reference points.
FovealInputCheck checkFovealInput(const Boundary& boundary);

// The whole detection: sampling, distance smoothing, A, C and E, and, when
// both rims were found, the resampling and the walls B and D.
void detectFovealWidthAndDepth(Boundary& boundary, int dividingCount);

// True when both sample lists have the same size and A, C and E lie in them.
bool hasValidExtrema(const Boundary& boundary);

// hasValidExtrema, and B, D and the resampled C lie in both resampled lists:
// everything a report reads is there.
bool hasReportableExtrema(const Boundary& boundary);

} // namespace quorrel
