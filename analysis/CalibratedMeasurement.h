#pragma once

// The foveal measurement repeated in microns, for scans whose pixels are not
// square. Scaling the pixel figures afterwards is not enough: every thickness
// is the distance to the nearest curve point, and which point is nearest
// depends on the metric. So both curves are scaled to microns (x by the
// lateral scale, y by the axial one) and the whole detection runs again on
// them, step for step as in pixels.

#include <array>
#include <string>

#include "analysis/Boundary.h"
#include "analysis/MeasurementReport.h"
#include "analysis/Point2d.h"

namespace quorrel {

// Larger scales are refused as typing errors: no B-scan has pixels a
// millimetre wide.
constexpr double kLargestMicronsPerPixel = 1000.0;

// Microns per image pixel across the scan (lateral, x) and along the beam
// (axial, y). Zero means not set.
struct AxisScales {
    double lateralMicronsPerPixel = 0.0;
    double axialMicronsPerPixel = 0.0;
    // How the pair was obtained, stated in the report: "typed", "unit lines",
    // "file", ...
    std::string source;

    bool isSet() const { return lateralMicronsPerPixel > 0.0 && axialMicronsPerPixel > 0.0; }
};

enum class ScaleCheck { Ok, NotFinite, NotPositive, TooLarge, ZeroLengthLine };

// Whether a value may serve as a scale: finite, above 0 and at most
// kLargestMicronsPerPixel.
ScaleCheck checkMicronsPerPixel(double micronsPerPixel);

// Why a scale was refused, as a phrase that follows the value ("must be above
// 0"); empty for Ok.
std::string describeScaleCheck(ScaleCheck check);

enum class ScaleAxis { Lateral, Axial };

struct UnitLineScale {
    ScaleCheck check = ScaleCheck::ZeroLengthLine;
    ScaleAxis axis = ScaleAxis::Lateral;
    double micronsPerPixel = 0.0; // valid when check is Ok
};

// The scale a unit line of unitMicron microns gives: a line running more
// across than down (|dx| >= |dy|) sets the lateral scale, any other the axial
// one. A line shorter than the report's shortest unit line gives
// ZeroLengthLine; a scale that checkMicronsPerPixel refuses gives its check.
UnitLineScale scaleFromUnitLine(Point2d start, Point2d end, double unitMicron);

// The pixel size an image file states, as axis scales whose source is "file
// (NAME)", NAME saying which of the file's fields gave it ("DICOM Pixel
// Spacing", ...). A size the checks above refuse, or none (0), leaves that
// axis not set.
AxisScales scalesFromImageFile(double lateralMicrons, double axialMicrons, const std::string& fieldName);

// A detection run in microns and its figures.
struct CalibratedMeasurements {
    AxisScales scales;
    // False when the scales are not set or the run in microns found no A to E.
    bool determined = false;
    // The curve and the reference curve in microns, with every list and index
    // of the detection.
    Boundary run;
    // The report's figures of the run; its points and its pixel lengths are in
    // microns (the unit line is one micron long, so the micron fields repeat them).
    FovealMeasurements figures;
    // The run's Top and Bottom points of A to E in image pixels.
    std::array<Point2d, 5> topPoints{};
    std::array<Point2d, 5> bottomPoints{};
};

// A point of the image in microns, and back.
Point2d toMicrons(Point2d pixel, const AxisScales& scales);
Point2d toImagePixels(Point2d micron, const AxisScales& scales);

// Scales the boundary's curve and reference curve to microns and runs the
// whole foveal detection on them with the given sampling count. Scales that
// are not set, or a boundary without curve or reference curve, give a result
// that is not determined.
CalibratedMeasurements measureCalibrated(const Boundary& boundary, const AxisScales& scales, int dividingCount);

// The report's section of a calibrated run: a blank line, then the scales and
// the run's points, thicknesses, width, depths and slopes, each line ending
// in '\n'. Empty when the scales are not set.
std::string formatCalibratedSection(const CalibratedMeasurements& calibrated);

} // namespace quorrel
