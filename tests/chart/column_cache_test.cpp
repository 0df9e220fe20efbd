// The column runs built in one go (a cold paint: the column walk and the block mapping) are
// exactly the runs of feeding the same points one at a time, which is what a sweep arriving
// point by point builds.
#include "chart/column_cache.h"
#include "chart/series.h"
#include "fixed_canvas.h"
#include "noise.h"
#include "stored_chart.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace chart::test {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct DataSet {
    const char* name;
    std::function<void(TPlotLineSeries&)> fill;
};

// Bottom axis 13675 to 14675 kHz over about 770 pixel columns; SWR axis 1 to 6.
const DataSet kDataSets[] = {
    {"noise, a few rows per column",
     [](TPlotLineSeries& s) {
         Noise noise(7);
         for (int i = 0; i < 60000; ++i) {
             s.AddXY(13675 + i / 60.0, 3 + 0.03 * noise.Next());
         }
     }},
    {"noise over the whole height",
     [](TPlotLineSeries& s) {
         Noise noise(7);
         for (int i = 0; i < 30000; ++i) {
             s.AddXY(13600 + i / 25.0, 1 + 5 * noise.Next());
         }
     }},
    {"stairs ending on an extreme",
     [](TPlotLineSeries& s) {
         // Columns whose last points sit on their lowest or highest row, with and without
         // an earlier visit to that row.
         const double steps[] = {2, 2, 3, 3, 2, 2, 4, 4, 4, 3, 3, 3, 2, 5, 5, 2, 2};
         for (int i = 0; i < 17000; ++i) {
             s.AddXY(13675 + i / 17.0, steps[i % 17]);
         }
     }},
    {"flat",
     [](TPlotLineSeries& s) {
         for (int i = 0; i < 20000; ++i) {
             s.AddXY(13675 + i / 20.0, 2.5);
         }
     }},
    {"spikes and duplicate x",
     [](TPlotLineSeries& s) {
         for (int i = 0; i < 12000; ++i) {
             s.AddXY(13675 + (i / 6) * 0.5, i % 97 == 0 ? 60 : (i % 89 == 0 ? -40 : 2 + (i % 3)));
         }
     }},
    {"non-finite values",
     [](TPlotLineSeries& s) {
         Noise noise(7);
         for (int i = 0; i < 20000; ++i) {
             const double y = i % 701 == 0 ? kNaN : (i % 997 == 0 ? kInf : 1 + 5 * noise.Next());
             s.AddXY(13675 + i / 20.0, y);
         }
     }},
    {"x out of order and not finite",
     [](TPlotLineSeries& s) {
         Noise noise(7);
         for (int i = 0; i < 20000; ++i) {
             s.AddXY(13675 + i / 20.0, 1 + 5 * noise.Next());
         }
         for (int i = 300; i < 20000; i += 1500) {
             s.SetXValue(i, 13675 + (i % 7) * 100); // jumps back and forth
             s.SetXValue(i + 500, kNaN);
         }
     }},
    {"far beyond both axes",
     [](TPlotLineSeries& s) {
         Noise noise(7);
         for (int i = 0; i < 20000; ++i) {
             s.AddXY(13000 + i / 10.0, -1e300 + 2e300 * noise.Next());
         }
     }},
};

// The runs of feeding the drawn points one at a time, from the last point before the range
// to the first one after it, through the series' own mapping.
std::vector<ColumnRun> PointByPoint(const TPlotSeries& s) {
    const TPlotAxis& axis = *s.GetHorizAxis();
    const int32_t count = s.Count();
    int32_t first = 0;
    while (first < count && !(s.GetxValue(first) >= axis.IMinimum())) {
        ++first;
    }
    std::vector<ColumnRun> runs;
    if (first == count) {
        return runs;
    }
    int32_t after = first;
    while (after < count && !(s.GetxValue(after) > axis.IMaximum())) {
        ++after;
    }
    bool connected = false;
    for (int32_t i = first > 0 ? first - 1 : first; i <= std::min(after, count - 1); ++i) {
        if (s.IsNull(i) || !std::isfinite(s.GetxValue(i)) || !std::isfinite(s.GetyValue(i))) {
            connected = false;
            continue;
        }
        const int32_t x = s.CalcXPos(i);
        const int32_t y = s.CalcYPos(i);
        if (connected && runs.back().X == x) {
            runs.back().Add(y);
        } else {
            runs.emplace_back(x, y, connected);
        }
        connected = true;
    }
    return runs;
}

class ColumnCacheRuns : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { chart_.plot.LeftAxis().SetInverted(GetParam()); }
    void Layout() {
        FixedCanvas canvas;
        chart_.plot.CalcLayout(825, 457, canvas);
    }
    StoredChart chart_;
};

TEST_P(ColumnCacheRuns, BuiltInOneGoMatchesPointByPoint) {
    TPlotLineSeries& swr = chart_.Swr();
    for (const DataSet& data : kDataSets) {
        swr.Clear();
        data.fill(swr);
        Layout();
        const std::vector<ColumnRun> expected = PointByPoint(swr);
        ASSERT_GT(expected.size(), 10u) << data.name;
        EXPECT_EQ(swr.DrawCache().Update(swr), expected) << data.name;
    }
}

TEST_P(ColumnCacheRuns, PointsArrivingOneAtATimeBuildTheSameRuns) {
    TPlotLineSeries& swr = chart_.Swr();
    Noise noise(7);
    Layout();
    for (int i = 0; i < 20000; ++i) {
        swr.AddXY(13600 + i * 0.06, i % 4000 < 40 ? 2 : 1 + 5 * noise.Next());
        swr.DrawCache().Update(swr);
    }
    const int32_t rebuilds = swr.DrawCache().Rebuilds();
    const std::vector<ColumnRun> incremental = swr.DrawCache().Update(swr);
    EXPECT_EQ(incremental, PointByPoint(swr));
    EXPECT_EQ(swr.DrawCache().Rebuilds(), rebuilds) << "a point at the end never rebuilds";
    chart_.plot.BottomAxis().SetMinMax(13676, 14675); // a change of geometry: built in one go
    Layout();
    EXPECT_EQ(swr.DrawCache().Update(swr), PointByPoint(swr));
}

INSTANTIATE_TEST_SUITE_P(VerticalAxis, ColumnCacheRuns, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Inverted" : "Upright"; });

} // namespace
} // namespace chart::test
