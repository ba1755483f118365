// Loading an image into the view and drawing it: failures and what lands on
// screen. Where a click lands is in ViewZoomTest, the buffer's bottom-first
// rows in ViewInteractionTest's cut and clear.

#include <QFileInfo>
#include <QFontMetricsF>
#include <QTest>

#include "ViewTestSupport.h"

namespace {

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
};

QTEST_MAIN(ViewImageTest)
#include "ViewImageTest.moc"
