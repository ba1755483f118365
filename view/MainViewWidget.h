#pragma once

// The one OpenGL view: owns the loaded image, every boundary record and the
// analysis parameters, draws the scene and turns mouse and keys into edits.
// The measurement maths lives in the analysis library; the operations here
// check the view's state, call it and report problems in message boxes.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QFont>
#include <QGLWidget>
#include <QPoint>
#include <QPointF>
#include <QString>

#include "analysis/Boundary.h"
#include "analysis/CalibratedMeasurement.h"
#include "analysis/MeasurementPipeline.h"
#include "analysis/MeasurementSettings.h"
#include "analysis/PixelRect.h"
#include "analysis/Point2d.h"
#include "analysis/RgbaImage.h"
#include "core/EditHistory.h"
#include "core/Singleton.h"
#include "imageio/ImageFile.h"
#include "imageio/PictureMemory.h"
#include "view/ViewModes.h"
#include "view/ViewTransform.h"

class MainViewWidget : public QGLWidget, public Singleton<MainViewWidget> {
    Q_OBJECT

public:
    using Point2d = quorrel::Point2d;
    using Boundary = quorrel::Boundary;
    using ViewMode = quorrel::ViewMode;
    using ImageDisplayMode = quorrel::ImageDisplayMode;
    using ExtremumHandle = quorrel::ExtremumHandle;
    // Told about each boundary that detection adds, after it was added.
    using BoundaryAddedHandler = std::function<void(const Boundary&)>;
    // Told what an operation did, in a line for the status bar.
    using StatusHandler = std::function<void(const QString&)>;
    // Told when what Undo and Redo would do has changed.
    using HistoryHandler = std::function<void()>;
    // Told when an image was opened from a file (not when it was cut).
    using ImageOpenedHandler = std::function<void()>;
    // Told the screen pixels per image pixel across and down whenever they
    // change.
    using ZoomHandler = std::function<void(double horizontal, double vertical)>;

    // The parts of the view's state that an edit changes, to be recorded
    // before it changes them; any combination.
    enum EditPart : unsigned {
        CurrentBoundaryPart = 1u, // the current boundary's record
        BoundaryListPart = 2u, // which records there are
        UnitLinePart = 4u,
        PixelsPart = 8u // the picture, its size and whether it was cut
    };

    explicit MainViewWidget(QWidget* parent = nullptr);
    ~MainViewWidget() override;

    // Frame loop.
    virtual void updateFrame(double elapsedSeconds);
    virtual void renderScene();

    // Image files.
    virtual bool loadImage(const std::wstring& path, double x0, double y0, double width, double height);
    virtual bool saveImage(const std::wstring& path);
    // Writes the current boundary's report to path and, beside it, the
    // measurement file that repeats it (NAME.json for NAME.txt).
    virtual bool writeMeasurementReport(const std::wstring& path);
    // Opens the image at path as a measurement file describes it (frame,
    // region, whitened rectangles), restores the file's settings and repeats
    // its steps, so that the measurement stands as it was saved. False with
    // a reason, and nothing changed, when the image cannot be read or the
    // file's measurement does not fit it.
    bool repeatMeasurement(const std::wstring& path, const quorrel::MeasurementSettings& settings, QString& error);
    // A boundary measured (points A to E found) and changed since it was
    // last saved: the first on screen, else the first of any image; -1 when
    // none.
    int unsavedMeasurementIndex() const;
    void uploadTexture();
    // Memory for the texture of the picture at path, made ready on another
    // core while the caller goes on (decoding the file) when the picture is
    // bigger than any texture so far; an empty reserve otherwise. Opening a
    // picture does this itself.
    quorrel::PictureMemoryReserve readyTextureMemory(const std::wstring& path);
    // Whether opening a picture readies its texture's memory during the
    // decode (on unless the benchmark compares).
    void setTextureMemoryReadiedAhead(bool ahead) { m_textureMemoryReadiedAhead = ahead; }
    // The frame of a DICOM object or page of a TIFF that loadImage, and the
    // cut after it, take from the file at path; every other path gives frame 0.
    void selectImageFrame(const std::wstring& path, std::uint32_t frame);

