#pragma once

// The settings of one headless measurement: read from a parameters file
// (JSON) and from the command line, which overrides the file, and checked
// strictly. Coordinates stay in viewer pixels (x right, y down from the
// top-left pixel) until the image's height is known.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <QString>
#include <QStringList>

#include "analysis/MeasurementPipeline.h"
#include "analysis/Point2d.h"

namespace measure {

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

// What the command line asks for besides the settings.
struct CommandLine {
    bool showHelp = false;
    bool showVersion = false;
    QString imagePath;
    QString outputPath; // empty: standard output
    QString csvPath; // empty: no table
    QString parametersPath; // empty: no parameters file
    QString saveParametersPath;
    std::uint32_t frame = 0; // of a DICOM or TIFF file
    MeasureSettings settings; // only what the options give
};

// Reads the command line (arguments[0] is the program). False with a
// one-line error for an unknown option, a malformed or out-of-range number,
// or not exactly one image.
bool parseCommandLine(const QStringList& arguments, CommandLine& commandLine, std::string& error);

// The --help text, ending in a newline.
std::string helpText();

// Parses a parameters file's text. False with a one-line error for bad JSON,
// an unknown key, a value of the wrong type or out of range; settings are
// then unchanged.
bool parseSettingsJson(const std::string& text, MeasureSettings& settings, std::string& error);

// Reads and parses a parameters file; the error names the file.
bool readSettingsFile(const QString& path, MeasureSettings& settings, std::string& error);

// Every setting with the value a run uses (defaults filled in), as a
// parameters file that reproduces the run; ends in a newline.
std::string settingsToJson(const MeasureSettings& settings);

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

// The settings as pipeline parameters for an image of the given size, the
// viewer coordinates converted to image coordinates. A missing selection
// gives an empty one.
quorrel::MeasurementParameters toMeasurementParameters(const MeasureSettings& settings, int imageWidth,
                                                       int imageHeight);

// Strict number parsing: the whole text must be the number, with no blanks or
// sign "+"; decimals must be finite. False for anything else.
bool parseWholeNumber(const std::string& text, int& value);
bool parseDecimalNumber(const std::string& text, double& value);

} // namespace measure
