// Turning a time-out into a steady-clock deadline without overflow: a negative time-out is
// "now", a huge one is clamped to a far but representable point.
#pragma once

#include <chrono>

namespace base {

[[nodiscard]] inline std::chrono::steady_clock::time_point
DeadlineAfter(std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point now = Clock::now();
    if (timeout <= std::chrono::milliseconds::zero()) {
        return now;
    }
    // The clock counts nanoseconds in 64 bits (about 292 years); a century stays inside.
    constexpr auto kLongest = std::chrono::hours(24 * 365 * 100);
    if (timeout > kLongest) {
        return now + kLongest;
    }
    return now + timeout;
}

} // namespace base
