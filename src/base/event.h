// Windows-style events: auto-reset (one waiter released, then unsignalled) or manual-reset
// (stays signalled until Reset). Every wait has a time-out. Safe on any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <span>

namespace base {

class Event {
public:
    explicit Event(bool manual_reset = false, bool initially_set = false);
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    ~Event();

    void Set();
    void Reset();
    // True when signalled within the time-out (an auto-reset event is then reset).
    [[nodiscard]] bool Wait(std::chrono::milliseconds timeout);
    [[nodiscard]] bool IsSet() const;

    // Waits until one of the events is signalled: its index, or -1 on time-out. When several
    // are set the lowest index wins; only the winner is reset (if auto-reset).
    [[nodiscard]] static int WaitAny(std::span<Event* const> events,
                                     std::chrono::milliseconds timeout);

private:
    struct Waiters;
    bool TryTake(); // with mutex_ held
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool manual_reset_;
    bool set_;
    std::shared_ptr<Waiters> any_waiters_; // WaitAny callers that must hear of Set()
    friend struct EventAccess;
};

} // namespace base
