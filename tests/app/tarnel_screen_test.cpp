// The window as assistive tools, the keyboard and the screen meet it: a top-level window with
// its caption to screen readers, Tab through the window's order, and the pixels of a screen
// of any device pixel ratio (CTest runs the screen case once more under QT_SCALE_FACTOR=2).
#include "app/tarnel.h"
#include "chart/plot_painter.h"
#include "chart/qt/plot_toolbar_widget.h"
#include "chart/qt/plot_widget.h"
#include "chart/qt/qt_canvas.h"
#include "chart/series.h"
#include "window_doubles.h"

#include <QAccessible>
#include <QApplication>
#include <QPainter>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace app {
namespace {

std::unique_ptr<TTarnel> MakeTarnel() {
    return std::make_unique<TTarnel>(std::make_unique<test::RecordingComPort>(),
                                     std::make_unique<test::RecordingDataPacket>());
}

// The nearest ancestor (or node itself) that screen readers take for the window: what
// positions "relative to the window" are counted from.
QAccessibleInterface* WindowOf(QAccessibleInterface* node) {
    for (QAccessibleInterface* at = node; at != nullptr; at = at->parent()) {
        if (at->role() == QAccessible::Window) {
            return at;
        }
    }
    return nullptr;
}

TEST(TarnelAccessibility, TheMainWindowIsATopLevelWindowWithItsCaption) {
    auto window = MakeTarnel();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QAccessibleInterface* root = QAccessible::queryAccessibleInterface(window.get());
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->role(), QAccessible::Window);
    EXPECT_EQ(root->text(QAccessible::Name), QStringLiteral("Tarnel-Veskel-Brindo Data Scan"));
    ASSERT_NE(root->parent(), nullptr);
    EXPECT_EQ(root->parent()->role(), QAccessible::Application);
    EXPECT_EQ(root->rect(), QRect(window->mapToGlobal(QPoint(0, 0)), window->size()));

    // A control's place: on the screen as Qt maps it, and inside the window where the layout
    // put it (a tool reading window coordinates without a window would get screen ones).
    for (QWidget* control :
         {static_cast<QWidget*>(window->ConnectBtn), static_cast<QWidget*>(window->ScanStepEdit),
          static_cast<QWidget*>(window->Chart1)}) {
        SCOPED_TRACE(control->objectName().toStdString());
        QAccessibleInterface* node = QAccessible::queryAccessibleInterface(control);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->rect(), QRect(control->mapToGlobal(QPoint(0, 0)), control->size()));
        QAccessibleInterface* top = WindowOf(node->parent());
        ASSERT_EQ(top, root);
        EXPECT_EQ(node->rect().topLeft() - top->rect().topLeft(),
                  control->mapTo(window.get(), QPoint(0, 0)));
    }
    // Other windows keep Qt's own interfaces.
    QWidget plain;
    EXPECT_EQ(QAccessible::queryAccessibleInterface(&plain)->role(), QAccessible::Client);
}

// Tab from the first control visits the window's order: the connection group's rows, the
// band group's rows with the radio group as one stop (its checked item), the scan buttons,
// then the chart's toolbar; Shift+Tab walks it back. Disabled controls are passed over.
TEST(TarnelKeyboard, TabWalksTheWindowsOrder) {
    auto window = MakeTarnel();
    TTarnel& t = *window;
    t.show();
    t.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&t));
    t.RadioGroup1->SetItemIndex(5);

    std::vector<QWidget*> expected = {
        t.ConnectBtn,   t.ComPortSelectComboBox,  t.GetComListBtn, t.CenterFreqEdit, t.BWEdit,
        t.ScanStepEdit, t.RadioGroup1->Button(5), t.ScanStartBtn,  t.MutiScanBtn,    t.StopScanBtn};
    // The toolbar's buttons that take the keyboard, in their own order.
    for (QWidget* w = t.PlotToolbar1->nextInFocusChain(); w != t.ConnectBtn;
         w = w->nextInFocusChain()) {
        if (t.PlotToolbar1->isAncestorOf(w) && w->isEnabled() && w->isVisible() &&
            (w->focusPolicy() & Qt::TabFocus) != 0) {
            expected.push_back(w);
        }
        if (!t.PlotToolbar1->isAncestorOf(w)) {
            break;
        }
    }

    auto walk = [&](Qt::KeyboardModifiers modifiers) {
        std::vector<QWidget*> seen;
        t.ConnectBtn->setFocus(Qt::TabFocusReason);
        seen.push_back(QApplication::focusWidget());
        for (int guard = 0; guard < 100; ++guard) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, modifiers);
            QWidget* focus = QApplication::focusWidget();
            if (focus == t.ConnectBtn || focus == nullptr) {
                break;
            }
            seen.push_back(focus);
        }
        return seen;
    };
    auto names = [](const std::vector<QWidget*>& widgets) {
        std::vector<std::string> out;
        for (QWidget* w : widgets) {
            out.push_back(w == nullptr ? "(none)" : w->objectName().toStdString());
        }
        return out;
    };
    EXPECT_EQ(names(walk(Qt::NoModifier)), names(expected));
    std::vector<QWidget*> backwards(expected.begin() + 1, expected.end());
    std::reverse(backwards.begin(), backwards.end());
    backwards.insert(backwards.begin(), t.ConnectBtn);
    EXPECT_EQ(names(walk(Qt::ShiftModifier)), names(backwards));

    // Once connected, Disconnect takes its place in the order.
    t.DisConnectBtn->setEnabled(true);
    t.ConnectBtn->setFocus(Qt::TabFocusReason);
    QTest::keyClick(t.ConnectBtn, Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), t.DisConnectBtn);
}

