// The headless measurement command against the window: the same inputs give
// the same report bytes, and so does the measurement file the window saves
// beside its report, points moved by hand included; that file opened in a
// fresh window gives the same boundary, and a bad one changes nothing; bad
// input, an unusable result or a lack of memory gives one line, a non-zero
// status and leaves every output file as it was; a batch ends in one table.

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include "GuiTestSupport.h"
#include "ViewTestSupport.h"
#include "samples/generator/SyntheticScan.h"
#include "ui/Quorrel.h"
#include "view/MainViewWidget.h"

namespace {

constexpr int kImageWidth = 400;
constexpr int kImageHeight = 200;

// A 400 x 200 fovea, vitreous above viewer row 60, lower border at viewer
// row 139; written as viewers expect it, top row first.
quorrel::SyntheticScanParameters foveaParameters(double pitCentreX, std::uint64_t seed)
{
    quorrel::SyntheticScanParameters parameters = quorrel::test::smallFovea();
    parameters.pitCentreX = pitCentreX;
    parameters.seed = seed;
    return parameters;
}

QString writeFovea(const QString& path, double pitCentreX, std::uint64_t seed)
{
    return testsupport::writeSyntheticScan(path, quorrel::makeSyntheticScan(foveaParameters(pitCentreX, seed)));
}

struct CommandRun {
    int status = -1;
    QByteArray output;
    QByteArray errors;
};

// memoryLimit: the address space the command may use, in KiB (0: no limit).
CommandRun runCommand(const QStringList& arguments, int memoryLimit = 0)
{
    QProcess process;
    if (memoryLimit > 0)
        process.start(QStringLiteral("/bin/sh"),
                      QStringList{"-c", QStringLiteral("ulimit -v %1 && exec \"$0\" \"$@\"").arg(memoryLimit),
                                  QStringLiteral(QUORREL_MEASURE_EXECUTABLE)}
                          + arguments);
    else
        process.start(QStringLiteral(QUORREL_MEASURE_EXECUTABLE), arguments);
    CommandRun run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.status = process.exitCode();
    run.output = process.readAllStandardOutput();
    run.errors = process.readAllStandardError();
    return run;
}

using testsupport::readFile;
using testsupport::writeFile;

// One measurement in viewer coordinates, and the rectangle in image
// coordinates (rows counted up from the bottom) that the selection covers
// once cut to the image, worked out by hand.
struct Inputs {
    QRect selection;
    quorrel::PixelRect imageRect;
    int tolerance = 0; // 0: estimate
    double minConnection = 2.0;
    double maxConnection = 3.0;
    int smoothLevel = 2;
    int smoothCount = 1;
    int divideCount = 100;
    QVector<QPoint> reference;
    QPoint unitFrom;
    QPoint unitTo;
    double unitMicrons = 100.0;
    QPoint moveATop; // by hand after the detection, by this many pixels; none when null
    bool axisScales = false; // 11.5 um across, 3.9 um down, typed
};

// The figure of the report line that starts with label.
double reportFigure(const QByteArray& report, const QByteArray& label)
{
    for (const QByteArray& line : report.split('\n')) {
        if (line.startsWith(label + ": "))
            return line.mid(label.size() + 2).toDouble();
    }
    return -1.0;
}

Inputs estimatedInputs()
{
    Inputs in;
    in.selection = QRect(150, 10, 100, 25);
    in.imageRect = quorrel::PixelRect{150, 165, 250, 190};
    in.smoothCount = 2;
    in.reference = {{10, 139}, {200, 141}, {389, 139}};
    in.unitFrom = {10, 190};
    in.unitTo = {110, 190};
    in.unitMicrons = 250.0;
    return in;
}

// Numbers as the window holds them, joined by commas.
QString joined(std::initializer_list<double> numbers)
{
    QStringList parts;
    for (double number : numbers)
        parts << QString::number(number, 'g', 17);
    return parts.join(',');
}

QStringList commandOptions(const Inputs& in)
{
    const QRect& s = in.selection;
    QStringList options;
    options << "--selection" << joined({double(s.x()), double(s.y()), double(s.width()), double(s.height())})
            << "--tolerance" << (in.tolerance == 0 ? QStringLiteral("estimate") : QString::number(in.tolerance))
            << "--min-connection" << joined({in.minConnection}) << "--max-connection" << joined({in.maxConnection})
            << "--smooth-level" << QString::number(in.smoothLevel) << "--smooth-count"
            << QString::number(in.smoothCount) << "--divide-count" << QString::number(in.divideCount)
            << "--unit-microns" << joined({in.unitMicrons});
    for (const QPoint& point : in.reference)
        options << "--reference" << joined({double(point.x()), double(point.y())});
    if (in.unitFrom != in.unitTo)
        options << "--unit-line"
                << joined({double(in.unitFrom.x()), double(in.unitFrom.y()), double(in.unitTo.x()),
                           double(in.unitTo.y())});
    return options;
}

} // namespace

