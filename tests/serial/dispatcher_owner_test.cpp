// The owner thread inside the dispatch thread's calls: closing, releasing and flushing from
// a synchronized or window handler (which the dispatch thread waits for), and
// deregistering a handler while it runs. The thread limits are raised, so that a wait of
// the owner for itself shows as work that does not end within the usual wait.
#include "base/event.h"
#include "serial/error_codes.h"
#include "serial/port_list.h"
#include "serial/support/dispatcher_fixture.h"

#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace serial::testing {
namespace {

TSioDispatcherPtr OpenWithRaisedLimits(const std::shared_ptr<TMemoryLine>& line) {
    int32_t rc = -1;
    TSioDispatcherPtr d = TSioMemoryDispatcher::Open(line, rc);
    EXPECT_EQ(rc, 0);
    d->ThreadWaitLimit = kRaisedLimit;
    static_cast<TSioMemoryDispatcher&>(*d).FlushWaitLimit = kRaisedLimit;
    return d;
}

TEST(DispatcherOwnerThread, CloseFromASynchronizedHandlerReturnsAtOnce) {
    base::RecordingErrorDisplay errors;
    auto line = std::make_shared<TMemoryLine>("COM3");
    std::atomic<bool> pending{false};
    std::atomic<bool> released{false};
    ForeignOwner owner([&](base::QueueMessageLoop& loop) {
        TSioDispatcherPtr d = OpenWithRaisedLimits(line);
        NoteRecorder recorder;
        recorder.dispatcher = d.get();
        recorder.action = [&](TSioBaseDispatcher& x, const Note&) {
            x.DonePort(); // the dispatch thread waits for this very call
            pending = x.ClosePending.load();
            return std::string();
        };
        d->RegisterSyncEventTriggerHandler(recorder.Event());
        d->ChangeLengthTrigger(1);
        line->Arrive("close from OnTriggerAvail");
        EXPECT_TRUE(loop.PumpUntil([&] { return d->ActiveThreads.load() == 0; }, kRaisedLimit));
        released = d->Released();
        d.reset();
    });
    ASSERT_TRUE(owner.Ended());
    EXPECT_TRUE(pending);
    EXPECT_TRUE(released); // by the dispatch thread as it left
    EXPECT_FALSE(line->InUse());
    EXPECT_EQ(errors.Count(), 0u);
}

TEST(DispatcherOwnerThread, ReleaseFromASynchronizedHandlerHandsTheDispatcherToItsThreads) {
    base::RecordingErrorDisplay errors;
    auto line = std::make_shared<TMemoryLine>("COM3");
    std::atomic<int32_t> handle{-1};
    std::atomic<bool> dropped{false};
    std::atomic<bool> freed{false};
    ForeignOwner owner([&](base::QueueMessageLoop& loop) {
        TSioDispatcherPtr d = OpenWithRaisedLimits(line);
        handle = d->fHandle;
        NoteRecorder recorder;
        recorder.dispatcher = d.get();
        recorder.action = [&](TSioBaseDispatcher&, const Note&) {
            d.reset(); // the owner lets go inside the dispatch thread's call
            dropped = true;
            return std::string();
        };
        d->RegisterSyncEventTriggerHandler(recorder.Event());
        d->ChangeLengthTrigger(1);
        line->Arrive("drop");
        freed = loop.PumpUntil([&] { return dropped && PortListItem(handle) == nullptr; },
                               kRaisedLimit);
    });
    ASSERT_TRUE(owner.Ended());
    EXPECT_TRUE(dropped);
    EXPECT_TRUE(freed); // the last thread freed it when it ended
    EXPECT_FALSE(line->InUse());
    EXPECT_EQ(errors.Count(), 0u);
}

class ClosingWindow : public TSioWindow {
public:
    void WndProc(uint32_t Msg, uint32_t, int32_t) override {
        if (Msg != APW_TRIGGERAVAIL || dispatcher == nullptr)
            return;
        dispatcher->DonePort();
        closed_pending = dispatcher->ClosePending.load();
    }
    TSioBaseDispatcher* dispatcher = nullptr;
    std::atomic<bool> closed_pending{false};
};

TEST(DispatcherOwnerThread, CloseFromTheWindowHandlerReturnsAtOnce) {
    base::RecordingErrorDisplay errors;
    auto line = std::make_shared<TMemoryLine>("COM3");
    ClosingWindow window;
    std::atomic<bool> ended{false};
    ForeignOwner owner([&](base::QueueMessageLoop& loop) {
        TSioDispatcherPtr d = OpenWithRaisedLimits(line);
        window.dispatcher = d.get();
        d->RegisterWndTriggerHandler(&window);
        d->UpdateHandlerFlags(TSioHandlerFlagUpdate::fuEnablePort);
        d->ChangeLengthTrigger(1);
        line->Arrive("close from the port window");
        ended = loop.PumpUntil([&] { return d->ActiveThreads.load() == 0; }, kRaisedLimit);
        d.reset();
    });
    ASSERT_TRUE(owner.Ended());
    EXPECT_TRUE(window.closed_pending);
    EXPECT_TRUE(ended);
    EXPECT_FALSE(line->InUse());
    EXPECT_EQ(errors.Count(), 0u);
}

TEST(DispatcherOwnerThread, FlushInsideTheOwnersFlushWaitDoesNotTakeItsAnswer) {
    base::RecordingErrorDisplay errors;
    auto line = std::make_shared<TMemoryLine>("COM3");
    std::atomic<int> nested{0};
    std::atomic<bool> outer_done{false};
    ForeignOwner owner([&](base::QueueMessageLoop&) {
        TSioDispatcherPtr d = OpenWithRaisedLimits(line);
        NoteRecorder recorder;
        recorder.dispatcher = d.get();
        recorder.action = [&](TSioBaseDispatcher& x, const Note&) {
            if (nested++ == 0)
                (void)x.FlushOutBuffer(); // a second flusher, run inside the first's wait
            return std::string();
        };
        d->RegisterSyncEventTriggerHandler(recorder.Event());
        d->ChangeLengthTrigger(1);
        // The write thread is stuck inside a device write with a burst in flight: it sees
        // neither flush until the test lets it go, so both requests are made first.
        line->HoldWrites(true);
        ASSERT_EQ(d->PutString(std::string(200, 'w')), 0);
        ASSERT_TRUE(WaitPlain([&] { return line->WritesParked(); }));
        line->Arrive("x");
        ASSERT_TRUE(WaitPlain([&] { return d->HandlerCallInProgress(); }));
        (void)d->FlushOutBuffer(); // runs the synchronized handler while it waits
        outer_done = true;
        EXPECT_EQ(nested.load(), 1);
        EXPECT_EQ(d->OutBuffUsed(), 0);
        d.reset();
    });
    ASSERT_TRUE(WaitPlain([&] { return line->FlushCalls() == 2; }));
    line->HoldWrites(false);
    ASSERT_TRUE(owner.Ended());
    EXPECT_TRUE(outer_done);
    EXPECT_EQ(line->SentCount(), 0u); // the burst was dropped
    EXPECT_EQ(errors.Count(), 0u);
}

TEST(DispatcherOwnerThread, FlushFromAHandlerAndFromTheOwnerEachGetAnAnswer) {
    base::RecordingErrorDisplay errors;
    auto line = std::make_shared<TMemoryLine>("COM3");
    std::atomic<bool> handler_flushed{false};
    base::Event flush_now(true, false);
    ForeignOwner owner([&](base::QueueMessageLoop& loop) {
        TSioDispatcherPtr d = OpenWithRaisedLimits(line);
        NoteRecorder recorder;
        recorder.dispatcher = d.get();
        recorder.action = [&](TSioBaseDispatcher& x, const Note&) {
            flush_now.Set();
            (void)x.FlushOutBuffer(); // on the dispatch thread
            handler_flushed = true;
            return std::string();
        };
        d->RegisterEventTriggerHandler(recorder.Event());
        d->ChangeLengthTrigger(1);
        line->HoldWrites(true);
        ASSERT_EQ(d->PutString(std::string(200, 'w')), 0);
        ASSERT_TRUE(WaitPlain([&] { return line->WritesParked(); }));
        line->Arrive("x");
        ASSERT_TRUE(flush_now.Wait(std::chrono::seconds(5)));
        (void)d->FlushOutBuffer();
        EXPECT_TRUE(loop.PumpUntil([&] { return handler_flushed.load(); }, kRaisedLimit));
        d.reset();
    });
    ASSERT_TRUE(WaitPlain([&] { return line->FlushCalls() == 2; }));
    line->HoldWrites(false);
    ASSERT_TRUE(owner.Ended());
    EXPECT_TRUE(handler_flushed);
    EXPECT_EQ(errors.Count(), 0u);
}

// A handler that needs the owner thread to finish (it makes a synchronized call), and
// records what it did after that.
class SlowHandler {
public:
    base::Event entered{true, false};
    std::atomic<bool> finished{false};
    std::string trace;

