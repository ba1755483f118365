#pragma once

// The seven-tap smoothing kernel used by curve smoothing, the thickness
// profile and the graphs. Its weights add up to 1.001 and are deliberately
// not renormalised: saved reports depend on that.

#include <array>
#include <cstddef>
#include <vector>

namespace quorrel {

constexpr std::array<double, 7> kSmoothingWeights = {0.006, 0.061, 0.242, 0.383, 0.242, 0.061, 0.006};

// Weighted sum around index centre with indices clamped to 0 .. size-1.
// The taps are added from offset -3 to +3, starting from 0.0, so every
// machine gives the same double. read(i) returns element i.
template <typename Read> double smoothingTap(Read read, std::ptrdiff_t centre, std::ptrdiff_t size)
{
    double sum = 0.0;
    for (std::ptrdiff_t k = -3; k <= 3; ++k) {
        std::ptrdiff_t index = centre + k;
        if (index < 0)
            index = 0;
        if (index > size - 1)
            index = size - 1;
        sum += kSmoothingWeights[static_cast<std::size_t>(k + 3)] * read(index);
    }
    return sum;
}

// One pass of the kernel over a list of doubles. An empty list gives an empty list.
inline std::vector<double> smoothValues(const std::vector<double>& values)
{
    std::vector<double> smoothed;
    const auto size = static_cast<std::ptrdiff_t>(values.size());
    smoothed.reserve(values.size());
    for (std::ptrdiff_t i = 0; i < size; ++i)
        smoothed.push_back(
            smoothingTap([&](std::ptrdiff_t j) { return values[static_cast<std::size_t>(j)]; }, i, size));
    return smoothed;
}

} // namespace quorrel
