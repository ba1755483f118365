#pragma once

// From the viewer coordinates the command takes (y counted down from the top
// row, as image viewers show it) to the image coordinates of the measurement
// (y counted up from the bottom row).

#include "MeasureSettings.h"
#include "analysis/MeasurementPipeline.h"
#include "analysis/PixelRect.h"
#include "analysis/Point2d.h"

namespace measure {

// The viewer pixels in columns x .. x+width-1 and rows y .. y+height-1 as the
// image rectangle of the same pixels, cut to the image. A rectangle outside
// the image, or a width or height below 1, gives an empty rectangle.
quorrel::PixelRect viewerRectToPixelRect(int x, int y, int width, int height, int imageWidth, int imageHeight);

// A viewer position as an image position: the same x, imageHeight - 1 - y.
// Not cut to the image.
quorrel::Point2d viewerPointToImagePoint(quorrel::Point2d viewerPoint, int imageHeight);

// The settings as pipeline parameters for an image of the given size, the
// viewer coordinates converted to image coordinates. A missing selection
// gives an empty one.
quorrel::MeasurementParameters toMeasurementParameters(const MeasureSettings& settings, int imageWidth,
                                                       int imageHeight);

} // namespace measure
