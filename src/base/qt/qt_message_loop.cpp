#include "base/qt/qt_message_loop.h"

#include "base/error_display.h"
#include "base/sync_call_queue.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <QTimer>

namespace base {

QtMessageLoop::QtMessageLoop()
    : owner_(QThread::currentThread()), receiver_(std::make_unique<QObject>()),
      sync_(std::make_shared<SyncCallQueue>()) {}

QtMessageLoop::~QtMessageLoop() {
    receiver_.reset(); // drops the queued calls still addressed to it
    sync_->CancelAll();
}

void QtMessageLoop::Post(std::function<void()> fn) {
    // A posted call runs from Qt's event loop, which must never see an exception.
    QMetaObject::invokeMethod(
        receiver_.get(), [fn = std::move(fn)] { RunHandler(fn); }, Qt::QueuedConnection);
}

void QtMessageLoop::PostDelayed(std::function<void()> fn, std::chrono::milliseconds delay) {
    // The timer starts in the owner thread (a timer cannot be started from another one) and
    // belongs to the receiver, so a loop destroyed first drops the call.
    QObject* receiver = receiver_.get();
    QMetaObject::invokeMethod(
        receiver,
        [receiver, delay, fn = std::move(fn)] {
            QTimer::singleShot(delay, receiver, [fn] { RunHandler(fn); });
        },
        Qt::QueuedConnection);
}

void QtMessageLoop::Synchronize(std::function<void()> fn) {
    if (!SynchronizeFor(std::move(fn), kSynchronizeLimit)) {
        ThrowSynchronizeNotRun();
    }
}

bool QtMessageLoop::SynchronizeFor(std::function<void()> fn, std::chrono::milliseconds timeout) {
    if (IsOwnerThread()) {
        fn();
        return true;
    }
    const std::shared_ptr<SyncCallQueue> sync = sync_;
    QObject* receiver = receiver_.get();
    return sync->Call(std::move(fn), timeout, [receiver, sync] {
        // Runs whatever is pending when the event arrives; an event that finds the queue
        // already emptied by ProcessMessages does nothing.
        QMetaObject::invokeMethod(
            receiver,
            [weak = std::weak_ptr<SyncCallQueue>(sync)] {
                if (auto queue = weak.lock()) {
                    queue->RunPending();
                }
            },
            Qt::QueuedConnection);
    });
}

void QtMessageLoop::ProcessMessages() {
    if (IsOwnerThread()) {
        sync_->RunPending();
    }
}

bool QtMessageLoop::IsOwnerThread() const {
    return QThread::currentThread() == owner_;
}

} // namespace base
