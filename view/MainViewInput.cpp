#include "view/MainViewWidget.h"

#include <algorithm>
#include <cmath>

#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>

#include "core/DebugOutput.h"

namespace {

bool isRubberBandMode(quorrel::ViewMode mode)
{
    using quorrel::ViewMode;
    return mode == ViewMode::Detect || mode == ViewMode::Cut || mode == ViewMode::CutSquared || mode == ViewMode::Clear;
}

} // namespace

void MainViewWidget::mousePressEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QPoint position = mapToView(event->pos());
    if (isRubberBandMode(m_viewMode)) {
        m_selectionStart = position;
        m_selectionEnd = position;
        m_pressFrameSeconds = m_lastFrameSeconds;
    } else if (m_viewMode == ViewMode::InsertCurve) {
        pickReferencePoint(position);
    } else if (m_viewMode == ViewMode::ControlLocalMinMax) {
        pickExtremumHandle(position);
    } else if (m_viewMode == ViewMode::MeasureUnit) {
        m_unitLineStart = position;
        m_unitLineEnd = position;
    }
}

void MainViewWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QPoint position = mapToView(event->pos());
    switch (m_viewMode) {
    case ViewMode::Detect:
    case ViewMode::Cut:
    case ViewMode::Clear:
        m_selectionEnd = position;
        break;
    case ViewMode::CutSquared: {
        m_selectionEnd = position;
        const int x0 = m_selectionStart.x();
        const int y0 = m_selectionStart.y();
        const int x1 = m_selectionEnd.x();
        const int y1 = m_selectionEnd.y();
        const int ax = std::abs(x0 - x1);
        const int dy = y0 - y1;
        if (ax > dy)
            m_selectionEnd.setY(y1 < y0 ? y0 - ax : y0 + ax);
        else
            m_selectionEnd.setX(x1 < x0 ? x0 - dy : x0 + dy);
        break;
    }
    case ViewMode::InsertCurve: {
        Boundary* boundary = currentBoundary();
        if (boundary && quorrel::indexInRange(m_selectedReferencePointIndex, boundary->referenceCurve.size()))
            boundary->referenceCurve[static_cast<std::size_t>(m_selectedReferencePointIndex)] = toImagePoint(position);
        break;
    }
    case ViewMode::ControlLocalMinMax:
        dragExtremumHandle(toImagePoint(position));
        break;
    case ViewMode::MeasureUnit:
        m_unitLineEnd = position;
        break;
    }
}

void MainViewWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint position = mapToView(event->pos());
    switch (m_viewMode) {
    case ViewMode::Detect:
        // A release right after the press keeps the band the drag made
        // unless the frame loop stalled in between.
        if (m_lastFrameSeconds - m_pressFrameSeconds < 0.25)
            m_selectionEnd = position;
        break;
    case ViewMode::Cut:
    case ViewMode::Clear:
        m_selectionEnd = position;
        break;
    case ViewMode::MeasureUnit:
        m_unitLineEnd = position;
        break;
    default:
        break;
    }
}

void MainViewWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || m_viewMode != ViewMode::InsertCurve)
        return;
    Boundary* boundary = currentBoundary();
    if (!boundary)
        return;
    boundary->referenceCurve.push_back(toImagePoint(mapToView(event->pos())));
}

void MainViewWidget::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return) {
        if (m_viewMode == ViewMode::Detect)
            detectBoundaryEdges();
        else if (m_viewMode == ViewMode::Cut || m_viewMode == ViewMode::CutSquared)
            cutImage();
    } else if (event->key() == Qt::Key_Delete) {
        if (m_viewMode == ViewMode::Detect)
            eraseEdgePointsInSelection();
        else if (m_viewMode == ViewMode::Clear)
            clearSelection();
        else if (m_viewMode == ViewMode::InsertCurve)
            deleteSelectedReferencePoint();
    } else {
        writeDebugOutput("sgsdlgmd\n");
    }
    event->accept();
}

// How near a press must come to a point to pick it, in view pixels; the
// reference points are drawn twice this wide.
double MainViewWidget::pickDistance() const
{
    return m_imageWidth / 200.0;
}

bool MainViewWidget::isHit(const QPoint& viewPoint, const Point2d& imagePoint) const
{
    const double tolerance = pickDistance();
    return std::fabs(viewPoint.x() - (imagePoint.x + m_imageOffset.x)) <= tolerance
        && std::fabs(viewPoint.y() - (imagePoint.y + m_imageOffset.y)) <= tolerance;
}

void MainViewWidget::pickReferencePoint(const QPoint& viewPoint)
{
    const Boundary* boundary = currentBoundary();
    if (!boundary)
        return;
    m_selectedReferencePointIndex = -1;
    for (std::size_t i = 0; i < boundary->referenceCurve.size(); ++i) {
        if (isHit(viewPoint, boundary->referenceCurve[i])) {
            m_selectedReferencePointIndex = static_cast<int>(i);
            return;
        }
    }
}

