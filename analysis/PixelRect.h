#pragma once

// The rectangle of image pixels that every selection comes down to.

namespace quorrel {

// Half-open rectangle of image pixels: columns left .. right-1, rows
// bottom .. top-1. Empty when right <= left or top <= bottom.
struct PixelRect {
    int left = 0;
    int bottom = 0;
    int right = 0;
    int top = 0;

    bool isEmpty() const { return right <= left || top <= bottom; }
};

// The pixels between two corners in image coordinates, in either order: each
// coordinate truncated toward zero (3.9 gives 3, -0.7 gives 0), the result cut
// to the image. Corners wholly outside the image give an empty rectangle.
PixelRect pixelRectBetween(double x0, double y0, double x1, double y1, int imageWidth, int imageHeight);

} // namespace quorrel