    void Notify(uint32_t, uint32_t, int32_t) {
        entered.Set();
        base::CurrentMessageLoop().Synchronize([] {});
        trace += "touched after the synchronized call";
        finished = true;
    }
    TSioNotifyEvent Event() { return TSioNotifyEvent::Of<&SlowHandler::Notify>(this); }
};

using DispatcherDeregister = DispatcherTest;

TEST_F(DispatcherDeregister, FromTheOwnerWaitsForTheCallInProgress) {
    auto handler = std::make_unique<SlowHandler>();
    dispatcher->ThreadWaitLimit = kRaisedLimit;
    dispatcher->RegisterEventTriggerHandler(handler->Event());
    dispatcher->ChangeLengthTrigger(1);
    line->Arrive("x");
    ASSERT_TRUE(handler->entered.Wait(std::chrono::seconds(5)));
    // The handler runs on the dispatch thread and waits for the owner thread: the
    // deregistration must run that call and return only when the handler has returned.
    dispatcher->DeregisterEventTriggerHandler(handler->Event());
    const bool finished = handler->finished;
    EXPECT_TRUE(finished);
    if (!finished) { // let it end before its object goes
        ASSERT_TRUE(WaitFor([&] { return handler->finished.load(); }));
    }
    handler.reset(); // the owner frees what the handler used
    EXPECT_TRUE(WaitFor([&] { return dispatcher->HandlerCount() == 0; }));
    line->Arrive("y");
    EXPECT_TRUE(WaitFor([&] { return dispatcher->InBuffUsed() == 2; }));
}

TEST_F(DispatcherDeregister, SynchronizedHandlerDeregisteredBeforeItsCallRunsIsNotCalled) {
    dispatcher->ThreadWaitLimit = kRaisedLimit;
    dispatcher->RegisterSyncEventTriggerHandler(recorder.Event());
    dispatcher->ChangeLengthTrigger(1);
    line->Arrive("x");
    // The dispatch thread has picked the handler and waits for the owner thread to run it.
    ASSERT_TRUE(WaitPlain([&] { return dispatcher->HandlerCallInProgress(); }));
    dispatcher->DeregisterEventTriggerHandler(recorder.Event());
    EXPECT_FALSE(dispatcher->HandlerCallInProgress());
    loop.Pump();
    EXPECT_EQ(recorder.Notes().size(), 0u);
    EXPECT_TRUE(WaitFor([&] { return dispatcher->HandlerCount() == 0; }));
}

TEST_F(DispatcherDeregister, FromAnotherThreadWaitsForTheCallInProgress) {
    auto handler = std::make_unique<SlowHandler>();
    dispatcher->ThreadWaitLimit = kRaisedLimit;
    dispatcher->RegisterEventTriggerHandler(handler->Event());
    dispatcher->ChangeLengthTrigger(1);
    line->Arrive("x");
    ASSERT_TRUE(handler->entered.Wait(std::chrono::seconds(5)));
    std::atomic<bool> finished_at_return{false};
    std::atomic<bool> returned{false};
    std::thread other([&] {
        dispatcher->DeregisterEventTriggerHandler(handler->Event());
        finished_at_return = handler->finished.load();
        returned = true;
    });
    // The owner thread runs the handler's synchronized call; the other thread's
    // deregistration returns only after the handler has returned.
    EXPECT_TRUE(WaitFor([&] { return returned.load(); }));
    other.join();
    EXPECT_TRUE(finished_at_return);
}

} // namespace
} // namespace serial::testing
