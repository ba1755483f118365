#pragma once

// The command line of quorrel-measure, read and checked strictly.

#include <cstdint>
#include <string>

#include <QString>
#include <QStringList>

#include "MeasureSettings.h"

namespace measure {

// What the command line asks for besides the settings.
struct CommandLine {
    bool showHelp = false;
    bool showVersion = false;
    QString imagePath;
    QString outputPath; // empty: standard output
    QString csvPath; // empty: no table
    QString parametersPath; // empty: no parameters file
    QString saveParametersPath;
    std::uint32_t frame = 0; // of a DICOM or TIFF file
    MeasureSettings settings; // only what the options give
};

// Reads the command line (arguments[0] is the program). False with a
// one-line error for an unknown option, a malformed or out-of-range number,
// or not exactly one image.
bool parseCommandLine(const QStringList& arguments, CommandLine& commandLine, std::string& error);

} // namespace measure
