#pragma once

// Points bucketed into square cells, for visiting every point that may lie
// within a fixed reach of a query point without looking at the others.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "analysis/Point2d.h"

namespace quorrel {

class PointGrid {
public:
    // Buckets the points with finite coordinates into cells a little wider
    // than reach; points with a NaN or infinite coordinate are left out. A
    // reach that is NaN or infinite puts every point into one cell. No points
    // give an empty grid.
    PointGrid(const std::vector<Point2d>& points, double reach);

    // Calls visit(index) for every bucketed point of index firstIndex or more
    // in the 3 x 3 cells around the query point, each cell's points in
    // increasing index order. Every bucketed point whose computed distance to
    // the query (sqrt(dx*dx + dy*dy), or its square against the squared reach)
    // is at most reach is among them. A query point with a NaN or infinite
    // coordinate visits nothing unless the grid has a single cell.
    template <typename Visit> void forEachNear(Point2d query, std::size_t firstIndex, Visit&& visit) const
    {
        if (m_singleCell) {
            if (!m_cellStarts.empty())
                visitCell(0, firstIndex, visit);
            return;
        }
        std::int64_t column = 0;
        std::int64_t row = 0;
        if (!cellOf(query, column, row))
            return;
        for (std::int64_t dy = -1; dy <= 1; ++dy) {
            for (std::int64_t dx = -1; dx <= 1; ++dx) {
                const std::int32_t cell = findCell(column + dx, row + dy);
                if (cell >= 0)
                    visitCell(static_cast<std::size_t>(cell), firstIndex, visit);
            }
        }
    }

private:
    struct CellKey {
        std::int64_t column = 0;
        std::int64_t row = 0;
    };

    bool cellOf(Point2d point, std::int64_t& column, std::int64_t& row) const;
    std::size_t slotOf(std::int64_t column, std::int64_t row) const;
    std::int32_t findCell(std::int64_t column, std::int64_t row) const;

    template <typename Visit> void visitCell(std::size_t cell, std::size_t firstIndex, Visit& visit) const
    {
        const auto end = m_members.begin() + static_cast<std::ptrdiff_t>(m_cellStarts[cell + 1]);
        auto member = m_members.begin() + static_cast<std::ptrdiff_t>(m_cellStarts[cell]);
        if (member != end && *member < firstIndex)
            member = std::lower_bound(member, end, firstIndex);
        for (; member != end; ++member)
            visit(*member);
    }

    double m_cellSize = 1.0;
    bool m_singleCell = false;
    std::vector<CellKey> m_cellKeys;
    std::vector<std::int32_t> m_slots; // open addressing into m_cellKeys, -1 empty; a power of two long
    std::vector<std::size_t> m_cellStarts; // cell k holds m_members[m_cellStarts[k] .. m_cellStarts[k + 1])
    std::vector<std::size_t> m_members;
};

} // namespace quorrel
