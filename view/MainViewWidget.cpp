#include "view/MainViewWidget.h"

#include <cmath>

#include <QGLFormat>

#include "analysis/MeasurementSteps.h"

namespace {

QGLFormat viewFormat()
{
    QGLFormat format;
    format.setDoubleBuffer(true);
    format.setDepth(true);
    // Paces the frame loop by the display where the driver allows it, so an
    // idle window does not keep a processor core busy.
    format.setSwapInterval(1);
    return format;
}

QFont makeLabelFont(int pointSize)
{
    QFont font(QStringLiteral("Arial"), pointSize, QFont::Bold, false);
    return font;
}

} // namespace

MainViewWidget::MainViewWidget(QWidget* parent)
    : QGLWidget(viewFormat(), parent)
    , m_labelFont(makeLabelFont(15))
    , m_smallLabelFont(makeLabelFont(10))
{
    setFocusPolicy(Qt::StrongFocus);
    // Drawing happens in the frame loop and in paintGL; the toolkit must not
    // swap on its own after paintGL.
    setAutoBufferSwap(false);
    // The labels are painted over the GL drawing; a filled background would
    // clear it when the painter begins.
    setAutoFillBackground(false);
}

MainViewWidget::~MainViewWidget() = default;

void MainViewWidget::setImageDisplayMode(ImageDisplayMode mode)
{
    if (mode == m_imageDisplayMode)
        return;
    m_imageDisplayMode = mode;
    m_imageOffset = mode == ImageDisplayMode::OriginalSize ? centringOffset() : Point2d{};
    resetCamera();
}

quorrel::ScreenTransform MainViewWidget::screenTransform() const
{
    return quorrel::applyCamera(
        quorrel::baseTransform(m_imageDisplayMode, width(), height(), m_imageWidth, m_imageHeight), m_camera);
}

// The anchor is the pointer's position itself, not the centre of the pixel
// it is on, so that zooming around one position does not creep.
void MainViewWidget::zoomBy(int steps, const QPointF& windowAnchor)
{
    const quorrel::ScreenTransform base =
        quorrel::baseTransform(m_imageDisplayMode, width(), height(), m_imageWidth, m_imageHeight);
    const quorrel::ViewCamera zoomed =
        quorrel::zoomAround(base, m_camera, steps, windowAnchor.x(), height() - windowAnchor.y());
    if (zoomed.zoomStep == m_camera.zoomStep)
        return;
    m_camera = zoomed;
    reportZoom();
}

void MainViewWidget::zoomIn()
{
    zoomBy(1, QPointF(width() * 0.5, height() * 0.5));
}

void MainViewWidget::zoomOut()
{
    zoomBy(-1, QPointF(width() * 0.5, height() * 0.5));
}

void MainViewWidget::panBy(const QPointF& windowDistance)
{
    m_camera.panX += windowDistance.x();
    m_camera.panY -= windowDistance.y();
}

void MainViewWidget::showOriginalSize()
{
    setImageDisplayMode(ImageDisplayMode::OriginalSize);
    resetCamera();
}

void MainViewWidget::resetCamera()
{
    m_camera = quorrel::ViewCamera{};
    m_wheelRemainder = 0;
    reportZoom();
}

void MainViewWidget::reportZoom()
{
    if (!m_zoomHandler)
        return;
    const quorrel::ScreenTransform transform = screenTransform();
    m_zoomHandler(transform.x.scale, transform.y.scale);
}

// Centred to a whole pixel: at half a pixel every image pixel would straddle
// two screen pixels, and nearest filtering would show some rows twice and
// others not at all.
MainViewWidget::Point2d MainViewWidget::centringOffset() const
{
    return Point2d{std::floor((static_cast<double>(width()) - static_cast<double>(m_imageWidth)) * 0.5),
                   std::floor((static_cast<double>(height()) - static_cast<double>(m_imageHeight)) * 0.5)};
}

