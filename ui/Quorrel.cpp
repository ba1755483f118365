#include "ui/Quorrel.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLocale>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>

#include "core/MeasurementFile.h"
#include "dialogs/DifferentiateGraphDialog.h"
#include "dialogs/DistanceGraphDialog.h"
#include "dialogs/FrameChoiceDialog.h"
#include "imageio/ImageFile.h"
#include "ui/AboutDialog.h"
#include "ui/StatusReadout.h"
#include "ui_Quorrel.h"
#include "view/BusyCursor.h"
#include "view/MainViewWidget.h"

namespace {

// A typed scale in the C locale or the user's own ("11.5" or "11,5"); NaN
// when it is not a number.
double parseScale(const QString& text, bool& isNumber)
{
    double value = QLocale::c().toDouble(text, &isNumber);
    if (!isNumber)
        value = QLocale().toDouble(text, &isNumber);
    return value;
}

QString scaleText(double micronsPerPixel)
{
    return micronsPerPixel > 0.0 ? QString::number(micronsPerPixel, 'g', 10) : QString();
}

bool isAcceptedImageSuffix(const QString& suffix)
{
    static const QStringList accepted = {QStringLiteral("JPG"), QStringLiteral("JPEG"), QStringLiteral("JP2"),
                                         QStringLiteral("BMP"), QStringLiteral("PNG"),  QStringLiteral("TGA"),
                                         QStringLiteral("TIF"), QStringLiteral("TIFF"), QStringLiteral("DCM")};
    return accepted.contains(suffix.toUpper());
}

// DICOM archives often name their files without a suffix; such a file is
// listed when it starts like a DICOM file.
bool isListedImage(const QFileInfo& entry)
{
    if (!entry.isFile())
        return false;
    const QString suffix = entry.suffix();
    return suffix.isEmpty() ? quorrel::hasDicomPreamble(entry.filePath()) : isAcceptedImageSuffix(suffix);
}

// A frame of the file as shown, top row first; null when it cannot be read.
QImage framePicture(const std::wstring& path, std::uint32_t frame)
{
    quorrel::LoadedRegion region;
    {
        BusyCursor busy;
        region = quorrel::loadImageRegion(path, 0.0, 0.0, 1.0, 1.0, frame);
    }
    if (region.status != quorrel::LoadStatus::Ok || !region.pixels)
        return QImage();
    // The buffer holds the bottom row first; mirrored() makes the deep copy.
    return QImage(region.pixels.get(), static_cast<int>(region.width), static_cast<int>(region.height),
                  static_cast<int>(region.width) * 4, QImage::Format_RGBA8888)
        .mirrored();
}

// Files that may hold several frames or pages.
bool mayHoldFrames(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toUpper();
    return suffix.isEmpty() || suffix == QLatin1String("DCM") || suffix == QLatin1String("TIF")
        || suffix == QLatin1String("TIFF");
}

// Text that stays readable on a row of the given background colour.
QColor readableTextColour(const QColor& background)
{
    const double luma = 0.299 * background.red() + 0.587 * background.green() + 0.114 * background.blue();
    return luma < 128.0 ? QColor(Qt::white) : QColor(Qt::black);
}

// A menu text without its mnemonic marker.
QString plainActionText(const QAction* action)
{
    QString text = action->text();
    return text.remove(QLatin1Char('&'));
}

} // namespace

Quorrel::Quorrel(QWidget* parent)
    : QMainWindow(parent)
    , m_ui(new Ui::QuorrelClass)
    , m_running(true)
{
    m_ui->setupUi(this);
    setUpShortcutsAndReadouts();
    MainViewWidget* mainView = view();
    showViewParameters();
    mainView->setBoundaryAddedHandler([this](const quorrel::Boundary& boundary) { addColorListItem(boundary); });
    mainView->setImageOpenedHandler([this]() { takeFilePixelSize(); });
    fillImageList(QString::fromUtf8(m_settings.imageFolderPath.c_str()));
    m_distanceDialog = new DistanceGraphDialog(this);
    m_differentiateDialog = new DifferentiateGraphDialog(this);
}

