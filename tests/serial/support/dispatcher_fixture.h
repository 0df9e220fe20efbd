// Shared set-up for the dispatcher's tests: a plain message loop owned by the test thread,
// a recording error display, an in-memory line and a dispatcher opened on it, and a handler
// that records its notifications and can act inside them.
#pragma once

#include "base/message_loop.h"
#include "base/recording_error_display.h"
#include "serial/support/memory_device.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace serial::testing {

struct Note {
    uint32_t msg = 0;
    uint32_t wparam = 0;
    int32_t lparam = 0;
    std::string data; // what the handler read during the notification
};

// An event handler that records notifications. `action` runs inside each one and returns
// what it read (or "").
class NoteRecorder {
public:
    std::function<std::string(TSioBaseDispatcher&, const Note&)> action;
    TSioBaseDispatcher* dispatcher = nullptr;

    void Notify(uint32_t msg, uint32_t wparam, int32_t lparam) {
        Note note{msg, wparam, lparam, {}};
        if (action && dispatcher != nullptr)
            note.data = action(*dispatcher, note);
        std::lock_guard lock(mutex_);
        notes_.push_back(note);
    }
    TSioNotifyEvent Event() { return TSioNotifyEvent::Of<&NoteRecorder::Notify>(this); }

    std::vector<Note> Notes() const {
        std::lock_guard lock(mutex_);
        return notes_;
    }
    size_t Count(uint32_t msg) const {
        std::lock_guard lock(mutex_);
        size_t n = 0;
        for (const auto& note : notes_)
            n += note.msg == msg ? 1 : 0;
        return n;
    }
    std::string AllData() const {
        std::lock_guard lock(mutex_);
        std::string all;
        for (const auto& note : notes_)
            all += note.data;
        return all;
    }

private:
    mutable std::mutex mutex_;
    std::vector<Note> notes_;
};

// Takes every byte offered by an avail notification.
inline std::string TakeOffered(TSioBaseDispatcher& d, const Note& note) {
    if (note.msg != APW_TRIGGERAVAIL)
        return {};
    std::string bytes(note.wparam, '\0');
    if (d.GetBlock(reinterpret_cast<uint8_t*>(bytes.data()), note.wparam) < 0)
        return "<error>";
    return bytes;
}

// Runs body on a thread of its own that owns the message loop in force meanwhile, so the
// test thread can require owner-thread work to end within the usual wait without being
// blocked in it (a wait of the owner for itself shows as a body that has not ended). The
// destructor joins the thread. The test thread must not install a loop meanwhile.
class ForeignOwner {
public:
    explicit ForeignOwner(std::function<void(base::QueueMessageLoop&)> body)
        : thread_([this, body = std::move(body)] {
              {
                  base::QueueMessageLoop loop;
                  base::ScopedMessageLoop installed(loop);
                  body(loop);
                  loop.Pump();
              }
              done_.Set();
          }) {}
    ~ForeignOwner() { thread_.join(); }
    ForeignOwner(const ForeignOwner&) = delete;
    ForeignOwner& operator=(const ForeignOwner&) = delete;

    // True when the body has ended within limit.
    bool Ended(std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) {
        return done_.Wait(limit);
    }

private:
    base::Event done_{true, false};
    std::thread thread_;
};

// Waits for pred without running anything (the owner thread must not run pending calls).
inline bool WaitPlain(const std::function<bool()>& pred,
                      std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) {
    base::Event tick;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return pred();
        (void)tick.Wait(std::chrono::milliseconds(1));
    }
    return true;
}

// A limit long enough that a wait running into it shows as a test that does not end in time.
inline constexpr std::chrono::milliseconds kRaisedLimit{20000};

class DispatcherTest : public ::testing::Test {
protected:
    void SetUp() override { Open(); }

    void Open(int32_t out_size = 4096) {
        line = std::make_shared<TMemoryLine>("COM3");
        int32_t rc = -1;
        dispatcher = TSioMemoryDispatcher::Open(line, rc, 4096, out_size);
        ASSERT_EQ(rc, 0);
        recorder.dispatcher = dispatcher.get();
    }

    TSioMemoryDispatcher& D() { return static_cast<TSioMemoryDispatcher&>(*dispatcher); }

    // Waits for pred, running the pending synchronized and posted calls meanwhile.
    bool WaitFor(const std::function<bool()>& pred,
                 std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) {
        return loop.PumpUntil(pred, limit);
    }

    base::QueueMessageLoop loop;
    base::ScopedMessageLoop installed{loop};
    base::RecordingErrorDisplay errors;
    NoteRecorder recorder;
    std::shared_ptr<TMemoryLine> line;
    TSioDispatcherPtr dispatcher; // released first: its threads use the loop above
};

} // namespace serial::testing
