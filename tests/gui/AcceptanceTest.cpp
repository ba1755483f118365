// A whole measurement on each bundled sample, done as a user does it: the
// image list, mouse drags and double-clicks on the view, the dock's buttons,
// the mode actions, typing into "Unit Micron:", both graphs and the save
// dialog. The report is then held against the sample's known geometry, and
// the headless command must write it byte for byte from the same inputs.
//
// With QUORREL_SCREENSHOT_DIR set, the walk through fovea-standard also saves
// the README's screenshots into that folder.

#include <cmath>

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMap>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSpinBox>
#include <QTest>

#include "ViewTestSupport.h"
#include "ui/Quorrel.h"

namespace {

// Tolerances, in pixels of the sample. Thicknesses: the traced surface lies
// up to a row below the true one; two smoothing presses scale coordinates by
// the kernel's 1.001 (+0.2 rows at row 200); a click lands on a whole pixel;
// a speckle grain at the surface may let the fill a pixel further.
constexpr double kThicknessTolerance = 1.5;
// Depth: the difference of two thicknesses whose errors mostly agree in sign.
constexpr double kDepthTolerance = 1.5;
// Positions along the scan: where the thickness is flat (the rims, the pit's
// bottom) a surface traced to the pixel puts the extreme anywhere the true
// thickness is within half a pixel of it, a stretch each geometry file
// gives; the smoothing's scaling and a click's whole pixel add 2. The width
// lies between the inner and the outer ends of the two rim stretches.
constexpr double kStretchSlack = 2.0;
// The "key: value" lines of a sample's geometry file or of a report.
class KeyValues {
public:
    explicit KeyValues(const QByteArray& text)
    {
        for (const QByteArray& raw : text.split('\n')) {
            const QString line = QString::fromUtf8(raw);
            const int colon = line.indexOf(QStringLiteral(": "));
            if (!line.startsWith('#') && colon >= 0)
                values.insert(line.left(colon), line.mid(colon + 2));
        }
    }

    bool has(const QString& key) const { return values.contains(key); }
    QString text(const QString& key) const { return values.value(key); }

    // Every number of the value, in order: "1150 um = 100 px from (40, 355)
    // to (140, 355)" gives 1150, 100, 40, 355, 140, 355.
    QVector<double> numbers(const QString& key) const
    {
        QVector<double> result;
        auto matches =
            QRegularExpression(QStringLiteral("-?[0-9]+(\\.[0-9]+)?(e[+-]?[0-9]+)?")).globalMatch(values.value(key));
        while (matches.hasNext())
            result << matches.next().captured(0).toDouble();
        return result;
    }
    double number(const QString& key, int index = 0) const { return numbers(key).value(index, std::nan("")); }

    // The value's last two "(x, y)" points.
    QVector<QPointF> points(const QString& key) const
    {
        const QVector<double> all = numbers(key);
        const int n = all.size();
        return n < 4 ? QVector<QPointF>() : QVector<QPointF>{{all[n - 4], all[n - 3]}, {all[n - 2], all[n - 1]}};
    }

private:
    QMap<QString, QString> values;
};

} // namespace

class AcceptanceTest : public QObject {
    Q_OBJECT

private:
    QString screenshotFolder;
    bool takingScreenshots = false;

    // Window position of a pixel given in viewer coordinates (rows counted
    // down from the top of the picture).
    static QPoint windowPointForViewer(const MainViewWidget& view, double x, double y)
    {
        const quorrel::Point2d offset = view.imageOffset();
        const int imageRow = static_cast<int>(view.imageHeight()) - 1 - static_cast<int>(std::floor(y));
        return testsupport::windowPointForView(view, static_cast<int>(std::floor(x)) + static_cast<int>(offset.x),
                                               imageRow + static_cast<int>(offset.y));
    }