void Quorrel::setUpShortcutsAndReadouts()
{
    m_ui->action_Redo->setShortcuts(
        {QKeySequence(Qt::CTRL + Qt::SHIFT + Qt::Key_Z), QKeySequence(Qt::CTRL + Qt::Key_Y)});
    // Ctrl+= is Ctrl++ without Shift on most keyboards; both zoom in.
    m_ui->action_Zoom_In->setShortcuts({QKeySequence(Qt::CTRL + Qt::Key_Equal), QKeySequence(Qt::CTRL + Qt::Key_Plus)});
    m_ui->fileListWidget_->installEventFilter(this);
    fitDockToItsContents();
    fitToScreen();
    m_status = std::make_unique<StatusReadout>(m_ui->statusBar);
    m_status->showMode(plainActionText(m_ui->action_Detect));
    MainViewWidget* mainView = view();
    mainView->setMouseTracking(true);
    mainView->installEventFilter(this);
    mainView->setStatusHandler([this](const QString& text) { m_status->showResult(text); });
    mainView->setHistoryHandler([this]() { updateUndoActions(); });
    mainView->setZoomHandler([this](double horizontal, double vertical) { m_status->showZoom(horizontal, vertical); });
    m_status->showZoom(1.0, 1.0);
    updateUndoActions();
}

// The dock scrolls vertically, so a short screen reaches every control; it
// keeps the width its controls need so that nothing is cut off sideways.
void Quorrel::fitDockToItsContents()
{
    const int scrollBarWidth = m_ui->dockScrollArea->verticalScrollBar()->sizeHint().width();
    m_ui->dockScrollArea->setMinimumWidth(m_ui->dockWidgetContents->minimumSizeHint().width() + scrollBarWidth);
}

// The form's size is larger than many screens; where no window manager
// maximises the window, it would reach past the screen's edges.
void Quorrel::fitToScreen()
{
    const QRect available = screen()->availableGeometry();
    resize(size().boundedTo(available.size()));
}

Quorrel::~Quorrel()
{
    delete m_differentiateDialog;
    delete m_distanceDialog;
    delete m_ui;
}

MainViewWidget* Quorrel::view() const
{
    return m_ui->centralWidget;
}

void Quorrel::updateFrame(double elapsedSeconds)
{
    view()->updateFrame(elapsedSeconds);
}

void Quorrel::renderFrame()
{
    view()->renderScene();
}

void Quorrel::closeEvent(QCloseEvent* event)
{
    if (!mayLeaveMeasurements()) {
        event->ignore();
        return;
    }
    m_running = false;
    event->accept();
}

// Asks before a measurement that was never saved, or changed since, is lost.
bool Quorrel::mayLeaveMeasurements()
{
    MainViewWidget* mainView = view();
    const int unsaved = mainView->unsavedMeasurementIndex();
    if (unsaved < 0)
        return true;
    const quorrel::Boundary& boundary = mainView->boundaries()[static_cast<std::size_t>(unsaved)];
    const QString name = QFileInfo(QString::fromStdWString(boundary.imagePath)).fileName();
    const QMessageBox::StandardButton answer =
        QMessageBox::question(this, tr("Unsaved Measurement"),
                              tr("The measurement of %1 has not been saved.\nSave it before leaving?").arg(name),
                              QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Discard)
        return true;
    if (answer != QMessageBox::Save)
        return false;
    if (!mainView->isOnScreen(boundary)) {
        QMessageBox::warning(this, tr("Warning"),
                             tr("The measurement belongs to %1, which is not the image on screen.\nOpen %1 to "
                                "save it, or leave without saving")
                                 .arg(name),
                             QMessageBox::Ok);
        return false;
    }
    mainView->setCurrentBoundaryIndex(unsaved);
    m_ui->colorListWidget_->setCurrentRow(unsaved);
    return saveCurrentMeasurement();
}

