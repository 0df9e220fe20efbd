// Drawing projected (floating-point) shapes on a canvas: they are cut to a guard rectangle
// around the control before their corners become pixels, so a zoom or offset of any size
// hands the canvas only coordinates near the control.
#pragma once

#include "chart/canvas.h"
#include "chart/projection.h"

#include <span>
#include <vector>

namespace chart {

struct TRectF {
    double Left = 0.0;
    double Top = 0.0;
    double Right = 0.0;
    double Bottom = 0.0;
};

// The rectangle grown by margin on every side.
[[nodiscard]] TRectF Grown(const TRect& r, double margin);

// Cuts the segment a-b to the rectangle (edges included); false when nothing is left.
[[nodiscard]] bool ClipSegment(TPointF& a, TPointF& b, const TRectF& r);

// Cuts a convex or simple polygon to the rectangle into out (empty when nothing is left).
void ClipPolygon(std::span<const TPointF> in, const TRectF& r, std::vector<TPointF>& out);

// Draws what the guard leaves of a line or a filled polygon, in the canvas' current pen and
// brush. The scratch vectors are reused between calls.
class ScreenDrawer {
public:
    ScreenDrawer(TCanvas& canvas, const TRectF& guard) : canvas_(canvas), guard_(guard) {}

    void Line(TPointF a, TPointF b);
    void Polygon(std::span<const TPointF> points);

private:
    TCanvas& canvas_;
    TRectF guard_;
    std::vector<TPointF> clipped_;
    std::vector<TPoint> pixels_;
};

} // namespace chart
