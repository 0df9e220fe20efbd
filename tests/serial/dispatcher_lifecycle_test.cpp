// Closing, the final release, device errors on the worker threads, and many open/close
// cycles with traffic.
#include "base/event.h"
#include "serial/error_codes.h"
#include "serial/port_list.h"
#include "serial/support/dispatcher_fixture.h"

#include <atomic>
#include <gtest/gtest.h>

namespace serial::testing {
namespace {

using DispatcherLifecycle = DispatcherTest;

TEST_F(DispatcherLifecycle, CloseWithoutTrafficEndsEveryThreadQuietly) {
    dispatcher->DonePort();
    EXPECT_EQ(dispatcher->ActiveThreads.load(), 0);
    EXPECT_FALSE(dispatcher->DispActive);
    EXPECT_TRUE(dispatcher->Released());
    EXPECT_FALSE(line->InUse());
    EXPECT_EQ(dispatcher->PutString("x"), ecCommNotOpen);
    dispatcher.reset();
    loop.Pump();
    EXPECT_EQ(errors.Count(), 0u);
}

TEST_F(DispatcherLifecycle, DeviceErrorEndsAllThreadsAndIsShownOnce) {
    struct Case {
        bool read;
        const char* text;
    } cases[] = {{true, "EInOutError: Device read error"},
                 {false, "EInOutError: Device write error"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        errors.Clear();
        dispatcher.reset();
        Open();
        if (c.read) {
            line->FailReads(true);
        } else {
            line->FailWrites(true);
            ASSERT_EQ(dispatcher->PutString("lost"), 0);
        }
        // The dispatch thread's final release closes the device.
        ASSERT_TRUE(WaitFor([&] { return dispatcher->ActiveThreads.load() == 0; }));
        EXPECT_TRUE(WaitFor([&] { return !line->InUse() && dispatcher->Released(); }));
        ASSERT_TRUE(WaitFor([&] { return errors.Count() >= 1; }));
        loop.Pump();
        ASSERT_EQ(errors.Count(), 1u);
        EXPECT_EQ(errors.Boxes()[0].caption, "Application Error");
        EXPECT_EQ(errors.Boxes()[0].text, c.text);
        // The owner still holds the dispatcher as open: reads and writes answer "not open".
        uint8_t b = 0;
        EXPECT_EQ(dispatcher->GetChar(b), ecCommNotOpen);
        EXPECT_EQ(dispatcher->PutString("x"), ecCommNotOpen);
        dispatcher->DonePort();
        dispatcher.reset();
        loop.Pump();
        EXPECT_EQ(errors.Count(), 1u);
    }
}

TEST_F(DispatcherLifecycle, CloseDuringAHandlerDefersTheRelease) {
    base::Event entered(true, false);
    base::Event leave(true, false);
    recorder.action = [&](TSioBaseDispatcher& d, const Note& note) {
        entered.Set();
        (void)leave.Wait(std::chrono::seconds(10));
        // Reads after the close answer a code, never touch freed memory.
        return TakeOffered(d, note);
    };
    dispatcher->RegisterEventTriggerHandler(recorder.Event());
    dispatcher->ChangeLengthTrigger(1);
    dispatcher->ThreadWaitLimit = std::chrono::milliseconds(100);
    line->Arrive("held");
    ASSERT_TRUE(entered.Wait(std::chrono::seconds(5)));
    dispatcher->DonePort();
    EXPECT_TRUE(dispatcher->ClosePending);
    EXPECT_FALSE(dispatcher->Released());
    EXPECT_FALSE(line->InUse());
    leave.Set();
    EXPECT_TRUE(WaitFor([&] { return dispatcher->ActiveThreads.load() == 0; }));
    EXPECT_TRUE(dispatcher->Released());
    EXPECT_EQ(recorder.Count(APW_TRIGGERAVAIL), 1u);
}

TEST_F(DispatcherLifecycle, CloseFromAHandlerOnTheDispatchThreadDoesNotWaitForItself) {
    recorder.action = [](TSioBaseDispatcher& d, const Note&) {
        d.DonePort();
        return std::string(d.ClosePending ? "pending" : "not pending");
    };
    dispatcher->RegisterEventTriggerHandler(recorder.Event());
    dispatcher->ChangeLengthTrigger(1);
    line->Arrive("close now");
    ASSERT_TRUE(WaitFor([&] { return dispatcher->ActiveThreads.load() == 0; }));
    EXPECT_EQ(recorder.AllData(), "pending");
    EXPECT_TRUE(dispatcher->Released());
    EXPECT_FALSE(line->InUse());
    EXPECT_EQ(errors.Count(), 0u);
}

TEST_F(DispatcherLifecycle, OwnerWaitsRunPendingSynchronizedCalls) {
    // The test thread is the owner and does not pump: closing must run the synchronized
    // call the dispatch thread is blocked in, or both would wait for each other.
    recorder.action = TakeOffered;
    dispatcher->RegisterSyncEventTriggerHandler(recorder.Event());
    dispatcher->ChangeLengthTrigger(1);
    line->Arrive("in flight");
    base::Event tick;
    while (!dispatcher->fEventBusy)
        (void)tick.Wait(std::chrono::milliseconds(1));
    const int32_t handle = dispatcher->fHandle;
    dispatcher.reset();
    EXPECT_EQ(recorder.AllData(), "in flight");
    EXPECT_EQ(PortListItem(handle), nullptr); // freed at once, not handed to a thread
}

TEST_F(DispatcherLifecycle, ThreadStillRunningKeepsTheDispatcherUntilItEnds) {
    base::Event entered(true, false);
    base::Event leave(true, false);
    recorder.action = [&](TSioBaseDispatcher&, const Note&) {
        entered.Set();
        (void)leave.Wait(std::chrono::seconds(10));
        return std::string();
    };
    dispatcher->RegisterEventTriggerHandler(recorder.Event());
    dispatcher->ChangeLengthTrigger(1);
    dispatcher->ThreadWaitLimit = std::chrono::milliseconds(50);
    line->Arrive("x");
    ASSERT_TRUE(entered.Wait(std::chrono::seconds(5)));
    const int32_t handle = dispatcher->fHandle;
    dispatcher.reset(); // gives up waiting; the dispatch thread now owns the dispatcher
    EXPECT_NE(PortListItem(handle), nullptr);
    EXPECT_FALSE(line->InUse());
    leave.Set();
    EXPECT_TRUE(WaitFor([&] { return PortListItem(handle) == nullptr; }));
}

TEST_F(DispatcherLifecycle, ThousandOpenCloseCyclesWithTrafficLeaveNothingBehind) {
    recorder.action = TakeOffered;
    const int32_t slots = PortListCount();
    for (int cycle = 0; cycle < 1000; ++cycle) {
        dispatcher.reset();
        Open();
        if (cycle % 2 == 0)
            dispatcher->RegisterEventTriggerHandler(recorder.Event());
        dispatcher->ChangeLengthTrigger(1);
        line->Arrive("ping " + std::to_string(cycle));
        ASSERT_EQ(dispatcher->PutString("pong"), 0);
        if (cycle % 100 == 0) {
            ASSERT_TRUE(WaitFor([&] { return line->SentCount() == 4; }));
            ASSERT_TRUE(WaitFor([&] {
                return recorder.AllData().find("ping " + std::to_string(cycle)) !=
                       std::string::npos;
            }));
        }
        dispatcher->DonePort();
        ASSERT_EQ(dispatcher->ActiveThreads.load(), 0) << cycle;
        ASSERT_TRUE(dispatcher->Released());
        ASSERT_FALSE(line->InUse());
    }
    dispatcher.reset();
    EXPECT_LE(PortListCount(), slots);
    loop.Pump();
    EXPECT_EQ(errors.Count(), 0u);
}

} // namespace
} // namespace serial::testing
