// Triggers and their notifications: avail, data, timer; handler lists and delivery.
#include "base/event.h"
#include "base/exceptions.h"
#include "serial/error_codes.h"
#include "serial/support/dispatcher_fixture.h"

#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

namespace serial::testing {
namespace {

using DispatcherNotify = DispatcherTest;

TEST_F(DispatcherNotify, OneAvailPerArrivalOfferingEveryUnreadByte) {
    recorder.action = TakeOffered;
    dispatcher->RegisterEventTriggerHandler(recorder.Event());
    dispatcher->ChangeLengthTrigger(1);
    const std::string arrivals[] = {"a", std::string(30, 'b'), std::string(256, 'c'),
                                    std::string(700, 'd')};
    size_t total = 0;
    for (const auto& bytes : arrivals) {
        line->Arrive(bytes);
        total += bytes.size();
        ASSERT_TRUE(WaitFor([&] { return recorder.AllData().size() == total; }));
        EXPECT_EQ(dispatcher->InBuffUsed(), 0);
    }
    for (const auto& note : recorder.Notes()) {
        EXPECT_EQ(note.msg, APW_TRIGGERAVAIL);
        EXPECT_EQ(note.data.size(), note.wparam);
        EXPECT_EQ(note.lparam >> 16, dispatcher->fHandle);
        EXPECT_EQ(note.lparam & 0xFFFF, 0);
    }
    EXPECT_EQ(recorder.AllData(), arrivals[0] + arrivals[1] + arrivals[2] + arrivals[3]);
}

TEST_F(DispatcherNotify, ExactlyAFullRingOfNewBytesIsStillOffered) {
    recorder.action = TakeOffered;
    dispatcher->RegisterEventTriggerHandler(recorder.Event());
    dispatcher->ChangeLengthTrigger(1);
    auto push = [&](int32_t size, char fill) {
        auto block = std::make_unique<TDataBuffer>(256);
        std::fill(block->FData.begin(), block->FData.end(), static_cast<uint8_t>(fill));
        block->FDataUsed = size;
        dispatcher->FQueue.Push(std::move(block));
    };
    for (const char fill : {'a', 'b'}) {
        {
            // Held so that the dispatch thread moves all 8192 bytes in one pass: the head
            // comes back to where the last offer left it.
            std::lock_guard hold(dispatcher->DispSection);
            for (int i = 0; i < 32; ++i)
                push(256, fill);
        }
        ASSERT_TRUE(WaitFor([&] {
            return recorder.AllData().size() % 8192 == 0 && recorder.AllData().back() == fill;
        }));
    }
    EXPECT_EQ(recorder.AllData(), std::string(8192, 'a') + std::string(8192, 'b'));
}

TEST_F(DispatcherNotify, PartlyTakenBytesAreOfferedAgainOnlyWithNewBytes) {
    recorder.action = [](TSioBaseDispatcher& d, const Note& note) -> std::string {
        if (note.msg != APW_TRIGGERAVAIL)
            return {};
        uint8_t two[2];
        return d.GetBlock(two, 2) == 2 ? std::string(two, two + 2) : "<error>";
    };
    dispatcher->RegisterEventTriggerHandler(recorder.Event());
    dispatcher->ChangeLengthTrigger(1);
    const int32_t timer = dispatcher->AddTimerTrigger();
    line->Arrive("abcde");
    ASSERT_TRUE(WaitFor([&] { return recorder.Count(APW_TRIGGERAVAIL) == 1; }));
    // A timer notification comes several passes later; no second offer may precede it.
    ASSERT_EQ(dispatcher->SetTimerTrigger(timer, 2, true), 0);
    ASSERT_TRUE(WaitFor([&] { return recorder.Count(APW_TRIGGERTIMER) == 1; }));
    EXPECT_EQ(recorder.Count(APW_TRIGGERAVAIL), 1u);
    EXPECT_EQ(dispatcher->InBuffUsed(), 3);
    line->Arrive("fg");
    ASSERT_TRUE(WaitFor([&] { return recorder.Count(APW_TRIGGERAVAIL) == 2; }));
    const auto notes = recorder.Notes();
    EXPECT_EQ(notes[0].wparam, 5u);
    EXPECT_EQ(notes[2].wparam, 5u); // the 3 left over and the 2 new
    EXPECT_EQ(notes[2].data, "cd");
}

TEST_F(DispatcherNotify, HandlersSeeTheSameBytesAndTheTailMovesByTheMostTaken) {
    NoteRecorder second;
    second.dispatcher = dispatcher.get();
    recorder.action = [](TSioBaseDispatcher& d, const Note& note) -> std::string {
        uint8_t four[4];
        return note.msg == APW_TRIGGERAVAIL && d.GetBlock(four, 4) == 4
                   ? std::string(four, four + 4)
                   : "<error>";
    };
    second.action = TakeOffered;
    dispatcher->RegisterEventTriggerHandler(recorder.Event());
    dispatcher->RegisterEventTriggerHandler(second.Event());
    dispatcher->ChangeLengthTrigger(1);
    line->Arrive("0123456789");
    ASSERT_TRUE(WaitFor([&] { return second.Count(APW_TRIGGERAVAIL) == 1; }));
    EXPECT_EQ(recorder.AllData(), "0123");
    EXPECT_EQ(second.AllData(), "0123456789");
    EXPECT_EQ(dispatcher->InBuffUsed(), 0);
}

TEST_F(DispatcherNotify, DataMatchGivesAvailForTheBytesBeforeThenDataLastToFirst) {
    recorder.action = TakeOffered;
    dispatcher->RegisterEventTriggerHandler(recorder.Event());
    dispatcher->ChangeLengthTrigger(1);
    const int32_t aab = dispatcher->AddDataTrigger("AAB", false);
    const int32_t b = dispatcher->AddDataTrigger("b", true);
    ASSERT_GT(aab, 0);
    ASSERT_GT(b, 0);
    line->Arrive("xyAAAB");
    ASSERT_TRUE(WaitFor([&] { return recorder.Count(APW_TRIGGERAVAIL) == 2; }));
    const auto notes = recorder.Notes();
    ASSERT_EQ(notes.size(), 4u);
    EXPECT_EQ(notes[0].msg, APW_TRIGGERAVAIL);
    EXPECT_EQ(notes[0].data, "xyA");         // up to the longest matched string
    EXPECT_EQ(notes[1].wparam, uint32_t(b)); // the later trigger first
    EXPECT_EQ(notes[1].lparam & 0xFFFF, 1);
    EXPECT_EQ(notes[2].wparam, uint32_t(aab));
    EXPECT_EQ(notes[2].lparam & 0xFFFF, 3);
    EXPECT_EQ(notes[3].data, "AAB"); // the matched bytes are offered after the data
}

TEST_F(DispatcherNotify, DataTriggerMatcherCases) {
    // Each input ends in a sentinel byte whose trigger fires last, so a count taken after it
    // is final. A completed string empties every partial match, overlapping ones included.
    struct Case {
        const char* pattern;
        bool ignore_case;
        const char* input;
        size_t fires;
    } cases[] = {
        {"AAB", false, "AAAB", 1},        {"AAB", false, "AABAAB", 2}, {"ABAB", false, "ABABAB", 1},
        {"ABA", false, "ABABA", 1},       {"ok", true, "xOKyoKz", 2},  {"ok", false, "OK", 0},
        {"\r\n", false, "a\r\rb\r\n", 1}, {"abc", false, "ab", 0},     {"x", false, "xxx", 3},
        {"abcab", false, "abcabcab", 1},
    };
    dispatcher->RegisterEventTriggerHandler(recorder.Event());
    const int32_t sentinel = dispatcher->AddDataTrigger("\x01", false);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " in " + c.input);
        const int32_t h = dispatcher->AddDataTrigger(c.pattern, c.ignore_case);
        ASSERT_GT(h, 0);
        const size_t before = recorder.Count(APW_TRIGGERDATA);
        line->Arrive(std::string(c.input) + "\x01");
        ASSERT_TRUE(WaitFor([&] {
            const auto notes = recorder.Notes();
            return !notes.empty() && notes.back().wparam == uint32_t(sentinel);
        }));
        EXPECT_EQ(recorder.Count(APW_TRIGGERDATA) - before, c.fires + 1);
        EXPECT_EQ(dispatcher->RemoveTrigger(uint32_t(h)), 0);
        EXPECT_EQ(dispatcher->FlushInBuffer(), 0);
        recorder.Notify(0, 0, 0); // a marker, so the next wait sees a fresh sentinel
    }
}

