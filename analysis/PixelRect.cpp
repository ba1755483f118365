#include "analysis/PixelRect.h"

#include <algorithm>
#include <climits>

namespace quorrel {

namespace {

// Truncation toward zero, saturated so that an absurd corner cannot overflow
// the conversion.
int truncateToInt(double value)
{
    if (!(value > static_cast<double>(INT_MIN)))
        return INT_MIN;
    if (!(value < static_cast<double>(INT_MAX)))
        return INT_MAX;
    return static_cast<int>(value);
}

} // namespace

PixelRect pixelRectBetween(double x0, double y0, double x1, double y1, int imageWidth, int imageHeight)
{
    PixelRect rect;
    rect.left = std::max(truncateToInt(std::min(x0, x1)), 0);
    rect.right = std::min(truncateToInt(std::max(x0, x1)), imageWidth);
    rect.bottom = std::max(truncateToInt(std::min(y0, y1)), 0);
    rect.top = std::min(truncateToInt(std::max(y0, y1)), imageHeight);
    return rect;
}

} // namespace quorrel
