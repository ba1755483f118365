#include "view/MainViewWidget.h"

#include <cmath>
#include <new>
#include <stdexcept>
#include <utility>

#include <QFileInfo>
#include <QMessageBox>
#include <QSaveFile>

#include "analysis/FovealExtrema.h"
#include "analysis/MeasurementSteps.h"
#include "core/MeasurementFile.h"
#include "view/BusyCursor.h"

namespace {

QPoint toViewPoint(const quorrel::Point2d& point)
{
    return QPoint(static_cast<int>(std::lround(point.x)), static_cast<int>(std::lround(point.y)));
}

} // namespace

// The file names the image as it was opened and by its checksum, so that a
// later Open Measurement, or the command, can tell when the file changed.
bool MainViewWidget::writeMeasurementFile(const QString& reportPath, const Boundary& boundary)
{
    const Point2d unitStart{static_cast<double>(m_unitLineStart.x()), static_cast<double>(m_unitLineStart.y())};
    const Point2d unitEnd{static_cast<double>(m_unitLineEnd.x()), static_cast<double>(m_unitLineEnd.y())};
    quorrel::MeasurementSettings settings = quorrel::settingsForBoundary(
        boundary, static_cast<int>(m_imageHeight), unitStart, unitEnd, m_unitMicron, m_axisScales);
    const QString imagePath = QString::fromStdWString(boundary.imagePath);
    std::string sha256;
    std::string unused;
    // An image file that went away since it was opened is still named.
    quorrel::fileSha256(imagePath, sha256, unused);
    settings.image = quorrel::ImageReference{imagePath.toUtf8().toStdString(), sha256};
    const std::string text = quorrel::formatMeasurementFile(settings);

    const QString path = quorrel::measurementFilePathFor(reportPath);
    QSaveFile file(path);
    const bool written = file.open(QIODevice::WriteOnly)
        && file.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size())
        && file.commit();
    if (!written) {
        QMessageBox::warning(
            this, tr("Warning"),
            tr("The report was written, but not the measurement beside it.\n%1: %2").arg(path, file.errorString()),
            QMessageBox::Ok);
        reportStatus(tr("Measurement file not written"));
    }
    return written;
}

bool MainViewWidget::repeatMeasurement(const std::wstring& path, const quorrel::MeasurementSettings& settings,
                                       QString& error)
{
    const QString fileName = QFileInfo(QString::fromStdWString(path)).fileName();
    quorrel::ImageOrigin origin;
    quorrel::LoadedRegion region;
    quorrel::MeasurementResult result;
    quorrel::MeasurementParameters parameters;
    std::string reason;
    try {
        BusyCursor busy;
        const quorrel::ImageRegion part = settings.region.value_or(quorrel::ImageRegion{});
        const auto frame = static_cast<std::uint32_t>(settings.frame.value_or(0));
        region = quorrel::loadImageRegion(path, part.x0, part.y0, part.width, part.height, frame);
        if (region.status != quorrel::LoadStatus::Ok || !region.pixels) {
            error = tr("%1 cannot be read: %2")
                        .arg(fileName,
                             region.failure.empty() ? loadFailureReason(QString::fromStdWString(path), region.status)
                                                    : QString::fromStdString(region.failure));
            return false;
        }
        const int width = static_cast<int>(region.width);
        const int height = static_cast<int>(region.height);
        if (!quorrel::checkSampleCount(settings, reason)
            || !quorrel::checkCoordinates(settings, width, height, reason)) {
            error = QString::fromStdString(reason);
            return false;
        }
        origin = quorrel::toImageOrigin(settings, width, height);
        for (const quorrel::PixelRect& rect : origin.whitened)
            quorrel::whitenPixels(region.pixels.get(), width, height, rect);
        parameters = quorrel::toMeasurementParameters(settings, width, height);
        // The scales the file states, else the image file's, as the command
        // takes them.
        const quorrel::FilePixelSize& size = region.pixelSize;
        if (!quorrel::resolveAxisScales(settings,
                                        quorrel::scalesFromImageFile(size.lateralMicrons, size.axialMicrons,
                                                                     quorrel::describePixelSizeSource(size.source)),
                                        parameters.axisScales, reason)) {
            error = QString::fromStdString(reason);
            return false;
        }
        result = quorrel::runMeasurement(quorrel::RgbaImageView{region.pixels.get(), width, height}, path, parameters);
    } catch (const std::bad_alloc&) {
        error = tr("There is not enough memory to repeat the measurement");
        return false;
    } catch (const std::length_error&) {
        error = tr("There is not enough memory to repeat the measurement");
        return false;
    }
    switch (result.status) {
    case quorrel::MeasurementStatus::NoImage:
    case quorrel::MeasurementStatus::ImageTooSmall:
    case quorrel::MeasurementStatus::EmptySelection:
    case quorrel::MeasurementStatus::SelectionInMargin:
        // Nothing was traced: there is no measurement to show.
        error = QString::fromStdString(quorrel::describeMeasurement(result));
        return false;
    default:
        break;
    }
    if (!installImage(path, origin, std::move(region))) {
        error = tr("Failed to create texture!!!");
        return false;
    }
    m_dragPending = false;
    m_history.clear();
    historyChanged();

    m_maxColorDistance = result.maxColorDistance;
    m_minLineConnectionDistance = parameters.minLineConnectionDistance;
    m_maxLineConnectionDistance = parameters.maxLineConnectionDistance;
    if (!parameters.smoothLevels.empty())
        m_smoothLevel = parameters.smoothLevels.back();
    else
        m_smoothLevel = parameters.smoothLevel;
    m_curveDividingCount = parameters.curveDividingCount;
    m_unitMicron = parameters.unitMicron;
    m_unitLineStart = toViewPoint(parameters.unitLineStart);
    m_unitLineEnd = toViewPoint(parameters.unitLineEnd);
    setAxisScales(parameters.axisScales);

    // The boundary was traced on the picture now shown, whitened as the file
    // says; what it records of it is the view's own.
    Boundary boundary = std::move(result.boundary);
    boundary.steps.origin = m_imageOrigin;
    boundary.measuredSteps.origin = m_imageOrigin;
    if (boundary.referenceCurve.empty())
        boundary.referenceCurve = parameters.referenceCurve;
    // As it stands it is the measurement the file holds.
    boundary.measuredSteps.saved = true;
    m_boundaries.push_back(std::move(boundary));
    m_currentBoundaryIndex = static_cast<int>(m_boundaries.size()) - 1;
    if (m_boundaryAdded)
        m_boundaryAdded(m_boundaries.back());
    if (!result.ok())
        error = QString::fromStdString(quorrel::describeMeasurement(result));
    reportStatus(result.ok() ? tr("Opened the measurement of %1").arg(fileName)
                             : tr("Opened the measurement of %1 as far as it goes").arg(fileName));
    return true;
}

int MainViewWidget::unsavedMeasurementIndex() const
{
    int anyImage = -1;
    for (std::size_t i = 0; i < m_boundaries.size(); ++i) {
        const Boundary& boundary = m_boundaries[i];
        if (!quorrel::hasValidExtrema(boundary) || boundary.measuredSteps.saved)
            continue;
        if (isOnScreen(boundary))
            return static_cast<int>(i);
        if (anyImage < 0)
            anyImage = static_cast<int>(i);
    }
    return anyImage;
}
