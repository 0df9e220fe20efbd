// Opening, writing through the output ring, reading from the dispatch ring, flushing.
#include "serial/error_codes.h"
#include "serial/line_status.h"
#include "serial/port_list.h"
#include "serial/support/dispatcher_fixture.h"

#include <atomic>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace serial::testing {
namespace {

TEST(DispatcherOpen, FailuresReturnTheSystemCodeAndLeaveNothingOpen) {
    base::QueueMessageLoop loop;
    base::ScopedMessageLoop installed(loop);
    struct Case {
        const char* name;
        int32_t fail_open;
        bool held;
        int32_t expected;
    } cases[] = {
        {"COM9", 0, false, ecFileNotFound},    // no such port
        {"COM3", 0, true, ecFileAccessDenied}, // held by another program
        {"COM3", 8, false, ecOutOfMemory},     // passed on as is
        {"COM3", 1234, false, -1234},          // any other system error
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto line = std::make_shared<TMemoryLine>("COM3");
        line->FailOpen(c.fail_open);
        int32_t first_rc = 0;
        auto holder = c.held ? TSioMemoryDispatcher::Open(line, first_rc) : TSioDispatcherPtr();
        ASSERT_EQ(first_rc, 0);
        TSioDispatcherPtr d(new TSioMemoryDispatcher(nullptr, line));
        EXPECT_EQ(d->InitPort(std::string("\\\\.\\") + c.name, 56000, 0, 8, 1, 4096, 4096, 3),
                  c.expected);
        EXPECT_FALSE(d->DispActive);
        EXPECT_EQ(d->PutString("x"), ecCommNotOpen);
        uint8_t b = 0;
        EXPECT_EQ(d->GetChar(b), ecCommNotOpen);
    }
}

TEST(DispatcherOpen, FailedThreadStartFailsTheOpenAndLeavesNothingRunning) {
    base::QueueMessageLoop loop;
    base::ScopedMessageLoop installed(loop);
    base::RecordingErrorDisplay errors;
    const char* threads[] = {"read", "dispatch", "write", "status"};
    for (int32_t n = 1; n <= 4; ++n) {
        SCOPED_TRACE(threads[n - 1]);
        auto line = std::make_shared<TMemoryLine>("COM3");
        line->FailThreadStart(n);
        int32_t rc = 0;
        auto d = TSioMemoryDispatcher::Open(line, rc);
        EXPECT_EQ(rc, ecOutOfMemory);
        // The threads started before the failing one are gone, the device is closed.
        EXPECT_EQ(d->ActiveThreads.load(), 0);
        EXPECT_FALSE(d->DispActive);
        EXPECT_TRUE(d->Released());
        EXPECT_EQ(d->CidEx.load(), -1);
        EXPECT_FALSE(line->InUse());
        EXPECT_EQ(d->PutString("x"), ecCommNotOpen);
        d.reset();
        // The port opens again.
        line->FailThreadStart(0);
        auto again = TSioMemoryDispatcher::Open(line, rc);
        EXPECT_EQ(rc, 0);
        EXPECT_EQ(again->ActiveThreads.load(), 4);
    }
    loop.Pump();
    EXPECT_EQ(errors.Count(), 0u);
}

TEST(DispatcherOpen, RefusedLineSettingsFailTheOpenAndReleaseTheDevice) {
    base::QueueMessageLoop loop;
    base::ScopedMessageLoop installed(loop);
    auto line = std::make_shared<TMemoryLine>("COM3");
    line->RefuseState(87);
    int32_t rc = 0;
    auto d = TSioMemoryDispatcher::Open(line, rc);
    EXPECT_EQ(rc, ecInvalidParameter);
    EXPECT_FALSE(line->InUse());
    EXPECT_FALSE(d->DispActive);
}

TEST(DispatcherOpen, PortListHandlesAreReusedAndTravelInLParam) {
    base::QueueMessageLoop loop;
    base::ScopedMessageLoop installed(loop);
    auto line = std::make_shared<TMemoryLine>("COM3");
    TSioDispatcherPtr a(new TSioMemoryDispatcher(nullptr, line));
    TSioDispatcherPtr b(new TSioMemoryDispatcher(nullptr, line));
    const int32_t ha = a->fHandle;
    const int32_t hb = b->fHandle;
    EXPECT_NE(ha, hb);
    EXPECT_EQ(PortListItem(ha), a.get());
    a.reset();
    EXPECT_EQ(PortListItem(ha), nullptr);
    TSioDispatcherPtr c(new TSioMemoryDispatcher(nullptr, line));
    EXPECT_EQ(c->fHandle, ha); // the first empty slot is taken again
    EXPECT_EQ(PortListItem(hb), b.get());
}

TEST(DispatcherOpen, InitPortAppliesDtrRtsAndTheLine) {
    base::QueueMessageLoop loop;
    base::ScopedMessageLoop installed(loop);
    auto line = std::make_shared<TMemoryLine>("COM3");
    int32_t rc = -1;
    auto d = TSioMemoryDispatcher::Open(line, rc);
    ASSERT_EQ(rc, 0);
    EXPECT_TRUE(line->Dtr());
    EXPECT_TRUE(line->Rts());
    EXPECT_EQ(line->AppliedDcb().BaudRate, 56000u);
    EXPECT_EQ(line->AppliedDcb().ByteSize, 8);
    EXPECT_TRUE(d->DispActive);
    EXPECT_EQ(d->ActiveThreads.load(), 4);
    EXPECT_EQ(d->InitPort("\\\\.\\COM3", 56000, 0, 8, 1, 4096, 4096, 3), ecAlreadyOpen);
    TSioDispatcherPtr unsized(new TSioMemoryDispatcher(nullptr, line));
    EXPECT_EQ(unsized->InitPort("\\\\.\\COM3", 56000, 0, 8, 1, 4096, 0, 3), ecBadArgument);
}

using DispatcherOutput = DispatcherTest;

TEST_F(DispatcherOutput, PutBlockLimitsAndCodes) {
    dispatcher.reset();
    Open(16);
    line->Stall(true); // keep what is written in the ring
    EXPECT_EQ(dispatcher->PutBlock(nullptr, 0), 0);
    EXPECT_EQ(dispatcher->PutString(std::string(17, 'a')), ecOutputBufferTooSmall);
    EXPECT_EQ(dispatcher->OutBuffUsed(), 0); // nothing queued
    ASSERT_EQ(dispatcher->PutString(std::string(10, 'a')), 0);
    // The write thread takes the first burst out of the ring and then hangs on the stalled
    // line: the bytes are in flight, still used, but no longer in the ring.
    ASSERT_TRUE(WaitFor([&] { return D().InFlightBytes() == 10; }));
    EXPECT_EQ(dispatcher->OutBuffUsed(), 10);
    EXPECT_EQ(dispatcher->OutBuffFree(), 6);
    EXPECT_EQ(dispatcher->PutString(std::string(17, 'b')), ecOutputBufferTooSmall);
    // What fits the ring's own room is taken, bytes in flight or not.
    EXPECT_EQ(dispatcher->PutString(std::string(16, 'c')), 0);
    EXPECT_EQ(dispatcher->OutBuffUsed(), 26);
    EXPECT_EQ(dispatcher->OutBuffFree(), 0);
    EXPECT_EQ(dispatcher->PutChar('d'), ecOutputBufferTooSmall);
    // Nothing of a refused write is sent.
    line->Stall(false);
    ASSERT_TRUE(WaitFor([&] { return dispatcher->OutBuffUsed() == 0; }));
    EXPECT_EQ(line->Sent(), std::string(10, 'a') + std::string(16, 'c'));
}

TEST_F(DispatcherOutput, BytesReachTheLineInOrderAcrossRingWraps) {
    dispatcher.reset();
    Open(64);
    std::string expected;
    for (int i = 0; i < 200; ++i) {
        const std::string chunk = std::to_string(i) + ",";
        // A full ring waits for the write thread; nothing is dropped or reordered.
        ASSERT_TRUE(WaitFor([&] { return dispatcher->OutBuffFree() >= int32_t(chunk.size()); }));
        ASSERT_EQ(dispatcher->PutString(chunk), 0);
        expected += chunk;
    }
    ASSERT_TRUE(WaitFor([&] { return line->SentCount() == expected.size(); }));
    EXPECT_EQ(line->Sent(), expected);
}

TEST_F(DispatcherOutput, FullRingIsWrittenOutOldestFirst) {
    dispatcher.reset();
    Open(8);
    line->SetTransmitDelay(std::chrono::microseconds(20000));
    ASSERT_EQ(dispatcher->PutString("01234567"), 0); // the thread takes it as one burst
    ASSERT_TRUE(WaitFor([&] { return D().InFlightBytes() == 8; }));
    ASSERT_EQ(dispatcher->PutString("abcdefgh"), 0); // wraps nowhere, fills the ring
    ASSERT_TRUE(WaitFor([&] { return line->SentCount() == 16; }));
    EXPECT_EQ(line->Sent(), "01234567abcdefgh");
}

TEST_F(DispatcherOutput, FlushAbortsAStuckWriteWithoutAnError) {
    line->Stall(true);
    ASSERT_EQ(dispatcher->PutString("stuck bytes"), 0);
    ASSERT_TRUE(WaitFor([&] { return D().InFlightBytes() == 11; })); // in the writer
    ASSERT_EQ(dispatcher->PutString("queued"), 0);
    dispatcher->OutFlushAck.Set(); // a stale acknowledgement must not end the flush early
    EXPECT_EQ(dispatcher->FlushOutBuffer(), 0);
    EXPECT_EQ(dispatcher->OutBuffUsed(), 0);
    line->Stall(false);
    ASSERT_EQ(dispatcher->PutString("after"), 0);
    ASSERT_TRUE(WaitFor([&] { return line->SentCount() == 5; }));
    EXPECT_EQ(line->Sent(), "after");
    EXPECT_EQ(errors.Count(), 0u);
    EXPECT_TRUE(D().WriteThreadRunning());
}

TEST_F(DispatcherOutput, RefusedWriteDoesNotInventLineErrors) {
    line->RefuseWrites(true);
    // The error query fails too: its code is no error bits.
    line->FailErrorQuery(ecCommNotOpen);
    EXPECT_EQ(dispatcher->PutString("x"), ecPutBlockFail);
    line->FailErrorQuery(0);
    EXPECT_EQ(dispatcher->GetLineError(), leNone);
    EXPECT_FALSE(dispatcher->CheckLineBreak());
    // What the device does report is kept, masked as a refresh takes it.
    line->AddLineErrors(leParityBit);
    EXPECT_EQ(dispatcher->PutString("x"), ecPutBlockFail);
    EXPECT_EQ(dispatcher->GetLineError(), leParity);
    line->RefuseWrites(false);
    EXPECT_EQ(dispatcher->PutString("x"), 0);
}

using DispatcherInput = DispatcherTest;

TEST_F(DispatcherInput, ReadsPeeksAndTheirLimits) {
    line->Arrive("hello");
    ASSERT_TRUE(WaitFor([&] { return dispatcher->InBuffUsed() == 5; }));
    EXPECT_EQ(dispatcher->InBuffFree(), 8192 - 5);
    uint8_t c = 0;
    EXPECT_EQ(dispatcher->PeekChar(c, 2), 0);
    EXPECT_EQ(c, 'e');
    EXPECT_EQ(dispatcher->PeekChar(c, 6), ecBufferIsEmpty);
    EXPECT_EQ(dispatcher->PeekChar(c, 0), ecBadArgument);
    uint8_t block[8] = {};
    EXPECT_EQ(dispatcher->GetBlock(block, 6), ecBufferIsEmpty);
    EXPECT_EQ(block[0], 0); // nothing copied
    EXPECT_EQ(dispatcher->PeekBlock(block, 5), 5);
    EXPECT_EQ(dispatcher->InBuffUsed(), 5);
    EXPECT_EQ(dispatcher->GetChar(c), 0);
    EXPECT_EQ(c, 'h');
    EXPECT_EQ(dispatcher->GetBlock(block, 4), 4);
    EXPECT_EQ(std::string(block, block + 4), "ello");
    EXPECT_FALSE(dispatcher->CharReady());
    EXPECT_EQ(dispatcher->GetChar(c), ecBufferIsEmpty);
}

TEST_F(DispatcherInput, FullRingKeepsBytesQueuedAndLosesNone) {
    std::vector<uint8_t> bytes(8192 + 700);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + i / 256);
    line->Arrive(bytes);
    ASSERT_TRUE(WaitFor([&] { return dispatcher->DispatchFullState(); }));
    EXPECT_EQ(dispatcher->InBuffUsed(), 8192);
    EXPECT_EQ(dispatcher->InBuffFree(), 0);
    ASSERT_TRUE(WaitFor([&] { return dispatcher->FQueue.FBytesQueued() > 0; }));
    std::vector<uint8_t> got(bytes.size());
    ASSERT_EQ(dispatcher->GetBlock(got.data(), 5000), 5000);
    // The rest moves in as soon as room appears.
    ASSERT_TRUE(WaitFor([&] { return dispatcher->InBuffUsed() == int32_t(bytes.size() - 5000); }));
    ASSERT_EQ(dispatcher->GetBlock(got.data() + 5000, uint32_t(bytes.size() - 5000)),
              int32_t(bytes.size() - 5000));
    EXPECT_EQ(got, bytes);
}

