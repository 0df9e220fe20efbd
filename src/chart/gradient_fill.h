// Vertical gradient fills as bands of solid colour: at most 256 bands per fill, colours by
// integer steps, so every canvas paints the same picture.
#pragma once

#include "chart/canvas.h"
#include "chart/graphics.h"

namespace chart {

// Fills rect from bottom_color at its bottom band to top_color at its top band. A height of
// one pixel or less draws nothing.
void FillVerticalBands(TCanvas& canvas, const TRect& rect, base::TColor bottom_color,
                       base::TColor top_color);

// Fills rect with the gradient; a middle colour splits the rectangle at its vertical middle.
// Horizontal directions fill with the start colour (the chart uses only vertical ones).
void FillGradient(TCanvas& canvas, const TRect& rect, const TPlotGradient& gradient);

// The colour of band k of n, from c0 (band 0) to c1 (band n - 1).
[[nodiscard]] base::TColor BandColor(base::TColor c0, base::TColor c1, int32_t k, int32_t n);

} // namespace chart
