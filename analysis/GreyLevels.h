#pragma once

// Grey levels of an RGBA image and the box means through which the proposals
// read them: the proposals look at brightness only, never at hue.

#include <vector>

#include "analysis/Types.h"

namespace quorrel {

// A grey-level image, bottom row first, one float per pixel.
struct GreyImage {
    int width = 0;
    int height = 0;
    std::vector<float> levels;

    bool isEmpty() const { return levels.empty(); }
    float at(int x, int y) const { return levels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + x]; }
};

// The mean of R, G and B (alpha is ignored) over blocks of blockSize x
// blockSize pixels, one level per block, leaving out the partial blocks at the
// right and top; a block size of 1 gives every pixel's own level. An empty
// image, or one smaller than a block, gives an empty grey image.
GreyImage greyLevels(const RgbaImageView& image, int blockSize = 1);

// Each level replaced by the mean over the columns within halfWidth of it and
// the rows within halfHeight of it, the window cut at the image's edges. A
// radius of 0 leaves that direction as it is; an empty image stays empty.
GreyImage boxMean(const GreyImage& image, int halfWidth, int halfHeight);

} // namespace quorrel
