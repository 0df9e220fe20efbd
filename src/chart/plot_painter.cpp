#include "chart/plot_painter.h"

#include "chart/axis_painter.h"
#include "chart/gradient_fill.h"
#include "chart/legend_painter.h"
#include "chart/plot_painter_3d.h"
#include "chart/series.h"
#include "chart/series_painter.h"

#include <algorithm>

namespace chart {

void PlotPainter::Paint(int32_t width, int32_t height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    plot_.CalcLayout(width, height, canvas_);
    bounds_ = TRect{0, 0, width, height};
    PaintPanel(width, height);
    PaintTitle();
    if (plot_.Layout().View3D) {
        PlotPainter3D(plot_, canvas_, bounds_).Paint();
    } else {
        PaintBackWall();
        PaintAxes();
        PaintSeries();
    }
    if (plot_.Legend().CustomPosition) {
        LegendPainter(plot_, canvas_).Paint();
    }
}

void PlotPainter::PaintPanel(int32_t width, int32_t height) {
    // Nothing lands outside the control, whatever the legend's position or the values.
    const TRect bounds{0, 0, width, height};
    canvas_.SetClip(bounds);
    const TPlotGradient& gradient = plot_.Gradient();
    if (gradient.Visible) {
        FillGradient(canvas_, bounds, gradient);
    } else {
        canvas_.SetBrush(TPlotBrush{base::clBtnFace, bsSolid});
        canvas_.FillRect(bounds);
    }
    PaintBevel(width, height);
}

void PlotPainter::PaintBevel(int32_t width, int32_t height) {
    const int32_t w = plot_.BorderWidth();
    if (w <= 0) {
        return;
    }
    canvas_.SetBrush(TPlotBrush{kBevelLight, bsSolid});
    canvas_.FillRect(TRect{0, 0, width, w});
    canvas_.FillRect(TRect{0, 0, w, height});
    canvas_.SetBrush(TPlotBrush{kBevelDark, bsSolid});
    canvas_.FillRect(TRect{0, height - w, width, height});
    canvas_.FillRect(TRect{width - w, 0, width, height});
}

void PlotPainter::PaintTitle() {
    const TPlotTitle& title = plot_.Title();
    const TRect& r = plot_.Layout().TitleRect;
    if (!title.Visible || !title.HasText() || title.CustomPosition || r.Width() <= 0) {
        return;
    }
    canvas_.SetFont(title.Font);
    const int32_t line_height = canvas_.TextHeight("W");
    const int32_t centre = static_cast<int32_t>((int64_t{r.Left} + r.Right) / 2);
    int32_t top = r.Top;
    for (const std::string& line : title.Text) {
        canvas_.TextOut({centre, top}, {haCenter, vaTop}, line);
        top += line_height;
    }
}

void PlotPainter::PaintBackWall() {
    const TPlotWall& wall = plot_.BackWall();
    if (!wall.Visible) {
        return;
    }
    // The wall covers the plot area's right and bottom edges too.
    const TRect& area = plot_.ChartRect();
    const TRect r{area.Left, area.Top, area.Right + 1, area.Bottom + 1};
    if (!wall.Transparent) {
        if (wall.Gradient.Visible) {
            FillGradient(canvas_, r, wall.Gradient);
        } else {
            canvas_.SetBrush(TPlotBrush{wall.Color, bsSolid});
            canvas_.FillRect(r);
        }
    }
    canvas_.SetBrush(TPlotBrush{base::clWhite, bsClear});
    canvas_.SetPen(wall.Pen);
    canvas_.Rectangle(r);
}

void PlotPainter::PaintAxes() {
    if (!plot_.AxisVisible()) {
        return;
    }
    for (const TAxisKind kind : {akBottom, akTop, akLeft, akRight}) {
        const TPlotAxis& axis = plot_.Axes(kind);
        if (axis.IsVisible()) {
            AxisPainter(axis, plot_.ChartRect(), canvas_).Paint();
        }
    }
}

void PlotPainter::PaintSeries() {
    const TRect& area = plot_.ChartRect();
    // One pixel above and below the plot area, so a curve at either end of the range shows
    // its full pen width.
    const TRect& b = bounds_;
    canvas_.SetClip(TRect{std::max(area.Left, b.Left), std::max(area.Top - 1, b.Top),
                          std::min(area.Right + 1, b.Right), std::min(area.Bottom + 2, b.Bottom)});
    for (const TPlotSeries* series : plot_.SeriesList()) {
        const auto* line_series = dynamic_cast<const TPlotPointSeries*>(series);
        if (line_series != nullptr && series->Active()) {
            SeriesPainter painter(*line_series, canvas_);
            if (vector_output_) {
                painter.PaintPolylines();
            } else {
                painter.Paint();
            }
        }
    }
    canvas_.SetClip(bounds_);
}

} // namespace chart