    // Parameters edited in the property panel.
    void setMaxColorDistance(int value) { m_maxColorDistance = value; }
    int maxColorDistance() const { return m_maxColorDistance; }
    void setMinLineConnectionDistance(double value) { m_minLineConnectionDistance = value; }
    double minLineConnectionDistance() const { return m_minLineConnectionDistance; }
    void setMaxLineConnectionDistance(double value) { m_maxLineConnectionDistance = value; }
    double maxLineConnectionDistance() const { return m_maxLineConnectionDistance; }
    void setSmoothLevel(int value) { m_smoothLevel = value; }
    int smoothLevel() const { return m_smoothLevel; }
    void setCurveDividingCount(int value) { m_curveDividingCount = value; }
    int curveDividingCount() const { return m_curveDividingCount; }
    void setUnitMicron(double value) { m_unitMicron = value; }
    double unitMicron() const { return m_unitMicron; }

    // Microns per pixel across and down. When both are set, the detection
    // runs a second time in microns and the report gains its section; a
    // change forgets that run until the next detection.
    void setAxisScales(const quorrel::AxisScales& scales);
    const quorrel::AxisScales& axisScales() const { return m_axisScales; }
    void setShownRun(quorrel::ShownRun run) { m_shownRun = run; }
    quorrel::ShownRun shownRun() const { return m_shownRun; }
    // The run in microns of the current boundary, when its last detection
    // made one with the scales as they are; else null.
    const quorrel::CalibratedMeasurements* calibratedRun() const;

    void setViewMode(ViewMode mode) { m_viewMode = mode; }
    ViewMode viewMode() const { return m_viewMode; }
    void setImageDisplayMode(ImageDisplayMode mode);
    ImageDisplayMode imageDisplayMode() const { return m_imageDisplayMode; }
    void setShowDebugInfo(bool show) { m_showDebugInfo = show; }

    // Zoom and pan over the display mode. The wheel zooms around the
    // pointer, the middle button or Space with the left button drags, the
    // arrow keys scroll; a new display mode or image starts unzoomed.
    void zoomBy(int steps, const QPointF& windowAnchor);
    void zoomIn();
    void zoomOut();
    // Moves the picture by a distance in window pixels (y downward).
    void panBy(const QPointF& windowDistance);
    // Original Size, unzoomed and unpanned.
    void showOriginalSize();
    int zoomStep() const { return m_camera.zoomStep; }
    // Where view coordinates are drawn, in widget pixels from the bottom left.
    quorrel::ScreenTransform screenTransform() const;
    void setZoomHandler(ZoomHandler handler) { m_zoomHandler = std::move(handler); }
    bool showDebugInfo() const { return m_showDebugInfo; }

    // Boundaries.
    int currentBoundaryIndex() const { return m_currentBoundaryIndex; }
    void setCurrentBoundaryIndex(int index);
    Boundary* currentBoundary();
    const Boundary* currentBoundary() const;
    // Whether the boundary was traced on the picture shown now: the same part
    // of the same file (whitened since or not; the boundary records how).
    bool isOnScreen(const Boundary& boundary) const;
    const std::vector<Boundary>& boundaries() const { return m_boundaries; }
    bool hasValidExtrema() const;
    void removeBoundary(int index);
    void setBoundaryAddedHandler(BoundaryAddedHandler handler) { m_boundaryAdded = std::move(handler); }
    void setStatusHandler(StatusHandler handler) { m_statusHandler = std::move(handler); }
    void setImageOpenedHandler(ImageOpenedHandler handler) { m_imageOpened = std::move(handler); }

    // Undo and redo over every edit of the boundaries, the unit line and the
    // pixels. recordEdit keeps the given parts as they are now, under the
    // edit's name, before the caller changes them; undo puts them back, with
    // the boundary that was current then. Loading an image from a file
    // starts a new history.
    void recordEdit(const QString& name, unsigned parts);
    bool undo();
    bool redo();
    bool canUndo() const { return m_history.canUndo(); }
    bool canRedo() const { return m_history.canRedo(); }
    QString undoName() const { return QString::fromStdString(m_history.undoLabel()); }
    QString redoName() const { return QString::fromStdString(m_history.redoLabel()); }
    void setHistoryHandler(HistoryHandler handler) { m_historyChanged = std::move(handler); }

