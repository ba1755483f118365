#include "view/MainViewWidget.h"

#include <fstream>

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
    BusyCursor busy;
    m_maxColorDistance = quorrel::estimateMaxColorDistance(imageView(), selectionPixelRect());
}

void MainViewWidget::detectBoundaryEdges()
{
    if (!m_pixels)
        return;
    const quorrel::RgbaImageView image = imageView();
    Boundary candidate = quorrel::makeCandidateBoundary(image, m_imagePath, selectionPixelRect(), m_maxColorDistance);
    const int existing = quorrel::findEqualBoundary(m_boundaries, candidate);
    if (existing >= 0) {
        m_currentBoundaryIndex = existing;
        m_selectedReferencePointIndex = -1;
        return;
    }
    m_currentBoundaryIndex = static_cast<int>(m_boundaries.size());
    m_selectedReferencePointIndex = -1;
    m_boundaries.push_back(std::move(candidate));
    Boundary& added = m_boundaries.back();
    {
        BusyCursor busy;
        added.edgePoints = quorrel::collectEdgePoints(image, added.seedPoint, added.referenceColor, m_maxColorDistance);
    }
    if (m_boundaryAdded)
        m_boundaryAdded(added);
}

void MainViewWidget::makeBoundaryCurve()
{
    Boundary* boundary = currentBoundary();
    if (!boundary)
        return;
    BusyCursor busy;
    quorrel::sortEdgePoints(boundary->edgePoints);
    quorrel::buildBoundaryCurve(*boundary, m_minLineConnectionDistance, m_maxLineConnectionDistance,
                                m_minCurvePointCount);
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
    BusyCursor busy;
    quorrel::smoothCurve(boundary->curve, m_smoothLevel);
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
    BusyCursor busy;
    quorrel::detectFovealWidthAndDepth(*boundary, m_curveDividingCount);
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
