// Closing, the final release, device errors on the worker threads, and many open/close
// cycles with traffic.
#include "base/component.h"
#include "base/event.h"
#include "serial/error_codes.h"
#include "serial/port_list.h"
#include "serial/support/dispatcher_fixture.h"

#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

namespace serial::testing {
namespace {

class DispatcherLifecycle : public DispatcherTest {
protected:
    using Action = std::function<std::string(TSioBaseDispatcher&, const Note&)>;

    // Lets bytes arrive and keeps the dispatch thread inside the avail handler for them until
    // leave is set, then runs then_do there (by default it takes the bytes offered: reads
    // after a close answer a code, never touch freed memory).
    void HoldDispatchThreadIn(const std::string& bytes, Action then_do = TakeOffered) {
        recorder.action = [this, then_do](TSioBaseDispatcher& d, const Note& note) {
            entered.Set();
            (void)leave.Wait(std::chrono::seconds(10));
            return then_do(d, note);
        };
        dispatcher->RegisterEventTriggerHandler(recorder.Event());
        dispatcher->ChangeLengthTrigger(1);
        line->Arrive(bytes);
        ASSERT_TRUE(entered.Wait(std::chrono::seconds(5)));
    }

    base::Event entered{true, false};
    base::Event leave{true, false};
};

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

TEST_F(DispatcherLifecycle, WritesAfterADeviceErrorAreRefusedBeforeTheRelease) {
    // The dispatch thread sits in a handler, so the release waits; the port is still
    // allocated but nothing will send what is written now.
    HoldDispatchThreadIn("x");
    line->FailReads(true);
    auto& memory = static_cast<TSioMemoryDispatcher&>(*dispatcher);
    ASSERT_TRUE(WaitFor([&] { return !memory.ReadThreadRunning(); }));
    EXPECT_FALSE(dispatcher->Released());
    EXPECT_EQ(dispatcher->PutString("lost"), ecCommNotOpen);
    leave.Set();
    ASSERT_TRUE(WaitFor([&] { return dispatcher->ActiveThreads.load() == 0; }));
    EXPECT_EQ(line->Sent(), "");
}

TEST_F(DispatcherLifecycle, CloseDuringAHandlerDefersTheRelease) {
    dispatcher->ThreadWaitLimit = std::chrono::milliseconds(100);
    HoldDispatchThreadIn("held");
    dispatcher->DonePort();
    EXPECT_TRUE(dispatcher->ClosePending);
    EXPECT_FALSE(dispatcher->Released());
    // The dispatch thread still runs: the device stays open until it has left.
    EXPECT_TRUE(line->InUse());
    leave.Set();
    EXPECT_TRUE(WaitFor([&] { return dispatcher->ActiveThreads.load() == 0; }));
    EXPECT_TRUE(dispatcher->Released());
    EXPECT_FALSE(line->InUse());
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
    dispatcher->ThreadWaitLimit = std::chrono::milliseconds(50);
    HoldDispatchThreadIn("x", [](TSioBaseDispatcher&, const Note&) { return std::string(); });
    const int32_t handle = dispatcher->fHandle;
    dispatcher.reset(); // gives up waiting; the dispatch thread now owns the dispatcher
    EXPECT_NE(PortListItem(handle), nullptr);
    EXPECT_TRUE(line->InUse()); // closed by the last thread
    leave.Set();
    EXPECT_TRUE(WaitFor([&] { return PortListItem(handle) == nullptr; }));
    EXPECT_FALSE(line->InUse());
}

TEST_F(DispatcherLifecycle, DeviceIsClosedByTheLastThreadNeverUnderOne) {
    std::atomic<bool> open_in_handler{false};
    std::atomic<int32_t> dtr_result{1};
    dispatcher->ThreadWaitLimit = std::chrono::milliseconds(50);
    HoldDispatchThreadIn("x", [&](TSioBaseDispatcher& d, const Note&) {
        // A device call of the dispatch thread after the owner's close has given up on it.
        open_in_handler = D().DeviceOpen();
        dtr_result = d.SetDtr(false);
        return std::string();
    });
    dispatcher->DonePort(); // its wait for the dispatch thread runs out
    EXPECT_EQ(dispatcher->CidEx.load(), -1);
    EXPECT_TRUE(D().DeviceOpen());
    EXPECT_TRUE(line->InUse());
    leave.Set();
    ASSERT_TRUE(WaitFor([&] { return dispatcher->ActiveThreads.load() == 0; }));
    EXPECT_TRUE(open_in_handler);
    EXPECT_EQ(dtr_result.load(), 0);
    EXPECT_FALSE(line->Dtr());
    EXPECT_FALSE(D().DeviceOpen());
    EXPECT_FALSE(line->InUse());
    EXPECT_EQ(line->ClosedDeviceCalls(), 0);
}

TEST_F(DispatcherLifecycle, StuckReadThreadFindsTheDeviceOpenWhenItMovesAgain) {
    dispatcher->ThreadWaitLimit = std::chrono::milliseconds(50);
    line->HoldReads(true);
    line->Arrive("x"); // the read thread parks inside its device read
    ASSERT_TRUE(WaitFor([&] { return line->ReadsParked(); }));
    const int32_t reads = line->ReadCalls();
    dispatcher->DonePort(); // its wait for the read thread runs out
    EXPECT_TRUE(line->InUse());
    line->HoldReads(false);
    ASSERT_TRUE(WaitFor([&] { return dispatcher->ActiveThreads.load() == 0; }));
    EXPECT_EQ(line->ReadCalls(), reads + 1); // the read went to the open device
    EXPECT_EQ(line->ClosedDeviceCalls(), 0);
    EXPECT_FALSE(line->InUse());
    loop.Pump();
    EXPECT_EQ(errors.Count(), 0u);
}

TEST_F(DispatcherLifecycle, WorkerEndingDuringTheReleaseRaisesAgainstNoOwner) {
    // An owner that swallows errors raised against it (it is loading): a worker error that
    // reaches the error box was raised against no owner.
    base::TComponent owner;
    owner.BeginLoading();
    dispatcher.reset();
    dispatcher = TSioDispatcherPtr(new TSioMemoryDispatcher(&owner, line));
    ASSERT_EQ(dispatcher->InitPort("\\\\.\\COM3", 56000, 0, 8, 1, 4096, 4096, 3), 0);
    dispatcher->ThreadWaitLimit = kRaisedLimit;
    line->HoldReads(true);
    line->FailReads(true); // the read thread parks, then fails
    ASSERT_TRUE(WaitFor([&] { return line->ReadsParked(); }));
    TSioBaseDispatcher* raw = dispatcher.get();
    std::thread release([&] {
        // Lets the worker go once the release is under way.
        (void)WaitPlain([&] { return raw->KillThreads.load(); }, kRaisedLimit);
        line->HoldReads(false);
    });
    dispatcher.reset();
    release.join();
    loop.Pump();
    EXPECT_EQ(errors.Texts(), std::vector<std::string>{"EInOutError: Device read error"});
    EXPECT_FALSE(line->InUse());
}

TEST_F(DispatcherLifecycle, LateWorkerAfterATimedOutReleaseLeavesTheFreedOwnerAlone) {
    auto owner = std::make_unique<base::TComponent>();
    dispatcher.reset();
    dispatcher = TSioDispatcherPtr(new TSioMemoryDispatcher(owner.get(), line));
    ASSERT_EQ(dispatcher->InitPort("\\\\.\\COM3", 56000, 0, 8, 1, 4096, 4096, 3), 0);
    dispatcher->ThreadWaitLimit = std::chrono::milliseconds(50);
    line->HoldReads(true);
    line->FailReads(true);
    ASSERT_TRUE(WaitFor([&] { return line->ReadsParked(); }));
    const int32_t handle = dispatcher->fHandle;
    dispatcher.reset(); // times out: the read thread keeps the dispatcher
    EXPECT_NE(PortListItem(handle), nullptr);
    owner.reset(); // the owner goes while its worker still runs
    line->HoldReads(false);
    ASSERT_TRUE(WaitFor([&] { return PortListItem(handle) == nullptr; }));
    ASSERT_TRUE(WaitFor([&] { return errors.Count() == 1; }));
    EXPECT_EQ(errors.Boxes()[0].text, "EInOutError: Device read error");
    EXPECT_FALSE(line->InUse());
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
