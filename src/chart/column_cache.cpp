#include "chart/column_cache.h"

#include "chart/axis.h"
#include "chart/series.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace chart {

// Raw arrays and copied mappings: a cold paint feeds every point of every series through
// here, and the checked accessors cost more than the work.
struct ColumnCache::Points {
    explicit Points(const TPlotSeries& series)
        : Series(series), Xs(series.XValues().Data()), Ys(series.YValues().Data()),
          YCount(series.YValues().Count()), XMap(series.GetHorizAxis()->XMapping()),
          YMap(series.GetVertAxis()->YMapping()),
          // Without per-point colours every point is null or none is.
          PerPointNulls(series.HasColors() || series.ColorEachPoint()),
          AllNull(!PerPointNulls && series.SeriesColor() == base::clNone) {}

    double X(int32_t index) const { return Xs[index]; }
    double Y(int32_t index) const { return index < YCount ? Ys[index] : 0.0; }
    bool IsNull(int32_t index) const { return PerPointNulls ? Series.IsNull(index) : AllNull; }

    const TPlotSeries& Series;
    const double* Xs;
    const double* Ys;
    int32_t YCount;
    TAxisMapping XMap;
    TAxisMapping YMap;
    bool PerPointNulls;
    bool AllNull;
};

// Without branches: in a noisy sweep whether a point leaves or sets an extreme is a coin toss.
void ColumnRun::Add(int32_t y) {
    const bool moves = y != Last;
    MinLeft = MinLeft || (Last == Min && moves);
    MaxLeft = MaxLeft || (Last == Max && moves);
    const bool lower = y < Min;
    const bool higher = y > Max;
    Min = lower ? y : Min;
    Max = higher ? y : Max;
    MinLeft = MinLeft && !lower;
    MaxLeft = MaxLeft && !higher;
    Last = y;
}

ColumnCache::AxisKey ColumnCache::KeyOf(const TPlotAxis* axis) {
    if (axis == nullptr) {
        return AxisKey{};
    }
    return AxisKey{axis,
                   axis->IMinimum(),
                   axis->IMaximum(),
                   axis->IAxisSizeRange(),
                   axis->IStartPos(),
                   axis->IEndPos(),
                   axis->Inverted(),
                   axis->Logarithmic(),
                   axis->IRangeZero()};
}

const std::vector<ColumnRun>& ColumnCache::Update(const TPlotSeries& series) {
    const AxisKey x_key = KeyOf(series.GetHorizAxis());
    const AxisKey y_key = KeyOf(series.GetVertAxis());
    const bool same = valid_ && x_key == x_key_ && y_key == y_key_ &&
                      series.XValues().EditCount() == x_edits_ &&
                      series.YValues().EditCount() == y_edits_ && series.Count() >= next_;
    if (!same) {
        Rebuild(x_key, y_key, series);
    }
    const int32_t count = series.Count();
    if (next_ < count && phase_ != Phase::Done && series.GetHorizAxis() != nullptr &&
        series.GetVertAxis() != nullptr) {
        TakeUpTo(Points(series), count);
    }
    return runs_;
}

void ColumnCache::Rebuild(const AxisKey& x_key, const AxisKey& y_key, const TPlotSeries& series) {
    valid_ = true;
    x_key_ = x_key;
    y_key_ = y_key;
    x_edits_ = series.XValues().EditCount();
    y_edits_ = series.YValues().EditCount();
    next_ = 0;
    pending_ = -1;
    phase_ = Phase::BeforeRange;
    connected_ = false;
    runs_.clear();
    ++rebuilds_;
}

// The walk to the first displayed point, the point before it, and on to the first point
// after the range.
void ColumnCache::TakeUpTo(const Points& points, int32_t count) {
    while (phase_ == Phase::BeforeRange && next_ < count) {
        if (!(points.X(next_) >= x_key_.Minimum)) {
            pending_ = next_++;
            continue;
        }
        phase_ = Phase::InRange;
        if (pending_ >= 0) {
            Feed(points, pending_);
        }
    }
    if (phase_ != Phase::InRange) {
        return;
    }
    // Four at a time first: a cold paint of a large sweep scans every X here.
    const double maximum = x_key_.Maximum;
    int32_t stop = next_;
    for (; stop + 4 <= count; stop += 4) {
        const double* x = points.Xs + stop;
        if ((x[0] > maximum) | (x[1] > maximum) | (x[2] > maximum) | (x[3] > maximum)) {
            break;
        }
    }
    while (stop < count && !(points.X(stop) > maximum)) {
        ++stop;
    }
    const int32_t end = stop < count ? stop + 1 : count; // with the first point after the range
    if (points.PerPointNulls) {
        for (; next_ < end; ++next_) {
            Feed(points, next_);
        }
    } else if (end - next_ >= kColumnWalkMinPoints && CanWalkColumns(points)) {
        FeedColumns(points, end);
    } else {
        FeedBlocks(points, end);
    }
    if (stop < count) {
        phase_ = Phase::Done;
    }
}

