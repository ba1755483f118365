#include "analysis/VitreousPatchProposal.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "analysis/GreyLevels.h"

namespace quorrel {

namespace {

// Blocks along the scan's shorter side, at least.
constexpr int kBlocksAcross = 256;

struct DarkBrightSplit {
    int threshold = 0; // levels above it are bright
    double darkMean = 0.0;
    double brightMean = 0.0;
    bool found = false;
};

// Otsu's split of the grey-level histogram: the threshold that makes the two
// classes' means lie furthest apart, weighted by their sizes. The first of
// equal splits wins.
DarkBrightSplit splitDarkFromBright(const GreyImage& grey)
{
    std::array<double, 256> histogram{};
    for (const float level : grey.levels)
        histogram[static_cast<std::size_t>(std::min(255.0f, std::max(0.0f, level + 0.5f)))] += 1.0;
    double total = 0.0;
    double totalSum = 0.0;
    for (std::size_t level = 0; level < histogram.size(); ++level) {
        total += histogram[level];
        totalSum += histogram[level] * static_cast<double>(level);
    }

    DarkBrightSplit split;
    double darkCount = 0.0;
    double darkSum = 0.0;
    double bestSpread = 0.0;
    for (std::size_t level = 0; level + 1 < histogram.size(); ++level) {
        darkCount += histogram[level];
        darkSum += histogram[level] * static_cast<double>(level);
        const double brightCount = total - darkCount;
        if (darkCount == 0.0 || brightCount == 0.0)
            continue;
        const double darkMean = darkSum / darkCount;
        const double brightMean = (totalSum - darkSum) / brightCount;
        const double spread = darkCount * brightCount * (brightMean - darkMean) * (brightMean - darkMean);
        if (spread > bestSpread) {
            bestSpread = spread;
            split.threshold = static_cast<int>(level);
            split.darkMean = darkMean;
            split.brightMean = brightMean;
            split.found = true;
        }
    }
    return split;
}

// Per column, the highest row of the largest 4-connected bright component, or
// -1 where it has no pixel.
std::vector<int> topOfLargestBrightComponent(const std::vector<std::uint8_t>& bright, int width, int height)
{
    const std::size_t count = bright.size();
    std::vector<int> labels(count, -1);
    std::vector<std::size_t> stack;
    int largestLabel = -1;
    std::size_t largestSize = 0;
    int nextLabel = 0;
    for (std::size_t start = 0; start < count; ++start) {
        if (!bright[start] || labels[start] >= 0)
            continue;
        const int label = nextLabel++;
        std::size_t size = 0;
        labels[start] = label;
        stack.push_back(start);
        while (!stack.empty()) {
            const std::size_t index = stack.back();
            stack.pop_back();
            ++size;
            const auto x = static_cast<int>(index % static_cast<std::size_t>(width));
            const auto visit = [&](std::size_t neighbour) {
                if (bright[neighbour] && labels[neighbour] < 0) {
                    labels[neighbour] = label;
                    stack.push_back(neighbour);
                }
            };
            if (x > 0)
                visit(index - 1);
            if (x + 1 < width)
                visit(index + 1);
            if (index >= static_cast<std::size_t>(width))
                visit(index - static_cast<std::size_t>(width));
            if (index + static_cast<std::size_t>(width) < count)
                visit(index + static_cast<std::size_t>(width));
        }
        if (size > largestSize) {
            largestSize = size;
            largestLabel = label;
        }
    }

    std::vector<int> top(static_cast<std::size_t>(width), -1);
    for (int y = 0; y < height; ++y) {
        const int* row = labels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        for (int x = 0; x < width; ++x) {
            if (row[x] == largestLabel && largestLabel >= 0)
                top[static_cast<std::size_t>(x)] = y;
        }
    }
    return top;
}

// Marks every pixel within radius (a square) of a marked pixel.
std::vector<std::uint8_t> dilate(const std::vector<std::uint8_t>& marks, int width, int height, int radius)
{
    std::vector<std::uint8_t> rows(marks.size(), 0);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = marks.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        std::uint8_t* out = rows.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        int lastMark = -2 * radius - 2; // column of the latest mark seen, too far left to count when none
        for (int x = 0; x < width + radius; ++x) {
            if (x < width && in[x])
                lastMark = x;
            const int target = x - radius;
            if (target >= 0)
                out[target] = (x - lastMark <= 2 * radius) ? 1 : 0;
        }
    }
    std::vector<std::uint8_t> result(marks.size(), 0);
    std::vector<int> lastMark(static_cast<std::size_t>(width), -2 * radius - 2);
    for (int y = 0; y < height + radius; ++y) {
        const int target = y - radius;
        for (int x = 0; x < width; ++x) {
            if (y < height && rows[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + x])
                lastMark[static_cast<std::size_t>(x)] = y;
            if (target >= 0)
                result[static_cast<std::size_t>(target) * static_cast<std::size_t>(width) + x] =
                    (y - lastMark[static_cast<std::size_t>(x)] <= 2 * radius) ? 1 : 0;
        }
    }
    return result;
}

struct Rectangle {
    int left = 0;
    int bottom = 0;
    int width = 0;
    int height = 0;
};

// The rectangle of allowed pixels with the largest area once its width and
// height are each counted up to their maximum. Every rectangle lies inside one
// that cannot grow (the histogram method visits them all), and the capped area
// never shrinks as a rectangle grows, so the best of those is the best of all.
// The first found wins ties: rows from the top down, columns left to right.
Rectangle largestCappedRectangle(const std::vector<std::uint8_t>& allowed, int width, int height, int maxWidth,
                                 int maxHeight)
{
    Rectangle best;
    long long bestArea = 0;
    std::vector<int> columnHeights(static_cast<std::size_t>(width), 0);
    std::vector<int> stack;
    for (int y = height - 1; y >= 0; --y) {
        const std::uint8_t* row = allowed.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        for (int x = 0; x < width; ++x)
            columnHeights[static_cast<std::size_t>(x)] = row[x] ? columnHeights[static_cast<std::size_t>(x)] + 1 : 0;
        stack.clear();
        for (int x = 0; x <= width; ++x) {
            const int current = x < width ? columnHeights[static_cast<std::size_t>(x)] : 0;
            while (!stack.empty() && columnHeights[static_cast<std::size_t>(stack.back())] >= current) {
                const int barHeight = columnHeights[static_cast<std::size_t>(stack.back())];
                stack.pop_back();
                const int left = stack.empty() ? 0 : stack.back() + 1;
                const int barWidth = x - left;
                const long long area =
                    static_cast<long long>(std::min(barHeight, maxHeight)) * std::min(barWidth, maxWidth);
                if (barHeight > 0 && area > bestArea) {
                    bestArea = area;
                    best = Rectangle{left, y, barWidth, barHeight};
                }
            }
            stack.push_back(x);
        }
    }
    return best;
}

VitreousPatchProposal refuse(const char* reason)
{
    VitreousPatchProposal proposal;
    proposal.reason = reason;
    return proposal;
}

} // namespace

