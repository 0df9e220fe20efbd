#include "chart/ribbon_painter.h"

#include "chart/axis.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace chart {

namespace {

constexpr double kFar = 4.0 * Projection::kCoordLimit;
constexpr double kLimit = Projection::kCoordLimit;

} // namespace

base::TColor RibbonPainter::Darker(base::TColor color) {
    const auto part = [](uint8_t c) { return static_cast<uint8_t>(c * 3 / 5); };
    return base::RGB(part(base::RedOf(color)), part(base::GreenOf(color)),
                     part(base::BlueOf(color)));
}

RibbonPainter::AxisMap RibbonPainter::AxisMap::Of(const TPlotAxis* axis, bool vertical_form) {
    AxisMap map;
    if (axis == nullptr) {
        return map;
    }
    if (axis->IRangeZero()) {
        map.Origin = axis->ICenterPos();
        return map;
    }
    // As the axis maps: the horizontal form counts from the start, the vertical one back
    // from the end; Inverted swaps them.
    const bool from_end = vertical_form != axis->Inverted();
    map.Minimum = axis->IMinimum();
    map.Origin = from_end ? axis->IEndPos() : axis->IStartPos();
    map.Scale = from_end ? -axis->IAxisSizeRange() : axis->IAxisSizeRange();
    return map;
}

RibbonPainter::RibbonPainter(const TPlotPointSeries& series, const TView3DFrame& frame,
                             TCanvas& canvas, const TRectF& guard)
    : series_(series), frame_(frame), canvas_(canvas),
      drawer_(canvas, guard), model_clip_{static_cast<double>(frame.Front.Left),
                                          static_cast<double>(frame.Front.Top),
                                          static_cast<double>(frame.Front.Right),
                                          static_cast<double>(frame.Front.Bottom)},
      x_map_(AxisMap::Of(series.GetHorizAxis(), false)),
      y_map_(AxisMap::Of(series.GetVertAxis(), true)) {}

TPointF RibbonPainter::ModelPoint(int32_t index) const {
    // Values far off the box (or overflowing the map) are held at a distance that keeps the
    // cut at the box's edge where it was and the arithmetic finite.
    const auto hold = [](double v) { return std::isnan(v) ? 0.0 : std::clamp(v, -kFar, kFar); };
    return TPointF{hold(x_map_(series_.XValues().Data()[index])),
                   hold(y_map_(series_.YValues().Data()[index]))};
}