bool Quorrel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == view()) {
        if (event->type() == QEvent::MouseMove) {
            int x = 0;
            int y = 0;
            const MainViewWidget* mainView = view();
            if (mainView->imagePixelAt(static_cast<QMouseEvent*>(event)->pos(), x, y)) {
                const std::uint8_t* pixel =
                    mainView->pixels() + (static_cast<std::size_t>(y) * mainView->imageWidth() + x) * 4u;
                m_status->showPixel(x, static_cast<int>(mainView->imageHeight()) - 1 - y, y, pixel);
            } else {
                m_status->clearPixel();
            }
        } else if (event->type() == QEvent::Leave) {
            m_status->clearPixel();
        }
        return false;
    }
    // Return opens the selected image, as a double-click does; the list
    // itself would only report the key as an activation, which a
    // double-click reports as well.
    if (watched == m_ui->fileListWidget_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            on_imageItemDoubleClicked(m_ui->fileListWidget_->currentItem());
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void Quorrel::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Delete) {
        if (m_ui->colorListWidget_->hasFocus()) {
            QListWidgetItem* current = m_ui->colorListWidget_->currentItem();
            if (!current)
                return;
            for (int row = 0; row < m_ui->colorListWidget_->count(); ++row) {
                if (m_ui->colorListWidget_->item(row) == current) {
                    view()->removeBoundary(row);
                    delete m_ui->colorListWidget_->takeItem(row);
                    return;
                }
            }
        } else {
            view()->eraseEdgePointsInSelection();
        }
    }
    event->accept();
}

void Quorrel::on_action_Exit_triggered()
{
    close();
}