TEST_F(DispatcherInput, FullRingWithBlocksQueuedIsWaitedOnNotSpunOn) {
    std::atomic<uint64_t> passes_at_timer{0};
    recorder.action = [&](TSioBaseDispatcher& d, const Note& note) {
        if (note.msg == APW_TRIGGERTIMER)
            passes_at_timer = d.DispatchPasses();
        return std::string();
    };
    dispatcher->RegisterEventTriggerHandler(recorder.Event());
    line->Arrive(std::vector<uint8_t>(8192 + 700, 'q'));
    ASSERT_TRUE(WaitFor(
        [&] { return dispatcher->DispatchFullState() && dispatcher->FQueue.FBytesQueued() > 0; }));
    // Nothing can move now. Over a timer of 4 ticks (about 220 ms) a dispatch thread that
    // waits wakes a handful of times (every 50 ms at most); one that spins on the blocks it
    // cannot move runs thousands of passes.
    const int32_t timer = dispatcher->AddTimerTrigger();
    ASSERT_EQ(dispatcher->SetTimerTrigger(uint32_t(timer), 4, true), 0);
    const uint64_t before = dispatcher->DispatchPasses();
    ASSERT_TRUE(WaitFor([&] { return recorder.Count(APW_TRIGGERTIMER) == 1; }));
    EXPECT_LT(passes_at_timer.load() - before, 100u);
    EXPECT_EQ(dispatcher->InBuffUsed(), 8192);
}