Q_DECLARE_METATYPE(Inputs)

class MeasureCommandTest : public QObject {
    Q_OBJECT

private:
    testsupport::ScratchDirectory* scratch = nullptr;
    QString foveaPath;
    QStringList fovealReference{"--reference", "10,139", "--reference", "389,139"};

    static MainViewWidget* showWithImageSizedView(Quorrel& window)
    {
        window.view()->setFixedSize(kImageWidth, kImageHeight);
        window.show();
        return QTest::qWaitForWindowExposed(&window) ? window.view() : nullptr;
    }

    // Drives the window as a user would and saves its report. The view is
    // exactly the image's size, so the image sits at offset 0 and window
    // pixel (x, y) shows viewer pixel (x, y).
    static void measureInWindow(const QString& imagePath, const Inputs& in, const QString& reportPath,
                                testsupport::ModalRecord* unitWarning, std::uint32_t frame = 0,
                                quorrel::Boundary* measured = nullptr)
    {
        Quorrel window;
        MainViewWidget* view = showWithImageSizedView(window);
        QVERIFY(view && view->size() == QSize(kImageWidth, kImageHeight));
        view->selectImageFrame(imagePath.toStdWString(), frame);
        QVERIFY(view->loadImage(imagePath.toStdWString(), 0.0, 0.0, 1.0, 1.0));
        QCOMPARE(view->imageOffset(), (quorrel::Point2d{0.0, 0.0}));

        if (in.tolerance != 0)
            testsupport::child<QSpinBox>(&window, "maxColorDistanceSpinBox_")->setValue(in.tolerance);
        testsupport::child<QDoubleSpinBox>(&window, "minLineConnectionDistanceDoubleSpinBox_")
            ->setValue(in.minConnection);
        testsupport::child<QDoubleSpinBox>(&window, "maxLineConnectionDistanceDoubleSpinBox_")
            ->setValue(in.maxConnection);
        testsupport::child<QSpinBox>(&window, "smoothLevelSpinBox_")->setValue(in.smoothLevel);
        testsupport::child<QSpinBox>(&window, "curveDividingCountSpinBox_")->setValue(in.divideCount);
        testsupport::child<QDoubleSpinBox>(&window, "unitMicronSpinBox")->setValue(in.unitMicrons);
        if (in.axisScales)
            window.setAxisScales(11.5, 3.9, QStringLiteral("typed"));

        QCOMPARE(view->viewMode(), quorrel::ViewMode::Detect);
        // The rubber band from the selection's bottom-left corner to its top-right.
        const QRect& s = in.selection;
        testsupport::dragWithLeftButton(
            *view, testsupport::windowPointForView(*view, s.left(), kImageHeight - s.y() - s.height()),
            testsupport::windowPointForView(*view, s.x() + s.width(), kImageHeight - s.y()));
        const quorrel::PixelRect selected = view->selectionPixelRect();
        const quorrel::PixelRect& rect = in.imageRect;
        QCOMPARE((QList<int>{selected.left, selected.bottom, selected.right, selected.top}),
                 (QList<int>{rect.left, rect.bottom, rect.right, rect.top}));
        if (in.tolerance == 0)
            testsupport::clickButton(&window, "detectMaxColorDistanceButton_");
        testsupport::clickButton(&window, "detectBoundaryEdgesButton_");
        testsupport::clickButton(&window, "makeBoundaryCurveButton_");
        QVERIFY(view->currentBoundary() && !view->currentBoundary()->curve.empty());
        for (int press = 0; press < in.smoothCount; ++press)
            testsupport::clickButton(&window, "smoothBoundaryCurveButton_");

        testsupport::child<QAction>(&window, "action_Insert_Curve")->trigger();
        for (const QPoint& point : in.reference)
            QTest::mouseDClick(view, Qt::LeftButton, Qt::NoModifier, point);
        QCOMPARE(
            view->currentBoundary()->referenceCurve.front(),
            (quorrel::Point2d{double(in.reference.front().x()), double(kImageHeight - 1 - in.reference.front().y())}));
        testsupport::child<QAction>(&window, "action_Measure_Unit")->trigger();
        if (in.unitFrom != in.unitTo)
            testsupport::dragWithLeftButton(*view, in.unitFrom, in.unitTo);
        testsupport::clickButton(&window, "detectFovealWidthAndDepthButton_");
        QVERIFY(view->hasValidExtrema());
        if (!in.moveATop.isNull()) {
            const quorrel::Boundary* boundary = view->currentBoundary();
            const quorrel::Point2d a = boundary->curveSamples[static_cast<std::size_t>(boundary->indexA)];
            const QPoint from = testsupport::windowPointForView(*view, int(a.x + 0.5), int(a.y + 0.5));
            testsupport::child<QAction>(&window, "action_Control_Local_MinMax")->trigger();
            testsupport::dragWithLeftButton(*view, from, from + in.moveATop);
            QVERIFY(view->currentBoundary()->curveSamples[static_cast<std::size_t>(boundary->indexA)] != a);
        }

        if (unitWarning)
            testsupport::answerNextModal(unitWarning);
        QVERIFY(view->writeMeasurementReport(reportPath.toStdWString()));
        if (measured)
            *measured = *view->currentBoundary();
    }

private slots:
    void initTestCase()
    {
        scratch = new testsupport::ScratchDirectory;
        foveaPath = writeFovea(scratch->filePath("fovea.png"), 200.0, 1);
    }

