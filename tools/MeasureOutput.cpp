#include "MeasureOutput.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

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

// The columns of the 50 lines, which tables written before the run in
// microns end with.
std::string reportColumns()
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
    return header;
}

// The calibrated figures as the 50 lines' columns name them, with "cal_" in
// front and in microns and degrees of real space; points in image pixels.
std::string calibratedColumns()
{
    std::string header = ",scale_lateral_um_per_px,scale_axial_um_per_px,scale_source";
    for (char label : kFovealPointLabels) {
        for (const char* side : {"top", "bottom"}) {
            for (const char* axis : {"x", "y"})
                header += std::string(",cal_") + label + "_" + side + "_" + axis;
        }
    }
    for (char label : kFovealPointLabels)
        header += std::string(",cal_") + label + "_thickness_um";
    header += ",cal_width_um,cal_depth_c_line_um,cal_depth_perpendicular_um";
    for (const char* suffix : {"", "_rad", "_deg"}) {
        for (const char* segment : kSegmentNames)
            header += std::string(",cal_slope_") + segment + suffix;
    }
    return header;
}

void appendCalibrated(std::string& row, const quorrel::CalibratedMeasurements& calibrated)
{
    const quorrel::AxisScales& scales = calibrated.scales;
    const double notSet = std::nan("");
    appendNumber(row, scales.isSet() ? scales.lateralMicronsPerPixel : notSet);
    appendNumber(row, scales.isSet() ? scales.axialMicronsPerPixel : notSet);
    row += ',';
    row += scales.isSet() ? csvField(scales.source) : std::string();
    const bool determined = calibrated.determined;
    const quorrel::FovealMeasurements& m = calibrated.figures;
    for (std::size_t i = 0; i < kFovealPointLabels.size(); ++i) {
        for (const quorrel::Point2d& point : {calibrated.topPoints[i], calibrated.bottomPoints[i]}) {
            appendNumber(row, determined ? point.x : notSet);
            appendNumber(row, determined ? point.y : notSet);
        }
    }
    for (double distance : m.pixelDistances)
        appendNumber(row, determined ? distance : notSet);
    appendNumber(row, determined ? m.fovealPixelWidth : notSet);
    appendNumber(row, determined && m.depthAlongCLineDetermined ? m.depthAlongCLinePixel : notSet);
    appendNumber(row, determined && m.perpendicularDepthDetermined ? m.perpendicularDepthPixel : notSet);
    for (const auto* figures : {&m.slopes, &m.slopeRadians, &m.slopeDegrees}) {
        for (double figure : *figures)
            appendNumber(row, determined ? figure : notSet);
    }
}

} // namespace

std::string csvHeader()
{
    return reportColumns() + calibratedColumns() + ",warnings\n";
}

std::string csvRow(const std::string& imagePath, const quorrel::FovealMeasurements& m,
                   const quorrel::CalibratedMeasurements& calibrated, const std::string& warnings)
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
    appendCalibrated(row, calibrated);
    return row + "," + csvField(warnings) + "\n";
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

bool tableWithRow(const QString& path, const std::string& row, std::string& table, std::string& error)
{
    const std::string name = "CSV file \"" + path.toStdString() + "\": ";
    const std::string header = csvHeader();
    QFile file(path);
    if (!file.exists()) {
        table = header + row;
        return true;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        error = name + file.errorString().toStdString();
        return false;
    }
    const QByteArray existing = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = name + file.errorString().toStdString();
        return false;
    }
    if (existing.isEmpty()) {
        table = header + row;
        return true;
    }
    // Rows of other columns below this header would shift every figure into
    // the wrong column. A spreadsheet may have saved it with CR LF.
    const int lineEnd = existing.indexOf('\n');
    QByteArray firstLine = lineEnd < 0 ? existing : existing.left(lineEnd + 1);
    firstLine.replace("\r\n", "\n");
    if (firstLine.toStdString() == reportColumns() + "\n") {
        error = name
            + "it has the columns of an earlier version, without the run in microns and the warnings; "
              "append to a new file";
        return false;
    }
    if (firstLine.toStdString() != header) {
        error = name + "its header is not this program's; append to a new file";
        return false;
    }
    // A last line without its line break would swallow the new row.
    table = existing.toStdString() + (existing.endsWith('\n') ? "" : "\n") + row;
    return true;
}

StagedOutputs::~StagedOutputs()
{
    for (const Staged& staged : m_staged)
        QFile::remove(staged.temporaryPath);
}

bool StagedOutputs::stage(const QString& path, const std::string& content, std::string& error)
{
    const std::string name = "cannot write \"" + path.toStdString() + "\": ";
    const QFileInfo link(path);
    const QString target = link.isSymLink() ? link.symLinkTarget() : path;
    const QFileInfo existing(target);
    if (existing.exists() && (!existing.isFile() || !existing.isWritable())) {
        error = name + (existing.isFile() ? "the file is not writable" : "not a file");
        return false;
    }
    QTemporaryFile file(target + QStringLiteral(".XXXXXX"));
    file.setAutoRemove(false);
    if (!file.open()) {
        error = name + file.errorString().toStdString();
        return false;
    }
    m_staged.push_back(Staged{file.fileName(), target});
    // The new file gets the old one's permissions, or those a new file gets.
    struct stat status;
    mode_t mode = 0;
    if (::stat(QFile::encodeName(target).constData(), &status) == 0) {
        mode = status.st_mode & 07777;
    } else {
        // The mask can only be read by setting it. Reading it once, in a
        // thread-safe initialisation, keeps the threads of a study from
        // reading one another's momentary 0.
        static const mode_t mask = [] {
            const mode_t current = ::umask(0);
            ::umask(current);
            return current;
        }();
        mode = 0666 & ~mask;
    }
    const qint64 size = static_cast<qint64>(content.size());
    const bool written = file.write(content.data(), size) == size && file.flush() && ::fchmod(file.handle(), mode) == 0
        && ::fsync(file.handle()) == 0;
    if (!written) {
        error = name
            + (file.error() != QFileDevice::NoError ? file.errorString().toStdString()
                                                    : std::string(std::strerror(errno)));
        return false;
    }
    file.close();
    return true;
}

bool StagedOutputs::commit(std::string& error)
{
    while (!m_staged.empty()) {
        const Staged& staged = m_staged.front();
        if (std::rename(QFile::encodeName(staged.temporaryPath).constData(),
                        QFile::encodeName(staged.targetPath).constData())
            != 0) {
            error = "cannot write \"" + staged.targetPath.toStdString() + "\": " + std::strerror(errno);
            return false;
        }
        m_staged.erase(m_staged.begin());
    }
    return true;
}

} // namespace measure
