#include "chart/screen_clip.h"

#include <algorithm>

namespace chart {

TRectF Grown(const TRect& r, double margin) {
    return TRectF{r.Left - margin, r.Top - margin, r.Right + margin, r.Bottom + margin};
}

bool ClipSegment(TPointF& a, TPointF& b, const TRectF& r) {
    // Liang-Barsky: the part of a + t (b - a), 0 <= t <= 1, inside all four edges.
    const double dx = b.X - a.X;
    const double dy = b.Y - a.Y;
    double t0 = 0.0;
    double t1 = 1.0;
    const auto edge = [&](double p, double q) {
        if (p == 0) {
            return q >= 0; // parallel to the edge: inside or not at all
        }
        const double t = q / p;
        if (p < 0) {
            if (t > t1) {
                return false;
            }
            t0 = std::max(t0, t);
        } else {
            if (t < t0) {
                return false;
            }
            t1 = std::min(t1, t);
        }
        return true;
    };
    if (!edge(-dx, a.X - r.Left) || !edge(dx, r.Right - a.X) || !edge(-dy, a.Y - r.Top) ||
        !edge(dy, r.Bottom - a.Y)) {
        return false;
    }
    const TPointF start = a;
    if (t1 < 1.0) {
        b = TPointF{start.X + t1 * dx, start.Y + t1 * dy};
    }
    if (t0 > 0.0) {
        a = TPointF{start.X + t0 * dx, start.Y + t0 * dy};
    }
    return true;
}

namespace {

// One Sutherland-Hodgman pass: keeps the side where inside(p) holds.
template <typename Inside, typename Cut>
void ClipEdge(const std::vector<TPointF>& in, std::vector<TPointF>& out, Inside inside, Cut cut) {
    out.clear();
    if (in.empty()) {
        return;
    }
    TPointF prev = in.back();
    bool prev_in = inside(prev);
    for (const TPointF& p : in) {
        const bool p_in = inside(p);
        if (p_in != prev_in) {
            out.push_back(cut(prev, p));
        }
        if (p_in) {
            out.push_back(p);
        }
        prev = p;
        prev_in = p_in;
    }
}

TPointF AtX(TPointF a, TPointF b, double x) {
    const double t = (x - a.X) / (b.X - a.X);
    return TPointF{x, a.Y + t * (b.Y - a.Y)};
}

TPointF AtY(TPointF a, TPointF b, double y) {
    const double t = (y - a.Y) / (b.Y - a.Y);
    return TPointF{a.X + t * (b.X - a.X), y};
}

} // namespace

void ClipPolygon(std::span<const TPointF> in, const TRectF& r, std::vector<TPointF>& out) {
    std::vector<TPointF> a(in.begin(), in.end());
    std::vector<TPointF> b;
    ClipEdge(
        a, b, [&](TPointF p) { return p.X >= r.Left; },
        [&](TPointF p, TPointF q) { return AtX(p, q, r.Left); });
    ClipEdge(
        b, a, [&](TPointF p) { return p.X <= r.Right; },
        [&](TPointF p, TPointF q) { return AtX(p, q, r.Right); });
    ClipEdge(
        a, b, [&](TPointF p) { return p.Y >= r.Top; },
        [&](TPointF p, TPointF q) { return AtY(p, q, r.Top); });
    ClipEdge(
        b, out, [&](TPointF p) { return p.Y <= r.Bottom; },
        [&](TPointF p, TPointF q) { return AtY(p, q, r.Bottom); });
}

void ScreenDrawer::Line(TPointF a, TPointF b) {
    if (!ClipSegment(a, b, guard_)) {
        return;
    }
    const TPoint from = Projection::ToPixel(a);
    const TPoint to = Projection::ToPixel(b);
    if (from != to) {
        canvas_.Line(from, to);
    }
}

void ScreenDrawer::Polygon(std::span<const TPointF> points) {
    const bool inside = std::all_of(points.begin(), points.end(), [this](TPointF p) {
        return p.X >= guard_.Left && p.X <= guard_.Right && p.Y >= guard_.Top &&
               p.Y <= guard_.Bottom;
    });
    std::span<const TPointF> shape = points;
    if (!inside) {
        ClipPolygon(points, guard_, clipped_);
        shape = clipped_;
    }
    if (shape.size() < 3) {
        return;
    }
    pixels_.clear();
    for (const TPointF& p : shape) {
        pixels_.push_back(Projection::ToPixel(p));
    }
    canvas_.Polygon(pixels_);
}

} // namespace chart
