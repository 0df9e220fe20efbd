// The chart painted in 3D as pixels, at 825 x 457.
#include "../resonance_sweep.h"
#include "../stored_chart.h"
#include "base/format_settings.h"
#include "chart/plot_painter.h"
#include "chart/qt/qt_canvas.h"

#include <QCoreApplication>
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
    void Sweep() { AddResonance(chart_.Swr(), chart_.R(), chart_.Z(), 501); }

    base::ScopedFormatSettings separators_{{".", ","}};
    StoredChart chart_;
};

// Paints the chart at an offset into an image a margin larger on every side, so anything
// drawn outside the control would show on the margin.
QImage PaintFramed(TPlot& plot, int width, int height, int margin) {
    QImage image(width + 2 * margin, height + 2 * margin, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    painter.translate(margin, margin);
    QtCanvas canvas;
    canvas.SetPainter(&painter);
    PlotPainter(plot, canvas).Paint(width, height);
    return image;
}

bool MarginUntouched(const QImage& image, int margin) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const bool inside = x >= margin && x < image.width() - margin && y >= margin &&
                                y < image.height() - margin;
            if (!inside && image.pixel(x, y) != QColor(Qt::magenta).rgb()) {
                return false;
            }
        }
    }
    return true;
}

TEST_F(Plot3DPixels, BackTo2DGivesTheSamePictureAndKeepsThe3DSettings) {
    Sweep();
    TPlotView3DOptions settings;
    settings.Rotation = 330;
    settings.Orthogonal = false;
    settings.Zoom = 120;
    chart_.plot.SetView3DOptions(settings);
    chart_.plot.SetChart3DPercent(40);
    const QImage flat = Paint();
    chart_.plot.SetView3D(true);
    const QImage deep = Paint();
    chart_.plot.SetView3D(false);
    const QImage again = Paint();
    EXPECT_TRUE(again == flat);
    EXPECT_FALSE(deep == flat);
    EXPECT_EQ(chart_.plot.View3DOptions(), settings);
    EXPECT_EQ(chart_.plot.Chart3DPercent(), 40);
}

TEST_F(Plot3DPixels, PaintsStayInsideTheControlAndDifferFrom2D) {
    Sweep();
    constexpr int kMargin = 30;
    const QImage flat = PaintFramed(chart_.plot, kWidth, kHeight, kMargin);
    chart_.plot.SetView3D(true);
    const QImage deep = PaintFramed(chart_.plot, kWidth, kHeight, kMargin);
    EXPECT_TRUE(MarginUntouched(deep, kMargin));
    EXPECT_FALSE(deep == flat);
    // The left wall shows in its stored pale yellow, the floor in its grey.
    const TView3DFrame& frame = chart_.plot.Layout().Frame3D;
    const TRect& f = frame.Front;
    const TPoint wall = Projection::ToPixel(
        frame.View.Project(f.Left, (f.Top + f.Bottom) / 2.0, frame.Depth / 2.0));
    EXPECT_EQ(deep.pixel(kMargin + wall.X + 1, kMargin + wall.Y), qRgb(0xFF, 0xFF, 0xE0));
    const TPoint floor =
        Projection::ToPixel(frame.View.Project(f.Left + 5, f.Bottom, frame.Depth / 2.0));
    EXPECT_EQ(deep.pixel(kMargin + floor.X, kMargin + floor.Y), qRgb(0xD3, 0xD3, 0xD3));

    // Zoomed in and moved far off, or shrunk to a pixel, the picture stays inside too.
    TPlotView3DOptions far;
    far.Zoom = 1e6;
    far.HorizOffset = -3000;
    far.Orthogonal = false;
    chart_.plot.SetView3DOptions(far);
    EXPECT_TRUE(MarginUntouched(PaintFramed(chart_.plot, kWidth, kHeight, kMargin), kMargin));
    chart_.plot.SetView3DOptions(TPlotView3DOptions{});
    EXPECT_TRUE(MarginUntouched(PaintFramed(chart_.plot, 1, 1, kMargin), kMargin));
}

TEST_F(Plot3DPixels, FullSweepIsWrittenToAPictureForPeopleToLookAt) {
    Sweep();
    chart_.plot.SetView3D(true);
    EXPECT_TRUE(Paint().save(QCoreApplication::applicationDirPath() + "/chart_sweep_3d.png"));
    TPlotView3DOptions turned = chart_.plot.View3DOptions();
    turned.Orthogonal = false;
    turned.Rotation = 335;
    turned.Elevation = 340;
    chart_.plot.SetView3DOptions(turned);
    EXPECT_TRUE(
        Paint().save(QCoreApplication::applicationDirPath() + "/chart_sweep_3d_turned.png"));
}

} // namespace
} // namespace chart::test