TEST_F(DispatcherNotify, PartialMatchDoesNotGoOnAcrossBytesTakenBeforeTheScan) {
    const int32_t sentinel = dispatcher->AddDataTrigger("B", false); // listed first: told last
    const int32_t ab = dispatcher->AddDataTrigger("AB", false);
    const int32_t a = dispatcher->AddDataTrigger("A", false);
    // "A" fires at the first byte, where "AB" starts a partial match; the handler takes
    // "AX" there, so "X" goes before the scan has reached it.
    recorder.action = [a](TSioBaseDispatcher& d, const Note& note) -> std::string {
        if (note.msg != APW_TRIGGERDATA || note.wparam != uint32_t(a))
            return {};
        uint8_t two[2];
        return d.GetBlock(two, 2) == 2 ? std::string(two, two + 2) : "<error>";
    };
    dispatcher->RegisterEventTriggerHandler(recorder.Event());
    line->Arrive("AX");
    ASSERT_TRUE(WaitFor([&] { return recorder.AllData() == "AX"; }));
    // "A", "X", "B" arrived: "AB" never did.
    line->Arrive("B");
    ASSERT_TRUE(WaitFor([&] {
        const auto notes = recorder.Notes();
        return !notes.empty() && notes.back().wparam == uint32_t(sentinel);
    }));
    for (const auto& note : recorder.Notes())
        EXPECT_FALSE(note.msg == APW_TRIGGERDATA && note.wparam == uint32_t(ab));
    // A string that does arrive in order still fires.
    recorder.action = nullptr;
    line->Arrive("AB");
    EXPECT_TRUE(WaitFor([&] {
        for (const auto& note : recorder.Notes()) {
            if (note.msg == APW_TRIGGERDATA && note.wparam == uint32_t(ab))
                return true;
        }
        return false;
    }));
}

