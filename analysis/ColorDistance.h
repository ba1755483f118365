#pragma once

// Colour statistics of a selected patch: its mean colour, the distance of one
// pixel to a reference colour, and the tolerance estimated from the patch's
// colour spread.

#include <cstdint>

#include "analysis/PixelRect.h"
#include "analysis/RgbaImage.h"

namespace quorrel {

struct MeanColor {
    double r = 0.0;
    double g = 0.0;
    double b = 0.0;
    double a = 0.0;
    long long count = 0;
};

// Mean of each channel over the rectangle's pixels, with the pixel count; the
// rectangle is cut to the image first. An empty rectangle or image gives
// zeros and a count of 0.
MeanColor meanColor(const RgbaImageView& image, const PixelRect& rect);

// Euclidean distance over R, G, B and A between a pixel's four bytes and a
// reference colour.
double colorDistance(const std::uint8_t* pixel, const RgbaColor& reference);

// Tolerance from the patch's colour spread: 4.5 times the combined sample
// standard deviation, rounded, kept within 30 to 128. Patches of 5 pixels or
// fewer (and an empty image) give 30.
int estimateMaxColorDistance(const RgbaImageView& image, const PixelRect& rect);

} // namespace quorrel
