#include "analysis/ViewerCoordinates.h"

#include <algorithm>

namespace quorrel {

namespace {

int clampToInt(long long value, int low, int high)
{
    return static_cast<int>(std::min<long long>(std::max<long long>(value, low), high));
}

} // namespace

PixelRect viewerRectToPixelRect(int x, int y, int width, int height, int imageWidth, int imageHeight)
{
    if (width < 1 || height < 1 || imageWidth < 1 || imageHeight < 1)
        return PixelRect{};
    // Viewer rows y .. y+height-1 are image rows imageHeight-y-height ..
    // imageHeight-1-y; corners are cut to the image before they can overflow.
    const int left = clampToInt(x, 0, imageWidth);
    const int right = clampToInt(static_cast<long long>(x) + width, 0, imageWidth);
    const int bottom = clampToInt(static_cast<long long>(imageHeight) - y - height, 0, imageHeight);
    const int top = clampToInt(static_cast<long long>(imageHeight) - y, 0, imageHeight);
    return pixelRectBetween(left, bottom, right, top, imageWidth, imageHeight);
}

Point2d viewerPointToImagePoint(Point2d viewerPoint, int imageHeight)
{
    return Point2d{viewerPoint.x, static_cast<double>(imageHeight - 1) - viewerPoint.y};
}

} // namespace quorrel
