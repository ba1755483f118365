#pragma once

// Steady monotonic clock of the frame loop: seconds since the previous pass.

#include <chrono>

class FrameClock {
public:
    void start() { previous = Clock::now(); }

    double secondsSincePreviousPass()
    {
        const Clock::time_point current = Clock::now();
        const double elapsed = std::chrono::duration<double>(current - previous).count();
        previous = current;
        return elapsed;
    }

private:
    using Clock = std::chrono::steady_clock;
    Clock::time_point previous = Clock::now();
};
