#pragma once

// One complete measurement of an image, in the order the window's buttons
// run it: tolerance, region growing, curve, smoothing, the points A to E and
// the report. The window runs the same library steps one button at a time;
// the headless command runs them all through here.

#include <string>
#include <vector>

#include "analysis/Boundary.h"
#include "analysis/CalibratedMeasurement.h"
#include "analysis/MeasurementReport.h"
#include "analysis/PixelRect.h"
#include "analysis/Point2d.h"
#include "analysis/RgbaImage.h"
#include "analysis/TrustWarnings.h"

namespace quorrel {

// Everything one measurement depends on besides the image. Coordinates are
// image coordinates (rows counted up from the bottom row); the defaults are
// the window's start values.
struct MeasurementParameters {
    PixelRect selection; // cut to the image before use
    bool estimateTolerance = false; // estimate from the selection instead of maxColorDistance
    int maxColorDistance = 30;
    double minLineConnectionDistance = 2.0;
    double maxLineConnectionDistance = 3.0;
    int minCurvePointCount = 20;
    int smoothLevel = 2;
    int smoothCount = 1; // presses of Smooth Contour
    // The levels of the presses in order, when they were not all alike; this
    // replaces smoothLevel and smoothCount when not empty.
    std::vector<int> smoothLevels;
    std::vector<EdgeErasure> erasures; // edge points erased by hand, in order
    std::vector<PointMove> moves; // points moved by hand after the detection, in order
    int curveDividingCount = 100;
    std::vector<Point2d> referenceCurve;
    Point2d unitLineStart;
    Point2d unitLineEnd;
    double unitMicron = 100.0;
    // When both are set, the detection runs a second time in microns and the
    // report gains its section.
    AxisScales axisScales;
    // Propose what is not given: a vitreous patch for an empty selection, and
    // a reference curve along the retina's lower border, below the smoothed
    // traced curve, for one of fewer than two points.
    bool proposeMissing = false;
};

// The step that stopped a measurement, or Ok.
enum class MeasurementStatus {
    Ok,
    NoImage, // the image has no pixels
    ImageTooSmall, // under 4 x 4 pixels: region growing examines none of them
    EmptySelection, // nothing of the selection lies inside the image
    SelectionInMargin, // the selection's centre lies in the margin region growing leaves out
    NoCurve, // no connected edge of minCurvePointCount points was found
    NoReferenceCurve, // fewer than two reference points
    NoRim, // the thickness profile gave no A, C and E
    NoWall, // A, C and E, but no B or D
    NonFiniteFigure, // a figure of the report came out as NaN or an infinity
    NoPatchProposed, // no plausible vitreous patch to propose
    NoReferenceProposed // no plausible lower border to propose a reference curve along
};

struct MeasurementResult {
    MeasurementStatus status = MeasurementStatus::NoImage;
    int maxColorDistance = 0; // the tolerance used, estimated or given
    Boundary boundary; // filled as far as the measurement got
    FovealMeasurements measurements; // valid when status is Ok
    CalibratedMeasurements calibrated; // the run in microns, when the axis scales are set
    // The 50 lines, then the calibrated section when the axis scales are set,
    // when status is Ok; else empty.
    std::string report;
    bool unitLineTooShort = false; // the micron figures are then not meaningful
    std::vector<TrustWarning> warnings; // why the figures may not be trusted, when status is Ok
    std::string nonFiniteFigure; // the report's label of that figure, for NonFiniteFigure
    // The selection (in the boundary's selectionRect) and the reference curve
    // (in its referenceCurve) were proposed, not given.
    bool selectionProposed = false;
    bool referenceProposed = false;
    std::string proposalRefusal; // why nothing was proposed, for NoPatchProposed and NoReferenceProposed

    bool ok() const { return status == MeasurementStatus::Ok; }
};

// Runs the whole measurement on the image; the boundary records imagePath.
// An empty or too small image, or a selection outside it or centred in its
// margin, stops before any work is done; so does an empty selection unless
// proposeMissing asks for one, and then an image without a vitreous patch. A figure of the 50 lines that comes
// out as NaN or an infinity fails the measurement, except the micron figures
// when the unit line is too short (the window writes those as they come).
MeasurementResult runMeasurement(const RgbaImageView& image, const std::wstring& imagePath,
                                 const MeasurementParameters& parameters);

// A short lower-case description of a status, for one-line messages.
const char* describeMeasurementStatus(MeasurementStatus status);

// The status's description, naming the figure for NonFiniteFigure and giving
// the reason for a refused proposal.
std::string describeMeasurement(const MeasurementResult& result);

} // namespace quorrel
