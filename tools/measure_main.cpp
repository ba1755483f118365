// quorrel-measure: the window's measurement of one image, without a window,
// for batches and for repeating a measurement later from its stored settings.

#include <cstdio>
#include <string>

#include <QCoreApplication>
#include <QFileInfo>

#include "MeasureOptions.h"
#include "MeasureOutput.h"
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

std::string quoted(const QString& text)
{
    return "\"" + text.toStdString() + "\"";
}

std::string loadFailure(const QString& path, quorrel::LoadStatus status)
{
    const QFileInfo file(path);
    if (!file.exists())
        return "no such file";
    if (!file.isFile())
        return "not a file";
    if (!file.isReadable())
        return "permission denied";
    switch (status) {
    case quorrel::LoadStatus::NoImageName:
        return "the image library could not be started";
    case quorrel::LoadStatus::DecodeFailed:
        return "not a complete JPG, JPEG, JP2, BMP, PNG or TGA picture";
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

} // namespace

int main(int argc, char* argv[])
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

    const QString& imageName = commandLine.imagePath;
    const std::wstring imagePath = imageName.toStdWString();
    const quorrel::LoadedRegion loaded = quorrel::loadImageRegion(imagePath, 0.0, 0.0, 1.0, 1.0);
    if (loaded.status != quorrel::LoadStatus::Ok || !loaded.pixels)
        return fail(kMeasurementFailed,
                    "cannot read image " + quoted(imageName) + ": " + loadFailure(imageName, loaded.status));
    const quorrel::RgbaImageView image{loaded.pixels.get(), static_cast<int>(loaded.width),
                                       static_cast<int>(loaded.height)};

    const quorrel::MeasurementParameters parameters =
        measure::toMeasurementParameters(settings, image.width, image.height);
    if (parameters.selection.isEmpty()) {
        const measure::ViewerRect& rect = *settings.selection;
        return fail(kMeasurementFailed,
                    "the selection " + std::to_string(rect.x) + "," + std::to_string(rect.y) + ","
                        + std::to_string(rect.width) + "," + std::to_string(rect.height) + " lies outside the "
                        + std::to_string(image.width) + " x " + std::to_string(image.height) + " image "
                        + quoted(imageName));
    }
    const quorrel::MeasurementResult result = quorrel::runMeasurement(image, imagePath, parameters);
    if (!result.ok())
        return fail(kMeasurementFailed,
                    "image " + quoted(imageName) + ": " + quorrel::describeMeasurementStatus(result.status));

    const QString& outputPath = commandLine.outputPath;
    if (outputPath.isEmpty() || outputPath == QLatin1String("-")) {
        if (!writeToStandardOutput(result.report))
            return fail(kMeasurementFailed, "cannot write the report to standard output");
    } else if (!measure::writeFileCompletely(outputPath, result.report, error)) {
        return fail(kMeasurementFailed, error);
    }
    if (!commandLine.saveParametersPath.isEmpty()
        && !measure::writeFileCompletely(commandLine.saveParametersPath, measure::settingsToJson(settings), error))
        return fail(kMeasurementFailed, error);
    if (!commandLine.csvPath.isEmpty()
        && !measure::appendCsvRow(commandLine.csvPath, measure::csvRow(imageName.toStdString(), result.measurements),
                                  error))
        return fail(kMeasurementFailed, error);
    // The window warns too but writes the report all the same.
    if (result.unitLineTooShort)
        std::fprintf(stderr,
                     "quorrel-measure: warning: no unit line (--unit-line): the micron figures cannot be calculated\n");
    return kMeasured;
}
