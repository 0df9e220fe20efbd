// Millisecond clock and the 55 ms ticks that the serial layer counts time in. 64-bit, so
// nothing wraps in the life of the process.
#pragma once

#include <cstdint>

namespace base {

// Monotonic milliseconds since an arbitrary origin.
[[nodiscard]] uint64_t TickMilliseconds();

// TickMilliseconds() / 55.
[[nodiscard]] uint64_t TickCount55();

} // namespace base
