// Draws one axis from the geometry of the last layout: its line, outer ticks, grid lines
// across the plot area, minor ticks, then its labels.
#pragma once

#include "chart/axis.h"
#include "chart/canvas.h"

namespace chart {

class AxisPainter {
public:
    AxisPainter(const TPlotAxis& axis, const TRect& chart_rect, TCanvas& canvas)
        : axis_(axis), chart_rect_(chart_rect), canvas_(canvas) {}

    void Paint();

private:
    void PaintLine();
    // A tick of length pixels at position p, starting one pixel outside the axis line.
    void PaintTick(int32_t p, int32_t length);
    void PaintGrid();
    void PaintMinorTicks();
    void PaintLabels();
    // Strictly between the extent's ends.
    bool Inside(int32_t p) const;

    const TPlotAxis& axis_;
    TRect chart_rect_;
    TCanvas& canvas_;
};

} // namespace chart
