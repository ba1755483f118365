#include "MeasureOptions.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <system_error>

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFile>

#include <nlohmann/json.hpp>

namespace measure {

namespace {

using quorrel::Point2d;

// The window's start values, used for whatever neither the file nor the
// command line sets.
constexpr int kDefaultTolerance = 30;
constexpr double kDefaultMinConnection = 2.0;
constexpr double kDefaultMaxConnection = 3.0;
constexpr int kDefaultSmoothLevel = 2;
constexpr int kDefaultSmoothCount = 1;
constexpr int kDefaultDivideCount = 100;
constexpr double kDefaultUnitMicrons = 100.0;

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

std::string describe(const WholeRule& rule)
{
    return "a whole number from " + std::to_string(rule.minimum) + " to " + std::to_string(rule.maximum);
}

std::string formatLimit(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string describe(const DecimalRule& rule)
{
    return std::string(rule.exclusive ? "a number greater than " : "a number from ") + formatLimit(rule.minimum)
        + (rule.exclusive ? " up to " : " to ") + formatLimit(rule.maximum);
}

bool inRange(const DecimalRule& rule, double value)
{
    return (rule.exclusive ? value > rule.minimum : value >= rule.minimum) && value <= rule.maximum;
}

std::string quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

std::string optionError(const char* option, const std::string& value, const std::string& expected)
{
    return std::string("--") + option + ": " + quoted(value) + " is not " + expected;
}

// Splits at every comma; empty parts are kept so that they fail as numbers.
std::vector<std::string> splitAtCommas(const std::string& text)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos)
            return parts;
        start = comma + 1;
    }
}

bool parseDecimalList(const std::string& text, std::size_t count, std::vector<double>& values)
{
    const std::vector<std::string> parts = splitAtCommas(text);
    if (parts.size() != count)
        return false;
    values.assign(count, 0.0);
    for (std::size_t i = 0; i < count; ++i) {
        if (!parseDecimalNumber(parts[i], values[i]))
            return false;
    }
    return true;
}

bool parseWholeOption(const WholeRule& rule, const std::string& text, int& value, std::string& error)
{
    if (!parseWholeNumber(text, value) || value < rule.minimum || value > rule.maximum) {
        error = optionError(rule.option, text, describe(rule));
        return false;
    }
    return true;
}

bool parseDecimalOption(const DecimalRule& rule, const std::string& text, double& value, std::string& error)
{
    if (!parseDecimalNumber(text, value) || !inRange(rule, value)) {
        error = optionError(rule.option, text, describe(rule));
        return false;
    }
    return true;
}

bool parseSelectionOption(const std::string& text, ViewerRect& rect, std::string& error)
{
    const std::vector<std::string> parts = splitAtCommas(text);
    int values[4] = {};
    bool valid = parts.size() == 4;
    for (std::size_t i = 0; valid && i < 4; ++i)
        valid = parseWholeNumber(parts[i], values[i]);
    if (!valid || values[2] < 1 || values[3] < 1) {
        error = optionError("selection", text, "X,Y,WIDTH,HEIGHT in whole pixels with WIDTH and HEIGHT at least 1");
        return false;
    }
    rect = ViewerRect{values[0], values[1], values[2], values[3]};
    return true;
}

// ---- parameters file ----------------------------------------------------

using Json = nlohmann::json;

std::string keyError(const char* key, const std::string& expected)
{
    return quoted(key) + " must be " + expected;
}

bool readWhole(const Json& value, const WholeRule& rule, int& out, std::string& error)
{
    if (value.is_number_integer()) {
        const auto number = value.get<long long>();
        if (number >= rule.minimum && number <= rule.maximum) {
            out = static_cast<int>(number);
            return true;
        }
    }
    error = keyError(rule.key, describe(rule));
    return false;
}

bool readDecimal(const Json& value, const DecimalRule& rule, double& out, std::string& error)
{
    if (value.is_number()) {
        const double number = value.get<double>();
        if (std::isfinite(number) && inRange(rule, number)) {
            out = number;
            return true;
        }
    }
    error = keyError(rule.key, describe(rule));
    return false;
}

bool readPoint(const Json& value, Point2d& point)
{
    if (!value.is_array() || value.size() != 2 || !value[0].is_number() || !value[1].is_number())
        return false;
    point = Point2d{value[0].get<double>(), value[1].get<double>()};
    return std::isfinite(point.x) && std::isfinite(point.y);
}