void Quorrel::on_action_SelectFolder_triggered()
{
    QString start = QString::fromUtf8(m_settings.imageFolderPath.c_str());
    if (!QFile::exists(start))
        start = QCoreApplication::applicationDirPath();
    const QString chosen =
        QFileDialog::getExistingDirectory(this, tr("Select Folder for Quorrel images"), start,
                                          QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (chosen.isEmpty() || !QFile::exists(chosen))
        return;
    m_settings.imageFolderPath = chosen.toUtf8().toStdString();
    fillImageList(chosen);
}

void Quorrel::on_selectFolderButtonClicked()
{
    on_action_SelectFolder_triggered();
}

void Quorrel::fillImageList(const QString& folderPath)
{
    m_ui->fileListWidget_->clear();
    // An empty path would list the working directory while double-clicks
    // would build paths from the root; show nothing instead.
    if (folderPath.isEmpty())
        return;
    const QFileInfoList entries = QDir(folderPath).entryInfoList();
    for (const QFileInfo& entry : entries) {
        if (!isListedImage(entry))
            continue;
        m_ui->fileListWidget_->addItem(new QListWidgetItem(entry.fileName()));
    }
}

void Quorrel::on_imageItemDoubleClicked(QListWidgetItem* item)
{
    if (!item)
        return;
    const QString path = QString::fromUtf8(m_settings.imageFolderPath.c_str()) + QDir::separator() + item->text();
    const std::wstring widePath = path.toStdWString();
    std::uint32_t frame = 0;
    if (mayHoldFrames(path)) {
        const quorrel::ImageFileInfo info = quorrel::inspectImageFile(widePath);
        if (info.frameCount > 1) {
            FrameChoiceDialog choice(
                info.frameCount, [widePath](std::uint32_t frame) { return framePicture(widePath, frame); }, this);
            if (choice.exec() != QDialog::Accepted) {
                selectShownImageInList();
                return;
            }
            frame = choice.chosenFrame();
        }
    }
    view()->selectImageFrame(widePath, frame);
    if (!view()->loadImage(widePath, 0.0, 0.0, 1.0, 1.0))
        selectShownImageInList();
    else if (view()->viewMode() == quorrel::ViewMode::Detect)
        view()->proposeVitreousPatch();
}

// After a failed load the view still shows the previous image; the list's
// selection goes back to it (or to none when it came from another folder).
void Quorrel::selectShownImageInList()
{
    const QString folder = QString::fromUtf8(m_settings.imageFolderPath.c_str());
    const QString shown = QString::fromStdWString(view()->imagePath());
    for (int row = 0; row < m_ui->fileListWidget_->count(); ++row) {
        if (folder + QDir::separator() + m_ui->fileListWidget_->item(row)->text() == shown) {
            m_ui->fileListWidget_->setCurrentRow(row);
            return;
        }
    }
    m_ui->fileListWidget_->setCurrentItem(nullptr);
    m_ui->fileListWidget_->clearSelection();
}

// A measurement is drawn and edited only over the picture it was traced on.
void Quorrel::on_colorItemDoubleClicked(QListWidgetItem* item)
{
    if (!item || m_ui->colorListWidget_->count() == 0)
        return;
    MainViewWidget* mainView = view();
    for (int row = 0; row < m_ui->colorListWidget_->count(); ++row) {
        if (m_ui->colorListWidget_->item(row) != item)
            continue;
        const quorrel::Boundary& boundary = mainView->boundaries()[static_cast<std::size_t>(row)];
        if (!mainView->isOnScreen(boundary)) {
            QMessageBox::information(this, tr("Information"),
                                     tr("This measurement belongs to %1, not to the picture on screen.\nOpen "
                                        "that image (the same frame and cut) to work on it")
                                         .arg(QFileInfo(QString::fromStdWString(boundary.imagePath)).fileName()),
                                     QMessageBox::Ok);
            const int current = mainView->currentBoundaryIndex();
            m_ui->colorListWidget_->setCurrentRow(current);
            return;
        }
        mainView->setCurrentBoundaryIndex(row);
        return;
    }
}

void Quorrel::addColorListItem(const quorrel::Boundary& boundary)
{
    const QString path = QString::fromStdWString(boundary.imagePath);
    const QString name = path.mid(path.lastIndexOf(QDir::separator()) + 1);
    const quorrel::RgbaColor& color = boundary.referenceColor;
    const QString text = name + QStringLiteral(" - ")
        + QString::asprintf("(%d, %d, %d), %d", color.r, color.g, color.b, boundary.maxColorDistance);
    auto* item = new QListWidgetItem(text);
    item->setToolTip(tr("Measured on %1").arg(QDir::toNativeSeparators(path)));
    item->setBackground(QBrush(QColor(color.r, color.g, color.b, 255)));
    item->setForeground(QBrush(readableTextColour(QColor(color.r, color.g, color.b))));
    m_ui->colorListWidget_->addItem(item);
}

void Quorrel::selectMode(QAction* action, quorrel::ViewMode mode)
{
    QAction* const modeActions[] = {m_ui->action_Detect,       m_ui->action_Cut,
                                    m_ui->action_Cut_Squared,  m_ui->action_Clear,
                                    m_ui->action_Insert_Curve, m_ui->action_Control_Local_MinMax,
                                    m_ui->action_Measure_Unit};
    if (action->isChecked()) {
        for (QAction* other : modeActions) {
            if (other != action)
                other->setChecked(false);
        }
        view()->setViewMode(mode);
        m_status->showMode(plainActionText(action));
        return;
    }
    for (QAction* other : modeActions) {
        if (other->isChecked())
            return;
    }
    m_ui->action_Detect->setChecked(true);
    view()->setViewMode(quorrel::ViewMode::Detect);
    m_status->showMode(plainActionText(m_ui->action_Detect));
}

void Quorrel::on_action_Detect_triggered()
{
    const bool entering = view()->viewMode() != quorrel::ViewMode::Detect;
    selectMode(m_ui->action_Detect, quorrel::ViewMode::Detect);
    if (entering && m_ui->action_Detect->isChecked())
        view()->proposeVitreousPatch();
}

void Quorrel::on_action_Cut_triggered()
{
    selectMode(m_ui->action_Cut, quorrel::ViewMode::Cut);
}

void Quorrel::on_action_Cut_Squared_triggered()
{
    selectMode(m_ui->action_Cut_Squared, quorrel::ViewMode::CutSquared);
}

void Quorrel::on_action_Clear_triggered()
{
    selectMode(m_ui->action_Clear, quorrel::ViewMode::Clear);
}

void Quorrel::on_action_Insert_Curve_triggered()
{
    selectMode(m_ui->action_Insert_Curve, quorrel::ViewMode::InsertCurve);
}

void Quorrel::on_action_Control_Local_MinMax_triggered()
{
    selectMode(m_ui->action_Control_Local_MinMax, quorrel::ViewMode::ControlLocalMinMax);
}

void Quorrel::on_action_Measure_Unit_triggered()
{
    selectMode(m_ui->action_Measure_Unit, quorrel::ViewMode::MeasureUnit);
}

// One display action is checked at a time; unchecking a fit returns to
// Original Size, which also takes back any zoom and pan.
void Quorrel::selectDisplayMode(QAction* action, quorrel::ImageDisplayMode mode)
{
    if (!action->isChecked()) {
        action = m_ui->action_Original_Image_Size;
        mode = quorrel::ImageDisplayMode::OriginalSize;
    }
    for (QAction* other :
         {m_ui->action_Original_Image_Size, m_ui->action_Image_Fit_To_Screen, m_ui->action_Image_Fit_Keeping_Aspect})
        other->setChecked(other == action);
    if (mode == quorrel::ImageDisplayMode::OriginalSize)
        view()->showOriginalSize();
    else
        view()->setImageDisplayMode(mode);
}

void Quorrel::on_action_Image_Fit_To_Screen_triggered()
{
    selectDisplayMode(m_ui->action_Image_Fit_To_Screen, quorrel::ImageDisplayMode::FitToScreen);
}

void Quorrel::on_action_Image_Fit_Keeping_Aspect_triggered()
{
    selectDisplayMode(m_ui->action_Image_Fit_Keeping_Aspect, quorrel::ImageDisplayMode::FitKeepingAspect);
}

void Quorrel::on_action_Original_Image_Size_triggered()
{
    selectDisplayMode(m_ui->action_Original_Image_Size, quorrel::ImageDisplayMode::OriginalSize);
}

void Quorrel::on_action_Zoom_In_triggered()
{
    view()->zoomIn();
}

void Quorrel::on_action_Zoom_Out_triggered()
{
    view()->zoomOut();
}

void Quorrel::on_action_View_Debug_Info_triggered()
{
    view()->setShowDebugInfo(m_ui->action_View_Debug_Info->isChecked());
}

void Quorrel::on_action_View_Distance_Graph_triggered()
{
    m_distanceDialog->setBoundary(view()->currentBoundary());
    m_distanceDialog->show();
    m_distanceDialog->raise();
    m_distanceDialog->exec();
}

void Quorrel::on_action_View_Differentiate_Graph_triggered()
{
    m_differentiateDialog->setBoundary(view()->currentBoundary());
    m_differentiateDialog->show();
    m_differentiateDialog->raise();
    m_differentiateDialog->exec();
}

void Quorrel::on_action_Undo_triggered()
{
    if (view()->undo())
        rebuildColorList();
}

void Quorrel::on_action_Redo_triggered()
{
    if (view()->redo())
        rebuildColorList();
}

void Quorrel::updateUndoActions()
{
    const MainViewWidget* mainView = view();
    auto menuText = [](QString name) { return name.replace(QLatin1Char('&'), QStringLiteral("&&")); };
    m_ui->action_Undo->setEnabled(mainView->canUndo());
    m_ui->action_Undo->setText(mainView->canUndo() ? tr("&Undo %1").arg(menuText(mainView->undoName())) : tr("&Undo"));
    m_ui->action_Redo->setEnabled(mainView->canRedo());
    m_ui->action_Redo->setText(mainView->canRedo() ? tr("&Redo %1").arg(menuText(mainView->redoName())) : tr("&Redo"));
}

// Undo and redo may bring back or take away whole boundaries: the list is
// made again so that row i still stands for boundary i.
void Quorrel::rebuildColorList()
{
    m_ui->colorListWidget_->clear();
    for (const quorrel::Boundary& boundary : view()->boundaries())
        addColorListItem(boundary);
    const int current = view()->currentBoundaryIndex();
    if (current >= 0 && current < m_ui->colorListWidget_->count())
        m_ui->colorListWidget_->setCurrentRow(current);
}

void Quorrel::on_action_About_triggered()
{
    AboutDialog about(this);
    about.exec();
}

void Quorrel::on_action_Save_triggered()
{
    saveCurrentMeasurement();
}

bool Quorrel::saveCurrentMeasurement()
{
    const QString path =
        QFileDialog::getSaveFileName(this, tr("Open Image"), QDir::currentPath(), tr("Text File (*.txt);;"));
    if (path.isNull())
        return false;
    return view()->writeMeasurementReport(path.toStdWString());
}

// Reads a measurement file strictly first: a bad file, or an image that
// cannot be read, leaves everything on screen as it was.
void Quorrel::on_action_Open_Measurement_triggered()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Open Measurement"), QDir::currentPath(),
                                                      tr("Measurement File (*.json);;"));
    if (!path.isNull())
        openMeasurement(path);
}

