#include "analysis/GreyLevels.h"

#include <algorithm>
#include <cstddef>

namespace quorrel {

namespace {

// Running mean along one row of count values, the window cut at both ends.
void rowMean(const float* in, float* out, int count, int radius)
{
    double sum = 0.0;
    const int firstEnd = std::min(radius, count - 1);
    for (int i = 0; i <= firstEnd; ++i)
        sum += in[i];
    for (int i = 0; i < count; ++i) {
        const int low = std::max(0, i - radius);
        const int high = std::min(count - 1, i + radius);
        out[i] = static_cast<float>(sum / static_cast<double>(high - low + 1));
        if (i + radius + 1 < count)
            sum += in[i + radius + 1];
        if (i - radius >= 0)
            sum -= in[i - radius];
    }
}

} // namespace

GreyImage greyLevels(const RgbaImageView& image, int blockSize)
{
    GreyImage grey;
    blockSize = std::max(1, blockSize);
    if (image.isEmpty() || image.width < blockSize || image.height < blockSize)
        return grey;
    grey.width = image.width / blockSize;
    grey.height = image.height / blockSize;
    grey.levels.assign(static_cast<std::size_t>(grey.width) * static_cast<std::size_t>(grey.height), 0.0f);
    if (blockSize == 1) {
        const std::uint8_t* pixel = image.pixels;
        for (float& level : grey.levels) {
            level = static_cast<float>(pixel[0] + pixel[1] + pixel[2]) / 3.0f;
            pixel += 4;
        }
        return grey;
    }
    const float perBlock = 3.0f * static_cast<float>(blockSize * blockSize);
    std::vector<unsigned> sums(static_cast<std::size_t>(grey.width));
    for (int blockRow = 0; blockRow < grey.height; ++blockRow) {
        std::fill(sums.begin(), sums.end(), 0u);
        for (int y = blockRow * blockSize; y < (blockRow + 1) * blockSize; ++y) {
            const std::uint8_t* pixel = image.pixel(0, y);
            for (int blockColumn = 0; blockColumn < grey.width; ++blockColumn) {
                unsigned sum = 0;
                for (int x = 0; x < blockSize; ++x, pixel += 4)
                    sum += pixel[0] + pixel[1] + pixel[2];
                sums[static_cast<std::size_t>(blockColumn)] += sum;
            }
        }
        float* out = grey.levels.data() + static_cast<std::size_t>(blockRow) * static_cast<std::size_t>(grey.width);
        for (int blockColumn = 0; blockColumn < grey.width; ++blockColumn)
            out[blockColumn] = static_cast<float>(sums[static_cast<std::size_t>(blockColumn)]) / perBlock;
    }
    return grey;
}

GreyImage boxMean(const GreyImage& image, int halfWidth, int halfHeight)
{
    if (image.isEmpty() || (halfWidth <= 0 && halfHeight <= 0))
        return image;
    halfWidth = std::min(halfWidth, image.width);
    halfHeight = std::min(halfHeight, image.height);
    const std::ptrdiff_t width = image.width;
    GreyImage across;
    if (halfWidth > 0) {
        across.width = image.width;
        across.height = image.height;
        across.levels.resize(image.levels.size());
        for (int y = 0; y < image.height; ++y)
            rowMean(image.levels.data() + y * width, across.levels.data() + y * width, image.width, halfWidth);
    }
    const GreyImage& rows = halfWidth > 0 ? across : image;
    if (halfHeight <= 0)
        return across;

    // Whole rows at a time, so that the pass reads the buffer in order.
    GreyImage result;
    result.width = image.width;
    result.height = image.height;
    result.levels.resize(image.levels.size());
    std::vector<double> sums(static_cast<std::size_t>(width), 0.0);
    const auto addRow = [&](int y, double sign) {
        const float* row = rows.levels.data() + y * width;
        for (std::ptrdiff_t x = 0; x < width; ++x)
            sums[static_cast<std::size_t>(x)] += sign * row[x];
    };
    for (int y = 0; y <= std::min(halfHeight, image.height - 1); ++y)
        addRow(y, 1.0);
    for (int y = 0; y < image.height; ++y) {
        const int low = std::max(0, y - halfHeight);
        const int high = std::min(image.height - 1, y + halfHeight);
        const double count = static_cast<double>(high - low + 1);
        float* out = result.levels.data() + y * width;
        for (std::ptrdiff_t x = 0; x < width; ++x)
            out[x] = static_cast<float>(sums[static_cast<std::size_t>(x)] / count);
        if (y + halfHeight + 1 < image.height)
            addRow(y + halfHeight + 1, 1.0);
        if (y - halfHeight >= 0)
            addRow(y - halfHeight, -1.0);
    }
    return result;
}

} // namespace quorrel
