// Loading an image into the view and drawing it: failures and what lands on
// screen. Zoom and pan: a click lands on the image pixel drawn under the
// pointer at every zoom, pan and display mode, and so does a reference point
// placed there; zooming stops at its limits. (The buffer's bottom-first rows:
// ViewInteractionTest's cut and clear.)

#include <cmath>

#include <QAction>
#include <QFileInfo>
#include <QFontMetricsF>
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

bool isWhite(QRgb colour)
{
    return qRed(colour) == 255 && qGreen(colour) == 255 && qBlue(colour) == 255;
}

} // namespace

class ViewImageTest : public QObject {
    Q_OBJECT

private slots:
    // Without an image the view is white; a file that cannot be read leaves
    // the image shown before, and its boundary.
    void unreadableFile_SaysWhyAndKeepsThePreviousImage()
    {
        testsupport::ScratchDirectory scratch;
        auto view = testsupport::makeShownView(300, 200);
        QImage shown = testsupport::renderAndRead(*view);
        QVERIFY(isWhite(shown.pixel(0, 0)) && isWhite(shown.pixel(150, 100)) && isWhite(shown.pixel(299, 199)));
        view->setImageDisplayMode(quorrel::ImageDisplayMode::FitToScreen);
        QVERIFY(isWhite(testsupport::renderAndRead(*view).pixel(150, 100)));
        view->setImageDisplayMode(quorrel::ImageDisplayMode::OriginalSize);
        const QImage picture = testsupport::gradientImage(60, 40);
        const QString good = testsupport::writeImage(scratch.filePath("scan.png"), picture);
        QVERIFY(view->loadImage(good.toStdWString(), 0.0, 0.0, 1.0, 1.0));
        QVERIFY(testsupport::detectBoundary(*view));
        const unsigned texture = view->textureId();

        const QString cases[][2] = {
            {testsupport::writeFile(scratch.filePath("notes.jpg"), "this is not a picture\n"), QString()},
            {testsupport::writeFile(scratch.filePath("empty.png"), QByteArray()), QStringLiteral("the file is empty")},
            {scratch.filePath("gone.png"), QStringLiteral("the file does not exist")},
        };
        for (const auto& item : cases) {
            const QString name = QFileInfo(item[0]).fileName();
            testsupport::ModalRecord warning;
            testsupport::answerNextModal(&warning);
            QVERIFY(!view->loadImage(item[0].toStdWString(), 0.0, 0.0, 1.0, 1.0));
            QCOMPARE(warning.title, QStringLiteral("Warning"));
            const QString firstLines = QStringLiteral("Failed to load image!!!\n") + name + QStringLiteral(": ");
            QVERIFY2(warning.text.startsWith(firstLines) && warning.text.size() > firstLines.size(),
                     qPrintable(warning.text));
            if (!item[1].isEmpty())
                QCOMPARE(warning.text, firstLines + item[1]);
            QCOMPARE(view->imagePath(), good.toStdWString());
            QCOMPARE(view->textureId(), texture);
            QCOMPARE(view->boundaries().size(), std::size_t(1));
            QCOMPARE(view->currentBoundaryIndex(), 0);
        }
        shown = testsupport::renderAndRead(*view);
        QVERIFY(testsupport::sameColour(shown.pixel(150, 100), picture.pixel(30, 20)));
    }

