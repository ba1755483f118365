#include "view/MainViewWidget.h"

#include <cmath>

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include "analysis/FovealExtrema.h"
#include "imageio/ImageFile.h"

namespace {

struct Rgb {
    float r;
    float g;
    float b;
};

const Rgb kBlack{0.0f, 0.0f, 0.0f};
const Rgb kWhite{1.0f, 1.0f, 1.0f};

// The outline that keeps a colour readable on any background: white around
// dark colours, black around light ones.
Rgb haloFor(const Rgb& colour)
{
    const float luma = 0.299f * colour.r + 0.587f * colour.g + 0.114f * colour.b;
    return luma < 0.5f ? kWhite : kBlack;
}

void setColour(const Rgb& colour)
{
    glColor3f(colour.r, colour.g, colour.b);
}

void vertex(const quorrel::Point2d& point, const quorrel::Point2d& offset)
{
    glVertex3d(point.x + offset.x, point.y + offset.y, 0.0);
}

void line(const quorrel::Point2d& from, const quorrel::Point2d& to, const quorrel::Point2d& offset)
{
    vertex(from, offset);
    vertex(to, offset);
}

// Draws the primitives of vertices twice: first one pixel wider on each side in
// the halo colour, then in their own colour and size.
template <typename Vertices> void drawWithHalo(GLenum mode, const Rgb& colour, float size, Vertices vertices)
{
    const bool points = mode == GL_POINTS;
    for (int pass = 0; pass < 2; ++pass) {
        const float passSize = pass == 0 ? size + 2.0f : size;
        if (points)
            glPointSize(passSize);
        else
            glLineWidth(passSize);
        setColour(pass == 0 ? haloFor(colour) : colour);
        glBegin(mode);
        vertices();
        glEnd();
    }
}

} // namespace

void MainViewWidget::initializeGL()
{
    quorrel::initImageLibrary();
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    m_glInitialized = true;
}

void MainViewWidget::resizeGL(int width, int height)
{
    glViewport(0, 0, std::max(1, width), std::max(1, height));
    // The fitting modes scale with the widget.
    reportZoom();
}

void MainViewWidget::paintGL()
{
    renderScene();
}

void MainViewWidget::updateFrame(double elapsedSeconds)
{
    if (!m_glInitialized)
        return;
    m_lastFrameSeconds = elapsedSeconds;
    makeCurrent();
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
}

void MainViewWidget::renderScene()
{
    if (!m_glInitialized || width() < 1 || height() < 1)
        return;
    // The frame loop draws outside the toolkit's paint callback, so the one
    // context of this view is made current here.
    makeCurrent();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // One projection unit per widget pixel; the model-view matrix carries
    // view coordinates there through the display mode, the zoom and the pan,
    // the same transform that input maps back through. Line widths and point
    // sizes are in screen pixels, so they do not grow with the zoom.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, width(), 0.0, height(), -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const quorrel::ScreenTransform transform = screenTransform();
    glTranslated(transform.x.origin, transform.y.origin, 0.0);
    glScaled(transform.x.scale, transform.y.scale, 1.0);

    if (m_textureId != 0) {
        glDisable(GL_BLEND);
        glDisable(GL_LIGHTING);
        drawImage();
        // A point at whole coordinates names a pixel; its centre lies half a
        // pixel further on. Overlays are smoothed where the context can.
        glTranslated(0.5, 0.5, 0.0);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glEnable(GL_LINE_SMOOTH);
        glEnable(GL_POINT_SMOOTH);
        drawSelection();
        drawCurrentBoundary();
        drawUnitLine();
        const Boundary* boundary = currentBoundary();
        if (m_showDebugInfo && boundary)
            drawDebugSegments(*boundary);
        glDisable(GL_LINE_SMOOTH);
        glDisable(GL_POINT_SMOOTH);
        glDisable(GL_BLEND);
        if (boundary && hasValidExtrema())
            drawLabels(*boundary);
    }
    swapBuffers();
}

