// Painting the whole chart, checked through the recording canvas: the order of the steps,
// the gradient bands, the title, back wall, axes, series and legend, and positions taken
// from the recorded layout.
#include "base/format_settings.h"
#include "chart/gradient_fill.h"
#include "chart/legend_painter.h"
#include "chart/plot_painter.h"
#include "chart/series_painter.h"
#include "recording_canvas.h"
#include "stored_chart.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>

namespace chart::test {
namespace {

constexpr int32_t kWidth = 825;
constexpr int32_t kHeight = 457;
constexpr base::TColor kLightGrey = 15395562; // #EAEAEA
constexpr base::TColor kGridGrey = 11119017;  // #A9A9A9

class PlotPainting : public ::testing::Test {
protected:
    void Paint() {
        canvas.Reset();
        PlotPainter(chart.plot, canvas).Paint(kWidth, kHeight);
    }
    int Index(const std::string& text) const { return canvas.IndexOfText(text); }
    // Lines drawn in one colour, in order.
    std::vector<DrawCall> LinesIn(base::TColor color) const {
        std::vector<DrawCall> out;
        for (const DrawCall& c : canvas.Of(DrawKind::Line)) {
            if (c.Color == color) {
                out.push_back(c);
            }
        }
        return out;
    }

    base::ScopedFormatSettings separators{{".", ","}};
    StoredChart chart;
    RecordingCanvas canvas;
};

TEST(GradientBands, EveryRowHasTheColourOfItsBandAndEqualNeighboursMerge) {
    for (const int32_t height : {0, 1, 2, 21, 229, 256, 419, 2000}) {
        RecordingCanvas canvas;
        FillVerticalBands(canvas, TRect{0, 10, 5, 10 + height}, base::clWhite, kLightGrey);
        const auto fills = canvas.Of(DrawKind::FillRect);
        if (height <= 1) {
            EXPECT_TRUE(fills.empty()) << height;
            continue;
        }
        // Bottom first, contiguous up to the top, neighbours always of different colours.
        ASSERT_FALSE(fills.empty());
        EXPECT_EQ(fills.front().Rect.Bottom, 10 + height);
        EXPECT_EQ(fills.back().Rect.Top, 10);
        for (size_t k = 1; k < fills.size(); ++k) {
            EXPECT_EQ(fills[k].Rect.Bottom, fills[k - 1].Rect.Top);
            EXPECT_NE(fills[k].Color, fills[k - 1].Color);
        }
        // Row r (from the bottom) lies in band k when height * k / n <= r < height * (k+1) / n,
        // with n = min(height, 256) bands.
        const int32_t n = std::min(height, 256);
        size_t fill = 0;
        for (int32_t r = 0, k = 0; r < height; ++r) {
            while (int64_t{height} * (k + 1) / n <= r) {
                ++k;
            }
            const int32_t y = 10 + height - 1 - r;
            while (fill < fills.size() && fills[fill].Rect.Top > y) {
                ++fill;
            }
            ASSERT_LT(fill, fills.size()) << height << " row " << r;
            EXPECT_EQ(fills[fill].Color, BandColor(base::clWhite, kLightGrey, k, n))
                << height << " row " << r;
        }
        EXPECT_LE(fills.size(), 22u) << "white to #EAEAEA has 22 grey levels";
    }
    // The integer formula: 255 + k * (234 - 255) / (n - 1), truncated towards zero.
    EXPECT_EQ(BandColor(base::clWhite, kLightGrey, 1, 256), base::RGB(255, 255, 255));
    EXPECT_EQ(BandColor(base::clWhite, kLightGrey, 13, 256), base::RGB(254, 254, 254));
    EXPECT_EQ(BandColor(base::clWhite, kLightGrey, 128, 256), base::RGB(245, 245, 245));
}

TEST_F(PlotPainting, StepsComeInOrderAndTheLegendLast) {
    Paint();
    const auto& calls = canvas.Calls();
    ASSERT_FALSE(calls.empty());
    // Panel first: bands over the whole control, plain #EAEAEA in the upper half, fading to
    // white at the bottom.
    EXPECT_EQ(calls.front().Kind, DrawKind::FillRect);
    EXPECT_EQ(calls.front().Rect.Left, 0);
    EXPECT_EQ(calls.front().Color, kLightGrey);
    const auto bottom_band = std::find_if(calls.begin(), calls.end(), [](const DrawCall& c) {
        return c.Kind == DrawKind::FillRect && c.Rect.Bottom == kHeight && c.Rect.Left == 0 &&
               c.Rect.Right == kWidth && c.Color == base::clWhite;
    });
    EXPECT_NE(bottom_band, calls.end());
    const int title = Index("VSWR Scan Data Chart");
    const auto wall = std::find_if(calls.begin(), calls.end(),
                                   [](const DrawCall& c) { return c.Kind == DrawKind::Rectangle; });
    ASSERT_NE(wall, calls.end());
    const int wall_index = static_cast<int>(wall - calls.begin());
    const int bottom_label = Index("14,100");
    // Labels are made from the top down: "6" on the left, "300" on the right.
    const int left_label = Index("6");
    const int right_label = Index("300");
    const TRect& area = chart.plot.ChartRect();
    const int first_series = static_cast<int>(
        std::find_if(calls.begin(), calls.end(),
                     [&](const DrawCall& c) { return c.Clip && c.Clip->Top == area.Top - 1; }) -
        calls.begin());
    ASSERT_GE(title, 0);
    ASSERT_GE(bottom_label, 0);
    ASSERT_GE(left_label, 0);
    ASSERT_GE(right_label, 0);
    EXPECT_LT(title, wall_index);
    EXPECT_LT(wall_index, bottom_label);
    EXPECT_LT(bottom_label, left_label);
    EXPECT_LT(left_label, right_label);
    EXPECT_LT(right_label, first_series);
    // The legend lists R, Z and SWR, drawn last.
    const auto texts = canvas.Of(DrawKind::Text);
    ASSERT_GE(texts.size(), 3U);
    EXPECT_EQ(texts[texts.size() - 3].Text, "R");
    EXPECT_EQ(texts[texts.size() - 2].Text, "Z");
    EXPECT_EQ(texts.back().Text, "SWR");
    for (const char* hidden : {"CenterLine", "RefLine", "YLine"}) {
        EXPECT_EQ(Index(hidden), -1) << hidden;
    }
}

TEST_F(PlotPainting, TitleIsCentredOnThePlotAreaAboveTheWall) {
    Paint();
    const auto& title = canvas.Calls()[Index("VSWR Scan Data Chart")];
    // Border 1 and margins 3 % and 4 %: the area starts at (25, 19) and ends at x 800.
    EXPECT_EQ(title.From, (TPoint{(25 + 800) / 2, 20}));
    EXPECT_EQ(title.Align, (TTextAlign{haCenter, vaTop}));
    EXPECT_EQ(title.Color, base::clBlue);
    EXPECT_TRUE(title.Font.Style.Contains(fsBold));
    const TRect& area = chart.plot.ChartRect();
    EXPECT_EQ(area.Top, 19 + FixedCanvas::LineHeight(title.Font) + 8);
}

TEST_F(PlotPainting, BackWallIsWidenedByOnePixelWithGradientAndBlackFrame) {
    Paint();
    const TRect& area = chart.plot.ChartRect();
    const TRect wall{area.Left, area.Top, area.Right + 1, area.Bottom + 1};
    const auto frames = canvas.Of(DrawKind::Rectangle);
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.front().Rect, wall);
    EXPECT_EQ(frames.front().Pen.Color, base::clBlack);
    EXPECT_EQ(frames.front().Pen.Width, 1);
    // Its bands: white at the bottom, #EAEAEA at the top.
    const auto& calls = canvas.Calls();
    const auto bottom_band = std::find_if(calls.begin(), calls.end(), [&](const DrawCall& c) {
        return c.Kind == DrawKind::FillRect && c.Rect.Bottom == wall.Bottom &&
               c.Rect.Left == wall.Left;
    });
    ASSERT_NE(bottom_band, calls.end());
    EXPECT_EQ(bottom_band->Color, base::clWhite);
    const auto top_band = std::find_if(calls.begin(), calls.end(), [&](const DrawCall& c) {
        return c.Kind == DrawKind::FillRect && c.Rect.Top == wall.Top && c.Rect.Left == wall.Left;
    });
    ASSERT_NE(top_band, calls.end());
    EXPECT_EQ(top_band->Color, kLightGrey);
}

TEST_F(PlotPainting, AxisLabelsAreAnchoredPerAxisInTheirColours) {
    Paint();
    const TPlot& plot = chart.plot;
    struct Case {
        const TPlotAxis& axis;
        TTextAlign align;
        base::TColor color;
    };
    const Case cases[] = {
        {plot.BottomAxis(), {haCenter, vaTop}, base::clBlack},
        {plot.LeftAxis(), {haRight, vaTop}, base::clRed},
        {plot.RightAxis(), {haLeft, vaTop}, base::clTeal},
    };
    for (const Case& c : cases) {
        ASSERT_FALSE(c.axis.LabelList().empty()) << c.axis.Identifier();
        for (const TAxisLabel& label : c.axis.LabelList()) {
            const int at = Index(label.Text);
            ASSERT_GE(at, 0) << label.Text;
            const DrawCall& text = canvas.Calls()[at];
            EXPECT_EQ(text.Align, c.align) << label.Text;
            EXPECT_EQ(text.Color, c.color) << label.Text;
            EXPECT_TRUE(text.Font.Style.Contains(fsBold));
            const int32_t half = FixedCanvas::LineHeight(text.Font) / 2;
            const TPoint expected = c.axis.Horizontal()
                                        ? TPoint{label.Pos, c.axis.PosLabels()}
                                        : TPoint{c.axis.PosLabels(), label.Pos - half};
            EXPECT_EQ(text.From, expected) << label.Text;
        }
    }
    // The thousands separator of the locale.
    EXPECT_GE(Index("13,700"), 0);
    EXPECT_GE(Index("14,600"), 0);
}

TEST_F(PlotPainting, GridLinesAreDottedGreyAndTheRightAxisHasNone) {
    Paint();
    const TRect& area = chart.plot.ChartRect();
    const auto grid = LinesIn(kGridGrey);
    ASSERT_FALSE(grid.empty());
    int vertical = 0;
    int horizontal = 0;
    for (const DrawCall& line : grid) {
        EXPECT_EQ(line.Pen.Style, psDot);
        if (line.From.X == line.To.X) {
            ++vertical;
            EXPECT_EQ(line.From.Y, area.Top + 1);
            EXPECT_EQ(line.To.Y, area.Bottom);
            EXPECT_GT(line.From.X, area.Left);
            EXPECT_LT(line.From.X, area.Right);
        } else {
            ++horizontal;
            EXPECT_EQ(line.From.X, area.Left + 1);
            EXPECT_EQ(line.To.X, area.Right);
        }
    }
    // Ticks at the very ends get no grid line; the right axis draws none.
    const auto inner_ticks = [](const TPlotAxis& axis) {
        return std::count_if(axis.Tick().begin(), axis.Tick().end(), [&](int32_t p) {
            return std::min(axis.IStartPos(), axis.IEndPos()) < p &&
                   p < std::max(axis.IStartPos(), axis.IEndPos());
        });
    };
    EXPECT_EQ(vertical, inner_ticks(chart.plot.BottomAxis()));
    EXPECT_EQ(horizontal, inner_ticks(chart.plot.LeftAxis()));
}

TEST_F(PlotPainting, TicksStartOutsideTheAxisLineAndMinorTicksStayInside) {
    Paint();
    const TPlotAxis& bottom = chart.plot.BottomAxis();
    std::vector<DrawCall> ticks;
    for (const DrawCall& line : LinesIn(base::clGray)) {
        if (line.From.X == line.To.X && line.From.Y == bottom.PosAxis() + 1) {
            ticks.push_back(line);
        }
    }
    std::vector<int32_t> outer;
    std::vector<int32_t> minor;
    for (const DrawCall& t : ticks) {
        (t.To.Y - t.From.Y == bottom.TickLength() ? outer : minor).push_back(t.From.X);
        EXPECT_TRUE(t.To.Y - t.From.Y == bottom.TickLength() ||
                    t.To.Y - t.From.Y == bottom.MinorTickLength());
    }
    EXPECT_EQ(outer, bottom.Tick());
    ASSERT_GE(bottom.Tick().size(), 2U);
    const int32_t step = bottom.Tick()[1] - bottom.Tick()[0];
    for (const int32_t p : minor) {
        EXPECT_GT(p, bottom.IStartPos());
        EXPECT_LT(p, bottom.IEndPos());
    }
    // Three between each pair of labels, continuing beyond the ends while inside.
    EXPECT_GE(minor.size(), 3 * (bottom.Tick().size() - 1));
    const int32_t quarter = static_cast<int32_t>(std::lround(step / 4.0));
    EXPECT_NE(std::find(minor.begin(), minor.end(), bottom.Tick()[0] + quarter), minor.end());
}

TEST_F(PlotPainting, EmptyChartShowsCenterLineOnlyAmongTheSeries) {
    Paint();
    const TPlotAxis& bottom = chart.plot.BottomAxis();
    const auto centre = LinesIn(4227327);
    ASSERT_EQ(centre.size(), 1U);
    EXPECT_EQ(centre[0].From.X, bottom.CalcXPosValue(14175));
    EXPECT_EQ(centre[0].To.X, centre[0].From.X);
    EXPECT_TRUE(LinesIn(16744703).empty()); // RefLine and YLine lie left of the range
    const TRect& area = chart.plot.ChartRect();
    EXPECT_EQ(centre[0].Clip, (TRect{area.Left, area.Top - 1, area.Right + 1, area.Bottom + 2}));
}

TEST_F(PlotPainting, SeriesLinesBreakAtNullAndNonFinitePointsAndDotsFollowSegments) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    chart.Swr().AddXY(13700, 2);
    chart.Swr().AddXY(13800, 3);
    chart.Swr().AddXY(13900, 4, "", base::clNone); // null
    chart.Swr().AddXY(14000, 3);
    chart.Swr().AddXY(14100, kNaN);
    chart.Swr().AddXY(14200, 2);
    chart.Swr().AddXY(14300, std::numeric_limits<double>::infinity());
    chart.Swr().AddXY(14400, 1.5);
    Paint();
    const auto& calls = canvas.Calls();
    std::vector<const DrawCall*> swr;
    for (const DrawCall& c : calls) {
        if (c.Color == base::clRed && c.Clip && c.Clip->Top > 0 &&
            (c.Kind == DrawKind::Line || c.Kind == DrawKind::Pixel)) {
            swr.push_back(&c);
        }
    }
    const TPlotLineSeries& s = chart.Swr();
    const auto at = [&](int32_t i) { return TPoint{s.CalcXPos(i), s.CalcYPos(i)}; };
    // dot 0, segment 0-1, dot 1, dot 3, dot 5, dot 7: the breaks leave single dots.
    ASSERT_EQ(swr.size(), 6U);
    EXPECT_EQ(swr[0]->Kind, DrawKind::Pixel);
    EXPECT_EQ(swr[0]->From, at(0));
    EXPECT_EQ(swr[1]->Kind, DrawKind::Line);
    EXPECT_EQ(swr[1]->From, at(0));
    EXPECT_EQ(swr[1]->To, at(1));
    EXPECT_EQ(swr[1]->Pen.Width, 2);
    EXPECT_EQ(swr[2]->Kind, DrawKind::Pixel);
    EXPECT_EQ(swr[2]->From, at(1));
    for (size_t k = 3; k < swr.size(); ++k) {
        EXPECT_EQ(swr[k]->Kind, DrawKind::Pixel);
    }
}