bool Quorrel::openMeasurement(const QString& path)
{
    const QString fileName = QFileInfo(path).fileName();
    quorrel::MeasurementSettings settings;
    std::string error;
    if (!quorrel::readMeasurementFile(path, settings, error)) {
        QMessageBox::warning(
            this, tr("Warning"),
            tr("The measurement file cannot be opened.\n%1: %2").arg(fileName, QString::fromStdString(error)),
            QMessageBox::Ok);
        return false;
    }
    if (!settings.image || settings.image->path.empty() || !settings.selection) {
        QMessageBox::warning(this, tr("Warning"),
                             tr("The measurement file cannot be opened.\n%1: it names no image or no selection; "
                                "the window's Save writes both")
                                 .arg(fileName),
                             QMessageBox::Ok);
        return false;
    }
    // A relative path is taken from the measurement file's folder; only the
    // one image named is read.
    const QString named = QString::fromUtf8(settings.image->path.c_str());
    const QString imagePath = QDir::isAbsolutePath(named) ? named : QFileInfo(path).dir().filePath(named);
    if (!QFileInfo(imagePath).isFile()) {
        QMessageBox::warning(this, tr("Warning"),
                             tr("The measurement's image is missing.\n%1 names %2, which does not exist")
                                 .arg(fileName, QDir::toNativeSeparators(imagePath)),
                             QMessageBox::Ok);
        return false;
    }
    std::string sha256;
    if (!settings.image->sha256.empty() && quorrel::fileSha256(imagePath, sha256, error)
        && sha256 != settings.image->sha256)
        QMessageBox::warning(this, tr("Warning"),
                             tr("%1 is not the file the measurement was saved with: its checksum differs.\nThe "
                                "figures may differ from the saved report")
                                 .arg(QFileInfo(imagePath).fileName()),
                             QMessageBox::Ok);
    QString reason;
    if (!view()->repeatMeasurement(imagePath.toStdWString(), settings, reason)) {
        QMessageBox::warning(this, tr("Warning"),
                             tr("The measurement cannot be repeated.\n%1: %2").arg(fileName, reason), QMessageBox::Ok);
        return false;
    }
    showViewParameters();
    // The scales the measurement was repeated with, as the saved report had them.
    const quorrel::AxisScales& scales = view()->axisScales();
    setAxisScales(scales.lateralMicronsPerPixel, scales.axialMicronsPerPixel, QString::fromStdString(scales.source));
    m_ui->colorListWidget_->setCurrentRow(view()->currentBoundaryIndex());
    selectShownImageInList();
    updateUndoActions();
    if (!reason.isEmpty())
        QMessageBox::information(this, tr("Information"),
                                 tr("The measurement stops short of the saved one.\n%1").arg(reason), QMessageBox::Ok);
    return true;
}