TEST_F(DispatcherInput, FlushDropsRingAndQueueButNotLaterBytes) {
    line->Arrive(std::string(300, 'x'));
    ASSERT_TRUE(WaitFor([&] { return dispatcher->InBuffUsed() == 300; }));
    EXPECT_EQ(dispatcher->FlushInBuffer(), 0);
    EXPECT_EQ(dispatcher->InBuffUsed(), 0);
    line->Arrive("new");
    ASSERT_TRUE(WaitFor([&] { return dispatcher->InBuffUsed() == 3; }));
    uint8_t block[3];
    ASSERT_EQ(dispatcher->GetBlock(block, 3), 3);
    EXPECT_EQ(std::string(block, block + 3), "new");
}

TEST(DispatcherQueue, ReadComAndQueueCountsStopAtAStatusBlock) {
    base::QueueMessageLoop loop;
    base::ScopedMessageLoop installed(loop);
    // Not opened: no thread takes the blocks pushed here.
    TSioDispatcherPtr d(new TSioMemoryDispatcher(nullptr, std::make_shared<TMemoryLine>()));
    auto data = [](const std::string& text) {
        auto block = std::make_unique<TDataBuffer>(256);
        std::copy(text.begin(), text.end(), block->FData.begin());
        block->FDataUsed = static_cast<int32_t>(text.size());
        return block;
    };
    d->FQueue.Push(data("abc"));
    d->FQueue.Push(data("de"));
    d->FQueue.Push(std::make_unique<TStatusBuffer>(EV_CTS));
    d->FQueue.Push(data("fg"));
    EXPECT_EQ(d->InQueueUsed(), 3);
    uint8_t out[16] = {};
    EXPECT_EQ(d->ReadCom(out, 2), 2); // part of a block: it stays with the rest
    EXPECT_EQ(d->InQueueUsed(), 1);
    EXPECT_EQ(d->ReadCom(out + 2, 16), 3); // across blocks, up to the line event
    EXPECT_EQ(std::string(out, out + 5), "abcde");
    EXPECT_EQ(d->InQueueUsed(), 0);
    EXPECT_EQ(d->ReadCom(out, 16), 0);
    auto status = d->FQueue.Pop();
    ASSERT_NE(dynamic_cast<TStatusBuffer*>(status.get()), nullptr);
    EXPECT_EQ(d->ReadCom(out, 16), 2);
    EXPECT_EQ(d->FQueue.Count(), 0u);
    // A data block with nothing unread does not hide the bytes behind it.
    d->FQueue.Push(data(""));
    d->FQueue.Push(data("hi"));
    EXPECT_EQ(d->InQueueUsed(), 2);
    EXPECT_EQ(d->FQueue.Count(), 1u);
}