bool readSelection(const Json& value, ViewerRect& rect, std::string& error)
{
    const char* const names[4] = {"x", "y", "width", "height"};
    int values[4] = {};
    bool valid = value.is_object() && value.size() == 4;
    for (int i = 0; valid && i < 4; ++i) {
        const auto found = value.find(names[i]);
        valid = found != value.end() && found->is_number_integer() && found->get<long long>() >= INT_MIN
            && found->get<long long>() <= INT_MAX;
        if (valid)
            values[i] = static_cast<int>(found->get<long long>());
    }
    if (!valid || values[2] < 1 || values[3] < 1) {
        error = keyError(kSelectionKey,
                         "{\"x\": X, \"y\": Y, \"width\": WIDTH, \"height\": HEIGHT} in whole pixels "
                         "with WIDTH and HEIGHT at least 1");
        return false;
    }
    rect = ViewerRect{values[0], values[1], values[2], values[3]};
    return true;
}

bool readSettingsObject(const Json& root, MeasureSettings& settings, std::string& error)
{
    if (!root.is_object()) {
        error = "the top level must be an object of settings";
        return false;
    }
    MeasureSettings read;
    for (auto entry = root.begin(); entry != root.end(); ++entry) {
        const std::string& key = entry.key();
        const Json& value = entry.value();
        if (key == kSelectionKey) {
            ViewerRect rect;
            if (!readSelection(value, rect, error))
                return false;
            read.selection = rect;
        } else if (key == kToleranceRule.key) {
            ToleranceSetting tolerance;
            if (value.is_string() && value.get<std::string>() == "estimate") {
                tolerance.estimate = true;
            } else if (!readWhole(value, kToleranceRule, tolerance.value, error)) {
                error += " or \"estimate\"";
                return false;
            }
            read.tolerance = tolerance;
        } else if (key == kMinConnectionRule.key || key == kMaxConnectionRule.key || key == kUnitMicronsRule.key) {
            const DecimalRule& rule = key == kMinConnectionRule.key ? kMinConnectionRule
                : key == kMaxConnectionRule.key                     ? kMaxConnectionRule
                                                                    : kUnitMicronsRule;
            double number = 0.0;
            if (!readDecimal(value, rule, number, error))
                return false;
            (key == kMinConnectionRule.key       ? read.minConnection
                 : key == kMaxConnectionRule.key ? read.maxConnection
                                                 : read.unitMicrons) = number;
        } else if (key == kSmoothLevelRule.key || key == kSmoothCountRule.key || key == kDivideCountRule.key) {
            const WholeRule& rule = key == kSmoothLevelRule.key ? kSmoothLevelRule
                : key == kSmoothCountRule.key                   ? kSmoothCountRule
                                                                : kDivideCountRule;
            int number = 0;
            if (!readWhole(value, rule, number, error))
                return false;
            (key == kSmoothLevelRule.key       ? read.smoothLevel
                 : key == kSmoothCountRule.key ? read.smoothCount
                                               : read.divideCount) = number;
        } else if (key == kReferenceKey) {
            std::vector<Point2d> points;
            bool valid = value.is_array();
            for (std::size_t i = 0; valid && i < value.size(); ++i) {
                Point2d point;
                valid = readPoint(value[i], point);
                points.push_back(point);
            }
            if (!valid) {
                error = keyError(kReferenceKey, "a list of [X, Y] points");
                return false;
            }
            read.reference = points;
        } else if (key == kUnitLineKey) {
            std::array<Point2d, 2> ends;
            if (!value.is_array() || value.size() != 2 || !readPoint(value[0], ends[0])
                || !readPoint(value[1], ends[1])) {
                error = keyError(kUnitLineKey, "[[X1, Y1], [X2, Y2]]");
                return false;
            }
            read.unitLine = ends;
        } else {
            // A misspelt key would otherwise leave its setting at the default
            // without a word.
            error = "unknown key " + quoted(key);
            return false;
        }
    }
    overlaySettings(settings, read);
    return true;
}

// The library's messages start with an internal tag in brackets.
std::string withoutTag(const std::string& message)
{
    const std::size_t close = message.find("] ");
    return message.size() > 0 && message[0] == '[' && close != std::string::npos ? message.substr(close + 2) : message;
}

nlohmann::ordered_json pointToJson(const Point2d& point)
{
    return nlohmann::ordered_json::array({point.x, point.y});
}

} // namespace