// The bounds of the pixels in which two images of one size differ (empty: none).
QRect DifferingPixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) {
        return a.rect() | b.rect();
    }
    QRect differ;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) {
                differ |= QRect(x, y, 1, 1);
            }
        }
    }
    return differ;
}

// The window on a screen of any ratio: the grab has the window's size in device pixels, and
// where the chart is, it shows exactly the chart painted straight into an image of that
// ratio (the readout labels lie on top of the chart, so they are hidden for the comparison, and
// so does the toolbar's last row).
TEST(TarnelScreens, TheWindowsGrabShowsTheChartPaintedAtTheScreensRatio) {
    const double ratio = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                             ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                             : 1.0;
    auto window = MakeTarnel();
    TTarnel& t = *window;
    // A finished sweep on the chart, and its summary in the labels.
    t.ScanStartBtnClick();
    t.SioDataPacketStringPacket("Start\r\n");
    for (int i = 0; i <= 100; ++i) {
        t.SioDataPacketStringPacket(std::to_string(1000 + 40 * i) + ",300,250,250\r\n");
    }
    ASSERT_EQ(t.Series3().Count(), 101);
    ASSERT_FALSE(t.SWRLabel->text().isEmpty());
    t.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&t));
    ASSERT_EQ(t.devicePixelRatioF(), ratio);

    for (QLabel* label : {t.SWRLabel, t.CenterSWRLabel, t.SWROKLabel}) {
        label->hide();
    }
    const QImage shown = t.grab().toImage();
    EXPECT_EQ(shown.size(), QSize(1008, 524) * ratio);

    const QSize chart_size = t.Chart1->size();
    QImage direct(chart_size * ratio, QImage::Format_ARGB32_Premultiplied);
    direct.setDevicePixelRatio(ratio);
    direct.fill(t.Chart1->palette().color(QPalette::Window));
    {
        QPainter painter(&direct);
        chart::QtCanvas canvas;
        canvas.SetPainter(&painter);
        t.Chart1->Plot().BeginPaint();
        chart::PlotPainter(t.Chart1->Plot(), canvas).Paint(chart_size.width(), chart_size.height());
        t.Chart1->Plot().EndPaint();
    }
    ASSERT_EQ(t.Chart1->geometry(), QRect(176, 40, 825, 457));
    // The toolbar, as designed, reaches one row into the chart and lies above it there.
    const QRect covered = t.Chart1->geometry().intersected(t.PlotToolbar1->geometry());
    ASSERT_EQ(covered, QRect(176, 40, 825, 1));
    const QRect visible = t.Chart1->geometry().adjusted(0, covered.height(), 0, 0);
    const QImage in_grab = shown.copy(QRect(visible.topLeft() * ratio, visible.size() * ratio))
                               .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage painted =
        direct.copy(QRect(QPoint(0, covered.height()) * ratio, visible.size() * ratio));
    EXPECT_EQ(DifferingPixels(in_grab, painted), QRect());
}

} // namespace
} // namespace app