void MainViewWidget::drawImage()
{
    const double ox = m_imageOffset.x;
    const double oy = m_imageOffset.y;
    glEnable(GL_TEXTURE_2D);
    glColor3f(1.0f, 1.0f, 1.0f);
    glBindTexture(GL_TEXTURE_2D, m_textureId);
    glBegin(GL_QUADS);
    glTexCoord2d(0.0, 0.0);
    glVertex3d(ox, oy, 0.0);
    glTexCoord2d(1.0, 0.0);
    glVertex3d(ox + m_imageWidth, oy, 0.0);
    glTexCoord2d(1.0, 1.0);
    glVertex3d(ox + m_imageWidth, oy + m_imageHeight, 0.0);
    glTexCoord2d(0.0, 1.0);
    glVertex3d(ox, oy + m_imageHeight, 0.0);
    glEnd();
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
}

void MainViewWidget::drawSelection()
{
    const Point2d start{static_cast<double>(m_selectionStart.x()), static_cast<double>(m_selectionStart.y())};
    const Point2d end{static_cast<double>(m_selectionEnd.x()), static_cast<double>(m_selectionEnd.y())};
    const Point2d none;
    drawWithHalo(GL_LINES, Rgb{1.0f, 0.0f, 0.0f}, 3.0f, [&] {
        line({start.x, start.y}, {end.x, start.y}, none);
        line({end.x, start.y}, {end.x, end.y}, none);
        line({end.x, end.y}, {start.x, end.y}, none);
        line({start.x, end.y}, {start.x, start.y}, none);
    });
}

void MainViewWidget::drawCurrentBoundary()
{
    const Boundary* boundary = currentBoundary();
    if (!boundary)
        return;
    drawSampleRect(*boundary);
    drawEdgePoints(*boundary);
    drawCurve(*boundary);
    if (m_shownRun == quorrel::ShownRun::Pixels)
        drawExtrema(*boundary);
    else if (calibratedRun())
        drawExtrema(m_calibratedInPixels);
    drawReferenceCurve(*boundary);
}

void MainViewWidget::drawSampleRect(const Boundary& boundary)
{
    const quorrel::PixelRect& rect = boundary.selectionRect;
    const double left = rect.left;
    const double top = rect.top;
    const double right = rect.right;
    const double bottom = rect.bottom;
    drawWithHalo(GL_LINES, Rgb{0.0f, 1.0f, 1.0f}, 5.0f, [&] {
        line({left, top}, {right, top}, m_imageOffset);
        line({right, top}, {right, bottom}, m_imageOffset);
        line({right, bottom}, {left, bottom}, m_imageOffset);
        line({left, bottom}, {left, top}, m_imageOffset);
    });
}

void MainViewWidget::drawEdgePoints(const Boundary& boundary)
{
    drawWithHalo(GL_POINTS, Rgb{0.0f, 0.0f, 1.0f}, 5.0f, [&] {
        for (const Point2d& point : boundary.edgePoints)
            vertex(point, m_imageOffset);
    });
}

void MainViewWidget::drawCurve(const Boundary& boundary)
{
    drawWithHalo(GL_LINE_STRIP, Rgb{207.0f / 255.0f, 245.0f / 255.0f, 54.0f / 255.0f}, 4.0f, [&] {
        for (const Point2d& point : boundary.curve)
            vertex(point, m_imageOffset);
    });
}

