#include "core/MeasurementFile.h"

#include <climits>
#include <cmath>
#include <iterator>
#include <map>
#include <set>

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

#include <nlohmann/json.hpp>

namespace quorrel {

namespace {

using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

constexpr const char* kVersionKey = "version";
constexpr const char* kImageKey = "image";
constexpr const char* kRegionKey = "region";
constexpr const char* kWhitenedKey = "whitened";
constexpr const char* kSelectionKey = "selection";
constexpr const char* kErasedKey = "erased";
constexpr const char* kSmoothLevelsKey = "smoothLevels";
constexpr const char* kReferenceKey = "reference";
constexpr const char* kUnitLineKey = "unitLine";
constexpr const char* kMovedKey = "moved";
constexpr const char* kScaleSourceKey = "scaleSource";
constexpr const char* kSecondUnitLineKey = "secondUnitLine";
// How long the stated source of the axis scales may be.
constexpr std::size_t kLargestScaleSourceLength = 200;

std::string quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

// The line of each key of the top-level object of a text that parsed, for
// messages about its value: the parsed document keeps no positions.
std::map<std::string, int> topLevelKeyLines(const std::string& text)
{
    std::map<std::string, int> lines;
    int line = 1;
    int depth = 0;
    bool expectKey = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n') {
            ++line;
        } else if (c == '"') {
            const std::size_t start = i;
            for (++i; i < text.size() && text[i] != '"'; ++i) {
                if (text[i] == '\\')
                    ++i;
            }
            if (depth == 1 && expectKey) {
                try {
                    lines.emplace(Json::parse(text.substr(start, i - start + 1)).get<std::string>(), line);
                } catch (const Json::exception&) {
                }
            }
            expectKey = false;
        } else if (c == '{' || c == '[') {
            ++depth;
            expectKey = c == '{' && depth == 1;
        } else if (c == '}' || c == ']') {
            --depth;
        } else if (c == ',' && depth == 1) {
            expectKey = true;
        }
    }
    return lines;
}

// The library's messages start with an internal tag in brackets.
std::string withoutTag(const std::string& message)
{
    const std::size_t close = message.find("] ");
    return message.size() > 0 && message[0] == '[' && close != std::string::npos ? message.substr(close + 2) : message;
}

bool readWholeValue(const Json& value, long long minimum, long long maximum, int& out)
{
    if (!value.is_number_integer())
        return false;
    // Unsigned numbers above the signed range read back negative.
    if (value.is_number_unsigned() && value.get<unsigned long long>() > static_cast<unsigned long long>(LLONG_MAX))
        return false;
    const auto number = value.get<long long>();
    if (number < minimum || number > maximum)
        return false;
    out = static_cast<int>(number);
    return true;
}

bool readDecimalValue(const Json& value, double& out)
{
    if (!value.is_number())
        return false;
    out = value.get<double>();
    return std::isfinite(out);
}

bool readPoint(const Json& value, Point2d& point)
{
    return value.is_array() && value.size() == 2 && readDecimalValue(value[0], point.x)
        && readDecimalValue(value[1], point.y);
}

// An object of exactly the named whole numbers, each within the int range.
template <std::size_t N> bool readWholeFields(const Json& value, const char* const (&names)[N], int (&values)[N])
{
    if (!value.is_object() || value.size() != N)
        return false;
    for (std::size_t i = 0; i < N; ++i) {
        const auto found = value.find(names[i]);
        if (found == value.end() || !readWholeValue(*found, INT_MIN, INT_MAX, values[i]))
            return false;
    }
    return true;
}

// {"x": X, "y": Y, "width": W, "height": H}, W and H at least minimumSize.
bool readRect(const Json& value, int minimumSize, ViewerRect& rect)
{
    static const char* const names[4] = {"x", "y", "width", "height"};
    int values[4] = {};
    if (!readWholeFields(value, names, values) || values[2] < minimumSize || values[3] < minimumSize)
        return false;
    rect = ViewerRect{values[0], values[1], values[2], values[3]};
    return true;
}

const std::string kRectShape = "{\"x\": X, \"y\": Y, \"width\": WIDTH, \"height\": HEIGHT} in whole pixels";

