#include "chart/axis.h"
#include "chart/plot.h"
#include "chart/series.h"
#include "fixed_canvas.h"

#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace chart {
namespace {

// A chart with one line series whose repaint requests are counted.
struct ChartFixture : ::testing::Test {
    TPlot chart;
    TPlotLineSeries series;
    int repaints = 0;

    void SetUp() override {
        chart.AddSeries(series);
        chart.OnInvalidate = [this] { ++repaints; };
    }
};

using SeriesData = ChartFixture;

TEST_F(SeriesData, AddXYKeepsXOrderAndMovesYLabelsAndColoursWithIt) {
    EXPECT_EQ(series.AddXY(1, 10), 0);
    EXPECT_EQ(series.AddXY(3, 30), 1);
    EXPECT_EQ(series.AddXY(3, 31), 2); // equal X appends after the equal one
    EXPECT_FALSE(series.HasColors());
    EXPECT_EQ(series.AddXY(2, 20, "two", base::clRed), 1); // before the first greater X
    ASSERT_EQ(series.Count(), 4);
    const double xs[] = {1, 2, 3, 3};
    const double ys[] = {10, 20, 30, 31};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(series.GetxValue(i), xs[i]);
        EXPECT_EQ(series.GetyValue(i), ys[i]);
    }
    // The lists appear at the first point that needs them; earlier points read as none.
    EXPECT_EQ(series.Label(0), "");
    EXPECT_EQ(series.Label(1), "two");
    EXPECT_EQ(series.Label(2), "");
    EXPECT_EQ(series.PointColor(1), base::clRed);
    EXPECT_EQ(series.PointColor(3), base::clAutoColor);

    EXPECT_EQ(series.AddXY(0, 0, "zero", base::clNone), 0); // everything shifts up
    EXPECT_EQ(series.Label(0), "zero");
    EXPECT_EQ(series.Label(2), "two");
    EXPECT_EQ(series.PointColor(2), base::clRed);
    EXPECT_TRUE(series.IsNull(0));
    EXPECT_EQ(series.GetValueColor(1), series.SeriesColor());
    EXPECT_EQ(series.GetValueColor(2), base::clRed);
}

TEST_F(SeriesData, VetoedAdditionChangesNothing) {
    series.AddXY(1, 1);
    series.OnBeforeAdd = [](TPlotSeries& s) { return s.XValues().TempValue() < 5; };
    int after = 0;
    series.OnAfterAdd = [&](TPlotSeries&, int32_t index) { after += 100 + index; };
    repaints = 0;
    EXPECT_EQ(series.AddXY(7, 7), -1);
    EXPECT_EQ(series.Count(), 1);
    EXPECT_EQ(repaints, 0);
    EXPECT_EQ(series.AddXY(2, 2), 1);
    EXPECT_EQ(after, 101);
    EXPECT_EQ(repaints, 1);
}

TEST_F(SeriesData, ClearEmptiesEverythingAndStartsOverAtIndexZero) {
    for (int i = 0; i < 1500; ++i) {
        series.AddXY(i, i, i == 3 ? "x" : "", i == 4 ? base::clBlue : base::clAutoColor);
    }
    int cleared = 0;
    series.OnClearValues = [&](TPlotSeries&) { ++cleared; };
    repaints = 0;
    series.Clear();
    EXPECT_EQ(cleared, 1);
    EXPECT_EQ(repaints, 1);
    EXPECT_EQ(series.Count(), 0);
    EXPECT_EQ(series.YValues().Count(), 0);
    EXPECT_EQ(series.XValues().Capacity(), 0);
    EXPECT_FALSE(series.HasColors());
    EXPECT_FALSE(series.HasLabels());
    EXPECT_EQ(series.XValues().Locate(3), -1);
    EXPECT_EQ(series.FirstValueIndex(), -1);
    EXPECT_EQ(series.AddXY(9, 9), 0);
}

TEST_F(SeriesData, MinYValueIsAStoredValueAndLocateFindsItsFirstPoint) {
    EXPECT_EQ(series.MinYValue(), 0.0);
    const double ys[] = {1.5, 1.2, 1.4, 1.2, 1.2, 2.0};
    for (int i = 0; i < 6; ++i) {
        series.AddXY(7000 + 10 * i, ys[i]);
    }
    const double m = series.MinYValue();
    EXPECT_EQ(m, 1.2);
    EXPECT_EQ(series.YValues().Locate(m), 1);

    // Null points do not count, unless nulls are ignored.
    series.AddXY(6990, -1.0, "", base::clNone);
    EXPECT_EQ(series.MinYValue(), 1.2);
    series.SetTreatNulls(tnIgnore);
    EXPECT_EQ(series.MinYValue(), -1.0);

    TPlotLineSeries all_null;
    all_null.AddXY(1, 5, "", base::clNone);
    EXPECT_EQ(all_null.MinYValue(), 0.0);
    TPlotLineSeries null_colour; // every point takes the series colour, clNone
    null_colour.SetSeriesColor(base::clNone);
    null_colour.AddXY(1, 5);
    EXPECT_TRUE(null_colour.IsNull(0));
    EXPECT_EQ(null_colour.MinYValue(), 0.0);
}