void ColumnCache::Feed(const Points& points, int32_t index) {
    const double vx = points.X(index);
    const double vy = points.Y(index);
    const bool drawable = std::isfinite(vx) && std::isfinite(vy) && !points.IsNull(index);
    Join(drawable, points.XMap.Map(vx), points.YMap.Map(vy));
}

namespace {

constexpr int32_t kBlock = 512;

// The pixels of a block of finite values (the stand-ins of the others included).
void MapBlock(const TAxisMapping& map, const std::array<double, kBlock>& values,
              std::array<int32_t, kBlock>& pixels) {
    for (int32_t i = 0; i < kBlock; ++i) {
        pixels[i] = map.Map(values[i]);
    }
}

} // namespace

// Many points in a row: walking the columns is cheaper than mapping every point. The walk
// needs mappings that never go back (a zero scale sends overflowing values to the centre).
bool ColumnCache::CanWalkColumns(const Points& points) {
    const auto monotonic = [](const TAxisMapping& map) {
        return map.RangeZero || (map.SizeRange > 0.0 && std::isfinite(map.SizeRange));
    };
    return monotonic(points.XMap) && monotonic(points.YMap) && !points.AllNull;
}

// Each column's stretch of points is found by galloping over X; its extremes come from the
// values (the mapping is monotonic), so only a few points per column are mapped.
void ColumnCache::FeedColumns(const Points& points, int32_t end) {
    const TAxisMapping& x_map = points.XMap;
    while (next_ < end) {
        const int32_t x = x_map.Map(points.Xs[next_]);
        int32_t inside = next_; // the last index known to be in the column
        int32_t outside = next_ + 1;
        for (int32_t step = 1; outside < end && x_map.Map(points.Xs[outside]) == x; step *= 2) {
            inside = outside;
            outside = end - inside > 2 * step ? inside + 2 * step : end;
        }
        while (outside - inside > 1) {
            const int32_t middle = inside + (outside - inside) / 2;
            (x_map.Map(points.Xs[middle]) == x ? inside : outside) = middle;
        }
        FeedColumn(points, x, next_, outside);
        next_ = outside;
    }
}

namespace {

struct Extent {
    double Low;
    double High;
    bool Plain; // every X and Y finite, X ascending
};

// One lane of ExtentOf: branch-free, so the lanes stay in registers.
struct Lane {
    explicit Lane(double y) : Low(y), High(y) {}
    void Add(double previous_x, double x, double y) {
        // y - y is 0 only for finite y; <= is false for NaN.
        Plain &= static_cast<unsigned>(y - y == 0.0) & static_cast<unsigned>(previous_x <= x);
        Low = y < Low ? y : Low;
        High = y > High ? y : High;
    }
    double Low;
    double High;
    unsigned Plain = 1;
};

// Four independent lanes: one running minimum would wait on itself at every point.
Extent ExtentOf(const double* xs, const double* ys, int32_t from, int32_t to) {
    Lane a(ys[from]);
    Lane b(ys[from]);
    Lane c(ys[from]);
    Lane d(ys[from]);
    a.Plain = static_cast<unsigned>(xs[from] - xs[from] == 0.0) &
              static_cast<unsigned>(ys[from] - ys[from] == 0.0);
    int32_t i = from + 1;
    for (; i + 4 <= to; i += 4) {
        a.Add(xs[i - 1], xs[i], ys[i]);
        b.Add(xs[i], xs[i + 1], ys[i + 1]);
        c.Add(xs[i + 1], xs[i + 2], ys[i + 2]);
        d.Add(xs[i + 2], xs[i + 3], ys[i + 3]);
    }
    for (; i < to; ++i) {
        a.Add(xs[i - 1], xs[i], ys[i]);
    }
    return Extent{std::min({a.Low, b.Low, c.Low, d.Low}),
                  std::max({a.High, b.High, c.High, d.High}),
                  (a.Plain & b.Plain & c.Plain & d.Plain) != 0};
}

} // namespace

