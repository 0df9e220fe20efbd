#include "chart/plot_painter_3d.h"

#include "base/conversions.h"
#include "chart/gradient_fill.h"
#include "chart/ribbon_painter.h"
#include "chart/series.h"

#include <algorithm>
#include <cmath>

namespace chart {

namespace {

bool Draws(const TPlotPen& pen) {
    return pen.Visible && pen.Style != psClear;
}

// Labels whose anchor lies further off the control than this are not drawn.
constexpr double kLabelReach = 1000.0;

} // namespace

PlotPainter3D::PlotPainter3D(const TPlot& plot, TCanvas& canvas, const TRect& bounds)
    : plot_(plot), canvas_(canvas), bounds_(bounds), frame_(plot.Layout().Frame3D),
      drawer_(canvas, Grown(bounds, 2.0)), guard_(Grown(bounds, 2.0)), left_(frame_.Front.Left),
      top_(frame_.Front.Top), right_(frame_.Front.Right), bottom_(frame_.Front.Bottom),
      depth_(frame_.Depth) {
    const Projection& view = frame_.View;
    // A wall shows when the viewer is on its inner side.
    seen_[wBack] = view.Sees(0, 0, -1, depth_);
    seen_[wLeft] = depth_ >= 1 && view.Sees(1, 0, 0, -left_);
    seen_[wRight] = depth_ >= 1 && view.Sees(-1, 0, 0, right_);
    seen_[wBottom] = depth_ >= 1 && view.Sees(0, -1, 0, bottom_);
}

TPointF PlotPainter3D::At(const Point3& p) const {
    return frame_.View.Project(p.X, p.Y, p.Z);
}

void PlotPainter3D::Line3(const Point3& a, const Point3& b) {
    drawer_.Line(At(a), At(b));
}

void PlotPainter3D::Paint() {
    canvas_.SetClip(bounds_);
    for (const Wall wall : {wBack, wLeft, wRight, wBottom}) {
        if (seen_[wall]) {
            PaintWall(wall);
        }
    }
    if (plot_.AxisVisible()) {
        // Grids first, so the axis lines lie over the ends of the grid lines.
        for (const TAxisKind kind : {akBottom, akTop, akLeft, akRight}) {
            if (plot_.Axes(kind).IsVisible()) {
                PaintGrid(plot_.Axes(kind));
            }
        }
        for (const TAxisKind kind : {akBottom, akTop, akLeft, akRight}) {
            if (plot_.Axes(kind).IsVisible()) {
                PaintAxis(plot_.Axes(kind));
            }
        }
    }
    for (const Slot& slot : RibbonSlots()) {
        RibbonPainter(*slot.Series, frame_, canvas_, guard_).Paint(slot.Front, slot.Back);
    }
    for (const TPlotSeries* series : plot_.SeriesList()) {
        const auto* line = dynamic_cast<const TPlotPointSeries*>(series);
        if (line != nullptr && line->Active() && line->OnFrontPlane()) {
            PaintFrontPlaneSeries(*line);
        }
    }
    canvas_.SetClip(bounds_);
}

// --- walls ---

void PlotPainter3D::PaintWall(Wall which) {
    const double l = left_;
    const double t = top_;
    const double r = right_;
    const double b = bottom_;
    const double d = depth_;
    // Corners: the wall's upper edge first, then its lower edge, going round. The floor's
    // "upper" edge is its back edge, so a gradient runs from the back to the front.
    std::array<Point3, 4> c;
    const TPlotWall* wall = nullptr;
    double height = b - t;
    switch (which) {
    case wBack:
        wall = &plot_.BackWall();
        c = {Point3{l, t, d}, Point3{r, t, d}, Point3{r, b, d}, Point3{l, b, d}};
        break;
    case wLeft:
        wall = &plot_.LeftWall();
        c = {Point3{l, t, 0}, Point3{l, t, d}, Point3{l, b, d}, Point3{l, b, 0}};
        break;
    case wRight:
        wall = &plot_.RightWall();
        c = {Point3{r, t, d}, Point3{r, t, 0}, Point3{r, b, 0}, Point3{r, b, d}};
        break;
    default:
        wall = &plot_.BottomWall();
        c = {Point3{l, b, d}, Point3{r, b, d}, Point3{r, b, 0}, Point3{l, b, 0}};
        height = d;
        break;
    }
    if (!wall->Visible) {
        return;
    }
    if (!wall->Transparent) {
        canvas_.SetPen(TPlotPen{base::clBlack, 1, psClear, false});
        // A point on the wall a fraction f of the way down, on its first (0) or second side.
        const auto down = [&](double f, int side) {
            const Point3& upper = side == 0 ? c[0] : c[1];
            const Point3& lower = side == 0 ? c[3] : c[2];
            return At(Point3{upper.X + f * (lower.X - upper.X), upper.Y + f * (lower.Y - upper.Y),
                             upper.Z + f * (lower.Z - upper.Z)});
        };
        // Bands as the flat gradient has them: counted from the bottom of rows [y0, y1),
        // y measured down from the wall's upper edge in pixels.
        const auto bands = [&](int64_t y0, int64_t y1, base::TColor lower, base::TColor upper) {
            const int64_t h = y1 - y0;
            if (h <= 1 || height <= 0) {
                return;
            }
            const int64_t n = std::min<int64_t>(h, 256);
            for (int64_t k = 0; k < n; ++k) {
                const int64_t low = h * k / n;
                const int64_t high = h * (k + 1) / n;
                if (high == low) {
                    continue;
                }
                const double f0 = static_cast<double>(y1 - high) / height;
                const double f1 = static_cast<double>(y1 - low) / height;
                canvas_.SetBrush(TPlotBrush{
                    BandColor(lower, upper, static_cast<int32_t>(k), static_cast<int32_t>(n)),
                    bsSolid});
                const TPointF band[4] = {down(f0, 0), down(f0, 1), down(f1, 1), down(f1, 0)};
                drawer_.Polygon(band);
            }
        };
        const TPlotGradient& g = wall->Gradient;
        const bool vertical = g.Direction == gdTopBottom || g.Direction == gdBottomTop;
        const auto rows = static_cast<int64_t>(std::llround(height));
        if (g.Visible && vertical) {
            const bool bottom_top = g.Direction == gdBottomTop;
            const base::TColor upper = bottom_top ? g.StartColor : g.EndColor;
            const base::TColor lower = bottom_top ? g.EndColor : g.StartColor;
            if (g.MidColor == base::clNone) {
                bands(0, rows, lower, upper);
            } else {
                bands(0, rows / 2, g.MidColor, upper);
                bands(rows / 2, rows, lower, g.MidColor);
            }
        } else {
            canvas_.SetBrush(TPlotBrush{g.Visible ? g.StartColor : wall->Color, bsSolid});
            const TPointF face[4] = {At(c[0]), At(c[1]), At(c[2]), At(c[3])};
            drawer_.Polygon(face);
        }
    }
    if (Draws(wall->Pen)) {
        canvas_.SetPen(wall->Pen);
        for (size_t i = 0; i < c.size(); ++i) {
            Line3(c[i], c[(i + 1) % c.size()]);
        }
    }
}

// --- axes ---

PlotPainter3D::Point3 PlotPainter3D::EdgePoint(const TPlotAxis& axis, double p) const {
    // Of the box's two edges that can carry the axis (at the front and at the back), the one
    // further out on the screen, so labels never lie over the box.
    const double mid_x = (left_ + right_) / 2;
    const double mid_y = (top_ + bottom_) / 2;
    const Projection& view = frame_.View;
    switch (axis.Kind()) {
    case akLeft:
    case akRight: {
        const double x = axis.Kind() == akLeft ? left_ : right_;
        const double front = view.Project(x, mid_y, 0).X;
        const double back = view.Project(x, mid_y, depth_).X;
        const bool use_back = axis.Kind() == akLeft ? back < front : back > front;
        return Point3{x, p, use_back ? depth_ : 0.0};
    }
    default: {
        const double y = axis.Kind() == akTop ? top_ : bottom_;
        const double front = view.Project(mid_x, y, 0).Y;
        const double back = view.Project(mid_x, y, depth_).Y;
        const bool use_back = axis.Kind() == akTop ? back < front : back > front;
        return Point3{p, y, use_back ? depth_ : 0.0};
    }
    }
}

TPointF PlotPainter3D::Outward(const TPlotAxis& axis) const {
    switch (axis.Kind()) {
    case akLeft:
        return TPointF{-1, 0};
    case akRight:
        return TPointF{1, 0};
    case akTop:
        return TPointF{0, -1};
    default:
        return TPointF{0, 1};
    }
}

void PlotPainter3D::PaintGrid(const TPlotAxis& axis) {
    TPlotPen pen = axis.Grid();
    if (!Draws(pen)) {
        return;
    }
    if (pen.Color == base::clAutoColor) {
        pen.Color = base::clGray;
    }
    canvas_.SetPen(pen);
    const int32_t lo = std::min(axis.IStartPos(), axis.IEndPos());
    const int32_t hi = std::max(axis.IStartPos(), axis.IEndPos());
    const int32_t every = std::max(1, axis.Grid().DrawEvery);
    const std::vector<int32_t>& ticks = axis.Tick();
    const double l = left_;
    const double t = top_;
    const double r = right_;
    const double b = bottom_;
    const double d = depth_;
    for (size_t i = 0; i < ticks.size(); i += static_cast<size_t>(every)) {
        const double p = ticks[i];
        if (!(lo < ticks[i] && ticks[i] < hi)) {
            continue; // none at the very ends, as in 2D
        }
        // Along the side wall or floor from the front to the back, then across the back wall.
        switch (axis.Kind()) {
        case akBottom:
            if (seen_[wBottom]) {
                Line3({p, b, 0}, {p, b, d});
            }
            break;
        case akLeft:
            if (seen_[wLeft]) {
                Line3({l, p, 0}, {l, p, d});
            }
            break;
        case akRight:
            if (seen_[wRight]) {
                Line3({r, p, 0}, {r, p, d});
            }
            break;
        default:
            break;
        }
        if (seen_[wBack]) {
            if (axis.Horizontal()) {
                Line3({p, b, d}, {p, t, d});
            } else {
                Line3({l, p, d}, {r, p, d});
            }
        }
    }
}

void PlotPainter3D::PaintAxis(const TPlotAxis& axis) {
    const TPointF out = Outward(axis);
    const auto tick = [&](double p, int32_t length) {
        const TPointF s = At(EdgePoint(axis, p));
        drawer_.Line(TPointF{s.X + out.X, s.Y + out.Y},
                     TPointF{s.X + out.X * (1 + length), s.Y + out.Y * (1 + length)});
    };
    if (Draws(axis.Axis())) {
        canvas_.SetPen(axis.Axis());
        Line3(EdgePoint(axis, axis.IStartPos()), EdgePoint(axis, axis.IEndPos()));
    }
    const std::vector<int32_t>& ticks = axis.Tick();
    if (axis.TickLength() != 0 && Draws(axis.Ticks())) {
        canvas_.SetPen(axis.Ticks());
        for (const int32_t p : ticks) {
            tick(p, axis.TickLength());
        }
    }
    // Minor ticks between the ticks and beyond the outer ones, at the same spacing.
    const int32_t count = axis.MinorTickCount();
    if (axis.MinorTickLength() != 0 && Draws(axis.MinorTicks()) && count > 0 && ticks.size() >= 2) {
        canvas_.SetPen(axis.MinorTicks());
        const double lo = std::min(axis.IStartPos(), axis.IEndPos());
        const double hi = std::max(axis.IStartPos(), axis.IEndPos());
        const auto minor = [&](double from, double step, int32_t k) {
            const double p =
                from +
                static_cast<double>(base::Round(static_cast<long double>(k) * step / (count + 1)));
            if (lo < p && p < hi) {
                tick(p, axis.MinorTickLength());
            }
        };
        for (size_t i = 1; i < ticks.size(); ++i) {
            for (int32_t k = 1; k <= count; ++k) {
                minor(ticks[i - 1], static_cast<double>(ticks[i]) - ticks[i - 1], k);
            }
        }
        for (int32_t k = 1; k <= count; ++k) {
            minor(ticks[0], -(static_cast<double>(ticks[1]) - ticks[0]), k);
            minor(ticks.back(), static_cast<double>(ticks.back()) - ticks[ticks.size() - 2], k);
        }
    }
    canvas_.SetFont(axis.LabelsFont());
    const int32_t zone = axis.TickZone();
    const TRectF reach = Grown(bounds_, kLabelReach);
    TRect previous;
    bool drawn = false;
    for (const TAxisLabel& label : axis.LabelList()) {
        if (label.Text.empty()) {
            continue;
        }
        const TPointF s = At(EdgePoint(axis, label.Pos));
        const TPointF a{s.X + out.X * zone, s.Y + out.Y * zone};
        if (!(a.X >= reach.Left && a.X <= reach.Right && a.Y >= reach.Top && a.Y <= reach.Bottom)) {
            continue;
        }
        TPoint at = Projection::ToPixel(a);
        TTextAlign align{haCenter, vaTop};
        switch (axis.Kind()) {
        case akLeft:
            at.Y -= canvas_.TextHeight(label.Text) / 2;
            align = {haRight, vaTop};
            break;
        case akRight:
            at.Y -= canvas_.TextHeight(label.Text) / 2;
            align = {haLeft, vaTop};
            break;
        case akTop:
            align = {haCenter, vaBottom};
            break;
        default:
            break;
        }
        // The labels were spaced for the flat front plane; an edge that the view shortens
        // keeps those that do not run into the one drawn before.
        const int32_t w = canvas_.TextWidth(label.Text);
        const int32_t h = canvas_.TextHeight(label.Text);
        const int32_t left =
            align.Horiz == haLeft ? at.X : (align.Horiz == haRight ? at.X - w : at.X - w / 2);
        const int32_t top = align.Vert == vaTop ? at.Y : at.Y - h;
        const TRect box{left, top, left + w, top + h};
        if (drawn && box.Left < previous.Right && previous.Left < box.Right &&
            box.Top < previous.Bottom && previous.Top < box.Bottom) {
            continue;
        }
        canvas_.TextOut(at, align, label.Text);
        previous = box;
        drawn = true;
    }
}

// --- series ---

std::vector<PlotPainter3D::Slot> PlotPainter3D::RibbonSlots() const {
    std::vector<const TPlotPointSeries*> ribbons;
    for (const TPlotSeries* series : plot_.SeriesList()) {
        const auto* line = dynamic_cast<const TPlotPointSeries*>(series);
        if (line != nullptr && line->Active() && !line->OnFrontPlane()) {
            ribbons.push_back(line);
        }
    }
    std::vector<Slot> slots;
    const double n = static_cast<double>(ribbons.size());
    for (size_t i = 0; i < ribbons.size(); ++i) {
        slots.push_back(Slot{ribbons[i], depth_ * i / n, depth_ * (i + 1) / n});
    }
    // Far to near, so nearer ribbons cover farther ones.
    const Projection& view = frame_.View;
    const double mid_x = (left_ + right_) / 2;
    const double mid_y = (top_ + bottom_) / 2;
    std::stable_sort(slots.begin(), slots.end(), [&](const Slot& a, const Slot& b) {
        return view.Nearness(mid_x, mid_y, (a.Front + a.Back) / 2) <
               view.Nearness(mid_x, mid_y, (b.Front + b.Back) / 2);
    });
    return slots;
}

void PlotPainter3D::PaintFrontPlaneSeries(const TPlotPointSeries& series) {
    const TPlotAxis* horiz = series.GetHorizAxis();
    if (horiz == nullptr || series.GetVertAxis() == nullptr || !Draws(series.LinePen())) {
        return;
    }
    const auto x_map = RibbonPainter::AxisMap::Of(horiz, false);
    const auto y_map = RibbonPainter::AxisMap::Of(series.GetVertAxis(), true);
    // One pixel above and below the front plane, as the flat chart clips its curves.
    const TRectF clip{left_, top_ - 1, right_, bottom_ + 1};
    const int32_t count = series.Count();
    int32_t first = 0;
    while (first < count && !(series.GetxValue(first) >= horiz->IMinimum())) {
        ++first;
    }
    if (first == count) {
        return;
    }
    first = first > 0 ? first - 1 : first;
    TPlotPen pen = series.LinePen();
    bool have_previous = false;
    TPointF previous;
    for (int32_t i = first; i < count; ++i) {
        const double x = series.GetxValue(i);
        const double y = series.GetyValue(i);
        const TPointF here{x_map(x), y_map(y)};
        if (series.IsNull(i) || !std::isfinite(x) || !std::isfinite(y) || std::isnan(here.X) ||
            std::isnan(here.Y)) {
            have_previous = false;
            continue;
        }
        if (have_previous) {
            TPointF a = previous;
            TPointF b = here;
            if (ClipSegment(a, b, clip)) {
                pen.Color = series.GetValueColor(i);
                canvas_.SetPen(pen);
                drawer_.Line(frame_.View.Project(a.X, a.Y, 0), frame_.View.Project(b.X, b.Y, 0));
            }
        }
        previous = here;
        have_previous = true;
        if (x > horiz->IMaximum()) {
            break; // the first point after the range ends the line
        }
    }
}

} // namespace chart
