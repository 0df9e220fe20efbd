// Draws a line series from the geometry of the last layout: from the last point before the
// horizontal range to the first point after it, so the curve reaches both plot edges; null
// points and non-finite values break the line; each point's pointer follows its incoming
// segment.
//
// A sweep can hold far more points than there are pixel columns: runs of points in one
// column are drawn as the one vertical stroke they cover, which gives the same pixels as
// drawing every segment whenever the series is drawn in one colour with a solid pen.
#pragma once

#include "chart/canvas.h"
#include "chart/series.h"

#include <optional>
#include <vector>

namespace chart {

class SeriesPainter {
public:
    SeriesPainter(const TPlotPointSeries& series, TCanvas& canvas)
        : series_(series), canvas_(canvas) {}

    // Draws the series, a column at a time where that gives the same picture.
    void Paint();
    // Draws every segment and pointer one by one (the reference for the column drawing, and
    // the vector drawing of a series with colours per point).
    void PaintEverySegment();
    // Vector output (SVG, PDF): one polyline per unbroken run of points, each pixel column's
    // points reduced to those that reach its ends (entry, lowest, highest, exit), which draws
    // the same strokes as every segment would. The screen never uses it.
    void PaintPolylines();

    // The indexes to draw, first and last (inclusive), or none when every point lies left of
    // the horizontal range or there are no points.
    struct Span {
        int32_t First = 0;
        int32_t Last = 0;
    };
    [[nodiscard]] static std::optional<Span> DrawnSpan(const TPlotSeries& series, double x_min,
                                                       double x_max);
    // The span of a series that has both its axes; none without them or without points.
    [[nodiscard]] std::optional<Span> SpanOnAxes() const;

private:
    bool Drawable(int32_t index) const; // not null, finite values
    TPoint PixelOf(int32_t index) const;
    void PaintPointer(int32_t index, TPoint at);
    bool CanPaintByColumn() const;
    void PaintByColumn();
    void FlushRun(std::vector<TPoint>& run);

    const TPlotPointSeries& series_;
    TCanvas& canvas_;
    base::TColor pen_color_ = base::clBlack; // the polyline drawing's one colour
};

} // namespace chart
