#include "analysis/PointGrid.h"

#include <cmath>
#include <limits>

namespace quorrel {

namespace {

// Cell numbers stay below 2^40 in size, where the rounding of point / size
// (under 2^-13) cannot carry a pair of points within reach more than one cell
// apart: cells are 0.1 % wider than the reach, far more than the rounding of
// a computed distance.
constexpr double kLargestCellNumber = 1099511627776.0; // 2^40
constexpr double kCellMargin = 1.001;
// Below this a squared coordinate difference may underflow to zero, so
// points this close may count as within any reach.
constexpr double kSmallestCellSize = 1e-150;

} // namespace

PointGrid::PointGrid(const std::vector<Point2d>& points, double reach)
{
    double largestCoordinate = 0.0;
    for (const Point2d& point : points) {
        if (isFinitePoint(point))
            largestCoordinate = std::max({largestCoordinate, std::fabs(point.x), std::fabs(point.y)});
    }
    m_cellSize = std::max({std::fabs(reach) * kCellMargin, largestCoordinate / kLargestCellNumber, kSmallestCellSize});
    m_singleCell = !std::isfinite(m_cellSize) || std::isnan(reach);

    // Cell of each point, then the points of each cell in index order
    // (a counting sort): m_cellStarts[k + 1] first counts cell k's points.
    std::vector<std::int32_t> cellOfPoint(points.size(), -1);
    if (m_singleCell) {
        std::fill(cellOfPoint.begin(), cellOfPoint.end(), 0);
        m_cellStarts.assign(2, 0);
        m_cellStarts[1] = points.size();
    } else {
        std::size_t capacity = 16;
        while (capacity < 2 * points.size())
            capacity *= 2;
        m_slots.assign(capacity, -1);
        m_cellStarts.push_back(0);
        for (std::size_t i = 0; i < points.size(); ++i) {
            std::int64_t column = 0;
            std::int64_t row = 0;
            if (!cellOf(points[i], column, row))
                continue;
            std::size_t slot = slotOf(column, row);
            while (m_slots[slot] >= 0) {
                const CellKey& key = m_cellKeys[static_cast<std::size_t>(m_slots[slot])];
                if (key.column == column && key.row == row)
                    break;
                slot = (slot + 1) & (m_slots.size() - 1);
            }
            if (m_slots[slot] < 0) {
                m_slots[slot] = static_cast<std::int32_t>(m_cellKeys.size());
                m_cellKeys.push_back(CellKey{column, row});
                m_cellStarts.push_back(0);
            }
            cellOfPoint[i] = m_slots[slot];
            ++m_cellStarts[static_cast<std::size_t>(m_slots[slot]) + 1];
        }
    }

    // Running sums turn the counts into starts; filling then moves each
    // cell's start on to the next cell's, and the shift back restores them.
    for (std::size_t cell = 1; cell < m_cellStarts.size(); ++cell)
        m_cellStarts[cell] += m_cellStarts[cell - 1];
    m_members.resize(m_cellStarts.back());
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (cellOfPoint[i] >= 0)
            m_members[m_cellStarts[static_cast<std::size_t>(cellOfPoint[i])]++] = i;
    }
    for (std::size_t cell = m_cellStarts.size() - 1; cell > 0; --cell)
        m_cellStarts[cell] = m_cellStarts[cell - 1];
    m_cellStarts[0] = 0;
}

bool PointGrid::cellOf(Point2d point, std::int64_t& column, std::int64_t& row) const
{
    if (!isFinitePoint(point))
        return false;
    const double scaledX = std::floor(point.x / m_cellSize);
    const double scaledY = std::floor(point.y / m_cellSize);
    // A point this far out has no bucketed point within reach.
    if (std::fabs(scaledX) > 2.0 * kLargestCellNumber || std::fabs(scaledY) > 2.0 * kLargestCellNumber)
        return false;
    column = static_cast<std::int64_t>(scaledX);
    row = static_cast<std::int64_t>(scaledY);
    return true;
}

std::size_t PointGrid::slotOf(std::int64_t column, std::int64_t row) const
{
    std::uint64_t hash = static_cast<std::uint64_t>(column) * 0x9E3779B97F4A7C15ull;
    hash ^= static_cast<std::uint64_t>(row) * 0xC2B2AE3D27D4EB4Full;
    hash ^= hash >> 29;
    return static_cast<std::size_t>(hash) & (m_slots.size() - 1);
}

std::int32_t PointGrid::findCell(std::int64_t column, std::int64_t row) const
{
    for (std::size_t slot = slotOf(column, row);; slot = (slot + 1) & (m_slots.size() - 1)) {
        const std::int32_t cell = m_slots[slot];
        if (cell < 0)
            return -1;
        const CellKey& key = m_cellKeys[static_cast<std::size_t>(cell)];
        if (key.column == column && key.row == row)
            return cell;
    }
}

} // namespace quorrel