    void cleanupTestCase() { delete scratch; }

    void sameInputs_GiveTheWindowsReportByteForByte_data()
    {
        QTest::addColumn<Inputs>("inputs");

        // The start values on every sample are compared in AcceptanceTest.
        const Inputs estimated = estimatedInputs();

        // The selection reaches past the top-left corner and is cut the same way.
        Inputs given;
        given.selection = QRect(-20, -5, 120, 30);
        given.imageRect = quorrel::PixelRect{0, 175, 100, 200};
        given.tolerance = 40;
        given.minConnection = 1.5;
        given.maxConnection = 4.25;
        given.smoothLevel = 3;
        given.divideCount = 50;
        given.reference = {{15, 140}, {385, 138}};
        given.unitFrom = {20, 180};
        given.unitTo = {20, 100};
        given.unitMicrons = 123.456;
        QTest::newRow("given settings, selection past the corner") << given;

        // Without a unit line both warn and write infinite micron figures.
        Inputs noUnit = estimated;
        noUnit.unitTo = noUnit.unitFrom;
        noUnit.smoothCount = 0;
        QTest::newRow("no unit line, no smoothing") << noUnit;

        Inputs moved = given;
        moved.moveATop = QPoint(3, -4);
        moved.axisScales = true;
        QTest::newRow("A Top moved by hand, axis scales") << moved;
    }

    void sameInputs_GiveTheWindowsReportByteForByte()
    {
        QFETCH(Inputs, inputs);
        const QString windowReportPath = scratch->filePath("window-report.txt");
        const bool unitMissing = inputs.unitFrom == inputs.unitTo;
        testsupport::ModalRecord unitWarning;
        measureInWindow(foveaPath, inputs, windowReportPath, unitMissing ? &unitWarning : nullptr);
        if (QTest::currentTestFailed())
            return;
        const QByteArray windowReport = readFile(windowReportPath);
        QCOMPARE(windowReport.count('\n') == 50, !inputs.axisScales);
        QCOMPARE(unitWarning.seen, unitMissing);

        if (inputs.moveATop.isNull()) {
            const CommandRun run = runCommand(QStringList{foveaPath, "-o", scratch->filePath("command-report.txt")}
                                              + commandOptions(inputs));
            QCOMPARE(run.status, 0);
            QCOMPARE(run.errors.contains("warning: no unit line"), unitMissing);
            QCOMPARE(readFile(scratch->filePath("command-report.txt")), windowReport);
        }

        // The measurement file the window saved beside its report repeats it.
        const QString savedPath = scratch->filePath("window-report.json");
        const CommandRun repeated = runCommand(QStringList{foveaPath, "--params", savedPath});
        QCOMPARE(repeated.status, 0);
        QCOMPARE(repeated.output, windowReport);
        QCOMPARE(readFile(savedPath).contains("\"moved\""), !inputs.moveATop.isNull());
    }

