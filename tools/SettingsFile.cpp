#include "SettingsFile.h"

#include <climits>
#include <cmath>
#include <iterator>

#include <QFile>

#include <nlohmann/json.hpp>

#include "StrictText.h"

namespace measure {

namespace {

using quorrel::Point2d;

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
    const ToleranceSetting tolerance =
        settings.tolerance.value_or(ToleranceSetting{false, kStartValues.maxColorDistance});
    if (tolerance.estimate)
        root[kToleranceRule.key] = "estimate";
    else
        root[kToleranceRule.key] = tolerance.value;
    root[kMinConnectionRule.key] = settings.minConnection.value_or(kStartValues.minLineConnectionDistance);
    root[kMaxConnectionRule.key] = settings.maxConnection.value_or(kStartValues.maxLineConnectionDistance);
    root[kSmoothLevelRule.key] = settings.smoothLevel.value_or(kStartValues.smoothLevel);
    root[kSmoothCountRule.key] = settings.smoothCount.value_or(kStartValues.smoothCount);
    root[kDivideCountRule.key] = settings.divideCount.value_or(kStartValues.curveDividingCount);
    nlohmann::ordered_json points = nlohmann::ordered_json::array();
    for (const Point2d& point : settings.reference.value_or(std::vector<Point2d>{}))
        points.push_back(pointToJson(point));
    root[kReferenceKey] = points;
    const std::array<Point2d, 2> unitLine = settings.unitLine.value_or(std::array<Point2d, 2>{});
    root[kUnitLineKey] = {pointToJson(unitLine[0]), pointToJson(unitLine[1])};
    root[kUnitMicronsRule.key] = settings.unitMicrons.value_or(kStartValues.unitMicron);
    // One setting per line, each value compact, so that a point list stays
    // readable and a changed setting shows as one changed line.
    std::string text = "{\n";
    for (auto entry = root.begin(); entry != root.end(); ++entry) {
        text += "  " + nlohmann::ordered_json(entry.key()).dump() + ": " + entry.value().dump();
        text += std::next(entry) == root.end() ? "\n" : ",\n";
    }
    return text + "}\n";
}

} // namespace measure
