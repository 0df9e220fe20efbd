#include "chart/chart_settings.h"
#include "chart/stored_chart.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace chart {
namespace {

using test::StoredChart;

// One change of a setting the editor (or a chart file) can make.
struct Change {
    const char* name;
    std::function<void(StoredChart&)> apply;
};

const Change kChanges[] = {
    {"title text", [](StoredChart& c) { c.plot.Title().Text = {"Other"}; }},
    {"title font", [](StoredChart& c) { c.plot.Title().Font.PixelSize = 30; }},
    {"title colour", [](StoredChart& c) { c.plot.Title().Font.Color = base::clGreen; }},
    {"foot", [](StoredChart& c) { c.plot.Foot().Text = {"foot"}; }},
    {"legend visible", [](StoredChart& c) { c.plot.Legend().Visible = false; }},
    {"legend position", [](StoredChart& c) { c.plot.Legend().Left = 12; }},
    {"legend alignment", [](StoredChart& c) { c.plot.Legend().Alignment = laBottom; }},
    {"panel gradient", [](StoredChart& c) { c.plot.Gradient().MidColor = base::clNone; }},
    {"back wall gradient", [](StoredChart& c) { c.plot.BackWall().Gradient.EndColor = 7; }},
    {"back wall transparent", [](StoredChart& c) { c.plot.BackWall().Transparent = true; }},
    {"left wall", [](StoredChart& c) { c.plot.LeftWall().Color = 5; }},
    {"margins", [](StoredChart& c) { c.plot.SetMargins(1, 2, 3, 9); }},
    {"bevel", [](StoredChart& c) { c.plot.SetBevelWidth(3); }},
    {"palette", [](StoredChart& c) { c.plot.SetColorPaletteIndex(4); }},
    {"panning", [](StoredChart& c) { c.plot.SetAllowPanning(pmNone); }},
    {"zoom", [](StoredChart& c) { c.plot.SetZoomAllow(false); }},
    {"axis visible", [](StoredChart& c) { c.plot.SetAxisVisible(false); }},
    {"default font", [](StoredChart& c) { c.plot.DefaultFont().Name = "Tahoma"; }},
    {"view 3D", [](StoredChart& c) { c.plot.SetView3D(true); }},
    {"rotation",
     [](StoredChart& c) {
         TPlotView3DOptions o = c.plot.View3DOptions();
         o.Rotation = 300;
         c.plot.SetView3DOptions(o);
     }},
    {"orthogonal",
     [](StoredChart& c) {
         TPlotView3DOptions o = c.plot.View3DOptions();
         o.Orthogonal = false;
         c.plot.SetView3DOptions(o);
     }},
    {"3D percent", [](StoredChart& c) { c.plot.SetChart3DPercent(60); }},
    {"axis range", [](StoredChart& c) { c.plot.LeftAxis().SetMinMax(0, 10); }},
    {"axis automatic", [](StoredChart& c) { c.plot.RightAxis().SetAutomatic(true); }},
    {"axis automatic minimum", [](StoredChart& c) { c.plot.TopAxis().SetAutomaticMinimum(false); }},
    {"axis increment", [](StoredChart& c) { c.plot.BottomAxis().SetIncrement(50); }},
    {"axis inverted", [](StoredChart& c) { c.plot.LeftAxis().SetInverted(true); }},
    {"axis visible flag", [](StoredChart& c) { c.plot.BottomAxis().SetVisible(false); }},
    {"axis positions", [](StoredChart& c) { c.plot.BottomAxis().SetEndPosition(80); }},
    {"axis labels", [](StoredChart& c) { c.plot.RightAxis().SetLabels(false); }},
    {"axis labels font", [](StoredChart& c) { c.plot.LeftAxis().LabelsFont().Color = 9; }},
    {"axis labels angle", [](StoredChart& c) { c.plot.LeftAxis().SetLabelsAngle(90); }},
    {"axis format", [](StoredChart& c) { c.plot.LeftAxis().SetAxisValuesFormat("0.0"); }},
    {"grid pen", [](StoredChart& c) { c.plot.BottomAxis().Grid().Style = psDash; }},
    {"grid visible", [](StoredChart& c) { c.plot.RightAxis().Grid().Visible = true; }},
    {"grid draw every", [](StoredChart& c) { c.plot.LeftAxis().Grid().DrawEvery = 2; }},
    {"axis pen", [](StoredChart& c) { c.plot.LeftAxis().Axis().Width = 4; }},
    {"ticks", [](StoredChart& c) { c.plot.LeftAxis().SetTickLength(9); }},
    {"minor ticks", [](StoredChart& c) { c.plot.LeftAxis().MinorTicks().Visible = false; }},
    {"axis title", [](StoredChart& c) { c.plot.LeftAxis().Title().Caption = "SWR"; }},
    {"depth axis", [](StoredChart& c) { c.plot.DepthAxis().SetVisible(true); }},
    {"series title", [](StoredChart& c) { c.Swr().SetTitle("VSWR"); }},
    {"series colour", [](StoredChart& c) { c.Z().SetSeriesColor(base::clBlack); }},
    {"series line width", [](StoredChart& c) { c.R().LinePen().Width = 5; }},
    {"series line style", [](StoredChart& c) { c.R().LinePen().Style = psDot; }},
    {"series pointer", [](StoredChart& c) { c.Swr().Pointer().Style = psCircle; }},
    {"series pointer visible", [](StoredChart& c) { c.R().Pointer().Visible = true; }},
    {"series active", [](StoredChart& c) { c.Z().SetActive(false); }},
    {"series legend", [](StoredChart& c) { c.CenterLine().SetShowInLegend(true); }},
    {"series vertical axis", [](StoredChart& c) { c.R().SetCustomVertAxis(nullptr); }},
    {"series horizontal axis", [](StoredChart& c) { c.Z().SetHorizAxis(aTopAxis); }},
    {"series nulls", [](StoredChart& c) { c.Swr().SetTreatNulls(tnIgnore); }},
    {"series each point", [](StoredChart& c) { c.Swr().SetColorEachPoint(true); }},
    {"series order", [](StoredChart& c) { c.Swr().XValues().SetOrder(loNone); }},
};

// Every setting is captured (a change makes the snapshot differ) and put back by Apply, while
// the points added after the snapshot stay.
TEST(ChartSettings, ApplyPutsBackEveryChangedSettingAndKeepsPoints) {
    for (const Change& change : kChanges) {
        SCOPED_TRACE(change.name);
        StoredChart chart;
        chart.Swr().AddXY(14000, 1.5);
        const ChartSettings before = ChartSettings::Capture(chart.plot);

        change.apply(chart);
        chart.Swr().AddXY(14010, 1.4);
        chart.R().AddXY(14010, 50);
        EXPECT_NE(ChartSettings::Capture(chart.plot), before);

        int invalidations = 0;
        chart.plot.OnInvalidate = [&] { ++invalidations; };
        before.Apply(chart.plot);
        EXPECT_EQ(ChartSettings::Capture(chart.plot), before);
        EXPECT_GE(invalidations, 1);
        EXPECT_FALSE(chart.plot.Loading());
        ASSERT_EQ(chart.Swr().Count(), 2);
        EXPECT_EQ(chart.Swr().GetyValue(1), 1.4);
        EXPECT_EQ(chart.R().Count(), 1);
    }
}

// Settings move from one chart to another of the same make: the series find their axes by
// place (R and Z on the right axis), not by pointer into the first chart.
TEST(ChartSettings, AppliesToAnotherChart) {
    StoredChart source;
    source.plot.Title().Text = {"Copied"};
    source.Z().SetCustomVertAxis(nullptr);
    source.Swr().SetCustomVertAxis(&source.plot.RightAxis());
    const ChartSettings settings = ChartSettings::Capture(source.plot);
    EXPECT_EQ(settings.Series[0].CustomVertAxis, akRight);
    EXPECT_EQ(settings.Series[1].CustomVertAxis, SeriesSettings::kNoAxis);

    StoredChart target;
    settings.Apply(target.plot);
    EXPECT_EQ(ChartSettings::Capture(target.plot), settings);
    EXPECT_EQ(target.R().GetVertAxis(), &target.plot.RightAxis());
    EXPECT_EQ(target.Z().GetVertAxis(), &target.plot.LeftAxis());
    EXPECT_EQ(target.Swr().GetVertAxis(), &target.plot.RightAxis());
}

// Values the checked setters refuse (read from a stored layout) come back as they were,
// with no exception; the flags come back exactly, also Automatic on with both ends manual.
TEST(ChartSettings, RestoresValuesTheSettersWouldRefuse) {
    StoredChart chart;
    TPlotAxis& left = chart.plot.LeftAxis();
    chart.plot.BeginLoading();
    left.SetMinimum(8);
    left.SetMaximum(2);
    left.SetAutomaticMinimum(false);
    left.SetAutomatic(true);
    left.SetLabelsSeparation(-5);
    chart.plot.base::TComponent::Loaded();
    const ChartSettings odd = ChartSettings::Capture(chart.plot);

    chart.plot.LeftAxis().SetMinMax(1, 6);
    chart.plot.LeftAxis().SetLabelsSeparation(10);
    ASSERT_NO_THROW(odd.Apply(chart.plot));
    EXPECT_EQ(left.Minimum(), 8);
    EXPECT_EQ(left.Maximum(), 2);
    EXPECT_TRUE(left.Automatic());
    EXPECT_FALSE(left.AutomaticMinimum());
    EXPECT_FALSE(left.AutomaticMaximum());
    EXPECT_EQ(left.LabelsSeparation(), -5);
    // A chart that was loading stays loading.
    chart.plot.BeginLoading();
    odd.Apply(chart.plot);
    EXPECT_TRUE(chart.plot.Loading());
}

// Series are matched by place; a series the snapshot does not list is left alone, and a
// snapshot of more series than the chart lists applies to those it has.
TEST(ChartSettings, SeriesMatchedByPlace) {
    StoredChart chart;
    ChartSettings settings = ChartSettings::Capture(chart.plot);
    settings.Series.resize(2);
    settings.Series[0].Title = "R2";
    chart.Swr().SetTitle("kept");
    settings.Apply(chart.plot);
    EXPECT_EQ(chart.R().Title(), "R2");
    EXPECT_EQ(chart.Swr().Title(), "kept");

    ChartSettings more = ChartSettings::Capture(chart.plot);
    more.Series.push_back(more.Series[0]);
    more.Series[5].Title = "last";
    more.Apply(chart.plot);
    EXPECT_EQ(chart.YLine().Title(), "last");
}

} // namespace
} // namespace chart
