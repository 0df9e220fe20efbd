// The message loop of the program: the owner thread is the one that created it (the
// user-interface thread). Posted calls and the wake-up for synchronized calls go through
// Qt's queued events to a QObject living in that thread. ProcessMessages runs only the
// pending synchronized calls, never user input or posted calls.
// Create and destroy it on the user-interface thread, with a QApplication in place.
#pragma once

#include "base/message_loop.h"

#include <memory>

class QObject;
class QThread;

namespace base {

class SyncCallQueue;

class QtMessageLoop : public MessageLoop {
public:
    QtMessageLoop();
    ~QtMessageLoop() override;
    QtMessageLoop(const QtMessageLoop&) = delete;
    QtMessageLoop& operator=(const QtMessageLoop&) = delete;

    void Post(std::function<void()> fn) override;
    void PostDelayed(std::function<void()> fn, std::chrono::milliseconds delay) override;
    void Synchronize(std::function<void()> fn) override;
    [[nodiscard]] bool SynchronizeFor(std::function<void()> fn,
                                      std::chrono::milliseconds timeout) override;
    void ProcessMessages() override;
    [[nodiscard]] bool IsOwnerThread() const override;

private:
    QThread* owner_;                      // the thread that created the loop
    std::unique_ptr<QObject> receiver_;   // lives in the owner thread; target of queued calls
    std::shared_ptr<SyncCallQueue> sync_; // shared with callers still waiting
};

} // namespace base
