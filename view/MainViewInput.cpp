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
    return mode == quorrel::Detect || mode == quorrel::Cut || mode == quorrel::CutSquared || mode == quorrel::Clear;
}

} // namespace

void MainViewWidget::mousePressEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QPoint position = mapToView(event->pos());
    if (isRubberBandMode(viewMode)) {
        selectionStart = position;
        selectionEnd = position;
        pressFrameSeconds = lastFrameSeconds;
    } else if (viewMode == quorrel::InsertCurve) {
        pickReferencePoint(position);
    } else if (viewMode == quorrel::ControlLocalMinMax) {
        pickExtremumHandle(position);
    } else if (viewMode == quorrel::MeasureUnit) {
        unitLineStart = position;
        unitLineEnd = position;
    }
}

void MainViewWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QPoint position = mapToView(event->pos());
    switch (viewMode) {
    case quorrel::Detect:
    case quorrel::Cut:
    case quorrel::Clear:
        selectionEnd = position;
        break;
    case quorrel::CutSquared: {
        selectionEnd = position;
        const int x0 = selectionStart.x();
        const int y0 = selectionStart.y();
        const int x1 = selectionEnd.x();
        const int y1 = selectionEnd.y();
        const int ax = std::abs(x0 - x1);
        const int dy = y0 - y1;
        if (ax > dy)
            selectionEnd.setY(y1 < y0 ? y0 - ax : y0 + ax);
        else
            selectionEnd.setX(x1 < x0 ? x0 - dy : x0 + dy);
        break;
    }
    case quorrel::InsertCurve: {
        Boundary* boundary = currentBoundary();
        if (boundary && quorrel::indexInRange(selectedReferencePointIndex, boundary->referenceCurve.size()))
            boundary->referenceCurve[static_cast<std::size_t>(selectedReferencePointIndex)] = toImagePoint(position);
        break;
    }
    case quorrel::ControlLocalMinMax:
        dragExtremumHandle(toImagePoint(position));
        break;
    case quorrel::MeasureUnit:
        unitLineEnd = position;
        break;
    }
}

void MainViewWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint position = mapToView(event->pos());
    switch (viewMode) {
    case quorrel::Detect:
        // A release right after the press keeps the band the drag made
        // unless the frame loop stalled in between.
        if (lastFrameSeconds - pressFrameSeconds < 0.25)
            selectionEnd = position;
        break;
    case quorrel::Cut:
    case quorrel::Clear:
        selectionEnd = position;
        break;
    case quorrel::MeasureUnit:
        unitLineEnd = position;
        break;
    default:
        break;
    }
}

void MainViewWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || viewMode != quorrel::InsertCurve)
        return;
    Boundary* boundary = currentBoundary();
    if (!boundary)
        return;
    boundary->referenceCurve.push_back(toImagePoint(mapToView(event->pos())));
}

void MainViewWidget::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return) {
        if (viewMode == quorrel::Detect)
            detectBoundaryEdges();
        else if (viewMode == quorrel::Cut || viewMode == quorrel::CutSquared)
            cutImage();
    } else if (event->key() == Qt::Key_Delete) {
        if (viewMode == quorrel::Detect)
            eraseEdgePointsInSelection();
        else if (viewMode == quorrel::Clear)
            clearSelection();
        else if (viewMode == quorrel::InsertCurve)
            deleteSelectedReferencePoint();
    } else {
        writeDebugOutput("sgsdlgmd\n");
    }
    event->accept();
}

bool MainViewWidget::isHit(const QPoint& viewPoint, const Point2d& imagePoint) const
{
    const double tolerance = imageWidth / 200.0;
    return std::fabs(viewPoint.x() - (imagePoint.x + imageOffset.x)) <= tolerance
        && std::fabs(viewPoint.y() - (imagePoint.y + imageOffset.y)) <= tolerance;
}

