#include "chart/plot.h"
#include "chart/series.h"
#include "chart/series_data.h"
#include "fixed_canvas.h"

#include <array>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace chart {
namespace {

// The chart as the main window configures it: title, bold label fonts, six line series
// (R and Z on the right axis, the rest on the left), manual left and right ranges.
struct MainWindowChart : ::testing::Test {
    TPlot chart;
    std::array<TPlotLineSeries, 6> series;
    test::FixedCanvas canvas;

    void SetUp() override {
        chart.Title().Text = {"VSWR Scan Data Chart"};
        chart.Title().Font = TPlotFont{"Verdana", 16, base::clBlue, fsBold};
        chart.Legend().CustomPosition = true;
        chart.Legend().ResizeChart = false;
        for (TPlotAxis* axis : {&chart.BottomAxis(), &chart.LeftAxis(), &chart.RightAxis()}) {
            axis->LabelsFont() = TPlotFont{"Verdana", 11, base::clBlack, fsBold};
        }
        chart.LeftAxis().SetMinMax(1, 6);
        chart.RightAxis().SetMinMax(0, 300);
        const char* titles[] = {"R", "Z", "SWR", "CenterLine", "RefLine", "YLine"};
        for (int i = 0; i < 6; ++i) {
            series[i].SetTitle(titles[i]);
            chart.AddSeries(series[i]);
            series[i].SetCustomVertAxis(i < 2 ? &chart.RightAxis() : &chart.LeftAxis());
        }
        chart.BottomAxis().SetMinMax(13675, 14675);
        chart.RightAxis().Grid().Visible = false;
        series[3].AddXY(14175, 1);
        series[3].AddXY(14175, 6);
        series[4].AddXY(5, 1);
        series[4].AddXY(5, 6);
        series[5].AddXY(1, 6);
        series[5].AddXY(3, 6);
    }
};

TEST_F(MainWindowChart, LayoutOfTheWindowsChart) {
    chart.CalcLayout(825, 457, canvas);
    // Border 1 and margins 3 % / 4 %: (25, 19)-(800, 438). The title line (19 px high)
    // takes 19 + 8. The bottom axis takes one label line (14) + 7. The left axis' widest
    // label at step 0.2 is "5.8" (18) + a space (6) + 7; the right axis' at step 20 "300".
    const TRect expected{25 + 31, 19 + 19 + 8, 800 - 31, 438 - 21};
    EXPECT_EQ(chart.ChartRect(), expected);
    EXPECT_EQ(chart.Layout().TitleRect, (TRect{25, 20, 800, 39}));

    const TPlotAxis& bottom = chart.BottomAxis();
    const TPlotAxis& left = chart.LeftAxis();
    const TPlotAxis& right = chart.RightAxis();
    EXPECT_TRUE(bottom.IsVisible() && left.IsVisible() && right.IsVisible());
    EXPECT_FALSE(chart.TopAxis().IsVisible()); // no series on it: no space either
    EXPECT_TRUE(chart.TopAxis().LabelList().empty());
    EXPECT_FALSE(chart.DepthAxis().IsVisible());
    EXPECT_EQ(bottom.IStartPos(), 56);
    EXPECT_EQ(bottom.IEndPos(), 769);
    EXPECT_EQ(left.IStartPos(), 46);
    EXPECT_EQ(left.IEndPos(), 417);
    EXPECT_EQ(right.IAxisSize(), 371);
    EXPECT_EQ(left.PosAxis(), 56);
    EXPECT_EQ(left.PosLabels(), 49);
    EXPECT_EQ(right.PosAxis(), 769);
    EXPECT_EQ(right.PosLabels(), 776);
    EXPECT_EQ(bottom.PosAxis(), 417);
    EXPECT_EQ(bottom.PosLabels(), 424);

    // Bottom labels: widest of "13,675", "7,087.5", "14,675" is 42 + 4; 713 / 46 = 15.5
    // rounds (half to even) to 16 labels, so the step is 100: 14600 down to 13700.
    ASSERT_EQ(bottom.LabelList().size(), 10u);
    EXPECT_EQ(bottom.LabelList().front().Text, "14,600");
    EXPECT_EQ(bottom.LabelList().back().Text, "13,700");
    EXPECT_EQ(bottom.LabelList().back().Pos, 56 + 18); // 25 kHz x 713 / 1000 = 17.8
    // Left: 1 to 6 by 0.2 (26 labels), right: 0 to 300 by 20 (16 labels).
    EXPECT_EQ(left.LabelList().size(), 26u);
    EXPECT_EQ(left.LabelList().front().Pos, 46);
    EXPECT_EQ(right.LabelList().size(), 16u);
    EXPECT_EQ(right.LabelList()[1].Text, "280");
}

TEST_F(MainWindowChart, MouseColumnsMapToTheSweepRange) {
    chart.CalcLayout(825, 457, canvas);
    const TPlotSeries& swr = series[2];
    EXPECT_EQ(swr.XScreenToValue(56), 13675.0);
    EXPECT_EQ(swr.XScreenToValue(769), 14675.0);
    EXPECT_EQ(swr.XScreenToValue(400), 13675 + 344.0 * 1000 / 713);
    EXPECT_LT(swr.XScreenToValue(30), 13675.0);  // left margin: below the range
    EXPECT_EQ(series[3].CalcXPos(0), 56 + 356);  // the centre line: 500 x 713 / 1000 = 356.5
    EXPECT_EQ(series[0].CalcYPosValue(300), 46); // R at 300 sits on the top edge
    EXPECT_EQ(series[2].CalcYPosValue(1), 417);
    // The stored cursor lines lie left of the range.
    EXPECT_LT(series[4].CalcXPos(0), 56);
}

TEST_F(MainWindowChart, ResizingRecomputesMarginsAndMapping) {
    chart.CalcLayout(825, 457, canvas);
    const TRect before = chart.ChartRect();
    chart.CalcLayout(1000, 600, canvas);
    EXPECT_EQ(chart.ChartRect().Left, 1 + 30 + 31);
    EXPECT_EQ(chart.ChartRect().Top, 1 + 24 + 27);
    EXPECT_NE(chart.ChartRect(), before);
    EXPECT_EQ(chart.BottomAxis().IEndPos(), chart.ChartRect().Right);
    EXPECT_EQ(series[2].XScreenToValue(chart.ChartRect().Right), 14675.0);
}

TEST_F(MainWindowChart, TinyControlsKeepAOnePixelPlotAreaInsideTheBounds) {
    for (auto [w, h] : {std::pair{60, 40}, {10, 10}, {1, 1}, {0, 0}, {-5, -5}}) {
        chart.CalcLayout(w, h, canvas);
        const TRect& r = chart.ChartRect();
        EXPECT_GE(r.Width(), 1) << w << "x" << h;
        EXPECT_GE(r.Height(), 1) << w << "x" << h;
        EXPECT_GE(r.Left, 0);
        EXPECT_GE(r.Top, 0);
        EXPECT_LE(r.Left, std::max(w - 1, 0));
        EXPECT_LE(r.Top, std::max(h - 1, 0));
    }
}

TEST(PlotFonts, PointSizesConvertAt96DotsPerInch) {
    const std::pair<int32_t, int32_t> points_pixels[] = {{8, 11}, {12, 16}, {10, 13}, {0, 0}};
    for (auto [points, pixels] : points_pixels) {
        TPlotFont font;
        font.SetPointSize(points);
        EXPECT_EQ(font.PixelSize, pixels) << points;
        EXPECT_EQ(font.PointSize(), points) << pixels;
    }
    TPlotFont chart_default;
    EXPECT_EQ(chart_default.Name, "Arial");
    EXPECT_EQ(chart_default.PointSize(), 8);
}

TEST(PlotAxes, SixAxesInListOrder) {
    TPlot chart;
    const char* names[] = {"Bottom", "Top", "Left", "Right", "Depth", "DepthTop"};
    for (int32_t i = 0; i < TPlot::kAxisCount; ++i) {
        EXPECT_STREQ(chart.Axes(i).Identifier(), names[i]);
        EXPECT_EQ(chart.Axes(i).Horizontal(), i < 2);
        EXPECT_EQ(chart.Axes(i).Visible(), i < 4); // the depth axes start invisible
    }
    EXPECT_EQ(&chart.Axes(0), &chart.BottomAxis());
    EXPECT_EQ(&chart.Axes(3), &chart.RightAxis());
    EXPECT_TRUE(chart.RightAxis().OtherSide());
    EXPECT_FALSE(chart.LeftAxis().OtherSide());
}

TEST(PlotAxes, VisibilityFollowsTheActiveSeries) {
    TPlot chart;
    auto visible = [&] {
        std::string out;
        for (int32_t i = 0; i < TPlot::kAxisCount; ++i) {
            out += chart.IsAxisVisible(chart.Axes(i)) ? '1' : '0';
        }
        return out;
    };
    EXPECT_EQ(visible(), "111100"); // no active series: every standard axis
    TPlotLineSeries s;
    chart.AddSeries(s);
    EXPECT_EQ(visible(), "101000");
    s.SetVertAxis(aRightAxis);
    EXPECT_EQ(visible(), "100100");
    s.SetActive(false);
    EXPECT_EQ(visible(), "111100");
    chart.SetView3D(true);
    chart.DepthAxis().SetVisible(true);
    EXPECT_EQ(visible(), "111110");
    chart.SetAxisVisible(false);
    EXPECT_EQ(visible(), "000000");
}

TEST(PlotRepaint, RequestsReachTheWidgetExceptWhilePainting) {
    TPlot chart;
    chart.Invalidate(); // nobody connected: nothing happens
    int requests = 0;
    chart.OnInvalidate = [&] { ++requests; };
    chart.Invalidate();
    chart.LeftAxis().SetMinMax(1, 6);
    EXPECT_EQ(requests, 2);
    chart.BeginPaint();
    chart.Invalidate();
    chart.BottomAxis().SetMinMax(1, 2);
    chart.EndPaint();
    EXPECT_EQ(requests, 2);
    chart.SetMargins(3, 4, 3, 4); // unchanged: no request
    EXPECT_EQ(requests, 2);
    chart.SetMargins(0, 0, 0, 0);
    EXPECT_EQ(requests, 3);
}

TEST(PlotLayout, AutomaticBottomAxisAndMarginsWithoutBorder) {
    TPlot chart;
    chart.SetBevelOuter(false);
    chart.SetMargins(0, 0, 0, 0);
    TPlotLineSeries s;
    chart.AddSeries(s);
    s.AddXY(10, 2);
    s.AddXY(30, 4);
    test::FixedCanvas canvas;
    chart.CalcLayout(400, 300, canvas);
    // Bottom: one label line + ticks; left (2 to 4 by 0.1): "3.9" + space + ticks.
    EXPECT_EQ(chart.ChartRect(), (TRect{18 + 6 + 7, 0, 400, 300 - 21}));
    EXPECT_EQ(chart.BottomAxis().IMinimum(), 10);
    EXPECT_EQ(chart.BottomAxis().IMaximum(), 30);
    EXPECT_EQ(chart.LeftAxis().IRange(), 2);
}

TEST(PlotLayout, WidestLabelIsMeasuredBeforeTheBottomZoneShrinksTheArea) {
    TPlot chart;
    chart.SetBevelOuter(false);
    chart.SetMargins(0, 0, 0, 0);
    TPlotLineSeries s;
    chart.AddSeries(s);
    chart.BottomAxis().SetMinMax(0, 10);
    chart.LeftAxis().SetMinMax(0, 1);
    test::FixedCanvas canvas;
    chart.CalcLayout(400, 300, canvas);
    // Before the bottom zone (21) the left axis spans 300 px: 20 labels of 15 px fit, step
    // 0.05, widest "0.95" (24) + space + ticks. On the final 279 px only 19 fit: step 0.1.
    EXPECT_EQ(chart.ChartRect(), (TRect{24 + 6 + 7, 0, 400, 279}));
    const auto& labels = chart.LeftAxis().LabelList();
    ASSERT_EQ(labels.size(), 11u);
    EXPECT_EQ(labels[1].Text, "0.9");
}

// Settings far outside any sensible value (a corrupt stored layout) give a plot area inside
// the control and axis positions in the saturated pixel band, never an overflowed int.
TEST_F(MainWindowChart, AbsurdSettingsSaturateInsteadOfOverflowing) {
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int32_t kLimit = TPlotAxis::kPixelLimit;
    struct Case {
        const char* what;
        std::function<void(TPlot&)> set;
        int32_t bottom_start; // expected IStartPos of the bottom axis, 0: not checked
    };
    const Case cases[] = {
        {"start position", [](TPlot& c) { c.BottomAxis().SetStartPosition(1e12); }, kLimit},
        {"end position", [](TPlot& c) { c.BottomAxis().SetEndPosition(-1e300); }, 0},
        {"offsets", [](TPlot& c) { c.BottomAxis().SetMinimumOffset(kMax); }, kLimit},
        {"tick length", [](TPlot& c) { c.LeftAxis().SetTickLength(kMax); }, 0},
        {"axis pen", [](TPlot& c) { c.RightAxis().Axis().Width = kMax; }, 0},
        {"margins", [](TPlot& c) { c.SetMargins(kMax, kMax, -kMax, kMax); }, 0},
        {"title margin", [](TPlot& c) { c.Title().VertMargin = kMax; }, 0},
        {"bevel", [](TPlot& c) { c.SetBevelWidth(kMax); }, 0},
    };
    for (const auto& c : cases) {
        TPlot fresh;
        TPlotLineSeries s;
        fresh.AddSeries(s);
        s.AddXY(1, 1);
        s.AddXY(2, 2);
        fresh.Title().Text = {"T"};
        c.set(fresh);
        fresh.CalcLayout(825, 457, canvas);
        const TRect& r = fresh.ChartRect();
        EXPECT_TRUE(r.Left >= 0 && r.Left <= 824 && r.Top >= 0 && r.Top <= 456) << c.what;
        EXPECT_GE(r.Width(), 1) << c.what;
        EXPECT_GE(r.Height(), 1) << c.what;
        for (int32_t i = 0; i < 4; ++i) {
            const TPlotAxis& axis = fresh.Axes(i);
            EXPECT_LE(std::abs(axis.IStartPos()), kLimit) << c.what << " " << i;
            EXPECT_LE(std::abs(axis.IEndPos()), kLimit) << c.what << " " << i;
            EXPECT_EQ(axis.IAxisSize(), axis.IEndPos() - axis.IStartPos()) << c.what;
        }
        if (c.bottom_start != 0) {
            EXPECT_EQ(fresh.BottomAxis().IStartPos(), c.bottom_start) << c.what;
        }
    }
}

} // namespace
} // namespace chart