bool parseWholeNumber(const std::string& text, int& value)
{
    const char* first = text.data();
    const char* last = first + text.size();
    int parsed = 0;
    const auto [end, status] = std::from_chars(first, last, parsed);
    if (text.empty() || status != std::errc() || end != last)
        return false;
    value = parsed;
    return true;
}

bool parseDecimalNumber(const std::string& text, double& value)
{
    const char* first = text.data();
    const char* last = first + text.size();
    double parsed = 0.0;
    const auto [end, status] = std::from_chars(first, last, parsed, std::chars_format::general);
    if (text.empty() || status != std::errc() || end != last || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

bool parseCommandLine(const QStringList& arguments, CommandLine& commandLine, std::string& error)
{
    QCommandLineParser parser;
    const QCommandLineOption help({"h", "help"}, "Show this help.");
    const QCommandLineOption version("version", "Show the version.");
    const QCommandLineOption output({"o", "output"}, "Write the report to FILE instead of standard output.", "FILE");
    const QCommandLineOption csv("csv", "Append one row of figures to the table FILE.", "FILE");
    const QCommandLineOption parameters("params", "Read settings from the JSON file FILE.", "FILE");
    const QCommandLineOption saveParameters("save-params", "Write the settings of this run to FILE.", "FILE");
    const QCommandLineOption selection("selection", "Selection over the layer to trace.", "X,Y,WIDTH,HEIGHT");
    const QCommandLineOption tolerance(kToleranceRule.option, "Colour tolerance.", "N|estimate");
    const QCommandLineOption minConnection(kMinConnectionRule.option, "Minimum line connecting distance.", "D");
    const QCommandLineOption maxConnection(kMaxConnectionRule.option, "Maximum line connecting distance.", "D");
    const QCommandLineOption smoothLevel(kSmoothLevelRule.option, "Smooth level.", "N");
    const QCommandLineOption smoothCount(kSmoothCountRule.option, "Times to smooth the curve.", "N");
    const QCommandLineOption divideCount(kDivideCountRule.option, "Curve dividing count.", "N");
    const QCommandLineOption reference(kReferenceKey, "Reference curve point, repeated in curve order.", "X,Y");
    const QCommandLineOption unitLine("unit-line", "Ends of the unit line.", "X1,Y1,X2,Y2");
    const QCommandLineOption unitMicrons(kUnitMicronsRule.option, "Length of the unit line in microns.", "M");
    const QCommandLineOption frame(kFrameRule.option, "Frame or page of a DICOM or TIFF file, from 0.", "N");
    parser.addOptions({help, version, output, csv, parameters, saveParameters, selection, tolerance, minConnection,
                       maxConnection, smoothLevel, smoothCount, divideCount, reference, unitLine, unitMicrons, frame});
    parser.addPositionalArgument("image", "The image to measure.");

    if (!parser.parse(arguments)) {
        error = parser.errorText().toStdString() + " (see --help)";
        return false;
    }
    CommandLine read;
    read.showHelp = parser.isSet(help);
    read.showVersion = parser.isSet(version);
    if (read.showHelp || read.showVersion) {
        commandLine = read;
        return true;
    }
    const QStringList images = parser.positionalArguments();
    if (images.size() != 1) {
        error = images.isEmpty() ? "no image given (see --help)" : "give exactly one image per run";
        return false;
    }
    read.imagePath = images.front();
    read.outputPath = parser.value(output);
    read.csvPath = parser.value(csv);
    read.parametersPath = parser.value(parameters);
    read.saveParametersPath = parser.value(saveParameters);
    for (const auto* option : {&output, &csv, &parameters, &saveParameters}) {
        if (parser.isSet(*option) && parser.value(*option).isEmpty()) {
            error = "--" + option->names().back().toStdString() + ": the file name is empty";
            return false;
        }
    }

    if (parser.isSet(frame)) {
        int value = 0;
        if (!parseWholeOption(kFrameRule, parser.value(frame).toStdString(), value, error))
            return false;
        read.frame = static_cast<std::uint32_t>(value);
    }

    MeasureSettings& settings = read.settings;
    if (parser.isSet(selection)) {
        ViewerRect rect;
        if (!parseSelectionOption(parser.value(selection).toStdString(), rect, error))
            return false;
        settings.selection = rect;
    }
    if (parser.isSet(tolerance)) {
        const std::string text = parser.value(tolerance).toStdString();
        ToleranceSetting setting;
        if (text == "estimate") {
            setting.estimate = true;
        } else if (!parseWholeOption(kToleranceRule, text, setting.value, error)) {
            error += " or \"estimate\"";
            return false;
        }
        settings.tolerance = setting;
    }
    const std::pair<const QCommandLineOption*, std::pair<const DecimalRule*, std::optional<double>*>> decimals[] = {
        {&minConnection, {&kMinConnectionRule, &settings.minConnection}},
        {&maxConnection, {&kMaxConnectionRule, &settings.maxConnection}},
        {&unitMicrons, {&kUnitMicronsRule, &settings.unitMicrons}},
    };
    for (const auto& [option, target] : decimals) {
        if (!parser.isSet(*option))
            continue;
        double value = 0.0;
        if (!parseDecimalOption(*target.first, parser.value(*option).toStdString(), value, error))
            return false;
        *target.second = value;
    }
    const std::pair<const QCommandLineOption*, std::pair<const WholeRule*, std::optional<int>*>> wholes[] = {
        {&smoothLevel, {&kSmoothLevelRule, &settings.smoothLevel}},
        {&smoothCount, {&kSmoothCountRule, &settings.smoothCount}},
        {&divideCount, {&kDivideCountRule, &settings.divideCount}},
    };
    for (const auto& [option, target] : wholes) {
        if (!parser.isSet(*option))
            continue;
        int value = 0;
        if (!parseWholeOption(*target.first, parser.value(*option).toStdString(), value, error))
            return false;
        *target.second = value;
    }
    if (parser.isSet(reference)) {
        std::vector<Point2d> points;
        for (const QString& value : parser.values(reference)) {
            std::vector<double> xy;
            if (!parseDecimalList(value.toStdString(), 2, xy)) {
                error = optionError(kReferenceKey, value.toStdString(), "X,Y");
                return false;
            }
            points.push_back(Point2d{xy[0], xy[1]});
        }
        settings.reference = points;
    }
    if (parser.isSet(unitLine)) {
        std::vector<double> ends;
        if (!parseDecimalList(parser.value(unitLine).toStdString(), 4, ends)) {
            error = optionError("unit-line", parser.value(unitLine).toStdString(), "X1,Y1,X2,Y2");
            return false;
        }
        settings.unitLine = std::array<Point2d, 2>{Point2d{ends[0], ends[1]}, Point2d{ends[2], ends[3]}};
    }
    commandLine = read;
    return true;
}

std::string helpText()
{
    return R"(Usage: quorrel-measure IMAGE [options]

Measures the foveal pit on one image without the window: estimates the
tolerance (optional), traces the retinal surface from the selection, makes and
smooths its curve, finds the points A to E against the reference curve and
writes the 50-line report that the window's Save writes for the same inputs.

Coordinates are the pixel coordinates image viewers show: x to the right and
y down from the top-left pixel (0, 0). --selection 150,10,100,25 covers the
100 x 25 pixels of columns 150 to 249 and rows 10 to 34. The report gives its
points with rows counted up from the bottom row, as the window does.

Options:
  -o, --output FILE          write the report to FILE (standard output when
                             absent or "-")
  --csv FILE                 append one row of every figure of the report to
                             FILE, with a header line when FILE is new
  --params FILE              read settings from the JSON file FILE; options
                             given on the command line override them
  --save-params FILE         write every setting of this run to FILE, which
                             --params reads back to repeat the measurement
  --selection X,Y,WIDTH,HEIGHT
                             the rectangle over the layer to trace (required)
  --reference X,Y            a point of the reference curve along the other
                             side of the retina; repeat in curve order (at
                             least two); A is the rim nearer the first point
  --unit-line X1,Y1,X2,Y2    the ends of the scale line
  --unit-microns M           the scale line's length in microns, above 0 up
                             to 10000 (100)
  --frame N                  the frame (B-scan) of a multi-frame DICOM file
                             or the page of a TIFF to measure, counted from 0
                             (0); a frame past the last one is refused
  --tolerance N|estimate     colour tolerance, 1 to 255, or "estimate" to
                             estimate it from the selection (30)
  --min-connection D         minimum line connecting distance, 1 to 99.99 (2)
  --max-connection D         maximum line connecting distance, 1 to 99.99 (3)
  --smooth-level N           smooth level, 2 to 99 (2)
  --smooth-count N           times to smooth the curve, 0 to 10000 (1)
  --divide-count N           curve dividing count, 1 to 10000 (100)
  -h, --help                 show this help
  --version                  show the version

Numbers are plain decimals ("12", "-3.5", "1e2"): no blanks, no "+", no NaN.
The ranges are those of the window's controls. The reference curve gives at
most 1000000 samples: (points - 1) x divide count. Reference points and the
unit line's ends lie within 1000000 pixels of the image.

Parameters file: a JSON object with any of these keys, e.g.
  {"selection": {"x": 150, "y": 10, "width": 100, "height": 25},
   "tolerance": "estimate", "minConnection": 2.0, "maxConnection": 3.0,
   "smoothLevel": 2, "smoothCount": 2, "divideCount": 100,
   "reference": [[10, 139], [389, 139]],
   "unitLine": [[10, 190], [110, 190]], "unitMicrons": 250}

CSV table: the image path as given, then every figure of the report in its
order (points in the report's coordinates, thicknesses, unit line, width,
depths, slopes and their angles), numbers in the shortest form that reads
back exactly, an empty field for a figure that cannot be computed.

Outputs: the report, the table and the saved settings are each written to a
temporary file beside their target and all moved into place at the end, so
that a failed run leaves every existing file as it was.

Exit status: 0 when the report was written; 1 when the image cannot be read
or measured, a figure comes out as infinity or not a number (the micron
figures without a unit line aside), memory runs out or an output cannot be
written; 2 for bad options, a number out of its
range or a bad parameters file. Every failure prints one line on standard
error and writes no file.
)";
}

bool parseSettingsJson(const std::string& text, MeasureSettings& settings, std::string& error)
{
    Json root;
    try {
        root = Json::parse(text);
    } catch (const Json::exception& exception) {
        error = withoutTag(exception.what());
        return false;
    }
    return readSettingsObject(root, settings, error);
}

bool readSettingsFile(const QString& path, MeasureSettings& settings, std::string& error)
{
    const std::string name = "parameters file " + quoted(path.toStdString()) + ": ";
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = name + file.errorString().toStdString();
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = name + file.errorString().toStdString();
        return false;
    }
    if (!parseSettingsJson(bytes.toStdString(), settings, error)) {
        error = name + error;
        return false;
    }
    return true;
}

