// What a line series draws, a pixel column at a time: the runs of points that share a
// column, from the last point before the horizontal range to the first point after it.
// Points added at the end are taken in as they come (constant time each); a change of the
// axes' geometry or any other change to the values rebuilds the runs.
#pragma once

#include <cstdint>
#include <vector>

namespace chart {

class TPlotAxis;
class TPlotSeries;

// Consecutive drawable points in one pixel column. The vertical segments between them cover
// every pixel from Min to Max, except an extreme the path never leaves (segments leave out
// their end point).
struct ColumnRun {
    ColumnRun(int32_t x, int32_t y, bool connected)
        : X(x), EntryY(y), Last(y), Min(y), Max(y), Connected(connected) {}

    void Add(int32_t y);
    // The pixel rows the run's own segments cover; Low > High when none.
    int32_t Low() const { return MinLeft ? Min : Min + 1; }
    int32_t High() const { return MaxLeft ? Max : Max - 1; }

    int32_t X;
    int32_t EntryY; // the first point's row
    int32_t Last;   // the latest point's row
    int32_t Min;
    int32_t Max;
    bool MinLeft = false;
    bool MaxLeft = false;
    bool Connected; // a segment leads in from the previous run's last point

    bool operator==(const ColumnRun&) const = default;
};

class ColumnCache {
public:
    // The runs for the series' points and its axes' current geometry.
    const std::vector<ColumnRun>& Update(const TPlotSeries& series);
    // Times the runs were built from the first point (for checks).
    [[nodiscard]] int32_t Rebuilds() const { return rebuilds_; }

private:
    // What the pixel mapping of one axis depends on.
    struct AxisKey {
        const TPlotAxis* Axis = nullptr;
        double Minimum = 0.0;
        double Maximum = 0.0;
        double SizeRange = 0.0;
        int32_t Start = 0;
        int32_t End = 0;
        bool Inverted = false;
        bool Logarithmic = false;
        bool RangeZero = false;
        bool operator==(const AxisKey&) const = default;
    };
    static AxisKey KeyOf(const TPlotAxis* axis);

    struct Points; // the series' values and mappings, read in one tight loop

    void Rebuild(const AxisKey& x_key, const AxisKey& y_key, const TPlotSeries& series);
    void TakeUpTo(const Points& points, int32_t count);
    void Feed(const Points& points, int32_t index);
    void FeedBlocks(const Points& points, int32_t end);
    static constexpr int32_t kColumnWalkMinPoints = 256;
    static bool CanWalkColumns(const Points& points);
    void FeedColumns(const Points& points, int32_t end);
    void FeedColumn(const Points& points, int32_t x, int32_t from, int32_t to);
    static bool LeavesExtreme(const Points& points, int32_t from, int32_t to, int32_t extreme,
                              int32_t last);
    // Adds a mapped point to the runs, or breaks the line at a point that is not drawable.
    void Join(bool drawable, int32_t x, int32_t y);

    enum class Phase : uint8_t { BeforeRange, InRange, Done };

    bool valid_ = false;
    AxisKey x_key_;
    AxisKey y_key_;
    uint64_t x_edits_ = 0;
    uint64_t y_edits_ = 0;
    int32_t next_ = 0;     // the first point not taken in yet
    int32_t pending_ = -1; // the last point before the range so far
    Phase phase_ = Phase::BeforeRange;
    bool connected_ = false; // the last point fed was drawable
    std::vector<ColumnRun> runs_;
    int32_t rebuilds_ = 0;
};

} // namespace chart
