#include "analysis/GraphSeries.h"

#include <cmath>
#include <limits>

#include "analysis/Geometry.h"
#include "analysis/SmoothingKernel.h"

namespace quorrel {

namespace {

bool hasPlottableExtrema(const Boundary* boundary)
{
    return boundary && !boundary->curveSamples.empty() && !boundary->referenceSamples.empty() && boundary->indexA != -1
        && boundary->indexC != -1 && boundary->indexE != -1;
}

void addMarker(PlotSeries& series, const std::vector<double>& distances, int index)
{
    if (!indexInRange(index, distances.size()))
        return;
    series.keys.push_back(index);
    series.values.push_back(distances[static_cast<std::size_t>(index)]);
}

} // namespace

DistanceProfile makeDistanceProfile(const Boundary* boundary)
{
    DistanceProfile result;
    if (!hasPlottableExtrema(boundary))
        return result;
    result.available = true;
    const std::size_t count = std::min(boundary->resampledCurve.size(), boundary->resampledReference.size());
    std::vector<double> distances;
    double largest = std::numeric_limits<double>::lowest();
    for (std::size_t i = 0; i < count; ++i) {
        const double d = distanceBetween(boundary->resampledReference[i], boundary->resampledCurve[i]);
        distances.push_back(d);
        result.profile.keys.push_back(static_cast<double>(i));
        result.profile.values.push_back(d);
        if (d > largest)
            largest = d;
    }
    result.largestDistance = count > 0 ? largest : 0.0;
    if (count > 0) {
        addMarker(result.maximumPoints, distances, 0);
        addMarker(result.maximumPoints, distances, static_cast<int>(count) - 1);
    }
    addMarker(result.minimumPoint, distances, boundary->resampledIndexC);
    addMarker(result.middlePoints, distances, boundary->indexB);
    addMarker(result.middlePoints, distances, boundary->indexD);
    return result;
}

DifferenceProfile makeDifferenceProfile(const Boundary* boundary)
{
    DifferenceProfile result;
    if (!hasPlottableExtrema(boundary))
        return result;
    result.available = true;
    const std::vector<double> smoothed = smoothValues(boundary->resampledDistances);
    if (smoothed.size() < 2)
        return result;
    double smallest = std::numeric_limits<double>::max();
    double largest = std::numeric_limits<double>::lowest();
    for (std::size_t i = 0; i + 1 < smoothed.size(); ++i) {
        const double difference = smoothed[i + 1] - smoothed[i];
        result.differences.keys.push_back(static_cast<double>(i));
        result.differences.values.push_back(difference);
        if (difference < smallest)
            smallest = difference;
        if (difference > largest)
            largest = difference;
    }
    result.smallest = smallest;
    result.largest = largest;
    return result;
}

} // namespace quorrel
