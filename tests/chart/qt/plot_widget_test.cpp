// The chart widget: repaint requests merged into paints, the layout made at the widget's size
// before a mouse move is passed on, text measured with Qt's metrics.
#include "chart/plot_painter.h"
#include "chart/qt/plot_widget.h"
#include "chart/qt/qt_canvas.h"
#include "chart/series.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace chart {
namespace {

TEST(PlotWidget, RepaintRequestsAreMergedIntoOnePaint) {
    PlotWidget widget;
    widget.resize(300, 200);
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !widget.RepaintPending(); }, 2000));

    const int before = widget.ScheduledPaints();
    TPlotLineSeries series;
    series.SetParentChart(&widget.Plot());
    for (int i = 0; i < 1000; ++i) {
        series.AddXY(i, i % 7);
    }
    EXPECT_EQ(widget.ScheduledPaints(), before + 1);
    EXPECT_TRUE(widget.RepaintPending());

    // Once the batch has been painted, the next request schedules another paint.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !widget.RepaintPending(); }, 2000));
    series.AddXY(1000, 1);
    EXPECT_EQ(widget.ScheduledPaints(), before + 2);
    series.SetParentChart(nullptr);
}

// After a quiet spell a change is painted at once, not an interval later.
TEST(PlotWidget, AChangeAfterAQuietSpellPaintsWithoutWaiting) {
    PlotWidget widget;
    widget.resize(300, 200);
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !widget.RepaintPending(); }, 2000));
    QElapsedTimer quiet;
    quiet.start();
    while (quiet.elapsed() <= 2 * 1000 / PlotWidget::kMaxPaintsPerSecond) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    widget.Plot().SetView3D(false);
    widget.Plot().Invalidate();
    ASSERT_TRUE(widget.RepaintPending());
    QCoreApplication::processEvents(); // no timer to wait for: the update is already posted
    EXPECT_FALSE(widget.RepaintPending());
}

TEST(PlotWidget, PaintsThePanelBackground) {
    PlotWidget widget;
    widget.resize(200, 100);
    TPlotGradient& gradient = widget.Plot().Gradient();
    gradient.Visible = true;
    gradient.StartColor = 15395562; // #EAEAEA at the top
    gradient.MidColor = 15395562;
    gradient.EndColor = base::clWhite; // white at the bottom
    gradient.Direction = gdBottomTop;
    const QImage image = widget.grab().toImage();
    EXPECT_EQ(image.pixelColor(100, 20), QColor(0xEA, 0xEA, 0xEA));
    EXPECT_GT(image.pixelColor(100, 97).red(), 0xF8);
    EXPECT_EQ(widget.cursor().shape(), Qt::CrossCursor);
}

TEST(PlotWidget, MouseMovesArriveAfterTheLayoutAtTheCurrentSize) {
    PlotWidget widget;
    widget.resize(825, 457);
    TPlotLineSeries series;
    series.SetParentChart(&widget.Plot());
    widget.Plot().BottomAxis().SetMinMax(6600, 7600);

    struct Seen {
        int x = -1;
        int y = -1;
        bool layout_valid = false;
        TRect bounds;
        double axis_min = 0;
        double value_at_x = 0;
    } seen;
    widget.OnMouseMove = [&](Qt::KeyboardModifiers, int x, int y) {
        seen = {x,
                y,
                widget.Plot().Layout().Valid,
                widget.Plot().Layout().Bounds,
                widget.Plot().BottomAxis().IMinimum(),
                series.XScreenToValue(x)};
    };
    const QPointF local(400, 150);
    QMouseEvent move(QEvent::MouseMove, local, widget.mapToGlobal(local), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&widget, &move);

    EXPECT_EQ(seen.x, 400);
    EXPECT_EQ(seen.y, 150);
    EXPECT_TRUE(seen.layout_valid);
    EXPECT_EQ(seen.bounds, (TRect{0, 0, 825, 457}));
    EXPECT_EQ(seen.axis_min, 6600.0);
    EXPECT_GT(seen.value_at_x, 6600.0);
    EXPECT_LT(seen.value_at_x, 7600.0);

    // A new range is in force at the next move, without a paint in between.
    widget.Plot().BottomAxis().SetMinMax(13675, 14675);
    QApplication::sendEvent(&widget, &move);
    EXPECT_EQ(seen.axis_min, 13675.0);
    EXPECT_GT(seen.value_at_x, 13675.0);
    series.SetParentChart(nullptr);
}

TEST(QtCanvas, MeasuresWithTheChartFont) {
    QtCanvas canvas;
    TPlotFont font;
    font.Name = "Verdana";
    font.PixelSize = 11;
    canvas.SetFont(font);
    EXPECT_EQ(canvas.Font(), font);
    EXPECT_EQ(canvas.TextWidth(""), 0);
    const int w = canvas.TextWidth("W");
    EXPECT_GT(w, 0);
    EXPECT_GT(canvas.TextWidth("14675"), canvas.TextWidth("1"));
    const int small_height = canvas.TextHeight("W");
    EXPECT_GE(small_height, 11);

    font.PixelSize = 16;
    canvas.SetFont(font);
    EXPECT_GT(canvas.TextHeight("W"), small_height);
    EXPECT_GT(canvas.TextWidth("W"), w);

    font.PixelSize = 11;
    const int regular = (canvas.SetFont(font), canvas.TextWidth("VSWR Scan Data Chart"));
    font.Style = fsBold;
    canvas.SetFont(font);
    EXPECT_GT(canvas.TextWidth("VSWR Scan Data Chart"), regular);
    EXPECT_EQ(QtCanvas::ToQFont(font).pixelSize(), 11);
    EXPECT_TRUE(QtCanvas::ToQFont(font).bold());
}

