// The chart painted in 3D, checked through the recording canvas: the order of walls, axes,
// ribbons and front-plane lines, the mouse read on the front plane, and settings far out of
// range painting nothing outside the control.
#include "base/format_settings.h"
#include "chart/plot_painter.h"
#include "chart/plot_painter_3d.h"
#include "chart/ribbon_painter.h"
#include "chart/screen_clip.h"
#include "recording_canvas.h"
#include "resonance_sweep.h"
#include "stored_chart.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace chart::test {
namespace {

constexpr int32_t kWidth = 825;
constexpr int32_t kHeight = 457;
constexpr base::TColor kWallYellow = 14745599; // #FFFFE0
constexpr base::TColor kCenterLine = 4227327;
constexpr double kStep = 2.0; // kHz between the sweep's points

class Plot3D : public ::testing::Test {
protected:
    Plot3D() {
        // A resonance around 14,175 kHz, 501 points from 13,675 to 14,675 kHz.
        AddResonance(chart.Swr(), chart.R(), chart.Z(), 501); // kStep apart
        chart.plot.SetView3D(true);
    }
    void Paint(int32_t width = kWidth, int32_t height = kHeight) {
        canvas.Reset();
        PlotPainter(chart.plot, canvas).Paint(width, height);
    }
    void SetOptions(double rotation, double elevation, bool orthogonal) {
        TPlotView3DOptions o = chart.plot.View3DOptions();
        o.Rotation = rotation;
        o.Elevation = elevation;
        o.Orthogonal = orthogonal;
        chart.plot.SetView3DOptions(o);
    }
    // Indexes of the calls of one kind in one colour.
    std::vector<int> Indexes(DrawKind kind, base::TColor color) const {
        std::vector<int> out;
        const auto& calls = canvas.Calls();
        for (size_t i = 0; i < calls.size(); ++i) {
            if (calls[i].Kind == kind && calls[i].Color == color) {
                out.push_back(static_cast<int>(i));
            }
        }
        return out;
    }
    // The ribbon quads of one series (either side).
    std::vector<int> RibbonOf(const TPlotLineSeries& series) const {
        std::vector<int> out = Indexes(DrawKind::Polygon, series.SeriesColor());
        const auto dark = Indexes(DrawKind::Polygon, RibbonPainter::Darker(series.SeriesColor()));
        out.insert(out.end(), dark.begin(), dark.end());
        std::sort(out.begin(), out.end());
        return out;
    }

