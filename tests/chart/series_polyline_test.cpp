// The vector drawing of a curve: one polyline per unbroken run, each pixel column reduced to
// the points that reach its ends, so it strokes what every segment would.
#include "chart/plot_painter.h"
#include "chart/series_painter.h"
#include "fixed_canvas.h"
#include "stored_chart.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <map>
#include <vector>

namespace chart::test {
namespace {

class PolylineCanvas : public FixedCanvas {
public:
    void Polyline(const std::vector<TPoint>& points) override { polylines.push_back(points); }
    void Line(TPoint from, TPoint to) override { lines.push_back({from, to}); }
    void SetPixel(TPoint at, base::TColor) override { pixels.push_back(at); }

    std::vector<std::vector<TPoint>> polylines;
    std::vector<std::pair<TPoint, TPoint>> lines;
    std::vector<TPoint> pixels;
};

// Lowest and highest pixel row per column.
using Extent = std::map<int32_t, std::pair<int32_t, int32_t>>;

void Cover(Extent& extent, TPoint p) {
    auto [it, fresh] = extent.try_emplace(p.X, p.Y, p.Y);
    it->second.first = std::min(it->second.first, p.Y);
    it->second.second = std::max(it->second.second, p.Y);
}

TEST(SeriesPolylines, OneReducedPolylinePerRunCoveringWhatTheSegmentsCover) {
    StoredChart chart;
    TPlotLineSeries& swr = chart.Swr();
    // 20,000 points over 1000 kHz: about 26 per pixel column, a wiggle in each column, one
    // null point and one NaN splitting the curve in three runs.
    constexpr int kPoints = 20000;
    for (int i = 0; i < kPoints; ++i) {
        const double x = 13675.0 + i * 1000.0 / kPoints;
        double y = 3.5 + 2.0 * std::sin(i * 0.37);
        if (i == 12000) {
            y = std::numeric_limits<double>::quiet_NaN();
        }
        swr.AddXY(x, y, "", i == 7000 ? base::clNone : base::clAutoColor);
    }
    PolylineCanvas canvas;
    chart.plot.CalcLayout(825, 457, canvas);

    SeriesPainter(swr, canvas).PaintPolylines();
    ASSERT_EQ(canvas.polylines.size(), 3u);
    EXPECT_TRUE(canvas.lines.empty());
    size_t drawn_points = 0;
    Extent polyline_extent;
    for (const auto& run : canvas.polylines) {
        drawn_points += run.size();
        for (const TPoint p : run) {
            Cover(polyline_extent, p);
        }
    }
    // At most four points per column (entry, lowest, highest, exit) per run.
    EXPECT_LE(drawn_points, 3u * 4u * 776u);

    // The same extents as the segments through every point.
    PolylineCanvas reference;
    SeriesPainter(swr, reference).PaintEverySegment();
    Extent segment_extent;
    for (const auto& [from, to] : reference.lines) {
        Cover(segment_extent, from);
        Cover(segment_extent, to);
    }
    EXPECT_EQ(polyline_extent, segment_extent);
    // Runs end where the curve breaks: nothing joins the points around the gaps.
    EXPECT_EQ(canvas.polylines[0].back().X, swr.CalcXPos(6999));
    EXPECT_EQ(canvas.polylines[1].front().X, swr.CalcXPos(7001));
    // Every drawn point carries its dot.
    EXPECT_EQ(canvas.pixels.size(), drawn_points);
}

TEST(SeriesPolylines, PlotPainterUsesThemOnlyForVectorOutput) {
    StoredChart chart;
    for (int i = 0; i < 100; ++i) {
        chart.R().AddXY(13675.0 + i * 10.0, 50.0 + i);
    }
    PolylineCanvas screen;
    PlotPainter(chart.plot, screen).Paint(825, 457);
    EXPECT_TRUE(screen.polylines.empty());

    PolylineCanvas vector;
    PlotPainter painter(chart.plot, vector);
    painter.SetVectorOutput(true);
    painter.Paint(825, 457);
    // R, then the centre line; RefLine and YLine lie outside the range (a single point each
    // at most is drawn, no polyline of one point).
    ASSERT_EQ(vector.polylines.size(), 2u);
    EXPECT_EQ(vector.polylines[0].size(), 100u);
}

} // namespace
} // namespace chart::test