std::string settingsToJson(const MeasureSettings& settings)
{
    nlohmann::ordered_json root;
    if (settings.selection) {
        const ViewerRect& rect = *settings.selection;
        root[kSelectionKey] = {{"x", rect.x}, {"y", rect.y}, {"width", rect.width}, {"height", rect.height}};
    }
    const ToleranceSetting tolerance = settings.tolerance.value_or(ToleranceSetting{false, kDefaultTolerance});
    if (tolerance.estimate)
        root[kToleranceRule.key] = "estimate";
    else
        root[kToleranceRule.key] = tolerance.value;
    root[kMinConnectionRule.key] = settings.minConnection.value_or(kDefaultMinConnection);
    root[kMaxConnectionRule.key] = settings.maxConnection.value_or(kDefaultMaxConnection);
    root[kSmoothLevelRule.key] = settings.smoothLevel.value_or(kDefaultSmoothLevel);
    root[kSmoothCountRule.key] = settings.smoothCount.value_or(kDefaultSmoothCount);
    root[kDivideCountRule.key] = settings.divideCount.value_or(kDefaultDivideCount);
    nlohmann::ordered_json points = nlohmann::ordered_json::array();
    for (const Point2d& point : settings.reference.value_or(std::vector<Point2d>{}))
        points.push_back(pointToJson(point));
    root[kReferenceKey] = points;
    const std::array<Point2d, 2> unitLine = settings.unitLine.value_or(std::array<Point2d, 2>{});
    root[kUnitLineKey] = {pointToJson(unitLine[0]), pointToJson(unitLine[1])};
    root[kUnitMicronsRule.key] = settings.unitMicrons.value_or(kDefaultUnitMicrons);
    // One setting per line, each value compact, so that a point list stays
    // readable and a changed setting shows as one changed line.
    std::string text = "{\n";
    for (auto entry = root.begin(); entry != root.end(); ++entry) {
        text += "  " + nlohmann::ordered_json(entry.key()).dump() + ": " + entry.value().dump();
        text += std::next(entry) == root.end() ? "\n" : ",\n";
    }
    return text + "}\n";
}

