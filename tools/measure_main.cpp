// quorrel-measure: the window's measurement without a window: one image, or
// a whole study in one process, for batches and for repeating measurements
// later from their stored settings.

#include <algorithm>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>

#include <sched.h>

#include <QCoreApplication>

#include "CommandLineOptions.h"
#include "HelpText.h"
#include "ImageMeasurement.h"
#include "MeasureOutput.h"
#include "StudyRun.h"
#include "core/MeasurementFile.h"
#include "imageio/PictureMemory.h"

namespace {

using measure::kBadArguments;
using measure::kMeasured;
using measure::kMeasurementFailed;

int fail(int status, const std::string& message)
{
    std::fprintf(stderr, "quorrel-measure: %s\n", message.c_str());
    return status;
}

bool writeToStandardOutput(const std::string& text)
{
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
}

// One image: the report on standard output or in -o, and the parameters
// file and the table row when asked for, all of them or none.
int measureOneImage(const measure::CommandLine& commandLine, const measure::MeasureSettings* shared)
{
    const QString& imageName = commandLine.imagePaths.front();
    const measure::ImageOutcome outcome = measure::measureImage(
        imageName, shared, commandLine.settings, commandLine.propose, !commandLine.saveParametersPath.isEmpty());
    if (outcome.status != kMeasured)
        return fail(outcome.status, outcome.error);

    // Every output is complete beside its target before any of them replaces
    // what was there; a failure on the way leaves all of them as they were.
    std::string error;
    measure::StagedOutputs outputs;
    const QString& outputPath = commandLine.outputPath;
    const bool toStandardOutput = outputPath.isEmpty() || outputPath == QLatin1String("-");
    if (!toStandardOutput && !outputs.stage(outputPath, outcome.report, error))
        return fail(kMeasurementFailed, error);
    if (!commandLine.saveParametersPath.isEmpty()
        && !outputs.stage(commandLine.saveParametersPath, quorrel::formatMeasurementFile(outcome.settings), error))
        return fail(kMeasurementFailed, error);
    if (!commandLine.csvPath.isEmpty()) {
        std::string table;
        if (!measure::tableWithRow(commandLine.csvPath, outcome.csvRow, table, error)
            || !outputs.stage(commandLine.csvPath, table, error))
            return fail(kMeasurementFailed, error);
    }
    if (toStandardOutput && !writeToStandardOutput(outcome.report))
        return fail(kMeasurementFailed, "cannot write the report to standard output");
    if (!outputs.commit(error))
        return fail(kMeasurementFailed, error);
    for (const std::string& warning : outcome.warnings)
        std::fprintf(stderr, "quorrel-measure: warning: %s\n", warning.c_str());
    return commandLine.failOnWarnings && !outcome.warnings.empty() ? measure::kWarned : kMeasured;
}

// One image at a time per core this process may run on: a job runner or
// taskset that hands it fewer cores than the machine has is obeyed.
int defaultJobs()
{
    cpu_set_t cores;
    CPU_ZERO(&cores);
    if (::sched_getaffinity(0, sizeof cores, &cores) == 0 && CPU_COUNT(&cores) > 0)
        return CPU_COUNT(&cores);
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

// Several images: each report beside its image, one table for all of them
// in the order given, and a non-zero status when any image failed.
int measureStudy(const measure::CommandLine& commandLine, const measure::MeasureSettings* shared)
{
    const int jobs = commandLine.jobs > 0 ? commandLine.jobs : defaultJobs();
    const measure::StudyResult study =
        measure::runStudy(commandLine.imagePaths, shared, commandLine.settings, jobs, commandLine.propose);
    int status = study.status;
    if (!commandLine.csvPath.isEmpty() && !study.csvRows.empty()) {
        std::string rows;
        for (const std::string& row : study.csvRows)
            rows += row;
        std::string table;
        std::string error;
        measure::StagedOutputs outputs;
        if (!measure::tableWithRow(commandLine.csvPath, rows, table, error)
            || !outputs.stage(commandLine.csvPath, table, error) || !outputs.commit(error))
            status = fail(kMeasurementFailed, error);
    }
    if (study.failedCount > 0)
        fail(status,
             std::to_string(study.failedCount) + " of " + std::to_string(commandLine.imagePaths.size())
                 + " images failed; the reports of the others were written");
    // A failure says more than a warning.
    if (status == kMeasured && commandLine.failOnWarnings && study.warnedCount > 0)
        status = fail(measure::kWarned,
                      std::to_string(study.warnedCount) + " of " + std::to_string(commandLine.imagePaths.size())
                          + " images gave warnings; every report was written");
    return status;
}

int runCommand(int argc, char* argv[])
{
    // Qt's image readers, which the shared loading code puts in front of the
    // image library, find their plugins through the application object; a
    // core application needs no display.
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorrel-measure"));
    // The memory a decode frees serves the fill after it, and one image's
    // memory the next image's in a study.
    quorrel::keepFreedPictureMemory();

    measure::CommandLine commandLine;
    std::string error;
    if (!measure::parseCommandLine(QCoreApplication::arguments(), commandLine, error))
        return fail(kBadArguments, error);
    if (commandLine.showHelp)
        return writeToStandardOutput(measure::helpText()) ? kMeasured : kMeasurementFailed;
    if (commandLine.showVersion)
        return writeToStandardOutput("quorrel-measure " QUORREL_VERSION "\n") ? kMeasured : kMeasurementFailed;

    measure::MeasureSettings shared;
    const bool hasShared = !commandLine.parametersPath.isEmpty();
    if (hasShared && !measure::readSettingsFile(commandLine.parametersPath, shared, error))
        return fail(kBadArguments, error);
    // --jobs asks for a study even of one image, so that a job runner's list
    // of one image still gets its report beside it.
    if (commandLine.imagePaths.size() == 1 && commandLine.jobs == 0)
        return measureOneImage(commandLine, hasShared ? &shared : nullptr);
    return measureStudy(commandLine, hasShared ? &shared : nullptr);
}

} // namespace

int main(int argc, char* argv[])
{
    // Running out of memory is a failure like any other: one line, and the
    // staged outputs are removed while the exception unwinds.
    try {
        return runCommand(argc, argv);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    return fail(kMeasurementFailed,
                "out of memory: the measurement needs more memory than the system gives it; "
                "nothing was written");
}