// Every pointer style a user may pick is drawn around its point, after the segment leading
// into it, filled in the series' colour.
TEST_F(PlotPainting, PointerStylesAreDrawnAroundEachPointAfterItsSegment) {
    struct Case {
        TSeriesPointerStyle style;
        DrawKind kind;
        size_t calls_per_point;
    };
    const Case cases[] = {
        {psRectangle, DrawKind::Rectangle, 1}, {psCircle, DrawKind::Polygon, 1},
        {psTriangle, DrawKind::Polygon, 1},    {psDownTriangle, DrawKind::Polygon, 1},
        {psDiamond, DrawKind::Polygon, 1},     {psCross, DrawKind::Line, 2},
        {psDiagCross, DrawKind::Line, 2},      {psStar, DrawKind::Line, 4},
    };
    TPlotLineSeries& r = chart.R();
    r.AddXY(13800, 100);
    r.AddXY(14200, 200);
    const auto at = [&](int32_t i) { return TPoint{r.CalcXPos(i), r.CalcYPos(i)}; };
    for (const Case& c : cases) {
        r.Pointer() = TSeriesPointer{true, c.style, 3, 4};
        canvas = RecordingCanvas{};
        Paint();
        // The series' own calls: the segment in its pen, then the marks around each point.
        std::vector<const DrawCall*> marks;
        int segment = -1;
        for (const DrawCall& call : canvas.Calls()) {
            if (call.Kind == DrawKind::Line && call.Pen.Width == 2 && call.From == at(0) &&
                call.To == at(1)) {
                segment = static_cast<int>(marks.size());
            } else if (call.Kind == c.kind && call.Clip && call.Clip->Top > 0) {
                const TPoint p = c.kind == DrawKind::Rectangle
                                     ? TPoint{(call.Rect.Left + call.Rect.Right) / 2,
                                              (call.Rect.Top + call.Rect.Bottom) / 2}
                                 : c.kind == DrawKind::Polygon ? call.Points.front()
                                                               : call.From;
                for (int32_t i = 0; i < 2; ++i) {
                    if (std::abs(p.X - at(i).X) <= 3 && std::abs(p.Y - at(i).Y) <= 4) {
                        marks.push_back(&call);
                    }
                }
            }
        }
        ASSERT_EQ(marks.size(), 2 * c.calls_per_point) << int(c.style);
        EXPECT_EQ(segment, static_cast<int>(c.calls_per_point))
            << "point 1's marks follow the segment";
        if (c.kind == DrawKind::Polygon) { // recorded with its fill colour
            EXPECT_EQ(marks.front()->Color, r.SeriesColor()) << int(c.style);
        }
        if (c.style == psRectangle) {
            EXPECT_EQ(marks.front()->Rect,
                      (TRect{at(0).X - 3, at(0).Y - 4, at(0).X + 4, at(0).Y + 5}));
        }
    }
}