    // What the screen shows of the window: the frame loop's latest frame
    // included, since the view draws straight to the X window.
    void screenshot(Quorrel& window, const QString& name, QRect windowArea = QRect())
    {
        if (!takingScreenshots)
            return;
        QApplication::processEvents();
        window.view()->renderScene();
        QApplication::processEvents();
        const QRect area = windowArea.isNull() ? window.rect() : windowArea;
        QPixmap shot = window.screen()->grabWindow(window.winId(), area.x(), area.y(), area.width(), area.height());
        QVERIFY(shot.save(QDir(screenshotFolder).filePath(name), "PNG", 0));
    }

    void dialogScreenshot(QWidget* dialog, const QString& name)
    {
        if (!takingScreenshots)
            return;
        QVERIFY(dialog->grab().save(QDir(screenshotFolder).filePath(name), "PNG", 0));
    }

    // The picture's rectangle in window coordinates, with a margin for the
    // labels drawn beside the points.
    static QRect imageArea(const MainViewWidget& view, int margin)
    {
        const quorrel::Point2d offset = view.imageOffset();
        const int left = static_cast<int>(offset.x);
        const int top = view.height() - static_cast<int>(offset.y) - static_cast<int>(view.imageHeight());
        const QRect inView(left - margin, top - margin, static_cast<int>(view.imageWidth()) + 2 * margin,
                           static_cast<int>(view.imageHeight()) + 2 * margin);
        return QRect(view.mapTo(view.window(), inView.topLeft()), inView.size());
    }

    // From row top of the window down to the dock's last button and the
    // picture's lower edge, across to the picture's right edge.
    static QRect dockAndPicture(Quorrel& window, int top)
    {
        const QRect picture = imageArea(*window.view(), 24);
        auto* lastButton = testsupport::child<QPushButton>(&window, "detectFovealWidthAndDepthButton_");
        const int dockBottom = lastButton->mapTo(&window, QPoint(0, lastButton->height())).y() + 8;
        top = std::min(top, picture.top());
        return QRect(0, top, picture.right() + 1, std::max(picture.bottom(), dockBottom) + 1 - top);
    }

private slots:
    void initTestCase()
    {
        screenshotFolder = qEnvironmentVariable("QUORREL_SCREENSHOT_DIR");
        if (!screenshotFolder.isEmpty())
            QVERIFY(QDir().mkpath(screenshotFolder));
    }