// The dock shows the view's parameters: at start and after a measurement
// file set them.
void Quorrel::showViewParameters()
{
    const MainViewWidget* mainView = view();
    // The boxes round to their decimals; the view keeps the values as they are.
    const QSignalBlocker blockers[] = {
        QSignalBlocker(m_ui->maxColorDistanceSpinBox_),
        QSignalBlocker(m_ui->minLineConnectionDistanceDoubleSpinBox_),
        QSignalBlocker(m_ui->maxLineConnectionDistanceDoubleSpinBox_),
        QSignalBlocker(m_ui->smoothLevelSpinBox_),
        QSignalBlocker(m_ui->curveDividingCountSpinBox_),
        QSignalBlocker(m_ui->unitMicronSpinBox),
    };
    m_ui->maxColorDistanceSpinBox_->setValue(mainView->maxColorDistance());
    m_ui->minLineConnectionDistanceDoubleSpinBox_->setValue(mainView->minLineConnectionDistance());
    m_ui->maxLineConnectionDistanceDoubleSpinBox_->setValue(mainView->maxLineConnectionDistance());
    m_ui->smoothLevelSpinBox_->setValue(mainView->smoothLevel());
    m_ui->curveDividingCountSpinBox_->setValue(mainView->curveDividingCount());
    m_ui->unitMicronSpinBox->setValue(mainView->unitMicron());
}

