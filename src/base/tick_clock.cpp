#include "base/tick_clock.h"

#include <chrono>

namespace base {

uint64_t TickMilliseconds() {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

uint64_t TickCount55() {
    return TickMilliseconds() / 55;
}

} // namespace base
