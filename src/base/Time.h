#pragma once
// Monotonic time as the main loop sees it: virtual in tests and the simulator, real in the agent.

#include <chrono>

namespace brivio {

using Duration = std::chrono::nanoseconds;
using TimePoint = std::chrono::time_point<std::chrono::steady_clock, Duration>;

using namespace std::chrono_literals;

// Whole milliseconds of a duration, rounded toward zero (what traces and logs print).
inline long long toMillis(Duration d) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
}

} // namespace brivio
