// The chart toolbar in the window: what assistive tools read of its buttons, and a drag on
// the chart that turns it 3D while the cursor readout keeps following the mouse.
#include "app/tarnel.h"
#include "chart/qt/plot_toolbar_widget.h"
#include "chart/qt/plot_widget.h"
#include "chart/series.h"
#include "window_doubles.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace app {
namespace {

std::unique_ptr<TTarnel> MakeWindow() {
    return std::make_unique<TTarnel>(std::make_unique<test::RecordingComPort>(),
                                     std::make_unique<test::RecordingDataPacket>());
}

TEST(TarnelToolbar, AssistiveToolsReadTheButtons) {
    auto window = MakeWindow();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    std::vector<QAccessibleInterface*> found;
    std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
        for (int i = 0; i < node->childCount(); ++i) {
            if (QAccessibleInterface* child = node->child(i)) {
                found.push_back(child);
                walk(child);
            }
        }
    };
    walk(QAccessible::queryAccessibleInterface(window.get()));
    const QPoint origin = window->mapToGlobal(QPoint(0, 0));
    const struct {
        const char* name;
        int left; // in window pixels; the strip is at (176, 8)
    } expected[] = {
        {"Normal", 180}, {"Rotate", 215}, {"Move", 244},  {"Zoom", 273}, {"Depth", 302},
        {"3D", 331},     {"Edit", 366},   {"Print", 395}, {"Copy", 424}, {"Save", 453},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.name);
        const auto it = std::find_if(found.begin(), found.end(), [&](QAccessibleInterface* a) {
            return a->text(QAccessible::Name) == QString::fromLatin1(e.name) &&
                   qobject_cast<QAbstractButton*>(a->object()) != nullptr;
        });
        ASSERT_NE(it, found.end());
        EXPECT_FALSE((*it)->state().disabled);
        EXPECT_EQ((*it)->rect(), QRect(e.left, 12, 25, 25).translated(origin));
    }
    EXPECT_TRUE(window->PlotToolbar1->Toolbar().ShowHint());
    EXPECT_EQ(window->PlotToolbar1->Toolbar().Panel(), &window->Chart1->Plot());
}

TEST(TarnelToolbar, RotateDragTurnsTheChart3DAndTheCursorStillFollows) {
    auto window = MakeWindow();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    chart::PlotToolbarWidget& strip = *window->PlotToolbar1;
    chart::PlotWidget& chart = *window->Chart1;
    QTest::mouseClick(strip.ButtonWidget(chart::tcbRotate), Qt::LeftButton);
    EXPECT_EQ(strip.LabelWidget()->text(), QStringLiteral("Drag Chart to Rotate"));
    EXPECT_FALSE(chart.Plot().View3D());

    QTest::mousePress(&chart, Qt::LeftButton, Qt::NoModifier, QPoint(300, 200));
    double last_cursor = window->Series5().XValues().Value(0);
    for (int i = 1; i <= 5; ++i) {
        const QPointF at(300 + 40 * i, 200 - 10 * i);
        QMouseEvent move(QEvent::MouseMove, at, chart.mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(&chart, &move);
        const double cursor = window->Series5().XValues().Value(0);
        EXPECT_GT(cursor, last_cursor) << "the cursor line follows the drag";
        last_cursor = cursor;
    }
    QTest::mouseRelease(&chart, Qt::LeftButton, Qt::NoModifier, QPoint(500, 150));

    EXPECT_TRUE(chart.Plot().View3D());
    EXPECT_TRUE(strip.ButtonWidget(chart::tcb3D)->isChecked());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Rotation: \\d+\u00B0 Elevation: \\d+\u00B0$"))
                    .match(strip.LabelWidget()->text())
                    .hasMatch())
        << strip.LabelWidget()->text().toStdString();
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);

    // The 3D button takes the chart back to 2D and keeps the turn for next time.
    const chart::TPlotView3DOptions turned = chart.Plot().View3DOptions();
    QTest::mouseClick(strip.ButtonWidget(chart::tcb3D), Qt::LeftButton);
    EXPECT_FALSE(chart.Plot().View3D());
    EXPECT_EQ(chart.Plot().View3DOptions(), turned);
}

} // namespace
} // namespace app
