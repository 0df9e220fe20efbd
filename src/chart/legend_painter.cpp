#include "chart/legend_painter.h"

#include "chart/series.h"

#include <algorithm>

namespace chart {

std::vector<const TPlotSeries*> LegendPainter::Rows() const {
    std::vector<const TPlotSeries*> rows;
    for (const TPlotSeries* series : plot_.SeriesList()) {
        if (series->Active() && series->ShowInLegend()) {
            rows.push_back(series);
        }
    }
    return rows;
}

TRect LegendPainter::Box() {
    const TPlotLegend& legend = plot_.Legend();
    canvas_.SetFont(legend.Font);
    const auto rows = Rows();
    int32_t widest = 0;
    for (const TPlotSeries* series : rows) {
        widest = std::max(widest, canvas_.TextWidth(series->Title()));
    }
    const int32_t row_height = canvas_.TextHeight("W");
    const int32_t width = 3 * kMargin + kSymbolWidth + widest;
    const int32_t height = 2 * kMargin + row_height * static_cast<int32_t>(rows.size());
    return TRect{legend.Left, legend.Top, legend.Left + width, legend.Top + height};
}

void LegendPainter::Paint() {
    const TPlotLegend& legend = plot_.Legend();
    const auto rows = Rows();
    if (!legend.Visible || rows.empty()) {
        return;
    }
    const TRect box = Box();
    if (legend.ShadowSize > 0) {
        canvas_.SetBrush(TPlotBrush{legend.ShadowColor, bsSolid});
        canvas_.FillRect(TRect{box.Left + legend.ShadowSize, box.Top + legend.ShadowSize,
                               box.Right + legend.ShadowSize, box.Bottom + legend.ShadowSize});
    }
    canvas_.SetBrush(legend.Brush);
    canvas_.SetPen(legend.Frame);
    canvas_.Rectangle(box);

    canvas_.SetFont(legend.Font);
    const int32_t row_height = canvas_.TextHeight("W");
    int32_t top = box.Top + kMargin;
    for (const TPlotSeries* series : rows) {
        const int32_t middle = top + row_height / 2;
        const int32_t left = box.Left + kMargin;
        TPlotPen pen = series->Pen();
        const auto* line_series = dynamic_cast<const TPlotPointSeries*>(series);
        if (line_series != nullptr) {
            pen = line_series->LinePen();
        }
        pen.Color = series->SeriesColor();
        canvas_.SetPen(pen);
        canvas_.Line({left, middle}, {left + kSymbolWidth, middle});
        if (line_series != nullptr && line_series->Pointer().Visible &&
            line_series->Pointer().Style == psSmallDot) {
            canvas_.SetPixel({left + kSymbolWidth / 2, middle}, series->SeriesColor());
        }
        canvas_.TextOut({left + kSymbolWidth + kMargin, top}, {haLeft, vaTop}, series->Title());
        top += row_height;
    }
}

} // namespace chart
