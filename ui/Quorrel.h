#pragma once

// The main window: menus, toolbar and the property dock. Every control
// forwards to the one view, which owns all image and analysis state.

#include <memory>

#include <QMainWindow>
#include <QString>

#include "analysis/Boundary.h"
#include "analysis/CalibratedMeasurement.h"
#include "core/Settings.h"
#include "view/ViewModes.h"

namespace Ui {
class QuorrelClass;
}

class QLineEdit;
class QListWidgetItem;
class StatusReadout;
class MainViewWidget;
class DistanceGraphDialog;
class DifferentiateGraphDialog;

class Quorrel : public QMainWindow {
    Q_OBJECT

public:
    explicit Quorrel(QWidget* parent = nullptr);
    ~Quorrel() override;

    bool isRunning() const { return m_running; }
    void updateFrame(double elapsedSeconds);
    void renderFrame();
    void addColorListItem(const quorrel::Boundary& boundary);
    void fillImageList(const QString& folderPath);
    // Open Measurement on the file at path: false, with a message and nothing
    // changed, when the file or its image is refused.
    bool openMeasurement(const QString& path);
    MainViewWidget* view() const;
    DistanceGraphDialog* distanceGraphDialog() const { return m_distanceDialog; }
    DifferentiateGraphDialog* differentiateGraphDialog() const { return m_differentiateDialog; }
    // Shows the scales in the dock and hands them to the view; a scale that
    // is not set is 0. The source says where they came from ("file", ...).
    void setAxisScales(double lateralMicronsPerPixel, double axialMicronsPerPixel, const QString& source);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

protected slots:
    void on_action_Exit_triggered();
    void on_action_SelectFolder_triggered();
    void on_action_Detect_triggered();
    void on_action_Cut_triggered();
    void on_action_Cut_Squared_triggered();
    void on_action_Clear_triggered();
    void on_action_Insert_Curve_triggered();
    void on_action_Save_triggered();
    void on_action_Open_Measurement_triggered();
    void on_action_Control_Local_MinMax_triggered();
    void on_action_Measure_Unit_triggered();
    void on_action_Image_Fit_To_Screen_triggered();
    void on_action_Original_Image_Size_triggered();
    void on_action_Image_Fit_Keeping_Aspect_triggered();
    void on_action_Zoom_In_triggered();
    void on_action_Zoom_Out_triggered();
    void on_action_View_Debug_Info_triggered();
    void on_action_View_Distance_Graph_triggered();
    void on_action_View_Differentiate_Graph_triggered();
    void on_action_About_triggered();
    void on_action_Undo_triggered();
    void on_action_Redo_triggered();
    void on_selectFolderButtonClicked();
    void on_imageItemDoubleClicked(QListWidgetItem* item);
    void on_colorItemDoubleClicked(QListWidgetItem* item);
    void on_detectMaxColorDistanceButtonClicked();
    void on_detectFovealWidthAndDepthButtonClicked();
    void on_detectBoundaryEdgesButtonClicked();
    void on_makeBoundaryCurveButtonClicked();
    void on_smoothBoundaryCurveButtonClicked();
    void on_proposeReferenceCurveButtonClicked();
    void on_maxColorDistanceValueChanged(int val);
    void on_minLineConnectionDistanceValueChanged(double val);
    void on_maxLineConnectionDistanceValueChanged(double val);
    void on_smoothLevelValueChanged(int val);
    void on_curveDividingCountValueChanged(int val);
    void on_unitMicronValueChanged(double val);
    void on_lateralScaleEditingFinished();
    void on_axialScaleEditingFinished();
    void on_scaleFromUnitLineButtonClicked();
    void on_shownRunIndexChanged(int index);

private:
    // One axis scale as the dock holds it: 0 when not set, and how it was set.
    struct AxisScale {
        double micronsPerPixel = 0.0;
        QString source;
    };

    void selectMode(QAction* action, quorrel::ViewMode mode);
    void selectDisplayMode(QAction* action, quorrel::ImageDisplayMode mode);
    void setUpShortcutsAndReadouts();
    void fitDockToItsContents();
    void fitToScreen();
    void updateUndoActions();
    void rebuildColorList();
    void selectShownImageInList();
    void applyTypedScale(QLineEdit* edit, AxisScale& scale, const QString& axisName);
    void showAxisScales();
    void takeFilePixelSize();
    bool saveCurrentMeasurement();
    bool mayLeaveMeasurements();
    void showViewParameters();

    Ui::QuorrelClass* m_ui;
    bool m_running;
    Settings m_settings;
    DistanceGraphDialog* m_distanceDialog = nullptr;
    DifferentiateGraphDialog* m_differentiateDialog = nullptr;
    std::unique_ptr<StatusReadout> m_status;
    AxisScale m_lateralScale;
    AxisScale m_axialScale;
    bool m_checkingScale = false;
};
