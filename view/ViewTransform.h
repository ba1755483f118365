#pragma once

// How the view's coordinates reach the widget's pixels at a display mode, a
// zoom and a pan, and back. Plain arithmetic, shared by drawing and input so
// that a click lands on the pixel drawn under it.

#include "view/ViewModes.h"

namespace quorrel {

// One axis: view coordinate v lies origin + scale * v pixels from the
// widget's left (x) or bottom (y) edge.
struct ScreenAxis {
    double scale = 1.0;
    double origin = 0.0;

    double toScreen(double view) const { return origin + scale * view; }
    double toView(double screen) const { return (screen - origin) / scale; }
};

struct ScreenTransform {
    ScreenAxis x;
    ScreenAxis y;
};

// The zoom and pan on top of a display mode: the zoom in steps of a third of
// a doubling, the pan in screen pixels, kept unrounded so that repeated
// steps around one point do not drift.
struct ViewCamera {
    int zoomStep = 0;
    double panX = 0.0;
    double panY = 0.0;
};

// Screen pixels per image pixel that zooming reaches at most and at least.
constexpr double kMaxZoom = 32.0;
constexpr double kMinZoom = 0.125;

// The camera's factor for a zoom step: 2 to the power step / 3, exact at
// whole doublings.
double zoomForStep(int step);

// The display mode's own transform for a widget and an image of the given
// sizes: one pixel per view unit at OriginalSize; the image stretched over
// the widget at FitToScreen; at FitKeepingAspect one scale for both axes,
// as large as fits, centred to a whole pixel. Without an image or widget
// (a size below 1) every mode gives one pixel per unit.
ScreenTransform baseTransform(ImageDisplayMode mode, double widgetWidth, double widgetHeight, double imageWidth,
                              double imageHeight);

// The base transform seen through the camera. Origins are rounded to whole
// screen pixels, so that at a whole zoom factor every image pixel covers the
// same square of screen pixels.
ScreenTransform applyCamera(const ScreenTransform& base, const ViewCamera& camera);

// The camera after zooming by steps (negative: out) around the screen point
// (anchorX, anchorY), which keeps showing the same view point. A step that
// would take either axis past kMaxZoom or below kMinZoom is not taken.
ViewCamera zoomAround(const ScreenTransform& base, ViewCamera camera, int steps, double anchorX, double anchorY);

} // namespace quorrel
