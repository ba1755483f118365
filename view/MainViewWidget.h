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

#include "analysis/MeasurementPipeline.h"
#include "analysis/Types.h"
#include "core/Singleton.h"
#include "imageio/ImageFile.h"
#include "view/ViewModes.h"

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

    explicit MainViewWidget(QWidget* parent = nullptr);
    ~MainViewWidget() override;

    // Frame loop.
    virtual void updateFrame(double elapsedSeconds);
    virtual void renderScene();

    // Image files.
    virtual bool loadImage(const std::wstring& path, double x0, double y0, double width, double height);
    virtual bool saveImage(const std::wstring& path);
    virtual bool writeMeasurementReport(const std::wstring& path);
    void uploadTexture();
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

    void setViewMode(ViewMode mode) { m_viewMode = mode; }
    ViewMode viewMode() const { return m_viewMode; }
    void setImageDisplayMode(ImageDisplayMode mode);
    ImageDisplayMode imageDisplayMode() const { return m_imageDisplayMode; }
    void setShowDebugInfo(bool show) { m_showDebugInfo = show; }
    bool showDebugInfo() const { return m_showDebugInfo; }

    // Boundaries.
    int currentBoundaryIndex() const { return m_currentBoundaryIndex; }
    void setCurrentBoundaryIndex(int index);
    Boundary* currentBoundary();
    const Boundary* currentBoundary() const;
    const std::vector<Boundary>& boundaries() const { return m_boundaries; }
    bool hasValidExtrema() const;
    void removeBoundary(int index);
    void setBoundaryAddedHandler(BoundaryAddedHandler handler) { m_boundaryAdded = std::move(handler); }

    // Analysis operations started from the property panel and the keys.
    quorrel::PixelRect selectionPixelRect() const;
    void detectMaxColorDistance();
    void detectBoundaryEdges();
    void makeBoundaryCurve();
    void smoothLine();
    void detectFovealWidthAndDepth();

    // Input helpers.
    QPoint mapToView(const QPoint& windowPosition) const;
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
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;

private:
    // Runs one step that changes nothing until it has finished. When memory
    // runs out on the way, says so in a message box and returns false; the
    // boundaries and the image are then as they were.
    bool runWithinMemory(const std::function<void()>& step);
    quorrel::RgbaImageView imageView() const;
    Point2d centringOffset() const;
    Point2d toImagePoint(const QPoint& viewPoint) const;
    double pickDistance() const;
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
    void drawReferenceCurve(const Boundary& boundary);
    void drawUnitLine();
    void drawDebugSegments(const Boundary& boundary);

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
    bool m_imageCut = false;
    ViewMode m_viewMode = ViewMode::Detect;
    std::wstring m_imagePath;
    std::wstring m_frameSelectionPath;
    std::uint32_t m_selectedFrame = 0;
    std::uint32_t m_imageFrame = 0;
    quorrel::FilePixelSize m_filePixelSize;
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
    QFont m_labelFont;
    QFont m_smallLabelFont;
    BoundaryAddedHandler m_boundaryAdded;
};
