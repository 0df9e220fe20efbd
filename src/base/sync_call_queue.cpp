#include "base/sync_call_queue.h"

#include "base/deadline.h"
#include "base/exceptions.h"

#include <algorithm>
#include <exception>

namespace base {

struct SyncCallQueue::Pending {
    enum class State { kQueued, kRunning, kDone, kCancelled };
    std::function<void()> fn;
    State state = State::kQueued; // guarded by the queue's mutex_
    std::exception_ptr error;     // written by the runner before kDone
};

void ThrowSynchronizeNotRun() {
    throw EInvalidOperation("Synchronized call not run: the user-interface thread did not "
                            "process messages in time");
}

SyncCallQueue::~SyncCallQueue() {
    CancelAll();
}

bool SyncCallQueue::Call(std::function<void()> fn, std::chrono::milliseconds timeout,
                         const std::function<void()>& wake) {
    const auto deadline = DeadlineAfter(timeout);
    auto call = std::make_shared<Pending>();
    call->fn = std::move(fn);
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(call);
    }
    if (wake) {
        wake();
    }
    using State = Pending::State;
    std::unique_lock lock(mutex_);
    auto ended = [&] { return call->state == State::kDone || call->state == State::kCancelled; };
    if (!finished_.wait_until(lock, deadline, ended) && call->state == State::kQueued) {
        call->state = State::kCancelled;
        queue_.erase(std::find(queue_.begin(), queue_.end(), call));
        return false;
    }
    // Started before the time ran out: its end is waited for, however long it takes (it
    // runs on the owner thread, which finishes what it started).
    finished_.wait(lock, ended);
    if (call->state == State::kCancelled) {
        return false;
    }
    // Taken out under the lock, so the exception lives and dies on this thread alone.
    std::exception_ptr error = std::move(call->error);
    lock.unlock();
    if (error) {
        std::rethrow_exception(error);
    }
    return true;
}

int SyncCallQueue::RunPending() {
    using State = Pending::State;
    int ran = 0;
    for (;;) {
        std::shared_ptr<Pending> call;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) {
                return ran;
            }
            call = std::move(queue_.front());
            queue_.pop_front();
            call->state = State::kRunning;
        }
        try {
            call->fn();
        } catch (...) {
            call->error = std::current_exception();
        }
        call->fn = nullptr; // release captures on this thread, not the caller's
        {
            std::lock_guard lock(mutex_);
            call->state = State::kDone;
        }
        finished_.notify_all();
        ++ran;
    }
}

void SyncCallQueue::CancelAll() {
    {
        std::lock_guard lock(mutex_);
        for (auto& call : queue_) {
            call->state = Pending::State::kCancelled;
        }
        queue_.clear();
    }
    finished_.notify_all();
}

bool SyncCallQueue::HasPending() const {
    std::lock_guard lock(mutex_);
    return !queue_.empty();
}

} // namespace base
