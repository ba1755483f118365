#pragma once

// A shown view of a fixed size with a test image, and reading back what it drew.

#include <memory>

#include <QImage>
#include <QMouseEvent>
#include <QTest>

#include "GuiTestSupport.h"
#include "samples/generator/SyntheticScan.h"
#include "tests/analysis/TestImage.h"
#include "view/MainViewWidget.h"

namespace testsupport {

// Image pixel (x, y) counted from the bottom row, as the view stores it.
inline QRgb imagePixelFromBottom(const QImage& image, int x, int y)
{
    return image.pixel(x, image.height() - 1 - y);
}

inline bool sameColour(QRgb a, QRgb b)
{
    return qRed(a) == qRed(b) && qGreen(a) == qGreen(b) && qBlue(a) == qBlue(b);
}

// A picture with a distinct colour per pixel so that positions can be checked.
inline QImage gradientImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 7) % 256, (y * 11) % 256, (x + y) % 256));
    return image;
}

// A shown view of the given widget size, alone in its own window.
inline std::unique_ptr<MainViewWidget> makeShownView(int width, int height)
{
    auto view = std::make_unique<MainViewWidget>();
    view->setFixedSize(width, height);
    view->show();
    if (!QTest::qWaitForWindowExposed(view.get()))
        qWarning("view window was not exposed");
    view->updateFrame(0.0);
    return view;
}

// What the view shows after one frame; (0, 0) of the returned image is the
// widget's top-left pixel. The frame's buffer swap keeps the drawn content
// in the buffer that is read back.
inline QImage renderAndRead(MainViewWidget& view)
{
    view.renderScene();
    return view.grabFrameBuffer();
}

// Window position whose mapped view point in OriginalSize is (x, y).
inline QPoint windowPointForView(const MainViewWidget& view, int x, int y)
{
    return QPoint(x, view.height() - 1 - y);
}

// A move with the left button held (QTest::mouseMove carries no buttons).
inline void moveWithLeftButton(QWidget& widget, QPoint to)
{
    QMouseEvent move(QEvent::MouseMove, to, widget.mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&widget, &move);
}

// Press, a move with the button held, release: a drag as a user makes it.
inline void dragWithLeftButton(QWidget& widget, QPoint from, QPoint to)
{
    QTest::mousePress(&widget, Qt::LeftButton, Qt::NoModifier, from);
    moveWithLeftButton(widget, (from + to) / 2);
    moveWithLeftButton(widget, to);
    QTest::mouseRelease(&widget, Qt::LeftButton, Qt::NoModifier, to);
}

// Drags a rubber band over image pixels (x0, y0)-(x1, y1), counted from the
// bottom, in the view's Original Size display.
inline void selectImageRect(MainViewWidget& view, int x0, int y0, int x1, int y1)
{
    const quorrel::Point2d offset = view.imageOffset();
    auto window = [&](int x, int y) {
        return windowPointForView(view, x + static_cast<int>(offset.x), y + static_cast<int>(offset.y));
    };
    dragWithLeftButton(view, window(x0, y0), window(x1, y1));
}

// A boundary detected from a small rectangle at the image's lower left.
inline quorrel::Boundary* detectBoundary(MainViewWidget& view)
{
    view.setViewMode(quorrel::ViewMode::Detect);
    selectImageRect(view, 1, 1, 4, 4);
    view.detectBoundaryEdges();
    return view.currentBoundary();
}

// Writes a generated scan as a picture file; the scan's rows run bottom-up.
inline QString writeSyntheticScan(const QString& path, const quorrel::SyntheticScan& scan)
{
    QImage image(scan.width, scan.height, QImage::Format_RGBA8888);
    for (int row = 0; row < scan.height; ++row) {
        const std::uint8_t* source = scan.rgba.data() + static_cast<std::size_t>(row) * scan.width * 4;
        std::copy(source, source + scan.width * 4, image.scanLine(scan.height - 1 - row));
    }
    image.save(path);
    return path;
}

// The analysis tests' small fovea as a picture file.
inline QString writeFoveaScan(const QString& path, bool speckled = false)
{
    return writeSyntheticScan(path, quorrel::makeSyntheticScan(quorrel::test::smallFovea(speckled)));
}

// A shown main window, active, so that its shortcuts reach it.
template <typename Window> std::unique_ptr<Window> makeShownWindow(int width = 1400, int height = 800)
{
    auto window = std::make_unique<Window>();
    window->resize(width, height);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        qWarning("window not exposed");
    QApplication::setActiveWindow(window.get());
    return window;
}

} // namespace testsupport