const std::vector<RibbonPainter::Run>& RibbonPainter::Reduce(double z) {
    runs_.clear();
    const TPlotAxis* horiz = series_.GetHorizAxis();
    const int32_t count = series_.Count();
    const double* xs = series_.XValues().Data();
    const double* ys = series_.YValues().Data();
    if (horiz == nullptr || series_.GetVertAxis() == nullptr || count <= 0 || xs == nullptr ||
        ys == nullptr) {
        return runs_;
    }
    // From the last point before the horizontal range to the first one after it, as in 2D;
    // ascending X values are searched by halves instead of walked.
    const double x_min = horiz->IMinimum();
    const double x_max = horiz->IMaximum();
    int32_t first = 0;
    int32_t last = 0;
    if (series_.XValues().Order() == loAscending) {
        first = static_cast<int32_t>(
            std::partition_point(xs, xs + count, [=](double x) { return !(x >= x_min); }) - xs);
        last = static_cast<int32_t>(
            std::partition_point(xs + first, xs + count, [=](double x) { return !(x > x_max); }) -
            xs);
    } else {
        while (first < count && !(xs[first] >= x_min)) {
            ++first;
        }
        last = first;
        while (last < count && !(xs[last] > x_max)) {
            ++last;
        }
    }
    if (first == count) {
        return runs_;
    }
    first = first > 0 ? first - 1 : first;
    last = last < count ? last : count - 1;

    // The front edge at this depth runs along the projected x axis: a point's column is its
    // place along that line in screen pixels, its height its front-plane y. A column's
    // points then lie on one projected vertical, which keeps their extremes at its ends.
    const Projection::PlaneMap plane = frame_.View.AtDepth(z);
    const TRectF& clip = model_clip_;
    const double y_mid = (clip.Top + clip.Bottom) / 2;
    const TPointF start = plane.Map(clip.Left, y_mid);
    const TPointF end = plane.Map(clip.Right, y_mid);
    double ux = end.X - start.X;
    double uy = end.Y - start.Y;
    const double length = std::hypot(ux, uy);
    if (length > 1e-9) {
        ux /= length;
        uy /= length;
    } else {
        ux = 1.0;
        uy = 0.0;
    }
    // A column shorter than a screen pixel is drawn as one point.
    const TPointF centre = plane.Map((clip.Left + clip.Right) / 2, y_mid);
    const TPointF below = plane.Map((clip.Left + clip.Right) / 2, y_mid + 1);
    const double pixels_per_row = std::hypot(below.X - centre.X, below.Y - centre.Y);
    min_height_ = pixels_per_row > 1e-9 ? 1.0 / pixels_per_row : 1.0;

    const AxisMap y_map = y_map_;
    if (plane.Affine()) {
        // Parallel views: the place along the edge is linear in the value, folded with the
        // axis' map: the per-point work of a dense sweep.
        const double along = (plane.H(0, 0) * ux + plane.H(1, 0) * uy) * x_map_.Scale;
        const double at_origin = (plane.H(0, 0) * ux + plane.H(1, 0) * uy) *
                                     (x_map_.Origin - x_map_.Minimum * x_map_.Scale) +
                                 (plane.H(0, 1) * ux + plane.H(1, 1) * uy) * y_mid +
                                 plane.H(0, 2) * ux + plane.H(1, 2) * uy -
                                 (start.X * ux + start.Y * uy);
        Walk(first, last, [=](double x, double y) {
            return TPointF{along * x + at_origin, y_map(y)};
        });
    } else {
        // Perspective: along the edge the view is a ratio of two linear functions of the
        // value, folded the same way. x is held inside the box, where the view is defined
        // (the drawing cuts the ribbon there anyway).
        const double c0 = plane.H(0, 1) * y_mid + plane.H(0, 2);
        const double c1 = plane.H(1, 1) * y_mid + plane.H(1, 2);
        const double c2 = plane.H(2, 1) * y_mid + plane.H(2, 2);
        const double alpha = ux * plane.H(0, 0) + uy * plane.H(1, 0);
        const double beta = ux * c0 + uy * c1;
        const double gamma = plane.H(2, 0);
        const double x0 = x_map_.Origin - x_map_.Minimum * x_map_.Scale;
        const double scale = x_map_.Scale;
        const double top = alpha * scale;
        const double top0 = alpha * x0 + beta;
        const double bottom = gamma * scale;
        const double bottom0 = gamma * x0 + c2;
        const double offset = start.X * ux + start.Y * uy;
        // The values at the box's left and right edges (a zero range maps all to one place).
        double lo = -std::numeric_limits<double>::max();
        double hi = std::numeric_limits<double>::max();
        if (scale != 0) {
            lo = (clip.Left - x0) / scale;
            hi = (clip.Right - x0) / scale;
            if (lo > hi) {
                std::swap(lo, hi);
            }
        }
        // The values of one column form an interval (the map is monotonic inside the box),
        // so a point inside the last column's interval needs no division: with ascending
        // values there is about one division per column instead of one per point.
        double column_lo = 1.0;
        double column_hi = 0.0;
        double column_place = 0.0;
        const auto value_at = [&](double place) {
            place += offset;
            return (top0 - place * bottom0) / (place * bottom - top);
        };
        Walk(first, last, [&](double x, double y) {
            const double v = std::clamp(x, lo, hi);
            if (!(v >= column_lo && v <= column_hi)) {
                const double place = (top * v + top0) / (bottom * v + bottom0) - offset;
                const double column = std::floor(std::clamp(place, -kLimit, kLimit));
                const double a = value_at(column);
                const double b = value_at(column + 1);
                column_lo = std::min(a, b);
                column_hi = std::max(a, b);
                column_place = column + 0.5;
            }
            return TPointF{column_place, y_map(y)};
        });
    }
    return runs_;
}

template <typename ToScreen>
void RibbonPainter::Walk(int32_t first, int32_t last, const ToScreen& to_screen) {
    const double* xs = series_.XValues().Data();
    const double* ys = series_.YValues().Data();
    // Only per-point colours (or a null series colour) can mark null points.
    const bool nulls =
        series_.HasColors() || series_.ColorEachPoint() || series_.SeriesColor() == base::clNone;
    bool connected = false;
    for (int32_t i = first; i <= last; ++i) {
        const double x = xs[i];
        const double y = ys[i];
        if (!std::isfinite(x) || !std::isfinite(y) || (nulls && series_.IsNull(i))) {
            connected = false; // the line breaks here
            continue;
        }
        TPointF s = to_screen(x, y);
        // Far-off values saturate (NaN from overflowing sums too) before they become columns.
        if (!(s.X >= -kLimit)) {
            s.X = -kLimit;
        } else if (!(s.X <= kLimit)) {
            s.X = kLimit;
        }
        // floor without a library call: the value is within the limit, so it converts.
        auto column = static_cast<int64_t>(s.X);
        column -= static_cast<double>(column) > s.X ? 1 : 0;
        if (connected && !runs_.empty() && runs_.back().Column == column) {
            Run& run = runs_.back();
            if (s.Y < run.TopY) {
                run.TopY = s.Y;
                run.Top = i;
            } else if (s.Y > run.BottomY) {
                run.BottomY = s.Y;
                run.Bottom = i;
            }
            run.Last = i;
        } else {
            runs_.push_back(Run{column, i, i, i, i, s.Y, s.Y, connected});
        }
        connected = true;
    }
}

