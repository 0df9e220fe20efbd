// Paints the inside of the chart in 3D, after the panel and the title and before the legend:
// the walls whose inner side faces the viewer (back, left, right, floor), the grid lines on
// those walls, the axes along the box's outer edges with their ticks and labels, the line
// series as ribbons, one depth slot each in list order from front to back and painted back
// to front, and last the series kept on the front plane (cursor and marker lines), which is
// where the mouse is read.
//
// Everything is projected with the layout's 3D frame and cut to the control.
#pragma once

#include "chart/canvas.h"
#include "chart/plot.h"
#include "chart/screen_clip.h"

#include <array>
#include <vector>

namespace chart {

class TPlotPointSeries;

class PlotPainter3D {
public:
    PlotPainter3D(const TPlot& plot, TCanvas& canvas, const TRect& bounds);

    void Paint();

    // The ribbons in drawing order (far to near) with their depth slots.
    struct Slot {
        const TPlotPointSeries* Series = nullptr;
        double Front = 0.0;
        double Back = 0.0;
    };
    [[nodiscard]] std::vector<Slot> RibbonSlots() const;

private:
    struct Point3 {
        double X;
        double Y;
        double Z;
    };
    enum Wall { wBack, wLeft, wRight, wBottom, kWallCount };

    TPointF At(const Point3& p) const;
    void Line3(const Point3& a, const Point3& b);
    void PaintWall(Wall wall);
    void PaintGrid(const TPlotAxis& axis);
    void PaintAxis(const TPlotAxis& axis);
    // The 3D point at position p along the axis' outer edge, and the outward screen step.
    Point3 EdgePoint(const TPlotAxis& axis, double p) const;
    TPointF Outward(const TPlotAxis& axis) const;
    void PaintFrontPlaneSeries(const TPlotPointSeries& series);

    const TPlot& plot_;
    TCanvas& canvas_;
    TRect bounds_;
    const TView3DFrame& frame_;
    ScreenDrawer drawer_;
    TRectF guard_;
    // The box: the front plane's edges and the depth.
    double left_;
    double top_;
    double right_;
    double bottom_;
    double depth_;
    std::array<bool, kWallCount> seen_{}; // the wall's inner side faces the viewer
};

} // namespace chart
