// Zoom and pan: a click lands on the image pixel drawn under the pointer at
// every zoom, pan and display mode, and so does a reference point placed
// there; zooming stops at its limits.

#include <cmath>

#include <QAction>
#include <QLabel>
#include <QTest>
#include <QWheelEvent>

#include "ViewTestSupport.h"
#include "ui/Quorrel.h"

namespace {

using quorrel::ImageDisplayMode;

void turnWheel(QWidget& widget, QPoint at, int notches)
{
    QWheelEvent wheel(QPointF(at), QPointF(widget.mapToGlobal(at)), QPoint(), QPoint(0, notches * 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&widget, &wheel);
}

// Drags the picture with a button, a move of the given distance in between.
void dragPicture(QWidget& widget, Qt::MouseButton button, QPoint from, QPoint distance)
{
    QTest::mousePress(&widget, button, Qt::NoModifier, from);
    QMouseEvent move(QEvent::MouseMove, from + distance, widget.mapToGlobal(from + distance), Qt::NoButton, button,
                     Qt::NoModifier);
    QApplication::sendEvent(&widget, &move);
    QTest::mouseRelease(&widget, button, Qt::NoModifier, from + distance);
}

} // namespace

class ViewZoomTest : public QObject {
    Q_OBJECT

private slots:
    // A 200 x 150 picture in a 401 x 303 view, at Original Size at view
    // (100, 76). Each row: display mode, wheel notches at a window point,
    // a pan, a click and the image pixel worked out by hand.
    void click_LandsOnThePixelDrawnUnderThePointer()
    {
        const struct {
            const char* name;
            ImageDisplayMode mode;
            QPoint wheelAt;
            int notches;
            const char* pan;
            QPoint click;
            QPoint pixel;
        } rows[] = {
            {"1:1", ImageDisplayMode::OriginalSize, QPoint(), 0, "", QPoint(150, 200), QPoint(50, 26)},
            // 4x around screen (200, 153): origin -3 times it, (-600, -459)
            {"4x", ImageDisplayMode::OriginalSize, QPoint(200, 150), 6, "", QPoint(201, 149), QPoint(100, 77)},
            // and the middle button moves the picture 37 left, 23 down
            {"4x, middle", ImageDisplayMode::OriginalSize, QPoint(200, 150), 6, "middle", QPoint(10, 290),
             QPoint(61, 47)},
            // 2^(-2/3) = 0.62996 around screen (100, 100): origin 37
            {"0.63x", ImageDisplayMode::OriginalSize, QPoint(100, 203), -2, "", QPoint(150, 150), QPoint(80, 107)},
            // Space drag 20 right, 10 up, Right scrolls 401 / 8 = 50: origin (-30, 10)
            {"space, arrow", ImageDisplayMode::OriginalSize, QPoint(), 0, "space", QPoint(150, 200), QPoint(80, 16)},
            // min(401 / 200, 303 / 150) = 2.005, origin (0, 1)
            {"aspect", ImageDisplayMode::FitKeepingAspect, QPoint(), 0, "", QPoint(203, 151), QPoint(101, 75)},
            // doubled around the bottom-left corner: 4.01, origin (0, 2)
            {"aspect 2x", ImageDisplayMode::FitKeepingAspect, QPoint(0, 303), 3, "", QPoint(203, 151), QPoint(50, 37)},
            {"stretched", ImageDisplayMode::FitToScreen, QPoint(), 0, "", QPoint(203, 150), QPoint(101, 75)},
            // 4.01 x 4.04, origin (0, 0)
            {"stretched 2x", ImageDisplayMode::FitToScreen, QPoint(0, 303), 3, "", QPoint(203, 151), QPoint(50, 37)},
            // A grey picture goes to the card as one byte a pixel, after a
            // picture of the same size in colour and another grey one.
            {"1:1 grey", ImageDisplayMode::OriginalSize, QPoint(), 0, "", QPoint(150, 200), QPoint(50, 26)},
            {"4x grey", ImageDisplayMode::OriginalSize, QPoint(200, 150), 6, "", QPoint(201, 149), QPoint(100, 77)},
        };
        testsupport::ScratchDirectory scratch;
        const QImage colour = testsupport::gradientImage(200, 150);
        const QImage grey = colour.convertToFormat(QImage::Format_Grayscale8);
        const std::wstring colourPath = testsupport::writeImage(scratch.filePath("scan.png"), colour).toStdWString();
        const std::wstring greyPath = testsupport::writeImage(scratch.filePath("grey.png"), grey).toStdWString();
        const std::wstring otherGreyPath =
            testsupport::writeImage(scratch.filePath("other.png"), grey.mirrored(true, false)).toStdWString();
        for (const auto& row : rows) {
            const bool isGrey = QByteArray(row.name).endsWith("grey");
            const QImage& picture = isGrey ? grey : colour;
            auto view = testsupport::makeShownView(401, 303);
            // Colour after grey, and grey after colour and grey.
            QVERIFY(view->loadImage(isGrey ? colourPath : greyPath, 0.0, 0.0, 1.0, 1.0));
            if (isGrey)
                QVERIFY(view->loadImage(otherGreyPath, 0.0, 0.0, 1.0, 1.0));
            QVERIFY(view->loadImage(isGrey ? greyPath : colourPath, 0.0, 0.0, 1.0, 1.0));
            view->setImageDisplayMode(row.mode);
            turnWheel(*view, row.wheelAt, row.notches);
            if (QByteArray(row.pan) == "middle") {
                dragPicture(*view, Qt::MiddleButton, QPoint(300, 100), QPoint(-37, 23));
            } else if (QByteArray(row.pan) == "space") {
                QTest::keyPress(view.get(), Qt::Key_Space);
                dragPicture(*view, Qt::LeftButton, QPoint(300, 100), QPoint(20, -10));
                QTest::keyRelease(view.get(), Qt::Key_Space);
                QTest::keyClick(view.get(), Qt::Key_Right);
                QCOMPARE(view->selectionStart(), QPoint()); // no rubber band
            }
            int x = -1;
            int y = -1;
            QVERIFY2(view->imagePixelAt(row.click, x, y) && QPoint(x, y) == row.pixel, row.name);
            const QImage shown = testsupport::renderAndRead(*view);
            QVERIFY2(testsupport::sameColour(shown.pixel(row.click), testsupport::imagePixelFromBottom(picture, x, y)),
                     row.name);

            // Every screen pixel shows what a click there finds, except where
            // its centre is on the border of two image pixels, and around the
            // unit line's marks at the view's origin; at 1:1 every image pixel
            // shows exactly once, edges included, between odd margins.
            const quorrel::ScreenTransform transform = view->screenTransform();
            auto onBorder = [](double coordinate) { return std::fabs(coordinate - std::round(coordinate)) < 0.01; };
            const QPointF marks(transform.x.toScreen(0.5), view->height() - transform.y.toScreen(0.5));
            int wrong = 0;
            int shownPixels = 0;
            for (int wy = 0; wy < view->height(); ++wy) {
                for (int wx = 0; wx < view->width(); ++wx) {
                    if ((std::fabs(wx - marks.x()) < 10 && std::fabs(wy - marks.y()) < 10)
                        || onBorder(transform.x.toView(wx + 0.5))
                        || onBorder(transform.y.toView(view->height() - wy - 0.5)))
                        continue;
                    const QRgb seen = shown.pixel(wx, wy);
                    if (view->imagePixelAt(QPoint(wx, wy), x, y)) {
                        ++shownPixels;
                        wrong += !testsupport::sameColour(seen, testsupport::imagePixelFromBottom(picture, x, y));
                    } else {
                        wrong += seen != qRgb(255, 255, 255);
                    }
                }
            }
            QVERIFY2(wrong == 0, row.name);
            QVERIFY(transform.x.scale != 1.0 || shownPixels == 200 * 150);

            // A reference point double-clicked there is that pixel too: the
            // handlers of every mode take the pointer through this mapping.
            view->setViewMode(quorrel::ViewMode::Detect);
            testsupport::dragWithLeftButton(*view, row.click, row.click + QPoint(9, 9));
            view->detectBoundaryEdges();
            view->setViewMode(quorrel::ViewMode::InsertCurve);
            QTest::mouseDClick(view.get(), Qt::LeftButton, Qt::NoModifier, row.click);
            QVERIFY2(view->currentBoundary()->referenceCurve.back()
                         == (quorrel::Point2d{double(row.pixel.x()), double(row.pixel.y())}),
                     row.name);
        }
    }

