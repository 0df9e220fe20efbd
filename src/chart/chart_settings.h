// ChartSettings: every setting of a chart and of the series it lists, as one value, without
// the points. The chart editor takes one when it opens and puts it back on Cancel, so the
// points a running sweep adds meanwhile stay; a chart file can store one beside the data.
//
// Contract:
// - User-interface thread only (it reads and writes a TPlot).
// - Capture reads the chart and its series in list order; Apply writes them back through
//   the chart's and the series' setters, series matched by their place in the list (a
//   series beyond either list is left alone), then asks the chart to repaint once.
// - Apply restores exactly what Capture read, also values the checked setters would refuse
//   (a minimum above the maximum read from a stored layout): it writes them the way the
//   layout is read, with the chart in its loading state.
// - Applying settings never touches points, labels or per-point colours.
#pragma once

#include "chart/axis.h"
#include "chart/canvas.h"
#include "chart/graphics.h"
#include "chart/plot.h"
#include "chart/series.h"
#include "chart/value_list.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace chart {

struct AxisSettings {
    // Range.
    bool Automatic = true;
    bool AutomaticMinimum = true;
    bool AutomaticMaximum = true;
    double Minimum = 0.0;
    double Maximum = 0.0;
    double Increment = 0.0;
    bool Inverted = false;
    bool Logarithmic = false;
    double LogarithmicBase = 10.0;
    bool DateTime = false;
    bool MaximumRound = false;
    bool MinimumRound = false;
    // Placement.
    bool Visible = true;
    double StartPosition = 0.0;
    double EndPosition = 100.0;
    double PositionPercent = 0.0;
    int32_t MinimumOffset = 0;
    int32_t MaximumOffset = 0;
    // Pens and ticks.
    TPlotAxisPen Axis;
    TAxisGridPen Grid;
    TPlotPen MinorGrid;
    TPlotPen Ticks;
    TPlotPen TicksInner;
    TPlotPen MinorTicks;
    int32_t TickLength = 4;
    int32_t TickInnerLength = 0;
    int32_t MinorTickLength = 2;
    int32_t MinorTickCount = 3;
    bool TickOnLabelsOnly = true;
    // Labels.
    bool Labels = true;
    TPlotFont LabelsFont;
    int32_t LabelsSeparation = 10;
    bool LabelsOnAxis = true;
    bool LabelsAlternate = false;
    bool LabelsMultiLine = false;
    bool LabelsExponent = false;
    bool LabelsBehind = false;
    int32_t LabelsAngle = 0;
    TAxisLabelStyle LabelStyle = talAuto;
    bool RoundFirstLabel = true;
    std::string AxisValuesFormat;
    TAxisTitle Title;

    [[nodiscard]] static AxisSettings Capture(const TPlotAxis& axis);
    void Apply(TPlotAxis& axis) const;
    bool operator==(const AxisSettings&) const = default;
};

struct SeriesSettings {
    // No custom axis, or not one of the chart's own.
    static constexpr int32_t kNoAxis = -1;

    std::string Title;
    bool ShowInLegend = true;
    bool Active = true;
    base::TColor SeriesColor = base::clAutoColor;
    bool ColorEachPoint = false;
    TPlotPen Pen;
    TPlotBrush Brush;
    THorizAxis HorizAxis = aBottomAxis;
    TVertAxis VertAxis = aLeftAxis;
    int32_t CustomHorizAxis = kNoAxis; // index in the chart's axes list
    int32_t CustomVertAxis = kNoAxis;
    TPlotListOrder XOrder = loAscending;
    TPlotListOrder YOrder = loNone;
    // Line and point series only (left at their defaults for other kinds).
    TTreatNulls TreatNulls = tnDontPaint;
    TPlotPen LinePen;
    TSeriesPointer Pointer;

    [[nodiscard]] static SeriesSettings Capture(const TPlotSeries& series);
    void Apply(TPlotSeries& series) const;
    bool operator==(const SeriesSettings&) const = default;
};

struct ChartSettings {
    // Chart.
    bool AxisVisible = true;
    TPanningMode AllowPanning = pmBoth;
    bool ZoomAllow = true;
    TRect Margins{3, 4, 3, 4}; // percent: left, top, right, bottom
    bool BevelOuter = true;
    int32_t BevelWidth = 1;
    int32_t ColorPaletteIndex = 0;
    TPlotGradient Gradient;
    TPlotWall BackWall;
    TPlotWall LeftWall;
    TPlotWall RightWall;
    TPlotTitle Title;
    TPlotTitle SubTitle;
    TPlotTitle Foot;
    TPlotTitle SubFoot;
    TPlotLegend Legend;
    TPlotFont DefaultFont;
    // 3D.
    bool View3D = false;
    TPlotView3DOptions View3DOptions;
    int32_t Chart3DPercent = 15;
    // In the chart's axes list order: bottom, top, left, right, depth, top depth.
    std::array<AxisSettings, TPlot::kAxisCount> Axes;
    // In the chart's series list order.
    std::vector<SeriesSettings> Series;

    [[nodiscard]] static ChartSettings Capture(const TPlot& chart);
    void Apply(TPlot& chart) const;
    bool operator==(const ChartSettings&) const = default;
};

} // namespace chart
