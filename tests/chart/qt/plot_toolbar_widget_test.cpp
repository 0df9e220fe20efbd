// The toolbar strip as widgets: buttons that assistive tools can name, the exclusive mode
// group, the label, the glyphs, and real mouse drags on a chart widget, including the ones
// whose mouse-up never comes.
#include "chart/qt/plot_toolbar_widget.h"
#include "chart/qt/plot_widget.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

namespace chart {
namespace {

// A chart widget with the toolbar strip above it, as the main window places them.
struct Strip {
    Strip() {
        host.resize(860, 520);
        toolbar = new PlotToolbarWidget(&host);
        toolbar->setGeometry(10, 8, 825, 33);
        chart = new PlotWidget(&host);
        chart->setGeometry(10, 40, 825, 457);
        toolbar->SetPanel(chart);
    }
    QAbstractButton* Button(TPlotToolbarControls kind) const { return toolbar->ButtonWidget(kind); }
    QString Label() const { return toolbar->LabelWidget()->text(); }

    // A mouse event on the chart, with the buttons held after it.
    void Send(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held,
              Qt::KeyboardModifiers keys = Qt::NoModifier) const {
        QMouseEvent event(type, QPointF(at), chart->mapToGlobal(QPointF(at)), button, held, keys);
        QApplication::sendEvent(chart, &event);
    }

    QWidget host;
    PlotToolbarWidget* toolbar;
    PlotWidget* chart;
};

TEST(PlotToolbarWidget, ButtonsAreNamedPlacedAndEnabledForAssistiveTools) {
    Strip strip;
    strip.host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&strip.host));
    const struct {
        TPlotToolbarControls kind;
        const char* name;
        int left;
        bool checkable;
    } expected[] = {
        {tcbNormal, "Normal", 4, true}, {tcbRotate, "Rotate", 39, true},
        {tcbMove, "Move", 68, true},    {tcbZoom, "Zoom", 97, true},
        {tcbDepth, "Depth", 126, true}, {tcb3D, "3D", 155, true},
        {tcbEdit, "Edit", 190, false},  {tcbPrintPreview, "Print", 219, false},
        {tcbCopy, "Copy", 248, false},  {tcbSave, "Save", 277, false},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.name);
        QAbstractButton* button = strip.Button(e.kind);
        ASSERT_NE(button, nullptr);
        QAccessibleInterface* access = QAccessible::queryAccessibleInterface(button);
        ASSERT_NE(access, nullptr);
        EXPECT_EQ(access->text(QAccessible::Name), QString::fromLatin1(e.name));
        EXPECT_FALSE(access->state().disabled);
        EXPECT_EQ(button->toolTip(), QString::fromLatin1(e.name));
        EXPECT_EQ(button->geometry(), QRect(e.left, 4, 25, 25));
        EXPECT_EQ(button->isCheckable(), e.checkable);
        EXPECT_FALSE(button->icon().isNull());
    }
    EXPECT_TRUE(strip.Button(tcbNormal)->isChecked());
    QLabel* label = strip.toolbar->LabelWidget();
    EXPECT_EQ(label->pos(), QPoint(306, 12));
    EXPECT_EQ(label->text(), QString());
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0, 0, 0x80));
    EXPECT_FALSE(label->autoFillBackground());
    EXPECT_EQ(label->font().pixelSize(), 11);

    // Without a chart every button is disabled; hints can be switched off.
    strip.toolbar->SetPanel(nullptr);
    for (const auto& e : expected) {
        EXPECT_FALSE(strip.Button(e.kind)->isEnabled()) << e.name;
    }
    strip.toolbar->Toolbar().SetShowHint(false);
    EXPECT_EQ(strip.Button(tcbRotate)->toolTip(), QString());
}