TEST(PlotWidget, PaintsTheWholeChartThroughTheOffScreenImage) {
    PlotWidget widget;
    widget.resize(400, 300);
    TPlotLineSeries series;
    series.SetParentChart(&widget.Plot());
    series.LinePen().Width = 2;
    series.SetSeriesColor(base::clRed);
    widget.Plot().BottomAxis().SetMinMax(0, 10);
    widget.Plot().LeftAxis().SetMinMax(0, 10);
    series.AddXY(0, 5);
    series.AddXY(10, 5);
    const QImage image = widget.grab().toImage();
    // The paint's own layout is the one the mapping reads.
    const TRect& area = widget.Plot().ChartRect();
    ASSERT_TRUE(widget.Plot().Layout().Valid);
    EXPECT_EQ(widget.Plot().Layout().Bounds, (TRect{0, 0, 400, 300}));
    EXPECT_EQ(image.pixelColor(area.Left + 5, area.Top), QColor(Qt::black)); // back wall frame
    EXPECT_EQ(image.pixelColor((area.Left + area.Right) / 2, series.CalcYPosValue(5)),
              QColor(Qt::red));
    series.SetParentChart(nullptr);
}

// The window shows exactly the chart painted at the screen's device pixel ratio, laid out in
// the same logical pixels at any ratio. CTest runs this once more under QT_SCALE_FACTOR=2.
TEST(PlotWidgetScreens, WindowShowsTheChartAtTheScreensRatioWithTheSameLogicalLayout) {
    const double expected_ratio = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                                      ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                                      : 1.0;
    PlotWidget widget;
    widget.resize(400, 300);
    widget.Plot().Title().Text = {"Sharp at any ratio"};
    TPlotLineSeries series;
    series.SetParentChart(&widget.Plot());
    series.SetSeriesColor(base::clRed);
    for (int i = 0; i <= 200; ++i) {
        series.AddXY(i, std::sin(i / 10.0));
    }
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    ASSERT_EQ(widget.devicePixelRatioF(), expected_ratio);
    const QImage shown = widget.grab().toImage();
    const TRect layout_shown = widget.Plot().ChartRect();

    const auto paint = [&](double ratio) {
        QImage image((QSizeF(400, 300) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(widget.palette().color(QPalette::Window));
        QPainter painter(&image);
        QtCanvas canvas;
        canvas.SetPainter(&painter);
        widget.Plot().BeginPaint();
        PlotPainter(widget.Plot(), canvas).Paint(400, 300);
        widget.Plot().EndPaint();
        return image;
    };
    const QImage direct = paint(expected_ratio);
    ASSERT_EQ(shown.size(), direct.size());
    EXPECT_EQ(shown.convertToFormat(QImage::Format_ARGB32_Premultiplied), direct);
    paint(1.0);
    EXPECT_EQ(widget.Plot().ChartRect(), layout_shown) << "the layout depends on the ratio";
    series.SetParentChart(nullptr);
}

TEST(PlotWidget, PaintErrorShowsThePanelAndIsReportedOnceAfterThePaint) {
    PlotWidget widget;
    widget.resize(300, 200);
    TPlotLineSeries series;
    series.SetParentChart(&widget.Plot());
    std::vector<std::string> reports;
    bool reported_while_painting = false;
    widget.OnPaintError = [&](const std::string& error) {
        reported_while_painting = reported_while_painting || widget.Plot().Painting();
        reports.push_back(error);
    };
    bool fail = true;
    widget.Plot().OnGetAxisLabel = [&](const TPlotAxis&, const TPlotSeries*, int32_t,
                                       std::string&) {
        if (fail) {
            throw std::runtime_error("label lost");
        }
    };
    QImage image = widget.grab().toImage();
    EXPECT_TRUE(reports.empty()); // posted, not delivered inside the paint
    QCoreApplication::processEvents();
    ASSERT_EQ(reports.size(), 1U);
    EXPECT_EQ(reports[0], "label lost");
    EXPECT_FALSE(reported_while_painting);
    // Only the panel: no back wall frame where the plot area would be.
    EXPECT_EQ(image.pixelColor(150, 100), image.pixelColor(150, 60));

    // Failing again reports nothing new; after a good paint a new failure is reported.
    widget.grab();
    QCoreApplication::processEvents();
    EXPECT_EQ(reports.size(), 1U);
    fail = false;
    widget.grab();
    fail = true;
    widget.grab();
    QCoreApplication::processEvents();
    EXPECT_EQ(reports.size(), 2U);
    widget.Plot().OnGetAxisLabel = nullptr;
    series.SetParentChart(nullptr);
}

} // namespace
} // namespace chart
