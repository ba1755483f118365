#include "view/MainViewWidget.h"

#include <cmath>
#include <functional>
#include <new>
#include <stdexcept>
#include <utility>

#include <QFileInfo>
#include <QMessageBox>
#include <QSaveFile>

#include "analysis/CalibratedMeasurement.h"
#include "analysis/ColorDistance.h"
#include "analysis/CurveConstruction.h"
#include "analysis/CurveSmoothing.h"
#include "analysis/FovealExtrema.h"
#include "analysis/MeasurementReport.h"
#include "analysis/MeasurementSteps.h"
#include "analysis/PixelRect.h"
#include "analysis/ReferenceCurveProposal.h"
#include "analysis/RegionGrowing.h"
#include "analysis/TrustWarnings.h"
#include "analysis/VitreousPatchProposal.h"
#include "view/BusyCursor.h"

namespace {

// Applies apply(a.member, b.member) to every member the foveal detection
// writes, so that a detection can run on a copy and take effect whole.
template <typename Apply> void forEachFovealResult(quorrel::Boundary& a, quorrel::Boundary& b, Apply apply)
{
    apply(a.indexA, b.indexA);
    apply(a.indexC, b.indexC);
    apply(a.indexE, b.indexE);
    apply(a.curveSamples, b.curveSamples);
    apply(a.referenceSamples, b.referenceSamples);
    apply(a.resampledReference, b.resampledReference);
    apply(a.resampledCurve, b.resampledCurve);
    apply(a.resampledDistances, b.resampledDistances);
    apply(a.indexB, b.indexB);
    apply(a.resampledIndexC, b.resampledIndexC);
    apply(a.indexD, b.indexD);
    apply(a.measuredSteps, b.measuredSteps);
}

// What a user can do about a finding, in the window's own words.
QString remedyFor(quorrel::TrustWarningKind kind)
{
    switch (kind) {
    case quorrel::TrustWarningKind::CurveShortOfReference:
        return MainViewWidget::tr("Raise \"Maximum Line Connecting Distance\" and press \"Make Curve\" again until the "
                                  "traced curve spans the reference curve, or shorten the reference curve to the "
                                  "traced part.");
    case quorrel::TrustWarningKind::RimAtProfileEnd:
        return MainViewWidget::tr("Extend the reference curve past the rim, or trace the surface further: raise "
                                  "\"Maximum Line Connecting Distance\" and press \"Make Curve\" again.");
    case quorrel::TrustWarningKind::TopAtCurveEnd:
        return MainViewWidget::tr("Trace the surface again so that it reaches past this point (raise \"Maximum Line "
                                  "Connecting Distance\", then \"Make Curve\"), or shorten the reference curve.");
    }
    return QString();
}

// The run's lists and indices in the image's pixels, so that its points are
// drawn as the pixel run's are.
quorrel::Boundary inImagePixels(const quorrel::CalibratedMeasurements& calibrated)
{
    const quorrel::AxisScales& scales = calibrated.scales;
    const auto toPixels = [&scales](const std::vector<quorrel::Point2d>& microns) {
        std::vector<quorrel::Point2d> pixels;
        pixels.reserve(microns.size());
        for (const quorrel::Point2d& point : microns)
            pixels.push_back(quorrel::toImagePixels(point, scales));
        return pixels;
    };
    const quorrel::Boundary& run = calibrated.run;
    quorrel::Boundary drawn;
    drawn.curveSamples = toPixels(run.curveSamples);
    drawn.referenceSamples = toPixels(run.referenceSamples);
    drawn.resampledCurve = toPixels(run.resampledCurve);
    drawn.resampledReference = toPixels(run.resampledReference);
    drawn.indexA = run.indexA;
    drawn.indexB = run.indexB;
    drawn.indexC = run.indexC;
    drawn.indexD = run.indexD;
    drawn.indexE = run.indexE;
    drawn.resampledIndexC = run.resampledIndexC;
    return drawn;
}

} // namespace

