#include "view/MainViewWidget.h"

#include <fstream>
#include <functional>
#include <new>
#include <stdexcept>
#include <utility>

#include <QFile>
#include <QMessageBox>

#include "analysis/ColorDistance.h"
#include "analysis/CurveConstruction.h"
#include "analysis/CurveSmoothing.h"
#include "analysis/FovealExtrema.h"
#include "analysis/MeasurementReport.h"
#include "analysis/PixelRect.h"
#include "analysis/RegionGrowing.h"
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

void MainViewWidget::detectMaxColorDistance()
{
    if (!m_pixels)
        return;
    runWithinMemory([this] {
        BusyCursor busy;
        m_maxColorDistance = quorrel::estimateMaxColorDistance(imageView(), selectionPixelRect());
    });
}

void MainViewWidget::detectBoundaryEdges()
{
    if (!m_pixels)
        return;
    // The new boundary is complete before it joins the list, so that running
    // out of memory on the way leaves the list as it was.
    bool added = false;
    const bool finished = runWithinMemory([this, &added] {
        const quorrel::RgbaImageView image = imageView();
        Boundary candidate =
            quorrel::makeCandidateBoundary(image, m_imagePath, selectionPixelRect(), m_maxColorDistance);
        const int existing = quorrel::findEqualBoundary(m_boundaries, candidate);
        if (existing >= 0) {
            m_currentBoundaryIndex = existing;
            m_selectedReferencePointIndex = -1;
            return;
        }
        {
            BusyCursor busy;
            candidate.edgePoints =
                quorrel::collectEdgePoints(image, candidate.seedPoint, candidate.referenceColor, m_maxColorDistance);
        }
        m_boundaries.push_back(std::move(candidate));
        m_currentBoundaryIndex = static_cast<int>(m_boundaries.size()) - 1;
        m_selectedReferencePointIndex = -1;
        added = true;
    });
    if (finished && added && m_boundaryAdded)
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
        quorrel::sortEdgePoints(work.edgePoints);
        quorrel::buildBoundaryCurve(work, m_minLineConnectionDistance, m_maxLineConnectionDistance,
                                    m_minCurvePointCount);
        boundary->edgePoints.swap(work.edgePoints);
        boundary->curveNodes.swap(work.curveNodes);
        boundary->curve.swap(work.curve);
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
        std::vector<Point2d> smoothed = boundary->curve;
        quorrel::smoothCurve(smoothed, m_smoothLevel);
        boundary->curve.swap(smoothed);
    });
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
    // be large, and its results are swapped in when it has finished.
    runWithinMemory([this, boundary] {
        BusyCursor busy;
        Boundary work;
        work.curve = boundary->curve;
        work.referenceCurve = boundary->referenceCurve;
        forEachFovealResult(work, *boundary, [](auto& copy, const auto& original) { copy = original; });
        quorrel::detectFovealWidthAndDepth(work, m_curveDividingCount);
        forEachFovealResult(work, *boundary, [](auto& result, auto& original) { std::swap(result, original); });
    });
}

bool MainViewWidget::writeMeasurementReport(const std::wstring& path)
{
    const Point2d unitStart{static_cast<double>(m_unitLineStart.x()), static_cast<double>(m_unitLineStart.y())};
    const Point2d unitEnd{static_cast<double>(m_unitLineEnd.x()), static_cast<double>(m_unitLineEnd.y())};
    if (quorrel::unitLineTooShort(unitStart, unitEnd))
        QMessageBox::warning(this, tr("Warning"),
                             tr("Unit micron is not specified yet.\nMicron distance cannot be calculated"),
                             QMessageBox::Ok);

    QFile file(QString::fromStdWString(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const Boundary* boundary = currentBoundary();
    if (!boundary)
        return true;
    if (!quorrel::hasReportableExtrema(*boundary)) {
        QMessageBox::warning(this, tr("Warning"),
                             tr("Local Min & Max Points do not exist.\nPlease detect Local Min & Max points first"),
                             QMessageBox::Ok);
        return false;
    }
    const std::string report = quorrel::formatMeasurementReport(
        quorrel::computeFovealMeasurements(*boundary, unitStart, unitEnd, m_unitMicron));
    return file.write(report.data(), static_cast<qint64>(report.size())) == static_cast<qint64>(report.size());
}