VitreousPatchProposal proposeVitreousPatch(const RgbaImageView& image, const VitreousPatchParameters& parameters)
{
    if (image.isEmpty())
        return refuse("the image has no pixels");
    // A large scan is searched in blocks of a few pixels, so that the search
    // costs about the same on every scan; its lengths are counted in blocks.
    const int blockSize = std::max(1, std::min(image.width, image.height) / kBlocksAcross);
    const auto inBlocks = [blockSize](int pixels) { return (std::max(0, pixels) + blockSize - 1) / blockSize; };
    const GreyImage grey = greyLevels(image, blockSize);
    const int width = grey.width;
    const int height = grey.height;
    const int radius = inBlocks(std::min(parameters.smoothingRadius, std::max(width, height) * blockSize));
    const GreyImage smooth = boxMean(grey, radius, radius);

    const DarkBrightSplit split = splitDarkFromBright(smooth);
    if (!split.found || split.brightMean - split.darkMean < parameters.minContrast)
        return refuse("the image is blank or of one brightness throughout");

    std::vector<std::uint8_t> bright(smooth.levels.size());
    for (std::size_t i = 0; i < bright.size(); ++i)
        bright[i] = smooth.levels[i] > static_cast<float>(split.threshold) ? 1 : 0;
    const std::vector<int> top = topOfLargestBrightComponent(bright, width, height);
    const auto retinaColumns = std::count_if(top.begin(), top.end(), [](int row) { return row >= 0; });
    if (static_cast<double>(retinaColumns) < parameters.minRetinaSpan * width)
        return refuse("no bright retinal band spans the image");

    // Only above the retina (with the clearance to either side too), and
    // never in a column next to one the retina does not reach: dark pixels
    // there may be the choroid, a shadow or the scan's padding.
    const int clearance = inBlocks(std::min(parameters.clearance, std::max(width, height) * blockSize));
    std::vector<int> lowestAllowedRow(static_cast<std::size_t>(width), height);
    for (int x = clearance; x < width - clearance; ++x) {
        int highestTop = -1;
        bool everyColumnHasRetina = true;
        for (int near = x - clearance; near <= x + clearance; ++near) {
            everyColumnHasRetina = everyColumnHasRetina && top[static_cast<std::size_t>(near)] >= 0;
            highestTop = std::max(highestTop, top[static_cast<std::size_t>(near)]);
        }
        if (everyColumnHasRetina)
            lowestAllowedRow[static_cast<std::size_t>(x)] = std::max(highestTop + clearance + 1, clearance);
    }
    const std::vector<std::uint8_t> nearBright = dilate(bright, width, height, clearance);
    std::vector<std::uint8_t> allowed(bright.size(), 0);
    for (int y = 0; y < height - clearance; ++y) {
        const std::size_t rowStart = static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        for (int x = clearance; x < width - clearance; ++x)
            allowed[rowStart + x] = y >= lowestAllowedRow[static_cast<std::size_t>(x)] && !nearBright[rowStart + x];
    }

    const int maxWidth = std::max(1, parameters.maxPatchWidth / blockSize);
    const int maxHeight = std::max(1, parameters.maxPatchHeight / blockSize);
    const Rectangle dark = largestCappedRectangle(allowed, width, height, maxWidth, maxHeight);
    if (dark.width < std::max(1, inBlocks(parameters.minPatchWidth))
        || dark.height < std::max(1, inBlocks(parameters.minPatchHeight)))
        return refuse("the dark band above the retina is too small for a patch");

    const int patchWidth = std::min(dark.width, maxWidth);
    const int patchHeight = std::min(dark.height, maxHeight);
    VitreousPatchProposal proposal;
    proposal.found = true;
    proposal.rect.left = (dark.left + (dark.width - patchWidth) / 2) * blockSize;
    proposal.rect.bottom = (dark.bottom + (dark.height - patchHeight) / 2) * blockSize;
    proposal.rect.right = proposal.rect.left + patchWidth * blockSize;
    proposal.rect.top = proposal.rect.bottom + patchHeight * blockSize;
    return proposal;
}

} // namespace quorrel
