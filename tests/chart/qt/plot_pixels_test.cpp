// The painted chart as pixels, at 825 x 457: gradient bands, the back wall's frame, the grid
// colour, the right axis without grid, the legend's corner and shadow, a curve on the top
// edge. Text is checked elsewhere through the recording canvas; only colours are read here.
#include "../resonance_sweep.h"
#include "../stored_chart.h"
#include "base/format_settings.h"
#include "chart/legend_painter.h"
#include "chart/plot_painter.h"
#include "chart/qt/qt_canvas.h"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace chart::test {
namespace {

constexpr int kWidth = 825;
constexpr int kHeight = 457;
constexpr QRgb kLightGrey = 0xFFEAEAEA;
constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kBlack = 0xFF000000;
constexpr QRgb kGrid = 0xFFA9A9A9;

class PlotPixels : public ::testing::TestWithParam<int> {
protected:
    // Paints the chart into a fresh image at the test's device pixel ratio.
    void Paint() {
        const int ratio = GetParam();
        image_ = QImage(kWidth * ratio, kHeight * ratio, QImage::Format_ARGB32_Premultiplied);
        image_.setDevicePixelRatio(ratio);
        image_.fill(Qt::magenta);
        QPainter painter(&image_);
        QtCanvas canvas;
        canvas.SetPainter(&painter);
        PlotPainter(chart_.plot, canvas).Paint(kWidth, kHeight);
        legend_ = LegendPainter(chart_.plot, canvas).Box();
    }
    // The colour at a logical pixel (its top-left device pixel).
    QRgb At(int x, int y) const { return image_.pixel(x * GetParam(), y * GetParam()); }

    base::ScopedFormatSettings separators_{{".", ","}};
    StoredChart chart_;
    QImage image_;
    TRect legend_;
};

TEST_P(PlotPixels, PanelGradientIsPlainAboveTheMiddleAndFadesToWhiteBelow) {
    Paint();
    EXPECT_EQ(At(5, 10), kLightGrey);
    EXPECT_EQ(At(5, 200), kLightGrey);
    EXPECT_EQ(At(5, 228), kLightGrey); // top band of the lower half
    EXPECT_EQ(At(5, 455), kWhite);     // bottom band (row 456 is the bevel)
    // Band k of 229 from white: 255 + k * (234 - 255) / 228.
    const int k = 456 - 342;
    const int c = 255 + k * (234 - 255) / 228;
    EXPECT_EQ(At(5, 342), qRgb(c, c, c));
}

TEST_P(PlotPixels, BackWallHasItsBlackFrameAndGradient) {
    Paint();
    const TRect& area = chart_.plot.ChartRect();
    EXPECT_EQ(At(area.Left + 5, area.Top), kBlack);
    EXPECT_EQ(At(area.Left + 5, area.Top - 1), kLightGrey); // panel above, untouched
    EXPECT_EQ(At(area.Left + 5, area.Top + 1), kLightGrey); // the wall's top band
    EXPECT_EQ(At(area.Left + 5, area.Bottom - 2), kWhite);  // its bottom band
}

TEST_P(PlotPixels, GridIsGreyOnBottomAndLeftAxesAndAbsentOnTheRight) {
    Paint();
    const TRect& area = chart_.plot.ChartRect();
    const TPlotAxis& bottom = chart_.plot.BottomAxis();
    const auto inner = std::find_if(bottom.Tick().begin(), bottom.Tick().end(),
                                    [&](int32_t p) { return p > area.Left && p < area.Right; });
    ASSERT_NE(inner, bottom.Tick().end());
    EXPECT_EQ(At(*inner, area.Top + 1), kGrid);
    const TPlotAxis& left = chart_.plot.LeftAxis();
    const auto left_inner = std::find_if(left.Tick().begin(), left.Tick().end(), [&](int32_t p) {
        return p > area.Top && p < area.Bottom;
    });
    ASSERT_NE(left_inner, left.Tick().end());
    EXPECT_EQ(At(area.Left + 1, *left_inner), kGrid);
    // A right-axis tick row away from the left grid: only the vertical grid crosses it.
    for (const int32_t p : chart_.plot.RightAxis().Tick()) {
        if (p <= area.Top || p >= area.Bottom ||
            std::find(left.Tick().begin(), left.Tick().end(), p) != left.Tick().end()) {
            continue;
        }
        int grey = 0;
        for (int x = area.Left + 2; x < area.Right - 1; ++x) {
            grey += At(x, p) == kGrid ? 1 : 0;
        }
        EXPECT_LE(grey, static_cast<int>(bottom.Tick().size())) << p;
    }
}

TEST_P(PlotPixels, LegendHasItsFrameCornerAndShadow) {
    chart_.Swr().AddXY(14000, 2);
    Paint();
    EXPECT_EQ(legend_.Left, 680);
    EXPECT_EQ(legend_.Top, 60);
    EXPECT_EQ(At(680, 60), kBlack);
    EXPECT_EQ(At(681, 61), kWhite);
    EXPECT_EQ(At(legend_.Right + 1, legend_.Bottom + 1), kBlack); // shadow
    EXPECT_NE(At(legend_.Right + 1, 61), kBlack);                 // shadow starts 3 down
}

TEST_P(PlotPixels, ValueAtTheTopOfTheRightAxisLiesOnTheTopEdge) {
    chart_.R().AddXY(13675, 300);
    chart_.R().AddXY(14675, 300);
    Paint();
    const TRect& area = chart_.plot.ChartRect();
    EXPECT_EQ(At((area.Left + area.Right) / 2, area.Top), qRgb(0, 128, 0));
}

TEST_P(PlotPixels, FullSweepIsWrittenToAPictureForPeopleToLookAt) {
    // A resonance around 14,175 kHz: SWR dips, R rises through 50 ohms.
    AddResonance(chart_.Swr(), chart_.R(), chart_.Z(), 501);
    Paint();
    // Next to the test program, in the build folder.
    const QString name =
        QCoreApplication::applicationDirPath() + QString("/chart_sweep_x%1.png").arg(GetParam());
    EXPECT_TRUE(image_.save(name));
    // SWR at 14,275 kHz (1.8) is drawn in red, over R and Z. (The dip itself lies under
    // the CenterLine, drawn later.)
    const int x = chart_.plot.BottomAxis().CalcXPosValue(14275);
    const int y = chart_.plot.LeftAxis().CalcYPosValue(1.8);
    EXPECT_EQ(At(x, y), qRgb(255, 0, 0));
}

INSTANTIATE_TEST_SUITE_P(DevicePixelRatio, PlotPixels, ::testing::Values(1, 2));

} // namespace
} // namespace chart::test
