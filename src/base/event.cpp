#include "base/event.h"

#include "base/deadline.h"

#include <algorithm>
#include <vector>

namespace base {

namespace {

// One WaitAny call: every event it waits on flags it here when set.
struct AnyWaiter {
    std::mutex mutex;
    std::condition_variable cv;
    bool signalled = false; // guarded by mutex
};

} // namespace

// The WaitAny callers registered with an event; guarded by the event's mutex_.
struct Event::Waiters {
    std::vector<AnyWaiter*> list;
};

Event::Event(bool manual_reset, bool initially_set)
    : manual_reset_(manual_reset), set_(initially_set), any_waiters_(std::make_shared<Waiters>()) {}

Event::~Event() = default;

void Event::Set() {
    std::lock_guard lock(mutex_);
    set_ = true;
    changed_.notify_all();
    for (AnyWaiter* waiter : any_waiters_->list) {
        std::lock_guard waiter_lock(waiter->mutex);
        waiter->signalled = true;
        waiter->cv.notify_all();
    }
}

void Event::Reset() {
    std::lock_guard lock(mutex_);
    set_ = false;
}

bool Event::IsSet() const {
    std::lock_guard lock(mutex_);
    return set_;
}

bool Event::TryTake() {
    if (!set_) {
        return false;
    }
    if (!manual_reset_) {
        set_ = false;
    }
    return true;
}

bool Event::Wait(std::chrono::milliseconds timeout) {
    const auto deadline = DeadlineAfter(timeout);
    std::unique_lock lock(mutex_);
    changed_.wait_until(lock, deadline, [this] { return set_; });
    return TryTake();
}

int Event::WaitAny(std::span<Event* const> events, std::chrono::milliseconds timeout) {
    const auto deadline = DeadlineAfter(timeout);
    AnyWaiter waiter;
    for (Event* event : events) {
        std::lock_guard lock(event->mutex_);
        event->any_waiters_->list.push_back(&waiter);
    }
    auto take_first = [&]() -> int {
        for (size_t i = 0; i < events.size(); ++i) {
            std::lock_guard lock(events[i]->mutex_);
            if (events[i]->TryTake()) {
                return static_cast<int>(i);
            }
        }
        return -1;
    };
    int winner = -1;
    for (;;) {
        {
            // Cleared before looking, so a Set() after the look is never missed.
            std::lock_guard lock(waiter.mutex);
            waiter.signalled = false;
        }
        winner = take_first();
        if (winner >= 0) {
            break;
        }
        std::unique_lock lock(waiter.mutex);
        if (!waiter.cv.wait_until(lock, deadline, [&] { return waiter.signalled; })) {
            lock.unlock();
            winner = take_first(); // a last look: a Set() racing the time-out still counts
            break;
        }
    }
    for (Event* event : events) {
        std::lock_guard lock(event->mutex_);
        auto& list = event->any_waiters_->list;
        const auto it = std::find(list.begin(), list.end(), &waiter);
        if (it != list.end()) {
            list.erase(it);
        }
    }
    return winner;
}

} // namespace base