bool isSha256(const std::string& text)
{
    return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

class FileReader {
public:
    FileReader(const std::string& text, std::string& error)
        : m_lines(topLevelKeyLines(text))
        , m_error(error)
    {
    }

    bool read(const Json& root, MeasurementSettings& read)
    {
        if (!root.is_object()) {
            m_error = "line 1: the top level must be an object of settings";
            return false;
        }
        // A newer file may hold keys this program does not know; say why
        // it is refused rather than name the first of them.
        const auto version = root.find(kVersionKey);
        if (version != root.end()) {
            int number = 0;
            if (!readWholeValue(*version, 1, INT_MAX, number))
                return fail(kVersionKey, "must be a whole number of at least 1");
            if (number > kMeasurementFileVersion)
                return fail(kVersionKey,
                            "the file is of version " + std::to_string(number) + ", written by a newer Quorrel; "
                                + "this one reads versions 1 to " + std::to_string(kMeasurementFileVersion));
        }
        for (auto entry = root.begin(); entry != root.end(); ++entry) {
            if (!readKey(entry.key(), entry.value(), read))
                return false;
        }
        if (read.smoothLevels && (read.smoothLevel || read.smoothCount))
            return fail(kSmoothLevelsKey,
                        "replaces \"smoothLevel\" and \"smoothCount\"; give either the list or the two of them");
        return true;
    }

private:
    // "line N: " and the message, which starts with the key when asked to.
    bool fail(const std::string& key, const std::string& message, bool startWithKey = true)
    {
        const auto line = m_lines.find(key);
        m_error = (line != m_lines.end() ? "line " + std::to_string(line->second) + ": " : std::string())
            + (startWithKey ? quoted(key) + " " : std::string()) + message;
        return false;
    }

    bool readKey(const std::string& key, const Json& value, MeasurementSettings& read)
    {
        if (key == kVersionKey)
            return true;
        if (key == kImageKey)
            return readImage(value, read);
        if (key == kSelectionKey) {
            ViewerRect rect;
            if (!readRect(value, 1, rect))
                return fail(key, "must be " + kRectShape + " with WIDTH and HEIGHT at least 1");
            read.selection = rect;
            return true;
        }
        if (key == kToleranceRule.key) {
            ToleranceSetting tolerance;
            if (value.is_string() && value.get<std::string>() == "estimate") {
                tolerance.estimate = true;
            } else if (!readWholeValue(value, kToleranceRule.minimum, kToleranceRule.maximum, tolerance.value)) {
                return fail(key, "must be " + describe(kToleranceRule) + " or \"estimate\"");
            }
            read.tolerance = tolerance;
            return true;
        }
        for (const auto& [rule, target] :
             {std::pair{&kMinConnectionRule, &read.minConnection}, std::pair{&kMaxConnectionRule, &read.maxConnection},
              std::pair{&kUnitMicronsRule, &read.unitMicrons},
              std::pair{&kLateralScaleRule, &read.lateralMicronsPerPixel},
              std::pair{&kAxialScaleRule, &read.axialMicronsPerPixel},
              std::pair{&kSecondUnitMicronsRule, &read.secondUnitMicrons}}) {
            if (key != rule->key)
                continue;
            double number = 0.0;
            if (!readDecimalValue(value, number) || !inRange(*rule, number))
                return fail(key, "must be " + describe(*rule));
            *target = number;
            return true;
        }
        for (const auto& [rule, target] :
             {std::pair{&kSmoothLevelRule, &read.smoothLevel}, std::pair{&kSmoothCountRule, &read.smoothCount},
              std::pair{&kDivideCountRule, &read.divideCount}, std::pair{&kFrameRule, &read.frame}}) {
            if (key != rule->key)
                continue;
            int number = 0;
            if (!readWholeValue(value, rule->minimum, rule->maximum, number))
                return fail(key, "must be " + describe(*rule));
            *target = number;
            return true;
        }
        if (key == kReferenceKey) {
            std::vector<Point2d> points(value.is_array() ? value.size() : 0);
            bool valid = value.is_array();
            for (std::size_t i = 0; valid && i < points.size(); ++i)
                valid = readPoint(value[i], points[i]);
            if (!valid)
                return fail(key, "must be a list of [X, Y] points");
            read.reference = points;
            return true;
        }
        for (const auto& [lineKey, target] :
             {std::pair{kUnitLineKey, &read.unitLine}, std::pair{kSecondUnitLineKey, &read.secondUnitLine}}) {
            if (key != lineKey)
                continue;
            std::array<Point2d, 2> ends;
            if (!value.is_array() || value.size() != 2 || !readPoint(value[0], ends[0])
                || !readPoint(value[1], ends[1]))
                return fail(key, "must be [[X1, Y1], [X2, Y2]]");
            *target = ends;
            return true;
        }
        if (key == kRegionKey)
            return readRegion(value, read);
        if (key == kWhitenedKey) {
            std::vector<ViewerRect> rects;
            if (!readList(value, rects, [](const Json& item, ViewerRect& rect) { return readRect(item, 1, rect); }))
                return fail(key,
                            "must be a list of at most " + std::to_string(kLargestStepCount) + " " + kRectShape
                                + " with WIDTH and HEIGHT at least 1");
            read.whitened = rects;
            return true;
        }
        if (key == kErasedKey) {
            std::vector<ViewerErasure> erasures;
            const auto readErasure = [](const Json& item, ViewerErasure& erasure) {
                static const char* const names[5] = {"x", "y", "width", "height", "curvesMadeBefore"};
                int values[5] = {};
                if (!readWholeFields(item, names, values) || values[2] < 0 || values[3] < 0 || values[4] < 0
                    || values[4] > kLargestStepCount)
                    return false;
                erasure = ViewerErasure{ViewerRect{values[0], values[1], values[2], values[3]}, values[4]};
                return true;
            };
            if (!readList(value, erasures, readErasure))
                return fail(key,
                            "must be a list of at most " + std::to_string(kLargestStepCount)
                                + " {\"x\": X, \"y\": Y, \"width\": WIDTH, \"height\": HEIGHT, "
                                  "\"curvesMadeBefore\": N} in whole pixels, none of them negative but X and Y, "
                                  "N at most "
                                + std::to_string(kLargestStepCount));
            read.erasures = erasures;
            return true;
        }
        if (key == kSmoothLevelsKey) {
            std::vector<int> levels;
            const auto readLevel = [](const Json& item, int& level) {
                return readWholeValue(item, kSmoothLevelRule.minimum, kSmoothLevelRule.maximum, level);
            };
            if (!readList(value, levels, readLevel))
                return fail(key,
                            "must be a list of at most " + std::to_string(kLargestStepCount) + " levels, each "
                                + describe(kSmoothLevelRule));
            read.smoothLevels = levels;
            return true;
        }
        if (key == kMovedKey)
            return readMoves(value, read);
        if (key == kScaleSourceKey) {
            if (!value.is_string() || value.get<std::string>().size() > kLargestScaleSourceLength
                || value.get<std::string>().find_first_of("\r\n") != std::string::npos)
                return fail(key,
                            "must be a text of one line and at most " + std::to_string(kLargestScaleSourceLength)
                                + " characters");
            read.scaleSource = value.get<std::string>();
            return true;
        }
        // A misspelt key would otherwise leave its setting at the default
        // without a word.
        return fail(key, "unknown key " + quoted(key), false);
    }

    template <typename Item, typename ReadItem>
    static bool readList(const Json& value, std::vector<Item>& items, ReadItem readItem)
    {
        if (!value.is_array() || value.size() > static_cast<std::size_t>(kLargestStepCount))
            return false;
        items.resize(value.size());
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (!readItem(value[i], items[i]))
                return false;
        }
        return true;
    }

    bool readImage(const Json& value, MeasurementSettings& read)
    {
        ImageReference image;
        bool valid = value.is_object();
        for (auto entry = valid ? value.begin() : value.end(); valid && entry != value.end(); ++entry) {
            valid = entry.value().is_string() && (entry.key() == "path" || entry.key() == "sha256");
            if (valid)
                (entry.key() == "path" ? image.path : image.sha256) = entry.value().get<std::string>();
        }
        if (!valid || (!image.sha256.empty() && !isSha256(image.sha256)))
            return fail(kImageKey, "must be {\"path\": \"FILE\", \"sha256\": \"64 lower-case hex digits\"}");
        read.image = image;
        return true;
    }

    bool readRegion(const Json& value, MeasurementSettings& read)
    {
        static const char* const names[4] = {"x0", "y0", "width", "height"};
        double values[4] = {};
        bool valid = value.is_object() && value.size() == 4;
        for (int i = 0; valid && i < 4; ++i) {
            const auto found = value.find(names[i]);
            valid = found != value.end() && readDecimalValue(*found, values[i])
                && (i < 2 ? values[i] >= 0.0 && values[i] < 1.0 : values[i] > 0.0 && values[i] <= 1.0);
        }
        if (!valid)
            return fail(kRegionKey,
                        "must be {\"x0\": X0, \"y0\": Y0, \"width\": W, \"height\": H}, fractions of the "
                        "image's size with X0 and Y0 from 0 up to 1 and W and H above 0 up to 1");
        read.region = ImageRegion{values[0], values[1], values[2], values[3]};
        return true;
    }

    bool readMoves(const Json& value, MeasurementSettings& read)
    {
        std::vector<PointMove> moves;
        std::set<MovablePoint> seen;
        bool valid = value.is_array() && value.size() <= 6;
        for (std::size_t i = 0; valid && i < value.size(); ++i) {
            const Json& item = value[i];
            PointMove move;
            valid = item.is_object() && item.size() == 3 && item.contains("point") && item["point"].is_string()
                && movablePointFromName(item["point"].get<std::string>(), move.point) && item.contains("x")
                && readDecimalValue(item["x"], move.position.x) && item.contains("y")
                && readDecimalValue(item["y"], move.position.y) && seen.insert(move.point).second;
            moves.push_back(move);
        }
        if (!valid)
            return fail(kMovedKey,
                        "must be a list of {\"point\": NAME, \"x\": X, \"y\": Y}, each NAME once, one of "
                        "\"ATop\", \"ABottom\", \"CTop\", \"CBottom\", \"ETop\", \"EBottom\"");
        read.moves = moves;
        return true;
    }

    std::map<std::string, int> m_lines;
    std::string& m_error;
};

