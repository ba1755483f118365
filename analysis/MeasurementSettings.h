#pragma once

// Every setting and hand-made step of one measurement, as a measurement file
// holds them and as the window and quorrel-measure hand them to the
// measurement, with the range each may take. Coordinates are viewer pixels
// (x to the right, y down from the top-left pixel) until an image's height is
// known. Standard C++ only.

#include <array>
#include <climits>
#include <optional>
#include <string>
#include <vector>

#include "analysis/Boundary.h"
#include "analysis/CalibratedMeasurement.h"
#include "analysis/MeasurementPipeline.h"
#include "analysis/Point2d.h"

namespace quorrel {

// Viewer pixels in columns x .. x+width-1 and rows y .. y+height-1.
struct ViewerRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct ToleranceSetting {
    bool estimate = false;
    int value = 30;
};

// The image a measurement was made on, as a file names it: the path as it
// was chosen (UTF-8) and the SHA-256 of the file's bytes (64 lower-case hex
// digits), either of them possibly empty.
struct ImageReference {
    std::string path;
    std::string sha256;
};

// The part of the image file loaded, as fractions of the file's size, when
// it was cut.
struct ImageRegion {
    double x0 = 0.0;
    double y0 = 0.0;
    double width = 1.0;
    double height = 1.0;
};

// Edge points erased inside rect, its far edges included (so width and height
// may be 0), after curvesMadeBefore Make Curve steps.
struct ViewerErasure {
    ViewerRect rect;
    int curvesMadeBefore = 0;
};

// Every setting; an unset one takes the window's start value. The keys after
// unitMicrons come only from files the window saved.
struct MeasurementSettings {
    std::optional<ImageReference> image;
    std::optional<int> frame; // of a DICOM or TIFF file, from 0
    std::optional<ViewerRect> selection;
    std::optional<ToleranceSetting> tolerance;
    std::optional<double> minConnection;
    std::optional<double> maxConnection;
    std::optional<int> smoothLevel;
    std::optional<int> smoothCount;
    std::optional<int> divideCount;
    std::optional<std::vector<Point2d>> reference;
    std::optional<std::array<Point2d, 2>> unitLine;
    std::optional<double> unitMicrons;
    // Microns per image pixel across (x) and down (y), and how they were
    // obtained, as the report's section of the run in microns states it.
    std::optional<double> lateralMicronsPerPixel;
    std::optional<double> axialMicronsPerPixel;
    std::optional<std::string> scaleSource;
    // A second scale bar (viewer pixels): with it, each of the two unit lines
    // sets the scale of the axis it mostly runs along, the second one being
    // secondUnitMicrons long (unitMicrons when not set).
    std::optional<std::array<Point2d, 2>> secondUnitLine;
    std::optional<double> secondUnitMicrons;
    std::optional<ImageRegion> region;
    std::optional<std::vector<ViewerRect>> whitened;
    std::optional<std::vector<ViewerErasure>> erasures;
    // The levels of smoothing presses that were not all alike; replaces
    // smoothLevel and smoothCount.
    std::optional<std::vector<int>> smoothLevels;
    std::optional<std::vector<PointMove>> moves; // positions in viewer pixels
};

// ---- accepted ranges --------------------------------------------------------
// Every number a run accepts is limited here, and nowhere else: the settings
// the window has a control for take that control's range, so that neither
// the command nor a file can ask for what the window cannot (an unbounded
// connecting distance makes every pair of edge pixels neighbours and runs out
// of memory). What has no control gets a documented bound that keeps a run
// within memory and minutes. A new setting adds its row here and to --help
// and the README.

// A whole-number setting: its command-line option, its key in the file and
// its accepted range.
struct WholeRule {
    const char* option;
    const char* key;
    int minimum;
    int maximum;
};

// A decimal setting; values must be at least minimum (above it when
// exclusive) and at most maximum.
struct DecimalRule {
    const char* option;
    const char* key;
    double minimum;
    bool exclusive;
    double maximum;
};

constexpr WholeRule kToleranceRule{"tolerance", "tolerance", 1, 255};
constexpr DecimalRule kMinConnectionRule{"min-connection", "minConnection", 1.0, false, 99.99};
constexpr DecimalRule kMaxConnectionRule{"max-connection", "maxConnection", 1.0, false, 99.99};
constexpr WholeRule kSmoothLevelRule{"smooth-level", "smoothLevel", 2, 99};
constexpr WholeRule kSmoothCountRule{"smooth-count", "smoothCount", 0, 10000}; // presses of a button
constexpr WholeRule kDivideCountRule{"divide-count", "divideCount", 1, 10000};
constexpr DecimalRule kUnitMicronsRule{"unit-microns", "unitMicrons", 0.0, true, 10000.0};
constexpr DecimalRule kLateralScaleRule{"lateral-scale", "lateralMicronsPerPixel", 0.0, true, kLargestMicronsPerPixel};
constexpr DecimalRule kAxialScaleRule{"axial-scale", "axialMicronsPerPixel", 0.0, true, kLargestMicronsPerPixel};
constexpr DecimalRule kSecondUnitMicronsRule{"second-unit-microns", "secondUnitMicrons", 0.0, true, 10000.0};
// The file says how many frames it has; one past the last is refused on loading.
constexpr WholeRule kFrameRule{"frame", "frame", 0, INT_MAX};
// The samples of the reference curve, (points - 1) x divide count: the
// window's largest divide count over a hundred drawn segments.
constexpr long long kLargestReferenceSampleCount = 1000000;
// Reference points, unit line ends and moved points, in pixels beyond the
// image's edges: far more than any drawing needs, small enough that no
// distance or product of them overflows.
constexpr double kLargestDistanceOutsideImage = 1e6;
// Whitened rectangles, erasures and smoothing presses a file may list, and
// Make Curve steps an erasure may follow: far more than a hand makes.
constexpr int kLargestStepCount = 10000;

// "a whole number from 1 to 255" and the like.
std::string describe(const WholeRule& rule);
std::string describe(const DecimalRule& rule);
bool inRange(const WholeRule& rule, long long value);
bool inRange(const DecimalRule& rule, double value);

// ---- conversions ------------------------------------------------------------

// Each setting that overrides gives replaces the one of base; a smoothing
// level or count there also drops base's list of levels, an axis scale
// base's scale source, and a second unit line base's axis scales.
void overlaySettings(MeasurementSettings& base, const MeasurementSettings& overrides);

// The settings as pipeline parameters for an image of the given size, the
// viewer coordinates converted to image coordinates. A missing selection
// gives an empty one.
MeasurementParameters toMeasurementParameters(const MeasurementSettings& settings, int imageWidth, int imageHeight);

// The pixels a file's image is measured on: its frame, its region (the whole
// frame when none) and the whitened rectangles in image coordinates of the
// region, once its size is known.
ImageOrigin toImageOrigin(const MeasurementSettings& settings, int imageWidth, int imageHeight);

// What repeats a measured boundary of an image of the given height: its
// measured steps, its selection and tolerance, the unit line (image
// coordinates) and microns, and the axis scales when they are set. The image
// reference is left unset.
MeasurementSettings settingsForBoundary(const Boundary& boundary, int imageHeight, Point2d unitLineStart,
                                        Point2d unitLineEnd, double unitMicrons, const AxisScales& axisScales);

// The axis scales a run uses. Each axis takes, first found: its scale in the
// settings ("typed"), the scale a unit line gives when there is a second unit
// line ("unit line": each line sets the axis it mostly runs along, so the two
// must run along different axes), the image file's (imageFile, with its own
// source). The source names where each came from ("lateral typed, axial
// file ..." when they differ, "unit lines" for two lines); the settings'
// scaleSource when both were typed. False with a one-line error when a unit
// line cannot set a scale; scales stays unchanged then.
bool resolveAxisScales(const MeasurementSettings& settings, const AxisScales& imageFile, AxisScales& scales,
                       std::string& error);

// False with a one-line error when the reference curve asks for more samples
// ((points - 1) x divide count) than a run allows.
bool checkSampleCount(const MeasurementSettings& settings, std::string& error);

// False with a one-line error when a reference point, an end of the unit line
// or a moved point lies absurdly far (more than a million pixels) outside an
// image of the given size.
bool checkCoordinates(const MeasurementSettings& settings, int imageWidth, int imageHeight, std::string& error);

// The name of a movable point in a file ("ATop", ...), and back; false for
// an unknown name.
const char* movablePointName(MovablePoint point);
bool movablePointFromName(const std::string& name, MovablePoint& point);

} // namespace quorrel