TEST_F(DispatcherNotify, MatchWhoseStartWasAlreadyTakenOffersNoBytesBeforeIt) {
    const int32_t ab = dispatcher->AddDataTrigger("AB", false);
    const int32_t a = dispatcher->AddDataTrigger("A", false);
    // "A" fires at the first byte and its handler takes it: scanned, taken, never offered.
    recorder.action = [a](TSioBaseDispatcher& d, const Note& note) -> std::string {
        if (note.msg == APW_TRIGGERDATA && note.wparam == uint32_t(a)) {
            uint8_t one = 0;
            return d.GetChar(one) == 0 ? std::string(1, char(one)) : "<error>";
        }
        return TakeOffered(d, note);
    };
    dispatcher->RegisterEventTriggerHandler(recorder.Event());
    dispatcher->ChangeLengthTrigger(1);
    line->Arrive("A");
    ASSERT_TRUE(WaitFor([&] { return recorder.AllData() == "A"; }));
    line->Arrive("B");
    ASSERT_TRUE(WaitFor([&] { return recorder.AllData().size() >= 2; }));
    EXPECT_EQ(recorder.AllData(), "AB");
    // "AB" completes with its "A" already taken: the bytes before it number -1, so there is
    // no avail notification for them (a count turned unsigned offers 4294967295 bytes).
    size_t ab_notes = 0;
    for (const auto& note : recorder.Notes()) {
        if (note.msg == APW_TRIGGERAVAIL) {
            EXPECT_EQ(note.wparam, 1u);
            EXPECT_EQ(note.data, "B");
        } else if (note.msg == APW_TRIGGERDATA && note.wparam == uint32_t(ab)) {
            ++ab_notes;
        }
    }
    EXPECT_EQ(ab_notes, 1u);
}

