// The synchronized calls waiting for the owner thread of a message loop, shared by the
// plain and the Qt loop so both keep the same rules:
// - a caller queues a call and waits; the owner thread runs it (RunPending);
// - a call not yet started when the caller's time runs out is cancelled and never runs;
//   one already running is waited for to its end;
// - an exception thrown by the call is passed back to the caller's thread.
// Thread-safe: Call from any thread but the owner, RunPending on the owner thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace base {

// Thrown by an untimed Synchronize whose call did not start within kSynchronizeLimit.
[[noreturn]] void ThrowSynchronizeNotRun();

class SyncCallQueue {
public:
    SyncCallQueue() = default;
    ~SyncCallQueue();
    SyncCallQueue(const SyncCallQueue&) = delete;
    SyncCallQueue& operator=(const SyncCallQueue&) = delete;

    // Queues fn, calls wake (to have the owner thread run RunPending), waits. True when fn
    // ran (rethrowing what it threw); false when it was cancelled before it started, by
    // the time-out or by CancelAll.
    [[nodiscard]] bool Call(std::function<void()> fn, std::chrono::milliseconds timeout,
                            const std::function<void()>& wake);

    // Runs the calls queued so far and those queued while they run; returns how many ran.
    int RunPending();

    // Cancels every call not yet started (the loop is going away); their callers get false.
    void CancelAll();

    [[nodiscard]] bool HasPending() const;

private:
    struct Pending;
    mutable std::mutex mutex_;
    std::condition_variable finished_;           // a call ended or was cancelled
    std::deque<std::shared_ptr<Pending>> queue_; // not yet started; guarded by mutex_
};

} // namespace base
