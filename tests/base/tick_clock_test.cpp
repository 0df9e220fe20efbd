#include "base/tick_clock.h"

#include <gtest/gtest.h>

namespace base {
namespace {

TEST(TickClock, TicksAreMillisecondsOver55AndNeverGoBack) {
    const uint64_t before = TickMilliseconds();
    const uint64_t ticks = TickCount55();
    const uint64_t after = TickMilliseconds();
    EXPECT_LE(before, after);
    EXPECT_GE(ticks, before / 55);
    EXPECT_LE(ticks, after / 55);
}

} // namespace
} // namespace base