TEST_F(DispatcherNotify, TriggerHandlesAndTheirErrors) {
    EXPECT_EQ(dispatcher->AddTimerTrigger(), 8);
    EXPECT_EQ(dispatcher->AddDataTrigger("x", false), 16);
    EXPECT_EQ(dispatcher->AddStatusTrigger(3), 24 + 3);
    EXPECT_EQ(dispatcher->AddStatusTrigger(6), ecBadArgument);
    EXPECT_EQ(dispatcher->AddDataTrigger(std::string(22, 'a').c_str(), false), ecTriggerTooLong);
    EXPECT_GT(dispatcher->AddDataTrigger(std::string(21, 'a').c_str(), false), 0);
    EXPECT_EQ(dispatcher->RemoveTrigger(0), ecBadTriggerHandle);
    EXPECT_EQ(dispatcher->RemoveTrigger(9999), ecBadTriggerHandle);
    EXPECT_EQ(dispatcher->SetTimerTrigger(16, 1, true), ecBadTriggerHandle); // a data trigger
    dispatcher->ChangeLengthTrigger(5);
    EXPECT_EQ(dispatcher->RemoveTrigger(1), 0);
    EXPECT_EQ(dispatcher->LenTrigger, 0u);
    EXPECT_EQ(dispatcher->RemoveTrigger(16), 0);
    EXPECT_EQ(dispatcher->RemoveTrigger(16), ecBadTriggerHandle);
    dispatcher->RemoveAllTriggers();
    EXPECT_EQ(dispatcher->AddTimerTrigger(), 8); // the counter starts again
}

TEST_F(DispatcherNotify, HandlesAreReusedOnceTheCounterIsSpent) {
    for (int i = 1; i < 4096; ++i)
        ASSERT_EQ(dispatcher->AddTimerTrigger(), i * 8);
    // Every multiple of 8 up to 4096 is taken: no handle is left.
    EXPECT_EQ(dispatcher->AddTimerTrigger(), ecNoMoreTriggers);
    ASSERT_EQ(dispatcher->RemoveTrigger(40), 0);
    EXPECT_EQ(dispatcher->AddTimerTrigger(), 40);
    EXPECT_EQ(dispatcher->AddDataTrigger("a", false), ecNoMoreTriggers);
}

TEST_F(DispatcherNotify, SaveAndRestoreTriggersKeepHandlesUnique) {
    const int32_t timer = dispatcher->AddTimerTrigger();
    const int32_t data = dispatcher->AddDataTrigger("ab", true);
    dispatcher->ChangeLengthTrigger(7);
    TTriggerSave save;
    dispatcher->SaveTriggers(save);
    dispatcher->RemoveAllTriggers();
    dispatcher->RestoreTriggers(save);
    EXPECT_EQ(dispatcher->LenTrigger, 7u);
    EXPECT_EQ(dispatcher->TimerTriggerCount(), 1);
    EXPECT_EQ(dispatcher->DataTriggerCount(), 1);
    const int32_t next = dispatcher->AddTimerTrigger();
    EXPECT_NE(next, timer);
    EXPECT_NE(next, data);
    TSioBaseDispatcher::ClearSaveBuffers(save);
    EXPECT_TRUE(save.tsDataTriggers.empty());
}

TEST_F(DispatcherNotify, TimerFiresOncePerActivationAndRestartsWithItsLastDuration) {
    dispatcher->RegisterEventTriggerHandler(recorder.Event());
    const int32_t timer = dispatcher->AddTimerTrigger();
    const int32_t sentinel = dispatcher->AddTimerTrigger();
    ASSERT_EQ(dispatcher->SetTimerTrigger(timer, 1, true), 0);
    ASSERT_TRUE(WaitFor([&] { return recorder.Count(APW_TRIGGERTIMER) == 1; }));
    // A later, longer timer firing shows that the first did not fire again.
    ASSERT_EQ(dispatcher->SetTimerTrigger(sentinel, 4, true), 0);
    ASSERT_TRUE(WaitFor([&] { return recorder.Count(APW_TRIGGERTIMER) == 2; }));
    EXPECT_EQ(recorder.Notes()[1].wparam, uint32_t(sentinel));
    ASSERT_EQ(dispatcher->SetTimerTrigger(timer, 0, true), 0); // duration 1 again
    ASSERT_TRUE(WaitFor([&] { return recorder.Count(APW_TRIGGERTIMER) == 3; }));
    EXPECT_EQ(recorder.Notes()[2].wparam, uint32_t(timer));
}

TEST(TickConversions, IntegerArithmeticWithoutOverflow) {
    struct Case {
        int32_t secs, secs_to_ticks, ms, ms_to_ticks, ticks, ticks_to_secs;
    };
    const Case cases[] = {
        {0, 0, 0, 0, 0, 0},
        {1, 18, 1000, 18, 1, 0},
        {10, 182, 55, 1, 18, 1},
        // The longest timer and its seconds: the products pass 2^31.
        {2144570, 39045160, 2000000000, 36413043, MaxTimerTicks, 2144570},
        // Beyond 32 bits the result saturates instead of wrapping.
        {INT32_MAX, INT32_MAX, INT32_MAX, 39098207, INT32_MAX, 117951341},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Secs2Ticks(c.secs), c.secs_to_ticks) << c.secs;
        EXPECT_EQ(MSecs2Ticks(c.ms), c.ms_to_ticks) << c.ms;
        EXPECT_EQ(Ticks2Secs(c.ticks), c.ticks_to_secs) << c.ticks;
    }
}

