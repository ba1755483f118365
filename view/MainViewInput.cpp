#include "view/MainViewWidget.h"

#include <algorithm>
#include <cmath>

#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QWheelEvent>

#include "analysis/MeasurementSteps.h"
#include "core/DebugOutput.h"

namespace {

bool isRubberBandMode(quorrel::ViewMode mode)
{
    using quorrel::ViewMode;
    return mode == ViewMode::Detect || mode == ViewMode::Cut || mode == ViewMode::CutSquared || mode == ViewMode::Clear;
}

QString handleName(quorrel::ExtremumHandle handle)
{
    using quorrel::ExtremumHandle;
    switch (handle) {
    case ExtremumHandle::CTop:
        return MainViewWidget::tr("Move C Top");
    case ExtremumHandle::CBottom:
        return MainViewWidget::tr("Move C Bottom");
    case ExtremumHandle::ATop:
        return MainViewWidget::tr("Move A Top");
    case ExtremumHandle::ABottom:
        return MainViewWidget::tr("Move A Bottom");
    case ExtremumHandle::ETop:
        return MainViewWidget::tr("Move E Top");
    case ExtremumHandle::EBottom:
        return MainViewWidget::tr("Move E Bottom");
    case ExtremumHandle::NoHandle:
        break;
    }
    return QString();
}

} // namespace

// A middle press, or a left press while Space is held, starts dragging the
// picture instead of the mode's gesture.
bool MainViewWidget::startPan(QMouseEvent* event)
{
    if (m_panButton != Qt::NoButton)
        return true;
    if (event->button() != Qt::MiddleButton && !(event->button() == Qt::LeftButton && m_spaceHeld))
        return false;
    m_panButton = event->button();
    m_panLastPosition = event->localPos();
    setCursor(Qt::ClosedHandCursor);
    return true;
}

void MainViewWidget::mousePressEvent(QMouseEvent* event)
{
    if (startPan(event))
        return;
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QPoint position = mapToView(event->pos());
    if (isRubberBandMode(m_viewMode)) {
        m_selectionStart = position;
        m_selectionEnd = position;
        m_pressFrameSeconds = m_lastFrameSeconds;
    } else if (m_viewMode == ViewMode::InsertCurve) {
        pickReferencePoint(position);
        if (m_selectedReferencePointIndex >= 0)
            startDragEdit(tr("Move Reference Point"));
    } else if (m_viewMode == ViewMode::ControlLocalMinMax) {
        pickExtremumHandle(position);
        if (m_selectedExtremumHandle != ExtremumHandle::NoHandle && hasValidExtrema())
            startDragEdit(handleName(m_selectedExtremumHandle));
    } else if (m_viewMode == ViewMode::MeasureUnit) {
        // The press alone already replaces the line the user had.
        if (m_unitLineStart != position || m_unitLineEnd != position)
            recordEdit(tr("Unit Line"), UnitLinePart);
        m_unitLineStart = position;
        m_unitLineEnd = position;
    }
}

void MainViewWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (m_panButton != Qt::NoButton) {
        panBy(event->localPos() - m_panLastPosition);
        m_panLastPosition = event->localPos();
        return;
    }
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
        if (!boundary || !quorrel::indexInRange(m_selectedReferencePointIndex, boundary->referenceCurve.size()))
            break;
        Point2d& point = boundary->referenceCurve[static_cast<std::size_t>(m_selectedReferencePointIndex)];
        if (point != toImagePoint(position)) {
            commitDragEdit();
            point = toImagePoint(position);
        }
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
    if (m_panButton != Qt::NoButton) {
        if (event->button() == m_panButton) {
            m_panButton = Qt::NoButton;
            if (m_spaceHeld)
                setCursor(Qt::OpenHandCursor);
            else
                unsetCursor();
        }
        return;
    }
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
    case ViewMode::MeasureUnit: {
        m_unitLineEnd = position;
        const double length =
            std::hypot(m_unitLineEnd.x() - m_unitLineStart.x(), m_unitLineEnd.y() - m_unitLineStart.y());
        reportStatus(tr("Unit line of %1 pixels").arg(length, 0, 'g', 6));
        break;
    }
    default:
        break;
    }
    m_dragPending = false;
}

void MainViewWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    // With Space held the left button only moves the picture.
    if (event->button() != Qt::LeftButton || m_viewMode != ViewMode::InsertCurve || m_spaceHeld)
        return;
    Boundary* boundary = currentBoundary();
    if (!boundary)
        return;
    recordEdit(tr("Add Reference Point"), CurrentBoundaryPart);
    const Point2d point = toImagePoint(mapToView(event->pos()));
    boundary->referenceCurve.push_back(point);
    reportStatus(
        tr("Reference point %1 at x %2, report y %3").arg(boundary->referenceCurve.size()).arg(point.x).arg(point.y));
}

void MainViewWidget::keyPressEvent(QKeyEvent* event)
{
    // An arrow key scrolls the view by an eighth of its size over the picture.
    const QPointF scroll(std::max(1, width() / 8), std::max(1, height() / 8));
    if (event->key() == Qt::Key_Space) {
        if (!event->isAutoRepeat()) {
            m_spaceHeld = true;
            if (m_panButton == Qt::NoButton)
                setCursor(Qt::OpenHandCursor);
        }
    } else if (event->key() == Qt::Key_Left) {
        panBy(QPointF(scroll.x(), 0.0));
    } else if (event->key() == Qt::Key_Right) {
        panBy(QPointF(-scroll.x(), 0.0));
    } else if (event->key() == Qt::Key_Up) {
        panBy(QPointF(0.0, scroll.y()));
    } else if (event->key() == Qt::Key_Down) {
        panBy(QPointF(0.0, -scroll.y()));
    } else if (event->key() == Qt::Key_Return) {
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

void MainViewWidget::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        m_spaceHeld = false;
        if (m_panButton == Qt::NoButton)
            unsetCursor();
    }
    event->accept();
}