OrderedJson pointToJson(const Point2d& point)
{
    return OrderedJson::array({point.x, point.y});
}

OrderedJson rectToJson(const ViewerRect& rect)
{
    return OrderedJson{{"x", rect.x}, {"y", rect.y}, {"width", rect.width}, {"height", rect.height}};
}

} // namespace

bool parseMeasurementFile(const std::string& text, MeasurementSettings& settings, std::string& error)
{
    Json root;
    try {
        root = Json::parse(text);
    } catch (const Json::exception& exception) {
        error = withoutTag(exception.what());
        return false;
    }
    MeasurementSettings read;
    if (!FileReader(text, error).read(root, read))
        return false;
    overlaySettings(settings, read);
    return true;
}

bool readMeasurementFile(const QString& path, MeasurementSettings& settings, std::string& error)
{
    QFile file(path);
    if (!QFileInfo(path).isFile()) {
        error = QFileInfo::exists(path) ? "not a file" : "no such file";
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString().toStdString();
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = file.errorString().toStdString();
        return false;
    }
    return parseMeasurementFile(bytes.toStdString(), settings, error);
}

std::string formatMeasurementFile(const MeasurementSettings& settings)
{
    OrderedJson root;
    root[kVersionKey] = kMeasurementFileVersion;
    if (settings.image)
        root[kImageKey] = {{"path", settings.image->path}, {"sha256", settings.image->sha256}};
    if (settings.frame)
        root[kFrameRule.key] = *settings.frame;
    if (settings.region) {
        const ImageRegion& region = *settings.region;
        root[kRegionKey] = {{"x0", region.x0}, {"y0", region.y0}, {"width", region.width}, {"height", region.height}};
    }
    if (settings.whitened && !settings.whitened->empty()) {
        OrderedJson rects = OrderedJson::array();
        for (const ViewerRect& rect : *settings.whitened)
            rects.push_back(rectToJson(rect));
        root[kWhitenedKey] = rects;
    }
    if (settings.selection)
        root[kSelectionKey] = rectToJson(*settings.selection);
    const ToleranceSetting tolerance = settings.tolerance.value_or(ToleranceSetting{});
    if (tolerance.estimate)
        root[kToleranceRule.key] = "estimate";
    else
        root[kToleranceRule.key] = tolerance.value;
    if (settings.erasures && !settings.erasures->empty()) {
        OrderedJson erasures = OrderedJson::array();
        for (const ViewerErasure& erasure : *settings.erasures) {
            OrderedJson item = rectToJson(erasure.rect);
            item["curvesMadeBefore"] = erasure.curvesMadeBefore;
            erasures.push_back(item);
        }
        root[kErasedKey] = erasures;
    }
    const MeasurementParameters defaults;
    root[kMinConnectionRule.key] = settings.minConnection.value_or(defaults.minLineConnectionDistance);
    root[kMaxConnectionRule.key] = settings.maxConnection.value_or(defaults.maxLineConnectionDistance);
    if (settings.smoothLevels) {
        root[kSmoothLevelsKey] = *settings.smoothLevels;
    } else {
        root[kSmoothLevelRule.key] = settings.smoothLevel.value_or(defaults.smoothLevel);
        root[kSmoothCountRule.key] = settings.smoothCount.value_or(defaults.smoothCount);
    }
    root[kDivideCountRule.key] = settings.divideCount.value_or(defaults.curveDividingCount);
    OrderedJson points = OrderedJson::array();
    for (const Point2d& point : settings.reference.value_or(std::vector<Point2d>{}))
        points.push_back(pointToJson(point));
    root[kReferenceKey] = points;
    const std::array<Point2d, 2> unitLine = settings.unitLine.value_or(std::array<Point2d, 2>{});
    root[kUnitLineKey] = {pointToJson(unitLine[0]), pointToJson(unitLine[1])};
    root[kUnitMicronsRule.key] = settings.unitMicrons.value_or(defaults.unitMicron);
    if (settings.lateralMicronsPerPixel)
        root[kLateralScaleRule.key] = *settings.lateralMicronsPerPixel;
    if (settings.axialMicronsPerPixel)
        root[kAxialScaleRule.key] = *settings.axialMicronsPerPixel;
    if (settings.scaleSource && (settings.lateralMicronsPerPixel || settings.axialMicronsPerPixel))
        root[kScaleSourceKey] = *settings.scaleSource;
    if (settings.secondUnitLine) {
        root[kSecondUnitLineKey] = {pointToJson((*settings.secondUnitLine)[0]),
                                    pointToJson((*settings.secondUnitLine)[1])};
        if (settings.secondUnitMicrons)
            root[kSecondUnitMicronsRule.key] = *settings.secondUnitMicrons;
    }
    if (settings.moves && !settings.moves->empty()) {
        OrderedJson moves = OrderedJson::array();
        for (const PointMove& move : *settings.moves)
            moves.push_back({{"point", movablePointName(move.point)}, {"x", move.position.x}, {"y", move.position.y}});
        root[kMovedKey] = moves;
    }
    // One setting per line, each value compact, so that a point list stays
    // readable and a changed setting shows as one changed line.
    std::string text = "{\n";
    for (auto entry = root.begin(); entry != root.end(); ++entry) {
        // A path that is not valid UTF-8 has its bad bytes replaced rather
        // than stopping the save.
        text += "  " + OrderedJson(entry.key()).dump() + ": "
            + entry.value().dump(-1, ' ', false, OrderedJson::error_handler_t::replace);
        text += std::next(entry) == root.end() ? "\n" : ",\n";
    }
    return text + "}\n";
}

bool fileSha256(const QString& path, std::string& hex, std::string& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString().toStdString();
        return false;
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file) || file.error() != QFileDevice::NoError) {
        error = file.errorString().toStdString();
        return false;
    }
    hex = hash.result().toHex().toStdString();
    return true;
}

QString measurementFilePathFor(const QString& reportPath)
{
    if (reportPath.endsWith(QStringLiteral(".txt"), Qt::CaseInsensitive))
        return reportPath.left(reportPath.size() - 4) + QStringLiteral(".json");
    return reportPath + QStringLiteral(".json");
}

} // namespace quorrel
