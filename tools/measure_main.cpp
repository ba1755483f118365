// quorrel-measure: the window's measurement of one image, without a window,
// for batches and for repeating a measurement later from its stored settings.

#include <cstdio>
#include <new>
#include <stdexcept>
#include <string>

#include <QCoreApplication>
#include <QFileInfo>

#include "CommandLineOptions.h"
#include "HelpText.h"
#include "MeasureOutput.h"
#include "MeasureSettings.h"
#include "SettingsFile.h"
#include "StrictText.h"
#include "ViewerCoordinates.h"
#include "analysis/MeasurementPipeline.h"
#include "imageio/ImageFile.h"

namespace {

constexpr int kMeasured = 0;
constexpr int kMeasurementFailed = 1;
constexpr int kBadArguments = 2;

int fail(int status, const std::string& message)
{
    std::fprintf(stderr, "quorrel-measure: %s\n", message.c_str());
    return status;
}

std::string loadFailure(const QString& path, const quorrel::LoadedRegion& loaded)
{
    const QFileInfo file(path);
    if (!file.exists())
        return "no such file";
    if (!file.isFile())
        return "not a file";
    if (!file.isReadable())
        return "permission denied";
    if (!loaded.failure.empty())
        return loaded.failure;
    switch (loaded.status) {
    case quorrel::LoadStatus::NoImageName:
        return "the image library could not be started";
    case quorrel::LoadStatus::DecodeFailed:
        return "not a complete JPG, JPEG, JP2, BMP, PNG, TGA, TIFF or DICOM picture";
    case quorrel::LoadStatus::AllocationFailed:
        return "the picture is empty or too large";
    case quorrel::LoadStatus::Ok:
        break;
    }
    return "unknown failure";
}

bool writeToStandardOutput(const std::string& text)
{
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
}

int runCommand(int argc, char* argv[])
{
    // Qt's image readers, which the shared loading code puts in front of the
    // image library, find their plugins through the application object; a
    // core application needs no display.
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorrel-measure"));

    measure::CommandLine commandLine;
    std::string error;
    if (!measure::parseCommandLine(QCoreApplication::arguments(), commandLine, error))
        return fail(kBadArguments, error);
    if (commandLine.showHelp)
        return writeToStandardOutput(measure::helpText()) ? kMeasured : kMeasurementFailed;
    if (commandLine.showVersion)
        return writeToStandardOutput("quorrel-measure " QUORREL_VERSION "\n") ? kMeasured : kMeasurementFailed;

    measure::MeasureSettings settings;
    if (!commandLine.parametersPath.isEmpty()
        && !measure::readSettingsFile(commandLine.parametersPath, settings, error))
        return fail(kBadArguments, error);
    measure::overlaySettings(settings, commandLine.settings);
    if (!settings.selection)
        return fail(kBadArguments,
                    "no selection: give --selection X,Y,WIDTH,HEIGHT or \"selection\" in the parameters file");
    if (!settings.reference || settings.reference->size() < 2)
        return fail(kBadArguments,
                    "missing reference curve: give at least two --reference X,Y points or \"reference\" "
                    "in the parameters file");
    if (!measure::checkSampleCount(settings, error))
        return fail(kBadArguments, error);

    const QString& imageName = commandLine.imagePath;
    const std::wstring imagePath = imageName.toStdWString();
    const quorrel::LoadedRegion loaded = quorrel::loadImageRegion(imagePath, 0.0, 0.0, 1.0, 1.0, commandLine.frame);
    if (loaded.status != quorrel::LoadStatus::Ok || !loaded.pixels)
        return fail(kMeasurementFailed,
                    "cannot read image " + measure::quoted(imageName.toStdString()) + ": "
                        + loadFailure(imageName, loaded));
    const quorrel::RgbaImageView image{loaded.pixels.get(), static_cast<int>(loaded.width),
                                       static_cast<int>(loaded.height)};
    if (!measure::checkCoordinates(settings, image.width, image.height, error))
        return fail(kBadArguments, error);

    const quorrel::MeasurementParameters parameters =
        measure::toMeasurementParameters(settings, image.width, image.height);
    if (parameters.selection.isEmpty()) {
        const measure::ViewerRect& rect = *settings.selection;
        return fail(kMeasurementFailed,
                    "the selection " + std::to_string(rect.x) + "," + std::to_string(rect.y) + ","
                        + std::to_string(rect.width) + "," + std::to_string(rect.height) + " lies outside the "
                        + std::to_string(image.width) + " x " + std::to_string(image.height) + " image "
                        + measure::quoted(imageName.toStdString()));
    }
    const quorrel::MeasurementResult result = quorrel::runMeasurement(image, imagePath, parameters);
    if (!result.ok())
        return fail(kMeasurementFailed,
                    "image " + measure::quoted(imageName.toStdString()) + ": " + quorrel::describeMeasurement(result));

    // Every output is complete beside its target before any of them replaces
    // what was there; a failure on the way leaves all of them as they were.
    measure::StagedOutputs outputs;
    const QString& outputPath = commandLine.outputPath;
    const bool toStandardOutput = outputPath.isEmpty() || outputPath == QLatin1String("-");
    if (!toStandardOutput && !outputs.stage(outputPath, result.report, error))
        return fail(kMeasurementFailed, error);
    if (!commandLine.saveParametersPath.isEmpty()
        && !outputs.stage(commandLine.saveParametersPath, measure::settingsToJson(settings), error))
        return fail(kMeasurementFailed, error);
    if (!commandLine.csvPath.isEmpty()) {
        std::string table;
        if (!measure::tableWithRow(commandLine.csvPath, measure::csvRow(imageName.toStdString(), result.measurements),
                                   table, error)
            || !outputs.stage(commandLine.csvPath, table, error))
            return fail(kMeasurementFailed, error);
    }
    if (toStandardOutput && !writeToStandardOutput(result.report))
        return fail(kMeasurementFailed, "cannot write the report to standard output");
    if (!outputs.commit(error))
        return fail(kMeasurementFailed, error);
    // The window warns too but writes the report all the same.
    if (result.unitLineTooShort)
        std::fprintf(stderr,
                     "quorrel-measure: warning: no unit line (--unit-line): the micron figures cannot be calculated\n");
    return kMeasured;
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