    // The measurement file opened in a fresh window stands as it was saved,
    // ready to be saved again; a bad one is refused with its line and why and
    // changes nothing (every refusal of the file itself: MeasurementFileTest);
    // leaving after a change asks first.
    void savedMeasurement_OpensInAFreshWindowAsItWasSaved()
    {
        Inputs in = estimatedInputs();
        in.unitMicrons = 123.456;
        in.moveATop = QPoint(-2, 3);
        const QString reportPath = scratch->filePath("reopened.txt");
        quorrel::Boundary saved;
        measureInWindow(foveaPath, in, reportPath, nullptr, 0, &saved);
        if (QTest::currentTestFailed())
            return;

        Quorrel window;
        MainViewWidget* view = showWithImageSizedView(window);
        QVERIFY(view && window.openMeasurement(scratch->filePath("reopened.json")));
        const quorrel::Boundary* opened = view->currentBoundary();
        QVERIFY(opened);
        QCOMPARE(QString::fromStdWString(view->imagePath()), foveaPath);
        QCOMPARE(opened->curve, saved.curve);
        QCOMPARE(opened->referenceCurve, saved.referenceCurve);
        QCOMPARE((QList<int>{opened->indexA, opened->indexB, opened->indexC, opened->indexD, opened->indexE}),
                 (QList<int>{saved.indexA, saved.indexB, saved.indexC, saved.indexD, saved.indexE}));
        QCOMPARE(testsupport::child<QDoubleSpinBox>(&window, "unitMicronSpinBox")->value(), 123.456);
        QVERIFY(view->writeMeasurementReport(scratch->filePath("reopened-again.txt").toStdWString()));
        QCOMPARE(readFile(scratch->filePath("reopened-again.txt")), readFile(reportPath));
        QCOMPARE(readFile(scratch->filePath("reopened-again.json")), readFile(scratch->filePath("reopened.json")));

        const std::pair<QByteArray, QString> badFiles[] = {
            {"{\"smoothLevel\": 3,}", "parse error at line 1"},
            {"{\"image\": {\"path\": \"" + scratch->filePath("gone.png").toUtf8()
                 + "\"}, \"selection\": {\"x\": 1, \"y\": 1, \"width\": 5, \"height\": 5}}",
             "gone.png, which does not exist"}};
        view->setMaxColorDistance(42);
        const std::size_t boundaries = view->boundaries().size();
        for (const auto& [text, message] : badFiles) {
            testsupport::ModalRecord refusal;
            testsupport::answerNextModal(&refusal);
            QVERIFY(!window.openMeasurement(writeFile(scratch->filePath("bad.json"), text)));
            QVERIFY2(refusal.text.contains(message), qPrintable(refusal.text));
            QCOMPARE(QString::fromStdWString(view->imagePath()), foveaPath);
            QCOMPARE(view->boundaries().size(), boundaries);
            QCOMPARE(view->currentBoundary()->curve, saved.curve);
            QCOMPARE(view->maxColorDistance(), 42);
        }

        // Saved as it stands: Exit asks nothing. Moved again: Exit asks, and
        // Cancel keeps the window.
        QCOMPARE(view->unsavedMeasurementIndex(), -1);
        const quorrel::Point2d c = opened->curveSamples[static_cast<std::size_t>(opened->indexC)];
        const QPoint from = testsupport::windowPointForView(*view, int(c.x + 0.5), int(c.y + 0.5));
        view->setViewMode(quorrel::ViewMode::ControlLocalMinMax);
        testsupport::dragWithLeftButton(*view, from, from + QPoint(0, 2));
        QCOMPARE(view->unsavedMeasurementIndex(), view->currentBoundaryIndex());
        testsupport::ModalRecord question;
        testsupport::answerNextModal(
            &question, [](QWidget* box) { qobject_cast<QMessageBox*>(box)->button(QMessageBox::Cancel)->click(); });
        QCloseEvent close;
        QApplication::sendEvent(&window, &close);
        QVERIFY(question.seen);
        QCOMPARE(question.title, QStringLiteral("Unsaved Measurement"));
        QVERIFY(!close.isAccepted());
        QVERIFY(window.isRunning());
    }

    void badInput_OneLineAndStatusAndNoReport_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("memoryLimit");

