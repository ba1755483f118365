#pragma once

// The command line of quorrel-measure: the images, the outputs and the
// settings, which override those of a measurement file, read and checked
// strictly. The settings themselves, their ranges and the file are shared
// with the window (analysis/MeasurementSettings.h, core/MeasurementFile.h).

#include <string>

#include <QString>
#include <QStringList>

#include "analysis/MeasurementSettings.h"

namespace measure {

using MeasureSettings = quorrel::MeasurementSettings;
using quorrel::ToleranceSetting;
using quorrel::ViewerRect;

// What the command line asks for besides the settings.
struct CommandLine {
    bool showHelp = false;
    bool showVersion = false;
    QStringList imagePaths; // in the order given, at least one
    QString outputPath; // empty: standard output (one image only)
    QString csvPath; // empty: no table
    QString parametersPath; // empty: each image's own file, or the options only
    QString saveParametersPath; // one image only
    int jobs = 0; // images measured at once; 0: one per core
    bool failOnWarnings = false; // a warning makes the status kWarned
    bool propose = false; // --auto: propose the selection and reference curve where none is given
    MeasureSettings settings; // only what the options give
};

// Reads the command line (arguments[0] is the program). False with a
// one-line error for an unknown option, a malformed or out-of-range number,
// no image, or an option that names one output with several images.
bool parseCommandLine(const QStringList& arguments, CommandLine& commandLine, std::string& error);

} // namespace measure