void MainViewWidget::setCurrentBoundaryIndex(int index)
{
    m_currentBoundaryIndex = index;
    m_selectedReferencePointIndex = -1;
}

// A boundary of another image, or of another part of the same file, is never
// current: nothing may draw, edit or save it over a picture it was not traced
// on.
MainViewWidget::Boundary* MainViewWidget::currentBoundary()
{
    if (!quorrel::indexInRange(m_currentBoundaryIndex, m_boundaries.size()))
        return nullptr;
    Boundary& boundary = m_boundaries[static_cast<std::size_t>(m_currentBoundaryIndex)];
    return isOnScreen(boundary) ? &boundary : nullptr;
}

const MainViewWidget::Boundary* MainViewWidget::currentBoundary() const
{
    return const_cast<MainViewWidget*>(this)->currentBoundary();
}

bool MainViewWidget::isOnScreen(const Boundary& boundary) const
{
    const quorrel::ImageOrigin& origin = boundary.steps.origin;
    return m_pixels && boundary.imagePath == m_imagePath && origin.frame == m_imageOrigin.frame
        && origin.regionX0 == m_imageOrigin.regionX0 && origin.regionY0 == m_imageOrigin.regionY0
        && origin.regionWidth == m_imageOrigin.regionWidth && origin.regionHeight == m_imageOrigin.regionHeight;
}

void MainViewWidget::removeBoundary(int index)
{
    if (!quorrel::indexInRange(index, m_boundaries.size()))
        return;
    recordEdit(tr("Remove Boundary"), BoundaryListPart);
    m_boundaries.erase(m_boundaries.begin() + index);
    reportStatus(tr("Removed boundary %1").arg(index + 1));
    if (index < m_currentBoundaryIndex)
        --m_currentBoundaryIndex;
    if (index == m_calibratedBoundaryIndex)
        forgetCalibratedRun();
    else if (index < m_calibratedBoundaryIndex)
        --m_calibratedBoundaryIndex;
    if (m_boundaries.empty()) {
        m_currentBoundaryIndex = -1;
        m_selectedReferencePointIndex = -1;
    } else if (m_currentBoundaryIndex < 0) {
        m_currentBoundaryIndex = 0;
        m_selectedReferencePointIndex = -1;
    }
}

QPoint MainViewWidget::mapToView(const QPoint& windowPosition) const
{
    // The view point that nearest filtering shows at the centre of the
    // window pixel, so that a click lands where the user sees it.
    const quorrel::ScreenTransform transform = screenTransform();
    const double x = transform.x.toView(windowPosition.x() + 0.5);
    const double y = transform.y.toView(height() - windowPosition.y() - 0.5);
    return QPoint(static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y)));
}

bool MainViewWidget::imagePixelAt(const QPoint& windowPosition, int& x, int& y) const
{
    if (!m_pixels)
        return false;
    const QPoint viewPoint = mapToView(windowPosition);
    const double column = std::floor(viewPoint.x() - m_imageOffset.x);
    const double row = std::floor(viewPoint.y() - m_imageOffset.y);
    if (column < 0.0 || row < 0.0 || column >= m_imageWidth || row >= m_imageHeight)
        return false;
    x = static_cast<int>(column);
    y = static_cast<int>(row);
    return true;
}

MainViewWidget::Point2d MainViewWidget::toImagePoint(const QPoint& viewPoint) const
{
    return Point2d{viewPoint.x() - m_imageOffset.x, viewPoint.y() - m_imageOffset.y};
}

quorrel::RgbaImageView MainViewWidget::imageView() const
{
    quorrel::RgbaImageView view;
    // Without a buffer the sizes may still be those of an earlier image.
    if (!m_pixels)
        return view;
    view.pixels = m_pixels.get();
    view.width = static_cast<int>(m_imageWidth);
    view.height = static_cast<int>(m_imageHeight);
    return view;
}
