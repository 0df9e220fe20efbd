#include "chart/series_painter.h"

#include "chart/axis.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <span>

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
    const base::TColor color = series_.GetValueColor(index);
    if (pointer.Style == psSmallDot) {
        canvas_.SetPixel(at, color);
        return;
    }
    // The marks a user may pick in the editor: outlined in black, filled in the point's colour.
    const int32_t h = std::max(1, pointer.HorizSize);
    const int32_t v = std::max(1, pointer.VertSize);
    const int32_t x = at.X;
    const int32_t y = at.Y;
    canvas_.SetPen(TPlotPen{base::clBlack, 1, psSolid, true});
    canvas_.SetBrush(TPlotBrush{color, bsSolid});
    const auto polygon = [&](std::initializer_list<TPoint> points) {
        canvas_.Polygon(std::span<const TPoint>(points.begin(), points.size()));
    };
    switch (pointer.Style) {
    case psRectangle:
        canvas_.Rectangle(TRect{x - h, y - v, x + h + 1, y + v + 1});
        break;
    case psCircle: {
        constexpr int kCorners = 16;
        std::array<TPoint, kCorners> ring;
        for (int k = 0; k < kCorners; ++k) {
            const double a = 2.0 * 3.14159265358979323846 * k / kCorners;
            ring[k] = TPoint{x + static_cast<int32_t>(std::lround(h * std::cos(a))),
                             y + static_cast<int32_t>(std::lround(v * std::sin(a)))};
        }
        canvas_.Polygon(ring);
        break;
    }
    case psTriangle:
        polygon({{x, y - v}, {x + h, y + v}, {x - h, y + v}});
        break;
    case psDownTriangle:
        polygon({{x - h, y - v}, {x + h, y - v}, {x, y + v}});
        break;
    case psDiamond:
        polygon({{x, y - v}, {x + h, y}, {x, y + v}, {x - h, y}});
        break;
    case psCross:
    case psDiagCross:
    case psStar:
        canvas_.SetPen(TPlotPen{color, 1, psSolid, true});
        if (pointer.Style != psDiagCross) {
            canvas_.Line({x - h, y}, {x + h + 1, y});
            canvas_.Line({x, y - v}, {x, y + v + 1});
        }
        if (pointer.Style != psCross) {
            canvas_.Line({x - h, y - v}, {x + h + 1, y + v + 1});
            canvas_.Line({x - h, y + v}, {x + h + 1, y - v - 1});
        }
        break;
    case psSmallDot:
        break;
    }
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

std::optional<SeriesPainter::Span> SeriesPainter::SpanOnAxes() const {
    const TPlotAxis* horiz = series_.GetHorizAxis();
    if (horiz == nullptr || series_.GetVertAxis() == nullptr) {
        return std::nullopt;
    }
    return DrawnSpan(series_, horiz->IMinimum(), horiz->IMaximum());
}

void SeriesPainter::PaintEverySegment() {
    const auto span = SpanOnAxes();
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

void SeriesPainter::PaintPolylines() {
    const auto span = SpanOnAxes();
    if (!span) {
        return;
    }
    // A polyline has one colour; colours per point (null points aside) are drawn segment by
    // segment.
    std::optional<base::TColor> color;
    for (int32_t i = span->First; i <= span->Last && !series_.ColorEachPoint(); ++i) {
        if (!series_.HasColors()) {
            color = series_.GetValueColor(i);
            break;
        }
        if (!Drawable(i)) {
            continue;
        }
        const base::TColor c = series_.GetValueColor(i);
        if (color && *color != c) {
            color.reset();
            break;
        }
        color = c;
    }
    if (!color) {
        PaintEverySegment();
        return;
    }
    TPlotPen pen = series_.LinePen();
    pen.Color = *color;
    canvas_.SetPen(pen);
    pen_color_ = *color;
    std::vector<TPoint> run;
    // The points of the current pixel column: its first, lowest, highest and last so far.
    TPoint first{};
    TPoint low{};
    TPoint high{};
    TPoint last{};
    bool column_open = false;
    bool low_before_high = true;
    auto close_column = [&] {
        if (!column_open) {
            return;
        }
        run.push_back(first);
        const TPoint a = low_before_high ? low : high;
        const TPoint b = low_before_high ? high : low;
        for (const TPoint p : {a, b, last}) {
            if (!(p == run.back())) {
                run.push_back(p);
            }
        }
        column_open = false;
    };
    for (int32_t i = span->First; i <= span->Last; ++i) {
        if (!Drawable(i)) {
            close_column();
            FlushRun(run);
            continue;
        }
        const TPoint here = PixelOf(i);
        if (column_open && here.X != first.X) {
            close_column();
        }
        if (!column_open) {
            first = low = high = last = here;
            low_before_high = true;
            column_open = true;
            continue;
        }
        if (here.Y < low.Y) {
            low = here;
            low_before_high = false; // the top is reached after the bottom so far
        }
        if (here.Y > high.Y) {
            high = here;
            low_before_high = true;
        }
        last = here;
    }
    close_column();
    FlushRun(run);
}

// Draws one unbroken run and its pointers, then empties it.
void SeriesPainter::FlushRun(std::vector<TPoint>& run) {
    if (run.size() >= 2) {
        canvas_.Polyline(run);
    }
    if (series_.Pointer().Visible && series_.Pointer().Style == psSmallDot) {
        for (const TPoint p : run) {
            canvas_.SetPixel(p, pen_color_);
        }
    }
    run.clear();
}

} // namespace chart
