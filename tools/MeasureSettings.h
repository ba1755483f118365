#pragma once

// The settings of one headless measurement, the values each accepts and the
// start values for those a run does not set. Coordinates stay in viewer
// pixels (x right, y down from the top-left pixel) until the image's height
// is known.

#include <array>
#include <climits>
#include <optional>
#include <string>
#include <vector>

#include "analysis/MeasurementPipeline.h"
#include "analysis/Point2d.h"

namespace measure {

// What a run takes for a setting that neither the parameters file nor the
// command line gives: the measurement's own defaults, the window's start
// values.
inline const quorrel::MeasurementParameters kStartValues{};

// Viewer pixels in columns x .. x+width-1 and rows y .. y+height-1.
struct ViewerRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct ToleranceSetting {
    bool estimate = false;
    int value = kStartValues.maxColorDistance;
};

// Every measurement setting; an unset one takes the window's start value.
struct MeasureSettings {
    std::optional<ViewerRect> selection;
    std::optional<ToleranceSetting> tolerance;
    std::optional<double> minConnection;
    std::optional<double> maxConnection;
    std::optional<int> smoothLevel;
    std::optional<int> smoothCount;
    std::optional<int> divideCount;
    std::optional<std::vector<quorrel::Point2d>> reference; // viewer coordinates
    std::optional<std::array<quorrel::Point2d, 2>> unitLine; // viewer coordinates
    std::optional<double> unitMicrons;
};

// A whole-number setting: its option, its key in the parameters file and its
// accepted range.
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

// ---- accepted ranges ------------------------------------------------------
// Every number a run accepts is limited here, and nowhere else: the settings
// the window has a control for take that control's range, so that neither
// the command nor a parameters file can ask for what the window cannot (an
// unbounded connecting distance makes every pair of edge pixels neighbours
// and runs out of memory). What has no control gets a documented bound that
// keeps a run within memory and minutes. A new setting adds its row here and
// to --help and the README.

constexpr WholeRule kToleranceRule{"tolerance", "tolerance", 1, 255};
constexpr DecimalRule kMinConnectionRule{"min-connection", "minConnection", 1.0, false, 99.99};
constexpr DecimalRule kMaxConnectionRule{"max-connection", "maxConnection", 1.0, false, 99.99};
constexpr WholeRule kSmoothLevelRule{"smooth-level", "smoothLevel", 2, 99};
constexpr WholeRule kSmoothCountRule{"smooth-count", "smoothCount", 0, 10000}; // presses of a button
constexpr WholeRule kDivideCountRule{"divide-count", "divideCount", 1, 10000};
constexpr DecimalRule kUnitMicronsRule{"unit-microns", "unitMicrons", 0.0, true, 10000.0};
// The file says how many frames it has; one past the last is refused on loading.
constexpr WholeRule kFrameRule{"frame", "frame", 0, INT_MAX};
// The samples of the reference curve, (points - 1) x divide count: the
// window's largest divide count over a hundred drawn segments.
constexpr long long kLargestReferenceSampleCount = 1000000;
// Reference points and unit line ends, in pixels beyond the image's edges:
// far more than any drawing needs, small enough that no distance or product
// of them overflows.
constexpr double kLargestDistanceOutsideImage = 1e6;

constexpr const char* kSelectionKey = "selection";
constexpr const char* kReferenceKey = "reference";
constexpr const char* kUnitLineKey = "unitLine";

// "a whole number from 1 to 255" and the like, for messages.
std::string describe(const WholeRule& rule);
std::string describe(const DecimalRule& rule);

// Whether value lies within the rule's range.
bool inRange(const DecimalRule& rule, double value);

// The checks that need the merged settings: false with a one-line error when
// the reference curve asks for more samples ((points - 1) x divide count)
// than a run allows.
bool checkSampleCount(const MeasureSettings& settings, std::string& error);

// False with a one-line error when a reference point or an end of the unit
// line lies absurdly far (more than a million pixels) outside an image of the
// given size.
bool checkCoordinates(const MeasureSettings& settings, int imageWidth, int imageHeight, std::string& error);

// Each setting that overrides gives replaces the one of base.
void overlaySettings(MeasureSettings& base, const MeasureSettings& overrides);

} // namespace measure