bool checkSampleCount(const MeasureSettings& settings, std::string& error)
{
    const std::size_t points = settings.reference ? settings.reference->size() : 0;
    if (points < 2)
        return true;
    const long long divideCount = settings.divideCount.value_or(kDefaultDivideCount);
    const long long samples = static_cast<long long>(points - 1) * divideCount;
    if (samples <= kLargestReferenceSampleCount)
        return true;
    error = "a reference curve of " + std::to_string(points) + " points at divide count " + std::to_string(divideCount)
        + " gives " + std::to_string(samples) + " samples, more than the "
        + std::to_string(kLargestReferenceSampleCount) + " allowed: (points - 1) x divide count";
    return false;
}

bool checkCoordinates(const MeasureSettings& settings, int imageWidth, int imageHeight, std::string& error)
{
    const auto isNearImage = [&](const Point2d& point) {
        return point.x >= -kLargestDistanceOutsideImage && point.x <= imageWidth + kLargestDistanceOutsideImage
            && point.y >= -kLargestDistanceOutsideImage && point.y <= imageHeight + kLargestDistanceOutsideImage;
    };
    const auto refuse = [&](const std::string& what, const Point2d& point) {
        error = what + " (" + formatLimit(point.x) + ", " + formatLimit(point.y) + ") lies more than "
            + std::to_string(static_cast<long long>(kLargestDistanceOutsideImage)) + " pixels outside the "
            + std::to_string(imageWidth) + " x " + std::to_string(imageHeight) + " image";
        return false;
    };
    const std::vector<Point2d> reference = settings.reference.value_or(std::vector<Point2d>{});
    for (std::size_t i = 0; i < reference.size(); ++i) {
        if (!isNearImage(reference[i]))
            return refuse("reference point " + std::to_string(i + 1), reference[i]);
    }
    if (settings.unitLine) {
        for (const Point2d& end : *settings.unitLine) {
            if (!isNearImage(end))
                return refuse("the unit line's end", end);
        }
    }
    return true;
}

