#pragma once

// Data behind the two graphs of the thickness profile.

#include <vector>

#include "analysis/Boundary.h"

namespace quorrel {

struct PlotSeries {
    std::vector<double> keys;
    std::vector<double> values;
};

struct DistanceProfile {
    bool available = false; // false: nothing to plot
    PlotSeries profile; // distance of each resampled pair, keyed 0 .. n-1
    PlotSeries maximumPoints; // the A and E ends
    PlotSeries minimumPoint; // C
    PlotSeries middlePoints; // B and D, each only when its index lies in the lists
    double largestDistance = 0.0;
};

// The thickness profile between the rims with its markers. Not available
// without a boundary, without samples or while A, C or E is unset.
DistanceProfile makeDistanceProfile(const Boundary* boundary);

struct DifferenceProfile {
    bool available = false;
    PlotSeries differences; // forward differences of the once-smoothed distances
    double smallest = 0.0; // smallest difference (0 when there is none)
    double largest = 0.0; // largest difference (0 when there is none)
};

// Forward differences of the once-smoothed resampled distances. With fewer
// than two distances the series is empty and both extremes are 0.
DifferenceProfile makeDifferenceProfile(const Boundary* boundary);

} // namespace quorrel