// Without the focus the view does not hear Space being let go.
void MainViewWidget::focusOutEvent(QFocusEvent* event)
{
    m_spaceHeld = false;
    if (m_panButton == Qt::NoButton)
        unsetCursor();
    QGLWidget::focusOutEvent(event);
}

// One notch of an ordinary wheel is one zoom step; finer wheels and touch
// pads add up to whole notches.
void MainViewWidget::wheelEvent(QWheelEvent* event)
{
    constexpr int kNotch = 120;
    m_wheelRemainder += event->angleDelta().y();
    const int steps = m_wheelRemainder / kNotch;
    m_wheelRemainder -= steps * kNotch;
    if (steps != 0)
        zoomBy(steps, event->position());
    event->accept();
}

// How near a press must come to a point to pick it, in view pixels; the
// reference points are drawn twice this wide. Zooming keeps it the same on
// screen, as the points keep their size there, but magnified it stays half
// a pixel: a press names a whole pixel, and a point between pixels must
// still be picked by a press on it.
double MainViewWidget::pickDistance() const
{
    const double distance = m_imageWidth / 200.0;
    return std::max(distance / quorrel::zoomForStep(m_camera.zoomStep), std::min(distance, 0.5));
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
    // Only the pixel run's points can be moved; the run in microns is drawn
    // as it was found.
    const Boundary* boundary = currentBoundary();
    if (!boundary || !hasValidExtrema() || m_shownRun != quorrel::ShownRun::Pixels)
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
    const auto a = static_cast<std::size_t>(boundary->indexA);
    const auto c = static_cast<std::size_t>(boundary->indexC);
    const auto e = static_cast<std::size_t>(boundary->indexE);
    Point2d* target = nullptr;
    switch (m_selectedExtremumHandle) {
    case ExtremumHandle::CTop:
        target = &boundary->curveSamples[c];
        break;
    case ExtremumHandle::CBottom:
        target = &boundary->referenceSamples[c];
        break;
    case ExtremumHandle::ATop:
        target = &boundary->curveSamples[a];
        break;
    case ExtremumHandle::ABottom:
        target = &boundary->referenceSamples[a];
        break;
    case ExtremumHandle::ETop:
        target = &boundary->curveSamples[e];
        break;
    case ExtremumHandle::EBottom:
        target = &boundary->referenceSamples[e];
        break;
    case ExtremumHandle::NoHandle:
        break;
    }
    if (!target || *target == imagePoint)
        return;
    commitDragEdit();
    quorrel::moveMeasuredPoint(
        *boundary, quorrel::PointMove{static_cast<quorrel::MovablePoint>(m_selectedExtremumHandle), imagePoint});
}

void MainViewWidget::deleteSelectedReferencePoint()
{
    Boundary* boundary = currentBoundary();
    if (!boundary || !quorrel::indexInRange(m_selectedReferencePointIndex, boundary->referenceCurve.size()))
        return;
    recordEdit(tr("Delete Reference Point"), CurrentBoundaryPart);
    boundary->referenceCurve.erase(boundary->referenceCurve.begin() + m_selectedReferencePointIndex);
    m_selectedReferencePointIndex = -1;
    reportStatus(tr("Reference curve of %1 points").arg(boundary->referenceCurve.size()));
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
    EditSnapshot before = takeSnapshot(PixelsPart);
    // The cut keeps the frame on screen.
    if (!replaceImage(path, m_imageFrame, band.left / w, band.bottom / h, (band.right - band.left) / w,
                      (band.top - band.bottom) / h))
        return;
    m_imageCut = true;
    commitSnapshot(tr("Cut"), std::move(before));
    reportStatus(tr("Cut to %1 x %2 pixels").arg(m_imageWidth).arg(m_imageHeight));
}

void MainViewWidget::clearSelection()
{
    if (!m_pixels)
        return;
    const quorrel::PixelRect band = selectionPixelRect();
    if (band.isEmpty())
        return;
    recordEdit(tr("Clear"), PixelsPart);
    quorrel::whitenPixels(m_pixels.get(), static_cast<int>(m_imageWidth), static_cast<int>(m_imageHeight), band);
    // Boundaries traced from now on record it, so that a measurement file
    // whitens the same pixels before repeating them.
    m_imageOrigin.whitened.push_back(band);
    uploadTexture();
    reportStatus(tr("Cleared %1 x %2 pixels").arg(band.right - band.left).arg(band.top - band.bottom));
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
    const auto erased = std::count_if(boundary->edgePoints.begin(), boundary->edgePoints.end(), inside);
    if (erased == 0 && boundary->curve.empty() && boundary->curveNodes.empty())
        return;
    recordEdit(tr("Erase Edge Points"), CurrentBoundaryPart);
    quorrel::eraseEdgePoints(*boundary, band);
    reportStatus(tr("Erased %1 edge pixels; the curve is to be made again").arg(erased));
}
