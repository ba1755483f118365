#include "view/MainViewWidget.h"

#include <fstream>

#include <QFile>
#include <QMessageBox>

#include "analysis/ColorDistance.h"
#include "analysis/CurveConstruction.h"
#include "analysis/CurveSmoothing.h"
#include "analysis/FovealExtrema.h"
#include "analysis/MeasurementReport.h"
#include "analysis/RegionGrowing.h"
#include "ui/Quorrel.h"
#include "view/BusyCursor.h"

bool MainViewWidget::hasValidExtrema() const
{
    const Boundary* boundary = currentBoundary();
    return boundary && quorrel::hasValidExtrema(*boundary);
}

quorrel::PixelRect MainViewWidget::selectionPixelRect() const
{
    return quorrel::selectionPixelRect(selectionStart.x(), selectionStart.y(), selectionEnd.x(), selectionEnd.y(),
                                       imageOffset, static_cast<int>(imageWidth), static_cast<int>(imageHeight));
}

void MainViewWidget::detectMaxColorDistance()
{
    if (!pixels)
        return;
    BusyCursor busy;
    m_maxColorDistance = quorrel::estimateMaxColorDistance(imageView(), selectionPixelRect());
}

void MainViewWidget::detectBoundaryEdges()
{
    if (!pixels)
        return;
    const quorrel::RgbaImageView image = imageView();
    Boundary candidate = quorrel::makeCandidateBoundary(image, imagePath, selectionPixelRect(), m_maxColorDistance);
    const int existing = quorrel::findEqualBoundary(boundaries, candidate);
    if (existing >= 0) {
        m_currentBoundaryIndex = existing;
        selectedReferencePointIndex = -1;
        return;
    }
    m_currentBoundaryIndex = static_cast<int>(boundaries.size());
    selectedReferencePointIndex = -1;
    boundaries.push_back(std::move(candidate));
    Boundary& added = boundaries.back();
    {
        BusyCursor busy;
        added.edgePoints = quorrel::collectEdgePoints(image, added.seedPoint, added.referenceColor, m_maxColorDistance);
    }
    if (auto* window = qobject_cast<Quorrel*>(parentWidget()))
        window->addColorListItem(added);
}

void MainViewWidget::makeBoundaryCurve()
{
    Boundary* boundary = currentBoundary();
    if (!boundary)
        return;
    BusyCursor busy;
    quorrel::sortEdgePoints(boundary->edgePoints);
    quorrel::buildBoundaryCurve(*boundary, m_minLineConnectionDistance, m_maxLineConnectionDistance,
                                minCurvePointCount);
}

void MainViewWidget::smoothLine()
{
    if (boundaries.empty() || m_currentBoundaryIndex < 0) {
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
    if (boundaries.empty() || m_currentBoundaryIndex < 0) {
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
    const Point2d unitStart{static_cast<double>(unitLineStart.x()), static_cast<double>(unitLineStart.y())};
    const Point2d unitEnd{static_cast<double>(unitLineEnd.x()), static_cast<double>(unitLineEnd.y())};
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
    const std::string report =
        quorrel::formatMeasurementReport(quorrel::computeFovealMeasurements(*boundary, unitStart, unitEnd, unitMicron));
    return file.write(report.data(), static_cast<qint64>(report.size())) == static_cast<qint64>(report.size());
}
