#include "CommandLineOptions.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include "StrictText.h"

namespace measure {

namespace {

using quorrel::DecimalRule;
using quorrel::kAxialScaleRule;
using quorrel::kDivideCountRule;
using quorrel::kFrameRule;
using quorrel::kLateralScaleRule;
using quorrel::kMaxConnectionRule;
using quorrel::kMinConnectionRule;
using quorrel::kSecondUnitMicronsRule;
using quorrel::kSmoothCountRule;
using quorrel::kSmoothLevelRule;
using quorrel::kToleranceRule;
using quorrel::kUnitMicronsRule;
using quorrel::Point2d;
using quorrel::WholeRule;

constexpr const char* kReferenceOption = "reference";
// More threads than this only wait for one another.
constexpr WholeRule kJobsRule{"jobs", "", 1, 1024};

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

// A scale is refused with the reason the measurement gives, in microns per
// pixel, rather than as a bare range.
bool parseScaleOption(const DecimalRule& rule, const std::string& text, double& value, std::string& error)
{
    if (!parseDecimalNumber(text, value)) {
        error = optionError(rule.option, text, "a number of microns per pixel");
        return false;
    }
    const quorrel::ScaleCheck check = quorrel::checkMicronsPerPixel(value);
    if (check != quorrel::ScaleCheck::Ok) {
        error = std::string("--") + rule.option + ": " + quoted(text) + " " + quorrel::describeScaleCheck(check);
        return false;
    }
    return true;
}

bool parseLineOption(const char* option, const std::string& text, std::array<Point2d, 2>& line, std::string& error)
{
    std::vector<double> ends;
    if (!parseDecimalList(text, 4, ends)) {
        error = optionError(option, text, "X1,Y1,X2,Y2");
        return false;
    }
    line = std::array<Point2d, 2>{Point2d{ends[0], ends[1]}, Point2d{ends[2], ends[3]}};
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

} // namespace

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
    const QCommandLineOption reference(kReferenceOption, "Reference curve point, repeated in curve order.", "X,Y");
    const QCommandLineOption unitLine("unit-line", "Ends of the unit line.", "X1,Y1,X2,Y2");
    const QCommandLineOption unitMicrons(kUnitMicronsRule.option, "Length of the unit line in microns.", "M");
    const QCommandLineOption lateralScale(kLateralScaleRule.option, "Microns per pixel across the scan.", "M");
    const QCommandLineOption axialScale(kAxialScaleRule.option, "Microns per pixel down the scan.", "M");
    const QCommandLineOption secondUnitLine("second-unit-line", "Ends of a second unit line.", "X1,Y1,X2,Y2");
    const QCommandLineOption secondUnitMicrons(kSecondUnitMicronsRule.option,
                                               "Length of the second unit line in microns.", "M");
    const QCommandLineOption failOnWarnings("fail-on-warnings", "Exit with status 3 after any warning.");
    const QCommandLineOption propose("auto", "Propose the selection and the reference curve where none is given.");
    const QCommandLineOption frame(kFrameRule.option, "Frame or page of a DICOM or TIFF file, from 0.", "N");
    const QCommandLineOption jobs(kJobsRule.option, "Images measured at once.", "N");
    parser.addOptions({help,           version,           output,         csv,           parameters,   saveParameters,
                       selection,      tolerance,         minConnection,  maxConnection, smoothLevel,  smoothCount,
                       divideCount,    reference,         unitLine,       unitMicrons,   lateralScale, axialScale,
                       secondUnitLine, secondUnitMicrons, failOnWarnings, frame,         jobs,         propose});
    parser.addPositionalArgument("images", "The images to measure.");

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
    read.imagePaths = parser.positionalArguments();
    if (read.imagePaths.isEmpty()) {
        error = "no image given (see --help)";
        return false;
    }
    if (read.imagePaths.size() > 1 || parser.isSet(jobs)) {
        for (const auto* option : {&output, &saveParameters}) {
            if (parser.isSet(*option)) {
                error = "--" + option->names().back().toStdString()
                    + " names one file, but a study (several images, or --jobs) writes each report beside its "
                      "image";
                return false;
            }
        }
    }
    if (parser.isSet(jobs) && !parseWholeOption(kJobsRule, parser.value(jobs).toStdString(), read.jobs, error))
        return false;
    read.failOnWarnings = parser.isSet(failOnWarnings);
    read.propose = parser.isSet(propose);
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

    MeasureSettings& settings = read.settings;
    if (parser.isSet(frame)) {
        int value = 0;
        if (!parseWholeOption(kFrameRule, parser.value(frame).toStdString(), value, error))
            return false;
        settings.frame = value;
    }
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
        {&secondUnitMicrons, {&kSecondUnitMicronsRule, &settings.secondUnitMicrons}},
    };
    for (const auto& [option, target] : decimals) {
        if (!parser.isSet(*option))
            continue;
        double value = 0.0;
        if (!parseDecimalOption(*target.first, parser.value(*option).toStdString(), value, error))
            return false;
        *target.second = value;
    }
    for (const auto& [option, target] :
         {std::pair{&lateralScale, std::pair{&kLateralScaleRule, &settings.lateralMicronsPerPixel}},
          std::pair{&axialScale, std::pair{&kAxialScaleRule, &settings.axialMicronsPerPixel}}}) {
        if (!parser.isSet(*option))
            continue;
        double value = 0.0;
        if (!parseScaleOption(*target.first, parser.value(*option).toStdString(), value, error))
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
                error = optionError(kReferenceOption, value.toStdString(), "X,Y");
                return false;
            }
            points.push_back(Point2d{xy[0], xy[1]});
        }
        settings.reference = points;
    }
    for (const auto& [option, target] :
         {std::pair{&unitLine, &settings.unitLine}, std::pair{&secondUnitLine, &settings.secondUnitLine}}) {
        if (!parser.isSet(*option))
            continue;
        std::array<Point2d, 2> line;
        if (!parseLineOption(option->names().back().toLatin1().constData(), parser.value(*option).toStdString(), line,
                             error))
            return false;
        *target = line;
    }
    commandLine = read;
    return true;
}

} // namespace measure