bool MainViewWidget::runWithinMemory(const std::function<void()>& step)
{
    try {
        step();
        return true;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    QMessageBox::warning(this, tr("Warning"),
                         tr("Not enough memory for this step.\nThe boundary and the image are left as they were."),
                         QMessageBox::Ok);
    return false;
}

bool MainViewWidget::hasValidExtrema() const
{
    const Boundary* boundary = currentBoundary();
    return boundary && quorrel::hasValidExtrema(*boundary);
}

// The rubber band in image pixels, cut to the image: what detection, the
// tolerance estimate, the cut, the clear and the erase act on.
quorrel::PixelRect MainViewWidget::selectionPixelRect() const
{
    return quorrel::pixelRectBetween(m_selectionStart.x() - m_imageOffset.x, m_selectionStart.y() - m_imageOffset.y,
                                     m_selectionEnd.x() - m_imageOffset.x, m_selectionEnd.y() - m_imageOffset.y,
                                     static_cast<int>(m_imageWidth), static_cast<int>(m_imageHeight));
}

// The first boundary traced on exactly these pixels that equals the
// candidate; the boundaries of other images take no part.
int MainViewWidget::findEqualBoundaryOnScreen(const Boundary& candidate) const
{
    for (std::size_t i = 0; i < m_boundaries.size(); ++i) {
        const Boundary& boundary = m_boundaries[i];
        if (isOnScreen(boundary) && boundary.steps.origin == m_imageOrigin
            && quorrel::isEqualDetection(boundary, candidate))
            return static_cast<int>(i);
    }
    return -1;
}

void MainViewWidget::detectMaxColorDistance()
{
    if (!m_pixels)
        return;
    runWithinMemory([this] {
        BusyCursor busy;
        m_maxColorDistance = quorrel::estimateMaxColorDistance(imageView(), selectionPixelRect());
        reportStatus(tr("Max color distance %1").arg(m_maxColorDistance));
    });
}

void MainViewWidget::detectBoundaryEdges()
{
    if (!m_pixels)
        return;
    const quorrel::PixelRect rect = selectionPixelRect();
    // A band beside the picture has no colour to grow from; a record made
    // from it would only be a black junk entry in the colour list.
    if (rect.isEmpty()) {
        reportStatus(tr("The rectangle covers no pixel of the image: nothing to detect"));
        return;
    }
    // The new boundary is complete before it joins the list, so that running
    // out of memory on the way leaves the list as it was.
    bool added = false;
    const bool finished = runWithinMemory([this, &added, &rect] {
        const quorrel::RgbaImageView image = imageView();
        Boundary candidate = quorrel::makeCandidateBoundary(image, m_imagePath, rect, m_maxColorDistance);
        quorrel::recordDetection(candidate, m_imageOrigin);
        const int existing = findEqualBoundaryOnScreen(candidate);
        if (existing >= 0) {
            m_currentBoundaryIndex = existing;
            m_selectedReferencePointIndex = -1;
            reportStatus(tr("Boundary %1 has this rectangle and tolerance already; it is selected").arg(existing + 1));
            return;
        }
        EditSnapshot before = takeSnapshot(BoundaryListPart);
        {
            BusyCursor busy;
            candidate.edgePoints =
                quorrel::collectEdgePoints(image, candidate.seedPoint, candidate.referenceColor, m_maxColorDistance);
        }
        m_boundaries.reserve(m_boundaries.size() + 1);
        commitSnapshot(tr("Detect Retina Contour"), std::move(before));
        m_boundaries.push_back(std::move(candidate));
        m_currentBoundaryIndex = static_cast<int>(m_boundaries.size()) - 1;
        m_selectedReferencePointIndex = -1;
        added = true;
    });
    if (!finished || !added)
        return;
    reportStatus(tr("Traced %1 edge pixels").arg(m_boundaries.back().edgePoints.size()));
    if (m_boundaryAdded)
        m_boundaryAdded(m_boundaries.back());
}

void MainViewWidget::makeBoundaryCurve()
{
    Boundary* boundary = currentBoundary();
    if (!boundary)
        return;
    // Built on a copy of the edge points and swapped in when complete.
    runWithinMemory([this, boundary] {
        BusyCursor busy;
        Boundary work;
        work.edgePoints = boundary->edgePoints;
        work.steps = boundary->steps;
        quorrel::makeCurve(work, m_minLineConnectionDistance, m_maxLineConnectionDistance, m_minCurvePointCount);
        recordEdit(tr("Make Curve"), CurrentBoundaryPart);
        boundary->edgePoints.swap(work.edgePoints);
        boundary->curveNodes.swap(work.curveNodes);
        boundary->curve.swap(work.curve);
        std::swap(boundary->steps, work.steps);
        reportStatus(tr("Curve of %1 points").arg(boundary->curve.size()));
    });
}

void MainViewWidget::smoothLine()
{
    if (m_boundaries.empty() || m_currentBoundaryIndex < 0) {
        QMessageBox::information(this, tr("Information"), tr("Before smoothing lines,\nplease make lines first"),
                                 QMessageBox::Ok);
        return;
    }
    Boundary* boundary = currentBoundary();
    if (!boundary) {
        QMessageBox::warning(this, tr("Internal Error"),
                             tr("MainViewWidget::smoothLine - Current Boundary Index is invalid"), QMessageBox::Ok);
        return;
    }
    if (boundary->curve.empty()) {
        QMessageBox::information(this, tr("Information"), tr("Before smoothing lines,\nplease make lines first"),
                                 QMessageBox::Ok);
        return;
    }
    runWithinMemory([this, boundary] {
        BusyCursor busy;
        Boundary work;
        work.curve = boundary->curve;
        work.steps = boundary->steps;
        quorrel::smoothCurveOnce(work, m_smoothLevel);
        recordEdit(tr("Smooth Contour"), CurrentBoundaryPart);
        boundary->curve.swap(work.curve);
        std::swap(boundary->steps, work.steps);
        reportStatus(tr("Smoothed: curve of %1 points").arg(boundary->curve.size()));
    });
}

bool MainViewWidget::proposeReferenceCurve()
{
    Boundary* boundary = currentBoundary();
    if (!boundary || boundary->curve.size() < 2) {
        QMessageBox::information(this, tr("Information"),
                                 tr("Before proposing a reference curve,\nplease make the curve of the retina contour"),
                                 QMessageBox::Ok);
        return false;
    }
    quorrel::ReferenceCurveProposal proposal;
    if (!runWithinMemory([&] {
            BusyCursor busy;
            proposal = quorrel::proposeReferenceCurve(imageView(), boundary->curve);
        }))
        return false;
    if (!proposal.found) {
        QMessageBox::information(this, tr("Information"),
                                 tr("No reference curve was proposed: %1.\nPlease draw the reference curve by hand")
                                     .arg(QString::fromStdString(proposal.reason)),
                                 QMessageBox::Ok);
        reportStatus(tr("No reference curve proposed"));
        return false;
    }
    recordEdit(tr("Propose Reference Curve"), CurrentBoundaryPart);
    boundary->referenceCurve = std::move(proposal.points);
    m_selectedReferencePointIndex = -1;
    reportStatus(tr("Proposed a reference curve of %1 points: move, add or delete them as drawn ones")
                     .arg(boundary->referenceCurve.size()));
    return true;
}

bool MainViewWidget::proposeVitreousPatch()
{
    if (!m_pixels)
        return false;
    for (const Boundary& boundary : m_boundaries) {
        if (isOnScreen(boundary))
            return false;
    }
    quorrel::VitreousPatchProposal proposal;
    if (!runWithinMemory([&] {
            BusyCursor busy;
            proposal = quorrel::proposeVitreousPatch(imageView());
        }))
        return false;
    if (!proposal.found) {
        reportStatus(tr("No vitreous patch proposed: %1").arg(QString::fromStdString(proposal.reason)));
        return false;
    }
    // Corners rounded up past the image offset truncate back to the patch's
    // own pixels when the rubber band is read.
    const quorrel::PixelRect& rect = proposal.rect;
    const auto corner = [this](int x, int y) {
        return QPoint(static_cast<int>(std::ceil(x + m_imageOffset.x)),
                      static_cast<int>(std::ceil(y + m_imageOffset.y)));
    };
    m_selectionStart = corner(rect.left, rect.bottom);
    m_selectionEnd = corner(rect.right, rect.top);
    reportStatus(tr("Proposed a patch of the vitreous: press Return to detect, or drag another"));
    return true;
}

void MainViewWidget::detectFovealWidthAndDepth()
{
    const QString noCurveText = tr("Before detecting local minima and maxima,\nplease make lines first");
    if (m_boundaries.empty() || m_currentBoundaryIndex < 0) {
        QMessageBox::information(this, tr("Information"), noCurveText, QMessageBox::Ok);
        return;
    }
    Boundary* boundary = currentBoundary();
    if (!boundary) {
        QMessageBox::warning(this, tr("Internal Error"),
                             tr("MainViewWidget::detectFovealWidthAndDepth - Current Boundary Index is invalid"),
                             QMessageBox::Ok);
        return;
    }
    switch (quorrel::checkFovealInput(*boundary)) {
    case quorrel::FovealInputCheck::NoCurve:
        QMessageBox::information(this, tr("Information"), noCurveText, QMessageBox::Ok);
        return;
    case quorrel::FovealInputCheck::NoReferenceCurve:
        QMessageBox::warning(
            this, tr("Warning"),
            tr("Before detecting foveal width and depth,\nplease draw reference curve on the other side"),
            QMessageBox::Ok);
        return;
    case quorrel::FovealInputCheck::Ok:
        break;
    }
    // Detection reads the two curves and the results it may keep (B and D);
    // it runs on a copy of those, not of the edge points and nodes, which can
    // be large, and its results are swapped in when it has finished, with the
    // run in microns made from the same curves.
    const bool finished = runWithinMemory([this, boundary] {
        BusyCursor busy;
        Boundary work;
        work.curve = boundary->curve;
        work.referenceCurve = boundary->referenceCurve;
        work.steps = boundary->steps;
        forEachFovealResult(work, *boundary, [](auto& copy, const auto& original) { copy = original; });
        quorrel::measureFovea(work, m_curveDividingCount);
        quorrel::CalibratedMeasurements calibrated;
        Boundary calibratedInPixels;
        if (m_axisScales.isSet()) {
            calibrated = quorrel::measureCalibrated(work, m_axisScales, m_curveDividingCount);
            calibratedInPixels = inImagePixels(calibrated);
        }
        recordEdit(tr("Calculate Foveal Depth & Width"), CurrentBoundaryPart);
        forEachFovealResult(work, *boundary, [](auto& result, auto& original) { std::swap(result, original); });
        std::swap(m_calibratedRun, calibrated);
        std::swap(m_calibratedInPixels, calibratedInPixels);
        m_calibratedBoundaryIndex = m_axisScales.isSet() ? m_currentBoundaryIndex : -1;
        reportStatus(hasValidExtrema() ? tr("Found the points A to E")
                                       : tr("No foveal pit found between the two curves"));
    });
    if (finished)
        warnOfUntrustworthyFigures(*boundary);
}

void MainViewWidget::setAxisScales(const quorrel::AxisScales& scales)
{
    if (scales.lateralMicronsPerPixel != m_axisScales.lateralMicronsPerPixel
        || scales.axialMicronsPerPixel != m_axisScales.axialMicronsPerPixel)
        forgetCalibratedRun();
    m_axisScales = scales;
    m_calibratedRun.scales.source = scales.source;
}

const quorrel::CalibratedMeasurements* MainViewWidget::calibratedRun() const
{
    if (m_calibratedBoundaryIndex < 0 || m_calibratedBoundaryIndex != m_currentBoundaryIndex)
        return nullptr;
    return &m_calibratedRun;
}

void MainViewWidget::forgetCalibratedRun()
{
    m_calibratedBoundaryIndex = -1;
    m_calibratedRun = quorrel::CalibratedMeasurements{};
    m_calibratedInPixels = Boundary{};
}

void MainViewWidget::warnOfUntrustworthyFigures(const Boundary& boundary)
{
    const std::vector<quorrel::TrustWarning> warnings = quorrel::findTrustWarnings(boundary, calibratedRun());
    if (warnings.empty())
        return;
    QString text = tr("These figures may be wrong:");
    for (const quorrel::TrustWarning& warning : warnings)
        text += QStringLiteral("\n\n- ") + QString::fromStdString(warning.finding) + QStringLiteral(".\n  ")
            + remedyFor(warning.kind);
    text += QStringLiteral("\n\n") + tr("The report can still be saved.");
    QMessageBox::warning(this, tr("Warning"), text, QMessageBox::Ok);
}

// A refused save leaves an existing file as it was, and a written report
// replaces it whole: the report goes to a file beside it first, which then
// takes its name.
bool MainViewWidget::writeMeasurementReport(const std::wstring& path)
{
    const QString filePath = QString::fromStdWString(path);
    const QString fileName = QFileInfo(filePath).fileName();
    const Boundary* boundary = currentBoundary();
    if (!boundary && quorrel::indexInRange(m_currentBoundaryIndex, m_boundaries.size())) {
        const QString owner =
            QFileInfo(QString::fromStdWString(m_boundaries[static_cast<std::size_t>(m_currentBoundaryIndex)].imagePath))
                .fileName();
        QMessageBox::warning(this, tr("Warning"),
                             tr("The selected measurement belongs to %1, not to the image on screen.\nOpen %1 "
                                "to save it")
                                 .arg(owner),
                             QMessageBox::Ok);
        reportStatus(tr("Report not written: the measurement belongs to %1").arg(owner));
        return false;
    }
    if (!boundary) {
        QMessageBox::information(this, tr("Information"),
                                 tr("There is no boundary to report on.\nPlease detect the retina contour first, "
                                    "or double-click a boundary in the colour list"),
                                 QMessageBox::Ok);
        reportStatus(tr("Report not written: no boundary"));
        return false;
    }
    if (!quorrel::hasReportableExtrema(*boundary)) {
        QMessageBox::warning(this, tr("Warning"),
                             tr("Local Min & Max Points do not exist.\nPlease detect Local Min & Max points first"),
                             QMessageBox::Ok);
        reportStatus(tr("Report not written: no points A to E"));
        return false;
    }

    const Point2d unitStart{static_cast<double>(m_unitLineStart.x()), static_cast<double>(m_unitLineStart.y())};
    const Point2d unitEnd{static_cast<double>(m_unitLineEnd.x()), static_cast<double>(m_unitLineEnd.y())};
    if (quorrel::unitLineTooShort(unitStart, unitEnd))
        QMessageBox::warning(this, tr("Warning"),
                             tr("Unit micron is not specified yet.\nMicron distance cannot be calculated"),
                             QMessageBox::Ok);

    std::string report = quorrel::formatMeasurementReport(
        quorrel::computeFovealMeasurements(*boundary, unitStart, unitEnd, m_unitMicron));
    // The scales may have been set after the detection: the run in microns is
    // then made now.
    if (m_axisScales.isSet()) {
        const quorrel::CalibratedMeasurements* stored = calibratedRun();
        std::string section;
        const bool made = runWithinMemory([&] {
            BusyCursor busy;
            section = quorrel::formatCalibratedSection(
                stored ? *stored : quorrel::measureCalibrated(*boundary, m_axisScales, m_curveDividingCount));
        });
        if (!made) {
            reportStatus(tr("Report not written"));
            return false;
        }
        report += section;
    }
    QSaveFile file(filePath);
    const bool written = file.open(QIODevice::WriteOnly)
        && file.write(report.data(), static_cast<qint64>(report.size())) == static_cast<qint64>(report.size())
        && file.commit();
    if (!written) {
        QMessageBox::warning(this, tr("Warning"),
                             tr("The report could not be written.\n%1: %2").arg(filePath, file.errorString()),
                             QMessageBox::Ok);
        reportStatus(tr("Report not written"));
        return false;
    }
    if (!writeMeasurementFile(filePath, *boundary))
        return false;
    m_boundaries[static_cast<std::size_t>(m_currentBoundaryIndex)].measuredSteps.saved = true;
    reportStatus(tr("Report written to %1, its measurement beside it").arg(fileName));
    return true;
}