TEST_F(PlotPainting, AValueAtTheTopOfTheRangeLiesOnTheTopEdge) {
    chart.R().AddXY(13675, 300);
    chart.R().AddXY(14675, 300);
    Paint();
    std::vector<DrawCall> lines = LinesIn(base::clGreen);
    std::erase_if(lines, [](const DrawCall& c) { return c.Clip->Top == 0; }); // the legend's
    ASSERT_EQ(lines.size(), 1U);
    EXPECT_EQ(lines[0].From.Y, chart.plot.ChartRect().Top);
    EXPECT_EQ(lines[0].From.X, chart.plot.ChartRect().Left);
    EXPECT_EQ(lines[0].To.X, chart.plot.ChartRect().Right);
}

TEST_F(PlotPainting, DenseSeriesDrawsAStrokePerPixelColumn) {
    // 100 points per kHz: about 130 per pixel column.
    for (int i = 0; i <= 100000; ++i) {
        chart.R().AddXY(13675 + i / 100.0, 100 + (i % 13) * 10);
    }
    Paint();
    std::vector<DrawCall> lines = LinesIn(base::clGreen);
    std::erase_if(lines, [](const DrawCall& c) { return c.Clip->Top == 0; }); // the legend's
    const int32_t columns = chart.plot.ChartWidth() + 1;
    // A vertical stroke per column and a segment into the next one.
    EXPECT_LE(static_cast<int32_t>(lines.size()), 2 * columns);
    EXPECT_GE(static_cast<int32_t>(lines.size()), columns);
    const TPlotAxis& right = chart.plot.RightAxis();
    const auto stroke = std::find_if(lines.begin(), lines.end(),
                                     [](const DrawCall& c) { return c.From.X == c.To.X; });
    ASSERT_NE(stroke, lines.end());
    EXPECT_EQ(stroke->From.Y, right.CalcYPosValue(220));   // the highest value, left by the path
    EXPECT_EQ(stroke->To.Y, right.CalcYPosValue(100) + 1); // the lowest, end excluded
}