    // Analysis operations started from the property panel and the keys.
    quorrel::PixelRect selectionPixelRect() const;
    void detectMaxColorDistance();
    void detectBoundaryEdges();
    void makeBoundaryCurve();
    void smoothLine();
    void detectFovealWidthAndDepth();
    // Proposals the user reviews: the retina's lower border below the current
    // curve as ordinary reference points (undoable), and a rubber band over
    // the vitreous of an image with no boundary yet. False when nothing was
    // proposed; the reference curve's refusal is explained in a message, the
    // patch's only in the status bar.
    bool proposeReferenceCurve();
    bool proposeVitreousPatch();

    // Input helpers.
    QPoint mapToView(const QPoint& windowPosition) const;
    // The image pixel shown at a window position, its row counted from the
    // bottom; false where no pixel of the image is shown.
    bool imagePixelAt(const QPoint& windowPosition, int& x, int& y) const;
    void eraseEdgePointsInSelection();
    void pickReferencePoint(const QPoint& viewPoint);
    void pickExtremumHandle(const QPoint& viewPoint);

    // The view's state, named for the fields they read. Only the tests read
    // these (and unitMicron, viewMode, imageDisplayMode and showDebugInfo
    // above): they check what a load, a drag or a key did to the state.
    std::uint32_t imageWidth() const { return m_imageWidth; }
    std::uint32_t imageHeight() const { return m_imageHeight; }
    const std::uint8_t* pixels() const { return m_pixels.get(); }
    bool hasImage() const { return m_pixels != nullptr; }
    unsigned textureId() const { return m_textureId; }
    const std::wstring& imagePath() const { return m_imagePath; }
    std::uint32_t imageFrame() const { return m_imageFrame; }
    // The pixel size the loaded file states; none without an image.
    const quorrel::FilePixelSize& filePixelSize() const { return m_filePixelSize; }
    const quorrel::ImageOrigin& imageOrigin() const { return m_imageOrigin; }
    bool imageCut() const { return m_imageCut; }
    Point2d imageOffset() const { return m_imageOffset; }
    QPoint selectionStart() const { return m_selectionStart; }
    QPoint selectionEnd() const { return m_selectionEnd; }
    QPoint unitLineStart() const { return m_unitLineStart; }
    QPoint unitLineEnd() const { return m_unitLineEnd; }
    int selectedReferencePointIndex() const { return m_selectedReferencePointIndex; }
    ExtremumHandle selectedExtremumHandle() const { return m_selectedExtremumHandle; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;

private:
    // Runs one step that changes nothing until it has finished. When memory
    // runs out on the way, says so in a message box and returns false; the
    // boundaries and the image are then as they were.
    bool runWithinMemory(const std::function<void()>& step);

    // What one entry of the history holds: the recorded parts, and which
    // boundary and reference point were selected.
    struct EditSnapshot {
        unsigned parts = 0;
        int currentBoundaryIndex = -1;
        int selectedReferencePointIndex = -1;
        int boundaryIndex = -1;
        Boundary boundary;
        std::vector<Boundary> boundaries;
        QPoint unitLineStart;
        QPoint unitLineEnd;
        std::unique_ptr<std::uint8_t[]> pixels;
        std::uint32_t imageWidth = 0;
        std::uint32_t imageHeight = 0;
        bool imageCut = false;
        quorrel::ImageOrigin imageOrigin;
    };
    EditSnapshot takeSnapshot(unsigned parts) const;
    void commitSnapshot(const QString& name, EditSnapshot snapshot);
    void exchangeSnapshot(EditSnapshot& snapshot);
    void startDragEdit(const QString& name);
    void commitDragEdit();
    void historyChanged();
    void reportStatus(const QString& text);
    bool replaceImage(const std::wstring& path, std::uint32_t frame, double x0, double y0, double width, double height);
    static QString loadFailureReason(const QString& path, quorrel::LoadStatus status);
    bool installImage(const std::wstring& path, const quorrel::ImageOrigin& origin, quorrel::LoadedRegion region);
    bool writeMeasurementFile(const QString& reportPath, const Boundary& boundary);

    quorrel::RgbaImageView imageView() const;
    int findEqualBoundaryOnScreen(const Boundary& candidate) const;
    Point2d centringOffset() const;
    Point2d toImagePoint(const QPoint& viewPoint) const;
    double pickDistance() const;
    bool startPan(QMouseEvent* event);
    void resetCamera();
    void reportZoom();
    bool isHit(const QPoint& viewPoint, const Point2d& imagePoint) const;
    void cutImage();
    void clearSelection();
    void deleteSelectedReferencePoint();
    void dragExtremumHandle(const Point2d& imagePoint);

    void drawImage();
    void drawSelection();
    void drawCurrentBoundary();
    void drawSampleRect(const Boundary& boundary);
    void drawEdgePoints(const Boundary& boundary);
    void drawCurve(const Boundary& boundary);
    void drawExtrema(const Boundary& boundary);
    void forgetCalibratedRun();
    void warnOfUntrustworthyFigures(const Boundary& boundary);
    void drawReferenceCurve(const Boundary& boundary);
    void drawUnitLine();
    void drawDebugSegments(const Boundary& boundary);
    void drawLabels(const Boundary& boundary);
    QPointF toWindow(const Point2d& imagePoint) const;

    static inline const quorrel::MeasurementParameters kStartValues{};

    bool m_glInitialized = false;
    std::uint32_t m_imageWidth = 0;
    std::uint32_t m_imageHeight = 0;
    std::unique_ptr<std::uint8_t[]> m_pixels;
    std::vector<Boundary> m_boundaries;
    int m_currentBoundaryIndex = -1;
    int m_selectedReferencePointIndex = -1;
    double m_lastFrameSeconds = 0.0;
    Point2d m_imageOffset;
    unsigned m_textureId = 0;
    // The size and internal format the texture's storage was made with.
    int m_textureWidth = 0;
    int m_textureHeight = 0;
    int m_textureFormat = 0;
    // The most texture storage the process has made or made memory ready
    // for; the memory freed with a texture serves the next one.
    std::uint64_t m_readyTextureBytes = 0;
    bool m_textureMemoryReadiedAhead = true;
    bool m_imageCut = false;
    ViewMode m_viewMode = ViewMode::Detect;
    std::wstring m_imagePath;
    std::wstring m_frameSelectionPath;
    std::uint32_t m_selectedFrame = 0;
    std::uint32_t m_imageFrame = 0;
    quorrel::FilePixelSize m_filePixelSize;
    quorrel::ImageOrigin m_imageOrigin;
    QPoint m_selectionStart;
    QPoint m_selectionEnd;
    double m_pressFrameSeconds = 0.0;
    QPoint m_unitLineStart;
    QPoint m_unitLineEnd;
    // The measurement's start values are the pipeline's defaults.
    int m_maxColorDistance = kStartValues.maxColorDistance;
    int m_minCurvePointCount = kStartValues.minCurvePointCount;
    double m_minLineConnectionDistance = kStartValues.minLineConnectionDistance;
    double m_maxLineConnectionDistance = kStartValues.maxLineConnectionDistance;
    int m_smoothLevel = kStartValues.smoothLevel;
    int m_curveDividingCount = kStartValues.curveDividingCount;
    ExtremumHandle m_selectedExtremumHandle = ExtremumHandle::NoHandle;
    double m_unitMicron = kStartValues.unitMicron;
    ImageDisplayMode m_imageDisplayMode = ImageDisplayMode::OriginalSize;
    bool m_showDebugInfo = false;
    quorrel::ViewCamera m_camera;
    // The button that drags the picture while it is held, or none.
    Qt::MouseButton m_panButton = Qt::NoButton;
    QPointF m_panLastPosition;
    bool m_spaceHeld = false;
    // Wheel turns smaller than one notch add up to a step.
    int m_wheelRemainder = 0;
    ZoomHandler m_zoomHandler;
    QFont m_labelFont;
    QFont m_smallLabelFont;
    BoundaryAddedHandler m_boundaryAdded;
    StatusHandler m_statusHandler;
    HistoryHandler m_historyChanged;
    ImageOpenedHandler m_imageOpened;
    EditHistory<EditSnapshot> m_history;
    // A press that may start a drag keeps the state here; the first move
    // that changes something records it.
    bool m_dragPending = false;
    QString m_dragName;
    EditSnapshot m_dragSnapshot;
    quorrel::AxisScales m_axisScales;
    quorrel::ShownRun m_shownRun = quorrel::ShownRun::Pixels;
    // The last run in microns and the boundary it was made on (-1: none),
    // with its points in image pixels for drawing.
    quorrel::CalibratedMeasurements m_calibratedRun;
    int m_calibratedBoundaryIndex = -1;
    Boundary m_calibratedInPixels;
};