        const QString selection = "--selection=150,10,100,25";
        const QString junkPath = writeFile(scratch->filePath("junk.png"), "not a picture\n");
        QImage grey(60, 40, QImage::Format_RGB32);
        grey.fill(qRgb(128, 128, 128));
        const QString greyPath = testsupport::writeImage(scratch->filePath("grey.png"), grey);
        const QString thinPath = testsupport::writeImage(scratch->filePath("thin.png"), grey.copy(0, 0, 1, 40));
        // Black above viewer row 30, white from it: the traced surface is the
        // row of pixels (x, 30), x = 1 .. 397, exactly.
        QImage step(400, 120, QImage::Format_RGB32);
        step.fill(Qt::black);
        for (int row = 30; row < 120; ++row)
            memset(step.scanLine(row), 0xff, static_cast<std::size_t>(step.bytesPerLine()));
        const QString stepPath = testsupport::writeImage(scratch->filePath("step.png"), step);
        const QStringList stepSettings{stepPath, "--selection", "150,5,100,20", "--smooth-count", "0"};
        QStringList points;
        for (int i = 0; i < 1000; ++i)
            points << QStringLiteral("[%1, 139]").arg(i % 400);
        const QString manyPointsPath =
            writeFile(scratch->filePath("many.json"),
                      "{\"divideCount\": 10000, \"reference\": [" + points.join(", ").toUtf8() + "]}");

