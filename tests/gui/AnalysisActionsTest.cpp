// The property dock's analysis buttons on a real window: what each button
// does to the view and the colour list, and the messages when a step is
// missing or a file cannot be written.

#include <sys/resource.h>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include "ViewTestSupport.h"
#include "ui/Quorrel.h"

class AnalysisActionsTest : public QObject {
    Q_OBJECT

private:
    testsupport::ScratchDirectory* scratch = nullptr;
    QString scanPath;
    QString speckledScanPath;

    std::unique_ptr<Quorrel> openWindow(const QString& path = QString())
    {
        auto window = testsupport::makeShownWindow<Quorrel>();
        window->view()->loadImage((path.isEmpty() ? scanPath : path).toStdWString(), 0.0, 0.0, 1.0, 1.0);
        return window;
    }

    static void click(Quorrel& window, const char* button)
    {
        QTest::mouseClick(window.findChild<QPushButton*>(QString::fromLatin1(button)), Qt::LeftButton);
    }

    static void typeInto(QLineEdit* edit, const QString& text)
    {
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }

private slots:
    void initTestCase()
    {
        scratch = new testsupport::ScratchDirectory;
        scanPath = testsupport::writeFoveaScan(scratch->filePath("fovea.png"));
        speckledScanPath = testsupport::writeFoveaScan(scratch->filePath("speckled.png"), true);
    }

    void cleanupTestCase() { delete scratch; }

    void stepsBeforeTheirInput_ShowTheirMessages()
    {
        auto window = openWindow();
        testsupport::ModalRecord smooth;
        testsupport::answerNextModal(&smooth);
        click(*window, "smoothBoundaryCurveButton_");
        QCOMPARE(smooth.title, QStringLiteral("Information"));
        QCOMPARE(smooth.text, QStringLiteral("Before smoothing lines,\nplease make lines first"));

        testsupport::ModalRecord foveal;
        testsupport::answerNextModal(&foveal);
        click(*window, "detectFovealWidthAndDepthButton_");
        QCOMPARE(foveal.title, QStringLiteral("Information"));
        QCOMPARE(foveal.text, QStringLiteral("Before detecting local minima and maxima,\nplease make lines first"));

        testsupport::selectImageRect(*window->view(), 20, 170, 60, 190);
        click(*window, "detectBoundaryEdgesButton_");
        testsupport::ModalRecord noCurve;
        testsupport::answerNextModal(&noCurve);
        click(*window, "detectFovealWidthAndDepthButton_");
        QCOMPARE(noCurve.title, QStringLiteral("Information"));

        click(*window, "makeBoundaryCurveButton_");
        QVERIFY(!window->view()->currentBoundary()->curve.empty());
        testsupport::ModalRecord noReference;
        testsupport::answerNextModal(&noReference);
        click(*window, "detectFovealWidthAndDepthButton_");
        QCOMPARE(noReference.title, QStringLiteral("Warning"));
        QCOMPARE(
            noReference.text,
            QStringLiteral("Before detecting foveal width and depth,\nplease draw reference curve on the other side"));
        QCOMPARE(window->view()->currentBoundary()->indexC, -1);
    }

    void detectButtons_EstimateToleranceAndReselectAnIdenticalBoundary()
    {
        auto window = openWindow();
        MainViewWidget* view = window->view();
        testsupport::selectImageRect(*view, 20, 170, 60, 190);
        click(*window, "detectMaxColorDistanceButton_");
        QCOMPARE(window->findChild<QSpinBox*>(QStringLiteral("maxColorDistanceSpinBox_"))->value(),
                 view->maxColorDistance());
        QVERIFY(view->maxColorDistance() >= 30 && view->maxColorDistance() <= 128);

        click(*window, "detectBoundaryEdgesButton_");
        auto* colours = window->findChild<QListWidget*>(QStringLiteral("colorListWidget_"));
        QCOMPARE(colours->count(), 1);
        QVERIFY(colours->item(0)->text().startsWith(QStringLiteral("fovea.png - (")));
        QCOMPARE(colours->currentRow(), 0);
        QVERIFY(!view->currentBoundary()->edgePoints.empty());

        testsupport::selectImageRect(*view, 300, 170, 340, 190);
        click(*window, "detectBoundaryEdgesButton_");
        QCOMPARE(colours->count(), 2);
        QCOMPARE(colours->currentRow(), 1);

        // The first rectangle again: no new record, the old one is selected.
        testsupport::selectImageRect(*view, 20, 170, 60, 190);
        click(*window, "detectBoundaryEdgesButton_");
        QCOMPARE(colours->count(), 2);
        QCOMPARE(view->currentBoundaryIndex(), 0);
        QCOMPARE(colours->currentRow(), 0);

        // Double-clicking the second row selects boundary 1; Delete with the
        // list focused removes exactly that row and record.
        emit colours->itemDoubleClicked(colours->item(1));
        QCOMPARE(view->currentBoundaryIndex(), 1);
        QApplication::setActiveWindow(window.get());
        colours->setFocus();
        QVERIFY(colours->hasFocus());
        colours->setCurrentRow(0);
        QTest::keyClick(colours, Qt::Key_Delete);
        QCOMPARE(colours->count(), 1);
        QCOMPARE(view->boundaries().size(), std::size_t(1));
        QCOMPARE(view->currentBoundaryIndex(), 0);
    }