void MainViewWidget::pickReferencePoint(const QPoint& viewPoint)
{
    const Boundary* boundary = currentBoundary();
    if (!boundary)
        return;
    selectedReferencePointIndex = -1;
    for (std::size_t i = 0; i < boundary->referenceCurve.size(); ++i) {
        if (isHit(viewPoint, boundary->referenceCurve[i])) {
            selectedReferencePointIndex = static_cast<int>(i);
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
    selectedExtremumHandle = quorrel::NoHandle;
    for (int handle = quorrel::CTop; handle <= quorrel::EBottom; ++handle) {
        if (isHit(viewPoint, handles[handle])) {
            selectedExtremumHandle = handle;
            return;
        }
    }
}

void MainViewWidget::dragExtremumHandle(const Point2d& imagePoint)
{
    Boundary* boundary = currentBoundary();
    if (!boundary || !hasValidExtrema())
        return;
    switch (selectedExtremumHandle) {
    case quorrel::CTop:
        boundary->curveSamples[static_cast<std::size_t>(boundary->indexC)] = imagePoint;
        break;
    case quorrel::CBottom:
        boundary->referenceSamples[static_cast<std::size_t>(boundary->indexC)] = imagePoint;
        break;
    case quorrel::ATop:
        boundary->curveSamples[static_cast<std::size_t>(boundary->indexA)] = imagePoint;
        break;
    case quorrel::ABottom:
        boundary->referenceSamples[static_cast<std::size_t>(boundary->indexA)] = imagePoint;
        break;
    case quorrel::ETop:
        boundary->curveSamples[static_cast<std::size_t>(boundary->indexE)] = imagePoint;
        break;
    case quorrel::EBottom:
        boundary->referenceSamples[static_cast<std::size_t>(boundary->indexE)] = imagePoint;
        break;
    default:
        break;
    }
}

void MainViewWidget::deleteSelectedReferencePoint()
{
    Boundary* boundary = currentBoundary();
    if (!boundary || !quorrel::indexInRange(selectedReferencePointIndex, boundary->referenceCurve.size()))
        return;
    boundary->referenceCurve.erase(boundary->referenceCurve.begin() + selectedReferencePointIndex);
    selectedReferencePointIndex = -1;
}

namespace {

// The rubber band in image pixels, clamped to the image; shared by the cut,
// the clear and the erase.
struct BandBounds {
    int left;
    int bottom;
    int right;
    int top;
};

BandBounds rubberBandBounds(const QPoint& start, const QPoint& end, const quorrel::Point2d& offset,
                            std::uint32_t imageWidth, std::uint32_t imageHeight)
{
    const int xa = static_cast<int>(end.x() - offset.x);
    const int xb = static_cast<int>(start.x() - offset.x);
    const int ya = static_cast<int>(end.y() - offset.y);
    const int yb = static_cast<int>(start.y() - offset.y);
    BandBounds bounds;
    bounds.left = std::max(0, std::min(xa, xb));
    bounds.right = static_cast<int>(std::min<long long>(imageWidth, std::max(xa, xb)));
    bounds.bottom = std::max(0, std::min(ya, yb));
    bounds.top = static_cast<int>(std::min<long long>(imageHeight, std::max(ya, yb)));
    return bounds;
}

} // namespace

void MainViewWidget::cutImage()
{
    if (!pixels)
        return;
    if (imageCut) {
        QMessageBox::warning(this, tr("Cut Failed"),
                             tr("Image was cut before, please load original image before cutting"), QMessageBox::Ok);
        return;
    }
    const BandBounds band = rubberBandBounds(selectionStart, selectionEnd, imageOffset, imageWidth, imageHeight);
    // An empty band would cut the picture down to nothing.
    if (band.right <= band.left || band.top <= band.bottom)
        return;
    const double w = imageWidth;
    const double h = imageHeight;
    const std::wstring path = imagePath;
    loadImage(path, band.left / w, band.bottom / h, (band.right - band.left) / w, (band.top - band.bottom) / h);
    imageCut = true;
}

void MainViewWidget::clearSelection()
{
    if (!pixels)
        return;
    const BandBounds band = rubberBandBounds(selectionStart, selectionEnd, imageOffset, imageWidth, imageHeight);
    for (int row = band.bottom; row < band.top; ++row) {
        for (int column = band.left; column < band.right; ++column) {
            std::uint8_t* pixel =
                pixels.get() + (static_cast<std::size_t>(row) * imageWidth + static_cast<std::size_t>(column)) * 4u;
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
    const BandBounds band = rubberBandBounds(selectionStart, selectionEnd, imageOffset, imageWidth, imageHeight);
    auto inside = [&band](const Point2d& point) {
        return band.left <= point.x && point.x <= band.right && band.bottom <= point.y && point.y <= band.top;
    };
    boundary->edgePoints.erase(std::remove_if(boundary->edgePoints.begin(), boundary->edgePoints.end(), inside),
                               boundary->edgePoints.end());
    boundary->curveNodes.clear();
    boundary->curve.clear();
}