    base::ScopedFormatSettings separators{{".", ","}};
    StoredChart chart;
    RecordingCanvas canvas;
};

TEST_F(Plot3D, WallsThenAxesThenRibbonsBackToFrontThenFrontPlaneLinesThenTheLegend) {
    Paint();
    const auto left_wall = Indexes(DrawKind::Polygon, kWallYellow);
    const auto floor = Indexes(DrawKind::Polygon, TPlot::kBottomWallColor);
    // The default view looks from the right and above: the left wall and the floor show,
    // the right wall does not.
    ASSERT_EQ(left_wall.size(), 1U);
    ASSERT_EQ(floor.size(), 1U);
    const int bottom_label = canvas.IndexOfText("14,100");
    const int left_label = canvas.IndexOfText("6");
    const int right_label = canvas.IndexOfText("300");
    ASSERT_GE(bottom_label, 0);
    ASSERT_GE(left_label, 0);
    ASSERT_GE(right_label, 0);
    const auto swr = RibbonOf(chart.Swr());
    const auto z = RibbonOf(chart.Z());
    const auto r = RibbonOf(chart.R());
    const auto centre = Indexes(DrawKind::Line, kCenterLine);
    ASSERT_FALSE(swr.empty());
    ASSERT_FALSE(z.empty());
    ASSERT_FALSE(r.empty());
    ASSERT_FALSE(centre.empty());
    EXPECT_LT(std::max(left_wall[0], floor[0]), bottom_label);
    EXPECT_LT(std::max({bottom_label, left_label, right_label}), swr.front());
    // R is in front, SWR at the back: SWR first, R last.
    EXPECT_LT(swr.back(), z.front());
    EXPECT_LT(z.back(), r.front());
    EXPECT_LT(r.back(), centre.front());
    const auto texts = canvas.Of(DrawKind::Text);
    ASSERT_GE(texts.size(), 3U);
    EXPECT_EQ(texts[texts.size() - 3].Text, "R");
    EXPECT_EQ(texts.back().Text, "SWR");
    // The legend's box is the only rectangle (the walls are polygons), after everything else.
    const auto boxes = canvas.Of(DrawKind::Rectangle);
    ASSERT_EQ(boxes.size(), 1U);
    EXPECT_EQ(boxes[0].Rect.Left, 680);
    EXPECT_LT(centre.back(), Indexes(DrawKind::Rectangle, base::clBlack).at(0));
}

TEST_F(Plot3D, ViewsFromTheOtherSideShowTheOtherWallAndPaintTheRibbonsTheOtherWay) {
    // Turned the other way: the right wall shows instead of the left one.
    SetOptions(15, 345, true);
    Paint();
    ASSERT_EQ(Indexes(DrawKind::Polygon, kWallYellow).size(), 1U);
    const auto wall = canvas.Calls()[Indexes(DrawKind::Polygon, kWallYellow)[0]].Points;
    const int32_t wall_x =
        std::min_element(wall.begin(), wall.end(), [](TPoint a, TPoint b) { return a.X < b.X; })->X;
    EXPECT_GT(wall_x, kWidth / 2);
    // From behind, R is the farthest ribbon and painted first; the back wall turns away.
    SetOptions(180, 345, false);
    Paint();
    const auto r = RibbonOf(chart.R());
    const auto swr = RibbonOf(chart.Swr());
    ASSERT_FALSE(r.empty());
    ASSERT_FALSE(swr.empty());
    EXPECT_LT(r.back(), swr.front());
    const auto slots =
        PlotPainter3D(chart.plot, canvas, TRect{0, 0, kWidth, kHeight}).RibbonSlots();
    ASSERT_EQ(slots.size(), 3U);
    EXPECT_EQ(slots.front().Series, &chart.R());
    EXPECT_EQ(slots.front().Front, 0.0); // R keeps the front slot; the view only turns
}

TEST(Ribbon3D, EachScreenColumnKeepsItsHighestAndLowestPoint) {
    base::ScopedFormatSettings separators{{".", ","}};
    StoredChart chart;
    // 20,000 noisy points, about 27 to a column, and a gap (NaN) that breaks the line.
    constexpr int kPoints = 20000;
    for (int i = 0; i < kPoints; ++i) {
        const double f = 13675 + 1000.0 * i / (kPoints - 1);
        chart.Swr().AddXY(f, i == 9000 ? std::nan("") : 3 + std::sin(i * 12.9898));
    }
    chart.plot.SetView3D(true);
    FixedCanvas metrics;
    for (const bool orthogonal : {true, false}) {
        TPlotView3DOptions o;
        o.Orthogonal = orthogonal;
        o.Rotation = 335;
        o.Tilt = 30;
        o.Zoom = 180; // columns finer than the front plane's pixels
        chart.plot.SetView3DOptions(o);
        chart.plot.CalcLayout(kWidth, kHeight, metrics);
        const TView3DFrame& frame = chart.plot.Layout().Frame3D;
        RecordingCanvas canvas;
        RibbonPainter ribbon(chart.Swr(), frame, canvas, Grown(TRect{0, 0, kWidth, kHeight}, 2));
        const auto& runs = ribbon.Reduce(10.0);
        ASSERT_FALSE(runs.empty());
        // Every point lies in a run, between the run's highest and lowest point.
        const TPlotAxis& v = chart.plot.LeftAxis();
        size_t run = 0;
        int checked = 0;
        for (int i = 0; i < kPoints; ++i) {
            const double y = chart.Swr().GetyValue(i);
            if (std::isnan(y)) {
                continue;
            }
            const double my = v.IEndPos() - (y - v.IMinimum()) * v.IAxisSizeRange();
            while (run < runs.size() && runs[run].Last < i) {
                ++run;
            }
            ASSERT_LT(run, runs.size());
            const auto& r = runs[run];
            ASSERT_GE(i, r.First);
            EXPECT_GE(my, r.TopY - 1e-9);
            EXPECT_LE(my, r.BottomY + 1e-9);
            ++checked;
        }
        EXPECT_EQ(checked, kPoints - 1);
        // About one run per pixel along the zoomed front edge, however the view is turned.
        const TRect& f = frame.Front;
        const TPointF a = frame.View.Project(f.Left, (f.Top + f.Bottom) / 2.0, 10.0);
        const TPointF b = frame.View.Project(f.Right, (f.Top + f.Bottom) / 2.0, 10.0);
        EXPECT_LE(runs.size(), std::hypot(b.X - a.X, b.Y - a.Y) + 3);
        EXPECT_GT(runs.size(), 500U);
        // The extremes are points of the run; the gap starts a run without a step into it.
        for (const auto& r : runs) {
            ASSERT_TRUE(r.Top >= r.First && r.Top <= r.Last && r.Bottom >= r.First &&
                        r.Bottom <= r.Last);
            EXPECT_EQ(v.IEndPos() -
                          (chart.Swr().GetyValue(r.Top) - v.IMinimum()) * v.IAxisSizeRange(),
                      r.TopY);
        }
        const auto after_gap =
            std::find_if(runs.begin(), runs.end(), [](const auto& r) { return r.First == 9001; });
        ASSERT_NE(after_gap, runs.end());
        EXPECT_FALSE(after_gap->Connected);
    }
}

TEST_F(Plot3D, LabelsOnAShortenedEdgeDoNotRunIntoEachOther) {
    // From well above, the front plane's height shrinks to half: the left axis' labels,
    // spaced for the flat height, would overlap.
    SetOptions(330, 300, false);
    Paint();
    std::vector<DrawCall> left;
    for (const DrawCall& call : canvas.Of(DrawKind::Text)) {
        if (call.Color == base::clRed && call.Align.Horiz == haRight) {
            left.push_back(call);
        }
    }
    ASSERT_GE(left.size(), 2U);
    EXPECT_LT(left.size(), chart.plot.LeftAxis().LabelList().size());
    for (size_t i = 1; i < left.size(); ++i) {
        EXPECT_GE(std::abs(left[i].From.Y - left[i - 1].From.Y),
                  FixedCanvas::LineHeight(left[i].Font))
            << left[i - 1].Text << " " << left[i].Text;
    }
}

TEST_F(Plot3D, MouseReadsTheFrequencyUnderItOnTheFrontPlane) {
    const struct Case {
        std::string name;
        double rotation, elevation, zoom;
        int32_t horiz, vert;
    } cases[] = {
        {"default", 345, 345, 100, 0, 0},
        {"depth to the left", 15, 345, 100, 0, 0},
        {"from below", 345, 15, 100, 0, 0},
        {"zoomed", 345, 345, 150, 0, 0},
        {"zoomed and moved", 345, 345, 300, -120, 35},
    };
    FixedCanvas metrics;
    for (const Case& c : cases) {
        TPlotView3DOptions o;
        o.Rotation = c.rotation;
        o.Elevation = c.elevation;
        o.Zoom = c.zoom;
        o.HorizOffset = c.horiz;
        o.VertOffset = c.vert;
        chart.plot.SetView3DOptions(o);
        chart.plot.CalcLayout(kWidth, kHeight, metrics);
        const TView3DFrame& frame = chart.plot.Layout().Frame3D;
        const TPlotAxis& bottom = chart.plot.BottomAxis();
        const double middle = (frame.Front.Top + frame.Front.Bottom) / 2.0;
        for (const double f : {13675.0, 13801.0, 14175.0, 14499.0, 14675.0}) {
            const double front_x =
                bottom.IStartPos() + (f - bottom.IMinimum()) * bottom.IAxisSizeRange();
            const TPoint mouse = Projection::ToPixel(frame.View.Project(front_x, middle, 0));
            EXPECT_NEAR(chart.Swr().XScreenToValue(mouse.X), f, kStep) << c.name << " " << f;
        }
    }
    // The cursor line drawn where the mouse reads meets the mouse.
    chart.plot.SetView3DOptions(TPlotView3DOptions{});
    chart.plot.CalcLayout(kWidth, kHeight, metrics);
    const TPlotAxis& bottom = chart.plot.BottomAxis();
    const double f = 14301;
    const double front_x = bottom.IStartPos() + (f - bottom.IMinimum()) * bottom.IAxisSizeRange();
    const TView3DFrame& frame = chart.plot.Layout().Frame3D;
    const TPoint mouse = Projection::ToPixel(
        frame.View.Project(front_x, (frame.Front.Top + frame.Front.Bottom) / 2.0, 0));
    const double g = chart.Swr().XScreenToValue(mouse.X);
    chart.RefLine().SetXValue(0, g);
    chart.RefLine().SetXValue(1, g);
    Paint();
    const auto ref = canvas.Calls()[Indexes(DrawKind::Line, chart.RefLine().SeriesColor()).at(0)];
    EXPECT_EQ(ref.From.X, ref.To.X);
    EXPECT_LE(std::abs(ref.From.X - mouse.X), 1);
    // Back in 2D the flat mapping holds again.
    chart.plot.SetView3D(false);
    chart.plot.CalcLayout(kWidth, kHeight, metrics);
    EXPECT_EQ(chart.Swr().XScreenToValue(chart.plot.BottomAxis().IStartPos()), 13675.0);
}

TEST_F(Plot3D, SettingsFarOutOfRangePaintOnlyInsideTheControl) {
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    const double nan = std::nan("");
    std::vector<TPlotView3DOptions> bad;
    const auto add = [&](auto edit) {
        for (const bool orthogonal : {true, false}) {
            TPlotView3DOptions o;
            o.Orthogonal = orthogonal;
            edit(o);
            bad.push_back(o);
        }
    };
    for (const double zoom : {1.0, 0.0, 1e6, 1e300, nan}) {
        add([&](TPlotView3DOptions& o) { o.Zoom = zoom; });
    }
    for (const int32_t offset : {kMax, -kMax, 5000}) {
        add([&](TPlotView3DOptions& o) {
            o.HorizOffset = offset;
            o.VertOffset = -offset;
            o.Zoom = 400;
        });
    }
    for (const int32_t perspective : {0, 100}) {
        add([&](TPlotView3DOptions& o) { o.Perspective = perspective; });
    }
    for (const double angle : {0.0, 270.0, 360.0}) {
        for (const double other : {0.0, 270.0, 360.0}) {
            add([&](TPlotView3DOptions& o) {
                o.Rotation = angle;
                o.Elevation = other;
            });
        }
    }
    add([&](TPlotView3DOptions& o) { o.Tilt = 45; });
    struct Size {
        int32_t width, height;
    };
    for (const Size size : {Size{kWidth, kHeight}, Size{1, 1}, Size{40, 12}}) {
        for (const TPlotView3DOptions& o : bad) {
            chart.plot.SetView3DOptions(o);
            chart.plot.SetChart3DPercent(o.Tilt == 45 ? 100 : 15);
            Paint(size.width, size.height);
            // The 3D part alone (the legend keeps its stored place, cut by the clip only).
            const TRect bounds{0, 0, size.width, size.height};
            canvas.Reset();
            PlotPainter3D(chart.plot, canvas, bounds).Paint();
            for (const DrawCall& call : canvas.Calls()) {
                // Everything drawn is cut to the control, and shapes come near it only.
                ASSERT_TRUE(call.Clip.has_value());
                EXPECT_TRUE(call.Clip->Left >= 0 && call.Clip->Top >= 0 &&
                            call.Clip->Right <= size.width && call.Clip->Bottom <= size.height);
                const auto near = [&](TPoint p) {
                    return p.X >= bounds.Left - 2 && p.X <= bounds.Right + 2 &&
                           p.Y >= bounds.Top - 2 && p.Y <= bounds.Bottom + 2;
                };
                if (call.Kind == DrawKind::Line) {
                    EXPECT_TRUE(near(call.From) && near(call.To));
                }
                if (call.Kind == DrawKind::Polygon) {
                    EXPECT_TRUE(std::all_of(call.Points.begin(), call.Points.end(), near));
                }
            }
        }
    }
}

} // namespace
} // namespace chart::test
