#include "MeasureOutput.h"

#include <charconv>
#include <cmath>

#include <QFile>
#include <QSaveFile>

namespace measure {

namespace {

using quorrel::kFovealPointLabels;

// The slope columns are named by the two points of their wall segment.
constexpr const char* kSegmentNames[4] = {"AB", "BC", "CD", "DE"};

void appendNumber(std::string& row, double value)
{
    row += ',';
    row += csvNumber(value);
}

} // namespace

std::string csvHeader()
{
    std::string header = "image";
    for (char label : kFovealPointLabels) {
        for (const char* side : {"top", "bottom"}) {
            for (const char* axis : {"x", "y"})
                header += std::string(",") + label + "_" + side + "_" + axis;
        }
    }
    for (char label : kFovealPointLabels)
        header += std::string(",") + label + "_thickness_px";
    header += ",unit_length_px,unit_length_um";
    for (char label : kFovealPointLabels)
        header += std::string(",") + label + "_thickness_um";
    header += ",width_px,width_um,depth_c_line_px,depth_c_line_um,depth_perpendicular_px,depth_perpendicular_um";
    for (const char* suffix : {"", "_rad", "_deg"}) {
        for (const char* segment : kSegmentNames)
            header += std::string(",slope_") + segment + suffix;
    }
    return header + "\n";
}

std::string csvRow(const std::string& imagePath, const quorrel::FovealMeasurements& m)
{
    std::string row = csvField(imagePath);
    for (std::size_t i = 0; i < kFovealPointLabels.size(); ++i) {
        appendNumber(row, m.topPoints[i].x);
        appendNumber(row, m.topPoints[i].y);
        appendNumber(row, m.bottomPoints[i].x);
        appendNumber(row, m.bottomPoints[i].y);
    }
    for (double distance : m.pixelDistances)
        appendNumber(row, distance);
    appendNumber(row, m.unitPixelLength);
    appendNumber(row, m.unitMicron);
    for (double distance : m.micronDistances)
        appendNumber(row, distance);
    appendNumber(row, m.fovealPixelWidth);
    appendNumber(row, m.fovealMicronWidth);
    const double notDetermined = std::nan("");
    appendNumber(row, m.depthAlongCLineDetermined ? m.depthAlongCLinePixel : notDetermined);
    appendNumber(row, m.depthAlongCLineDetermined ? m.depthAlongCLineMicron : notDetermined);
    appendNumber(row, m.perpendicularDepthDetermined ? m.perpendicularDepthPixel : notDetermined);
    appendNumber(row, m.perpendicularDepthDetermined ? m.perpendicularDepthMicron : notDetermined);
    for (const auto* figures : {&m.slopes, &m.slopeRadians, &m.slopeDegrees}) {
        for (double figure : *figures)
            appendNumber(row, figure);
    }
    return row + "\n";
}

std::string csvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string field = "\"";
    for (char c : text) {
        if (c == '"')
            field += '"';
        field += c;
    }
    return field + "\"";
}

std::string csvNumber(double value)
{
    if (!std::isfinite(value))
        return std::string();
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

bool appendCsvRow(const QString& path, const std::string& row, std::string& error)
{
    const std::string name = "CSV file \"" + path.toStdString() + "\": ";
    const std::string header = csvHeader();
    QFile file(path);
    bool needsHeader = true;
    bool endsInLineBreak = true;
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly)) {
            error = name + file.errorString().toStdString();
            return false;
        }
        const QByteArray firstLine = file.readLine();
        needsHeader = firstLine.isEmpty();
        if (!needsHeader && file.seek(file.size() - 1))
            endsInLineBreak = file.read(1) == "\n";
        file.close();
        // Rows of other columns below this header would shift every figure
        // into the wrong column. A spreadsheet may have saved it with CR LF.
        const std::string firstText = QByteArray(firstLine).replace("\r\n", "\n").toStdString();
        if (!needsHeader && firstText != header) {
            error = name + "its header is not this program's; append to a new file";
            return false;
        }
    }
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        error = name + file.errorString().toStdString();
        return false;
    }
    // A last line without its line break would swallow the new row.
    const std::string text = needsHeader ? header + row : endsInLineBreak ? row : "\n" + row;
    const qint64 size = static_cast<qint64>(text.size());
    const bool written = file.write(text.data(), size) == size && file.flush();
    file.close();
    if (!written || file.error() != QFileDevice::NoError) {
        error = name + file.errorString().toStdString();
        return false;
    }
    return true;
}

bool writeFileCompletely(const QString& path, const std::string& content, std::string& error)
{
    QSaveFile file(path);
    const qint64 size = static_cast<qint64>(content.size());
    if (!file.open(QIODevice::WriteOnly) || file.write(content.data(), size) != size || !file.commit()) {
        error = "cannot write \"" + path.toStdString() + "\": " + file.errorString().toStdString();
        return false;
    }
    return true;
}

} // namespace measure