TEST(PlotToolbarWidget, ModeGroupIsExclusiveAndClicksSetTheLabel) {
    Strip strip;
    strip.host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&strip.host));
    QTest::mouseClick(strip.Button(tcbRotate), Qt::LeftButton);
    EXPECT_EQ(strip.Label(), QStringLiteral("Drag Chart to Rotate"));
    EXPECT_TRUE(strip.Button(tcbRotate)->isChecked());
    EXPECT_FALSE(strip.Button(tcbNormal)->isChecked());
    QTest::mouseClick(strip.Button(tcbRotate), Qt::LeftButton); // stays down
    EXPECT_TRUE(strip.Button(tcbRotate)->isChecked());
    QTest::mouseClick(strip.Button(tcbDepth), Qt::LeftButton);
    EXPECT_EQ(strip.Label(), QStringLiteral("Drag Chart to resize 3D"));
    EXPECT_FALSE(strip.Button(tcbRotate)->isChecked());
    EXPECT_EQ(strip.toolbar->Toolbar().DefaultButton(), tcbDepth);

    // Writing DefaultButton presses the button without its click.
    strip.toolbar->Toolbar().SetDefaultButton(tcbMove);
    EXPECT_TRUE(strip.Button(tcbMove)->isChecked());
    EXPECT_FALSE(strip.Button(tcbDepth)->isChecked());
    EXPECT_EQ(strip.Label(), QStringLiteral("Drag Chart to resize 3D"));

    QTest::mouseClick(strip.Button(tcb3D), Qt::LeftButton);
    EXPECT_TRUE(strip.chart->Plot().View3D());
    EXPECT_TRUE(strip.Button(tcb3D)->isChecked());
    QTest::mouseClick(strip.Button(tcb3D), Qt::LeftButton);
    EXPECT_FALSE(strip.chart->Plot().View3D());
    EXPECT_FALSE(strip.Button(tcb3D)->isChecked());

    // Action buttons do nothing yet and never stay down.
    QTest::mouseClick(strip.Button(tcbCopy), Qt::LeftButton);
    EXPECT_FALSE(strip.Button(tcbCopy)->isChecked());
}

TEST(PlotToolbarWidget, GlyphsHaveBothLooksAtBothRatios) {
    for (const char* glyph : {"GlyphNormal", "GlyphRotate", "GlyphMove", "GlyphZoom", "GlyphDepth",
                              "GlyphView3D", "GlyphEdit", "GlyphPrint", "GlyphCopy", "GlyphSave"}) {
        SCOPED_TRACE(glyph);
        const QIcon icon = PlotToolbarWidget::GlyphIcon(glyph);
        ASSERT_FALSE(icon.isNull());
        for (qreal ratio : {1.0, 2.0}) {
            const QPixmap normal = icon.pixmap(QSize(24, 24), ratio, QIcon::Normal);
            const QPixmap disabled = icon.pixmap(QSize(24, 24), ratio, QIcon::Disabled);
            EXPECT_EQ(normal.size(), QSize(24, 24) * ratio);
            EXPECT_NE(normal.toImage(), disabled.toImage());
            // Something is drawn, and not everywhere.
            const QImage image = normal.toImage();
            int opaque = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    opaque += qAlpha(image.pixel(x, y)) > 128 ? 1 : 0;
                }
            }
            EXPECT_GT(opaque, image.width() * image.height() / 20);
            EXPECT_LT(opaque, image.width() * image.height());
        }
    }
    EXPECT_TRUE(PlotToolbarWidget::GlyphIcon("GlyphNone").isNull());
}

TEST(PlotToolbarWidget, DraggingTheChartTurnsIt3DAndShowsTheValues) {
    Strip strip;
    strip.host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&strip.host));
    int moves_seen = 0;
    strip.chart->OnMouseMove = [&](Qt::KeyboardModifiers, int, int) { ++moves_seen; };
    QTest::mouseClick(strip.Button(tcbRotate), Qt::LeftButton);

    QTest::mousePress(strip.chart, Qt::LeftButton, Qt::NoModifier, QPoint(400, 200));
    EXPECT_TRUE(strip.chart->MouseGrabbed());
    EXPECT_EQ(QWidget::mouseGrabber(), strip.chart);
    for (int i = 1; i <= 10; ++i) {
        strip.Send(QEvent::MouseMove, QPoint(400 + 5 * i, 200 - 3 * i), Qt::NoButton,
                   Qt::LeftButton);
    }
    EXPECT_EQ(moves_seen, 10); // the window's own handler keeps seeing every move
    EXPECT_TRUE(strip.chart->Plot().View3D());
    EXPECT_TRUE(strip.Button(tcb3D)->isChecked());
    const TPlotView3DOptions& o = strip.chart->Plot().View3DOptions();
    EXPECT_GT(o.Rotation, 345);
    EXPECT_GT(o.Elevation, 345);
    EXPECT_EQ(strip.Label(), QStringLiteral("Rotation: %1\u00B0 Elevation: %2\u00B0")
                                 .arg(qRound(o.Rotation))
                                 .arg(qRound(o.Elevation)));
    QTest::mouseRelease(strip.chart, Qt::LeftButton, Qt::NoModifier, QPoint(450, 170));
    EXPECT_FALSE(strip.chart->MouseGrabbed());
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);

    // The right button moves in any mode.
    const int32_t horiz = o.HorizOffset;
    strip.Send(QEvent::MouseButtonPress, QPoint(100, 100), Qt::RightButton, Qt::RightButton);
    strip.Send(QEvent::MouseMove, QPoint(112, 97), Qt::NoButton, Qt::RightButton);
    strip.Send(QEvent::MouseButtonRelease, QPoint(112, 97), Qt::RightButton, Qt::NoButton);
    EXPECT_EQ(strip.chart->Plot().View3DOptions().HorizOffset, horiz + 12);
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
}