void MainViewWidget::pickExtremumHandle(const QPoint& viewPoint)
{
    const Boundary* boundary = currentBoundary();
    if (!boundary || !hasValidExtrema())
        return;
    const Point2d handles[] = {
        boundary->curveSamples[static_cast<std::size_t>(boundary->indexC)],
        boundary->referenceSamples[static_cast<std::size_t>(boundary->indexC)],
        boundary->curveSamples[static_cast<std::size_t>(boundary->indexA)],
        boundary->referenceSamples[static_cast<std::size_t>(boundary->indexA)],
        boundary->curveSamples[static_cast<std::size_t>(boundary->indexE)],
        boundary->referenceSamples[static_cast<std::size_t>(boundary->indexE)],
    };
    m_selectedExtremumHandle = ExtremumHandle::NoHandle;
    for (int handle = static_cast<int>(ExtremumHandle::CTop); handle <= static_cast<int>(ExtremumHandle::EBottom);
         ++handle) {
        if (isHit(viewPoint, handles[handle])) {
            m_selectedExtremumHandle = static_cast<ExtremumHandle>(handle);
            return;
        }
    }
}

void MainViewWidget::dragExtremumHandle(const Point2d& imagePoint)
{
    Boundary* boundary = currentBoundary();
    if (!boundary || !hasValidExtrema())
        return;
    switch (m_selectedExtremumHandle) {
    case ExtremumHandle::CTop:
        boundary->curveSamples[static_cast<std::size_t>(boundary->indexC)] = imagePoint;
        break;
    case ExtremumHandle::CBottom:
        boundary->referenceSamples[static_cast<std::size_t>(boundary->indexC)] = imagePoint;
        break;
    case ExtremumHandle::ATop:
        boundary->curveSamples[static_cast<std::size_t>(boundary->indexA)] = imagePoint;
        break;
    case ExtremumHandle::ABottom:
        boundary->referenceSamples[static_cast<std::size_t>(boundary->indexA)] = imagePoint;
        break;
    case ExtremumHandle::ETop:
        boundary->curveSamples[static_cast<std::size_t>(boundary->indexE)] = imagePoint;
        break;
    case ExtremumHandle::EBottom:
        boundary->referenceSamples[static_cast<std::size_t>(boundary->indexE)] = imagePoint;
        break;
    default:
        break;
    }
}

void MainViewWidget::deleteSelectedReferencePoint()
{
    Boundary* boundary = currentBoundary();
    if (!boundary || !quorrel::indexInRange(m_selectedReferencePointIndex, boundary->referenceCurve.size()))
        return;
    boundary->referenceCurve.erase(boundary->referenceCurve.begin() + m_selectedReferencePointIndex);
    m_selectedReferencePointIndex = -1;
}

void MainViewWidget::cutImage()
{
    if (!m_pixels)
        return;
    if (m_imageCut) {
        QMessageBox::warning(this, tr("Cut Failed"),
                             tr("Image was cut before, please load original image before cutting"), QMessageBox::Ok);
        return;
    }
    const quorrel::PixelRect band = selectionPixelRect();
    // An empty band would cut the picture down to nothing.
    if (band.isEmpty())
        return;
    const double w = m_imageWidth;
    const double h = m_imageHeight;
    const std::wstring path = m_imagePath;
    loadImage(path, band.left / w, band.bottom / h, (band.right - band.left) / w, (band.top - band.bottom) / h);
    m_imageCut = true;
}

void MainViewWidget::clearSelection()
{
    if (!m_pixels)
        return;
    const quorrel::PixelRect band = selectionPixelRect();
    for (int row = band.bottom; row < band.top; ++row) {
        for (int column = band.left; column < band.right; ++column) {
            std::uint8_t* pixel =
                m_pixels.get() + (static_cast<std::size_t>(row) * m_imageWidth + static_cast<std::size_t>(column)) * 4u;
            std::fill(pixel, pixel + 4, std::uint8_t{255});
        }
    }
    uploadTexture();
}

void MainViewWidget::eraseEdgePointsInSelection()
{
    Boundary* boundary = currentBoundary();
    if (!boundary)
        return;
    const quorrel::PixelRect band = selectionPixelRect();
    auto inside = [&band](const Point2d& point) {
        return band.left <= point.x && point.x <= band.right && band.bottom <= point.y && point.y <= band.top;
    };
    boundary->edgePoints.erase(std::remove_if(boundary->edgePoints.begin(), boundary->edgePoints.end(), inside),
                               boundary->edgePoints.end());
    boundary->curveNodes.clear();
    boundary->curve.clear();
}
