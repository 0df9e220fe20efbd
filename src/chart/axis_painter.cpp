#include "chart/axis_painter.h"

#include "base/conversions.h"

#include <algorithm>

namespace chart {

namespace {

bool Draws(const TPlotPen& pen) {
    return pen.Visible && pen.Style != psClear;
}

} // namespace

void AxisPainter::Paint() {
    PaintLine();
    if (axis_.TickLength() != 0 && Draws(axis_.Ticks())) {
        canvas_.SetPen(axis_.Ticks());
        for (const int32_t p : axis_.Tick()) {
            PaintTick(p, axis_.TickLength());
        }
    }
    PaintGrid();
    PaintMinorTicks();
    PaintLabels();
}

bool AxisPainter::Inside(int32_t p) const {
    const int32_t lo = std::min(axis_.IStartPos(), axis_.IEndPos());
    const int32_t hi = std::max(axis_.IStartPos(), axis_.IEndPos());
    return lo < p && p < hi;
}

void AxisPainter::PaintLine() {
    if (!Draws(axis_.Axis())) {
        return;
    }
    canvas_.SetPen(axis_.Axis());
    const int32_t at = axis_.PosAxis();
    if (axis_.Horizontal()) {
        canvas_.Line({axis_.IStartPos(), at}, {axis_.IEndPos(), at});
    } else {
        canvas_.Line({at, axis_.IStartPos()}, {at, axis_.IEndPos()});
    }
}

void AxisPainter::PaintTick(int32_t p, int32_t length) {
    // Outward: down for the bottom axis, left for the left one, and so on.
    const bool outward_negative = axis_.Kind() == akLeft || axis_.Kind() == akTop;
    const int32_t sign = outward_negative ? -1 : 1;
    const int32_t from = axis_.PosAxis() + sign;
    const int32_t to = from + sign * length;
    if (axis_.Horizontal()) {
        canvas_.Line({p, from}, {p, to});
    } else {
        canvas_.Line({from, p}, {to, p});
    }
}

void AxisPainter::PaintGrid() {
    TPlotPen pen = axis_.Grid();
    if (!Draws(pen)) {
        return;
    }
    if (pen.Color == base::clAutoColor) {
        pen.Color = base::clGray;
    }
    canvas_.SetPen(pen);
    const int32_t every = std::max(1, axis_.Grid().DrawEvery);
    const std::vector<int32_t>& ticks = axis_.Tick();
    for (size_t i = 0; i < ticks.size(); i += static_cast<size_t>(every)) {
        const int32_t p = ticks[i];
        if (!Inside(p)) {
            continue;
        }
        if (axis_.Horizontal()) {
            canvas_.Line({p, chart_rect_.Top + 1}, {p, chart_rect_.Bottom});
        } else {
            canvas_.Line({chart_rect_.Left + 1, p}, {chart_rect_.Right, p});
        }
    }
}

void AxisPainter::PaintMinorTicks() {
    const int32_t count = axis_.MinorTickCount();
    const std::vector<int32_t>& ticks = axis_.Tick();
    if (axis_.MinorTickLength() == 0 || !Draws(axis_.MinorTicks()) || count <= 0 ||
        ticks.size() < 2) {
        return;
    }
    canvas_.SetPen(axis_.MinorTicks());
    const auto offset = [count](int64_t step, int32_t k) {
        return static_cast<int32_t>(base::Round(static_cast<long double>(k) *
                                                static_cast<long double>(step) / (count + 1)));
    };
    const auto paint = [this](int64_t p) {
        if (p > INT32_MIN && p < INT32_MAX && Inside(static_cast<int32_t>(p))) {
            PaintTick(static_cast<int32_t>(p), axis_.MinorTickLength());
        }
    };
    for (size_t i = 1; i < ticks.size(); ++i) {
        const int64_t step = int64_t{ticks[i]} - ticks[i - 1];
        for (int32_t k = 1; k <= count; ++k) {
            paint(ticks[i - 1] + int64_t{offset(step, k)});
        }
    }
    // The same spacing continues beyond the first and the last tick.
    const int64_t first_step = int64_t{ticks[1]} - ticks[0];
    const int64_t last_step = int64_t{ticks.back()} - ticks[ticks.size() - 2];
    for (int32_t k = 1; k <= count; ++k) {
        paint(ticks[0] - int64_t{offset(first_step, k)});
        paint(ticks.back() + int64_t{offset(last_step, k)});
    }
}

void AxisPainter::PaintLabels() {
    canvas_.SetFont(axis_.LabelsFont());
    const int32_t at = axis_.PosLabels();
    for (const TAxisLabel& label : axis_.LabelList()) {
        if (label.Text.empty()) {
            continue;
        }
        const int32_t half = canvas_.TextHeight(label.Text) / 2;
        switch (axis_.Kind()) {
        case akLeft:
            canvas_.TextOut({at, label.Pos - half}, {haRight, vaTop}, label.Text);
            break;
        case akRight:
            canvas_.TextOut({at, label.Pos - half}, {haLeft, vaTop}, label.Text);
            break;
        case akTop:
            canvas_.TextOut({label.Pos, at}, {haCenter, vaBottom}, label.Text);
            break;
        default:
            canvas_.TextOut({label.Pos, at}, {haCenter, vaTop}, label.Text);
            break;
        }
    }
}

} // namespace chart
