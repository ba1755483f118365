#pragma once

// The parameters file: a JSON object of settings, read strictly and written
// so that it repeats a run.

#include <string>

#include <QString>

#include "MeasureSettings.h"

namespace measure {

// Parses a parameters file's text. False with a one-line error for bad JSON,
// an unknown key, a value of the wrong type or out of range; settings are
// then unchanged.
bool parseSettingsJson(const std::string& text, MeasureSettings& settings, std::string& error);

// Reads and parses a parameters file; the error names the file.
bool readSettingsFile(const QString& path, MeasureSettings& settings, std::string& error);

// Every setting with the value a run uses (start values filled in), as a
// parameters file that reproduces the run; ends in a newline.
std::string settingsToJson(const MeasureSettings& settings);

} // namespace measure
