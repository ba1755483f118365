// The main window: its own keys and actions, the exclusive action groups, the
// property dock reaching the view, the image list and the colour list, the
// shortcuts, the status bar, and fitting small screens; a multi-frame DICOM
// file opened from the list. (The command's --frame: MeasureCommandTest.)

#include <QAction>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTest>

#include "ViewTestSupport.h"
#include "dialogs/FrameChoiceDialog.h"
#include "ui/Quorrel.h"

namespace {

// 37 x 23, 3 frames, 0.0039 mm rows by 0.0115 mm columns; frame f is grey
// (x * 25 + y * 7 + f * 40) mod 256, y from the top.
const QString kVolume = QStringLiteral(QUORREL_TEST_DATA_DIR "/imageio/frames-jpeg-ls-8.dcm");

int frameGrey(int frame, int x, int y)
{
    return (x * 25 + y * 7 + frame * 40) & 0xff;
}

// The view's buffer (bottom row first) holds frame f from column x0, row y0
// of the file, counted from the top.
bool viewShowsFrame(const MainViewWidget& view, int frame, int x0, int y0)
{
    const int width = static_cast<int>(view.imageWidth());
    const int height = static_cast<int>(view.imageHeight());
    for (int row = 0; row < height; ++row) {
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* pixel = view.pixels() + (static_cast<std::size_t>(row) * width + x) * 4;
            if (pixel[0] != frameGrey(frame, x0 + x, y0 + height - 1 - row))
                return false;
        }
    }
    return true;
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    static QAction* action(Quorrel& window, const char* name)
    {
        return testsupport::child<QAction>(&window, (QByteArray("action_") + name).constData());
    }

    // The checked actions of the group of the named action: the display
    // actions are those about the image.
    static QStringList checkedInGroup(Quorrel& window, const char* named)
    {
        QStringList checked;
        for (const char* name :
             {"Detect", "Cut", "Cut_Squared", "Clear", "Insert_Curve", "Control_Local_MinMax", "Measure_Unit",
              "Original_Image_Size", "Image_Fit_To_Screen", "Image_Fit_Keeping_Aspect"}) {
            const bool sameGroup = QByteArray(name).contains("Image") == QByteArray(named).contains("Image");
            if (sameGroup && action(window, name)->isChecked())
                checked << QString::fromLatin1(name);
        }
        return checked;
    }

