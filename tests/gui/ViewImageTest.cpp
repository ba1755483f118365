// Loading an image into the view and drawing it: buffer layout, failures and
// what lands on screen (where a click lands is in ViewZoomTest).

#include <QFile>
#include <QFileInfo>
#include <QTest>

#include "ViewTestSupport.h"

namespace {

bool isWhite(QRgb colour)
{
    return qRed(colour) == 255 && qGreen(colour) == 255 && qBlue(colour) == 255;
}

bool sameColour(QRgb a, QRgb b)
{
    return qRed(a) == qRed(b) && qGreen(a) == qGreen(b) && qBlue(a) == qBlue(b);
}

} // namespace

class ViewImageTest : public QObject {
    Q_OBJECT

private slots:
    void wholeImage_BufferStartsWithTheBottomLeftPixel()
    {
        testsupport::ScratchDirectory scratch;
        auto view = testsupport::makeShownView(300, 200);
        const QImage picture = testsupport::gradientImage(100, 80);
        const QString path = testsupport::writeImage(scratch.filePath("scan.png"), picture);
        QVERIFY(view->loadImage(path.toStdWString(), 0.0, 0.0, 1.0, 1.0));
        QCOMPARE(view->imageWidth(), 100u);
        QCOMPARE(view->imageHeight(), 80u);
        QVERIFY(view->textureId() != 0);
        const std::uint8_t* pixels = view->pixels();
        const QRgb bottomLeft = picture.pixel(0, 79);
        QCOMPARE(int(pixels[0]), qRed(bottomLeft));
        QCOMPARE(int(pixels[1]), qGreen(bottomLeft));
        QCOMPARE(int(pixels[2]), qBlue(bottomLeft));
        QCOMPARE(int(pixels[3]), 255);
        QVERIFY(!view->imageCut());
        QCOMPARE(view->imagePath(), path.toStdWString());
        QCOMPARE(view->imageOffset().x, 100.0);
        QCOMPARE(view->imageOffset().y, 60.0);
    }

    void region_TakesTheFractionsOfTheFile()
    {
        testsupport::ScratchDirectory scratch;
        auto view = testsupport::makeShownView(300, 200);
        const QImage picture = testsupport::gradientImage(100, 80);
        const QString path = testsupport::writeImage(scratch.filePath("scan.png"), picture);
        QVERIFY(view->loadImage(path.toStdWString(), 0.25, 0.5, 0.5, 0.5));
        QCOMPARE(view->imageWidth(), 50u);
        QCOMPARE(view->imageHeight(), 40u);
        // First byte: column 25, row 40 counted from the bottom.
        const QRgb first = testsupport::imagePixelFromBottom(picture, 25, 40);
        QCOMPARE(int(view->pixels()[0]), qRed(first));
        QCOMPARE(int(view->pixels()[1]), qGreen(first));
        QCOMPARE(int(view->pixels()[2]), qBlue(first));
    }

