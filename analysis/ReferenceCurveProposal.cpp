#include "analysis/ReferenceCurveProposal.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <utility>

#include "analysis/GreyLevels.h"

namespace quorrel {

namespace {

constexpr double kUnreachable = -std::numeric_limits<double>::infinity();
constexpr std::size_t kNoiseSampleStep = 7;
constexpr double kRowDivisions = 64.0;

ReferenceCurveProposal refuse(const char* reason)
{
    ReferenceCurveProposal proposal;
    proposal.reason = reason;
    return proposal;
}

// The surface's lowest row in every column it crosses; +infinity elsewhere.
std::vector<double> lowestSurfaceRows(const std::vector<Point2d>& surface, int width)
{
    std::vector<double> rows(static_cast<std::size_t>(width), std::numeric_limits<double>::infinity());
    for (std::size_t i = 0; i + 1 < surface.size(); ++i) {
        const Point2d& from = surface[i];
        const Point2d& to = surface[i + 1];
        if (!std::isfinite(from.x) || !std::isfinite(from.y) || !std::isfinite(to.x) || !std::isfinite(to.y))
            continue;
        const double low = std::ceil(std::max(std::min(from.x, to.x), 0.0));
        const double high = std::floor(std::min(std::max(from.x, to.x), static_cast<double>(width - 1)));
        if (!(low <= high))
            continue;
        for (int column = static_cast<int>(low); column <= static_cast<int>(high); ++column) {
            const double row = from.x == to.x
                ? std::min(from.y, to.y)
                : from.y + (to.y - from.y) * ((static_cast<double>(column) - from.x) / (to.x - from.x));
            double& lowest = rows[static_cast<std::size_t>(column)];
            lowest = std::min(lowest, row);
        }
    }
    return rows;
}

// The longest run of columns whose candidate range is not empty (the first of
// equal runs), as its first column and length.
std::pair<int, int> longestRun(const std::vector<int>& lowest, const std::vector<int>& highest)
{
    std::pair<int, int> best{0, 0};
    const auto width = static_cast<int>(lowest.size());
    for (int x = 0; x < width;) {
        int end = x;
        while (end < width && lowest[static_cast<std::size_t>(end)] <= highest[static_cast<std::size_t>(end)])
            ++end;
        if (end - x > best.second)
            best = {x, end - x};
        x = std::max(end, x + 1);
    }
    return best;
}

// The candidate rows of a run of columns and the edge strength at each. A
// candidate row is the lowest row of a bright band, the row below it the
// first below the band.
class EdgeStrengths {
public:
    int firstColumn = 0;
    std::vector<int> lowestRow; // per column of the run
    std::vector<int> highestRow;
    std::vector<std::size_t> start; // each column's first entry in values, and one past the last
    std::vector<double> values; // with edgeRows rows either side

    std::size_t columnCount() const { return lowestRow.size(); }
    bool contains(std::size_t column, int row) const
    {
        return column < lowestRow.size() && row >= lowestRow[column] && row <= highestRow[column];
    }
    double at(std::size_t column, int row) const
    {
        return values[start[column] + static_cast<std::size_t>(row - lowestRow[column])];
    }

    // The mean level of the `rows` rows from the candidate up, less that of
    // the `rows` rows below it, times the level above over 255, so that the
    // lower edge of a brighter band counts more than an equal step below a
    // duller one. Only for a candidate of the run and rows <= edgeRows.
    double strength(std::size_t column, int row, int rows) const
    {
        const auto sumBelow = [&](int at) {
            return sums[static_cast<std::size_t>(at - firstRow) * columnCount() + column];
        };
        const double above = (sumBelow(row + rows) - sumBelow(row)) / rows;
        const double below = (sumBelow(row) - sumBelow(row - rows)) / rows;
        return (above - below) * std::max(above, 0.0) / 255.0;
    }

