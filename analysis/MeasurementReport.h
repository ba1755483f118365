#pragma once

// Thicknesses, foveal width, the two foveal depths and the wall slopes of a
// boundary's points A to E, and the 50-line text report of them.

#include <array>
#include <string>

#include "analysis/Boundary.h"
#include "analysis/Point2d.h"

namespace quorrel {

// Point order of every five-element array below.
constexpr std::array<char, 5> kFovealPointLabels = {'A', 'B', 'C', 'D', 'E'};

// Wall segment order of every four-element array below.
constexpr std::array<const char*, 4> kSlopeSegmentLabels = {"A -> B", "B -> C", "C -> D", "D -> E"};

// Every figure of the report. A figure that cannot be computed is NaN or an
// infinity, never a stand-in number.
struct FovealMeasurements {
    std::array<Point2d, 5> topPoints; // on the boundary curve
    std::array<Point2d, 5> bottomPoints; // on the reference curve
    std::array<double, 5> pixelDistances{}; // Bottom to Top
    double unitPixelLength = 0.0;
    double unitMicron = 0.0;
    std::array<double, 5> micronDistances{};
    double fovealPixelWidth = 0.0;
    double fovealMicronWidth = 0.0;
    bool depthAlongCLineDetermined = false; // false: C line parallel to the A-E Top line
    double depthAlongCLinePixel = 0.0;
    double depthAlongCLineMicron = 0.0;
    bool perpendicularDepthDetermined = false; // false: A Top equals E Top
    double perpendicularDepthPixel = 0.0;
    double perpendicularDepthMicron = 0.0;
    double slopeFrameAngle = 0.0; // rotation that turns the C Bottom to C Top direction onto +y
    std::array<double, 4> slopes{};
    std::array<double, 4> slopeRadians{};
    std::array<double, 4> slopeDegrees{};
};

// Intersection of the infinite lines p0-p1 and p2-p3, stored in out when out
// is given. False, with out untouched, when the lines are parallel
// (|denominator| < 1e-7), which includes either line having equal ends.
bool intersectLines(Point2d p0, Point2d p1, Point2d p2, Point2d p3, Point2d* out);

// True when the unit line is too short to convert pixels to microns.
bool unitLineTooShort(Point2d unitLineStart, Point2d unitLineEnd);

// Every figure of the report for a boundary that has reportable extrema. For
// any other boundary every number is NaN and both depths are not determined.
FovealMeasurements computeFovealMeasurements(const Boundary& boundary, Point2d unitLineStart, Point2d unitLineEnd,
                                             double unitMicron);

// The 50 report lines, each ending in '\n'.
std::string formatMeasurementReport(const FovealMeasurements& measurements);

// A number as a default-formatted stream prints it (six significant digits,
// like printf "%g"), except that every NaN prints as "nan", never "-nan".
std::string formatReportNumber(double value);

} // namespace quorrel