TEST_F(DispatcherNotify, HandlerDeregisteredDuringANotificationIsNotCalledAgain) {
    NoteRecorder second;
    second.dispatcher = dispatcher.get();
    second.action = TakeOffered;
    recorder.action = [this](TSioBaseDispatcher& d, const Note&) -> std::string {
        d.DeregisterEventTriggerHandler(recorder.Event());
        // Still listed (only marked) while the notification runs.
        return std::to_string(d.HandlerCount());
    };
    dispatcher->RegisterEventTriggerHandler(recorder.Event());
    dispatcher->RegisterEventTriggerHandler(second.Event());
    dispatcher->ChangeLengthTrigger(1);
    line->Arrive("one");
    ASSERT_TRUE(WaitFor([&] { return second.Count(APW_TRIGGERAVAIL) == 1; }));
    EXPECT_EQ(recorder.AllData(), "2");
    EXPECT_TRUE(WaitFor([&] { return dispatcher->HandlerCount() == 1; }));
    line->Arrive("two");
    ASSERT_TRUE(WaitFor([&] { return second.Count(APW_TRIGGERAVAIL) == 2; }));
    EXPECT_EQ(recorder.Notes().size(), 1u);
}

TEST_F(DispatcherNotify, DeregisteringMatchesTheObjectNotOnlyTheMethod) {
    NoteRecorder other;
    dispatcher->RegisterEventTriggerHandler(recorder.Event());
    dispatcher->RegisterEventTriggerHandler(other.Event());
    dispatcher->DeregisterEventTriggerHandler(other.Event());
    dispatcher->DeregisterEventTriggerHandler(other.Event()); // not registered: no change
    ASSERT_EQ(dispatcher->HandlerCount(), 1u);
    dispatcher->ChangeLengthTrigger(1);
    line->Arrive("z");
    ASSERT_TRUE(WaitFor([&] { return recorder.Count(APW_TRIGGERAVAIL) == 1; }));
    EXPECT_EQ(other.Notes().size(), 0u);
}

TEST_F(DispatcherNotify, FlushDuringANotificationEmptiesTheRingWhenItEnds) {
    recorder.action = [](TSioBaseDispatcher& d, const Note&) -> std::string {
        uint8_t c;
        (void)d.GetChar(c);
        (void)d.FlushInBuffer();
        return std::to_string(d.InBuffUsed());
    };
    dispatcher->RegisterEventTriggerHandler(recorder.Event());
    dispatcher->ChangeLengthTrigger(1);
    line->Arrive("flushed");
    ASSERT_TRUE(WaitFor([&] { return recorder.Count(APW_TRIGGERAVAIL) == 1; }));
    EXPECT_TRUE(WaitFor([&] { return dispatcher->InBuffUsed() == 0; }));
    line->Arrive("next");
    ASSERT_TRUE(WaitFor([&] { return recorder.Count(APW_TRIGGERAVAIL) == 2; }));
    EXPECT_EQ(recorder.Notes()[1].wparam, 4u);
}

TEST_F(DispatcherNotify, SynchronizedHandlerRunsOnTheOwnerThread) {
    const auto owner = std::this_thread::get_id();
    std::atomic<bool> on_owner{false};
    recorder.action = [&](TSioBaseDispatcher& d, const Note& note) {
        on_owner = std::this_thread::get_id() == owner;
        return TakeOffered(d, note);
    };
    dispatcher->RegisterSyncEventTriggerHandler(recorder.Event());
    dispatcher->ChangeLengthTrigger(1);
    line->Arrive("sync");
    ASSERT_TRUE(WaitFor([&] { return recorder.Count(APW_TRIGGERAVAIL) == 1; }));
    EXPECT_TRUE(on_owner);
    EXPECT_EQ(recorder.AllData(), "sync");
    EXPECT_TRUE(WaitFor([&] { return dispatcher->InBuffUsed() == 0; }));
}