void MainViewWidget::drawExtrema(const Boundary& boundary)
{
    if (!quorrel::hasValidExtrema(boundary))
        return;
    const auto a = static_cast<std::size_t>(boundary.indexA);
    const auto c = static_cast<std::size_t>(boundary.indexC);
    const auto e = static_cast<std::size_t>(boundary.indexE);
    const Point2d aTop = boundary.curveSamples[a];
    const Point2d aBottom = boundary.referenceSamples[a];
    const Point2d cTop = boundary.curveSamples[c];
    const Point2d cBottom = boundary.referenceSamples[c];
    const Point2d eTop = boundary.curveSamples[e];
    const Point2d eBottom = boundary.referenceSamples[e];
    const std::size_t resampledCount = std::min(boundary.resampledCurve.size(), boundary.resampledReference.size());
    const bool hasB = quorrel::indexInRange(boundary.indexB, resampledCount);
    const bool hasD = quorrel::indexInRange(boundary.indexD, resampledCount);

    drawWithHalo(GL_POINTS, Rgb{0.0f, 1.0f, 0.0f}, 15.0f, [&] {
        vertex(aTop, m_imageOffset);
        vertex(aBottom, m_imageOffset);
        if (hasB) {
            vertex(boundary.resampledCurve[static_cast<std::size_t>(boundary.indexB)], m_imageOffset);
            vertex(boundary.resampledReference[static_cast<std::size_t>(boundary.indexB)], m_imageOffset);
        }
        vertex(cTop, m_imageOffset);
        vertex(cBottom, m_imageOffset);
        if (hasD) {
            vertex(boundary.resampledCurve[static_cast<std::size_t>(boundary.indexD)], m_imageOffset);
            vertex(boundary.resampledReference[static_cast<std::size_t>(boundary.indexD)], m_imageOffset);
        }
        vertex(eTop, m_imageOffset);
        vertex(eBottom, m_imageOffset);
    });

    drawWithHalo(GL_LINES, Rgb{0.0f, 0.5f, 0.0f}, 5.0f, [&] {
        line(aTop, aBottom, m_imageOffset);
        line(eTop, eBottom, m_imageOffset);
    });
    drawWithHalo(GL_LINES, Rgb{0.0f, 0.0f, 0.5f}, 5.0f, [&] { line(cTop, cBottom, m_imageOffset); });
    drawWithHalo(GL_LINES, Rgb{0.0f, 1.0f, 1.0f}, 5.0f, [&] { line(aTop, eTop, m_imageOffset); });
}

// Where an image point is drawn, in the widget's own pixels from its
// top-left corner (the labels are laid out there).
QPointF MainViewWidget::toWindow(const Point2d& imagePoint) const
{
    const quorrel::ScreenTransform transform = screenTransform();
    return QPointF(transform.x.toScreen(imagePoint.x + m_imageOffset.x + 0.5),
                   height() - transform.y.toScreen(imagePoint.y + m_imageOffset.y + 0.5));
}

