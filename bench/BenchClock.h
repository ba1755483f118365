#pragma once

// Clock readings and the median, shared by the benchmark's parts.

#include <time.h>

#include <algorithm>
#include <vector>

namespace quorrel::bench {

// Seconds on one of the system's clocks: CLOCK_MONOTONIC for the clock on
// the wall, CLOCK_THREAD_CPUTIME_ID or CLOCK_PROCESS_CPUTIME_ID for
// processor time.
inline double secondsOn(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// The middle value; of an even count, the upper of the two middle ones.
inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace quorrel::bench
