// Draws the chart's legend at its custom position: one row per active series shown in the
// legend, a symbol (the series' line, with its pointer on it) and the series' title, in a
// box with the legend's brush, frame and shadow.
#pragma once

#include "chart/canvas.h"
#include "chart/plot.h"

namespace chart {

class LegendPainter {
public:
    // Inner spacing of the box, in pixels.
    static constexpr int32_t kMargin = 4;
    static constexpr int32_t kSymbolWidth = 20;

    LegendPainter(const TPlot& plot, TCanvas& canvas) : plot_(plot), canvas_(canvas) {}

    void Paint();
    // The box (without its shadow) for the current rows and font.
    [[nodiscard]] TRect Box();

private:
    std::vector<const TPlotSeries*> Rows() const;

    const TPlot& plot_;
    TCanvas& canvas_;
};

} // namespace chart