// The labels of A to E, in black with a white outline so that they read on
// the dark vitreous as on the bright retina. Top labels sit above and right
// of their point, Bottom labels below it; a label that would cover one
// placed before it moves further away from the other side.
void MainViewWidget::drawLabels(const Boundary& boundary)
{
    struct Label {
        QString text;
        Point2d point;
        bool top;
        const QFont* font;
    };
    const auto a = static_cast<std::size_t>(boundary.indexA);
    const auto c = static_cast<std::size_t>(boundary.indexC);
    const auto e = static_cast<std::size_t>(boundary.indexE);
    std::vector<Label> labels = {
        {tr("A Top"), boundary.curveSamples[a], true, &m_labelFont},
        {tr("A Bottom"), boundary.referenceSamples[a], false, &m_labelFont},
        {tr("C Top"), boundary.curveSamples[c], true, &m_labelFont},
        {tr("C Bottom"), boundary.referenceSamples[c], false, &m_labelFont},
        {tr("E Top"), boundary.curveSamples[e], true, &m_labelFont},
        {tr("E Bottom"), boundary.referenceSamples[e], false, &m_labelFont},
    };
    const std::size_t resampledCount = std::min(boundary.resampledCurve.size(), boundary.resampledReference.size());
    if (quorrel::indexInRange(boundary.indexB, resampledCount)) {
        const auto b = static_cast<std::size_t>(boundary.indexB);
        labels.push_back({tr("B Top"), boundary.resampledCurve[b], true, &m_smallLabelFont});
        labels.push_back({tr("B Bottom"), boundary.resampledReference[b], false, &m_smallLabelFont});
    }
    if (quorrel::indexInRange(boundary.indexD, resampledCount)) {
        const auto d = static_cast<std::size_t>(boundary.indexD);
        labels.push_back({tr("D Top"), boundary.resampledCurve[d], true, &m_smallLabelFont});
        labels.push_back({tr("D Bottom"), boundary.resampledReference[d], false, &m_smallLabelFont});
    }

    // Clear of the 15-pixel point marker and its outline.
    constexpr double kGap = 9.0;
    std::vector<QRectF> placed;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QPen halo(Qt::white, 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    for (const Label& label : labels) {
        const QFontMetricsF metrics(*label.font);
        const QPointF anchor = toWindow(label.point);
        QRectF box(0.0, 0.0, metrics.horizontalAdvance(label.text), metrics.height());
        if (label.top)
            box.moveBottomLeft(QPointF(anchor.x() + kGap, anchor.y() - 2.0));
        else
            box.moveTopLeft(QPointF(anchor.x() + kGap, anchor.y() + 2.0));
        for (int attempt = 0; attempt < 20; ++attempt) {
            auto covered = std::find_if(placed.begin(), placed.end(),
                                        [&box](const QRectF& other) { return other.intersects(box); });
            if (covered == placed.end())
                break;
            const double step = label.top ? box.bottom() - covered->top() : covered->bottom() - box.top();
            box.translate(0.0, label.top ? -(step + 1.0) : step + 1.0);
        }
        placed.push_back(box);
        QPainterPath path;
        path.addText(QPointF(box.left(), box.top() + metrics.ascent()), *label.font, label.text);
        painter.strokePath(path, halo);
        painter.fillPath(path, Qt::black);
    }
    painter.end();
}

void MainViewWidget::drawReferenceCurve(const Boundary& boundary)
{
    const Rgb selected{1.0f, 0.0f, 0.0f};
    const Rgb other{0.5f, 0.5f, 0.5f};
    const float size = static_cast<float>(m_imageWidth / 200.0 * 2.0);
    for (int pass = 0; pass < 2; ++pass) {
        glPointSize(pass == 0 ? size + 2.0f : size);
        glBegin(GL_POINTS);
        for (std::size_t i = 0; i < boundary.referenceCurve.size(); ++i) {
            const Rgb& colour = static_cast<int>(i) == m_selectedReferencePointIndex ? selected : other;
            setColour(pass == 0 ? haloFor(colour) : colour);
            vertex(boundary.referenceCurve[i], m_imageOffset);
        }
        glEnd();
    }
    drawWithHalo(GL_LINE_STRIP, Rgb{1.0f, 1.0f, 0.0f}, 3.0f, [&] {
        for (const Point2d& point : boundary.referenceCurve)
            vertex(point, m_imageOffset);
    });
}

void MainViewWidget::drawUnitLine()
{
    const double sx = m_unitLineStart.x();
    const double sy = m_unitLineStart.y();
    const double ex = m_unitLineEnd.x();
    const double ey = m_unitLineEnd.y();
    // The ticks keep their length on screen as the view zooms.
    const double tick = 5.0 / quorrel::zoomForStep(m_camera.zoomStep);
    double tx = tick;
    double ty = 0.0;
    if (std::fabs(ex - sx) > std::fabs(ey - sy)) {
        tx = 0.0;
        ty = tick;
    }
    const Point2d none;
    drawWithHalo(GL_LINES, kBlack, 3.0f, [&] { line({sx, sy}, {ex, ey}, none); });
    drawWithHalo(GL_LINES, Rgb{0.0f, 0.0f, 1.0f}, 3.0f, [&] {
        line({sx + tx, sy + ty}, {sx - tx, sy - ty}, none);
        line({ex + tx, ey + ty}, {ex - tx, ey - ty}, none);
    });
}

void MainViewWidget::drawDebugSegments(const Boundary& boundary)
{
    const std::size_t count = std::min(boundary.curveSamples.size(), boundary.referenceSamples.size());
    glColor3f(0.0f, 0.0f, 0.0f);
    glLineWidth(1.0f);
    glBegin(GL_LINES);
    for (std::size_t i = 0; i < count; ++i)
        line(boundary.curveSamples[i], boundary.referenceSamples[i], m_imageOffset);
    glEnd();
}
