// The chart painted in 3D at 825 x 457 with the three measured curves (R, Z, SWR) as
// ribbons: milliseconds per paint (median) at 101, 10,000 and 250,000 points per curve,
// in the default oblique view after a change of geometry (cold) and after one more point
// (warm), and per mouse move of a rotate drag (the view turned a little, then painted), in
// perspective. Painted into a QImage through the chart's own painter, as the widget does.
#include "chart/plot_painter.h"
#include "chart/qt/qt_canvas.h"
#include "chart/resonance_sweep.h"
#include "chart/stored_chart.h" // tests/chart

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWidth = 825;
constexpr int kHeight = 457;

void Fill(chart::test::StoredChart& chart, int points) {
    chart::test::AddResonance(chart.Swr(), chart.R(), chart.Z(), points, true);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

enum class Before { Geometry, Point, Rotate };

// Milliseconds of one paint, after the change named.
double PaintMs(chart::test::StoredChart& chart, QImage& image, Before before, int runs) {
    std::vector<double> times;
    double f = 14675.1;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        switch (before) {
        case Before::Geometry:
            chart.plot.BottomAxis().SetMinMax(13675 + (i % 2), 14675);
            break;
        case Before::Point:
            chart.Swr().AddXY(f, 2);
            f += 0.001;
            break;
        case Before::Rotate: {
            // What a rotate drag does per move: perspective on, the view turned a degree.
            chart::TPlotView3DOptions o = chart.plot.View3DOptions();
            o.Orthogonal = false;
            o.Rotation = 330 + (i % 20);
            o.Elevation = 340 - (i % 10);
            chart.plot.SetView3DOptions(o);
            break;
        }
        }
        image.fill(Qt::white);
        QPainter painter(&image);
        chart::QtCanvas canvas;
        canvas.SetPainter(&painter);
        chart::PlotPainter(chart.plot, canvas).Paint(kWidth, kHeight);
        painter.end();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return Median(times);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    std::printf("%-10s %12s %12s %14s\n", "points", "cold ms", "warm ms", "rotate ms/move");
    for (const int points : {101, 10000, 250000}) {
        chart::test::StoredChart chart;
        Fill(chart, points);
        chart.plot.SetView3D(true);
        const int runs = points > 100000 ? 31 : 101;
        const double cold = PaintMs(chart, image, Before::Geometry, runs);
        const double warm = PaintMs(chart, image, Before::Point, runs);
        const double rotate = PaintMs(chart, image, Before::Rotate, runs);
        std::printf("%-10d %12.3f %12.3f %14.3f\n", points, cold, warm, rotate);
    }
    return 0;
}