TEST_F(SeriesData, SetXValueWritesInPlaceAndLaterAddsWalkTheListAsItStands) {
    for (double x : {1, 2, 3}) {
        series.AddXY(x, x);
    }
    series.SetXValue(2, 0.5); // breaks the order; nothing restores it
    EXPECT_EQ(series.GetxValue(2), 0.5);
    // 2.5 is not below the last value 0.5, so it appends.
    EXPECT_EQ(series.AddXY(2.5, 0), 3);
    // 0.7 walks back over 2.5, stops at 0.5 (not greater) and lands after it.
    EXPECT_EQ(series.AddXY(0.7, 0), 3);
    const double xs[] = {1, 2, 0.5, 0.7, 2.5};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(series.GetxValue(i), xs[i]);
    }
}

TEST_F(SeriesData, RepaintIsRequestedForVisibleChangesOnly) {
    series.AddXY(1, 1);
    series.AddXY(2, 2);
    repaints = 0;
    series.XValues().SetValue(0, 0.5); // a list write does not repaint
    series.YValues().SetValue(0, 0.5);
    EXPECT_EQ(repaints, 0);
    series.SetXValue(0, 0.25);
    series.SetYValue(1, 3);
    EXPECT_EQ(repaints, 2);
    EXPECT_EQ(series.GetxValue(0), 0.25);

    // Outside the points: ignored, no repaint, nothing read.
    series.SetXValue(2, 9);
    series.SetYValue(-1, 9);
    EXPECT_EQ(repaints, 2);
    EXPECT_EQ(series.GetyValue(2), 0.0);
    EXPECT_EQ(series.GetxValue(-1), 0.0);

    // While painting, requests are dropped.
    chart.BeginPaint();
    series.SetXValue(0, 0.1);
    chart.EndPaint();
    EXPECT_EQ(repaints, 2);

    // An inactive series repaints neither on additions nor on writes.
    series.SetActive(false);
    repaints = 0;
    series.AddXY(3, 3);
    series.SetYValue(0, 1);
    series.Clear();
    EXPECT_EQ(repaints, 0);
}

TEST_F(SeriesData, BatchAddsNotifyOnceAtTheEnd) {
    int data_changed = 0;
    chart.OnSeriesDataChanged = [&](TPlotSeries& s) { data_changed += &s == &series; };
    int after = 0;
    series.OnAfterAdd = [&](TPlotSeries&, int32_t) { ++after; };
    series.BeginUpdate();
    series.BeginUpdate();
    for (int i = 0; i < 10; ++i) {
        series.AddXY(i, i);
    }
    series.EndUpdate();
    EXPECT_EQ(repaints, 0);
    EXPECT_EQ(data_changed, 0);
    series.EndUpdate();
    EXPECT_EQ(repaints, 1);
    EXPECT_EQ(data_changed, 1);
    EXPECT_EQ(after, 0);
    series.EndUpdate(); // unbalanced: ignored
    EXPECT_EQ(series.UpdateCount(), 0);
    EXPECT_EQ(series.Count(), 10);
}

TEST(SeriesRepaint, NoChartOrAChartBeingDestroyedGetsNoRequest) {
    TPlotLineSeries loose;
    loose.AddXY(1, 1); // no chart: nothing to ask, nothing breaks
    loose.SetXValue(0, 2);
    loose.Clear();
    EXPECT_EQ(loose.CalcXPos(0), 0);
    EXPECT_EQ(loose.XScreenToValue(10), 0.0);

    struct ClosingChart : TPlot {
        TPlotSeries* series = nullptr;
        ~ClosingChart() override {
            MarkDestroying();
            series->Clear(); // e.g. a form clearing curves while closing
        }
    };
    int repaints = 0;
    auto series = std::make_unique<TPlotLineSeries>();
    {
        ClosingChart chart;
        chart.series = series.get();
        chart.AddSeries(*series);
        series->AddXY(1, 1);
        chart.OnInvalidate = [&] { ++repaints; };
    }
    EXPECT_EQ(repaints, 0);
    // The series outlived its chart: it no longer refers to it or its axes.
    EXPECT_EQ(series->ParentChart(), nullptr);
    EXPECT_EQ(series->GetVertAxis(), nullptr);
    series->SetXValue(0, 5);
    EXPECT_EQ(series->CalcYPos(0), 0);
}

