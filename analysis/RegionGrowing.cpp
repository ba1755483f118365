#include "analysis/RegionGrowing.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>

#include "analysis/ColorDistance.h"

namespace quorrel {

namespace {

// Last in, first out, in blocks that never move: the fill's stack holds
// millions of entries, and growing one array would copy them and touch twice
// the memory. Blocks stay allocated once used, since the stack shrinks and
// grows again many times.
template <typename Value> class BlockStack {
public:
    BlockStack() { enterBlock(0); }

    bool empty() const { return m_top == m_begin && m_block == 0; }

    void push(Value value)
    {
        if (m_top == m_end)
            enterBlock(m_block + 1);
        *m_top++ = value;
    }

    // Only on a stack that is not empty.
    Value& top()
    {
        if (m_top == m_begin) {
            enterBlock(m_block - 1);
            m_top = m_end;
        }
        return m_top[-1];
    }

    // Only on a stack that is not empty.
    Value pop()
    {
        const Value value = top();
        --m_top;
        return value;
    }

private:
    static constexpr std::size_t kBlockSize = std::size_t{1} << 14;

    void enterBlock(std::size_t block)
    {
        if (block == m_blocks.size())
            m_blocks.push_back(std::unique_ptr<Value[]>(new Value[kBlockSize]));
        m_block = block;
        m_begin = m_blocks[block].get();
        m_end = m_begin + kBlockSize;
        m_top = m_begin;
    }

    std::vector<std::unique_ptr<Value[]>> m_blocks;
    std::size_t m_block = 0;
    Value* m_begin = nullptr;
    Value* m_end = nullptr;
    Value* m_top = nullptr;
};

// The fill's stack of neighbours still to visit. Each examined pixel pushes
// some of (x - 1, y), (x + 1, y), (x, y + 1) in that order, then the fill
// steps down to (x, y - 1); so the pixels that have neighbours waiting form
// runs down a column. Each pixel of a run is one byte: three bits for the
// neighbours that wait and one marking the run's first (highest) pixel. Only
// the lowest waiting pixel's index is kept; a run that starts elsewhere than
// right above the lowest pixel before it (most start there) keeps that
// pixel's index, to return to it. That is a fraction of the memory a first
// fill has to fault in, and pops give the very neighbours of the plain stack
// in the same order.
template <typename Index> class PendingNeighbours {
public:
    static constexpr std::uint8_t kLeft = 1;
    static constexpr std::uint8_t kRight = 2;
    static constexpr std::uint8_t kAbove = 4;

    explicit PendingNeighbours(std::uint64_t width)
        : m_width(static_cast<Index>(width))
    {
    }

    bool empty() const { return m_waiting.empty(); }

    void push(std::uint64_t index, std::uint8_t waiting)
    {
        if (waiting == 0)
            return;
        const auto pixel = static_cast<Index>(index);
        if (!m_waiting.empty() && static_cast<Index>(m_lowest - m_width) == pixel) {
            m_waiting.push(waiting);
        } else if (static_cast<Index>(pixel - m_lowest) == m_width) {
            m_waiting.push(static_cast<std::uint8_t>(waiting | kFirst | kAboveLowest));
        } else {
            m_returns.push(m_lowest);
            m_waiting.push(static_cast<std::uint8_t>(waiting | kFirst));
        }
        m_lowest = pixel;
    }

    // Only when not empty: the neighbour pushed last.
    std::uint64_t pop()
    {
        std::uint8_t& waiting = m_waiting.top();
        const Index pixel = m_lowest;
        Index neighbour;
        if (waiting & kAbove) {
            waiting = static_cast<std::uint8_t>(waiting & ~kAbove);
            neighbour = static_cast<Index>(pixel + m_width);
        } else if (waiting & kRight) {
            waiting = static_cast<std::uint8_t>(waiting & ~kRight);
            neighbour = static_cast<Index>(pixel + 1);
        } else {
            waiting = static_cast<std::uint8_t>(waiting & ~kLeft);
            neighbour = static_cast<Index>(pixel - 1);
        }
        if ((waiting & (kLeft | kRight | kAbove)) == 0) {
            const std::uint8_t marks = waiting;
            m_waiting.pop();
            if ((marks & kFirst) == 0)
                m_lowest = static_cast<Index>(pixel + m_width);
            else if ((marks & kAboveLowest) != 0)
                m_lowest = static_cast<Index>(pixel - m_width);
            else
                m_lowest = m_returns.pop();
        }
        return neighbour;
    }

private:
    static constexpr std::uint8_t kFirst = 8;
    static constexpr std::uint8_t kAboveLowest = 16;

    Index m_width;
    Index m_lowest = 0; // the lowest waiting pixel
    BlockStack<std::uint8_t> m_waiting;
    BlockStack<Index> m_returns; // the lowest pixel before each run that starts elsewhere
};

// Indices in the order they came, in blocks that never move, so that
// collecting them touches each page once.
template <typename Index> class IndexList {
public:
    void push(Index index)
    {
        if (m_count % kBlockSize == 0)
            m_blocks.push_back(std::unique_ptr<Index[]>(new Index[kBlockSize]));
        m_blocks.back()[m_count % kBlockSize] = index;
        ++m_count;
    }

    std::size_t size() const { return m_count; }

    Index operator[](std::size_t position) const { return m_blocks[position / kBlockSize][position % kBlockSize]; }

private:
    static constexpr std::size_t kBlockSize = std::size_t{1} << 14;

    std::vector<std::unique_ptr<Index[]>> m_blocks;
    std::size_t m_count = 0;
};

// The test colorDistance(pixel, reference) >= tolerance with the four squared
// channel differences looked up instead of computed. They are the same
// doubles, added in the same order, so every pixel is classified the same.
class EdgeTest {
public:
    EdgeTest(const RgbaColor& reference, int tolerance)
        : m_tolerance(tolerance)
    {
        const int channels[4] = {reference.r, reference.g, reference.b, reference.a};
        for (std::size_t channel = 0; channel < 4; ++channel) {
            for (int level = 0; level < 256; ++level) {
                const double difference = static_cast<double>(level) - channels[channel];
                m_squares[channel][static_cast<std::size_t>(level)] = difference * difference;
            }
        }
    }

