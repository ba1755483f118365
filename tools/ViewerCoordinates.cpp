#include "ViewerCoordinates.h"

#include <algorithm>

namespace measure {

namespace {

using quorrel::Point2d;

int clampToInt(long long value, int low, int high)
{
    return static_cast<int>(std::min<long long>(std::max<long long>(value, low), high));
}

} // namespace

quorrel::PixelRect viewerRectToPixelRect(int x, int y, int width, int height, int imageWidth, int imageHeight)
{
    if (width < 1 || height < 1 || imageWidth < 1 || imageHeight < 1)
        return quorrel::PixelRect{};
    // Viewer rows y .. y+height-1 are image rows imageHeight-y-height ..
    // imageHeight-1-y; corners are cut to the image before they can overflow.
    const int left = clampToInt(x, 0, imageWidth);
    const int right = clampToInt(static_cast<long long>(x) + width, 0, imageWidth);
    const int bottom = clampToInt(static_cast<long long>(imageHeight) - y - height, 0, imageHeight);
    const int top = clampToInt(static_cast<long long>(imageHeight) - y, 0, imageHeight);
    return quorrel::pixelRectBetween(left, bottom, right, top, imageWidth, imageHeight);
}

quorrel::Point2d viewerPointToImagePoint(quorrel::Point2d viewerPoint, int imageHeight)
{
    return quorrel::Point2d{viewerPoint.x, static_cast<double>(imageHeight - 1) - viewerPoint.y};
}

quorrel::MeasurementParameters toMeasurementParameters(const MeasureSettings& settings, int imageWidth, int imageHeight)
{
    quorrel::MeasurementParameters parameters;
    if (settings.selection) {
        const ViewerRect& rect = *settings.selection;
        parameters.selection = viewerRectToPixelRect(rect.x, rect.y, rect.width, rect.height, imageWidth, imageHeight);
    }
    const ToleranceSetting tolerance =
        settings.tolerance.value_or(ToleranceSetting{false, kStartValues.maxColorDistance});
    parameters.estimateTolerance = tolerance.estimate;
    parameters.maxColorDistance = tolerance.value;
    parameters.minLineConnectionDistance = settings.minConnection.value_or(kStartValues.minLineConnectionDistance);
    parameters.maxLineConnectionDistance = settings.maxConnection.value_or(kStartValues.maxLineConnectionDistance);
    parameters.smoothLevel = settings.smoothLevel.value_or(kStartValues.smoothLevel);
    parameters.smoothCount = settings.smoothCount.value_or(kStartValues.smoothCount);
    parameters.curveDividingCount = settings.divideCount.value_or(kStartValues.curveDividingCount);
    for (const Point2d& point : settings.reference.value_or(std::vector<Point2d>{}))
        parameters.referenceCurve.push_back(viewerPointToImagePoint(point, imageHeight));
    if (settings.unitLine) {
        parameters.unitLineStart = viewerPointToImagePoint((*settings.unitLine)[0], imageHeight);
        parameters.unitLineEnd = viewerPointToImagePoint((*settings.unitLine)[1], imageHeight);
    }
    parameters.unitMicron = settings.unitMicrons.value_or(kStartValues.unitMicron);
    return parameters;
}

} // namespace measure
