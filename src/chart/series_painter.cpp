#include "chart/series_painter.h"

#include "chart/axis.h"

#include <cmath>

namespace chart {

std::optional<SeriesPainter::Span> SeriesPainter::DrawnSpan(const TPlotSeries& series, double x_min,
                                                            double x_max) {
    const int32_t count = series.Count();
    // The walk to the first displayed point (X ascending).
    int32_t first = 0;
    while (first < count && !(series.GetxValue(first) >= x_min)) {
        ++first;
    }
    if (first == count) {
        return std::nullopt;
    }
    int32_t last = first;
    while (last < count && !(series.GetxValue(last) > x_max)) {
        ++last;
    }
    // last is now the first point after the range (or one past the end).
    Span span{first > 0 ? first - 1 : first, last < count ? last : count - 1};
    return span;
}

bool SeriesPainter::Drawable(int32_t index) const {
    return !series_.IsNull(index) && std::isfinite(series_.GetxValue(index)) &&
           std::isfinite(series_.GetyValue(index));
}

TPoint SeriesPainter::PixelOf(int32_t index) const {
    return TPoint{series_.CalcXPos(index), series_.CalcYPos(index)};
}

void SeriesPainter::PaintPointer(int32_t index, TPoint at) {
    const TSeriesPointer& pointer = series_.Pointer();
    if (!pointer.Visible) {
        return;
    }
    if (pointer.Style == psSmallDot) {
        canvas_.SetPixel(at, series_.GetValueColor(index));
    }
    // Other pointer styles are not used by this chart.
}

void SeriesPainter::Paint() {
    if (!CanPaintByColumn()) {
        PaintEverySegment();
        return;
    }
    const TPlotAxis* horiz = series_.GetHorizAxis();
    if (horiz == nullptr || series_.GetVertAxis() == nullptr) {
        return;
    }
    PaintByColumn();
}

bool SeriesPainter::CanPaintByColumn() const {
    const TPlotPen& pen = series_.LinePen();
    const TSeriesPointer& pointer = series_.Pointer();
    // One colour and a solid pen: the picture is the union of what each segment covers,
    // whatever the order.
    return pen.Visible && pen.Style == psSolid && !series_.HasColors() &&
           !series_.ColorEachPoint() && (!pointer.Visible || pointer.Style == psSmallDot);
}

void SeriesPainter::PaintByColumn() {
    const std::vector<ColumnRun>& runs = series_.DrawCache().Update(series_);
    if (runs.empty()) {
        return;
    }
    TPlotPen pen = series_.LinePen();
    pen.Color = series_.GetValueColor(0);
    canvas_.SetPen(pen);
    const bool dots = series_.Pointer().Visible;
    const ColumnRun* previous = nullptr;
    for (const ColumnRun& run : runs) {
        if (run.Connected && previous != nullptr) {
            canvas_.Line({previous->X, previous->Last}, {run.X, run.EntryY});
        }
        if (run.Low() <= run.High()) {
            canvas_.Line({run.X, run.Low()}, {run.X, run.High() + 1});
        }
        if (dots) {
            // The stroke covers every other point's dot.
            canvas_.SetPixel({run.X, run.Min}, pen.Color);
            if (run.Max != run.Min) {
                canvas_.SetPixel({run.X, run.Max}, pen.Color);
            }
        }
        previous = &run;
    }
}

void SeriesPainter::PaintEverySegment() {
    const TPlotAxis* horiz = series_.GetHorizAxis();
    if (horiz == nullptr || series_.GetVertAxis() == nullptr) {
        return;
    }
    const auto span = DrawnSpan(series_, horiz->IMinimum(), horiz->IMaximum());
    if (!span) {
        return;
    }
    TPlotPen pen = series_.LinePen();
    bool previous_drawable = false;
    TPoint previous;
    for (int32_t i = span->First; i <= span->Last; ++i) {
        const bool drawable = Drawable(i);
        if (!drawable) {
            previous_drawable = false;
            continue;
        }
        const TPoint here = PixelOf(i);
        if (previous_drawable) {
            pen.Color = series_.GetValueColor(i);
            canvas_.SetPen(pen);
            canvas_.Line(previous, here);
        }
        PaintPointer(i, here);
        previous = here;
        previous_drawable = true;
    }
}

} // namespace chart
