#include "base/conversions.h"
#include "base/format_settings.h"
#include "chart/axis.h"
#include "chart/plot.h"
#include "chart/series.h"
#include "fixed_canvas.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

namespace chart {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Puts an axis in the state a layout leaves it in: range resolved, extent start..end.
void Place(TPlotAxis& axis, double min, double max, int32_t start, int32_t end) {
    axis.SetMinMax(min, max);
    axis.InternalCalcRange();
    axis.SetPositions(start, end);
}

std::vector<double> LabelValues(const TPlotAxis& axis) {
    std::vector<double> out;
    for (const auto& label : axis.LabelList()) {
        out.push_back(label.Value);
    }
    return out;
}

TEST(AxisRange, SetMinMaxSwapsWidensAndMakesTheAxisManual) {
    struct Case {
        double a, b, min, max;
    };
    const Case cases[] = {
        {13675, 14675, 13675, 14675},
        {14675, 13675, 13675, 14675},
        {5, 5, 5, 5 + 1e-10},
        {-1, -1 + 1e-11, -1, -1 + 1e-10},
    };
    for (const auto& c : cases) {
        TPlot chart;
        int repaints = 0;
        chart.OnInvalidate = [&] { ++repaints; };
        TPlotAxis& axis = chart.BottomAxis();
        axis.SetMinMax(c.a, c.b);
        EXPECT_EQ(axis.Minimum(), c.min) << c.a << " " << c.b;
        EXPECT_EQ(axis.Maximum(), c.max) << c.a << " " << c.b;
        EXPECT_FALSE(axis.Automatic());
        EXPECT_FALSE(axis.AutomaticMinimum());
        EXPECT_FALSE(axis.AutomaticMaximum());
        EXPECT_GE(repaints, 1);
    }
}

TEST(AxisRange, SettersCheckAndLeaveThePropertyUnchanged) {
    struct Case {
        const char* message;
        std::function<void(TPlotAxis&)> call;
        std::function<bool(const TPlotAxis&)> stored; // after the call while loading
    };
    const Case cases[] = {
        {"Axis Minimum Value must be <= Maximum", [](TPlotAxis& a) { a.SetMinimum(11); },
         [](const TPlotAxis& a) { return a.Minimum() == 11; }},
        {"Axis Maximum Value must be >= Minimum", [](TPlotAxis& a) { a.SetMaximum(-1); },
         [](const TPlotAxis& a) { return a.Maximum() == -1; }},
        {"Axis increment must be >= 0", [](TPlotAxis& a) { a.SetIncrement(-0.5); },
         [](const TPlotAxis& a) { return a.Increment() == -0.5; }},
        {"Labels Separation % must be greater than 0",
         [](TPlotAxis& a) { a.SetLabelsSeparation(-1); },
         [](const TPlotAxis& a) { return a.LabelsSeparation() == -1; }},
        {"Axis Logarithmic Base should be <> 1 and > 0",
         [](TPlotAxis& a) { a.SetLogarithmicBase(1); },
         [](const TPlotAxis& a) { return a.LogarithmicBase() == 1; }},
        {"Axis Logarithmic Base should be <> 1 and > 0",
         [](TPlotAxis& a) { a.SetLogarithmicBase(0); },
         [](const TPlotAxis& a) { return a.LogarithmicBase() == 0; }},
        {"DateTime Axis cannot be Logarithmic",
         [](TPlotAxis& a) {
             a.SetDateTime(true);
             a.SetLogarithmic(true);
         },
         [](const TPlotAxis& a) { return a.Logarithmic(); }},
        {"Logarithmic Axis Min and Max values should be >= 0",
         [](TPlotAxis& a) {
             a.SetMinimum(-5);
             a.SetLogarithmic(true);
         },
         [](const TPlotAxis& a) { return a.Logarithmic(); }},
    };
    for (const auto& c : cases) {
        TPlot chart;
        TPlotAxis& axis = chart.LeftAxis();
        axis.SetMinMax(0, 10);
        try {
            c.call(axis);
            ADD_FAILURE() << "no exception: " << c.message;
        } catch (const AxisException& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
        EXPECT_FALSE(c.stored(axis)) << c.message;
        EXPECT_EQ(axis.Minimum() == 0 || axis.Minimum() == -5, true);
        EXPECT_EQ(axis.Maximum(), 10);

        TPlot loading;
        loading.LeftAxis().SetMinMax(0, 10);
        loading.BeginLoading(); // the stored layout is applied without checks
        EXPECT_NO_THROW(c.call(loading.LeftAxis())) << c.message;
        EXPECT_TRUE(c.stored(loading.LeftAxis())) << c.message;
    }
}

TEST(AxisRange, AutomaticFlagsFollowEachOther) {
    TPlot chart;
    TPlotAxis& axis = chart.LeftAxis();
    axis.SetAutomaticMinimum(false);
    EXPECT_FALSE(axis.Automatic());
    EXPECT_TRUE(axis.AutomaticMaximum());
    axis.SetAutomaticMinimum(true); // the other is still on
    EXPECT_TRUE(axis.Automatic());
    axis.SetAutomatic(false);
    EXPECT_FALSE(axis.AutomaticMinimum());
    EXPECT_FALSE(axis.AutomaticMaximum());
    axis.SetAutomaticMaximum(true);
    EXPECT_FALSE(axis.Automatic());

    chart.BeginLoading(); // while loading only the flag itself is stored
    axis.SetAutomatic(true);
    EXPECT_TRUE(axis.Automatic());
    EXPECT_FALSE(axis.AutomaticMinimum());
}

TEST(AxisRange, AutomaticRangeComesFromTheAssociatedActiveSeries) {
    TPlot chart;
    TPlotLineSeries left;
    TPlotLineSeries right;
    TPlotLineSeries empty;
    chart.AddSeries(left);
    chart.AddSeries(right);
    chart.AddSeries(empty);
    right.SetCustomVertAxis(&chart.RightAxis());
    left.AddXY(10, 1);
    left.AddXY(20, 6);
    right.AddXY(5, 100);
    right.AddXY(15, 300);
    for (auto* axis :
         {&chart.BottomAxis(), &chart.LeftAxis(), &chart.RightAxis(), &chart.TopAxis()}) {
        axis->InternalCalcRange();
    }
    EXPECT_EQ(chart.BottomAxis().IMinimum(), 5);
    EXPECT_EQ(chart.BottomAxis().IMaximum(), 20);
    EXPECT_EQ(chart.LeftAxis().IMinimum(), 1);
    EXPECT_EQ(chart.LeftAxis().IMaximum(), 6);
    EXPECT_EQ(chart.RightAxis().IRange(), 200);
    // No series on the top axis: every series counts.
    EXPECT_EQ(chart.TopAxis().IMinimum(), 5);

    right.SetActive(false);
    chart.BottomAxis().InternalCalcRange();
    EXPECT_EQ(chart.BottomAxis().IMinimum(), 10);

    // A manual axis keeps its range.
    chart.BottomAxis().SetMinMax(0, 1);
    chart.BottomAxis().InternalCalcRange();
    EXPECT_EQ(chart.BottomAxis().IMaximum(), 1);
}

TEST(AxisDefaults, PublishedPropertiesStartAtTheirDefaults) {
    TPlot chart;
    const TPlotAxis& a = chart.LeftAxis();
    EXPECT_TRUE(a.Automatic() && a.AutomaticMinimum() && a.AutomaticMaximum());
    EXPECT_EQ(a.Minimum(), 0);
    EXPECT_EQ(a.Maximum(), 0);
    EXPECT_EQ(a.Increment(), 0);
    EXPECT_FALSE(a.Inverted() || a.Logarithmic() || a.MaximumRound() || a.MinimumRound());
    EXPECT_TRUE(a.Visible());
    EXPECT_EQ(a.LogarithmicBase(), 10);
    EXPECT_EQ(a.StartPosition(), 0);
    EXPECT_EQ(a.EndPosition(), 100);
    EXPECT_EQ(a.PositionPercent(), 0);
    EXPECT_EQ(a.MinimumOffset() + a.MaximumOffset(), 0);
    EXPECT_EQ(a.Axis().Width, 2);
    EXPECT_EQ(a.Axis().Color, base::clBlack);
    EXPECT_EQ(a.Grid().Color, base::TColor{0x808080});
    EXPECT_EQ(a.Grid().Style, psDot);
    EXPECT_TRUE(a.Grid().Visible);
    EXPECT_EQ(a.Grid().DrawEvery, 1);
    EXPECT_FALSE(a.MinorGrid().Visible);
    EXPECT_EQ(a.Ticks().Color, base::TColor{0x808080});
    EXPECT_EQ(a.TicksInner().Color, base::TColor{0x808080});
    EXPECT_EQ(a.MinorTicks().Color, base::TColor{0x808080});
    EXPECT_EQ(a.TickLength(), 4);
    EXPECT_EQ(a.TickInnerLength(), 0);
    EXPECT_EQ(a.MinorTickLength(), 2);
    EXPECT_EQ(a.MinorTickCount(), 3);
    EXPECT_EQ(a.TickZone(), 7);
    EXPECT_TRUE(a.TickOnLabelsOnly() && a.Labels() && a.LabelsOnAxis() && a.RoundFirstLabel());
    EXPECT_EQ(a.LabelsSeparation(), 10);
    EXPECT_FALSE(a.LabelsAlternate() || a.LabelsMultiLine() || a.LabelsExponent() ||
                 a.LabelsBehind());
    EXPECT_EQ(a.LabelsAngle(), 0);
    EXPECT_EQ(a.LabelStyle(), talAuto);
    EXPECT_EQ(a.AxisValuesFormat(), "#,##0.###");
    EXPECT_EQ(a.LabelsFont().Name, "Arial");
    EXPECT_EQ(a.LabelsFont().PointSize(), 8);
    EXPECT_TRUE(a.Title().Caption.empty());
}

TEST(AxisMapping, ValuesAndPixelsMapBothWays) {
    TPlot chart;
    TPlotAxis& bottom = chart.BottomAxis();
    // Before any layout the geometry is zero.
    EXPECT_EQ(bottom.CalcPosValue(14175), 0);
    EXPECT_EQ(bottom.CalcPosPoint(400), 0.0);

    Place(bottom, 13675, 14675, 100, 700);
    EXPECT_EQ(bottom.CalcXPosValue(13675), 100);
    EXPECT_EQ(bottom.CalcXPosValue(14675), 700);
    EXPECT_EQ(bottom.CalcXPosValue(14175), 400);
    EXPECT_EQ(bottom.CalcPosPoint(400), 14175.0);
    EXPECT_EQ(bottom.CalcPosPoint(99), 13675 + (-1.0 * 1000 / 600));
    EXPECT_LT(bottom.CalcPosPoint(99), 13675);

    TPlotAxis& left = chart.LeftAxis();
    Place(left, 1, 6, 50, 350);
    EXPECT_EQ(left.CalcYPosValue(6), 50);
    EXPECT_EQ(left.CalcYPosValue(1), 350);
    EXPECT_EQ(left.CalcPosValue(6), 50);
    EXPECT_EQ(left.CalcPosPoint(50), 6.0);
    EXPECT_EQ(left.CalcPosPoint(350), 1.0);
    // Either orientation's form, whatever the axis.
    EXPECT_EQ(left.CalcXPosValue(6), 350);

    left.SetInverted(true);
    EXPECT_EQ(left.CalcYPosValue(6), 350);
    EXPECT_EQ(left.CalcPosPoint(350), 6.0);
    bottom.SetInverted(true);
    EXPECT_EQ(bottom.CalcXPosValue(13675), 700);
    EXPECT_EQ(bottom.CalcPosPoint(700), 13675.0);
    bottom.SetInverted(false);

    // Half pixels round to even (0.5 px per kHz here).
    Place(bottom, 13675, 14675, 100, 600);
    EXPECT_EQ(bottom.CalcXPosValue(13676), 100);
    EXPECT_EQ(bottom.CalcXPosValue(13677), 101);
    EXPECT_EQ(bottom.CalcXPosValue(13678), 102);
    EXPECT_EQ(bottom.CalcXPosValue(13674), 100);

    // The same rounding as base::Round everywhere: ties, near ties, far outside the range.
    Place(bottom, 0, 1000, 100, 600);
    for (int i = -4000; i <= 4000; ++i) {
        for (const double nudge : {0.0, 1e-9, -1e-9, 0.3}) {
            const double value = i * 0.25 + nudge;
            const auto expected = 100 + base::Round(static_cast<long double>(value * 0.5));
            EXPECT_EQ(bottom.CalcXPosValue(value), expected) << value;
        }
    }

    // Pixel to value is d x IRange / IAxisSize, then added to IMinimum (horizontal) or taken
    // from IMaximum (vertical). These pixels differ in the last bit under any other order
    // (d x (IRange / IAxisSize), d / IAxisSizeRange, or the vertical form from IMinimum).
    Place(bottom, 13675, 14675, 0, 713);
    for (int32_t d : {121, 250}) {
        EXPECT_EQ(bottom.CalcPosPoint(d), 13675 + d * 1000.0 / 713) << d;
    }
    Place(left, 0, 300, 0, 371);
    for (int32_t d : {12, 50, 143}) {
        // Inverted (still set above), d counts from the end; otherwise from the start.
        EXPECT_EQ(left.CalcPosPoint(371 - d), 300 - d * 300.0 / 371) << d;
        left.SetInverted(false);
        EXPECT_EQ(left.CalcPosPoint(d), 300 - d * 300.0 / 371) << d;
        left.SetInverted(true);
    }

    // A non-positive extent maps every pixel to 0.0.
    bottom.SetPositions(300, 300);
    EXPECT_EQ(bottom.CalcPosPoint(300), 0.0);
    bottom.SetPositions(300, 200);
    EXPECT_EQ(bottom.CalcPosPoint(250), 0.0);
}

TEST(AxisMapping, FarValuesSaturateAndNaNMapsToTheCentre) {
    TPlot chart;
    TPlotAxis& bottom = chart.BottomAxis();
    // A scan width of 0: the range is 1e-10 and the cursor lines lie ~1e15 pixels away.
    Place(bottom, 14175, 14175, 25, 800);
    const int32_t limit = TPlotAxis::kPixelLimit;
    EXPECT_EQ(bottom.CalcXPosValue(14175), 25);
    EXPECT_EQ(bottom.CalcXPosValue(13675), -limit);
    EXPECT_EQ(bottom.CalcXPosValue(14675), limit);
    EXPECT_EQ(bottom.CalcXPosValue(kInf), limit);
    EXPECT_EQ(bottom.CalcXPosValue(-kInf), -limit);
    EXPECT_EQ(bottom.CalcXPosValue(kNaN), bottom.ICenterPos());
    EXPECT_EQ(bottom.ICenterPos(), 412);
    EXPECT_EQ(bottom.CalcYPosValue(1e300), -limit);

    TPlotAxis& left = chart.LeftAxis();
    Place(left, 1, 6, 50, 350);
    EXPECT_EQ(left.CalcYPosValue(kNaN), 200);
    EXPECT_EQ(left.CalcYPosValue(-1e308), limit);
    // Extreme pixels convert without overflow.
    EXPECT_EQ(left.CalcPosPoint(std::numeric_limits<int32_t>::min()),
              6 - (double(std::numeric_limits<int32_t>::min()) - 50) * 5 / 300);

    // A zero range maps everything to the centre.
    TPlot loading;
    loading.BeginLoading();
    TPlotAxis& zero = loading.LeftAxis();
    zero.SetMinimum(3);
    zero.SetMaximum(3);
    zero.SetAutomatic(false);
    zero.InternalCalcRange();
    zero.SetPositions(0, 100);
    EXPECT_TRUE(zero.IRangeZero());
    EXPECT_EQ(zero.CalcPosValue(1e300), 50);
}

TEST(AxisIncrement, NextStepFollowsOneTwoFive) {
    const std::pair<double, double> cases[] = {
        {1, 2},   {1.5, 2},     {2, 5},      {4.99, 5},  {5, 10},   {9.9, 10},
        {10, 20}, {111.1, 200}, {0.37, 0.5}, {0.2, 0.5}, {kInf, 1}, {1e300, 2e300},
    };
    for (auto [s, next] : cases) {
        EXPECT_DOUBLE_EQ(TPlotAxis::NextStep(s), next) << s;
    }
    for (double bad : {0.0, -3.0, kNaN}) {
        const double next = TPlotAxis::NextStep(bad);
        EXPECT_GT(next, 0) << bad; // and the walk moves on from there
    }
}

TEST(AxisIncrement, StepFromTheLabelsThatFit) {
    TPlot chart;
    TPlotAxis& axis = chart.BottomAxis();
    Place(axis, 13675, 14675, 0, 600);
    EXPECT_EQ(axis.CalcLabelsIncrement(8, 0), 200); // 111.1 -> 9 labels -> 200
    Place(axis, 0, 300, 0, 600);
    EXPECT_EQ(axis.CalcLabelsIncrement(30, 0), 10);   // 9.68 -> 31 labels -> 10
    EXPECT_EQ(axis.CalcLabelsIncrement(0, 0), 1e-12); // nothing fits
    EXPECT_EQ(axis.CalcLabelsIncrement(30, 25), 25);  // a desired step that fits is kept
    EXPECT_EQ(axis.CalcLabelsIncrement(30, 2), 10);   // one that does not grows 1-2-5

    // Few points on the axis: the step does not go below 1.
    Place(axis, 0, 5, 0, 600);
    EXPECT_DOUBLE_EQ(axis.CalcLabelsIncrement(30, 0), 0.2);
    TPlotLineSeries marker;
    chart.AddSeries(marker);
    marker.AddXY(1, 1);
    marker.AddXY(2, 6);
    EXPECT_EQ(axis.CalcLabelsIncrement(30, 0), 1);
    // The rule looks at the series' X values, which do not lie on a vertical axis.
    Place(chart.LeftAxis(), 0, 5, 0, 600);
    EXPECT_DOUBLE_EQ(chart.LeftAxis().CalcLabelsIncrement(30, 0), 0.2);
}

TEST(AxisIncrement, NonFiniteRangesEndTheWalk) {
    TPlot chart;
    test::FixedCanvas canvas;
    for (auto [min, max] : {std::pair{0.0, kInf},
                            {-kInf, kInf},
                            {kNaN, 1.0},
                            {0.0, 1e308},
                            {-1e308, 1e308},
                            {1e-300, 2e-300}}) {
        TPlotAxis& axis = chart.LeftAxis();
        chart.BeginLoading();
        axis.SetMinimum(min);
        axis.SetMaximum(max);
        axis.SetAutomatic(false);
        chart.Loaded();
        axis.InternalCalcRange();
        axis.SetPositions(0, 400);
        const double step = axis.CalcIncrement(canvas);
        EXPECT_FALSE(step <= 0) << min << " " << max;
        axis.CalcLabels(canvas);
        EXPECT_LE(axis.LabelList().size(), 10001u);
        EXPECT_GE(axis.MaxLabelsWidth(canvas, step), 0);
    }
}

TEST(AxisIncrement, MeasuredWithTheLabelFont) {
    TPlot chart;
    test::FixedCanvas canvas; // 6 x 14 pixels per character for the default font
    TPlotAxis& bottom = chart.BottomAxis();
    // Widest of "13,675", "7,087.5", "14,675": 42 px, + 4 separation: 600 / 46 -> 13 labels.
    Place(bottom, 13675, 14675, 100, 700);
    EXPECT_EQ(bottom.CalcIncrement(canvas), 100);
    EXPECT_EQ(canvas.Font(), bottom.LabelsFont());

    // Decimal ends are wider than the whole numbers measured again: "1,000.7" (42 px)
    // allows 9 labels of 400 px and a step of 200; "1,000" (30 px) allows 12 and 100.
    Place(bottom, 0.3, 1000.7, 0, 400);
    EXPECT_EQ(bottom.CalcIncrement(canvas), 100);
    bottom.SetLabelsAlternate(true); // no second measure, then halved
    EXPECT_EQ(bottom.CalcIncrement(canvas), 100);
    bottom.SetLabelsAlternate(false);
    bottom.SetIncrement(300); // a desired step that fits is kept, not measured again
    EXPECT_EQ(bottom.CalcIncrement(canvas), 300);
    bottom.SetIncrement(30); // 34 labels do not fit: 1-2-5 from there
    EXPECT_EQ(bottom.CalcIncrement(canvas), 200);

    // Vertical: label size is the line height, 14 + 1 -> 300 / 15 = 20 labels.
    TPlotAxis& left = chart.LeftAxis();
    Place(left, 1, 6, 50, 350);
    EXPECT_EQ(left.CalcIncrement(canvas), 0.5);
    left.LabelsFont().PixelSize = 27; // 30 + 3 -> 9 labels
    EXPECT_EQ(left.CalcIncrement(canvas), 1);
}

TEST(AxisLabels, PlacedFromTheTopOfTheRangeDownwards) {
    TPlot chart;
    TPlotAxis& bottom = chart.BottomAxis();
    Place(bottom, 13675, 14675, 100, 700);
    bottom.CalcLabels(200);
    EXPECT_EQ(LabelValues(bottom), (std::vector<double>{14600, 14400, 14200, 14000, 13800}));
    EXPECT_EQ(bottom.LabelList()[0].Text, "14,600");
    EXPECT_EQ(bottom.LabelList()[0].Pos, 655);
    EXPECT_EQ(bottom.Tick().size(), 5u);

    TPlotAxis& right = chart.RightAxis();
    Place(right, 0, 300, 50, 350);
    right.CalcLabels(50);
    EXPECT_EQ(LabelValues(right), (std::vector<double>{300, 250, 200, 150, 100, 50, 0}));
    EXPECT_EQ(right.Tick().front(), 50);
    EXPECT_EQ(right.Tick().back(), 350);
    right.SetLabelsOnAxis(false); // only strictly inside the extent
    right.CalcLabels(50);
    EXPECT_EQ(LabelValues(right), (std::vector<double>{250, 200, 150, 100, 50}));
    right.SetLabels(false); // ticks stay, texts go
    right.CalcLabels(50);
    EXPECT_EQ(right.Tick().size(), 5u);
    EXPECT_EQ(right.LabelList()[0].Text, "");
}

TEST(AxisLabels, ValuesNearZeroSnapAndTheLowerEndIsTolerant) {
    TPlot chart;
    TPlotAxis& left = chart.LeftAxis();
    Place(left, -0.25, 0.75, 0, 400);
    left.CalcLabels(0.1);
    const auto values = LabelValues(left);
    ASSERT_EQ(values.size(), 10u); // 0.7 down to -0.2
    EXPECT_EQ(values[7], 0.0);     // exactly, not a rounding residue
    EXPECT_EQ(left.LabelList()[7].Text, "0");
    EXPECT_EQ(values[8], -0.1);

    // Repeated subtraction reaches 0.09999999999999981 for the lower end 0.1: still a label.
    Place(left, 0.1, 1.5, 0, 400);
    left.CalcLabels(0.1);
    ASSERT_EQ(left.LabelList().size(), 15u);
    EXPECT_EQ(left.LabelList().back().Text, "0.1");
}

TEST(AxisLabels, DegenerateStepsAndTooManyLabelsGiveNone) {
    TPlot chart;
    TPlotAxis& axis = chart.BottomAxis();
    Place(axis, 0, 9999, 0, 500);
    axis.CalcLabels(1);
    EXPECT_EQ(axis.LabelList().size(), 10000u);
    Place(axis, 0, 10000, 0, 500);
    axis.CalcLabels(1); // 10000 labels or more: none at all
    EXPECT_TRUE(axis.LabelList().empty());
    EXPECT_TRUE(axis.Tick().empty());
    for (double inc : {0.0, -1.0, kNaN, kInf}) {
        axis.CalcLabels(inc);
        EXPECT_TRUE(axis.LabelList().empty()) << inc;
    }
    // Far from zero, neighbouring labels print the same: only the first is placed.
    Place(axis, 1e20, 1e20 + 1e5, 0, 500);
    axis.CalcLabels(1e4);
    EXPECT_EQ(axis.LabelList().size(), 1u);
    // The narrowest range (5 to 5 + 1e-10) shows one label.
    Place(axis, 5, 5, 0, 500);
    axis.CalcLabels(1);
    EXPECT_EQ(LabelValues(axis), (std::vector<double>{5}));
}

TEST(AxisLabels, TextUsesTheFormatAndTheLocaleSeparators) {
    TPlot chart;
    const TPlotAxis& axis = chart.BottomAxis();
    EXPECT_EQ(axis.LabelValue(14175), "14,175");
    EXPECT_EQ(axis.LabelValue(7087.5), "7,087.5");
    EXPECT_EQ(axis.LabelValue(0.12345), "0.123");
    EXPECT_EQ(axis.LabelValue(-1234.5), "-1,234.5");
    {
        base::ScopedFormatSettings german({",", "."});
        EXPECT_EQ(axis.LabelValue(14175.5), "14.175,5");
    }
    {
        base::ScopedFormatSettings no_grouping({".", ""});
        EXPECT_EQ(axis.LabelValue(14175.5), "14175.5");
    }
    chart.OnGetAxisLabel = [](const TPlotAxis&, const TPlotSeries*, int32_t, std::string& t) {
        t += " kHz";
    };
    chart.BottomAxis().SetLabelsMultiLine(true);
    EXPECT_EQ(axis.LabelValue(1), "1\nkHz");
}

TEST(AxisLabels, WidestLabelOfTheValuesAtTheStep) {
    TPlot chart;
    test::FixedCanvas canvas; // 6 px per character
    TPlotAxis& left = chart.LeftAxis();
    Place(left, 1, 6, 50, 350);
    EXPECT_EQ(left.MaxLabelsWidth(canvas, 0.5), 18); // "5.5"
    EXPECT_EQ(left.MaxLabelsWidth(canvas, 1), 6);
    Place(left, 1, 1000, 50, 350);
    EXPECT_EQ(left.MaxLabelsWidth(canvas, 0), 30); // only the ends: "1,000"
    EXPECT_EQ(left.MaxLabelsWidth(canvas, 250), 30);
    Place(left, -1000, 1, 50, 350);
    EXPECT_EQ(left.MaxLabelsWidth(canvas, 250), 36); // "-1,000"
    left.SetRoundFirstLabel(false);                  // from the maximum itself: 1, -249, ...
    EXPECT_EQ(left.MaxLabelsWidth(canvas, 250), 24);
}

TEST(AxisLabels, StyleFollowsTheSeriesOnTheAxis) {
    TPlot chart;
    TPlotLineSeries series;
    chart.AddSeries(series);
    EXPECT_EQ(chart.BottomAxis().CalcLabelStyle(), talValue);
    EXPECT_EQ(chart.LeftAxis().CalcLabelStyle(), talValue);
    EXPECT_EQ(chart.TopAxis().CalcLabelStyle(), talNone);
    series.AddXY(1, 1, "one");
    EXPECT_EQ(chart.BottomAxis().CalcLabelStyle(), talText);
    EXPECT_EQ(chart.LeftAxis().CalcLabelStyle(), talValue); // its X values are not on it
    chart.LeftAxis().SetLabelStyle(talNone);
    EXPECT_EQ(chart.LeftAxis().CalcLabelStyle(), talNone);

    Place(chart.BottomAxis(), 0, 2, 0, 200);
    test::FixedCanvas canvas;
    chart.BottomAxis().CalcLabels(canvas);
    ASSERT_EQ(chart.BottomAxis().LabelList().size(), 1u);
    EXPECT_EQ(chart.BottomAxis().LabelList()[0].Text, "one");
    EXPECT_EQ(chart.BottomAxis().LabelList()[0].Pos, 100);
}

} // namespace
} // namespace chart
