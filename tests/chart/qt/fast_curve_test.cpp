// Series drawn a pixel column at a time give exactly the pixels of drawing every segment
// and pointer one by one, for data sets that stress the column runs.
#include "../noise.h"
#include "../stored_chart.h"
#include "chart/plot_painter.h"
#include "chart/qt/qt_canvas.h"
#include "chart/series_painter.h"

#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <limits>

namespace chart::test {
namespace {

constexpr int kWidth = 825;
constexpr int kHeight = 457;

struct DataSet {
    const char* name;
    std::function<void(TPlotLineSeries&)> fill;
};

void Dense(TPlotLineSeries& s, int count, double from, double to) {
    Noise noise;
    for (int i = 0; i < count; ++i) {
        s.AddXY(from + (to - from) * i / (count - 1), 1 + 5 * noise.Next());
    }
}

const DataSet kDataSets[] = {
    {"spikes",
     [](TPlotLineSeries& s) {
         for (int i = 0; i < 3000; ++i) {
             s.AddXY(13675 + i / 3.0, i % 97 == 0 ? 6 : 1.5 + (i % 5) * 0.01);
         }
     }},
    {"flat runs",
     [](TPlotLineSeries& s) {
         for (int i = 0; i < 4000; ++i) {
             s.AddXY(13675 + i / 4.0, i < 2000 ? 2 : 4);
         }
     }},
    {"duplicate x",
     [](TPlotLineSeries& s) {
         for (int i = 0; i < 400; ++i) {
             s.AddXY(13700 + (i / 4) * 5, 1 + (i % 4));
         }
     }},
    {"returns to its minimum",
     [](TPlotLineSeries& s) {
         const double ys[] = {4, 2, 4, 2, 3, 5, 3, 5, 2.5};
         for (int i = 0; i < 90; ++i) {
             s.AddXY(14000 + (i / 9) * 20, ys[i % 9]);
         }
     }},
    {"null points",
     [](TPlotLineSeries& s) {
         Noise noise;
         for (int i = 0; i < 5000; ++i) {
             const bool null = i % 50 < 3;
             s.AddXY(13675 + i / 5.0, 1 + 5 * noise.Next(), "",
                     null ? base::clNone : base::clAutoColor);
         }
     }},
    {"non-finite values",
     [](TPlotLineSeries& s) {
         Noise noise;
         for (int i = 0; i < 5000; ++i) {
             const double y =
                 i % 70 == 0 ? std::numeric_limits<double>::quiet_NaN() : 1 + 5 * noise.Next();
             s.AddXY(13675 + i / 5.0, y);
         }
     }},
    {"beyond the clip edges",
     [](TPlotLineSeries& s) {
         Noise noise;
         for (int i = 0; i < 6000; ++i) {
             s.AddXY(13500 + i / 4.0, -3 + 12 * noise.Next());
         }
     }},
    {"one point", [](TPlotLineSeries& s) { s.AddXY(14175, 3); }},
    {"250,000 points", [](TPlotLineSeries& s) { Dense(s, 250000, 13675, 14675.5); }},
};

class FastCurves : public ::testing::TestWithParam<int> {
protected:
    // Lays the chart out (and paints it, filling the series' column caches).
    void Layout() {
        QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&image);
        QtCanvas canvas;
        canvas.SetPainter(&painter);
        PlotPainter(chart_.plot, canvas).Paint(kWidth, kHeight);
    }
    int Differing(const TPlotLineSeries& series) {
        const QImage fast = Draw(series, true);
        const QImage reference = Draw(series, false);
        int differing = 0;
        for (int y = 0; y < fast.height(); ++y) {
            for (int x = 0; x < fast.width(); ++x) {
                differing += fast.pixel(x, y) != reference.pixel(x, y) ? 1 : 0;
            }
        }
        return differing;
    }
    // The series alone on a white image, drawn by column or segment by segment.
    QImage Draw(const TPlotLineSeries& series, bool by_column) {
        const int ratio = GetParam();
        QImage image(kWidth * ratio, kHeight * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::white);
        QPainter painter(&image);
        QtCanvas canvas;
        canvas.SetPainter(&painter);
        const TRect& area = chart_.plot.ChartRect();
        canvas.SetClip(TRect{area.Left, area.Top - 1, area.Right + 1, area.Bottom + 2});
        SeriesPainter series_painter(series, canvas);
        if (by_column) {
            series_painter.Paint();
        } else {
            series_painter.PaintEverySegment();
        }
        return image;
    }

    StoredChart chart_;
};

TEST_P(FastCurves, ColumnDrawingMatchesEverySegmentPixelForPixel) {
    for (const DataSet& data : kDataSets) {
        for (TPlotLineSeries* series : {&chart_.Swr(), &chart_.R()}) {
            series->Clear();
            data.fill(*series);
            Layout();
            EXPECT_EQ(Differing(*series), 0) << data.name << ", " << series->Title();
            series->Clear();
        }
    }
}

TEST_P(FastCurves, PointsArrivingBetweenPaintsAndEditsKeepThePictureExact) {
    TPlotLineSeries& swr = chart_.Swr();
    Noise noise;
    // A sweep arriving in bursts, painted after each one, running past the right edge.
    for (int burst = 0; burst < 20; ++burst) {
        for (int i = 0; i < 500; ++i) {
            swr.AddXY(13600 + burst * 55 + i * 0.11, 1 + 5 * noise.Next());
        }
        Layout();
    }
    EXPECT_EQ(Differing(swr), 0) << "after the bursts";
    swr.SetYValue(4000, 6);
    Layout();
    EXPECT_EQ(Differing(swr), 0) << "after an edit";
    swr.Delete(10);
    chart_.plot.BottomAxis().SetMinMax(14000, 14100);
    Layout();
    EXPECT_EQ(Differing(swr), 0) << "after a new range";
    swr.Clear();
    swr.AddXY(14050, 2);
    Layout();
    EXPECT_EQ(Differing(swr), 0) << "after clearing";
}

INSTANTIATE_TEST_SUITE_P(DevicePixelRatio, FastCurves, ::testing::Values(1, 2));

} // namespace
} // namespace chart::test
