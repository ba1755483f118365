#pragma once

// The view's modes: what a drag or a click does, how the image is scaled,
// which run's points it draws and which measured point a press has picked.

namespace quorrel {

enum class ViewMode {
    Detect = 0,
    Cut = 1,
    CutSquared = 2,
    Clear = 3,
    InsertCurve = 4,
    ControlLocalMinMax = 5,
    MeasureUnit = 6
};

// FitToScreen stretches the image over the view; FitKeepingAspect fits it
// whole at one scale for both axes.
enum class ImageDisplayMode { OriginalSize = 0, FitToScreen = 1, FitKeepingAspect = 2 };

// Which detection's points the view draws: the one in image pixels, or the
// one repeated in microns when both axis scales are set.
enum class ShownRun { Pixels = 0, Microns = 1 };

// The numbering is also the order in which a press tests the handles.
enum class ExtremumHandle { NoHandle = -1, CTop = 0, CBottom = 1, ATop = 2, ABottom = 3, ETop = 4, EBottom = 5 };

} // namespace quorrel
