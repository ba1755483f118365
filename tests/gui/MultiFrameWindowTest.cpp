// TIFF and DICOM files in the window and the command: the image list lists
// them, opening a multi-frame file asks for the frame, the cut keeps it, and
// quorrel-measure measures the frame --frame names.

#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QSpinBox>
#include <QTest>

#include <tiffio.h>

#include <dcmtk/config/osconfig.h>

#include <dcmtk/dcmdata/dcxfer.h>

#include "GuiTestSupport.h"
#include "TiffDicomWriters.h"
#include "dialogs/FrameChoiceDialog.h"
#include "ui/Quorrel.h"
#include "view/MainViewWidget.h"

namespace {

// Frame f of a 37 x 23 volume: grey (x * 25 + y * 7 + f * 40) mod 256, y
// from the top.
int frameGrey(int frame, int x, int y)
{
    return (x * 25 + y * 7 + frame * 40) & 0xff;
}

quorrel::test::DicomImage threeFrameVolume()
{
    quorrel::test::DicomImage image;
    image.width = 37;
    image.height = 23;
    image.frames = 3;
    image.sample = [](int frame, int x, int y) { return static_cast<std::uint16_t>(frameGrey(frame, x, y)); };
    image.pixelSpacing = "0.0039\\0.0115";
    image.transferSyntax = EXS_JPEGProcess14SV1;
    return image;
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (bytes.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
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

struct CommandRun {
    int status = -1;
    QByteArray output;
    QByteArray errors;
};

CommandRun runCommand(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(QUORREL_MEASURE_EXECUTABLE), arguments);
    CommandRun run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.status = process.exitCode();
    run.output = process.readAllStandardOutput();
    run.errors = process.readAllStandardError();
    return run;
}

} // namespace

class MultiFrameWindowTest : public QObject {
    Q_OBJECT

private slots:
    void imageList_ListsTiffDicomAndDicomFilesWithoutSuffix()
    {
        testsupport::ScratchDirectory scratch;
        QDir folder(scratch.path());
        const QByteArray dicom = quorrel::test::dicomFile(threeFrameVolume());
        writeBytes(folder.filePath("IM000001"), dicom);
        writeBytes(folder.filePath("vol.DCM"), dicom);
        for (const char* name : {"page.tif", "p.TIFF", "nodot", "DICOMDIR-like"}) {
            QFile file(folder.filePath(QString::fromLatin1(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(200, 'x'));
        }
        Quorrel window;
        window.fillImageList(folder.path());
        auto* list = testsupport::child<QListWidget>(&window, "fileListWidget_");
        QStringList names;
        for (int row = 0; row < list->count(); ++row)
            names << list->item(row)->text();
        QCOMPARE(names, (QStringList{"IM000001", "p.TIFF", "page.tif", "vol.DCM"}));
    }

    void doubleClick_MultiFrameDicom_AsksForTheFrameFromTheMiddleAndTheCutKeepsIt()
    {
        testsupport::ScratchDirectory scratch;
        QDir(scratch.path()).mkdir(QStringLiteral("scans"));
        const QString folder = scratch.filePath(QStringLiteral("scans"));
        writeBytes(folder + QStringLiteral("/volume.dcm"), quorrel::test::dicomFile(threeFrameVolume()));
        {
            QFile settings(scratch.filePath(QStringLiteral("settings.txt")));
            QVERIFY(settings.open(QIODevice::WriteOnly));
            settings.write(folder.toUtf8() + '\n');
        }
        Quorrel window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        MainViewWidget* view = window.view();
        auto* list = testsupport::child<QListWidget>(&window, "fileListWidget_");
        QCOMPARE(list->count(), 1);

        // Cancelled: nothing is loaded.
        testsupport::ModalRecord cancelled;
        testsupport::answerNextModal(&cancelled, [](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
        emit list->itemDoubleClicked(list->item(0));
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
        emit list->itemDoubleClicked(list->item(0));
        QVERIFY(chosen.seen);
        QCOMPARE(chosen.title, QStringLiteral("Choose Frame"));
        QCOMPARE(offered, 1);
        QVERIFY(thumbnail);
        QVERIFY(view->hasImage());
        QCOMPARE(view->imageFrame(), 2u);
        QVERIFY(viewShowsFrame(*view, 2, 0, 0));
        QCOMPARE(view->filePixelSize().lateralMicrons, 11.5);
        QCOMPARE(view->filePixelSize().axialMicrons, 3.9);
        QCOMPARE(view->filePixelSize().source, quorrel::PixelSizeSource::DicomPixelMeasures);

        // The cut reloads the file: the right half of frame 2, not of frame 0.
        QVERIFY(view->loadImage(view->imagePath(), 0.5, 0.0, 0.5, 1.0));
        QCOMPARE(view->imageWidth(), 18u);
        QVERIFY(viewShowsFrame(*view, 2, 19, 0));
    }

    // The file's pixel size fills what the user did not give, and leaves
    // with the file.
    void filePixelSize_FillsTheScalesTheUserDidNotGive()
    {
        testsupport::ScratchDirectory scratch;
        const QString volumePath = scratch.filePath(QStringLiteral("volume.dcm"));
        writeBytes(volumePath, quorrel::test::dicomFile(threeFrameVolume()));
        QImage plain(37, 23, QImage::Format_RGB32);
        plain.fill(Qt::gray);
        const QString plainPath = testsupport::writeImage(scratch.filePath(QStringLiteral("plain.png")), plain);
        Quorrel window;
        MainViewWidget* view = window.view();
        auto* lateral = testsupport::child<QLineEdit>(&window, "lateralScaleLineEdit_");
        auto* axial = testsupport::child<QLineEdit>(&window, "axialScaleLineEdit_");
        const auto open = [view](const QString& path) { return view->loadImage(path.toStdWString(), 0, 0, 1, 1); };

        QVERIFY(open(volumePath));
        QCOMPARE((QStringList{lateral->text(), axial->text()}), (QStringList{"11.5", "3.9"}));
        QCOMPARE(view->axisScales().source, std::string("file (DICOM Pixel Measures)"));
        QVERIFY(open(plainPath));
        QCOMPARE((QStringList{lateral->text(), axial->text()}), (QStringList{"", ""}));
        lateral->setText(QStringLiteral("12"));
        emit lateral->editingFinished();
        QVERIFY(open(volumePath));
        QCOMPARE((QStringList{lateral->text(), axial->text()}), (QStringList{"12", "3.9"}));
        QCOMPARE(view->axisScales().source, std::string("lateral typed, axial file (DICOM Pixel Measures)"));
    }

    void measureCommand_FrameOption_MeasuresThatFrameAndRefusesOnePastTheEnd()
    {
        testsupport::ScratchDirectory scratch;
        const QDir samples(QStringLiteral(QUORREL_SAMPLES_DIR));
        const QImage scan(samples.filePath(QStringLiteral("fovea-standard.png")));
        QVERIFY(!scan.isNull());
        quorrel::test::DicomImage volume;
        volume.width = scan.width();
        volume.height = scan.height();
        volume.frames = 3;
        volume.transferSyntax = EXS_RLELossless;
        // Frame 1 is the sample; the others are it upside down.
        volume.sample = [&scan](int frame, int x, int y) {
            return static_cast<std::uint16_t>(qRed(scan.pixel(x, frame == 1 ? y : scan.height() - 1 - y)));
        };
        const QString volumePath = scratch.filePath(QStringLiteral("volume.dcm"));
        writeBytes(volumePath, quorrel::test::dicomFile(volume));
        const QString parameters = samples.filePath(QStringLiteral("fovea-standard.json"));

        const CommandRun fromPng =
            runCommand({samples.filePath(QStringLiteral("fovea-standard.png")), "--params", parameters});
        const CommandRun fromFrame = runCommand({volumePath, "--frame", "1", "--params", parameters});
        QCOMPARE(fromPng.status, 0);
        QCOMPARE(fromFrame.status, 0);
        QCOMPARE(fromFrame.output, fromPng.output);

        const CommandRun pastEnd = runCommand({volumePath, "--frame", "3", "--params", parameters});
        QCOMPARE(pastEnd.status, 1);
        QVERIFY2(pastEnd.errors.contains("frame 3 asked for, the DICOM file has 3 frames"), pastEnd.errors.constData());
        QCOMPARE(runCommand({volumePath, "--frame", "-1", "--params", parameters}).status, 2);
    }
};

QTEST_MAIN(MultiFrameWindowTest)
#include "MultiFrameWindowTest.moc"