    void unreadableFile_SaysWhyAndKeepsThePreviousImage()
    {
        testsupport::ScratchDirectory scratch;
        auto view = testsupport::makeShownView(300, 200);
        const QImage picture = testsupport::gradientImage(60, 40);
        const QString good = testsupport::writeImage(scratch.filePath("scan.png"), picture);
        QVERIFY(view->loadImage(good.toStdWString(), 0.0, 0.0, 1.0, 1.0));
        QVERIFY(testsupport::detectBoundary(*view));
        const unsigned texture = view->textureId();

        auto write = [&scratch](const char* name, const QByteArray& content) {
            QFile file(scratch.filePath(QString::fromLatin1(name)));
            file.open(QIODevice::WriteOnly);
            file.write(content);
            return file.fileName();
        };
        const QString cases[][2] = {
            {write("notes.jpg", "this is not a picture\n"), QString()},
            {write("empty.png", QByteArray()), QStringLiteral("the file is empty")},
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
        const QImage shown = testsupport::renderAndRead(*view);
        QVERIFY(sameColour(shown.pixel(150, 100), picture.pixel(30, 20)));
    }

    void noImage_ViewIsWhiteInBothModes()
    {
        auto view = testsupport::makeShownView(120, 90);
        QImage shown = testsupport::renderAndRead(*view);
        QVERIFY(isWhite(shown.pixel(0, 0)) && isWhite(shown.pixel(60, 45)) && isWhite(shown.pixel(119, 89)));
        view->setImageDisplayMode(quorrel::ImageDisplayMode::FitToScreen);
        shown = testsupport::renderAndRead(*view);
        QVERIFY(isWhite(shown.pixel(60, 45)));
    }

    void boundaryOverlays_DrawTheCurveAndTheExtremaWhereTheyLie()
    {
        testsupport::ScratchDirectory scratch;
        auto view = testsupport::makeShownView(400, 300);
        QImage grey(200, 100, QImage::Format_RGB32);
        grey.fill(qRgb(128, 128, 128));
        const QString path = testsupport::writeImage(scratch.filePath("grey.png"), grey);
        QVERIFY(view->loadImage(path.toStdWString(), 0.0, 0.0, 1.0, 1.0));
        quorrel::Boundary* boundary = testsupport::detectBoundary(*view);
        QVERIFY(boundary);
        boundary->edgePoints.clear();
        boundary->curve = {{20, 80}, {180, 80}};
        // Offset (100, 100): the curve runs along view row 180, columns 120..280.
        QImage shown = testsupport::renderAndRead(*view);
        const QRgb curveColour = shown.pixel(200, 300 - 1 - 180);
        QCOMPARE(qRed(curveColour), 207);
        QCOMPARE(qGreen(curveColour), 245);
        QCOMPARE(qBlue(curveColour), 54);

        boundary->curveSamples = {{30, 60}, {100, 40}, {170, 60}};
        boundary->referenceSamples = {{30, 10}, {100, 10}, {170, 10}};
        boundary->indexA = 0;
        boundary->indexC = 1;
        boundary->indexE = 2;
        QVERIFY(view->hasValidExtrema());
        shown = testsupport::renderAndRead(*view);
        // C Top is drawn as a green point of size 15 at view (200, 140); look
        // left of the C line and below the label's baseline.
        const QRgb cTop = shown.pixel(195, 300 - 1 - 136);
        QCOMPARE(qRed(cTop), 0);
        QCOMPARE(qGreen(cTop), 255);
        QCOMPARE(qBlue(cTop), 0);
    }

    // Black labels and the black unit line stay readable on a black picture:
    // they are outlined in white.
    void darkPicture_LabelsAndLinesAreOutlined()
    {
        testsupport::ScratchDirectory scratch;
        auto view = testsupport::makeShownView(400, 300);
        QImage dark(200, 100, QImage::Format_RGB32);
        dark.fill(qRgb(0, 0, 0));
        QVERIFY(view->loadImage(testsupport::writeImage(scratch.filePath("black.png"), dark).toStdWString(), 0.0, 0.0,
                                1.0, 1.0));
        quorrel::Boundary* boundary = testsupport::detectBoundary(*view);
        QVERIFY(boundary);
        boundary->edgePoints.clear();
        boundary->curveSamples = {{30, 60}, {100, 40}, {170, 60}};
        boundary->referenceSamples = {{30, 10}, {100, 10}, {170, 10}};
        boundary->indexA = 0;
        boundary->indexC = 1;
        boundary->indexE = 2;
        view->setViewMode(quorrel::ViewMode::MeasureUnit);
        testsupport::selectImageRect(*view, 20, 25, 80, 25);
        const QImage shown = testsupport::renderAndRead(*view);
        // "C Top" is written above and right of its point at view (200, 140),
        // window row 159, clear of the lines.
        int white = 0;
        int black = 0;
        for (int y = 134; y < 157; ++y) {
            for (int x = 210; x < 262; ++x) {
                white += isWhite(shown.pixel(x, y)) ? 1 : 0;
                black += shown.pixel(x, y) == qRgb(0, 0, 0) ? 1 : 0;
            }
        }
        QVERIFY2(white > 40 && black > 40, qPrintable(QStringLiteral("%1 white, %2 black").arg(white).arg(black)));
        // The unit line runs along view row 125, window row 174, three pixels
        // wide; its outline lies a pixel further out on each side.
        QCOMPARE(shown.pixel(150, 174), qRgb(0, 0, 0));
        QVERIFY(qGreen(shown.pixel(150, 172)) > 200 && qGreen(shown.pixel(150, 176)) > 200);
    }
};

QTEST_MAIN(ViewImageTest)
#include "ViewImageTest.moc"
