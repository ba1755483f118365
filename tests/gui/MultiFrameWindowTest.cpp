// TIFF and DICOM files in the window: the image list lists them, opening a
// multi-frame file asks for the frame, the cut keeps it, and the file's pixel
// size fills the scales. (The command's --frame: MeasureCommandTest.)

#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
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

class MultiFrameWindowTest : public QObject {
    Q_OBJECT

private slots:
    // The list shows TIFF and DICOM files, and DICOM files without a suffix
    // by their preamble.
    void multiFrameDicom_AsksForTheFrameTheCutKeepsItAndItsPixelSizeFillsTheScales()
    {
        testsupport::ScratchDirectory scratch;
        QDir(scratch.path()).mkdir(QStringLiteral("scans"));
        const QDir folder(scratch.filePath(QStringLiteral("scans")));
        QVERIFY(QFile::copy(kVolume, folder.filePath("IM000001")));
        QVERIFY(QFile::copy(kVolume, folder.filePath("vol.DCM")));
        for (const char* name : {"page.tif", "p.TIFF", "nodot", "DICOMDIR-like"})
            testsupport::writeFile(folder.filePath(QString::fromLatin1(name)), QByteArray(200, 'x'));
        testsupport::writeFile(scratch.filePath(QStringLiteral("settings.txt")), folder.path().toUtf8() + '\n');
        Quorrel window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        MainViewWidget* view = window.view();
        auto* lateral = testsupport::child<QLineEdit>(&window, "lateralScaleLineEdit_");
        auto* axial = testsupport::child<QLineEdit>(&window, "axialScaleLineEdit_");
        auto* list = testsupport::child<QListWidget>(&window, "fileListWidget_");
        QStringList names;
        for (int row = 0; row < list->count(); ++row)
            names << list->item(row)->text();
        QCOMPARE(names, (QStringList{"IM000001", "p.TIFF", "page.tif", "vol.DCM"}));

        // Cancelled: nothing is loaded.
        testsupport::ModalRecord cancelled;
        testsupport::answerNextModal(&cancelled, [](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
        emit list->itemDoubleClicked(list->item(3));
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
        emit list->itemDoubleClicked(list->item(3));
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

QTEST_MAIN(MultiFrameWindowTest)
#include "MultiFrameWindowTest.moc"