void overlaySettings(MeasureSettings& base, const MeasureSettings& overrides)
{
    auto take = [](auto& into, const auto& from) {
        if (from)
            into = from;
    };
    take(base.selection, overrides.selection);
    take(base.tolerance, overrides.tolerance);
    take(base.minConnection, overrides.minConnection);
    take(base.maxConnection, overrides.maxConnection);
    take(base.smoothLevel, overrides.smoothLevel);
    take(base.smoothCount, overrides.smoothCount);
    take(base.divideCount, overrides.divideCount);
    take(base.reference, overrides.reference);
    take(base.unitLine, overrides.unitLine);
    take(base.unitMicrons, overrides.unitMicrons);
}

quorrel::MeasurementParameters toMeasurementParameters(const MeasureSettings& settings, int imageWidth, int imageHeight)
{
    quorrel::MeasurementParameters parameters;
    if (settings.selection) {
        const ViewerRect& rect = *settings.selection;
        parameters.selection =
            quorrel::viewerRectToPixelRect(rect.x, rect.y, rect.width, rect.height, imageWidth, imageHeight);
    }
    const ToleranceSetting tolerance = settings.tolerance.value_or(ToleranceSetting{false, kDefaultTolerance});
    parameters.estimateTolerance = tolerance.estimate;
    parameters.maxColorDistance = tolerance.value;
    parameters.minLineConnectionDistance = settings.minConnection.value_or(kDefaultMinConnection);
    parameters.maxLineConnectionDistance = settings.maxConnection.value_or(kDefaultMaxConnection);
    parameters.smoothLevel = settings.smoothLevel.value_or(kDefaultSmoothLevel);
    parameters.smoothCount = settings.smoothCount.value_or(kDefaultSmoothCount);
    parameters.curveDividingCount = settings.divideCount.value_or(kDefaultDivideCount);
    for (const Point2d& point : settings.reference.value_or(std::vector<Point2d>{}))
        parameters.referenceCurve.push_back(quorrel::viewerPointToImagePoint(point, imageHeight));
    if (settings.unitLine) {
        parameters.unitLineStart = quorrel::viewerPointToImagePoint((*settings.unitLine)[0], imageHeight);
        parameters.unitLineEnd = quorrel::viewerPointToImagePoint((*settings.unitLine)[1], imageHeight);
    }
    parameters.unitMicron = settings.unitMicrons.value_or(kDefaultUnitMicrons);
    return parameters;
}

} // namespace measure