    void makeCurve_OutOfMemory_WarnsAndKeepsTheBoundary()
    {
        // A black square in the corner, then black and white pixels at random
        // (seven in ten black, so that the black ones all connect).
        QImage noise(600, 400, QImage::Format_RGB32);
        std::uint32_t random = 1;
        for (int y = 0; y < noise.height(); ++y) {
            for (int x = 0; x < noise.width(); ++x) {
                random = random * 1664525u + 1013904223u;
                const bool black = (x < 60 && y < 60) || (random >> 8) % 10 < 7;
                noise.setPixel(x, y, black ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
            }
        }
        auto window = openWindow();
        MainViewWidget* view = window->view();
        QVERIFY(view->loadImage(testsupport::writeImage(scratch->filePath("noise.png"), noise).toStdWString(), 0.0, 0.0,
                                1.0, 1.0));
        testsupport::selectImageRect(*view, 10, 350, 50, 390);
        click(*window, "detectBoundaryEdgesButton_");
        click(*window, "makeBoundaryCurveButton_");
        const quorrel::Boundary before = *view->currentBoundary();
        QVERIFY(before.edgePoints.size() > 20000 && !before.curve.empty());
        window->findChild<QDoubleSpinBox*>(QStringLiteral("minLineConnectionDistanceDoubleSpinBox_"))->setValue(99.99);

        QFile status(QStringLiteral("/proc/self/status"));
        QVERIFY(status.open(QIODevice::ReadOnly));
        const QByteArray text = status.readAll();
        const int at = text.indexOf("VmSize:") + 7;
        const rlim_t usedKiB = text.mid(at, text.indexOf('\n', at) - at).trimmed().split(' ')[0].toULongLong();
        QVERIFY(usedKiB > 0);
        rlimit previous{};
        QVERIFY(getrlimit(RLIMIT_AS, &previous) == 0);
        rlimit limited = previous;
        limited.rlim_cur = (usedKiB + 256 * 1024) * 1024;
        QVERIFY(setrlimit(RLIMIT_AS, &limited) == 0);
        testsupport::ModalRecord memory;
        testsupport::answerNextModal(&memory);
        click(*window, "makeBoundaryCurveButton_");
        QVERIFY(setrlimit(RLIMIT_AS, &previous) == 0);

        QCOMPARE(memory.title, QStringLiteral("Warning"));
        QCOMPARE(memory.text,
                 QStringLiteral("Not enough memory for this step.\nThe boundary and the image are left as they were."));
        const quorrel::Boundary& after = *view->currentBoundary();
        QCOMPARE(after.edgePoints, before.edgePoints);
        QCOMPARE(after.curveNodes.size(), before.curveNodes.size());
        QCOMPARE(after.curve, before.curve);
    }

    // A refused save says why and leaves an existing report byte for byte;
    // a written one replaces it whole and leaves no temporary file behind.
    void report_RefusalsKeepTheOldFileAndAWrittenReportReplacesItWhole()
    {
        auto window = openWindow();
        MainViewWidget* view = window->view();
        const QString path = scratch->filePath("kept.txt");
        const QByteArray old("a good report written earlier\n");
        testsupport::writeFile(path, old);
        auto refused = [view](const QString& target) {
            testsupport::ModalRecord box;
            testsupport::answerNextModal(&box);
            const bool written = view->writeMeasurementReport(target.toStdWString());
            return written ? QStringLiteral("written") : box.title + QStringLiteral(": ") + box.text;
        };

        QCOMPARE(refused(path),
                 QStringLiteral("Information: There is no boundary to report on.\nPlease detect the "
                                "retina contour first, or double-click a boundary in the colour list"));
        QCOMPARE(testsupport::readFile(path), old);

        testsupport::selectImageRect(*view, 20, 170, 60, 190);
        click(*window, "detectBoundaryEdgesButton_");
        QCOMPARE(refused(path),
                 QStringLiteral("Warning: Local Min & Max Points do not exist.\nPlease detect Local "
                                "Min & Max points first"));
        QCOMPARE(testsupport::readFile(path), old);

        click(*window, "makeBoundaryCurveButton_");
        view->setViewMode(quorrel::ViewMode::InsertCurve);
        for (int x : {5, 395})
            QTest::mouseDClick(view, Qt::LeftButton, Qt::NoModifier,
                               testsupport::windowPointForView(*view, x + static_cast<int>(view->imageOffset().x),
                                                               60 + static_cast<int>(view->imageOffset().y)));
        click(*window, "detectFovealWidthAndDepthButton_");
        view->setViewMode(quorrel::ViewMode::MeasureUnit);
        testsupport::selectImageRect(*view, 10, 10, 110, 10);
        const QString missingFolder = scratch->filePath("no/such/folder/report.txt");
        QVERIFY(refused(missingFolder)
                    .startsWith(QStringLiteral("Warning: The report could not be written.\n") + missingFolder
                                + QStringLiteral(": ")));

        QCOMPARE(refused(path), QStringLiteral("written"));
        const QByteArray report = testsupport::readFile(path);
        QCOMPARE(report.count('\n'), 50);
        QVERIFY(report.startsWith("A Top    Point: ("));
        QCOMPARE(QDir(scratch->path()).entryList({QStringLiteral("kept.txt*")}, QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("kept.txt")});
    }

    void axisScales_RefuseBadValuesAndComeFromTypingOrTheUnitLine()
    {
        auto window = openWindow();
        MainViewWidget* view = window->view();
        auto* lateral = testsupport::child<QLineEdit>(window.get(), "lateralScaleLineEdit_");
        auto* axial = testsupport::child<QLineEdit>(window.get(), "axialScaleLineEdit_");
        auto* shownRun = testsupport::child<QComboBox>(window.get(), "shownRunComboBox_");
        typeInto(lateral, QStringLiteral("11.5"));
        for (const QString& text :
             {QStringLiteral("-3"), QStringLiteral("abc"), QStringLiteral("1000.5"), QStringLiteral("inf")}) {
            testsupport::ModalRecord refused;
            testsupport::answerNextModal(&refused);
            typeInto(lateral, text);
            QCOMPARE(refused.title, QStringLiteral("Warning"));
            QVERIFY2(refused.text.startsWith(QStringLiteral("Lateral scale \"") + text + QStringLiteral("\" ")),
                     qPrintable(refused.text));
            QCOMPARE(lateral->text(), QStringLiteral("11.5"));
            QCOMPARE(view->axisScales().lateralMicronsPerPixel, 11.5);
        }
        QVERIFY(!shownRun->isEnabled());

        testsupport::ModalRecord noLine;
        testsupport::answerNextModal(&noLine);
        click(*window, "scaleFromUnitLineButton_");
        QVERIFY(noLine.text.startsWith(QStringLiteral("The unit line has no length.")));
        QCOMPARE(view->axisScales().axialMicronsPerPixel, 0.0);

        // A line 100 pixels down for 390 um sets the axial scale.
        view->setViewMode(quorrel::ViewMode::MeasureUnit);
        testsupport::selectImageRect(*view, 30, 40, 30, 140);
        testsupport::child<QDoubleSpinBox>(window.get(), "unitMicronSpinBox")->setValue(390.0);
        click(*window, "scaleFromUnitLineButton_");
        QCOMPARE(axial->text(), QStringLiteral("3.9"));
        QCOMPARE(view->axisScales().source, std::string("lateral typed, axial unit line"));
        QVERIFY(shownRun->isEnabled());

        // Empty or 0 clears a scale; the run choice goes back to the pixels.
        shownRun->setCurrentIndex(1);
        QCOMPARE(view->shownRun(), quorrel::ShownRun::Microns);
        typeInto(lateral, QStringLiteral("0"));
        QCOMPARE(lateral->text(), QString());
        QCOMPARE(view->axisScales().lateralMicronsPerPixel, 0.0);
        QVERIFY(!shownRun->isEnabled());
        QCOMPARE(view->shownRun(), quorrel::ShownRun::Pixels);
    }

    void curveStoppingShortOfTheReference_WarnsAfterCalculateAndStillSaves()
    {
        auto window = openWindow(speckledScanPath);
        MainViewWidget* view = window->view();
        testsupport::selectImageRect(*view, 150, 165, 250, 190);
        click(*window, "detectMaxColorDistanceButton_");
        click(*window, "detectBoundaryEdgesButton_");
        click(*window, "makeBoundaryCurveButton_");
        click(*window, "smoothBoundaryCurveButton_");
        click(*window, "smoothBoundaryCurveButton_");
        view->currentBoundary()->referenceCurve = {{5, 60}, {394, 60}};
        view->setViewMode(quorrel::ViewMode::MeasureUnit);
        testsupport::selectImageRect(*view, 10, 10, 110, 10);
        window->setAxisScales(2.5, 2.5, QStringLiteral("file"));

        testsupport::ModalRecord warning;
        testsupport::answerNextModal(&warning);
        click(*window, "detectFovealWidthAndDepthButton_");
        QCOMPARE(warning.title, QStringLiteral("Warning"));
        QVERIFY2(warning.text.startsWith(QStringLiteral("These figures may be wrong:\n\n- the traced curve runs from")),
                 qPrintable(warning.text));
        QVERIFY(warning.text.contains(QStringLiteral("- rim A is the first sample")));
        QVERIFY(warning.text.contains(QStringLiteral("- A Top lies on the end of the traced curve")));
        QVERIFY(warning.text.contains(QStringLiteral("raise \"Maximum Line Connecting Distance\"")));
        QVERIFY(warning.text.endsWith(QStringLiteral("The report can still be saved.")));

        const QString path = scratch->filePath("warned.txt");
        QVERIFY(view->writeMeasurementReport(path.toStdWString()));
        const QList<QByteArray> lines = testsupport::readFile(path).split('\n');
        QCOMPARE(lines.size(), 92); // 91 lines and the empty rest after the last newline
        QCOMPARE(lines[51], QByteArray("Calibrated Measurement: foveal detection repeated in microns"));
        QCOMPARE(lines[54], QByteArray("Scales from: file"));
    }

    // Entering Detect mode on an image without a boundary proposes a patch of
    // the vitreous; the proposed reference curve is ordinary points, edited in
    // Insert Curve mode and taken back by Undo.
    void proposals_PatchOnEnteringDetectAndAReferenceCurveToEditAndUndo()
    {
        auto window = openWindow();
        MainViewWidget* view = window->view();
        testsupport::ModalRecord noCurve;
        testsupport::answerNextModal(&noCurve);
        click(*window, "proposeReferenceCurveButton_");
        QCOMPARE(noCurve.text,
                 QStringLiteral("Before proposing a reference curve,\nplease make the curve of the retina contour"));

        testsupport::child<QAction>(window.get(), "action_Insert_Curve")->trigger();
        testsupport::child<QAction>(window.get(), "action_Detect")->trigger();
        const quorrel::PixelRect patch = view->selectionPixelRect();
        QVERIFY(!patch.isEmpty());
        QVERIFY2(patch.bottom > 140, "the patch lies in the dark band above the retina (rows counted up)");
        click(*window, "detectBoundaryEdgesButton_");
        click(*window, "makeBoundaryCurveButton_");
        click(*window, "smoothBoundaryCurveButton_");
        QVERIFY(view->currentBoundary()->referenceCurve.empty());

        click(*window, "proposeReferenceCurveButton_");
        const std::vector<quorrel::Point2d> proposed = view->currentBoundary()->referenceCurve;
        QVERIFY(proposed.size() >= 2);
        QCOMPARE(view->viewMode(), quorrel::ViewMode::InsertCurve);
        QCOMPARE(view->undoName(), QStringLiteral("Propose Reference Curve"));
        testsupport::ModalRecord warning;
        testsupport::answerNextModal(&warning);
        click(*window, "detectFovealWidthAndDepthButton_");
        QVERIFY2(!warning.seen, qPrintable(warning.text));
        QVERIFY(view->hasValidExtrema());
        QVERIFY(view->undo());
        QVERIFY(view->undo());
        QVERIFY(view->currentBoundary()->referenceCurve.empty());
        QVERIFY(view->redo());
        QCOMPARE(view->currentBoundary()->referenceCurve, proposed);
    }
};

QTEST_MAIN(AnalysisActionsTest)
#include "AnalysisActionsTest.moc"
