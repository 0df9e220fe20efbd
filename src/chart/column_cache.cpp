#include "chart/column_cache.h"

#include "chart/axis.h"
#include "chart/series.h"

#include <cmath>

namespace chart {

void ColumnRun::Add(int32_t y) {
    if (Last == Min && y != Last) {
        MinLeft = true;
    }
    if (Last == Max && y != Last) {
        MaxLeft = true;
    }
    if (y < Min) {
        Min = y;
        MinLeft = false;
    }
    if (y > Max) {
        Max = y;
        MaxLeft = false;
    }
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
    for (const int32_t count = series.Count(); next_ < count && phase_ != Phase::Done; ++next_) {
        Take(series, next_);
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
void ColumnCache::Take(const TPlotSeries& series, int32_t index) {
    const double x = series.GetxValue(index);
    if (phase_ == Phase::BeforeRange) {
        if (!(x >= x_key_.Minimum)) {
            pending_ = index;
            return;
        }
        phase_ = Phase::InRange;
        if (pending_ >= 0) {
            Feed(series, pending_);
        }
    }
    Feed(series, index);
    if (x > x_key_.Maximum) {
        phase_ = Phase::Done;
    }
}

void ColumnCache::Feed(const TPlotSeries& series, int32_t index) {
    const bool drawable = !series.IsNull(index) && std::isfinite(series.GetxValue(index)) &&
                          std::isfinite(series.GetyValue(index));
    if (!drawable) {
        connected_ = false; // the line breaks here
        return;
    }
    const int32_t x = series.CalcXPos(index);
    const int32_t y = series.CalcYPos(index);
    if (connected_ && !runs_.empty() && runs_.back().X == x) {
        runs_.back().Add(y);
    } else {
        runs_.emplace_back(x, y, connected_);
    }
    connected_ = true;
}

} // namespace chart