void RibbonPainter::AddQuad(const Run& from_run, int32_t from, const Run& to_run, int32_t to) {
    // Every point of a run is taken at the run's first point's place across: the column's
    // quad then holds the points that the steps into and out of the column start from, so
    // neighbouring quads overlap instead of leaving slits a pixel wide between them.
    quads_.push_back(Quad{TPointF{ModelPoint(from_run.First).X, ModelPoint(from).Y},
                          TPointF{ModelPoint(to_run.First).X, ModelPoint(to).Y}});
}

void RibbonPainter::Paint(double z_front, double z_back) {
    if (!series_.LinePen().Visible || series_.LinePen().Style == psClear) {
        return;
    }
    (void)Reduce(z_front);
    if (runs_.empty()) {
        return;
    }
    quads_.clear();
    int32_t exit = runs_.front().Last; // where the step out of the previous run starts
    for (size_t k = 0; k < runs_.size(); ++k) {
        const Run& run = runs_[k];
        if (run.Connected && k > 0) {
            AddQuad(runs_[k - 1], exit, run, run.First);
        }
        if (run.BottomY - run.TopY >= min_height_) {
            // The column's full height, between its extremes in the order they came.
            AddQuad(run, std::min(run.Top, run.Bottom), run, std::max(run.Top, run.Bottom));
            exit = run.Last;
        } else {
            // Within a pixel the column is one point: the step out starts where the step in
            // ended, so the two meet without a slit.
            exit = run.First;
        }
    }
    colour_ = series_.GetValueColor(runs_.front().First);
    const bool flat = !(z_back - z_front >= 1.0);
    if (flat) {
        // No depth to sweep: the front edge alone, in the series' pen.
        TPlotPen pen = series_.LinePen();
        pen.Color = colour_;
        canvas_.SetPen(pen);
    } else {
        canvas_.SetPen(TPlotPen{colour_, 1, psClear, false});
    }
    shade_ = base::clNone;

    // Far to near: a ray that meets the ribbon twice meets the part nearer the viewer's x
    // first, so each side of the viewer is drawn towards it.
    const Projection::Eye& eye = frame_.View.Viewer();
    size_t split = quads_.size();
    if (eye.W != 0) {
        split =
            static_cast<size_t>(std::partition_point(quads_.begin(), quads_.end(),
                                                     [&](const Quad& q) { return q.A.X < eye.X; }) -
                                quads_.begin());
    } else if (eye.X < 0) {
        split = 0;
    }
    const auto draw = [&](const Quad& quad) {
        if (flat) {
            TPointF a = quad.A;
            TPointF b = quad.B;
            if (ClipSegment(a, b, model_clip_)) {
                drawer_.Line(frame_.View.Project(a.X, a.Y, z_front),
                             frame_.View.Project(b.X, b.Y, z_front));
            }
            return;
        }
        DrawQuad(quad, z_front, z_back);
    };
    for (size_t i = 0; i < split; ++i) {
        draw(quads_[i]);
    }
    for (size_t i = quads_.size(); i-- > split;) {
        draw(quads_[i]);
    }
}

void RibbonPainter::DrawQuad(const Quad& quad, double z_front, double z_back) {
    TPointF a = quad.A;
    TPointF b = quad.B;
    if (!ClipSegment(a, b, model_clip_)) {
        return;
    }
    const Projection& view = frame_.View;
    const TPointF corners[4] = {view.Project(a.X, a.Y, z_front), view.Project(b.X, b.Y, z_front),
                                view.Project(b.X, b.Y, z_back), view.Project(a.X, a.Y, z_back)};
    // The upper side's normal (the curve's direction turned towards -y), against the
    // direction of the viewer.
    double dx = b.X - a.X;
    double dy = b.Y - a.Y;
    if (dx < 0) {
        dx = -dx;
        dy = -dy;
    }
    const Projection::Eye& eye = view.Viewer();
    const double ex = eye.W != 0 ? eye.X - a.X : eye.X;
    const double ey = eye.W != 0 ? eye.Y - a.Y : eye.Y;
    const bool upper_seen = dy * ex - dx * ey > 0;
    const base::TColor shade = upper_seen ? colour_ : Darker(colour_);
    if (shade != shade_) {
        canvas_.SetBrush(TPlotBrush{shade, bsSolid});
        shade_ = shade;
    }
    drawer_.Polygon(corners);
}

} // namespace chart