void Quorrel::on_detectMaxColorDistanceButtonClicked()
{
    view()->detectMaxColorDistance();
    m_ui->maxColorDistanceSpinBox_->setValue(view()->maxColorDistance());
}

void Quorrel::on_detectFovealWidthAndDepthButtonClicked()
{
    view()->detectFovealWidthAndDepth();
}

void Quorrel::on_detectBoundaryEdgesButtonClicked()
{
    view()->detectBoundaryEdges();
    const int index = view()->currentBoundaryIndex();
    if (index >= 0 && index < m_ui->colorListWidget_->count())
        m_ui->colorListWidget_->setCurrentRow(index);
}

void Quorrel::on_makeBoundaryCurveButtonClicked()
{
    view()->makeBoundaryCurve();
}

void Quorrel::on_smoothBoundaryCurveButtonClicked()
{
    view()->smoothLine();
}

// The proposed points are edited like drawn ones, so their mode comes on.
void Quorrel::on_proposeReferenceCurveButtonClicked()
{
    if (!view()->proposeReferenceCurve())
        return;
    m_ui->action_Insert_Curve->setChecked(true);
    selectMode(m_ui->action_Insert_Curve, quorrel::ViewMode::InsertCurve);
}

void Quorrel::on_maxColorDistanceValueChanged(int val)
{
    view()->setMaxColorDistance(val);
}

void Quorrel::on_minLineConnectionDistanceValueChanged(double val)
{
    view()->setMinLineConnectionDistance(val);
}

void Quorrel::on_maxLineConnectionDistanceValueChanged(double val)
{
    view()->setMaxLineConnectionDistance(val);
}

void Quorrel::on_smoothLevelValueChanged(int val)
{
    view()->setSmoothLevel(val);
}

void Quorrel::on_curveDividingCountValueChanged(int val)
{
    view()->setCurveDividingCount(val);
}

void Quorrel::on_unitMicronValueChanged(double val)
{
    view()->setUnitMicron(val);
}

void Quorrel::setAxisScales(double lateralMicronsPerPixel, double axialMicronsPerPixel, const QString& source)
{
    m_lateralScale = {lateralMicronsPerPixel, source};
    m_axialScale = {axialMicronsPerPixel, source};
    showAxisScales();
}

void Quorrel::on_lateralScaleEditingFinished()
{
    applyTypedScale(m_ui->lateralScaleLineEdit_, m_lateralScale, tr("Lateral scale"));
}

void Quorrel::on_axialScaleEditingFinished()
{
    applyTypedScale(m_ui->axialScaleLineEdit_, m_axialScale, tr("Axial scale"));
}

// Empty or 0 clears the scale; anything else must be a scale the analysis
// accepts, or it is refused and the field shows the old value again.
void Quorrel::applyTypedScale(QLineEdit* edit, AxisScale& scale, const QString& axisName)
{
    // The message box takes the focus from the field, which finishes its
    // editing a second time.
    if (m_checkingScale)
        return;
    const QString text = edit->text().trimmed();
    bool isNumber = true;
    const double value = text.isEmpty() ? 0.0 : parseScale(text, isNumber);
    if (isNumber && value == 0.0) {
        scale = AxisScale{};
        showAxisScales();
        return;
    }
    const quorrel::ScaleCheck check = quorrel::checkMicronsPerPixel(value);
    if (!isNumber || check != quorrel::ScaleCheck::Ok) {
        const QString reason =
            isNumber ? QString::fromStdString(quorrel::describeScaleCheck(check)) : tr("is not a number");
        m_checkingScale = true;
        edit->setText(scaleText(scale.micronsPerPixel));
        QMessageBox::warning(this, tr("Warning"),
                             tr("%1 \"%2\" %3.\nType the microns per pixel, or leave the field empty.\n"
                                "The scale stays as it was.")
                                 .arg(axisName, text, reason),
                             QMessageBox::Ok);
        m_checkingScale = false;
        return;
    }
    if (value != scale.micronsPerPixel)
        scale = AxisScale{value, QStringLiteral("typed")};
    showAxisScales();
}