    // A shown window whose image list is the folder "images" that
    // "settings.txt" names, holding a small picture under each name of
    // pictures and a text under each name of texts.
    static std::unique_ptr<Quorrel> windowOnFolder(testsupport::ScratchDirectory& scratch, const QStringList& pictures,
                                                   const QStringList& texts = {})
    {
        QDir(scratch.path()).mkdir(QStringLiteral("images"));
        const QString folder = scratch.filePath(QStringLiteral("images"));
        for (const QString& name : pictures)
            testsupport::writeImage(folder + QLatin1Char('/') + name, testsupport::gradientImage(60, 40));
        for (const QString& name : texts)
            testsupport::writeFile(folder + QLatin1Char('/') + name, "not a picture");
        testsupport::writeFile(scratch.filePath(QStringLiteral("settings.txt")), folder.toUtf8() + "\n");
        return testsupport::makeShownWindow<Quorrel>(1200, 700);
    }

private slots:
    // What the window does itself, on a folder of a picture and a text:
    // Return on the list opens the selected file, a failed open keeps the
    // selection on the shown image; the status bar shows the pixel under the
    // cursor and the mode; Delete away from the view erases the edge points
    // in the rubber band, F1 shows About with the version, a cancelled
    // folder (Ctrl+O) or save (Ctrl+S) dialog keeps the image list, and
    // Ctrl+Q ends the program. (Undo and Redo: AnalysisActionsTest.)
    void windowKeysAndActions_ReachTheViewAndKeepTheList()
    {
        testsupport::ScratchDirectory scratch;
        auto shown = windowOnFolder(scratch, {QStringLiteral("good.png")}, {QStringLiteral("bad.png")});
        Quorrel& window = *shown;
        MainViewWidget* view = window.view();
        auto* images = testsupport::child<QListWidget>(&window, "fileListWidget_");
        QCOMPARE(images->count(), 2);
        images->setCurrentRow(1);
        QTest::keyClick(images, Qt::Key_Return);
        const QString good = QString::fromStdWString(view->imagePath());
        QVERIFY(good.endsWith(QStringLiteral("good.png")));

        testsupport::ModalRecord warning;
        testsupport::answerNextModal(&warning);
        images->setCurrentRow(0);
        QTest::keyClick(images, Qt::Key_Return);
        QVERIFY(warning.text.startsWith(QStringLiteral("Failed to load image!!!\nbad.png: ")));
        QCOMPARE(QString::fromStdWString(view->imagePath()), good);
        QCOMPARE(images->currentRow(), 1);
        QCOMPARE(testsupport::child<QLabel>(&window, "actionStatusLabel")->text(),
                 QStringLiteral("Could not open bad.png"));

        const QPoint over = testsupport::windowPointForView(*view, static_cast<int>(view->imageOffset().x) + 10,
                                                            static_cast<int>(view->imageOffset().y) + 5);
        QMouseEvent move(QEvent::MouseMove, over, view->mapToGlobal(over), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view, &move);
        const QRgb value = testsupport::gradientImage(60, 40).pixel(10, 34);
        QCOMPARE(testsupport::child<QLabel>(&window, "pixelStatusLabel")->text(),
                 QStringLiteral("x 10, y 34 (report y 5): RGB %1, %2, %3")
                     .arg(qRed(value))
                     .arg(qGreen(value))
                     .arg(qBlue(value)));

        quorrel::Boundary* boundary = testsupport::detectBoundary(*view);
        QVERIFY(boundary);
        boundary->edgePoints = {{2, 3}, {30, 30}};
        QTest::keyClick(&window, Qt::Key_Delete);
        QCOMPARE(boundary->edgePoints.size(), std::size_t(1));
        QCOMPARE(boundary->edgePoints[0], (quorrel::Point2d{30, 30}));

        testsupport::ModalRecord about;
        QString credits;
        testsupport::answerNextModal(&about, [&credits](QWidget* dialog) {
            if (auto* text = dialog->findChild<QPlainTextEdit*>())
                credits = text->toPlainText();
            static_cast<QDialog*>(dialog)->reject();
        });
        QApplication::setActiveWindow(&window);
        QTest::keyClick(&window, Qt::Key_F1);
        QVERIFY(about.seen);
        QVERIFY2(credits.startsWith(QStringLiteral("Quorrel ")) && !credits.contains(QStringLiteral("%1")),
                 qPrintable(credits));

        for (const QKeySequence& keys : {QKeySequence(Qt::CTRL + Qt::Key_O), QKeySequence(Qt::CTRL + Qt::Key_S)}) {
            testsupport::ModalRecord chooser;
            testsupport::answerNextModal(&chooser, [](QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); });
            QApplication::setActiveWindow(&window);
            QTest::keySequence(&window, keys);
            QVERIFY2(chooser.seen, qPrintable(keys.toString()));
            QCOMPARE(images->count(), 2);
        }

