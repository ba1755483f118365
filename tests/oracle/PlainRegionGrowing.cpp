#include "oracle/PlainRegionGrowing.h"

#include <cstdint>

#include "analysis/ColorDistance.h"

namespace quorrel::plain {

namespace {

std::vector<Point2d> growRegion(const RgbaImageView& image, int seedX, int seedY, const RgbaColor& reference,
                                int tolerance)
{
    const std::int64_t width = image.width;
    const std::int64_t height = image.height;
    const auto isExamined = [width, height](std::int64_t x, std::int64_t y) {
        return x >= 1 && y >= 1 && x < width - 2 && y < height - 2;
    };

    std::vector<std::uint64_t> visited(static_cast<std::size_t>((width * height + 63) / 64), 0);
    const auto isVisited = [&visited](std::uint64_t index) { return (visited[index >> 6] >> (index & 63u)) & 1u; };

    std::vector<Point2d> edgePoints;
    std::vector<std::uint64_t> stack{static_cast<std::uint64_t>(seedY * width + seedX)};

    const auto pushIfOpen = [&](std::int64_t x, std::int64_t y) {
        if (!isExamined(x, y))
            return;
        const auto index = static_cast<std::uint64_t>(y * width + x);
        if (!isVisited(index))
            stack.push_back(index);
    };

    while (!stack.empty()) {
        const std::uint64_t index = stack.back();
        stack.pop_back();
        if (isVisited(index))
            continue;
        visited[index >> 6] |= std::uint64_t{1} << (index & 63u);

        const auto x = static_cast<std::int64_t>(index % static_cast<std::uint64_t>(width));
        const auto y = static_cast<std::int64_t>(index / static_cast<std::uint64_t>(width));
        if (colorDistance(image.pixel(static_cast<int>(x), static_cast<int>(y)), reference) >= tolerance) {
            edgePoints.push_back(Point2d{static_cast<double>(x), static_cast<double>(y)});
            continue;
        }
        pushIfOpen(x - 1, y);
        pushIfOpen(x + 1, y);
        pushIfOpen(x, y + 1);
        pushIfOpen(x, y - 1);
    }
    return edgePoints;
}

} // namespace

std::vector<Point2d> collectEdgePoints(const RgbaImageView& image, Point2d seed, const RgbaColor& reference,
                                       int tolerance)
{
    if (image.isEmpty())
        return {};
    const double columnLimit = static_cast<double>(image.width) - 2.0;
    const double rowLimit = static_cast<double>(image.height) - 2.0;
    if (!(seed.x >= 1.0 && seed.x < columnLimit && seed.y >= 1.0 && seed.y < rowLimit))
        return {};

    return growRegion(image, static_cast<int>(seed.x), static_cast<int>(seed.y), reference, tolerance);
}

} // namespace quorrel::plain
