// The property dock's analysis buttons on a real window: what each button
// does to the view and the colour list, and the messages when a step is
// missing or a file cannot be written; the graph dialogs the window runs,
// plotting the thickness profile of the current boundary and its
// differences.

#include <sys/resource.h>
#include <unistd.h>

#include <functional>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include "ViewTestSupport.h"
#include "dialogs/DifferentiateGraphDialog.h"
#include "dialogs/DistanceGraphDialog.h"
#include "qcustomplot.h"
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

    // Runs the step, answering the message box it may show: "title: text",
    // or empty without a box.
    static QString answered(const std::function<void()>& step)
    {
        testsupport::ModalRecord box;
        testsupport::answerNextModal(&box);
        step();
        return box.seen ? box.title + QStringLiteral(": ") + box.text : QString();
    }

    static QString clickAnswered(Quorrel& window, const char* button)
    {
        return answered([&] { testsupport::clickButton(&window, button); });
    }

    // A boundary with 100 resampled pairs whose distance is 50 - |i - 40| / 2,
    // so the profile has its minimum-free V shape around index 40.
    static void fillMeasuredBoundary(quorrel::Boundary& boundary, double scale)
    {
        boundary.curveSamples = {{10, 60}, {50, 40}, {90, 60}};
        boundary.referenceSamples = {{10, 10}, {50, 10}, {90, 10}};
        boundary.indexA = 0;
        boundary.indexC = 1;
        boundary.indexE = 2;
        boundary.resampledCurve.clear();
        boundary.resampledReference.clear();
        boundary.resampledDistances.clear();
        for (int i = 0; i < 100; ++i) {
            const double d = scale * (20.0 + std::abs(i - 40) * 0.5);
            boundary.resampledReference.push_back({double(i), 0.0});
            boundary.resampledCurve.push_back({double(i), d});
            boundary.resampledDistances.push_back(d);
        }
        boundary.resampledIndexC = 40;
        boundary.indexB = 20;
        boundary.indexD = 70;
    }

    // The keys or the values of a graph's points.
    static QVector<double> column(QCPGraph* graph, bool keys)
    {
        QVector<double> result;
        for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
            result << (keys ? it->key : it->value);
        return result;
    }
    static QVector<double> keys(QCPGraph* graph) { return column(graph, true); }
    static QVector<double> values(QCPGraph* graph) { return column(graph, false); }

    // Runs the window's action; its dialog must come modal. Its title.
    static QString runModally(Quorrel& window, const char* action)
    {
        testsupport::ModalRecord record;
        bool modal = false;
        testsupport::answerNextModal(&record, [&modal](QWidget* dialog) {
            modal = QApplication::activeModalWidget() == dialog;
            static_cast<QDialog*>(dialog)->accept();
        });
        testsupport::child<QAction>(&window, action)->trigger();
        return modal ? record.title : QStringLiteral("not modal");
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

    void detectButtons_EstimateToleranceReselectAndUndoKeepsTheListInStep()
    {
        auto window = openWindow();
        MainViewWidget* view = window->view();
        testsupport::selectImageRect(*view, 20, 170, 60, 190);
        testsupport::clickButton(window.get(), "detectMaxColorDistanceButton_");
        QCOMPARE(window->findChild<QSpinBox*>(QStringLiteral("maxColorDistanceSpinBox_"))->value(),
                 view->maxColorDistance());
        QVERIFY(view->maxColorDistance() >= 30 && view->maxColorDistance() <= 128);

        testsupport::clickButton(window.get(), "detectBoundaryEdgesButton_");
        auto* colours = window->findChild<QListWidget*>(QStringLiteral("colorListWidget_"));
        QCOMPARE(colours->count(), 1);
        QVERIFY(colours->item(0)->text().startsWith(QStringLiteral("fovea.png - (")));
        QCOMPARE(colours->currentRow(), 0);
        QVERIFY(!view->currentBoundary()->edgePoints.empty());

        testsupport::selectImageRect(*view, 300, 170, 340, 190);
        testsupport::clickButton(window.get(), "detectBoundaryEdgesButton_");
        QCOMPARE(colours->count(), 2);
        QCOMPARE(colours->currentRow(), 1);

        // The first rectangle again: no new record, the old one is selected.
        testsupport::selectImageRect(*view, 20, 170, 60, 190);
        testsupport::clickButton(window.get(), "detectBoundaryEdgesButton_");
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
        const QStringList rows{colours->item(0)->text(), colours->item(1)->text()};
        QTest::keyClick(colours, Qt::Key_Delete);
        QCOMPARE(colours->count(), 1);
        QCOMPARE(view->boundaries().size(), std::size_t(1));
        QCOMPARE(view->currentBoundaryIndex(), 0);

        // The Undo and Redo shortcuts bring the row back and take it again.
        QCOMPARE(testsupport::child<QAction>(window.get(), "action_Undo")->text(),
                 QStringLiteral("&Undo Remove Boundary"));
        QVERIFY(!testsupport::child<QAction>(window.get(), "action_Redo")->isEnabled());
        int rowCount = 1;
        for (const QKeySequence& keys :
             {QKeySequence(Qt::CTRL + Qt::Key_Z), QKeySequence(Qt::CTRL + Qt::Key_Y),
              QKeySequence(Qt::CTRL + Qt::Key_Z), QKeySequence(Qt::CTRL + Qt::SHIFT + Qt::Key_Z),
              QKeySequence(Qt::CTRL + Qt::Key_Z)}) {
            QTest::keySequence(window.get(), keys);
            rowCount = 3 - rowCount;
            QCOMPARE(colours->count(), rowCount);
            QCOMPARE(view->boundaries().size(), std::size_t(rowCount));
        }
        QCOMPARE((QStringList{colours->item(0)->text(), colours->item(1)->text()}), rows);
        QCOMPARE(colours->currentRow(), view->currentBoundaryIndex());
        QCOMPARE(testsupport::child<QLabel>(window.get(), "actionStatusLabel")->text(),
                 QStringLiteral("Undid Remove Boundary"));
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
        testsupport::clickButton(window.get(), "detectBoundaryEdgesButton_");
        testsupport::clickButton(window.get(), "makeBoundaryCurveButton_");
        const quorrel::Boundary before = *view->currentBoundary();
        QVERIFY(before.edgePoints.size() > 20000 && !before.curve.empty());
        window->findChild<QDoubleSpinBox*>(QStringLiteral("minLineConnectionDistanceDoubleSpinBox_"))->setValue(99.99);

        // The address space in use (the first figure, in pages) and 256 MiB more.
        QFile statm(QStringLiteral("/proc/self/statm"));
        QVERIFY(statm.open(QIODevice::ReadOnly));
        const rlim_t used = statm.readAll().split(' ')[0].toULongLong() * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
        QVERIFY(used > 0);
        rlimit previous{};
        QVERIFY(getrlimit(RLIMIT_AS, &previous) == 0);
        rlimit limited = previous;
        limited.rlim_cur = used + (rlim_t(256) << 20);
        QVERIFY(setrlimit(RLIMIT_AS, &limited) == 0);
        const QString memory = clickAnswered(*window, "makeBoundaryCurveButton_");
        QVERIFY(setrlimit(RLIMIT_AS, &previous) == 0);

        QCOMPARE(memory,
                 QStringLiteral("Warning: Not enough memory for this step.\nThe boundary and the image are "
                                "left as they were."));
        const quorrel::Boundary& after = *view->currentBoundary();
        QCOMPARE(after.edgePoints, before.edgePoints);
        QCOMPARE(after.curveNodes.size(), before.curveNodes.size());
        QCOMPARE(after.curve, before.curve);
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
            const QString refused = answered([&] { typeInto(lateral, text); });
            QVERIFY2(refused.startsWith(QStringLiteral("Warning: Lateral scale \"") + text + QStringLiteral("\" ")),
                     qPrintable(refused));
            QCOMPARE(lateral->text(), QStringLiteral("11.5"));
            QCOMPARE(view->axisScales().lateralMicronsPerPixel, 11.5);
        }
        QVERIFY(!shownRun->isEnabled());

        QVERIFY(clickAnswered(*window, "scaleFromUnitLineButton_")
                    .contains(QStringLiteral(": The unit line has no length.")));
        QCOMPARE(view->axisScales().axialMicronsPerPixel, 0.0);

        // A line 100 pixels down for 390 um sets the axial scale.
        view->setViewMode(quorrel::ViewMode::MeasureUnit);
        testsupport::selectImageRect(*view, 30, 40, 30, 140);
        testsupport::child<QDoubleSpinBox>(window.get(), "unitMicronSpinBox")->setValue(390.0);
        testsupport::clickButton(window.get(), "scaleFromUnitLineButton_");
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

    // Each step refuses, with its message, what it lacks; a curve stopping
    // short of the reference warns after Calculate and still saves. A
    // refused save leaves an existing report byte for byte; a written one
    // replaces it whole and leaves no temporary file behind.
    void measurementSteps_RefuseWhatIsMissingAndAShortCurveWarnsButSaves()
    {
        auto window = openWindow(speckledScanPath);
        MainViewWidget* view = window->view();
        const QString path = scratch->filePath("kept.txt");
        const QByteArray old("a good report written earlier\n");
        testsupport::writeFile(path, old);
        auto save = [view](const QString& target) {
            return answered([&] { view->writeMeasurementReport(target.toStdWString()); });
        };
        QCOMPARE(save(path),
                 QStringLiteral("Information: There is no boundary to report on.\nPlease detect the "
                                "retina contour first, or double-click a boundary in the colour list"));
        QCOMPARE(clickAnswered(*window, "smoothBoundaryCurveButton_"),
                 QStringLiteral("Information: Before smoothing lines,\nplease make lines first"));
        QCOMPARE(clickAnswered(*window, "detectFovealWidthAndDepthButton_"),
                 QStringLiteral("Information: Before detecting local minima and maxima,\nplease make lines first"));

        testsupport::selectImageRect(*view, 150, 165, 250, 190);
        testsupport::clickButton(window.get(), "detectMaxColorDistanceButton_");
        testsupport::clickButton(window.get(), "detectBoundaryEdgesButton_");
        QVERIFY(clickAnswered(*window, "detectFovealWidthAndDepthButton_").startsWith(QStringLiteral("Information: ")));
        QCOMPARE(save(path),
                 QStringLiteral("Warning: Local Min & Max Points do not exist.\nPlease detect Local "
                                "Min & Max points first"));
        testsupport::clickButton(window.get(), "makeBoundaryCurveButton_");
        QVERIFY(!view->currentBoundary()->curve.empty());
        QCOMPARE(clickAnswered(*window, "detectFovealWidthAndDepthButton_"),
                 QStringLiteral("Warning: Before detecting foveal width and depth,\nplease draw reference curve on "
                                "the other side"));
        QCOMPARE(view->currentBoundary()->indexC, -1);
        QCOMPARE(testsupport::readFile(path), old);

        testsupport::clickButton(window.get(), "smoothBoundaryCurveButton_");
        testsupport::clickButton(window.get(), "smoothBoundaryCurveButton_");
        view->currentBoundary()->referenceCurve = {{5, 60}, {394, 60}};
        view->setViewMode(quorrel::ViewMode::MeasureUnit);
        testsupport::selectImageRect(*view, 10, 10, 110, 10);
        window->setAxisScales(2.5, 2.5, QStringLiteral("file"));
        const QString warning = clickAnswered(*window, "detectFovealWidthAndDepthButton_");
        QVERIFY2(warning.startsWith(QStringLiteral("Warning: These figures may be wrong:\n\n- the traced curve runs")),
                 qPrintable(warning));
        for (const char* reason : {"- rim A is the first sample", "- A Top lies on the end of the traced curve",
                                   "raise \"Maximum Line Connecting Distance\""})
            QVERIFY2(warning.contains(QLatin1String(reason)), reason);
        QVERIFY(warning.endsWith(QStringLiteral("The report can still be saved.")));

        const QString missingFolder = scratch->filePath("no/such/folder/report.txt");
        QVERIFY(save(missingFolder)
                    .startsWith(QStringLiteral("Warning: The report could not be written.\n") + missingFolder
                                + QStringLiteral(": ")));
        QCOMPARE(save(path), QString());
        const QList<QByteArray> lines = testsupport::readFile(path).split('\n');
        QCOMPARE(lines.size(), 92); // 91 lines and the empty rest after the last newline
        QVERIFY(lines[0].startsWith("A Top    Point: ("));
        QCOMPARE(lines[51], QByteArray("Calibrated Measurement: foveal detection repeated in microns"));
        QCOMPARE(lines[54], QByteArray("Scales from: file"));
        QCOMPARE(QDir(scratch->path()).entryList({QStringLiteral("kept.txt*")}, QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("kept.txt")});
    }

    // Entering Detect mode on an image without a boundary proposes a patch of
    // the vitreous; the proposed reference curve is ordinary points, edited in
    // Insert Curve mode and taken back by Undo.
    void proposals_PatchOnEnteringDetectAndAReferenceCurveToEditAndUndo()
    {
        auto window = openWindow();
        MainViewWidget* view = window->view();
        QVERIFY(clickAnswered(*window, "proposeReferenceCurveButton_")
                    .endsWith(QStringLiteral(": Before proposing a reference curve,\nplease make the curve of the "
                                             "retina contour")));

        testsupport::child<QAction>(window.get(), "action_Insert_Curve")->trigger();
        testsupport::child<QAction>(window.get(), "action_Detect")->trigger();
        const quorrel::PixelRect patch = view->selectionPixelRect();
        QVERIFY(!patch.isEmpty());
        QVERIFY2(patch.bottom > 140, "the patch lies in the dark band above the retina (rows counted up)");
        testsupport::clickButton(window.get(), "detectBoundaryEdgesButton_");
        testsupport::clickButton(window.get(), "makeBoundaryCurveButton_");
        testsupport::clickButton(window.get(), "smoothBoundaryCurveButton_");
        QVERIFY(view->currentBoundary()->referenceCurve.empty());

        testsupport::clickButton(window.get(), "proposeReferenceCurveButton_");
        const std::vector<quorrel::Point2d> proposed = view->currentBoundary()->referenceCurve;
        QVERIFY(proposed.size() >= 2);
        QCOMPARE(view->viewMode(), quorrel::ViewMode::InsertCurve);
        QCOMPARE(view->undoName(), QStringLiteral("Propose Reference Curve"));
        const QString warning = clickAnswered(*window, "detectFovealWidthAndDepthButton_");
        QVERIFY2(warning.isEmpty(), qPrintable(warning));
        QVERIFY(view->hasValidExtrema());
        QVERIFY(view->undo());
        QVERIFY(view->undo());
        QVERIFY(view->currentBoundary()->referenceCurve.empty());
        QVERIFY(view->redo());
        QCOMPARE(view->currentBoundary()->referenceCurve, proposed);
    }

    // Each run of an action plots the current boundary as it is then: the
    // profile with its markers, and the forward differences of the smoothed
    // profile.
    void graphs_PlotTheProfileWithItsMarkersAndItsDifferences()
    {
        auto window = openWindow();
        QVERIFY(testsupport::detectBoundary(*window->view()));
        QCustomPlot* plot = window->distanceGraphDialog()->plot();
        QCOMPARE(runModally(*window, "action_View_Distance_Graph"), QStringLiteral("Distance Graph"));
        QCOMPARE(plot->graphCount(), 0); // before any detection: nothing to plot

        quorrel::Boundary* boundary = window->view()->currentBoundary();
        fillMeasuredBoundary(*boundary, 1.0);
        runModally(*window, "action_View_Distance_Graph");
        QCOMPARE(plot->graphCount(), 4);
        QCOMPARE(plot->graph(0)->data()->size(), 100);
        QCOMPARE(keys(plot->graph(0)).last(), 99.0);
        QCOMPARE(values(plot->graph(0))[40], 20.0);
        QCOMPARE(keys(plot->graph(1)), (QVector<double>{0.0, 99.0}));
        QCOMPARE(values(plot->graph(1)), (QVector<double>{40.0, 49.5}));
        QCOMPARE(plot->graph(1)->name(), QStringLiteral("Maximum Points"));
        QCOMPARE(plot->graph(1)->pen().color(), QColor(255, 0, 0));
        QCOMPARE(keys(plot->graph(2)), QVector<double>{40.0});
        QCOMPARE(plot->graph(2)->pen().color(), QColor(0, 0, 255));
        QCOMPARE(keys(plot->graph(3)), (QVector<double>{20.0, 70.0}));
        QCOMPARE(plot->graph(3)->pen().color(), QColor(0, 255, 0));
        QCOMPARE(plot->graph(3)->lineStyle(), QCPGraph::lsNone);
        QCOMPARE(plot->xAxis->label(), QStringLiteral("Pixel"));
        QCOMPARE(plot->xAxis->range().upper, 100.0);
        QCOMPARE(plot->yAxis->label(), QStringLiteral("Distance"));
        QCOMPARE(plot->yAxis->range().lower, 0.0);
        QVERIFY(std::fabs(plot->yAxis->range().upper - 49.5 * 1.1) < 1e-9);

        // A new detection, its markers outside the lists: those are left out.
        fillMeasuredBoundary(*boundary, 2.0);
        boundary->indexB = -1;
        boundary->indexD = 100;
        runModally(*window, "action_View_Distance_Graph");
        QCOMPARE(values(plot->graph(0))[40], 40.0);
        QCOMPARE(plot->graph(3)->data()->size(), 0);

        fillMeasuredBoundary(*boundary, 1.0);
        QCOMPARE(runModally(*window, "action_View_Differentiate_Graph"), QStringLiteral("Differentiate Graph"));
        plot = window->differentiateGraphDialog()->plot();
        QCOMPARE(plot->graphCount(), 1);
        QCOMPARE(plot->graph(0)->data()->size(), 99);
        QCOMPARE(keys(plot->graph(0)).last(), 98.0);
        // Far from the bend and the ends the smoothed slope is 0.5 * 1.001.
        QVERIFY(std::fabs(values(plot->graph(0))[80] - 0.5005) < 1e-12);
        QVERIFY(std::fabs(values(plot->graph(0))[10] + 0.5005) < 1e-12);
        QCOMPARE(plot->xAxis->range().upper, 100.0);
        QCOMPARE(plot->yAxis->label(), QStringLiteral("Differences"));
        QVERIFY(std::fabs(plot->yAxis->range().lower + 0.5005 * 1.1) < 1e-12);
        QVERIFY(std::fabs(plot->yAxis->range().upper - 0.5005 * 1.1) < 1e-12);
    }
};

QTEST_MAIN(AnalysisActionsTest)
#include "AnalysisActionsTest.moc"