class RecordingWindow : public TSioWindow {
public:
    void WndProc(uint32_t Msg, uint32_t, int32_t) override {
        if (Msg == APW_TRIGGERAVAIL)
            ++avail;
    }
    std::atomic<int> avail{0};
};

TEST_F(DispatcherNotify, FirstWindowHearsOnlyWhileThePortHandlerIsInstalled) {
    RecordingWindow window;
    recorder.action = TakeOffered;
    dispatcher->RegisterWndTriggerHandler(&window);
    dispatcher->RegisterEventTriggerHandler(recorder.Event());
    dispatcher->ChangeLengthTrigger(1);
    line->Arrive("a");
    ASSERT_TRUE(WaitFor([&] { return recorder.Count(APW_TRIGGERAVAIL) == 1; }));
    EXPECT_EQ(window.avail.load(), 0);
    dispatcher->UpdateHandlerFlags(TSioHandlerFlagUpdate::fuEnablePort);
    line->Arrive("b");
    ASSERT_TRUE(WaitFor([&] { return window.avail.load() == 1; }));
    dispatcher->UpdateHandlerFlags(TSioHandlerFlagUpdate::fuDisablePort);
    line->Arrive("c");
    ASSERT_TRUE(WaitFor([&] { return recorder.Count(APW_TRIGGERAVAIL) == 3; }));
    EXPECT_EQ(window.avail.load(), 1);
    dispatcher.reset(); // before the window goes
}

TEST_F(DispatcherNotify, UnansweredWindowIsPassedOverAfterItsTimeLimit) {
    RecordingWindow window;
    dispatcher->RegisterWndTriggerHandler(&window);
    dispatcher->UpdateHandlerFlags(TSioHandlerFlagUpdate::fuEnablePort);
    dispatcher->RegisterProcTriggerHandler(nullptr); // ignored: no procedure
    recorder.action = TakeOffered;
    dispatcher->RegisterEventTriggerHandler(recorder.Event());
    dispatcher->ChangeLengthTrigger(1);
    // The owner thread runs nothing: the window's call is cancelled after 3000 ms and the
    // dispatch thread goes on to the next arrival.
    auto wait_unpumped = [](const std::function<bool()>& pred) {
        base::Event tick;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(6);
        while (!pred() && std::chrono::steady_clock::now() < deadline)
            (void)tick.Wait(std::chrono::milliseconds(5));
        return pred();
    };
    line->Arrive("a");
    ASSERT_TRUE(wait_unpumped([&] { return recorder.Count(APW_TRIGGERAVAIL) == 1; }));
    ASSERT_TRUE(wait_unpumped([&] { return !dispatcher->fEventBusy; }));
    line->Arrive("b");
    ASSERT_TRUE(wait_unpumped([&] { return recorder.Count(APW_TRIGGERAVAIL) == 2; }));
    EXPECT_EQ(window.avail.load(), 0);
    dispatcher.reset(); // runs the window's pending call, before the window goes
    EXPECT_EQ(window.avail.load(), 1);
}

TEST_F(DispatcherNotify, ThrowingHandlerEndsDeliveryAndIsShown) {
    recorder.action = [](TSioBaseDispatcher&, const Note&) -> std::string {
        throw base::Exception("handler failed");
    };
    dispatcher->RegisterEventTriggerHandler(recorder.Event());
    dispatcher->ChangeLengthTrigger(1);
    line->Arrive("boom");
    ASSERT_TRUE(WaitFor([&] { return errors.Count() == 1; }));
    EXPECT_EQ(errors.Boxes()[0].caption, "Application Error");
    EXPECT_EQ(errors.Boxes()[0].text, "Exception: handler failed");
    EXPECT_TRUE(WaitFor([&] { return !D().DispThreadRunning(); }));
    line->Arrive("more");
    // Nothing moves the bytes on: they wait in the queue.
    EXPECT_TRUE(WaitFor([&] { return dispatcher->FQueue.FBytesQueued() >= 256; }));
    EXPECT_EQ(dispatcher->InBuffUsed(), 4); // the failed notification took nothing
    EXPECT_EQ(recorder.Notes().size(), 0u);
    EXPECT_TRUE(D().ReadThreadRunning()); // the port stays open until it is closed
    dispatcher.reset();
    EXPECT_FALSE(line->InUse());
}

} // namespace
} // namespace serial::testing
