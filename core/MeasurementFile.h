#pragma once

// The measurement file: the settings and hand-made steps of one measurement
// as JSON, beside its report. One reader and one writer serve the window
// (Save, Open Measurement) and quorrel-measure (--params, --save-params).
//
// Versions: files without "version" are version 1 (settings only); version 2
// adds the image, its frame, region and whitened rectangles, erased edge
// points, differing smoothing levels and moved points; version 3 the axis
// scales, their source and a second unit line. Every key is optional.

#include <string>

#include <QString>

#include "analysis/MeasurementSettings.h"

namespace quorrel {

constexpr int kMeasurementFileVersion = 3;

// Parses a file's text and lays what it sets over settings. False with a
// one-line error for bad JSON, a newer version, an unknown key or a value of
// the wrong type or out of range, naming the line ("line 4: ..."); settings
// are then unchanged.
bool parseMeasurementFile(const std::string& text, MeasurementSettings& settings, std::string& error);

// Reads and parses a file; false with the error of parseMeasurementFile or of
// reading, not yet naming the file.
bool readMeasurementFile(const QString& path, MeasurementSettings& settings, std::string& error);

// The settings as a file of the current version: the image when set, then
// every setting with the value a run uses (defaults filled in), then the
// steps that were taken; one key a line, ending in a newline.
std::string formatMeasurementFile(const MeasurementSettings& settings);

// The SHA-256 of a file's bytes in lower-case hex; false with a reason when
// the file cannot be read.
bool fileSha256(const QString& path, std::string& hex, std::string& error);

// The measurement file that goes with a report: NAME.json for NAME.txt (any
// case of "txt"), else the report's name with ".json" added.
QString measurementFilePathFor(const QString& reportPath);

} // namespace quorrel