    // Reads the levels the candidates need, averaged over halfWidth columns
    // either side, and measures every candidate with edgeRows rows.
    void measure(const RgbaImageView& image, int halfWidth, int edgeRows)
    {
        const std::size_t columns = columnCount();
        firstRow = *std::min_element(lowestRow.begin(), lowestRow.end()) - edgeRows;
        const int endRow = *std::max_element(highestRow.begin(), highestRow.end()) + edgeRows;
        RgbaImageView band = image;
        band.pixels = image.pixel(0, firstRow);
        band.height = endRow - firstRow;
        const GreyImage across = boxMean(greyLevels(band), halfWidth, 0);

        // Per row, the sums of each column's levels below it: the mean over
        // any rows of a column is then one difference.
        sums.assign((static_cast<std::size_t>(band.height) + 1) * columns, 0.0);
        for (int y = 0; y < band.height; ++y) {
            const double* previous = sums.data() + static_cast<std::size_t>(y) * columns;
            double* current = sums.data() + static_cast<std::size_t>(y + 1) * columns;
            const float* levels =
                across.levels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(band.width) + firstColumn;
            for (std::size_t i = 0; i < columns; ++i)
                current[i] = previous[i] + levels[i];
        }

        start.assign(columns + 1, 0);
        for (std::size_t i = 0; i < columns; ++i)
            start[i + 1] = start[i] + static_cast<std::size_t>(highestRow[i] - lowestRow[i] + 1);
        values.resize(start[columns]);
        double* out = values.data();
        for (std::size_t i = 0; i < columns; ++i) {
            for (int row = lowestRow[i]; row <= highestRow[i]; ++row)
                *out++ = strength(i, row, edgeRows);
        }
    }

private:
    int firstRow = 0;
    std::vector<double> sums;
};

double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// The path through one candidate per column with the largest total strength
// less penalty for every row it moves between neighbouring columns, moving at
// most maxStep rows. A column that no row of the previous one can reach (the
// surface above dropped steeply) starts afresh from the previous column's best.
std::vector<int> strongestPath(const EdgeStrengths& strengths, double penalty, int maxStep)
{
    const std::size_t columns = strengths.columnCount();
    std::vector<double> score(strengths.values.size(), kUnreachable);
    std::vector<int> cameFrom(strengths.values.size(), -1);
    std::copy(strengths.values.begin(), strengths.values.begin() + static_cast<std::ptrdiff_t>(strengths.start[1]),
              score.begin());
    for (std::size_t i = 1; i < columns; ++i) {
        const int previousLow = strengths.lowestRow[i - 1];
        const int previousHigh = strengths.highestRow[i - 1];
        const double* previousScore = score.data() + strengths.start[i - 1];
        const double* previousEnd = score.data() + strengths.start[i];
        bool anyReached = false;
        for (int row = strengths.lowestRow[i]; row <= strengths.highestRow[i]; ++row) {
            double best = kUnreachable;
            int bestRow = -1;
            // Staying level first, then ever larger moves, from below before
            // from above: the first of equal scores wins.
            for (int move = 0; move <= maxStep; ++move) {
                for (int side = 0; side < (move == 0 ? 1 : 2); ++side) {
                    const int from = side == 0 ? row - move : row + move;
                    if (from < previousLow || from > previousHigh)
                        continue;
                    const double candidate = previousScore[from - previousLow] - penalty * move;
                    if (candidate > best) {
                        best = candidate;
                        bestRow = from;
                    }
                }
            }
            if (bestRow < 0)
                continue;
            const std::size_t state = strengths.start[i] + static_cast<std::size_t>(row - strengths.lowestRow[i]);
            score[state] = best + strengths.values[state];
            cameFrom[state] = bestRow;
            anyReached = true;
        }
        if (!anyReached) {
            const double* previousBest = std::max_element(previousScore, previousEnd);
            for (int row = strengths.lowestRow[i]; row <= strengths.highestRow[i]; ++row) {
                const std::size_t state = strengths.start[i] + static_cast<std::size_t>(row - strengths.lowestRow[i]);
                score[state] = *previousBest + strengths.values[state];
                cameFrom[state] = previousLow + static_cast<int>(previousBest - previousScore);
            }
        }
    }

    std::vector<int> path(columns);
    const std::size_t last = columns - 1;
    const double* lastScore = score.data() + strengths.start[last];
    const double* lastBest =
        std::max_element(lastScore, lastScore + (strengths.start[columns] - strengths.start[last]));
    path[last] = strengths.lowestRow[last] + static_cast<int>(lastBest - lastScore);
    for (std::size_t i = last; i > 0; --i)
        path[i - 1] = cameFrom[strengths.start[i] + static_cast<std::size_t>(path[i] - strengths.lowestRow[i])];
    return path;
}

struct Line {
    double row = 0.0; // at the column it was fitted around
    double slope = 0.0; // rows per column
};

// The columns within halfWindow of index, moved inward at the run's ends so
// that every window holds as many columns as the run allows.
std::pair<int, int> windowAround(int index, int halfWindow, int columnCount)
{
    const int first = std::max(0, std::min(index - halfWindow, columnCount - 1 - 2 * halfWindow));
    return {first, std::min(columnCount - 1, first + 2 * halfWindow)};
}

// Least-squares line through the path's rows in the window around index.
Line fitLine(const std::vector<int>& path, int index, int halfWindow)
{
    const std::pair<int, int> window = windowAround(index, halfWindow, static_cast<int>(path.size()));
    const double count = static_cast<double>(window.second - window.first + 1);
    double meanOffset = 0.0;
    double meanRow = 0.0;
    for (int i = window.first; i <= window.second; ++i) {
        meanOffset += i - index;
        meanRow += path[static_cast<std::size_t>(i)];
    }
    meanOffset /= count;
    meanRow /= count;
    double covariance = 0.0;
    double variance = 0.0;
    for (int i = window.first; i <= window.second; ++i) {
        const double offset = (i - index) - meanOffset;
        covariance += offset * (path[static_cast<std::size_t>(i)] - meanRow);
        variance += offset * offset;
    }
    Line line;
    line.slope = variance > 0.0 ? covariance / variance : 0.0;
    line.row = meanRow - line.slope * meanOffset;
    return line;
}

// The border's row at column index of the run: the line parallel to the
// guide, within a few rows of it, along which the mean edge strength over the
// window is largest, its offset refined between rows by a parabola.
double refineRow(const EdgeStrengths& strengths, const Line& guide, int index, int halfWindow, int rows)
{
    constexpr int offsets = 4;
    const auto base = static_cast<int>(std::lround(guide.row));
    const std::pair<int, int> window = windowAround(index, halfWindow, static_cast<int>(strengths.columnCount()));
    const auto meanAlong = [&](int offset) {
        double sum = 0.0;
        int count = 0;
        for (int i = window.first; i <= window.second; ++i) {
            const int row = base + offset + static_cast<int>(std::lround(guide.slope * (i - index)));
            if (strengths.contains(static_cast<std::size_t>(i), row)) {
                sum += strengths.strength(static_cast<std::size_t>(i), row, rows);
                ++count;
            }
        }
        return 2 * count > window.second - window.first ? sum / count : kUnreachable;
    };

    int bestOffset = 0;
    double bestMean = kUnreachable;
    for (int offset = -offsets; offset <= offsets; ++offset) {
        const double mean = meanAlong(offset);
        if (mean > bestMean) {
            bestMean = mean;
            bestOffset = offset;
        }
    }
    if (bestMean == kUnreachable)
        return guide.row;
    const double lower = meanAlong(bestOffset - 1);
    const double upper = meanAlong(bestOffset + 1);
    const double curvature = lower - 2.0 * bestMean + upper;
    double fraction = 0.0;
    if (lower != kUnreachable && upper != kUnreachable && curvature < 0.0)
        fraction = std::min(0.5, std::max(-0.5, 0.5 * (lower - upper) / curvature));
    return base + bestOffset + fraction;
}

} // namespace

ReferenceCurveProposal proposeReferenceCurve(const RgbaImageView& image, const std::vector<Point2d>& surface,
                                             const ReferenceCurveParameters& parameters)
{
    if (image.isEmpty())
        return refuse("the image has no pixels");
    if (surface.size() < 2)
        return refuse("there is no traced curve to look below; make the curve first");
    const int width = image.width;
    const int height = image.height;
    const int edgeRows = std::max(1, std::min(parameters.edgeRows, height));
    const double maxThickness = parameters.maxThicknessFraction * height;

    // The rows edgeRows either side of a candidate must lie in the image.
    const std::vector<double> surfaceRows = lowestSurfaceRows(surface, width);
    std::vector<int> lowest(static_cast<std::size_t>(width), 1);
    std::vector<int> highest(static_cast<std::size_t>(width), 0);
    int spannedColumns = 0;
    for (std::size_t x = 0; x < surfaceRows.size(); ++x) {
        if (!std::isfinite(surfaceRows[x]))
            continue;
        ++spannedColumns;
        const double low = std::max(std::ceil(surfaceRows[x] - maxThickness), static_cast<double>(edgeRows));
        const double high =
            std::min(std::floor(surfaceRows[x] - parameters.minThickness), static_cast<double>(height - edgeRows));
        if (low <= high) {
            lowest[x] = static_cast<int>(low);
            highest[x] = static_cast<int>(high);
        }
    }
    const int minColumns = std::max(2, parameters.minColumnCount);
    if (spannedColumns < minColumns)
        return refuse("the traced curve spans too few columns");
    const std::pair<int, int> run = longestRun(lowest, highest);
    if (run.second < minColumns)
        return refuse("the traced curve leaves no room for a border below it");

    EdgeStrengths strengths;
    strengths.firstColumn = run.first;
    strengths.lowestRow.assign(lowest.begin() + run.first, lowest.begin() + run.first + run.second);
    strengths.highestRow.assign(highest.begin() + run.first, highest.begin() + run.first + run.second);
    strengths.measure(image, std::max(0, std::min(parameters.edgeHalfWidth, width)), edgeRows);

    std::vector<double> columnBest(strengths.columnCount());
    for (std::size_t i = 0; i < columnBest.size(); ++i)
        columnBest[i] =
            *std::max_element(strengths.values.begin() + static_cast<std::ptrdiff_t>(strengths.start[i]),
                              strengths.values.begin() + static_cast<std::ptrdiff_t>(strengths.start[i + 1]));
    const double penalty = std::max(0.0, parameters.stepPenalty) * std::max(median(columnBest), 1.0);
    const std::vector<int> path =
        strongestPath(strengths, penalty, std::max(0, std::min(parameters.maxStepPerColumn, height)));
    // The border must stand out from the noise of the edge strength, which
    // the median absolute deviation over the candidates measures without
    // counting the few strong edges; every few candidates are enough for it.
    double pathStrength = 0.0;
    for (std::size_t i = 0; i < path.size(); ++i)
        pathStrength += strengths.at(i, path[i]);
    pathStrength /= static_cast<double>(path.size());
    std::vector<double> sample;
    for (std::size_t i = 0; i < strengths.values.size(); i += kNoiseSampleStep)
        sample.push_back(strengths.values[i]);
    const double centre = median(sample);
    for (double& value : sample)
        value = std::fabs(value - centre);
    const double noise = 1.4826 * median(sample);
    if (!(pathStrength >= parameters.minEdgeStrength && pathStrength >= parameters.minSignificance * noise))
        return refuse("no clear lower retinal border below the traced curve");

    const int spacing = std::max(1, parameters.pointSpacing);
    const int halfWindow = std::max(1, std::min(parameters.refineHalfWidth, run.second));
    const int refineRows = std::max(1, std::min(parameters.refineRows, edgeRows));
    const int lastIndex = run.second - 1;
    const int segmentCount = std::max(1, static_cast<int>(std::lround(static_cast<double>(lastIndex) / spacing)));
    ReferenceCurveProposal proposal;
    proposal.found = true;
    for (int j = 0; j <= segmentCount; ++j) {
        const auto index = static_cast<int>(std::lround(static_cast<double>(j) * lastIndex / segmentCount));
        const double row = refineRow(strengths, fitLine(path, index, halfWindow), index, halfWindow, refineRows);
        // A candidate row is the band's lowest row; its lower edge lies half
        // a row below. Rows in 64ths of a pixel count the same from the top.
        const double edge = std::round((row - 0.5) * kRowDivisions) / kRowDivisions;
        proposal.points.push_back(Point2d{static_cast<double>(run.first + index), edge});
    }
    return proposal;
}

} // namespace quorrel
