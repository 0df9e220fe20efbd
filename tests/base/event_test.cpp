#include "base/event.h"

#include <array>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace base {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kLong{5000}; // only reached when the code under test is broken

TEST(Event, AutoResetReleasesOneWaitThenClears) {
    Event event;
    EXPECT_FALSE(event.IsSet());
    EXPECT_FALSE(event.Wait(milliseconds(0)));
    event.Set();
    EXPECT_TRUE(event.IsSet());
    EXPECT_TRUE(event.Wait(milliseconds(0)));
    EXPECT_FALSE(event.IsSet());
    EXPECT_FALSE(event.Wait(milliseconds(10)));

    Event initially(false, true);
    EXPECT_TRUE(initially.Wait(milliseconds(0)));
    EXPECT_FALSE(initially.Wait(milliseconds(0)));
}

TEST(Event, ManualResetStaysSetUntilReset) {
    Event event(true);
    event.Set();
    EXPECT_TRUE(event.Wait(milliseconds(0)));
    EXPECT_TRUE(event.Wait(milliseconds(0)));
    event.Reset();
    EXPECT_FALSE(event.Wait(milliseconds(0)));
}

TEST(Event, SetFromAnotherThreadWakesTheWaiter) {
    Event event;
    std::thread setter([&] { event.Set(); });
    EXPECT_TRUE(event.Wait(kLong));
    setter.join();
}

TEST(Event, OneSetOfAnAutoResetEventReleasesOneOfTwoWaiters) {
    Event event;
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 2; ++i) {
        waiters.emplace_back([&] { released += event.Wait(milliseconds(300)) ? 1 : 0; });
    }
    event.Set();
    for (auto& t : waiters) {
        t.join();
    }
    EXPECT_EQ(released.load(), 1);
    EXPECT_FALSE(event.IsSet());
}

TEST(Event, ManualResetReleasesEveryWaiter) {
    Event event(true);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i) {
        waiters.emplace_back([&] { released += event.Wait(kLong) ? 1 : 0; });
    }
    event.Set();
    for (auto& t : waiters) {
        t.join();
    }
    EXPECT_EQ(released.load(), 3);
}

TEST(EventWaitAny, LowestSetIndexWinsAndOnlyItIsReset) {
    Event a, b, c(true);
    std::array<Event*, 3> events{&a, &b, &c};
    EXPECT_EQ(Event::WaitAny(events, milliseconds(0)), -1);
    EXPECT_EQ(Event::WaitAny(events, milliseconds(10)), -1);

    b.Set();
    c.Set();
    EXPECT_EQ(Event::WaitAny(events, milliseconds(0)), 1);
    EXPECT_FALSE(b.IsSet());
    EXPECT_TRUE(c.IsSet());
    // The manual-reset winner stays set.
    EXPECT_EQ(Event::WaitAny(events, milliseconds(0)), 2);
    EXPECT_EQ(Event::WaitAny(events, milliseconds(0)), 2);

    a.Set();
    EXPECT_EQ(Event::WaitAny(events, milliseconds(0)), 0);
    EXPECT_EQ(Event::WaitAny(std::span<Event* const>(), milliseconds(1)), -1);
}

TEST(EventWaitAny, WakesOnASetFromAnotherThread) {
    Event a, b, c;
    std::array<Event*, 3> events{&a, &b, &c};
    std::thread setter([&] { c.Set(); });
    EXPECT_EQ(Event::WaitAny(events, kLong), 2);
    setter.join();
    EXPECT_FALSE(c.IsSet());
}

TEST(EventWaitAny, ManySettersAndWaitersLoseNoSignal) {
    // Each Set of an auto-reset event is taken once, by Wait or by WaitAny; nothing is
    // taken twice and no waiter sleeps through a signal.
    constexpr int kRounds = 2000;
    Event a, b;
    std::array<Event*, 2> events{&a, &b};
    std::atomic<int> taken{0};
    std::atomic<bool> done{false};
    std::thread any_waiter([&] {
        while (!done) {
            if (Event::WaitAny(events, milliseconds(20)) >= 0) {
                ++taken;
            }
        }
    });
    std::thread plain_waiter([&] {
        while (!done) {
            if (a.Wait(milliseconds(20))) {
                ++taken;
            }
        }
    });
    for (int i = 0; i < kRounds; ++i) {
        Event& e = (i % 2) ? a : b;
        e.Set();
        // Wait for the signal to be consumed before the next, so each Set counts once.
        const auto deadline = std::chrono::steady_clock::now() + kLong;
        while (e.IsSet() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::yield();
        }
        ASSERT_FALSE(e.IsSet()) << "signal " << i << " never taken";
    }
    const auto deadline = std::chrono::steady_clock::now() + kLong;
    while (taken < kRounds && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    done = true;
    any_waiter.join();
    plain_waiter.join();
    EXPECT_EQ(taken.load(), kRounds);
}

} // namespace
} // namespace base
