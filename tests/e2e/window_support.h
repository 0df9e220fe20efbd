// What the whole-run tests share: the window as main() builds it, and the error boxes it
// opens, answered and recorded.
#pragma once

#include "app/com_port_adapter.h"
#include "app/data_packet_adapter.h"
#include "app/tarnel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>
#include <functional>
#include <memory>

namespace app {

// Runs the event loop until pred holds or ms pass. Unlike QTest::qWaitFor, which sleeps
// between rounds, it sleeps only in the loop's own wait, so every line crosses to the UI
// thread as fast as in the program.
inline bool WaitUntil(const std::function<bool()>& pred, int ms) {
    QElapsedTimer elapsed;
    elapsed.start();
    QTimer tick; // wakes the wait to look at pred again
    tick.start(5);
    while (!pred()) {
        if (elapsed.elapsed() > ms)
            return pred();
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// The window with the real com port and line matcher.
inline std::unique_ptr<TTarnel> MakeWindow() {
    auto port = std::make_unique<ComPortAdapter>();
    auto matcher = std::make_unique<DataPacketAdapter>(port->Port());
    return std::make_unique<TTarnel>(std::move(port), std::move(matcher));
}

struct SeenBox {
    bool seen = false;
    bool modal = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Closes the first message box that opens and reports what it showed; gives up after the
// deadline so a missing box fails the test instead of hanging it.
inline void CloseNextBox(SeenBox& seen, int deadline_ms = 5000) {
    auto* timer = new QTimer(qApp);
    auto elapsed = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, elapsed, deadline_ms, &seen] {
        *elapsed += 20;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box != nullptr && box->isVisible()) {
                seen = {true, box->isModal(), box->windowTitle(), box->text(), box->icon()};
                box->accept();
                timer->deleteLater();
                return;
            }
        }
        if (*elapsed > deadline_ms) {
            timer->deleteLater();
        }
    });
    timer->start(20);
}

} // namespace app
