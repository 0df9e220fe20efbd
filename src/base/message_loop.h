// The user-interface thread as the core sees it. The core never calls the toolkit: it posts
// or synchronizes through the installed MessageLoop (the Qt one in the program, a plain
// queue in headless tests).
//
// Threads: Post, Synchronize and SynchronizeFor may be called from any thread.
// ProcessMessages runs only on the owner thread. A synchronized call made on the owner
// thread runs at once. An exception thrown by a synchronized call is passed to the caller.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace base {

// How long an untimed Synchronize waits for its call to start: long enough for any busy
// user-interface thread, yet a worker whose owner thread no longer runs messages does not
// hang for ever. When it runs out the call is cancelled and EInvalidOperation is thrown.
// A call that has started is always waited for to its end.
inline constexpr std::chrono::milliseconds kSynchronizeLimit{60000};

class MessageLoop {
public:
    virtual ~MessageLoop() = default;

    // Runs fn later on the owner thread (deferred close, deferred destruction, error boxes).
    virtual void Post(std::function<void()> fn) = 0;

    // Runs fn on the owner thread once delay has passed (a retry that must not spin the
    // loop while it waits for another thread).
    virtual void PostDelayed(std::function<void()> fn, std::chrono::milliseconds delay) = 0;

    // Runs fn on the owner thread while the caller waits for it to finish (bounded by
    // kSynchronizeLimit for the start of the call).
    virtual void Synchronize(std::function<void()> fn) = 0;

    // As Synchronize, bounded: a call not yet started when the time runs out is cancelled
    // (false); one already running is waited for (true).
    [[nodiscard]] virtual bool SynchronizeFor(std::function<void()> fn,
                                              std::chrono::milliseconds timeout) = 0;

    // What an owner-thread wait runs while it waits: the pending synchronized calls only,
    // never user input or posted messages, so no handler re-enters.
    virtual void ProcessMessages() = 0;

    [[nodiscard]] virtual bool IsOwnerThread() const = 0;
};

// The loop in force. Installing nullptr restores the default plain loop, owned by the
// thread that first asks for it.
MessageLoop& CurrentMessageLoop();
void SetMessageLoop(MessageLoop* loop);

// A plain loop for headless programs and tests: the owner thread is the one that created
// it; Pump() runs everything pending (posted and synchronized, delayed posts once due),
// ProcessMessages() only the synchronized calls.
class QueueMessageLoop : public MessageLoop {
public:
    QueueMessageLoop();
    // With another bound for the start of an untimed Synchronize (tests of that bound).
    explicit QueueMessageLoop(std::chrono::milliseconds synchronize_limit);
    ~QueueMessageLoop() override;

    void Post(std::function<void()> fn) override;
    void PostDelayed(std::function<void()> fn, std::chrono::milliseconds delay) override;
    void Synchronize(std::function<void()> fn) override;
    [[nodiscard]] bool SynchronizeFor(std::function<void()> fn,
                                      std::chrono::milliseconds timeout) override;
    void ProcessMessages() override;
    [[nodiscard]] bool IsOwnerThread() const override;

    // Runs all pending calls (delayed ones that are due); returns how many ran.
    int Pump();
    // Pumps until pred() is true or the time-out passes; returns pred().
    bool PumpUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Installs a loop for the lifetime of the object (tests).
class ScopedMessageLoop {
public:
    explicit ScopedMessageLoop(MessageLoop& loop);
    ~ScopedMessageLoop();
    ScopedMessageLoop(const ScopedMessageLoop&) = delete;
    ScopedMessageLoop& operator=(const ScopedMessageLoop&) = delete;

private:
    MessageLoop* previous_;
};

} // namespace base
