#pragma once

// One image measured from its settings, without printing anything, so that
// a single run and every thread of a study share it.

#include <string>
#include <vector>

#include <QString>

#include "CommandLineOptions.h"

namespace measure {

constexpr int kMeasured = 0;
constexpr int kMeasurementFailed = 1;
constexpr int kBadArguments = 2;
// Every output was written, but a warning was given and --fail-on-warnings
// asked to say so.
constexpr int kWarned = 3;

// What measuring one image gave: the report and its table row, or the reason
// it failed; warnings either way.
struct ImageOutcome {
    int status = kMeasured;
    std::string error; // one line, when status is not kMeasured
    std::vector<std::string> warnings; // one line each
    std::string report;
    std::string csvRow;
    MeasureSettings settings; // as measured, with the image's path (and checksum when kept)
};

// Reads a measurement file; the error names the file.
bool readSettingsFile(const QString& path, MeasureSettings& settings, std::string& error);

// The image's own measurement file, NAME.json beside NAME.png.
QString parametersPathBeside(const QString& imagePath);

// Where a study writes an image's report: NAME.report.txt beside NAME.png.
QString reportPathBeside(const QString& imagePath);

// Measures the image with shared (from --params) when given; else, when the
// options give no selection, with the image's own measurement file; then
// with the options laid over. The file's image path is never read: only
// imagePath is, and a checksum that differs from the one the file recorded
// for a file of that name gives a warning.
// With propose, a missing selection and a reference curve of fewer than two
// points are proposed from the image instead of refused, and the outcome's
// settings hold what was proposed as ordinary settings, so that a saved
// measurement file repeats the run without proposing again.
// With keepChecksum the outcome's settings carry the image's SHA-256 for a
// measurement file to be saved; without it the file is hashed only to compare.
ImageOutcome measureImage(const QString& imagePath, const MeasureSettings* shared, const MeasureSettings& options,
                          bool propose = false, bool keepChecksum = false);

} // namespace measure