    bool isEdge(const std::uint8_t* pixel) const
    {
        const double sum =
            m_squares[0][pixel[0]] + m_squares[1][pixel[1]] + m_squares[2][pixel[2]] + m_squares[3][pixel[3]];
        return std::sqrt(sum) >= m_tolerance;
    }

private:
    double m_squares[4][256];
    int m_tolerance;
};

// Depth-first fill with an explicit stack of pending neighbours. Index is
// 32 bits whenever the image allows it, which halves the runs' memory.
template <typename Index>
std::vector<Point2d> growRegion(const RgbaImageView& image, int seedX, int seedY, const RgbaColor& reference,
                                int tolerance)
{
    const auto width = static_cast<std::uint64_t>(image.width);
    const auto height = static_cast<std::uint64_t>(image.height);

    // The margin that is never examined starts out marked as visited, so one
    // bit test decides whether a neighbour is pushed, and a neighbour's index
    // is just the pixel's index plus or minus 1 or the width: every examined
    // pixel has all four neighbours inside the buffer.
    std::vector<std::uint64_t> visited(static_cast<std::size_t>((width * height + 63) / 64), 0);
    const auto mark = [&visited](std::uint64_t index) { visited[index >> 6] |= std::uint64_t{1} << (index & 63u); };
    const auto isVisited = [&visited](std::uint64_t index) { return (visited[index >> 6] >> (index & 63u)) & 1u; };
    for (std::uint64_t x = 0; x < width; ++x) {
        mark(x);
        mark((height - 2) * width + x);
        mark((height - 1) * width + x);
    }
    for (std::uint64_t y = 1; y + 2 < height; ++y) {
        mark(y * width);
        mark(y * width + width - 2);
        mark(y * width + width - 1);
    }

    const EdgeTest edgeTest(reference, tolerance);
    const std::uint8_t* const pixels = image.pixels;
    // Indices while the fill runs, a quarter of the points' size on most
    // images; the points are made once their number is known.
    IndexList<Index> edges;
    PendingNeighbours<Index> pending(width);
    std::uint64_t index = static_cast<std::uint64_t>(seedY) * width + static_cast<std::uint64_t>(seedX);
    for (;;) {
        if (isVisited(index)) {
            if (pending.empty())
                break;
            index = pending.pop();
            continue;
        }
        mark(index);
        if (edgeTest.isEdge(pixels + index * 4u)) {
            edges.push(static_cast<Index>(index));
            continue;
        }
        // Neighbours go on the stack as (x - 1, y), (x + 1, y), (x, y + 1),
        // (x, y - 1); the last would come straight back off, so it is not
        // pushed but examined next. The edge order depends on this order. A
        // neighbour already visited would be discarded when popped, so
        // leaving it off keeps the visit order.
        const auto waiting =
            static_cast<std::uint8_t>((isVisited(index - 1) ? 0 : PendingNeighbours<Index>::kLeft)
                                      | (isVisited(index + 1) ? 0 : PendingNeighbours<Index>::kRight)
                                      | (isVisited(index + width) ? 0 : PendingNeighbours<Index>::kAbove));
        pending.push(index, waiting);
        index -= width;
    }
    std::vector<Point2d> edgePoints;
    edgePoints.reserve(edges.size());
    for (std::size_t k = 0; k < edges.size(); ++k) {
        const std::uint64_t edge = edges[k];
        edgePoints.push_back(Point2d{static_cast<double>(edge % width), static_cast<double>(edge / width)});
    }
    return edgePoints;
}

} // namespace

bool isTracedPixel(const RgbaImageView& image, Point2d point)
{
    if (image.isEmpty())
        return false;
    // Compared before truncating: trunc(v) >= 1 exactly when v >= 1, and for
    // such v, trunc(v) < limit exactly when v < limit. A NaN or huge point is
    // thus rejected without an overflowing conversion.
    const double columnLimit = static_cast<double>(image.width) - 2.0;
    const double rowLimit = static_cast<double>(image.height) - 2.0;
    return point.x >= 1.0 && point.x < columnLimit && point.y >= 1.0 && point.y < rowLimit;
}

std::vector<Point2d> collectEdgePoints(const RgbaImageView& image, Point2d seed, const RgbaColor& reference,
                                       int tolerance)
{
    if (!isTracedPixel(image, seed))
        return {};

    const int seedX = static_cast<int>(seed.x);
    const int seedY = static_cast<int>(seed.y);
    const auto pixelCount = static_cast<std::uint64_t>(image.width) * static_cast<std::uint64_t>(image.height);
    if (pixelCount <= std::numeric_limits<std::uint32_t>::max())
        return growRegion<std::uint32_t>(image, seedX, seedY, reference, tolerance);
    return growRegion<std::uint64_t>(image, seedX, seedY, reference, tolerance);
}

Boundary makeCandidateBoundary(const RgbaImageView& image, const std::wstring& imagePath, const PixelRect& rect,
                               int maxColorDistance)
{
    const MeanColor mean = meanColor(image, rect);

    Boundary boundary;
    boundary.imagePath = imagePath;
    // Integer division truncating toward zero; summed in 64 bits so that no
    // rectangle can overflow.
    boundary.seedPoint = Point2d{static_cast<double>((std::int64_t{rect.left} + rect.right) / 2),
                                 static_cast<double>((std::int64_t{rect.bottom} + rect.top) / 2)};
    boundary.referenceColor = RgbaColor{static_cast<int>(mean.r), static_cast<int>(mean.g), static_cast<int>(mean.b),
                                        static_cast<int>(mean.a)};
    boundary.selectionRect = rect;
    boundary.maxColorDistance = maxColorDistance;
    return boundary;
}

bool isEqualDetection(const Boundary& existing, const Boundary& candidate)
{
    return existing.seedPoint == candidate.seedPoint && existing.referenceColor == candidate.referenceColor
        && existing.selectionRect.left == candidate.selectionRect.left
        && existing.selectionRect.top == candidate.selectionRect.top
        && existing.selectionRect.right == candidate.selectionRect.right
        && existing.selectionRect.bottom == candidate.selectionRect.bottom
        && existing.maxColorDistance == candidate.maxColorDistance;
}

int findEqualBoundary(const std::vector<Boundary>& boundaries, const Boundary& candidate)
{
    for (std::size_t i = 0; i < boundaries.size(); ++i) {
        if (isEqualDetection(boundaries[i], candidate))
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace quorrel
