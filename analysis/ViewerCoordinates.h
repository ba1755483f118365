#pragma once

// From the viewer coordinates that measurement files and the command take (y
// counted down from the top row, as image viewers show it) to the image
// coordinates of the measurement (y counted up from the bottom row).

#include "analysis/PixelRect.h"
#include "analysis/Point2d.h"

namespace quorrel {

// The viewer pixels in columns x .. x+width-1 and rows y .. y+height-1 as the
// image rectangle of the same pixels, cut to the image. A rectangle outside
// the image, or a width or height below 1, gives an empty rectangle.
PixelRect viewerRectToPixelRect(int x, int y, int width, int height, int imageWidth, int imageHeight);

// A viewer position as an image position: the same x, imageHeight - 1 - y.
// Not cut to the image; its own inverse.
Point2d viewerPointToImagePoint(Point2d viewerPoint, int imageHeight);

} // namespace quorrel
