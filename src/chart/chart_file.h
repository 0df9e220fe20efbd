// The chart file: the chart's settings and every series' points as a versioned JSON document
// (docs/chart-file.md describes it).
//
// Contract:
// - Plain functions over values: DescribeChart takes a snapshot of a chart, WriteChartFile
//   turns a snapshot into the file's bytes, ReadChartFile turns bytes into a snapshot or a
//   message that says what is wrong. Reading never touches a chart, so a bad file changes
//   nothing; ApplyChartSettings and ReplacePoints then put a checked snapshot on a chart.
// - Doubles are written in the shortest form that reads back to the same bits.
// - ReadChartFile accepts any bytes (it is fuzzed): it never throws, never asserts, and its
//   memory is bounded by kMaxFileBytes.
#pragma once

#include "base/colors.h"
#include "chart/canvas.h"
#include "chart/graphics.h"
#include "chart/plot.h"
#include "chart/series.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace chart {

// One axis as the file keeps it.
struct ChartFileAxis {
    double Minimum = 0.0;
    double Maximum = 0.0;
    bool Automatic = true;
    bool AutomaticMinimum = true;
    bool AutomaticMaximum = true;
    bool Visible = true;
    bool Labels = true;
    TPlotFont LabelsFont;
    TPlotPen Line; // the axis line
    TPlotPen Grid; // grid lines; Visible shows or hides them

    bool operator==(const ChartFileAxis&) const = default;
};

// One series: its settings and its points.
struct ChartFileSeries {
    std::string Name;  // the component's name ("Series1"): how a file's series finds its place
    std::string Title; // legend text
    base::TColor Color = base::clAutoColor;
    int32_t LineWidth = 1;
    TPenStyle LineStyle = psSolid;
    bool PointerVisible = false;
    TSeriesPointerStyle PointerStyle = psRectangle;
    bool Active = true;
    bool ShowInLegend = true;
    TVertAxis VerticalAxis = aLeftAxis; // aLeftAxis or aRightAxis
    std::vector<double> X;              // ascending
    std::vector<double> Y;              // one per X

    bool operator==(const ChartFileSeries&) const = default;
};

// A snapshot of a chart: what the chart file holds.
struct ChartDescription {
    std::vector<std::string> TitleText;
    TPlotFont TitleFont;
    bool TitleVisible = true;
    bool LegendVisible = true;
    bool LegendCustomPosition = false;
    int32_t LegendLeft = 0;
    int32_t LegendTop = 0;
    TLegendAlignment LegendAlignment = laRight;
    TPlotFont LegendFont;
    TPlotGradient PanelGradient;
    bool BackWallTransparent = true;
    base::TColor BackWallColor = base::clWhite;
    TPlotGradient BackWallGradient;
    TPlotPen BackWallPen;
    int32_t MarginLeft = 3;
    int32_t MarginTop = 4;
    int32_t MarginRight = 3;
    int32_t MarginBottom = 4;
    // Bottom, top, left, right.
    std::array<ChartFileAxis, 4> Axes;
    bool View3D = false;
    TPlotView3DOptions View3DOptions;
    int32_t Chart3DPercent = 15;
    std::vector<ChartFileSeries> Series;

    bool operator==(const ChartDescription&) const = default;
};

inline constexpr std::string_view kChartFileFormat = "tarnel-chart";
inline constexpr int32_t kChartFileMajor = 1;
inline constexpr int32_t kChartFileMinor = 0;
// The file extension, without the dot.
inline constexpr std::string_view kChartFileExtension = "tchart";

// Limits a file must keep; a file beyond them is refused before it costs more memory.
inline constexpr int64_t kMaxFileBytes = int64_t{512} << 20;
inline constexpr int64_t kMaxPointsPerSeries = 20'000'000;
inline constexpr int32_t kMaxSeries = 64;
inline constexpr size_t kMaxTextBytes = 4096;
inline constexpr int32_t kMaxTitleLines = 64;

// The chart's settings and all its series' points.
[[nodiscard]] ChartDescription DescribeChart(TPlot& plot);

// The file's bytes (UTF-8 JSON, LF line ends).
[[nodiscard]] std::string WriteChartFile(const ChartDescription& chart);

// The outcome of reading: the snapshot, or what is wrong with the bytes.
struct ChartFileReadResult {
    std::optional<ChartDescription> Chart;
    std::string Error; // empty when Chart is set
};

[[nodiscard]] ChartFileReadResult ReadChartFile(std::string_view bytes) noexcept;

// Puts the chart-level settings and each series' settings on plot. The file's series are
// matched to the chart's by position; the caller checks that they fit (FitsChart).
void ApplyChartSettings(TPlot& plot, const ChartDescription& chart);

// Replaces the points of series with those of the file's series, in one batch.
void ReplacePoints(TPlotSeries& series, const ChartFileSeries& points);

// Empty when the file's series are those of plot (same count, same names in the same
// order); otherwise a sentence saying what differs.
[[nodiscard]] std::string FitsChart(const TPlot& plot, const ChartDescription& chart);

} // namespace chart
