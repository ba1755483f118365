#include "ImageMeasurement.h"

#include <new>
#include <stdexcept>

#include <QFileInfo>

#include "MeasureOutput.h"
#include "StrictText.h"
#include "analysis/MeasurementPipeline.h"
#include "analysis/MeasurementSteps.h"
#include "core/MeasurementFile.h"
#include "imageio/ImageFile.h"

namespace measure {

namespace {

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

// The path as given without the image's suffix, so that names stay in the
// form the user typed them.
QString pathWithoutSuffix(const QString& imagePath)
{
    const QString suffix = QFileInfo(imagePath).suffix();
    return suffix.isEmpty() ? imagePath : imagePath.left(imagePath.size() - suffix.size() - 1);
}

// What the user can do about a finding, in the command's terms.
const char* remedyFor(quorrel::TrustWarningKind kind)
{
    switch (kind) {
    case quorrel::TrustWarningKind::CurveShortOfReference:
        return "raise --max-connection until the traced curve spans the reference curve, or shorten the reference "
               "curve to the traced part";
    case quorrel::TrustWarningKind::RimAtProfileEnd:
        return "extend the reference curve past the rim, or raise --max-connection to trace the surface further";
    case quorrel::TrustWarningKind::TopAtCurveEnd:
        return "raise --max-connection so that the traced curve reaches past this point, or shorten the reference "
               "curve";
    }
    return "";
}

// The image file's pixel size where the settings leave an axis without a
// scale; a size the file should carry but does not is worth a word then.
quorrel::AxisScales imageFileScales(const quorrel::FilePixelSize& size, const MeasureSettings& settings,
                                    std::vector<std::string>& warnings)
{
    const quorrel::AxisScales scales = quorrel::scalesFromImageFile(size.lateralMicrons, size.axialMicrons,
                                                                    quorrel::describePixelSizeSource(size.source));
    const bool typed = settings.lateralMicronsPerPixel && settings.axialMicronsPerPixel;
    if (typed || settings.secondUnitLine)
        return scales;
    if (!size.problem.empty())
        warnings.push_back(size.problem + ": no calibrated section without --lateral-scale and --axial-scale");
    else if (size.source != quorrel::PixelSizeSource::None && !scales.isSet())
        warnings.push_back("the file's pixel size of " + formatNumber(size.lateralMicrons) + " x "
                           + formatNumber(size.axialMicrons)
                           + " microns is not a usable scale (above 0 up to 1000 microns per pixel) and is not used");
    return scales;
}

ImageOutcome failed(int status, const std::string& error)
{
    ImageOutcome outcome;
    outcome.status = status;
    outcome.error = error;
    return outcome;
}

// The settings an image is measured with, or a failure.
ImageOutcome resolveSettings(const QString& imagePath, const MeasureSettings* shared, const MeasureSettings& options,
                             bool propose)
{
    ImageOutcome outcome;
    MeasureSettings& settings = outcome.settings;
    std::string error;
    if (shared) {
        settings = *shared;
    } else if (!options.selection) {
        const QString own = parametersPathBeside(imagePath);
        if (!QFileInfo::exists(own) && !propose)
            return failed(kBadArguments,
                          "no settings for image " + quoted(imagePath.toStdString()) + ": no "
                              + quoted(own.toStdString())
                              + " beside it; give --params FILE, or --selection and --reference");
        if (QFileInfo::exists(own) && !readSettingsFile(own, settings, error))
            return failed(kBadArguments, error);
    }
    quorrel::overlaySettings(settings, options);
    // Without a hand-drawn patch nobody chose the tolerance either: it is
    // estimated from the patch the image gives.
    if (propose && !settings.tolerance)
        settings.tolerance = ToleranceSetting{true, ToleranceSetting{}.value};
    if (!settings.selection && !propose)
        return failed(kBadArguments,
                      "no selection: give --selection X,Y,WIDTH,HEIGHT or \"selection\" in the parameters file");
    if ((!settings.reference || settings.reference->size() < 2) && !propose)
        return failed(kBadArguments,
                      "missing reference curve: give at least two --reference X,Y points or "
                      "\"reference\" in the parameters file");
    if (!quorrel::checkSampleCount(settings, error))
        return failed(kBadArguments, error);
    return outcome;
}

// Records the image as measured, and warns when the settings were saved for
// another file of the same name. Hashing reads the whole file again, so it
// is done only where a checksum is compared or kept.
void identifyImage(const QString& imagePath, ImageOutcome& outcome, bool keepChecksum)
{
    const std::optional<quorrel::ImageReference>& recorded = outcome.settings.image;
    const bool compared = recorded && !recorded->sha256.empty()
        && QFileInfo(QString::fromStdString(recorded->path)).fileName() == QFileInfo(imagePath).fileName();
    std::string sha256;
    std::string error;
    if ((compared || keepChecksum) && !quorrel::fileSha256(imagePath, sha256, error))
        return;
    if (compared && recorded->sha256 != sha256)
        outcome.warnings.push_back("image " + quoted(imagePath.toStdString())
                                   + " is not the file its settings were saved with (its SHA-256 differs); "
                                     "the figures may differ from the saved report");
    outcome.settings.image = quorrel::ImageReference{imagePath.toStdString(), sha256};
}

ImageOutcome measureResolved(const QString& imageName, ImageOutcome outcome, bool propose)
{
    const MeasureSettings& settings = outcome.settings;
    std::string error;
    const quorrel::ImageRegion region = settings.region.value_or(quorrel::ImageRegion{});
    const std::wstring imagePath = imageName.toStdWString();
    quorrel::LoadedRegion loaded =
        quorrel::loadImageRegion(imagePath, region.x0, region.y0, region.width, region.height,
                                 static_cast<std::uint32_t>(settings.frame.value_or(0)));
    if (loaded.status != quorrel::LoadStatus::Ok || !loaded.pixels)
        return failed(kMeasurementFailed,
                      "cannot read image " + quoted(imageName.toStdString()) + ": " + loadFailure(imageName, loaded));
    const int width = static_cast<int>(loaded.width);
    const int height = static_cast<int>(loaded.height);
    // The window whitened these before it traced; so does the repeat.
    for (const quorrel::PixelRect& rect : quorrel::toImageOrigin(settings, width, height).whitened)
        quorrel::whitenPixels(loaded.pixels.get(), width, height, rect);
    const quorrel::RgbaImageView image{loaded.pixels.get(), width, height};
    if (!quorrel::checkCoordinates(settings, image.width, image.height, error))
        return failed(kBadArguments, error);

    quorrel::MeasurementParameters parameters = quorrel::toMeasurementParameters(settings, width, height);
    if (!quorrel::resolveAxisScales(settings, imageFileScales(loaded.pixelSize, settings, outcome.warnings),
                                    parameters.axisScales, error))
        return failed(kBadArguments, error);
    parameters.proposeMissing = propose;
    if (parameters.selection.isEmpty() && settings.selection) {
        const ViewerRect& rect = *settings.selection;
        return failed(kMeasurementFailed,
                      "the selection " + std::to_string(rect.x) + "," + std::to_string(rect.y) + ","
                          + std::to_string(rect.width) + "," + std::to_string(rect.height) + " lies outside the "
                          + std::to_string(width) + " x " + std::to_string(height) + " image "
                          + quoted(imageName.toStdString()));
    }
    const quorrel::MeasurementResult result = quorrel::runMeasurement(image, imagePath, parameters);
    if (!result.ok())
        return failed(kMeasurementFailed,
                      "image " + quoted(imageName.toStdString()) + ": " + quorrel::describeMeasurement(result));
    if (!parameters.moves.empty() && result.boundary.measuredSteps.moves.size() != parameters.moves.size())
        return failed(kMeasurementFailed,
                      "image " + quoted(imageName.toStdString()) + ": the moved points cannot be placed");
    // What was proposed is kept as if it had been given, in viewer pixels.
    if (result.selectionProposed) {
        const quorrel::PixelRect& rect = result.boundary.selectionRect;
        outcome.settings.selection =
            ViewerRect{rect.left, height - rect.top, rect.right - rect.left, rect.top - rect.bottom};
    }
    if (result.referenceProposed) {
        std::vector<quorrel::Point2d> reference;
        for (const quorrel::Point2d& point : result.boundary.referenceCurve)
            reference.push_back(quorrel::Point2d{point.x, static_cast<double>(height - 1) - point.y});
        outcome.settings.reference = std::move(reference);
    }
    // The window warns too but writes the report all the same.
    if (result.unitLineTooShort)
        outcome.warnings.push_back("no unit line (--unit-line): the micron figures cannot be calculated");
    for (const quorrel::TrustWarning& warning : result.warnings)
        outcome.warnings.push_back(warning.finding + " (" + remedyFor(warning.kind) + ")");
    outcome.report = result.report;
    outcome.csvRow = csvRow(imageName.toStdString(), result.measurements, result.calibrated,
                            quorrel::trustWarningCodes(result.warnings));
    return outcome;
}

} // namespace

bool readSettingsFile(const QString& path, MeasureSettings& settings, std::string& error)
{
    if (!quorrel::readMeasurementFile(path, settings, error)) {
        error = "parameters file " + quoted(path.toStdString()) + ": " + error;
        return false;
    }
    return true;
}

QString parametersPathBeside(const QString& imagePath)
{
    return pathWithoutSuffix(imagePath) + QStringLiteral(".json");
}

QString reportPathBeside(const QString& imagePath)
{
    return pathWithoutSuffix(imagePath) + QStringLiteral(".report.txt");
}

ImageOutcome measureImage(const QString& imagePath, const MeasureSettings* shared, const MeasureSettings& options,
                          bool propose, bool keepChecksum)
{
    // Running out of memory fails this image like any other fault, and a
    // study goes on with the next.
    try {
        ImageOutcome outcome = resolveSettings(imagePath, shared, options, propose);
        if (outcome.status != kMeasured)
            return outcome;
        identifyImage(imagePath, outcome, keepChecksum);
        std::vector<std::string> warnings = std::move(outcome.warnings);
        outcome = measureResolved(imagePath, std::move(outcome), propose);
        warnings.insert(warnings.end(), outcome.warnings.begin(), outcome.warnings.end());
        outcome.warnings = std::move(warnings);
        return outcome;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    return failed(kMeasurementFailed,
                  "image " + quoted(imagePath.toStdString())
                      + ": out of memory: the measurement needs more memory than the system "
                        "gives it; nothing was written for it");
}

} // namespace measure
