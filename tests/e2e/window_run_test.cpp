// The window as the program runs it: the Qt message loop and the message-box error display
// installed, the serial components of a build without a serial layer. A failing handler must
// show a modal error box captioned with the program's title, and the window must go on.
#include "app/offline_components.h"
#include "app/sweep/sweep_controller.h"
#include "app/tarnel.h"
#include "base/error_display.h"
#include "base/message_loop.h"
#include "base/qt/message_box_error_display.h"
#include "base/qt/qt_message_loop.h"
#include "chart/series.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

namespace app {
namespace {

struct SeenBox {
    bool seen = false;
    bool modal = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Closes the first message box that opens and reports what it showed; gives up after the
// deadline so a missing box fails the test instead of hanging it.
void CloseNextBox(SeenBox& seen, int deadline_ms = 5000) {
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

TEST(WindowRun, FailingStartScanShowsTheErrorBoxAndTheWindowCarriesOn) {
    base::QtMessageLoop loop;
    base::ScopedMessageLoop scoped_loop(loop);
    base::MessageBoxErrorDisplay display;
    base::ScopedErrorDisplay scoped_display(display);
    base::SetApplicationTitle(
        base::ApplicationTitleFromPath(QCoreApplication::arguments().value(0).toStdString()));

    TTarnel window(std::make_unique<OfflineComPort>(), std::make_unique<OfflineDataPacket>());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    SeenBox seen;
    CloseNextBox(seen);
    QTest::mouseClick(window.ScanStartBtn, Qt::LeftButton); // returns once the box is closed
    ASSERT_TRUE(seen.seen);
    EXPECT_TRUE(seen.modal);
    EXPECT_EQ(seen.title, QStringLiteral("e2e_tests"));
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_TRUE(seen.text.startsWith(QStringLiteral("COM0 cannot be opened")))
        << seen.text.toStdString();
    EXPECT_TRUE(seen.text.endsWith(QStringLiteral("."))) << seen.text.toStdString();

    // Start Scan stopped at the write: the range is new, the chart and the button are not.
    EXPECT_EQ(window.Sweep().State().CurFreq, 13675000u);
    EXPECT_TRUE(window.ScanStartBtn->isEnabled());
    EXPECT_EQ(window.Series4().Count(), 2);

    // The window still answers: a band item still writes the edits.
    QTest::mouseClick(window.RadioGroup1->Button(0), Qt::LeftButton);
    EXPECT_EQ(window.CenterFreqEdit->text(), QStringLiteral("3650"));

    // Connect fails the same way and leaves the buttons as they were.
    SeenBox connect_box;
    CloseNextBox(connect_box);
    QTest::mouseClick(window.ConnectBtn, Qt::LeftButton);
    ASSERT_TRUE(connect_box.seen);
    EXPECT_TRUE(connect_box.text.startsWith(QStringLiteral("COM6 cannot be opened")));
    EXPECT_TRUE(window.ConnectBtn->isEnabled());
    EXPECT_FALSE(window.DisConnectBtn->isEnabled());
}

} // namespace
} // namespace app
