// One full paint of the chart at 825 x 457 with the three measured curves (R, Z, SWR) at
// 101, 10,000 and 250,000 points each: milliseconds per paint (median), cold (after a change
// of geometry) and warm (after one more point). Painted into a QImage through the chart's
// own painter, as the widget does; beside it the same data painted into the same image by
// QCustomPlot and by Qt's chart module, where the benchmark was built with them.
//
// --save-images writes each chart's picture of the 10,000-point curves next to the program.
#include "chart/plot_painter.h"
#include "chart/qt/qt_canvas.h"
#include "chart/resonance_sweep.h"
#include "chart/stored_chart.h"    // tests/chart
#include "support/painted_chart.h" // bench/support

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr QSize kSize(825, 457);

bench::Curves MakeCurves(int points) {
    bench::Curves curves;
    for (int i = 0; i < points; ++i) {
        const chart::test::ResonancePoint p =
            chart::test::Resonance(i, points, bench::kFrequencyMin, bench::kFrequencyMax, true);
        curves.khz.push_back(p.Frequency);
        curves.swr.push_back(p.Swr);
        curves.r.push_back(p.R);
        curves.z.push_back(p.Z);
    }
    return curves;
}

class OurChart : public bench::PaintedChart {
public:
    explicit OurChart(const bench::Curves& curves) {
        for (size_t i = 0; i < curves.khz.size(); ++i) {
            chart_.Swr().AddXY(curves.khz[i], curves.swr[i]);
            chart_.R().AddXY(curves.khz[i], curves.r[i]);
            chart_.Z().AddXY(curves.khz[i], curves.z[i]);
        }
    }

    void SetFrequencyMin(double khz) override {
        chart_.plot.BottomAxis().SetMinMax(khz, bench::kFrequencyMax);
    }

    void AppendSwr(double khz, double swr) override { chart_.Swr().AddXY(khz, swr); }

    // One canvas for every paint, as the chart widget keeps one.
    void Paint(QImage& image) override {
        QPainter painter(&image);
        canvas_.SetPainter(&painter);
        chart::PlotPainter(chart_.plot, canvas_).Paint(image.width(), image.height());
        canvas_.SetPainter(nullptr);
    }

private:
    chart::QtCanvas canvas_;
    chart::test::StoredChart chart_;
};

using MakeChart = std::function<std::unique_ptr<bench::PaintedChart>(const bench::Curves&)>;

// A column of the table: whose chart, and how to make it (empty when not built with it).
struct Contender {
    const char* name;
    const char* file_name; // of its saved picture
    const char* missing;   // why it has no figures
    MakeChart make;
};

std::vector<Contender> Contenders() {
    std::vector<Contender> all;
    all.push_back(
        {"ours", "ours", "", [](const bench::Curves& c) { return std::make_unique<OurChart>(c); }});
    all.push_back({"QCustomPlot", "qcustomplot", "not built with QCustomPlot", {}});
#ifdef TDS_BENCH_WITH_QCUSTOMPLOT
    all.back().make = [](const bench::Curves& c) { return bench::MakeCustomPlotChart(c, kSize); };
#endif
    all.push_back({"QChart", "qchart", "not built with Qt's chart module", {}});
#ifdef TDS_BENCH_WITH_QT_CHARTS
    all.back().make = [](const bench::Curves& c) { return bench::MakeQtChartsChart(c, kSize); };
#endif
    return all;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Not a number where the chart was not built.
struct Figures {
    double cold = std::nan("");
    double warm = std::nan("");
};

// Milliseconds of a change and the paint after it, median of `runs`: the change is either
// the frequency axis moved by 1 kHz, back and forth (cold), or one more SWR point beyond
// the axis (warm).
double ChangeAndPaintMs(bench::PaintedChart& chart, QImage& image, bool cold, int runs) {
    std::vector<double> times;
    double f = bench::kFrequencyMax + 0.1;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        if (cold) {
            chart.SetFrequencyMin(bench::kFrequencyMin + (i + 1) % 2);
        } else {
            chart.AppendSwr(f, 2);
            f += 0.001;
        }
        image.fill(Qt::white);
        chart.Paint(image);
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return Median(times);
}

std::string Cell(double value, const char* format) {
    if (std::isnan(value)) {
        return "-";
    }
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    bool save_images = false;
    for (const QString& argument : QCoreApplication::arguments().mid(1)) {
        if (argument == "--save-images") {
            save_images = true;
        } else {
            std::fprintf(stderr, "unknown option: %s\nusage: %s [--save-images]\n",
                         qPrintable(argument), argv[0]);
            return 2;
        }
    }
    const QDir image_folder(QCoreApplication::applicationDirPath());
    const std::vector<Contender> contenders = Contenders();
    QImage image(kSize, QImage::Format_ARGB32_Premultiplied);

    std::printf("Chart paint at %d x %d, three curves (R, Z, SWR): median ms per change + paint\n",
                kSize.width(), kSize.height());
    std::printf("cold: frequency axis moved by 1 kHz; warm: one more SWR point;\n"
                "ratio: their ms / our ms (above 1: ours is faster)\n\n");
    // Each contender's figures, then each other's ratio to ours: two columns each.
    std::printf("%-8s", "");
    for (const Contender& contender : contenders) {
        std::printf(" %17s", contender.name);
    }
    for (size_t i = 1; i < contenders.size(); ++i) {
        std::printf(" %17s", (std::string(contenders[i].name) + "/ours").c_str());
    }
    std::printf("\n%-8s", "points");
    for (size_t i = 0; i < 2 * contenders.size() - 1; ++i) {
        std::printf(" %8s %8s", "cold", "warm");
    }
    std::printf("\n");
    std::fflush(stdout);

    for (const int points : {101, 10000, 250000}) {
        const bench::Curves curves = MakeCurves(points);
        const int runs = points > 100000 ? 31 : 101;
        std::vector<Figures> figures(contenders.size());
        for (size_t i = 0; i < contenders.size(); ++i) {
            const Contender& contender = contenders[i];
            if (!contender.make) {
                continue;
            }
            const std::unique_ptr<bench::PaintedChart> chart = contender.make(curves);
            // The first paint sets up what every later one reuses (fonts, buffers, layout).
            image.fill(Qt::white);
            chart->Paint(image);
            if (save_images && points == 10000) {
                const QString path = image_folder.filePath(
                    QString("chart_paint_%1_10000.png").arg(contender.file_name));
                if (!image.save(path)) {
                    std::fprintf(stderr, "could not write %s\n", qPrintable(path));
                    return 1;
                }
            }
            figures[i].cold = ChangeAndPaintMs(*chart, image, true, runs);
            figures[i].warm = ChangeAndPaintMs(*chart, image, false, runs);
        }
        std::printf("%-8d", points);
        for (const Figures& f : figures) {
            std::printf(" %8s %8s", Cell(f.cold, "%.3f").c_str(), Cell(f.warm, "%.3f").c_str());
        }
        const Figures& ours = figures[0];
        for (size_t i = 1; i < figures.size(); ++i) {
            std::printf(" %8s %8s", Cell(figures[i].cold / ours.cold, "%.2f").c_str(),
                        Cell(figures[i].warm / ours.warm, "%.2f").c_str());
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    for (const Contender& contender : contenders) {
        if (!contender.make) {
            std::printf("%s: %s\n", contender.name, contender.missing);
        }
    }
    if (save_images) {
        std::printf("pictures of the 10,000-point curves: %s/chart_paint_*_10000.png\n",
                    qPrintable(image_folder.path()));
    }
    return 0;
}