TEST_F(PlotPainting, ColumnCacheTakesNewPointsAndRebuildsOnEditsAndNewGeometry) {
    TPlotLineSeries& r = chart.R();
    for (int i = 0; i < 1000; ++i) {
        r.AddXY(13675 + i, 100 + i % 7);
    }
    Paint();
    const ColumnCache& cache = r.DrawCache();
    const int32_t built = cache.Rebuilds();
    struct Step {
        const char* what;
        std::function<void()> change;
        bool rebuilds;
    };
    const Step steps[] = {
        {"a point added", [&] { r.AddXY(14676, 120); }, false},
        {"nothing", [] {}, false},
        {"a batch added",
         [&] {
             r.BeginUpdate();
             r.AddXY(14677, 130);
             r.AddXY(14678, 140);
             r.EndUpdate();
         },
         false},
        {"a value changed", [&] { r.SetYValue(500, 250); }, true},
        {"an X value changed", [&] { r.SetXValue(3, 13679); }, true},
        {"a point deleted", [&] { r.Delete(7); }, true},
        {"the range changed", [&] { chart.plot.BottomAxis().SetMinMax(13700, 14600); }, true},
        {"cleared", [&] { r.Clear(); }, true},
    };
    int32_t expected = built;
    for (const Step& step : steps) {
        step.change();
        Paint();
        expected += step.rebuilds ? 1 : 0;
        EXPECT_EQ(cache.Rebuilds(), expected) << step.what;
    }
}

