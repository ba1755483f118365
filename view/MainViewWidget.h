#pragma once

// The one OpenGL view: owns the loaded image, every boundary record and the
// analysis parameters, draws the scene and turns mouse and keys into edits.
// The measurement maths lives in the analysis library; the operations here
// check the view's state, call it and report problems in message boxes.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <QFont>
#include <QGLWidget>
#include <QPoint>

#include "analysis/Types.h"
#include "core/Singleton.h"

class MainViewWidget : public QGLWidget, public Singleton<MainViewWidget> {
    Q_OBJECT

public:
    using Point2d = quorrel::Point2d;
    using Boundary = quorrel::Boundary;
    using ViewMode = quorrel::ViewMode;
    using ImageDisplayMode = quorrel::ImageDisplayMode;
    using ExtremumHandle = quorrel::ExtremumHandle;

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
    void setUnitMicron(double value) { unitMicron = value; }
    double unitMicronLength() const { return unitMicron; }

    void setViewMode(ViewMode mode) { viewMode = mode; }
    ViewMode currentViewMode() const { return viewMode; }
    void setImageDisplayMode(ImageDisplayMode mode);
    ImageDisplayMode currentImageDisplayMode() const { return imageDisplayMode; }
    void setShowDebugInfo(bool show) { showDebugInfo = show; }
    bool isShowingDebugInfo() const { return showDebugInfo; }

    // Boundaries.
    int currentBoundaryIndex() const { return m_currentBoundaryIndex; }
    void setCurrentBoundaryIndex(int index);
    Boundary* currentBoundary();
    const Boundary* currentBoundary() const;
    const std::vector<Boundary>& boundaryRecords() const { return boundaries; }
    bool hasValidExtrema() const;
    void removeBoundary(int index);

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

    // Read access for the window, the dialogs and the tests.
    std::uint32_t imageWidthPixels() const { return imageWidth; }
    std::uint32_t imageHeightPixels() const { return imageHeight; }
    const std::uint8_t* pixelData() const { return pixels.get(); }
    bool hasImage() const { return pixels != nullptr; }
    unsigned textureName() const { return textureId; }
    const std::wstring& currentImagePath() const { return imagePath; }
    bool isImageCut() const { return imageCut; }
    Point2d currentImageOffset() const { return imageOffset; }
    QPoint currentSelectionStart() const { return selectionStart; }
    QPoint currentSelectionEnd() const { return selectionEnd; }
    QPoint currentUnitLineStart() const { return unitLineStart; }
    QPoint currentUnitLineEnd() const { return unitLineEnd; }
    int currentSelectedReferencePointIndex() const { return selectedReferencePointIndex; }
    int currentSelectedExtremumHandle() const { return selectedExtremumHandle; }

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
    quorrel::RgbaImageView imageView() const;
    Point2d centringOffset() const;
    Point2d toImagePoint(const QPoint& viewPoint) const;
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

    bool glInitialized = false;
    std::uint32_t imageWidth = 0;
    std::uint32_t imageHeight = 0;
    std::unique_ptr<std::uint8_t[]> pixels;
    std::vector<Boundary> boundaries;
    int m_currentBoundaryIndex = -1;
    int selectedReferencePointIndex = -1;
    double lastFrameSeconds = 0.0;
    Point2d imageOffset;
    unsigned textureId = 0;
    bool imageCut = false;
    ViewMode viewMode = quorrel::Detect;
    std::wstring imagePath;
    QPoint selectionStart;
    QPoint selectionEnd;
    double pressFrameSeconds = 0.0;
    QPoint unitLineStart;
    QPoint unitLineEnd;
    int m_maxColorDistance = 30;
    int minCurvePointCount = 20;
    double m_minLineConnectionDistance = 2.0;
    double m_maxLineConnectionDistance = 3.0;
    int m_smoothLevel = 2;
    int m_curveDividingCount = 100;
    int selectedExtremumHandle = quorrel::NoHandle;
    double unitMicron = 100.0;
    ImageDisplayMode imageDisplayMode = quorrel::OriginalSize;
    bool showDebugInfo = false;
    QFont labelFont;
    QFont smallLabelFont;
};