TEST(SeriesAxes, CustomAxesResolveAndAssociate) {
    TPlot chart;
    TPlotLineSeries r;
    TPlotLineSeries swr;
    EXPECT_EQ(r.GetHorizAxis(), nullptr); // no chart: no axes
    chart.AddSeries(r);
    chart.AddSeries(swr);
    EXPECT_EQ(r.GetHorizAxis(), &chart.BottomAxis());
    EXPECT_EQ(r.GetVertAxis(), &chart.LeftAxis());

    r.SetCustomVertAxis(&chart.RightAxis());
    EXPECT_EQ(r.VertAxis(), aCustomVertAxis);
    EXPECT_EQ(r.GetVertAxis(), &chart.RightAxis());
    EXPECT_TRUE(r.AssociatedToAxis(chart.RightAxis()));
    EXPECT_FALSE(r.AssociatedToAxis(chart.LeftAxis()));
    EXPECT_TRUE(r.AssociatedToAxis(chart.BottomAxis()));
    EXPECT_FALSE(r.AssociatedToAxis(chart.TopAxis()));
    EXPECT_TRUE(r.AssociatedToAxis(chart.DepthAxis()));

    r.SetCustomVertAxis(nullptr);
    EXPECT_EQ(r.VertAxis(), aLeftAxis);
    EXPECT_EQ(r.GetVertAxis(), &chart.LeftAxis());

    swr.SetVertAxis(aBothVertAxis);
    EXPECT_TRUE(swr.AssociatedToAxis(chart.LeftAxis()));
    EXPECT_TRUE(swr.AssociatedToAxis(chart.RightAxis()));
    swr.SetHorizAxis(aTopAxis);
    EXPECT_EQ(swr.GetHorizAxis(), &chart.TopAxis());
    swr.SetCustomHorizAxis(&chart.BottomAxis());
    EXPECT_EQ(swr.HorizAxis(), aCustomHorizAxis);
    EXPECT_EQ(swr.GetHorizAxis(), &chart.BottomAxis());

    // Leaving the chart drops the series from its list and its axes.
    chart.RemoveSeries(r);
    EXPECT_EQ(chart.SeriesCount(), 1);
    EXPECT_EQ(r.GetVertAxis(), nullptr);
}

TEST(SeriesAxes, SeriesLeavesTheChartListWhenDestroyed) {
    TPlot chart;
    {
        TPlotLineSeries a;
        chart.AddSeries(a);
        a.SetParentChart(&chart); // joining twice keeps one entry
        EXPECT_EQ(chart.SeriesCount(), 1);
    }
    EXPECT_EQ(chart.SeriesCount(), 0);
    TPlot other;
    TPlotLineSeries b;
    chart.AddSeries(b);
    other.AddSeries(b); // moves
    EXPECT_EQ(chart.SeriesCount(), 0);
    EXPECT_EQ(other.SeriesCount(), 1);
    EXPECT_EQ(b.ParentChart(), &other);
}

TEST(SeriesColours, AutoColouredSeriesGetDistinctPaletteColours) {
    TPlot chart;
    TPlotLineSeries a;
    TPlotLineSeries b;
    TPlotLineSeries fixed;
    fixed.SetSeriesColor(base::clGreen);
    chart.AddSeries(fixed);
    chart.AddSeries(a);
    chart.AddSeries(b);
    EXPECT_EQ(fixed.SeriesColor(), base::clGreen);
    EXPECT_NE(a.SeriesColor(), base::clAutoColor);
    EXPECT_NE(a.SeriesColor(), base::clGreen);
    EXPECT_NE(b.SeriesColor(), a.SeriesColor());
    EXPECT_NE(b.SeriesColor(), base::clGreen);

    a.SetColorEachPoint(true);
    a.AddXY(0, 0);
    a.AddXY(1, 0);
    EXPECT_EQ(a.GetValueColor(1), chart.GetDefaultColor(1));
}

TEST(SeriesCoordinates, PixelsAndValuesGoThroughTheResolvedAxes) {
    TPlot chart;
    TPlotLineSeries swr;
    TPlotLineSeries r;
    chart.AddSeries(swr);
    chart.AddSeries(r);
    r.SetCustomVertAxis(&chart.RightAxis());
    chart.BottomAxis().SetMinMax(13675, 14675);
    chart.LeftAxis().SetMinMax(1, 6);
    chart.RightAxis().SetMinMax(0, 300);
    for (auto* axis : {&chart.BottomAxis(), &chart.LeftAxis(), &chart.RightAxis()}) {
        axis->InternalCalcRange();
    }
    chart.BottomAxis().SetPositions(100, 700);
    chart.LeftAxis().SetPositions(50, 350);
    chart.RightAxis().SetPositions(50, 350);
    swr.AddXY(14175, 6);
    r.AddXY(14675, 150);
    EXPECT_EQ(swr.CalcXPos(0), 400);
    EXPECT_EQ(swr.CalcYPos(0), 50);
    EXPECT_EQ(r.CalcXPos(0), 700);
    EXPECT_EQ(r.CalcYPos(0), 200);
    EXPECT_EQ(swr.XScreenToValue(400), 14175.0);
    EXPECT_EQ(swr.YScreenToValue(350), 1.0);
    EXPECT_EQ(r.YScreenToValue(50), 300.0);
    EXPECT_EQ(swr.CalcXPosValue(13675), 100);
    EXPECT_EQ(r.CalcYPosValue(0), 350);
}

} // namespace
} // namespace chart