TEST(SeriesSpan, RunsFromTheLastPointBeforeTheRangeToTheFirstAfterIt) {
    struct Case {
        std::vector<double> xs;
        std::optional<std::pair<int32_t, int32_t>> span;
    };
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {{}, std::nullopt},
        {{1, 2, 3}, std::nullopt},             // all left of the range
        {{5}, std::pair{0, 0}},                // one point inside
        {{5, 20, 30}, std::pair{0, 1}},        // ends past the maximum
        {{1, 5, 8, 20}, std::pair{0, 3}},      // both edges reached
        {{1, 20}, std::pair{0, 1}},            // one segment spanning the range
        {{20, 30}, std::pair{0, 0}},           // all right of the range
        {{1, 5, kNaN, 8, 9}, std::pair{0, 4}}, // NaN X does not end the walk
        {{4, 10, 15.5}, std::pair{0, 2}},      // 14675.5 past an axis to 14675
    };
    for (const Case& c : cases) {
        TPlotLineSeries series;
        for (const double x : c.xs) {
            series.XValues().SetOrder(loNone);
            series.AddXY(x, 1);
        }
        const auto span = SeriesPainter::DrawnSpan(series, 5, 15);
        ASSERT_EQ(span.has_value(), c.span.has_value()) << c.xs.size();
        if (span) {
            EXPECT_EQ(span->First, c.span->first) << c.xs.size();
            EXPECT_EQ(span->Last, c.span->second) << c.xs.size();
        }
    }
}

