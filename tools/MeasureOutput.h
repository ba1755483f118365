#pragma once

// What the headless measurement writes: the report and the parameters file,
// each either complete or not at all, and one CSV row per image appended to
// a table that spreadsheets and pandas open.

#include <string>

#include <QString>

#include "analysis/MeasurementReport.h"

namespace measure {

// The table's header line: "image", then every figure of the report in its
// order; ends in '\n'.
std::string csvHeader();

// One row: the image path, quoted as RFC 4180 asks, then the figures in the
// header's order; ends in '\n'. A figure that cannot be computed (NaN, an
// infinity, a depth not determined) is an empty field.
std::string csvRow(const std::string& imagePath, const quorrel::FovealMeasurements& measurements);

// A text field, in double quotes (inner ones doubled) when it holds a comma,
// a quote or a line break.
std::string csvField(const std::string& text);

// A number in the shortest form that reads back as the same double; empty
// for NaN and the infinities.
std::string csvNumber(double value);

// Appends row to the table at path, with the header first when the file is
// new or empty. False with an error when the file cannot be written or
// already starts with another header.
bool appendCsvRow(const QString& path, const std::string& row, std::string& error);

// Writes content to path through a temporary file renamed into place, so
// that path holds either its old content or all of the new. False with an
// error when that fails.
bool writeFileCompletely(const QString& path, const std::string& content, std::string& error);

} // namespace measure