    void wholeMeasurement_MatchesTheKnownGeometry_data()
    {
        QTest::addColumn<QString>("sample");
        const QDir samples(QStringLiteral(QUORREL_SAMPLES_DIR));
        const QStringList pictures = samples.entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name);
        QVERIFY(pictures.size() >= 5);
        for (const QString& picture : pictures)
            QTest::newRow(qPrintable(QFileInfo(picture).completeBaseName())) << QFileInfo(picture).completeBaseName();
    }

    void wholeMeasurement_MatchesTheKnownGeometry()
    {
        QFETCH(QString, sample);
        const QDir samples(QStringLiteral(QUORREL_SAMPLES_DIR));
        const KeyValues geometry(testsupport::readFile(samples.filePath(sample + QStringLiteral(".txt"))));
        QVERIFY2(geometry.has(QStringLiteral("foveal depth (px)")), "the geometry file is missing or incomplete");
        // The build puts each sample and its geometry next to the program.
        const QDir programFolder = QFileInfo(QStringLiteral(QUORREL_EXECUTABLE)).absoluteDir();
        for (const QString& name : {sample + QStringLiteral(".png"), sample + QStringLiteral(".txt")})
            QVERIFY2(testsupport::readFile(programFolder.filePath(name))
                         == testsupport::readFile(samples.filePath(name)),
                     qPrintable(QStringLiteral("not next to the program as bundled: ") + name));
        takingScreenshots = !screenshotFolder.isEmpty() && sample == QStringLiteral("fovea-standard");
        const bool twoScalesScreenshot = !screenshotFolder.isEmpty() && sample == QStringLiteral("fovea-anisotropic");

        // The image list is filled from the folder that "settings.txt" names.
        testsupport::ScratchDirectory scratch;
        {
            QFile settings(scratch.filePath(QStringLiteral("settings.txt")));
            QVERIFY(settings.open(QIODevice::WriteOnly));
            settings.write(samples.absolutePath().toUtf8() + '\n');
        }
        Quorrel window;
        window.resize(1280, 800);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        MainViewWidget* view = window.view();
        view->updateFrame(0.0);

        auto* images = testsupport::child<QListWidget>(&window, "fileListWidget_");
        const QList<QListWidgetItem*> items = images->findItems(sample + QStringLiteral(".png"), Qt::MatchExactly);
        QCOMPARE(items.size(), 1);
        images->scrollToItem(items.first());
        // A real double-click: a click, then the second press that the
        // system reports as a double-click.
        const QPoint itemCentre = images->visualItemRect(items.first()).center();
        QTest::mouseClick(images->viewport(), Qt::LeftButton, Qt::NoModifier, itemCentre);
        QTest::mouseDClick(images->viewport(), Qt::LeftButton, Qt::NoModifier, itemCentre);
        QVERIFY(view->hasImage());
        QVERIFY(QString::fromStdWString(view->imagePath()).endsWith(sample + QStringLiteral(".png")));
        QCOMPARE(QStringLiteral("%1 x %2").arg(view->imageWidth()).arg(view->imageHeight()),
                 geometry.text(QStringLiteral("image size (px)")));
        const double lastRow = view->imageHeight() - 1.0;

        // Detect mode is on at start: drag over the vitreous.
        const QVector<QPointF> patch = geometry.points(QStringLiteral("vitreous patch (viewer px)"));
        QCOMPARE(patch.size(), 2);
        testsupport::dragWithLeftButton(*view, windowPointForViewer(*view, patch[0].x(), patch[0].y()),
                                        windowPointForViewer(*view, patch[1].x(), patch[1].y()));
        // The toolbar, the dock down to its last button, and the picture.
        screenshot(window, QStringLiteral("first-measurement-1-selection.png"), dockAndPicture(window, 0));

        testsupport::clickButton(&window, "detectMaxColorDistanceButton_");
        QCOMPARE(testsupport::child<QSpinBox>(&window, "maxColorDistanceSpinBox_")->value(), view->maxColorDistance());
        testsupport::clickButton(&window, "detectBoundaryEdgesButton_");
        QCOMPARE(testsupport::child<QListWidget>(&window, "colorListWidget_")->count(), 1);
        testsupport::clickButton(&window, "makeBoundaryCurveButton_");
        testsupport::clickButton(&window, "smoothBoundaryCurveButton_");
        testsupport::clickButton(&window, "smoothBoundaryCurveButton_");
        QVERIFY(view->currentBoundary() && !view->currentBoundary()->curve.empty());

        // Reference points on the retina's lowest row, across the picture.
        testsupport::child<QAction>(&window, "action_Insert_Curve")->trigger();
        const QVector<QPointF> border = geometry.points(QStringLiteral("lower retinal border (viewer px)"));
        QCOMPARE(border.size(), 2);
        auto borderRowAt = [&border](double x) {
            return border[0].y()
                + (border[1].y() - border[0].y()) * (x - border[0].x()) / (border[1].x() - border[0].x());
        };
        const int clicks = 5;
        for (int i = 0; i < clicks; ++i) {
            const double x = 8.0 + (view->imageWidth() - 17.0) * i / (clicks - 1);
            QTest::mouseDClick(view, Qt::LeftButton, Qt::NoModifier, windowPointForViewer(*view, x, borderRowAt(x)));
        }
        QCOMPARE(view->currentBoundary()->referenceCurve.size(), std::size_t(clicks));

        // The unit line from tick to tick of the scale bar, and its length.
        testsupport::child<QAction>(&window, "action_Measure_Unit")->trigger();
        const QVector<QPointF> bar = geometry.points(QStringLiteral("scale bar"));
        QCOMPARE(bar.size(), 2);
        const std::size_t barEndIndex =
            static_cast<std::size_t>(lastRow - bar[1].y()) * view->imageWidth() + static_cast<std::size_t>(bar[1].x());
        const uchar* barEnd = view->pixels() + barEndIndex * 4;
        QCOMPARE(int(barEnd[0]), 255); // the bar is where the file says
        testsupport::dragWithLeftButton(*view, windowPointForViewer(*view, bar[0].x(), bar[0].y()),
                                        windowPointForViewer(*view, bar[1].x(), bar[1].y()));
        const double barMicrons = geometry.number(QStringLiteral("scale bar"));
        auto* unitMicron = testsupport::child<QDoubleSpinBox>(&window, "unitMicronSpinBox");
        unitMicron->selectAll();
        QTest::keyClicks(unitMicron, QString::number(barMicrons));
        QCOMPARE(view->unitMicron(), barMicrons);
        screenshot(window, QStringLiteral("first-measurement-2-curves.png"), imageArea(*view, 24));

        // A scan with pixels taller than wide: the horizontal bar gives the
        // lateral scale, the vertical one the axial scale, both through
        // "From unit line"; the window then draws the run in microns.
        const bool twoScales = geometry.has(QStringLiteral("axial micron per pixel"));
        if (twoScales) {
            testsupport::clickButton(&window, "scaleFromUnitLineButton_");
            const QVector<QPointF> axialBar = geometry.points(QStringLiteral("axial scale bar"));
            QCOMPARE(axialBar.size(), 2);
            testsupport::dragWithLeftButton(*view, windowPointForViewer(*view, axialBar[0].x(), axialBar[0].y()),
                                            windowPointForViewer(*view, axialBar[1].x(), axialBar[1].y()));
            unitMicron->selectAll();
            QTest::keyClicks(unitMicron, QString::number(geometry.number(QStringLiteral("axial scale bar"))));
            testsupport::clickButton(&window, "scaleFromUnitLineButton_");
            QCOMPARE(view->axisScales().lateralMicronsPerPixel,
                     geometry.number(QStringLiteral("lateral micron per pixel")));
            QCOMPARE(view->axisScales().axialMicronsPerPixel,
                     geometry.number(QStringLiteral("axial micron per pixel")));
            QCOMPARE(view->axisScales().source, std::string("unit lines"));
            testsupport::child<QComboBox>(&window, "shownRunComboBox_")->setCurrentIndex(1);
        }

        testsupport::clickButton(&window, "detectFovealWidthAndDepthButton_");
        QVERIFY(view->hasValidExtrema());
        QCOMPARE(view->calibratedRun() != nullptr, twoScales);
        screenshot(window, QStringLiteral("first-measurement-3-points.png"), imageArea(*view, 24));
        if (twoScalesScreenshot) {
            // The dock from Smooth Contour down, and the picture.
            const int top =
                testsupport::child<QWidget>(&window, "smoothBoundaryCurveButton_")->mapTo(&window, QPoint(0, 0)).y()
                - 8;
            takingScreenshots = true;
            screenshot(window, QStringLiteral("two-scales.png"), dockAndPicture(window, top));
            takingScreenshots = false;
        }

        // Both graphs, each in a modal dialog (what they plot: AnalysisActionsTest).
        const char* const graphs[][3] = {
            {"action_View_Distance_Graph", "Distance Graph", "first-measurement-4-distance-graph.png"},
            {"action_View_Differentiate_Graph", "Differentiate Graph", "first-measurement-5-differentiate-graph.png"}};
        for (const auto& graph : graphs) {
            testsupport::ModalRecord record;
            testsupport::answerNextModal(&record, [&](QWidget* dialog) {
                dialogScreenshot(dialog, QLatin1String(graph[2]));
                dialog->close();
            });
            testsupport::child<QAction>(&window, graph[0])->trigger();
            QCOMPARE(record.title, QLatin1String(graph[1]));
        }

        // Save through the dialog, as a user types a name into it.
        const QString reportPath = scratch.filePath(sample + QStringLiteral("-report.txt"));
        testsupport::ModalRecord save;
        bool wasFileDialog = false;
        testsupport::answerNextModal(&save, [&](QWidget* dialog) {
            auto* files = qobject_cast<QFileDialog*>(dialog);
            wasFileDialog = files != nullptr;
            if (!files) {
                dialog->close();
                return;
            }
            // The dialog opens in the working directory, the scratch folder:
            // the name typed into its line edit and Return, as a user saves.
            auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (!name) {
                files->reject();
                return;
            }
            name->clear();
            QTest::keyClicks(name, QFileInfo(reportPath).fileName());
            QTest::keyClick(name, Qt::Key_Return);
        });
        testsupport::child<QAction>(&window, "action_Save")->trigger();
        QVERIFY(wasFileDialog);
        QCOMPARE(save.title, QStringLiteral("Open Image"));

        const QByteArray reportBytes = testsupport::readFile(reportPath);
        const KeyValues report(reportBytes);
        QCOMPARE(reportBytes.count('\n'), twoScales ? 91 : 50);
        if (takingScreenshots || twoScalesScreenshot) {
            const QString copy = QDir(screenshotFolder)
                                     .filePath(twoScalesScreenshot ? QStringLiteral("two-scales-report.txt")
                                                                   : QStringLiteral("first-measurement-report.txt"));
            QFile::remove(copy);
            QVERIFY(QFile::copy(reportPath, copy));
        }
        auto figure = [&report](const char* label, int index = 0) { return report.number(label, index); };
        auto expected = [&geometry](const char* key) { return geometry.number(QString::fromLatin1(key)); };

        // With two scales the unit line was last drawn down the vertical bar.
        const QString unitBar = twoScales ? QStringLiteral("axial scale bar") : QStringLiteral("scale bar");
        const double micronPerPixel = expected(twoScales ? "axial micron per pixel" : "micron per pixel");
        QCOMPARE(figure("Unit Micron Pixel  Length"), geometry.number(unitBar, 1));
        QCOMPARE(figure("Unit Micron Actual Length"), geometry.number(unitBar));

        const double tilt = expected("lower border tilt (rows per column)");
        const double alongBorder = std::sqrt(1.0 + tilt * tilt);
        auto stretch = [&geometry](const char* where) {
            const QString key = QLatin1String(where) + ", thickness within 0.5 px of it (px)";
            return qMakePair(geometry.number(key, 0), geometry.number(key, 1));
        };
        const QPair<double, double> centreStretch = stretch("pit centre");
        const QPair<double, double> leftStretch = stretch("left rim");
        const QPair<double, double> rightStretch = stretch("right rim");
        // A check of a value that may lie anywhere in [low, high].
        struct Check {
            const char* what;
            double actual;
            double expected;
            double tolerance;
        };
        auto within = [](const char* what, double actual, double low, double high) {
            return Check{what, actual, 0.5 * (low + high), 0.5 * (high - low) + kStretchSlack};
        };
        const double narrowest = (rightStretch.first - leftStretch.second) * alongBorder;
        const double widest = (rightStretch.second - leftStretch.first) * alongBorder;
        const Check widthCheck = within("width (px)", figure("Foveal Pixel  Width"), narrowest, widest);
        const QVector<Check> checks = {
            {"A thickness (px)", figure("A Bottom to A Top Pixel Distance"), expected("thickness at left rim (px)"),
             kThicknessTolerance},
            {"C thickness (px)", figure("C Bottom to C Top Pixel Distance"), expected("thickness at pit centre (px)"),
             kThicknessTolerance},
            {"E thickness (px)", figure("E Bottom to E Top Pixel Distance"), expected("thickness at right rim (px)"),
             kThicknessTolerance},
            {"C thickness (um)", figure("C Bottom to C Top Micron Distance"), expected("thickness at pit centre (um)"),
             kThicknessTolerance * micronPerPixel + 0.05},
            widthCheck,
            {"width (um)", figure("Foveal Micron Width"), widthCheck.expected * micronPerPixel,
             widthCheck.tolerance * micronPerPixel + 0.05},
            {"depth along the C line (px)", figure("Foveal Pixel  Depth (C Bottom - C Top Line) to (A - E Top Line)"),
             expected("foveal depth (px)"), kDepthTolerance},
            {"perpendicular depth (px)", figure("Foveal Pixel  Depth (A - E Top Perpendicular Line)"),
             expected("foveal depth (px)"), kDepthTolerance},
            within("C Top x", figure("C Top    Point"), centreStretch.first, centreStretch.second),
            within("A Top x", figure("A Top    Point"), leftStretch.first, leftStretch.second),
            within("E Top x", figure("E Top    Point"), rightStretch.first, rightStretch.second),
            {"C Top row", figure("C Top    Point", 1),
             geometry.number(QStringLiteral("inner surface at pit centre (report px)"), 1), kThicknessTolerance},
        };
        QStringList failures;
        for (const Check& check : checks) {
            if (!(std::fabs(check.actual - check.expected) <= check.tolerance))
                failures << QStringLiteral("%1: %2, expected %3 within %4")
                                .arg(QLatin1String(check.what))
                                .arg(check.actual)
                                .arg(check.expected)
                                .arg(check.tolerance);
        }
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(QStringLiteral("; "))));

        // The command, given the same settings file, selection, points and
        // unit lines, writes the same report byte for byte: the run in
        // microns included, whose figures against the truth the analysis
        // tests check.
        const quorrel::PixelRect band = view->selectionPixelRect();
        const int height = static_cast<int>(view->imageHeight());
        auto lineOption = [&geometry](const QString& key) {
            const QVector<QPointF> ends = geometry.points(key);
            return QStringLiteral("%1,%2,%3,%4")
                .arg(std::floor(ends[0].x()))
                .arg(std::floor(ends[0].y()))
                .arg(std::floor(ends[1].x()))
                .arg(std::floor(ends[1].y()));
        };
        // The anisotropic sample's first unit line, across, set the lateral
        // scale; its last, down, is the one the 50 lines use.
        const QStringList settings = twoScales
            ? QStringList{QStringLiteral("--tolerance"),           QStringLiteral("estimate"),
                          QStringLiteral("--smooth-count"),        QStringLiteral("2"),
                          QStringLiteral("--second-unit-line"),    lineOption(QStringLiteral("scale bar")),
                          QStringLiteral("--second-unit-microns"), QString::number(barMicrons)}
            : QStringList{QStringLiteral("--params"), samples.filePath(sample + QStringLiteral(".json"))};
        QStringList arguments = QStringList{samples.filePath(sample + QStringLiteral(".png"))} + settings
            + QStringList{QStringLiteral("--selection"),
                          QStringLiteral("%1,%2,%3,%4")
                              .arg(band.left)
                              .arg(height - band.top)
                              .arg(band.right - band.left)
                              .arg(band.top - band.bottom),
                          QStringLiteral("--unit-line"),
                          lineOption(unitBar),
                          QStringLiteral("--unit-microns"),
                          QString::number(view->unitMicron(), 'g', 17)};
        for (const quorrel::Point2d& point : view->currentBoundary()->referenceCurve)
            arguments << QStringLiteral("--reference") << QStringLiteral("%1,%2").arg(point.x).arg(lastRow - point.y);
        QProcess command;
        command.start(QStringLiteral(QUORREL_MEASURE_EXECUTABLE), arguments);
        QVERIFY(command.waitForFinished(120000));
        QVERIFY2(command.exitCode() == 0, command.readAllStandardError().constData());
        QCOMPARE(command.readAllStandardOutput(), reportBytes);
    }
};

QTEST_MAIN(AcceptanceTest)
#include "AcceptanceTest.moc"
