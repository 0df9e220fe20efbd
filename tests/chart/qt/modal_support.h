// Answering modal dialogs from a test: the dialog's exec() runs its own event loop, so the
// answer comes from a timer that waits, with a deadline, for a dialog of the kind to show.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

namespace chart::test {

// Runs the event loop until pred holds or ms pass.
inline bool WaitUntil(const std::function<bool()>& pred, int ms) {
    QElapsedTimer elapsed;
    elapsed.start();
    QTimer tick; // wakes the wait to look at pred again
    tick.start(5);
    while (!pred()) {
        if (elapsed.elapsed() > ms) {
            return pred();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Calls answer with the first visible modal dialog of type T that shows within the deadline;
// answer should close it. A dialog still open a moment later (a file dialog may still be
// reading its folder) is answered again, and one still open at the deadline is rejected, so
// a test fails instead of hanging. *answered tells whether the dialog came.
template <typename T>
void AnswerNext(std::function<void(T*)> answer, std::shared_ptr<bool> answered = nullptr,
                int deadline_ms = 10000) {
    auto* timer = new QTimer(qApp);
    auto elapsed = std::make_shared<QElapsedTimer>();
    elapsed->start();
    auto last_answer = std::make_shared<qint64>(-1);
    QObject::connect(timer, &QTimer::timeout,
                     [timer, elapsed, last_answer, deadline_ms, answer, answered] {
                         auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
                         const bool open = dialog != nullptr && dialog->isVisible();
                         if (elapsed->elapsed() > deadline_ms) {
                             timer->stop();
                             timer->deleteLater();
                             if (open) {
                                 static_cast<QDialog*>(dialog)->reject();
                             }
                             return;
                         }
                         if (!open) {
                             if (*last_answer >= 0) { // answered and closed
                                 timer->stop();
                                 timer->deleteLater();
                             }
                             return;
                         }
                         if (*last_answer < 0 || elapsed->elapsed() - *last_answer > 200) {
                             *last_answer = elapsed->elapsed();
                             if (answered) {
                                 *answered = true;
                             }
                             answer(dialog);
                         }
                     });
    timer->start(10);
}

} // namespace chart::test