TEST(PlotToolbarWidget, NormalModeDragLeavesTheChartAlone) {
    Strip strip;
    strip.host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&strip.host));
    QTest::mousePress(strip.chart, Qt::LeftButton, Qt::NoModifier, QPoint(400, 200));
    strip.Send(QEvent::MouseMove, QPoint(450, 150), Qt::NoButton, Qt::LeftButton);
    QTest::mouseRelease(strip.chart, Qt::LeftButton, Qt::NoModifier, QPoint(450, 150));
    EXPECT_FALSE(strip.chart->Plot().View3D());
    EXPECT_EQ(strip.chart->Plot().View3DOptions(), TPlotView3DOptions{});
    EXPECT_FALSE(strip.chart->MouseGrabbed());
    EXPECT_EQ(strip.Label(), QString());
}

TEST(PlotToolbarWidget, AModalBoxMidDragEndsTheDrag) {
    Strip strip;
    strip.host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&strip.host));
    QTest::mouseClick(strip.Button(tcbMove), Qt::LeftButton);
    QTest::mousePress(strip.chart, Qt::LeftButton, Qt::NoModifier, QPoint(400, 200));
    strip.Send(QEvent::MouseMove, QPoint(410, 200), Qt::NoButton, Qt::LeftButton);
    ASSERT_TRUE(strip.chart->MouseGrabbed());

    // An error box opens while the button is held; it is answered, and the mouse-up went
    // to it, not to the chart.
    bool grab_released_while_box_open = false;
    QTimer::singleShot(0, [&] {
        grab_released_while_box_open = QWidget::mouseGrabber() == nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(widget); box != nullptr) {
                box->accept();
            }
        }
    });
    QMessageBox box(QMessageBox::Critical, "Tarnel", "error", QMessageBox::Ok, &strip.host);
    box.exec();
    EXPECT_TRUE(grab_released_while_box_open);
    EXPECT_FALSE(strip.chart->MouseGrabbed());
    EXPECT_FALSE(strip.toolbar->Toolbar().Dragging());

    // Hovering afterwards moves nothing.
    const int32_t horiz = strip.chart->Plot().View3DOptions().HorizOffset;
    strip.Send(QEvent::MouseMove, QPoint(600, 300), Qt::NoButton, Qt::NoButton);
    strip.Send(QEvent::MouseMove, QPoint(650, 300), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(strip.chart->Plot().View3DOptions().HorizOffset, horiz);
}

TEST(PlotToolbarWidget, ChartDestroyedDuringADragLeavesNoGrab) {
    Strip strip;
    strip.host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&strip.host));
    QTest::mouseClick(strip.Button(tcbZoom), Qt::LeftButton);
    QTest::mousePress(strip.chart, Qt::LeftButton, Qt::NoModifier, QPoint(400, 200));
    ASSERT_EQ(QWidget::mouseGrabber(), strip.chart);
    delete strip.chart;
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    EXPECT_EQ(strip.toolbar->Toolbar().Panel(), nullptr);
    EXPECT_FALSE(strip.Button(tcbZoom)->isEnabled());
}

} // namespace
} // namespace chart