TEST_F(PlotPainting, LegendBoxHasShadowWhiteFillAndBlackFrameAt680By60) {
    chart.Swr().AddXY(14000, 2);
    Paint();
    const auto frames = canvas.Of(DrawKind::Rectangle);
    ASSERT_EQ(frames.size(), 2U); // back wall, legend
    const TRect box = frames[1].Rect;
    EXPECT_EQ(box.Left, 680);
    EXPECT_EQ(box.Top, 60);
    EXPECT_EQ(frames[1].Pen.Color, base::clBlack);
    const auto& calls = canvas.Calls();
    const auto frame_at = std::find_if(calls.begin(), calls.end(), [&](const DrawCall& c) {
        return c.Kind == DrawKind::Rectangle && c.Rect == box;
    });
    ASSERT_GE(frame_at - calls.begin(), 2);
    // Right before the frame: the shadow, 3 pixels to the right and down, in black.
    const DrawCall& shadow = *(frame_at - 1);
    EXPECT_EQ(shadow.Kind, DrawKind::FillRect);
    EXPECT_EQ(shadow.Rect, (TRect{683, 63, box.Right + 3, box.Bottom + 3}));
    EXPECT_EQ(shadow.Color, base::clBlack);
    EXPECT_EQ(frame_at->Clip, (TRect{0, 0, kWidth, kHeight}));
    // Each row's text follows its symbol line; SWR's symbol carries its dot.
    const int swr = Index("SWR");
    ASSERT_GE(swr, 2);
    EXPECT_EQ(calls[swr - 1].Kind, DrawKind::Pixel);
    EXPECT_EQ(calls[swr - 2].Kind, DrawKind::Line);
    EXPECT_EQ(calls[swr - 2].Color, base::clRed);
    EXPECT_EQ(calls[swr].From.X, 680 + 2 * LegendPainter::kMargin + LegendPainter::kSymbolWidth);
}

TEST_F(PlotPainting, ExtremeSizesAndValuesPaintInsideTheControl) {
    chart.R().AddXY(13000, 1e300);
    chart.R().AddXY(14000, -1e300);
    chart.R().AddXY(20000, std::numeric_limits<double>::infinity());
    chart.plot.LeftAxis().SetMinMax(2, 2);
    for (const auto& [w, h] : {std::pair{1, 1}, std::pair{0, 0}, std::pair{4000, 3000}}) {
        canvas.Reset();
        PlotPainter(chart.plot, canvas).Paint(w, h);
        // Every call is clipped to the control.
        for (const DrawCall& c : canvas.Calls()) {
            ASSERT_TRUE(c.Clip.has_value());
            EXPECT_GE(c.Clip->Left, 0);
            EXPECT_GE(c.Clip->Top, 0);
            EXPECT_LE(c.Clip->Right, w);
            EXPECT_LE(c.Clip->Bottom, h);
        }
        EXPECT_GE(chart.plot.ChartWidth(), 1);
    }
}

} // namespace
} // namespace chart::test
