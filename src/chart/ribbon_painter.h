// Draws a line series in 3D as a ribbon: its curve on the front edge at one depth, swept back
// to a second depth. The side seen from above is the series' colour, the underside darker.
//
// Dense sweeps have far more points than the control has pixel columns. The front edge is
// projected and reduced a pixel column at a time (columns counted along the projected edge):
// each column keeps its first and last point and the points that reach highest and lowest,
// so every column's extremes stay on screen; the ribbon then takes one quad for the column's
// height and one for the step into it. Quads are drawn far to near, so the ribbon covers
// itself correctly.
#pragma once

#include "chart/canvas.h"
#include "chart/projection.h"
#include "chart/screen_clip.h"
#include "chart/series.h"

#include <cstdint>
#include <vector>

namespace chart {

class RibbonPainter {
public:
    // The underside: each channel of the series' colour at 60 percent.
    [[nodiscard]] static base::TColor Darker(base::TColor color);

    // Points in one pixel column of the projected front edge (counted along the edge, so a
    // turned or tilted view counts the same way), consecutive in the series.
    struct Run {
        int64_t Column = 0;
        int32_t First = 0;
        int32_t Top = 0;    // the point highest on the front plane
        int32_t Bottom = 0; // the point lowest on the front plane
        int32_t Last = 0;
        double TopY = 0.0; // their front-plane y
        double BottomY = 0.0;
        bool Connected = false; // a segment leads in from the previous run's last point
    };

    RibbonPainter(const TPlotPointSeries& series, const TView3DFrame& frame, TCanvas& canvas,
                  const TRectF& guard);

    // The runs of the front edge at depth z (for the drawing below and for checks).
    [[nodiscard]] const std::vector<Run>& Reduce(double z);

    // Draws the ribbon from depth z_front to z_back; nothing without both axes.
    void Paint(double z_front, double z_back);

    // An axis' value-to-pixel map in floating point: the front plane keeps the places between
    // pixels, which a zoom may magnify. The vertical form counts back from the axis' end, as
    // CalcYPosValue does.
    struct AxisMap {
        double Minimum = 0.0;
        double Origin = 0.0;
        double Scale = 0.0;
        static AxisMap Of(const TPlotAxis* axis, bool vertical_form);
        double operator()(double value) const { return Origin + (value - Minimum) * Scale; }
    };

private:
    struct Quad {
        TPointF A; // model points, A before B in the series
        TPointF B;
    };
    TPointF ModelPoint(int32_t index) const;
    // Runs from the points first..last, each taken by to_screen to (its place along the
    // front edge in screen pixels, its front-plane y).
    template <typename ToScreen> void Walk(int32_t first, int32_t last, const ToScreen& to_screen);
    void AddQuad(const Run& from_run, int32_t from, const Run& to_run, int32_t to);
    void DrawQuad(const Quad& quad, double z_front, double z_back);

    const TPlotPointSeries& series_;
    const TView3DFrame& frame_;
    TCanvas& canvas_;
    ScreenDrawer drawer_;
    TRectF model_clip_; // the front plane: ribbons stay inside the box
    AxisMap x_map_;
    AxisMap y_map_;
    std::vector<Run> runs_;
    std::vector<Quad> quads_;
    double min_height_ = 1.0;             // front-plane rows a column needs to be drawn as a quad
    base::TColor colour_ = base::clBlack; // the series' colour: the upper side
    base::TColor shade_ = base::clNone;   // the brush last set
};

} // namespace chart