// A stretch whose first and last points map to column x, found assuming X ascends; when it
// does not (or a value is not finite) the stretch is fed point by point.
void ColumnCache::FeedColumn(const Points& points, int32_t x, int32_t from, int32_t to) {
    const TAxisMapping& y_map = points.YMap;
    if (to > points.YCount) { // never for a series' own lists, which grow together
        for (int32_t i = from; i < to; ++i) {
            Feed(points, i);
        }
        return;
    }
    const Extent extent = ExtentOf(points.Xs, points.Ys, from, to);
    const double low = extent.Low;
    const double high = extent.High;
    const bool plain = extent.Plain;
    if (!plain || (connected_ && runs_.back().X == x)) {
        // Breaks in the line, X out of order, or the run of earlier points goes on.
        for (int32_t i = from; i < to; ++i) {
            Feed(points, i);
        }
        return;
    }
    const int32_t a = y_map.Map(low);
    const int32_t b = y_map.Map(high);
    ColumnRun run(x, y_map.Map(points.Y(from)), connected_);
    run.Min = std::min(a, b);
    run.Max = std::max(a, b);
    run.Last = y_map.Map(points.Y(to - 1));
    if (run.Min != run.Max) { // on a single row the path never leaves it
        run.MinLeft = LeavesExtreme(points, from, to, run.Min, run.Last);
        run.MaxLeft = LeavesExtreme(points, from, to, run.Max, run.Last);
    }
    runs_.push_back(run);
    connected_ = true;
}

// Whether the path moves on from row extreme after first reaching it: it does unless every
// point from there to the end of the stretch sits on that row.
bool ColumnCache::LeavesExtreme(const Points& points, int32_t from, int32_t to, int32_t extreme,
                                int32_t last) {
    if (last != extreme) {
        return true;
    }
    int32_t tail = to - 1; // the start of the closing stretch on that row
    while (tail > from && points.YMap.Map(points.Y(tail - 1)) == extreme) {
        --tail;
    }
    for (int32_t i = from; i < tail; ++i) {
        if (points.YMap.Map(points.Y(i)) == extreme) {
            return true;
        }
    }
    return false;
}

// The same as feeding point by point, in two passes over blocks: the pixel mapping, then the
// runs. A cold paint of a large sweep spends most of its time here.
void ColumnCache::FeedBlocks(const Points& points, int32_t end) {
    std::array<double, kBlock> vx{};
    std::array<double, kBlock> vy{};
    std::array<int32_t, kBlock> xs{};
    std::array<int32_t, kBlock> ys{};
    std::array<bool, kBlock> drawable{};
    while (next_ < end) {
        const int32_t n = std::min(kBlock, end - next_);
        for (int32_t i = 0; i < n; ++i) {
            const double x = points.Xs[next_ + i];
            const double y = points.Y(next_ + i);
            // v - v is 0 only for finite v; the others map a stand-in and are dropped.
            const bool finite = (x - x == 0.0) & (y - y == 0.0);
            vx[i] = finite ? x : 0.0;
            vy[i] = finite ? y : 0.0;
            drawable[i] = finite && !points.AllNull;
        }
        MapBlock(points.XMap, vx, xs);
        MapBlock(points.YMap, vy, ys);
        ColumnRun* run = connected_ ? &runs_.back() : nullptr;
        for (int32_t i = 0; i < n; ++i) {
            // Most points fall in the column of the run before them.
            if (drawable[i] && run != nullptr && xs[i] == run->X) {
                run->Add(ys[i]);
            } else {
                Join(drawable[i], xs[i], ys[i]);
                run = connected_ ? &runs_.back() : nullptr;
            }
        }
        next_ += n;
    }
}

void ColumnCache::Join(bool drawable, int32_t x, int32_t y) {
    if (!drawable) {
        connected_ = false; // the line breaks here
        return;
    }
    if (connected_ && !runs_.empty() && runs_.back().X == x) {
        runs_.back().Add(y);
    } else {
        runs_.emplace_back(x, y, connected_);
    }
    connected_ = true;
}

} // namespace chart
