#include "view/MainViewWidget.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

std::size_t boundaryBytes(const quorrel::Boundary& boundary)
{
    std::size_t points = boundary.edgePoints.size() + boundary.curve.size() + boundary.referenceCurve.size()
        + boundary.curveSamples.size() + boundary.referenceSamples.size() + boundary.resampledCurve.size()
        + boundary.resampledReference.size();
    std::size_t bytes = sizeof(quorrel::Boundary) + points * sizeof(quorrel::Point2d)
        + boundary.resampledDistances.size() * sizeof(double);
    for (const quorrel::CurveNode& node : boundary.curveNodes)
        bytes += sizeof(node) + node.neighbours.size() * (sizeof(int) + sizeof(double));
    return bytes;
}

} // namespace

MainViewWidget::EditSnapshot MainViewWidget::takeSnapshot(unsigned parts) const
{
    EditSnapshot snapshot;
    snapshot.parts = parts;
    snapshot.currentBoundaryIndex = m_currentBoundaryIndex;
    snapshot.selectedReferencePointIndex = m_selectedReferencePointIndex;
    if (parts & CurrentBoundaryPart) {
        if (const Boundary* boundary = currentBoundary()) {
            snapshot.boundaryIndex = m_currentBoundaryIndex;
            snapshot.boundary = *boundary;
        }
    }
    if (parts & BoundaryListPart)
        snapshot.boundaries = m_boundaries;
    if (parts & UnitLinePart) {
        snapshot.unitLineStart = m_unitLineStart;
        snapshot.unitLineEnd = m_unitLineEnd;
    }
    if ((parts & PixelsPart) && m_pixels) {
        const std::size_t bytes = static_cast<std::size_t>(m_imageWidth) * m_imageHeight * 4u;
        snapshot.pixels.reset(new std::uint8_t[bytes]);
        std::memcpy(snapshot.pixels.get(), m_pixels.get(), bytes);
        snapshot.imageWidth = m_imageWidth;
        snapshot.imageHeight = m_imageHeight;
        snapshot.imageCut = m_imageCut;
        snapshot.imageOrigin = m_imageOrigin;
    }
    return snapshot;
}

void MainViewWidget::recordEdit(const QString& name, unsigned parts)
{
    m_dragPending = false;
    commitSnapshot(name, takeSnapshot(parts));
}

void MainViewWidget::commitSnapshot(const QString& name, EditSnapshot snapshot)
{
    std::size_t bytes = sizeof(EditSnapshot);
    if (snapshot.boundaryIndex >= 0)
        bytes += boundaryBytes(snapshot.boundary);
    for (const Boundary& boundary : snapshot.boundaries)
        bytes += boundaryBytes(boundary);
    if (snapshot.pixels)
        bytes += static_cast<std::size_t>(snapshot.imageWidth) * snapshot.imageHeight * 4u;
    m_history.record(name.toStdString(), std::move(snapshot), bytes);
    historyChanged();
}

// Swaps every recorded part with the live state, so that the snapshot
// afterwards holds what was live: the same call undoes and redoes.
void MainViewWidget::exchangeSnapshot(EditSnapshot& snapshot)
{
    if (snapshot.parts & BoundaryListPart)
        std::swap(m_boundaries, snapshot.boundaries);
    if ((snapshot.parts & CurrentBoundaryPart) && quorrel::indexInRange(snapshot.boundaryIndex, m_boundaries.size()))
        std::swap(m_boundaries[static_cast<std::size_t>(snapshot.boundaryIndex)], snapshot.boundary);
    if (snapshot.parts & UnitLinePart) {
        std::swap(m_unitLineStart, snapshot.unitLineStart);
        std::swap(m_unitLineEnd, snapshot.unitLineEnd);
    }
    if ((snapshot.parts & PixelsPart) && snapshot.pixels) {
        std::swap(m_pixels, snapshot.pixels);
        std::swap(m_imageWidth, snapshot.imageWidth);
        std::swap(m_imageHeight, snapshot.imageHeight);
        std::swap(m_imageCut, snapshot.imageCut);
        std::swap(m_imageOrigin, snapshot.imageOrigin);
        if (m_imageDisplayMode == ImageDisplayMode::OriginalSize)
            m_imageOffset = centringOffset();
        // A picture of another size starts unzoomed, as a loaded one does.
        if (m_imageWidth != snapshot.imageWidth || m_imageHeight != snapshot.imageHeight)
            resetCamera();
        uploadTexture();
    }
    std::swap(m_currentBoundaryIndex, snapshot.currentBoundaryIndex);
    std::swap(m_selectedReferencePointIndex, snapshot.selectedReferencePointIndex);
    const Boundary* boundary = currentBoundary();
    if (!boundary || !quorrel::indexInRange(m_selectedReferencePointIndex, boundary->referenceCurve.size()))
        m_selectedReferencePointIndex = -1;
    m_selectedExtremumHandle = ExtremumHandle::NoHandle;
    // The run in microns was made from the points now put back: it is made
    // again when asked for.
    forgetCalibratedRun();
}

bool MainViewWidget::undo()
{
    m_dragPending = false;
    const QString name = undoName();
    if (!m_history.undo([this](EditSnapshot& snapshot) { exchangeSnapshot(snapshot); }))
        return false;
    reportStatus(tr("Undid %1").arg(name));
    historyChanged();
    return true;
}

bool MainViewWidget::redo()
{
    m_dragPending = false;
    const QString name = redoName();
    if (!m_history.redo([this](EditSnapshot& snapshot) { exchangeSnapshot(snapshot); }))
        return false;
    reportStatus(tr("Redid %1").arg(name));
    historyChanged();
    return true;
}

// A press that picked something to drag: nothing has changed yet, and a
// press without a move must leave no entry behind.
void MainViewWidget::startDragEdit(const QString& name)
{
    m_dragPending = true;
    m_dragName = name;
    m_dragSnapshot = takeSnapshot(CurrentBoundaryPart);
}

void MainViewWidget::commitDragEdit()
{
    if (!m_dragPending)
        return;
    m_dragPending = false;
    commitSnapshot(m_dragName, std::move(m_dragSnapshot));
    m_dragSnapshot = EditSnapshot{};
}

void MainViewWidget::historyChanged()
{
    if (m_historyChanged)
        m_historyChanged();
}

void MainViewWidget::reportStatus(const QString& text)
{
    if (m_statusHandler)
        m_statusHandler(text);
}
