// Paints the whole chart on a canvas, in this order: panel gradient and bevel, title, back
// wall, axes (bottom, left, right), series in list order, legend. In 3D the walls, axes and
// series between the title and the legend come from PlotPainter3D. The layout is computed
// first at the given size, so the mapping functions afterwards use the painted geometry.
#pragma once

#include "chart/canvas.h"
#include "chart/plot.h"

namespace chart {

class PlotPainter {
public:
    // Bevel colours: light on the top and left edges, dark on the bottom and right.
    static constexpr base::TColor kBevelLight = base::clWhite;
    static constexpr base::TColor kBevelDark = base::RGB(160, 160, 160);

    PlotPainter(TPlot& plot, TCanvas& canvas) : plot_(plot), canvas_(canvas) {}

    void Paint(int32_t width, int32_t height);

    // Vector output (SVG, PDF): curves as one polyline per unbroken run instead of the
    // screen's pixel columns.
    void SetVectorOutput(bool value) { vector_output_ = value; }

    // The panel alone (gradient or plain colour, then bevel): what is shown when painting
    // failed.
    void PaintPanel(int32_t width, int32_t height);

private:
    void PaintBevel(int32_t width, int32_t height);
    void PaintTitle();
    void PaintBackWall();
    void PaintAxes();
    void PaintSeries();

    TPlot& plot_;
    TCanvas& canvas_;
    TRect bounds_; // the control's client rectangle
    bool vector_output_ = false;
};

} // namespace chart