        action(window, "Cut")->trigger();
        QCOMPARE(testsupport::child<QLabel>(&window, "modeStatusLabel")->text(),
                 QStringLiteral("Mode: Cut Image Mode"));
        QApplication::setActiveWindow(&window);
        QTest::keySequence(&window, QKeySequence(Qt::CTRL + Qt::Key_Q));
        QVERIFY(!window.isRunning());
    }

    // Each row triggers an action and names the checked actions of its
    // group afterwards: clicking the checked mode falls back to Detect,
    // clicking the checked fit returns to Original Size. The dock's spin
    // boxes reach the view as well.
    void actionsAndSpinBoxes_ReachTheViewAndTheCheckedActionFallsBack()
    {
        testsupport::ScratchDirectory scratch;
        Quorrel window;
        MainViewWidget* view = window.view();
        using quorrel::ViewMode;
        using Display = quorrel::ImageDisplayMode;
        const struct {
            const char* action;
            const char* checked;
            ViewMode mode;
            Display display;
        } rows[] = {
            {"Cut", "Cut", ViewMode::Cut, Display::OriginalSize},
            {"Measure_Unit", "Measure_Unit", ViewMode::MeasureUnit, Display::OriginalSize},
            {"Measure_Unit", "Detect", ViewMode::Detect, Display::OriginalSize},
            {"Detect", "Detect", ViewMode::Detect, Display::OriginalSize},
            {"Original_Image_Size", "Original_Image_Size", ViewMode::Detect, Display::OriginalSize},
            {"Image_Fit_To_Screen", "Image_Fit_To_Screen", ViewMode::Detect, Display::FitToScreen},
            {"Image_Fit_To_Screen", "Original_Image_Size", ViewMode::Detect, Display::OriginalSize},
            {"Image_Fit_Keeping_Aspect", "Image_Fit_Keeping_Aspect", ViewMode::Detect, Display::FitKeepingAspect},
        };
        for (const auto& row : rows) {
            action(window, row.action)->trigger();
            QCOMPARE(checkedInGroup(window, row.action), QStringList{QString::fromLatin1(row.checked)});
            QCOMPARE(view->viewMode(), row.mode);
            QCOMPARE(view->imageDisplayMode(), row.display);
        }
        action(window, "View_Debug_Info")->trigger();
        QVERIFY(view->showDebugInfo());

        testsupport::child<QSpinBox>(&window, "maxColorDistanceSpinBox_")->setValue(77);
        testsupport::child<QDoubleSpinBox>(&window, "minLineConnectionDistanceDoubleSpinBox_")->setValue(1.5);
        testsupport::child<QDoubleSpinBox>(&window, "maxLineConnectionDistanceDoubleSpinBox_")->setValue(4.25);
        testsupport::child<QSpinBox>(&window, "smoothLevelSpinBox_")->setValue(5);
        testsupport::child<QSpinBox>(&window, "curveDividingCountSpinBox_")->setValue(250);
        testsupport::child<QDoubleSpinBox>(&window, "unitMicronSpinBox")->setValue(123.456);
        QCOMPARE(view->maxColorDistance(), 77);
        QCOMPARE(view->minLineConnectionDistance(), 1.5);
        QCOMPARE(view->maxLineConnectionDistance(), 4.25);
        QCOMPARE(view->smoothLevel(), 5);
        QCOMPARE(view->curveDividingCount(), 250);
        QCOMPARE(view->unitMicron(), 123.456);
    }

    void imageList_ListsAcceptedSuffixesInCaseInsensitiveNameOrderAndUnreadableFiles()
    {
        testsupport::ScratchDirectory scratch;
        QDir folder(scratch.path());
        folder.mkdir("images");
        folder.cd("images");
        for (const char* name :
             {"e.Tga", "c.txt", "B.jpg", "a.PNG", "d.jpeg", "scan.tar.bmp", "nodot", "g.jp2", "h.gif", "locked.bmp"})
            testsupport::writeFile(folder.filePath(QString::fromLatin1(name)), QByteArray());
        // TIFF and DICOM files, and DICOM files without a suffix by their preamble.
        for (const char* name : {"page.tif", "p.TIFF", "vol.DCM", "DICOMDIR-like"})
            testsupport::writeFile(folder.filePath(QString::fromLatin1(name)), QByteArray(200, 'x'));
        QVERIFY(QFile::copy(kVolume, folder.filePath("IM000001")));
        for (int i = 0; i < 3000; ++i)
            testsupport::writeFile(folder.filePath(QString::asprintf("scan%04d.png", i)), QByteArray());
        QFile(folder.filePath("locked.bmp")).setPermissions(QFileDevice::Permissions()); // unreadable, still listed
        QFile::link(folder.filePath("missing-target.png"), folder.filePath("dangling.png")); // no file
        folder.mkdir("f.png");
        Quorrel window;
        window.fillImageList(folder.path());
        auto* list = testsupport::child<QListWidget>(&window, "fileListWidget_");
        QStringList names;
        for (int row = 0; row < list->count(); ++row)
            names << list->item(row)->text();
        QCOMPARE(names.size(), 3011);
        QCOMPARE(names.mid(0, 11),
                 (QStringList{"a.PNG", "B.jpg", "d.jpeg", "e.Tga", "g.jp2", "IM000001", "locked.bmp", "p.TIFF",
                              "page.tif", "scan.tar.bmp", "scan0000.png"}));
        QCOMPARE(names.mid(3009), (QStringList{"scan2999.png", "vol.DCM"}));

        window.fillImageList(folder.filePath("does-not-exist"));
        QCOMPARE(list->count(), 0);
    }

    void colorList_ItemShowsNameColourAndTolerance()
    {
        testsupport::ScratchDirectory scratch;
        Quorrel window;
        quorrel::Boundary boundary;
        boundary.imagePath = (QDir::toNativeSeparators(scratch.filePath("scan7.png"))).toStdWString();
        boundary.referenceColor = {120, 45, 200, 255};
        boundary.maxColorDistance = 30;
        window.addColorListItem(boundary);
        auto* list = testsupport::child<QListWidget>(&window, "colorListWidget_");
        QCOMPARE(list->count(), 1);
        QCOMPARE(list->item(0)->text(), QStringLiteral("scan7.png - (120, 45, 200), 30"));
        QCOMPARE(list->item(0)->background().color(), QColor(120, 45, 200, 255));
        QCOMPARE(list->item(0)->background().style(), Qt::SolidPattern);
        QCOMPARE(list->item(0)->foreground().color(), QColor(Qt::white)); // dark rows get light text
        boundary.referenceColor = {230, 230, 120, 255};
        window.addColorListItem(boundary);
        QCOMPARE(list->item(1)->foreground().color(), QColor(Qt::black));
    }

    // The window keeps to the screen it opens on: 1366 x 768 and 1920 x 1080,
    // and the same screens at a scale factor of 2, less a title and a task
    // bar. Every control of the dock can be scrolled into view whole.
    void window_FitsSmallScreensAndTheDockScrolls()
    {
        testsupport::ScratchDirectory scratch;
        Quorrel window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* scroll = testsupport::child<QScrollArea>(&window, "dockScrollArea");
        for (const QSize screen : {QSize(1366, 768), QSize(1920, 1080), QSize(683, 384), QSize(960, 540)}) {
            const QSize available = screen - QSize(0, 80);
            window.resize(available);
            QApplication::processEvents();
            QCOMPARE(window.size(), available);
            for (QWidget* control : scroll->widget()->findChildren<QWidget*>()) {
                if (!qobject_cast<QAbstractButton*>(control) && !qobject_cast<QAbstractSpinBox*>(control)
                    && !qobject_cast<QListWidget*>(control))
                    continue;
                const QPoint centre = control->mapTo(scroll->widget(), control->rect().center());
                scroll->ensureVisible(centre.x(), centre.y(), control->width() / 2 + 1, control->height() / 2 + 1);
                const QRect shown(control->mapTo(scroll->viewport(), QPoint(0, 0)), control->size());
                QVERIFY2(scroll->viewport()->rect().contains(shown), qPrintable(control->objectName()));
                QVERIFY2(control->width() >= control->minimumSizeHint().width(), qPrintable(control->objectName()));
                // Each says what it does, a spin box also its range.
                QString range;
                if (auto* box = qobject_cast<QSpinBox*>(control))
                    range = QStringLiteral("(%1 to %2)").arg(box->minimum()).arg(box->maximum());
                if (auto* box = qobject_cast<QDoubleSpinBox*>(control))
                    range = QStringLiteral("(%1 to %2)")
                                .arg(box->minimum(), 0, 'f', box->decimals())
                                .arg(box->maximum(), 0, 'f', box->decimals());
                QVERIFY2(!control->toolTip().isEmpty() && control->toolTip().endsWith(range),
                         qPrintable(control->objectName()));
            }
            QVERIFY(window.rect().contains(
                QRect(scroll->viewport()->mapTo(&window, QPoint(0, 0)), scroll->viewport()->size())));
        }
    }
    // Opening a multi-frame file asks for the frame, the cut keeps it, and
    // the file's pixel size fills the scales.
    void multiFrameDicom_AsksForTheFrameTheCutKeepsItAndItsPixelSizeFillsTheScales()
    {
        testsupport::ScratchDirectory scratch;
        QDir(scratch.path()).mkdir(QStringLiteral("scans"));
        const QDir folder(scratch.filePath(QStringLiteral("scans")));
        QVERIFY(QFile::copy(kVolume, folder.filePath("vol.DCM")));
        testsupport::writeFile(scratch.filePath(QStringLiteral("settings.txt")), folder.path().toUtf8() + '\n');
        Quorrel window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        MainViewWidget* view = window.view();
        auto* lateral = testsupport::child<QLineEdit>(&window, "lateralScaleLineEdit_");
        auto* axial = testsupport::child<QLineEdit>(&window, "axialScaleLineEdit_");
        QListWidgetItem* volume = testsupport::child<QListWidget>(&window, "fileListWidget_")->item(0);

        // Cancelled: nothing is loaded.
        testsupport::ModalRecord cancelled;
        testsupport::answerNextModal(&cancelled, [](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
        emit volume->listWidget()->itemDoubleClicked(volume);
        QVERIFY(cancelled.seen);
        QVERIFY(!view->hasImage());

        testsupport::ModalRecord chosen;
        int offered = -1;
        bool thumbnail = false;
        testsupport::answerNextModal(&chosen, [&](QWidget* modal) {
            auto* dialog = qobject_cast<FrameChoiceDialog*>(modal);
            if (!dialog) {
                modal->close();
                return;
            }
            auto* spinBox = testsupport::child<QSpinBox>(dialog, "frameSpinBox_");
            offered = spinBox->value();
            thumbnail = dialog->showsThumbnail();
            spinBox->setValue(2);
            dialog->accept();
        });
        emit volume->listWidget()->itemDoubleClicked(volume);
        QVERIFY(chosen.seen);
        QCOMPARE(chosen.title, QStringLiteral("Choose Frame"));
        QCOMPARE(offered, 1);
        QVERIFY(thumbnail);
        QVERIFY(view->hasImage());
        QCOMPARE(view->imageFrame(), 2u);
        QVERIFY(viewShowsFrame(*view, 2, 0, 0));
        QCOMPARE((QStringList{lateral->text(), axial->text()}), (QStringList{"11.5", "3.9"}));
        QCOMPARE(view->axisScales().source, std::string("file (DICOM Pixel Measures)"));

        // The cut reloads the file: the right half of frame 2, not of frame 0.
        QVERIFY(view->loadImage(view->imagePath(), 0.5, 0.0, 0.5, 1.0));
        QCOMPARE(view->imageWidth(), 18u);
        QVERIFY(viewShowsFrame(*view, 2, 19, 0));

        // The file's pixel size fills what the user did not give, and leaves
        // with the file.
        const QString plain =
            testsupport::writeImage(scratch.filePath("plain.png"), testsupport::gradientImage(37, 23));
        QVERIFY(view->loadImage(plain.toStdWString(), 0, 0, 1, 1));
        QCOMPARE((QStringList{lateral->text(), axial->text()}), (QStringList{"", ""}));
        lateral->setText(QStringLiteral("12"));
        emit lateral->editingFinished();
        QVERIFY(view->loadImage(kVolume.toStdWString(), 0, 0, 1, 1));
        QCOMPARE((QStringList{lateral->text(), axial->text()}), (QStringList{"12", "3.9"}));
        QCOMPARE(view->axisScales().source, std::string("lateral typed, axial file (DICOM Pixel Measures)"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
