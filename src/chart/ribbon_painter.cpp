#include "chart/ribbon_painter.h"

#include "chart/axis.h"

#include <algorithm>
#include <cmath>

namespace chart {

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
    return TPointF{x_map_(series_.XValues().Data()[index]),
                   y_map_(series_.YValues().Data()[index])};
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
    // From the last point before the horizontal range to the first one after it, as in 2D.
    int32_t first = 0;
    while (first < count && !(xs[first] >= horiz->IMinimum())) {
        ++first;
    }
    if (first == count) {
        return runs_;
    }
    int32_t last = first;
    while (last < count && !(xs[last] > horiz->IMaximum())) {
        ++last;
    }
    first = first > 0 ? first - 1 : first;
    last = last < count ? last : count - 1;

    const Projection::PlaneMap plane = frame_.View.AtDepth(z);
    const TRectF& clip = model_clip_;
    // Only per-point colours (or a null series colour) can mark null points.
    const bool nulls =
        series_.HasColors() || series_.ColorEachPoint() || series_.SeriesColor() == base::clNone;
    bool connected = false;
    for (int32_t i = first; i <= last; ++i) {
        const double mx = x_map_(xs[i]);
        const double my = y_map_(ys[i]);
        if (!std::isfinite(xs[i]) || !std::isfinite(ys[i]) || std::isnan(mx) || std::isnan(my) ||
            (nulls && series_.IsNull(i))) {
            connected = false; // the line breaks here
            continue;
        }
        // Columns are counted where the point shows inside the box; the point itself stays
        // as it is, so the drawing can cut the ribbon at the box's edge.
        const TPointF s =
            plane.Map(std::clamp(mx, clip.Left, clip.Right), std::clamp(my, clip.Top, clip.Bottom));
        const auto column = static_cast<int64_t>(std::floor(s.X));
        if (connected && !runs_.empty() && runs_.back().Column == column) {
            Run& run = runs_.back();
            if (s.Y < run.TopY) {
                run.TopY = s.Y;
                run.Top = i;
            }
            if (s.Y > run.BottomY) {
                run.BottomY = s.Y;
                run.Bottom = i;
            }
            run.Last = i;
        } else {
            runs_.push_back(Run{column, i, i, i, i, s.Y, s.Y, connected});
        }
        connected = true;
    }
    return runs_;
}

void RibbonPainter::AddQuad(int32_t from, int32_t to) {
    quads_.push_back(Quad{ModelPoint(from), ModelPoint(to)});
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
    for (size_t k = 0; k < runs_.size(); ++k) {
        const Run& run = runs_[k];
        if (run.Connected && k > 0) {
            AddQuad(runs_[k - 1].Last, run.First);
        }
        if (run.Top != run.Bottom) {
            // The column's full height, between its extremes in the order they came.
            AddQuad(std::min(run.Top, run.Bottom), std::max(run.Top, run.Bottom));
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