        auto row = [](const char* name, const QStringList& arguments, int status, const QString& message,
                      int memoryLimit = 0) { QTest::newRow(name) << arguments << status << message << memoryLimit; };
        row("missing image", QStringList{scratch->filePath("nothing.png"), selection} + fovealReference, 1,
            QStringLiteral("cannot read image \"%1\": no such file").arg(scratch->filePath("nothing.png")));
        row("not a picture", QStringList{junkPath, selection} + fovealReference, 1, "cannot read image");
        row("letters after a number", QStringList{foveaPath, selection, "--tolerance", "12abc"} + fovealReference, 2,
            "--tolerance: \"12abc\" is not a whole number from 1 to 255 or \"estimate\"");
        row("not a number", QStringList{foveaPath, selection, "--unit-microns", "nan"} + fovealReference, 2,
            "--unit-microns: \"nan\" is not a number greater than 0 up to 10000");
        row("blank in a number", QStringList{foveaPath, selection, "--min-connection", " 2"} + fovealReference, 2,
            "--min-connection: \" 2\" is not");
        // Every pair of edge pixels would be neighbours: out of memory.
        row("distance beyond its control", QStringList{foveaPath, selection, "--min-connection", "1e300"}, 2,
            "--min-connection: \"1e300\" is not a number from 1 to 99.99");
        row("too many reference samples", QStringList{foveaPath, selection, "--params", manyPointsPath}, 2,
            "a reference curve of 1000 points at divide count 10000 gives 9990000 samples, more than the 1000000");
        row("out of memory",
            QStringList{foveaPath, selection, "--tolerance", "8", "--min-connection", "99.99"} + fovealReference, 1,
            "out of memory", 150000);
        row("absurd unit line", QStringList{foveaPath, selection, "--unit-line", "0,0,1e300,1e300"} + fovealReference,
            2, "the unit line's end (1e+300, 1e+300) lies more than 1000000 pixels outside the 400 x 200 image");
        row("absurd reference point",
            QStringList{foveaPath, selection, "--reference", "10,139", "--reference", "1e200,139"}, 2,
            "reference point 2 (1e+200, 139) lies more than 1000000 pixels outside");
        // The reference touches the traced surface at the pit: C Top is C
        // Bottom, and the slopes have no frame.
        row("curves touching at the pit",
            stepSettings + QStringList{"--reference", "10,90", "--reference", "200,30", "--reference", "389,90"}, 1,
            "a figure came out as infinity or not a number (\"Slope (A -> B)\")");
        row("three numbers for a rectangle", QStringList{foveaPath, "--selection", "1,2,3"} + fovealReference, 2,
            "--selection: \"1,2,3\" is not X,Y,WIDTH,HEIGHT");
        row("selection right of the image", QStringList{foveaPath, "--selection", "400,0,10,10"} + fovealReference, 1,
            "the selection 400,0,10,10 lies outside the 400 x 200 image");
        row("selection centred in the border", QStringList{foveaPath, "--selection", "0,0,2,2"} + fovealReference, 1,
            "the selection's centre lies in the image's 1 to 2 pixel border");
        row("image one pixel wide", QStringList{thinPath, "--selection", "0,0,1,10"} + fovealReference, 1,
            "the image is too small to trace");
        row("one reference point", QStringList{foveaPath, selection, "--reference", "10,139"}, 2,
            "missing reference curve");
        row("no curve found", QStringList{greyPath, "--selection", "10,10,20,10"} + fovealReference, 1,
            "no curve found");
        row("no rim", QStringList{foveaPath, selection, "--reference", "10,100", "--reference", "389,199"}, 1,
            "no foveal pit found");
        // A steep first reference segment puts C Top next to A Top, at the
        // first resampled point: nothing lies between them for B.
        row("no wall",
            stepSettings + QStringList{"--reference", "10,90", "--reference", "11,31", "--reference", "389,90"}, 1,
            "no foveal wall found");
        row("unknown option", QStringList{foveaPath, selection, "--smoothcount", "2"} + fovealReference, 2,
            "Unknown option 'smoothcount'");
        row("absurd scale", QStringList{foveaPath, selection, "--lateral-scale", "1000.5"} + fovealReference, 2,
            "--lateral-scale: \"1000.5\" is above 1000 microns per pixel");
        row("unit lines along one axis",
            QStringList{foveaPath, selection, "--unit-line", "10,190,110,190", "--second-unit-line", "10,10,60,15"}
                + fovealReference,
            2, "the unit line and the second unit line both run across the scan");
        const QString volume = QStringLiteral(QUORREL_TEST_DATA_DIR "/imageio/scan-3-frames.dcm");
        row("frame past the end", QStringList{volume, selection, "--frame", "3"} + fovealReference, 1,
            "frame 3 asked for, the DICOM file has 3 frames");
        row("negative frame", QStringList{volume, selection, "--frame", "-1"} + fovealReference, 2, "--frame: \"-1\"");
        // The measurement succeeds; the table, the last output, is refused.
        row("table of another program", QStringList{foveaPath, selection} + fovealReference, 1,
            "its header is not this program's");
    }

    // Every row also asks for all three outputs, over files that exist.
    void badInput_OneLineAndStatusAndNoReport()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, message);
        QFETCH(int, memoryLimit);
        const QString reportPath = writeFile(scratch->filePath("earlier.txt"), "earlier report\n");
        const QString tablePath = writeFile(scratch->filePath("earlier.csv"), "foo,bar\n");
        const QString savedPath = writeFile(scratch->filePath("earlier.json"), "{}\n");
        const CommandRun run = runCommand(
            arguments << "-o" << reportPath << "--csv" << tablePath << "--save-params" << savedPath, memoryLimit);
        QCOMPARE(run.status, status);
        QVERIFY2(run.errors.startsWith("quorrel-measure: ") && run.errors.endsWith('\n') && run.errors.count('\n') == 1,
                 run.errors.constData());
        QVERIFY2(run.errors.contains(message.toUtf8()), run.errors.constData());
        QVERIFY(run.output.isEmpty());
        QCOMPARE(readFile(reportPath), QByteArray("earlier report\n"));
        QCOMPARE(readFile(tablePath), QByteArray("foo,bar\n"));
        QCOMPARE(readFile(savedPath), QByteArray("{}\n"));
        QCOMPARE(QDir(scratch->path()).entryList({"earlier.*"}, QDir::Files).size(), 3);
    }

    // One command, two threads, typed scales: a missing image fails alone;
    // the others get their reports beside them, the 50 lines as without the
    // scales and then the run in microns, and their rows in the order given,
    // the calibrated columns after the 50 lines' figures.
    void studyOfFourImagesOneMissing_FinishesTheOthersAndEndsInOneTable()
    {
        const QStringList images{writeFovea(scratch->filePath("batch-a.png"), 180.0, 2),
                                 writeFovea(scratch->filePath("batch, b.png"), 200.0, 3),
                                 writeFovea(scratch->filePath("batch-c.png"), 220.0, 4)};
        const QString missing = scratch->filePath("batch-missing.png");
        const QString tablePath = scratch->filePath("study.csv");
        const QStringList settings =
            QStringList{"--selection", "150,10,100,25", "--unit-line", "10,190,110,190"} + fovealReference;
        const QStringList scales{"--lateral-scale", "1", "--axial-scale", "0.5"};
        const CommandRun run =
            runCommand(QStringList{images[0], images[1], missing, images[2], "--jobs", "2", "--csv", tablePath}
                       + settings + scales);
        QCOMPARE(run.status, 1);
        QVERIFY2(run.errors.contains("cannot read image \"" + missing.toUtf8() + "\": no such file"),
                 run.errors.constData());
        QVERIFY2(run.errors.contains("1 of 4 images failed"), run.errors.constData());
        QVERIFY(!QFile::exists(scratch->filePath("batch-missing.report.txt")));
        const QByteArray report = readFile(scratch->filePath("batch, b.report.txt"));
        const CommandRun plain = runCommand(QStringList{images[1]} + settings);
        QCOMPARE(plain.output.count('\n'), 50);
        QVERIFY(report.startsWith(plain.output));
        QVERIFY(report.mid(plain.output.size()).startsWith("\nCalibrated Measurement: "));
        QVERIFY(report.contains("\nScales from: typed\n"));
        // 100 pixels across of 100 um, 100 pixels down of 50 um: the same scales.
        const CommandRun twoLines =
            runCommand(QStringList{images[1]} + settings
                       + QStringList{"--second-unit-line", "20,180,20,80", "--second-unit-microns", "50"});
        QCOMPARE(twoLines.output, QByteArray(report).replace("from: typed", "from: unit lines"));
        const double width = reportFigure(report, "Calibrated Foveal Micron Width");
        QVERIFY(width > 0.0);

        const QList<QByteArray> lines = readFile(tablePath).split('\n');
        QCOMPARE(lines.size(), 5);
        QVERIFY(lines.last().isEmpty());
        const QList<QByteArray> header = lines[0].split(',');
        QCOMPARE(header.front(), QByteArray("image"));
        QCOMPARE(header.last(), QByteArray("warnings"));
        QVERIFY(header.indexOf("slope_DE_deg") < header.indexOf("scale_lateral_um_per_px"));
        const int centreX = header.indexOf("C_top_x");
        const int centreThickness = header.indexOf("C_thickness_px");
        const int microns = header.indexOf("C_thickness_um");
        QVERIFY(centreX > 0 && centreThickness > 0 && microns > 0);
        const double pitCentres[] = {180.0, 200.0, 220.0};
        for (int i = 0; i < 3; ++i) {
            QByteArray line = lines[i + 1];
            // The path with a comma is quoted; the figures after it are plain.
            const QByteArray path = images[i].toUtf8();
            const QByteArray field = path.contains(',') ? '"' + path + '"' : path;
            QVERIFY2(line.startsWith(field + ','), line.constData());
            QList<QByteArray> fields = line.mid(field.size() + 1).split(',');
            fields.prepend(path);
            QCOMPARE(fields.size(), header.size());
            for (int column = 1; column <= header.indexOf("slope_DE_deg"); ++column) {
                bool ok = false;
                fields[column].toDouble(&ok);
                QVERIFY2(ok, header[column].constData());
            }
            QCOMPARE(fields[header.indexOf("scale_source")], QByteArray("typed"));
            QCOMPARE(fields.last(), QByteArray());
            if (i == 1)
                QVERIFY(qAbs(fields[header.indexOf("cal_width_um")].toDouble() - width) <= 1e-5 * width);
            QVERIFY(qAbs(fields[centreX].toDouble() - pitCentres[i]) <= 2.0);
            QVERIFY(qAbs(fields[centreThickness].toDouble() - 54.0) <= 1.5);
            // A 100-pixel unit line of the default 100 microns: one micron a pixel.
            QVERIFY(qAbs(fields[microns].toDouble() - fields[centreThickness].toDouble()) <= 1e-9);
        }
    }

    // A reference curve reaching past both sides of the image: the traced
    // curve stops short of it.
    void untrustworthyFigures_WarnOneLineEachAndFailOnlyWhenAsked()
    {
        const QString tablePath = scratch->filePath("warned.csv");
        const QString reportPath = scratch->filePath("warned.txt");
        QFile::remove(tablePath);
        const QStringList arguments{foveaPath, "--selection", "150,10,100,25", "--reference", "-60,139", "--reference",
                                    "460,139", "-o",          reportPath,      "--csv",       tablePath};
        const CommandRun warned = runCommand(arguments);
        QCOMPARE(warned.status, 0);
        const QList<QByteArray> lines = warned.errors.trimmed().split('\n');
        QVERIFY2(lines.size() >= 2, warned.errors.constData()); // no unit line, and the curve
        for (const QByteArray& line : lines)
            QVERIFY2(line.startsWith("quorrel-measure: warning: "), line.constData());
        QVERIFY2(warned.errors.contains("raise --max-connection"), warned.errors.constData());
        const QByteArray row = readFile(tablePath).split('\n')[1];
        QVERIFY2(row.contains("curve-short-of-reference"), row.constData());

        QVERIFY(QFile::remove(reportPath));
        const CommandRun failed = runCommand(arguments + QStringList{"--fail-on-warnings"});
        QCOMPARE(failed.status, 3);
        QCOMPARE(readFile(reportPath).count('\n'), 50);
    }

    // Files that carry their pixel size: no scale typed, and the run in
    // microns finds the scan's true figures, the same in the window. Frames
    // 0 and 2 of the DICOM file are ramps with no retina in them.
    void calibratedFiles_GiveTheTrueMicronsWithoutATypedScale_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("frame");
        QTest::newRow("16-bit TIFF, resolution in pixels per cm") << "scan.tif" << 0;
        QTest::newRow("DICOM, frame 1 of 3") << "scan-3-frames.dcm" << 1;
    }

    void calibratedFiles_GiveTheTrueMicronsWithoutATypedScale()
    {
        QFETCH(QString, file);
        QFETCH(int, frame);
        // The scan in both files: pixels 11.5 um wide and 3.9 um high, a pit
        // and rims that stand out in microns.
        quorrel::SyntheticScanParameters shape = foveaParameters(200.0, 5);
        shape.pitDepth = 50.0;
        shape.pitSigma = 35.0;
        shape.rimHeight = 15.0;
        shape.rimSigma = 60.0;
        shape.lateralMicronsPerPixel = 11.5;
        shape.axialMicronsPerPixel = 3.9;
        const QString path = QStringLiteral(QUORREL_TEST_DATA_DIR "/imageio/") + file;
        Inputs in = estimatedInputs();
        in.reference = {{10, 139}, {200, 139}, {389, 139}};
        const CommandRun run = runCommand(QStringList{path, "--frame", QString::number(frame)} + commandOptions(in));
        QCOMPARE(run.status, 0);
        QVERIFY2(run.output.contains(frame == 0 ? "\nScales from: file (TIFF resolution)\n"
                                                : "\nScales from: file (DICOM Pixel Measures)\n"),
                 run.output.constData());
        const quorrel::SyntheticMicronGeometry truth =
            quorrel::syntheticMicronGeometry(quorrel::makeSyntheticScan(shape));
        const std::pair<QByteArray, double> figures[] = {
            {"Foveal Micron Width", truth.fovealWidth},
            {"Foveal Micron Depth (A - E Top Perpendicular Line)", truth.fovealDepth},
            {"A Bottom to A Top Micron Distance", truth.thicknessAtLeftRim},
            {"C Bottom to C Top Micron Distance", truth.thicknessAtCentre},
            {"E Bottom to E Top Micron Distance", truth.thicknessAtRightRim}};
        for (const auto& [label, expected] : figures) {
            const double measured = reportFigure(run.output, "Calibrated " + label);
            QVERIFY2(qAbs(measured - expected) <= 0.01 * expected, label + ": " + QByteArray::number(measured));
        }

        measureInWindow(path, in, scratch->filePath("calibrated-window.txt"), nullptr,
                        static_cast<std::uint32_t>(frame));
        QCOMPARE(readFile(scratch->filePath("calibrated-window.txt")), run.output);
    }

    // --auto proposes the patch and the reference curve; the file
    // --save-params writes holds them as ordinary settings, with the scales
    // and the frame, and repeats the run without --auto; an option given
    // beside it wins. A picture with no retina is refused, never measured on
    // a made-up curve.
    void savedParameters_RepeatTheRunAndAutoProposesWhatIsMissing()
    {
        const QString saved = scratch->filePath("auto.json");
        const CommandRun first = runCommand(QStringList{
            foveaPath, "--auto", "--smooth-count", "3", "--unit-line", "10.5,190,110,190.25", "--lateral-scale", "1.5",
            "--second-unit-line", "5,5,5,105", "--frame", "0", "--save-params", saved});
        QCOMPARE(first.status, 0);
        QVERIFY(first.output.contains("\nScales from: lateral typed, axial unit line\n"));
        const QByteArray file = readFile(saved);
        QVERIFY(file.contains("\"selection\"") && file.contains("\"reference\"") && file.contains("\"estimate\""));
        QVERIFY(file.contains("\n  \"frame\": 0,\n"));
        const CommandRun again = runCommand(QStringList{foveaPath, "--params", saved});
        QCOMPARE(again.status, 0);
        QCOMPARE(again.output, first.output);
        const CommandRun changed = runCommand(QStringList{foveaPath, "--params", saved, "--smooth-count", "1"});
        QCOMPARE(changed.status, 0);
        QVERIFY(changed.output != first.output);

        QImage blank(300, 200, QImage::Format_RGBA8888);
        blank.fill(QColor(90, 90, 90));
        const QString blankPath = testsupport::writeImage(scratch->filePath("blank.png"), blank);
        const CommandRun refused = runCommand(QStringList{blankPath, "--auto"});
        QCOMPARE(refused.status, 1);
        QVERIFY2(refused.errors.contains("no vitreous patch proposed: "), refused.errors.constData());
        QVERIFY(refused.output.isEmpty());
    }
};

QTEST_MAIN(MeasureCommandTest)
#include "MeasureCommandTest.moc"
