#include "base/error_display.h"
#include "base/qt/message_box_error_display.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

namespace base {
namespace {

// What the box looked like while it was open.
struct Seen {
    bool found = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    Qt::TextFormat format = Qt::AutoText;
    bool modal = false;
    QWidget* parent = nullptr;
};

// Shows a box through the display, records it from a timer and closes it with OK. A box
// that never appears ends the wait after a bound instead of hanging the test.
Seen ShowAndClose(ErrorDisplay& display, const std::string& caption, const std::string& text) {
    Seen seen;
    QTimer poll;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            if (clock.elapsed() > 10000) {
                poll.stop();
            }
            return;
        }
        poll.stop();
        seen.found = true;
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        seen.buttons = box->standardButtons();
        seen.format = box->textFormat();
        seen.modal = box->isModal();
        seen.parent = box->parentWidget();
        box->button(QMessageBox::Ok)->click();
    });
    poll.start(10);
    display.Show(caption, text);
    return seen;
}

TEST(MessageBoxErrorDisplay, ModalErrorBoxWithOkOwnedByTheActiveWindow) {
    QWidget window;
    window.resize(200, 100);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    MessageBoxErrorDisplay display;
    const Seen seen =
        ShowAndClose(display, "tarnel-data-scan", "''12a'' is not a valid integer value.");
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.title, "tarnel-data-scan");
    EXPECT_EQ(seen.text, "''12a'' is not a valid integer value.");
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_TRUE(seen.modal);
    EXPECT_EQ(seen.parent, &window);
}

TEST(MessageBoxErrorDisplay, TextIsNeverReadAsMarkup) {
    MessageBoxErrorDisplay display;
    const Seen seen = ShowAndClose(display, "Application Error", "''<b>x</b>'' caf\xc3\xa9");
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.format, Qt::PlainText);
    EXPECT_EQ(seen.text, QString::fromUtf8("''<b>x</b>'' caf\xc3\xa9"));
    EXPECT_EQ(seen.title, "Application Error");
}

} // namespace
} // namespace base