void Quorrel::on_scaleFromUnitLineButtonClicked()
{
    const MainViewWidget* mainView = view();
    const quorrel::Point2d start{static_cast<double>(mainView->unitLineStart().x()),
                                 static_cast<double>(mainView->unitLineStart().y())};
    const quorrel::Point2d end{static_cast<double>(mainView->unitLineEnd().x()),
                               static_cast<double>(mainView->unitLineEnd().y())};
    const quorrel::UnitLineScale found = quorrel::scaleFromUnitLine(start, end, mainView->unitMicron());
    if (found.check == quorrel::ScaleCheck::ZeroLengthLine) {
        QMessageBox::warning(this, tr("Warning"),
                             tr("The unit line has no length.\nIn \"Measure Unit (Micron)\" mode, drag along a scale "
                                "bar first:\nacross the scan for the lateral scale, down it for the axial one."),
                             QMessageBox::Ok);
        return;
    }
    const bool lateral = found.axis == quorrel::ScaleAxis::Lateral;
    if (found.check != quorrel::ScaleCheck::Ok) {
        QMessageBox::warning(this, tr("Warning"),
                             tr("The unit line gives a %1 scale of %2 microns per pixel, which %3.\nCheck \"Unit "
                                "Micron:\" and the line. The scale stays as it was.")
                                 .arg(lateral ? tr("lateral") : tr("axial"))
                                 .arg(found.micronsPerPixel)
                                 .arg(QString::fromStdString(quorrel::describeScaleCheck(found.check))),
                             QMessageBox::Ok);
        return;
    }
    (lateral ? m_lateralScale : m_axialScale) = AxisScale{found.micronsPerPixel, QStringLiteral("unit line")};
    showAxisScales();
}

void Quorrel::on_shownRunIndexChanged(int index)
{
    view()->setShownRun(index == 1 ? quorrel::ShownRun::Microns : quorrel::ShownRun::Pixels);
}

// The fields, the run choice and the view follow the two scales.
void Quorrel::showAxisScales()
{
    m_ui->lateralScaleLineEdit_->setText(scaleText(m_lateralScale.micronsPerPixel));
    m_ui->axialScaleLineEdit_->setText(scaleText(m_axialScale.micronsPerPixel));

    quorrel::AxisScales scales;
    scales.lateralMicronsPerPixel = m_lateralScale.micronsPerPixel;
    scales.axialMicronsPerPixel = m_axialScale.micronsPerPixel;
    const QString& lateralSource = m_lateralScale.source;
    const QString& axialSource = m_axialScale.source;
    if (lateralSource == axialSource)
        scales.source =
            (lateralSource == QLatin1String("unit line") ? QStringLiteral("unit lines") : lateralSource).toStdString();
    else
        scales.source =
            (QStringLiteral("lateral ") + lateralSource + QStringLiteral(", axial ") + axialSource).toStdString();
    view()->setAxisScales(scales);

    m_ui->shownRunComboBox_->setEnabled(scales.isSet());
    if (!scales.isSet())
        m_ui->shownRunComboBox_->setCurrentIndex(0);
}

// A scale the user gave (typed, or from a unit line) stays for the next image
// of the same scan; one an earlier file gave belongs to that file and is
// replaced by the new file's, or cleared when it states none.
void Quorrel::takeFilePixelSize()
{
    const quorrel::FilePixelSize& size = view()->filePixelSize();
    const quorrel::AxisScales fromFile = quorrel::scalesFromImageFile(size.lateralMicrons, size.axialMicrons,
                                                                      quorrel::describePixelSizeSource(size.source));
    const QString source = QString::fromStdString(fromFile.source);
    const std::pair<AxisScale*, double> axes[] = {{&m_lateralScale, fromFile.lateralMicronsPerPixel},
                                                  {&m_axialScale, fromFile.axialMicronsPerPixel}};
    for (const auto& [scale, micronsPerPixel] : axes) {
        const bool givenByUser = scale->micronsPerPixel > 0.0 && !scale->source.startsWith(QLatin1String("file"));
        if (!givenByUser)
            *scale = micronsPerPixel > 0.0 ? AxisScale{micronsPerPixel, source} : AxisScale{};
    }
    showAxisScales();
}
