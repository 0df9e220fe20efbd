// The chart painted in 3D as pixels, at 825 x 457.
#include "../stored_chart.h"
#include "base/format_settings.h"
#include "chart/plot_painter.h"
#include "chart/qt/qt_canvas.h"

#include <QImage>
#include <QPainter>
#include <cmath>
#include <gtest/gtest.h>

namespace chart::test {
namespace {

constexpr int kWidth = 825;
constexpr int kHeight = 457;

class Plot3DPixels : public ::testing::Test {
protected:
    QImage Paint(int width = kWidth, int height = kHeight) {
        QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::magenta);
        QPainter painter(&image);
        QtCanvas canvas;
        canvas.SetPainter(&painter);
        PlotPainter(chart_.plot, canvas).Paint(width, height);
        return image;
    }
    void Sweep() {
        for (int i = 0; i <= 500; ++i) {
            const double f = 13675 + 2.0 * i;
            const double d = (f - 14175) / 200;
            chart_.Swr().AddXY(f, 1 + 4 * d * d / (1 + d * d));
            chart_.R().AddXY(f, 50 + 40 * d);
            chart_.Z().AddXY(f, std::hypot(50 + 40 * d, 80 * d));
        }
    }

    base::ScopedFormatSettings separators_{{".", ","}};
    StoredChart chart_;
};

TEST_F(Plot3DPixels, FullSweepIsWrittenToAPictureForPeopleToLookAt) {
    Sweep();
    chart_.plot.SetView3D(true);
    EXPECT_TRUE(Paint().save("chart_sweep_3d.png"));
    TPlotView3DOptions turned = chart_.plot.View3DOptions();
    turned.Orthogonal = false;
    turned.Rotation = 335;
    turned.Elevation = 340;
    chart_.plot.SetView3DOptions(turned);
    EXPECT_TRUE(Paint().save("chart_sweep_3d_turned.png"));
}

} // namespace
} // namespace chart::test
