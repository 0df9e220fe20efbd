#include "base/message_loop.h"

#include "base/deadline.h"
#include "base/error_display.h"
#include "base/sync_call_queue.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace base {

namespace {

std::atomic<MessageLoop*> g_installed_loop{nullptr};

} // namespace

MessageLoop& CurrentMessageLoop() {
    if (MessageLoop* loop = g_installed_loop.load(std::memory_order_acquire)) {
        return *loop;
    }
    static QueueMessageLoop default_loop; // owned by the first thread that asks
    return default_loop;
}

void SetMessageLoop(MessageLoop* loop) {
    g_installed_loop.store(loop, std::memory_order_release);
}

ScopedMessageLoop::ScopedMessageLoop(MessageLoop& loop)
    : previous_(g_installed_loop.exchange(&loop, std::memory_order_acq_rel)) {}

ScopedMessageLoop::~ScopedMessageLoop() {
    g_installed_loop.store(previous_, std::memory_order_release);
}

struct QueueMessageLoop::State {
    std::thread::id owner = std::this_thread::get_id();
    std::chrono::milliseconds synchronize_limit = kSynchronizeLimit;
    // Shared with callers blocked in Synchronize, so their wait can end safely even when
    // the loop goes away under them.
    std::shared_ptr<SyncCallQueue> sync = std::make_shared<SyncCallQueue>();
    std::mutex mutex;
    std::condition_variable work_arrived;     // a post or a synchronized call was queued
    std::deque<std::function<void()>> posted; // guarded by mutex
    // Delayed posts with their due times, in the order posted; guarded by mutex.
    std::vector<std::pair<std::chrono::steady_clock::time_point, std::function<void()>>> delayed;
    uint64_t arrivals = 0; // guarded by mutex; counts every queued call

    void NoteArrival() {
        {
            std::lock_guard lock(mutex);
            ++arrivals;
        }
        work_arrived.notify_all();
    }
};

QueueMessageLoop::QueueMessageLoop() : state_(std::make_unique<State>()) {}

QueueMessageLoop::QueueMessageLoop(std::chrono::milliseconds synchronize_limit)
    : QueueMessageLoop() {
    state_->synchronize_limit = synchronize_limit;
}

QueueMessageLoop::~QueueMessageLoop() {
    state_->sync->CancelAll();
}

void QueueMessageLoop::Post(std::function<void()> fn) {
    {
        std::lock_guard lock(state_->mutex);
        state_->posted.push_back(std::move(fn));
    }
    state_->NoteArrival();
}

void QueueMessageLoop::PostDelayed(std::function<void()> fn, std::chrono::milliseconds delay) {
    {
        std::lock_guard lock(state_->mutex);
        state_->delayed.emplace_back(std::chrono::steady_clock::now() + delay, std::move(fn));
    }
    state_->NoteArrival();
}

void QueueMessageLoop::Synchronize(std::function<void()> fn) {
    if (!SynchronizeFor(std::move(fn), state_->synchronize_limit)) {
        ThrowSynchronizeNotRun();
    }
}

bool QueueMessageLoop::SynchronizeFor(std::function<void()> fn, std::chrono::milliseconds timeout) {
    if (IsOwnerThread()) {
        fn();
        return true;
    }
    const std::shared_ptr<SyncCallQueue> sync = state_->sync;
    State* state = state_.get();
    return sync->Call(std::move(fn), timeout, [state] { state->NoteArrival(); });
}

void QueueMessageLoop::ProcessMessages() {
    if (IsOwnerThread()) {
        state_->sync->RunPending();
    }
}

bool QueueMessageLoop::IsOwnerThread() const {
    return std::this_thread::get_id() == state_->owner;
}

int QueueMessageLoop::Pump() {
    int ran = state_->sync->RunPending();
    // Only what was posted before this pump: a call that posts itself again waits for the
    // next one instead of keeping this one busy for ever.
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(state_->mutex);
        batch.swap(state_->posted);
        const auto now = std::chrono::steady_clock::now();
        auto& delayed = state_->delayed;
        for (auto it = delayed.begin(); it != delayed.end();) {
            if (it->first <= now) {
                batch.push_back(std::move(it->second));
                it = delayed.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& fn : batch) {
        RunHandler(fn);
        ++ran;
        ran += state_->sync->RunPending();
    }
    return ran;
}

bool QueueMessageLoop::PumpUntil(const std::function<bool()>& pred,
                                 std::chrono::milliseconds timeout) {
    const auto deadline = DeadlineAfter(timeout);
    // pred may turn true through other threads without anything being queued, so the
    // wait for new work is cut into short slices.
    constexpr auto kSlice = std::chrono::milliseconds(2);
    for (;;) {
        uint64_t seen = 0;
        {
            std::lock_guard lock(state_->mutex);
            seen = state_->arrivals;
        }
        Pump();
        if (pred()) {
            return true;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            return false;
        }
        std::unique_lock lock(state_->mutex);
        state_->work_arrived.wait_until(lock, std::min(deadline, now + kSlice),
                                        [&] { return state_->arrivals != seen; });
    }
}

} // namespace base
