#include "view/ViewTransform.h"

#include <algorithm>
#include <cmath>

namespace quorrel {

namespace {

constexpr int kStepsPerDoubling = 3;
// Scales computed from exact limits may land a rounding error past them.
constexpr double kLimitSlack = 1e-9;

ScreenAxis cameraAxis(const ScreenAxis& base, double zoom, double pan)
{
    return ScreenAxis{base.scale * zoom, base.origin * zoom + pan};
}

} // namespace

double zoomForStep(int step)
{
    return std::exp2(static_cast<double>(step) / kStepsPerDoubling);
}

ScreenTransform baseTransform(ImageDisplayMode mode, double widgetWidth, double widgetHeight, double imageWidth,
                              double imageHeight)
{
    ScreenTransform transform;
    if (mode == ImageDisplayMode::OriginalSize || widgetWidth < 1.0 || widgetHeight < 1.0 || imageWidth < 1.0
        || imageHeight < 1.0)
        return transform;
    if (mode == ImageDisplayMode::FitToScreen) {
        transform.x.scale = widgetWidth / imageWidth;
        transform.y.scale = widgetHeight / imageHeight;
        return transform;
    }
    // The axis that sets the scale gets no margin, without a rounding error
    // that could put one there.
    const double across = widgetWidth / imageWidth;
    const double down = widgetHeight / imageHeight;
    if (across <= down) {
        transform.x = ScreenAxis{across, 0.0};
        transform.y = ScreenAxis{across, std::floor((widgetHeight - across * imageHeight) * 0.5)};
    } else {
        transform.x = ScreenAxis{down, std::floor((widgetWidth - down * imageWidth) * 0.5)};
        transform.y = ScreenAxis{down, 0.0};
    }
    return transform;
}

ScreenTransform applyCamera(const ScreenTransform& base, const ViewCamera& camera)
{
    const double zoom = zoomForStep(camera.zoomStep);
    ScreenTransform transform{cameraAxis(base.x, zoom, camera.panX), cameraAxis(base.y, zoom, camera.panY)};
    transform.x.origin = std::floor(transform.x.origin + 0.5);
    transform.y.origin = std::floor(transform.y.origin + 0.5);
    return transform;
}

ViewCamera zoomAround(const ScreenTransform& base, ViewCamera camera, int steps, double anchorX, double anchorY)
{
    const double largest = std::max(base.x.scale, base.y.scale);
    const double smallest = std::min(base.x.scale, base.y.scale);
    int step = camera.zoomStep;
    for (; steps > 0 && largest * zoomForStep(step + 1) <= kMaxZoom * (1.0 + kLimitSlack); --steps)
        ++step;
    for (; steps < 0 && smallest * zoomForStep(step - 1) >= kMinZoom * (1.0 - kLimitSlack); ++steps)
        --step;
    if (step == camera.zoomStep)
        return camera;
    const double zoom = zoomForStep(camera.zoomStep);
    const double newZoom = zoomForStep(step);
    // The unrounded origins keep the anchor's view point in place exactly.
    const ScreenAxis x = cameraAxis(base.x, zoom, camera.panX);
    const ScreenAxis y = cameraAxis(base.y, zoom, camera.panY);
    camera.panX = anchorX - newZoom / zoom * (anchorX - x.origin) - base.x.origin * newZoom;
    camera.panY = anchorY - newZoom / zoom * (anchorY - y.origin) - base.y.origin * newZoom;
    camera.zoomStep = step;
    return camera;
}

} // namespace quorrel