    // Ctrl+= and Ctrl+- zoom, the status bar says by how much, and Ctrl+0
    // goes back to Original Size from any zoom and display mode. Steps of a
    // third of a doubling reach 32 and 1/8 exactly and stop there; a fit
    // that is already larger than 32 zooms only out.
    void zoom_KeysStatusBarAndLimits()
    {
        testsupport::ScratchDirectory scratch;
        auto window = testsupport::makeShownWindow<Quorrel>(1000, 700);
        MainViewWidget* view = window->view();
        view->setFocus();
        auto* zoom = testsupport::child<QLabel>(window.get(), "zoomStatusLabel");
        QCOMPARE(zoom->text(), QStringLiteral("Zoom 100%"));
        for (int press = 0; press < 3; ++press)
            QTest::keyClick(view, Qt::Key_Equal, Qt::ControlModifier);
        QCOMPARE(zoom->text(), QStringLiteral("Zoom 200%"));
        QTest::keyClick(view, Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(zoom->text(), QStringLiteral("Zoom 159%"));
        testsupport::child<QAction>(window.get(), "action_Image_Fit_Keeping_Aspect")->trigger();
        view->zoomIn();
        QTest::keyClick(view, Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(view->imageDisplayMode(), ImageDisplayMode::OriginalSize);
        QVERIFY(testsupport::child<QAction>(window.get(), "action_Original_Image_Size")->isChecked());
        QCOMPARE(zoom->text(), QStringLiteral("Zoom 100%"));

        const QImage tiny = testsupport::gradientImage(10, 6);
        QVERIFY(
            view->loadImage(testsupport::writeImage(scratch.filePath("tiny.png"), tiny).toStdWString(), 0, 0, 1, 1));
        const int notches[] = {6, 40, -80, 1};
        const double scales[] = {4.0, 32.0, 0.125, 0.125 * std::cbrt(2.0)};
        for (int turn = 0; turn < 4; ++turn) {
            turnWheel(*view, QPoint(200, 150), notches[turn]);
            QCOMPARE(view->screenTransform().x.scale, scales[turn]);
        }
        view->setImageDisplayMode(ImageDisplayMode::FitKeepingAspect);
        const double fit = view->screenTransform().x.scale;
        QVERIFY(fit > 32.0);
        view->zoomIn();
        QVERIFY(view->zoomStep() == 0 && view->screenTransform().x.scale == fit);
        view->zoomOut();
        QVERIFY(view->zoomStep() == -1 && view->screenTransform().x.scale < fit);
    }
};

QTEST_MAIN(ViewZoomTest)
#include "ViewZoomTest.moc"