    // Every overlay on a dark 400 x 100 picture in a 600 x 300 view: image
    // point (x, y) is drawn at window pixel (x + 100, 199 - y), a view point
    // (x, y) at (x, 299 - y). Each row names a pixel only that overlay
    // covers and the colour a user sees there.
    void overlays_EachInItsColourWhereItLies()
    {
        testsupport::ScratchDirectory scratch;
        auto view = testsupport::makeShownView(600, 300);
        QImage dark(400, 100, QImage::Format_RGB32);
        dark.fill(qRgb(60, 40, 20));
        QVERIFY(view->loadImage(testsupport::writeImage(scratch.filePath("dark.png"), dark).toStdWString(), 0.0, 0.0,
                                1.0, 1.0));
        quorrel::Boundary* boundary = testsupport::detectBoundary(*view);
        QVERIFY(boundary);
        boundary->selectionRect = quorrel::PixelRect{5, 20, 25, 40};
        boundary->edgePoints = {{10, 90}};
        boundary->curve = {{220, 92}, {300, 92}};
        boundary->curveSamples = {{40, 70}, {200, 45}, {390, 70}};
        boundary->referenceSamples = {{40, 10}, {200, 10}, {390, 10}};
        boundary->indexA = 0;
        boundary->indexC = 1;
        boundary->indexE = 2;
        boundary->resampledCurve = {{60, 60}, {310, 60}};
        boundary->resampledReference = {{60, 10}, {310, 10}};
        boundary->indexB = 0;
        boundary->indexD = 1;
        boundary->referenceCurve = {{20, 20}, {200, 20}, {380, 20}};
        view->pickReferencePoint(QPoint(120, 120));
        QCOMPARE(view->selectedReferencePointIndex(), 0);
        QVERIFY(view->hasValidExtrema());
        // The rubber band from view (120, 260) to (200, 290), the unit line
        // from view (250, 270) to (350, 270), both above the picture.
        testsupport::dragWithLeftButton(*view, QPoint(120, 39), QPoint(200, 9));
        view->setViewMode(quorrel::ViewMode::MeasureUnit);
        testsupport::dragWithLeftButton(*view, QPoint(250, 29), QPoint(350, 29));
        const QImage shown = testsupport::renderAndRead(*view);

        const QRgb white = qRgb(255, 255, 255);
        const struct {
            const char* overlay;
            QPoint pixel;
            QRgb colour;
        } rows[] = {
            {"picture", {470, 120}, qRgb(60, 40, 20)},
            {"outside the picture", {50, 150}, white},
            {"rubber band", {160, 39}, qRgb(255, 0, 0)},
            {"sample rectangle", {105, 169}, qRgb(0, 255, 255)},
            {"edge point", {110, 109}, qRgb(0, 0, 255)},
            {"curve", {360, 107}, qRgb(207, 245, 54)},
            {"C Top point", {295, 158}, qRgb(0, 255, 0)},
            {"B Top point", {160, 139}, qRgb(0, 255, 0)},
            {"B Top point's outline", {152, 139}, qRgb(0, 0, 0)},
            {"D Bottom point", {410, 189}, qRgb(0, 255, 0)},
            {"A line", {140, 159}, qRgb(0, 128, 0)},
            {"E line", {490, 159}, qRgb(0, 128, 0)},
            {"C line", {300, 171}, qRgb(0, 0, 128)},
            {"C line's outline", {303, 171}, white},
            {"rim line A to E", {260, 129}, qRgb(0, 255, 255)},
            {"reference line", {210, 179}, qRgb(255, 255, 0)},
            {"selected reference point", {119, 179}, qRgb(255, 0, 0)},
            {"other reference point", {481, 179}, qRgb(128, 128, 128)},
            {"unit line", {300, 29}, qRgb(0, 0, 0)},
            {"unit line's end mark across it", {250, 25}, qRgb(0, 0, 255)},
            {"unit line's far end mark", {350, 33}, qRgb(0, 0, 255)},
            {"nothing along the line past its end", {246, 29}, white},
        };
        for (const auto& row : rows) {
            const QRgb seen = shown.pixel(row.pixel);
            QVERIFY2(std::abs(qRed(seen) - qRed(row.colour)) <= 2 && std::abs(qGreen(seen) - qGreen(row.colour)) <= 2
                         && std::abs(qBlue(seen) - qBlue(row.colour)) <= 2,
                     qPrintable(QStringLiteral("%1: #%2").arg(QLatin1String(row.overlay)).arg(seen, 6, 16)));
        }

        // Labels: black outlined in white, Top labels above and right of
        // their point, Bottom labels below it; B, whose labels would cover
        // A's, has its Top label raised above A Top and its Bottom label
        // lowered below A Bottom.
        const QFont large(QStringLiteral("Arial"), 15, QFont::Bold);
        const QFont small(QStringLiteral("Arial"), 10, QFont::Bold);
        auto box = [](const QFont& font, const QString& text, QPointF corner, bool above) {
            const QFontMetricsF metrics(font);
            QRectF result(0.0, 0.0, metrics.horizontalAdvance(text), metrics.height());
            if (above)
                result.moveBottomLeft(corner);
            else
                result.moveTopLeft(corner);
            return result;
        };
        // Anchors: image point (x, y) + half a pixel, in window pixels.
        const QRectF aTop = box(large, QStringLiteral("A Top"), {140.5 + 9.0, 129.5 - 2.0}, true);
        const QRectF aBottom = box(large, QStringLiteral("A Bottom"), {140.5 + 9.0, 189.5 + 2.0}, false);
        const QRectF labels[] = {
            aTop,
            aBottom,
            box(large, QStringLiteral("C Top"), {300.5 + 9.0, 154.5 - 2.0}, true),
            box(large, QStringLiteral("E Bottom"), {490.5 + 9.0, 189.5 + 2.0}, false),
            box(small, QStringLiteral("B Top"), {160.5 + 9.0, aTop.top() - 1.0}, true),
            box(small, QStringLiteral("B Bottom"), {160.5 + 9.0, aBottom.bottom() + 1.0}, false),
            box(small, QStringLiteral("D Top"), {410.5 + 9.0, 139.5 - 2.0}, true),
            box(small, QStringLiteral("D Bottom"), {410.5 + 9.0, 189.5 + 2.0}, false),
        };
        for (const QRectF& label : labels) {
            int black = 0;
            int outline = 0;
            const QRect pixels = label.toAlignedRect() & shown.rect();
            for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
                for (int x = pixels.left(); x <= pixels.right(); ++x) {
                    black += shown.pixel(x, y) == qRgb(0, 0, 0) ? 1 : 0;
                    outline += shown.pixel(x, y) == white ? 1 : 0;
                }
            }
            QVERIFY2(black > 15 && outline > 15,
                     qPrintable(QStringLiteral("label at (%1, %2)").arg(label.left()).arg(label.top())));
        }
    }

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

QTEST_MAIN(ViewImageTest)
#include "ViewImageTest.moc"
