#include "view/MainViewWidget.h"

#include <cmath>

#include "analysis/FovealExtrema.h"
#include "imageio/ImageFile.h"

namespace {

void vertex(const quorrel::Point2d& point, const quorrel::Point2d& offset)
{
    glVertex3d(point.x + offset.x, point.y + offset.y, 0.0);
}

void line(const quorrel::Point2d& from, const quorrel::Point2d& to, const quorrel::Point2d& offset)
{
    vertex(from, offset);
    vertex(to, offset);
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
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (m_imageDisplayMode == ImageDisplayMode::OriginalSize)
        glOrtho(0.0, width(), 0.0, height(), -1.0, 1.0);
    else if (m_imageDisplayMode == ImageDisplayMode::FitToScreen)
        glOrtho(0.0, m_imageWidth, 0.0, m_imageHeight, -1.0, 1.0);

    if (m_textureId != 0) {
        glDisable(GL_BLEND);
        glDisable(GL_LIGHTING);
        drawImage();
        drawSelection();
        drawCurrentBoundary();
        drawUnitLine();
        const Boundary* boundary = currentBoundary();
        if (m_showDebugInfo && boundary)
            drawDebugSegments(*boundary);
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
    glColor3f(1.0f, 0.0f, 0.0f);
    glLineWidth(3.0f);
    glBegin(GL_LINES);
    line({start.x, start.y}, {end.x, start.y}, none);
    line({end.x, start.y}, {end.x, end.y}, none);
    line({end.x, end.y}, {start.x, end.y}, none);
    line({start.x, end.y}, {start.x, start.y}, none);
    glEnd();
}

void MainViewWidget::drawCurrentBoundary()
{
    const Boundary* boundary = currentBoundary();
    if (!boundary)
        return;
    drawSampleRect(*boundary);
    drawEdgePoints(*boundary);
    drawCurve(*boundary);
    drawExtrema(*boundary);
    drawReferenceCurve(*boundary);
}

void MainViewWidget::drawSampleRect(const Boundary& boundary)
{
    const quorrel::PixelRect& rect = boundary.selectionRect;
    const double left = rect.left;
    const double top = rect.top;
    const double right = rect.right;
    const double bottom = rect.bottom;
    glColor3f(0.0f, 1.0f, 1.0f);
    glLineWidth(5.0f);
    glBegin(GL_LINES);
    line({left, top}, {right, top}, m_imageOffset);
    line({right, top}, {right, bottom}, m_imageOffset);
    line({right, bottom}, {left, bottom}, m_imageOffset);
    line({left, bottom}, {left, top}, m_imageOffset);
    glEnd();
}

void MainViewWidget::drawEdgePoints(const Boundary& boundary)
{
    glColor3f(0.0f, 0.0f, 1.0f);
    glPointSize(5.0f);
    glBegin(GL_POINTS);
    for (const Point2d& point : boundary.edgePoints)
        vertex(point, m_imageOffset);
    glEnd();
}

void MainViewWidget::drawCurve(const Boundary& boundary)
{
    glColor3d(207.0 / 255.0, 245.0 / 255.0, 54.0 / 255.0);
    glLineWidth(4.0f);
    glBegin(GL_LINE_STRIP);
    for (const Point2d& point : boundary.curve)
        vertex(point, m_imageOffset);
    glEnd();
}

void MainViewWidget::drawExtrema(const Boundary& boundary)
{
    if (!hasValidExtrema())
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

    glColor3f(0.0f, 1.0f, 0.0f);
    glPointSize(15.0f);
    glBegin(GL_POINTS);
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
    glEnd();

    glLineWidth(5.0f);
    glBegin(GL_LINES);
    glColor3f(0.0f, 0.5f, 0.0f);
    line(aTop, aBottom, m_imageOffset);
    line(eTop, eBottom, m_imageOffset);
    glColor3f(0.0f, 0.0f, 0.5f);
    line(cTop, cBottom, m_imageOffset);
    glColor3f(0.0f, 1.0f, 1.0f);
    line(aTop, eTop, m_imageOffset);
    glEnd();

    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glColor3f(0.0f, 0.0f, 0.0f);
    auto label = [this](const Point2d& point, bool lowered, const QString& text, const QFont& font) {
        const double x = point.x + m_imageOffset.x;
        const double y = point.y + m_imageOffset.y - (lowered ? 15.0 : 0.0);
        renderText(x, y, 0.0, text, font);
    };
    label(aTop, false, tr("A Top"), m_labelFont);
    label(aBottom, true, tr("A Bottom"), m_labelFont);
    if (hasB) {
        label(boundary.resampledCurve[static_cast<std::size_t>(boundary.indexB)], true, tr("B Top"), m_smallLabelFont);
        label(boundary.resampledReference[static_cast<std::size_t>(boundary.indexB)], true, tr("B Bottom"),
              m_smallLabelFont);
    }
    label(cTop, false, tr("C Top"), m_labelFont);
    label(cBottom, true, tr("C Bottom"), m_labelFont);
    if (hasD) {
        label(boundary.resampledCurve[static_cast<std::size_t>(boundary.indexD)], true, tr("D Top"), m_smallLabelFont);
        label(boundary.resampledReference[static_cast<std::size_t>(boundary.indexD)], true, tr("D Bottom"),
              m_smallLabelFont);
    }
    label(eTop, false, tr("E Top"), m_labelFont);
    label(eBottom, true, tr("E Bottom"), m_labelFont);
    glPopAttrib();
}

void MainViewWidget::drawReferenceCurve(const Boundary& boundary)
{
    glPointSize(static_cast<float>(pickDistance() * 2.0));
    glBegin(GL_POINTS);
    for (std::size_t i = 0; i < boundary.referenceCurve.size(); ++i) {
        if (static_cast<int>(i) == m_selectedReferencePointIndex)
            glColor3f(1.0f, 0.0f, 0.0f);
        else
            glColor3f(0.5f, 0.5f, 0.5f);
        vertex(boundary.referenceCurve[i], m_imageOffset);
    }
    glEnd();
    glLineWidth(3.0f);
    glColor3f(1.0f, 1.0f, 0.0f);
    glBegin(GL_LINE_STRIP);
    for (const Point2d& point : boundary.referenceCurve)
        vertex(point, m_imageOffset);
    glEnd();
}

void MainViewWidget::drawUnitLine()
{
    const double sx = m_unitLineStart.x();
    const double sy = m_unitLineStart.y();
    const double ex = m_unitLineEnd.x();
    const double ey = m_unitLineEnd.y();
    double tx = 5.0;
    double ty = 0.0;
    if (std::fabs(ex - sx) > std::fabs(ey - sy)) {
        tx = 0.0;
        ty = 5.0;
    }
    const Point2d none;
    glLineWidth(3.0f);
    glColor3f(0.0f, 0.0f, 0.0f);
    glBegin(GL_LINES);
    line({sx, sy}, {ex, ey}, none);
    glEnd();
    glColor3f(0.0f, 0.0f, 1.0f);
    glBegin(GL_LINES);
    line({sx + tx, sy + ty}, {sx - tx, sy - ty}, none);
    line({ex + tx, ey + ty}, {ex - tx, ey - ty}, none);
    glEnd();
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