TEST(DispatcherQueue, ClearKeepsTheBlockInUse) {
    TIOQueue queue;
    queue.Push(std::make_unique<TDataBuffer>(256));
    queue.Push(std::make_unique<TDataBuffer>(256));
    EXPECT_EQ(queue.FBytesQueued(), 512);
    TIOBuffer* held = queue.Peek();
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(queue.Peek(), nullptr); // already in use
    queue.Clear();
    EXPECT_EQ(queue.Count(), 1u);
    EXPECT_EQ(queue.FBytesQueued(), 256);
    queue.Release(held);
    EXPECT_TRUE(queue.WaitForBuffer(std::chrono::milliseconds(0)));
    EXPECT_NE(queue.Pop(), nullptr);
    EXPECT_EQ(queue.Pop(), nullptr);
    EXPECT_EQ(queue.FBytesQueued(), 0);
}

TEST(DispatcherQueue, TakeAllHandsOverEveryBlockNotInUseOldestFirst) {
    TIOQueue queue;
    queue.Push(std::make_unique<TDataBuffer>(10));
    TIOBuffer* held = queue.Peek();
    queue.Push(std::make_unique<TDataBuffer>(20));
    queue.Push(std::make_unique<TStatusBuffer>(EV_CTS));
    queue.Push(std::make_unique<TDataBuffer>(30));
    const auto taken = queue.TakeAll();
    ASSERT_EQ(taken.size(), 3u);
    EXPECT_EQ(taken[0]->FDataSize, 20);
    EXPECT_NE(dynamic_cast<TStatusBuffer*>(taken[1].get()), nullptr);
    EXPECT_EQ(taken[2]->FDataSize, 30);
    EXPECT_EQ(queue.Count(), 1u);
    EXPECT_EQ(queue.FBytesQueued(), 10);
    queue.Release(held);
    EXPECT_EQ(queue.TakeAll().size(), 1u);
    EXPECT_EQ(queue.FBytesQueued(), 0);
}

} // namespace
} // namespace serial::testing
