// Saving a 3 x 250,000-point sweep from the window in every format of the Save dialog:
// milliseconds per save (median of 5) and the file's size; then opening the chart file back
// into the window. Goals: chart file, CSV and PNG under 1 s each, SVG and PDF under 2 s; the
// chart file under 40 bytes per point. --keep FOLDER leaves the files there.
#include "app/chart_actions.h"
#include "app/tarnel.h"
#include "app/window_doubles.h" // tests/app
#include "chart/qt/plot_widget.h"
#include "chart/series.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPoints = 250000;
constexpr int kRuns = 5;

double MedianMs(const std::function<bool()>& run) {
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        const auto start = Clock::now();
        if (!run()) {
            return std::nan("");
        }
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    app::TTarnel window(std::make_unique<app::test::RecordingComPort>(),
                        std::make_unique<app::test::RecordingDataPacket>());
    window.show();
    QCoreApplication::processEvents();

    // A sweep as the analyzer delivers it: frequencies in Hz times 0.001, R and Z whole
    // ohms, SWR in hundredths.
    const uint32_t start_hz = 13675000;
    for (int i = 0; i < kPoints; ++i) {
        const double khz = (start_hz + static_cast<uint32_t>(i) * 4u) * 0.001;
        const double d = (khz - 14175) / 200;
        window.Series1().AddXY(khz, std::round(50 + 40 * std::sin(i * 1e-4)));
        window.Series2().AddXY(khz, std::round(std::hypot(50 + 40 * d, 80 * d)));
        window.Series3().AddXY(khz, std::round(100 * (1 + 4 * d * d / (1 + d * d))) / 100);
    }
    window.Chart1->Plot().BottomAxis().SetMinMax(13675, 14675);
    QCoreApplication::processEvents();

    // --keep FOLDER: write the files there and leave them, to look at.
    QTemporaryDir temp;
    QDir dir(temp.path());
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 3 && args[1] == QStringLiteral("--keep")) {
        dir = QDir(args[2]);
    } else if (args.size() != 1) {
        std::fprintf(stderr, "usage: %s [--keep FOLDER]\n", argv[0]);
        return 2;
    }
    app::ChartActions& actions = window.Actions();
    struct Row {
        const char* name;
        chart::SaveFormat format;
        const char* file;
        double goal_ms;
    };
    const Row rows[] = {
        {"chart file", chart::SaveFormat::ChartFile, "sweep.tchart", 1000},
        {"CSV", chart::SaveFormat::Csv, "sweep.csv", 1000},
        {"PNG", chart::SaveFormat::Png, "sweep.png", 1000},
        {"SVG", chart::SaveFormat::Svg, "sweep.svg", 2000},
        {"PDF", chart::SaveFormat::Pdf, "sweep.pdf", 2000},
    };
    std::printf("Saving 3 x %d points (window %dx%d, pixel ratio %.0f): median of %d\n\n", kPoints,
                window.Chart1->width(), window.Chart1->height(), window.Chart1->devicePixelRatioF(),
                kRuns);
    std::printf("%-12s %10s %10s %14s %8s\n", "format", "ms", "goal ms", "bytes", "B/point");
    for (const Row& row : rows) {
        const QString path = dir.filePath(QString::fromLatin1(row.file));
        std::string error;
        const double ms = MedianMs([&] {
            error = actions.SaveAs(path, row.format);
            return error.empty();
        });
        if (!error.empty()) {
            std::fprintf(stderr, "%s: %s\n", row.name, error.c_str());
            return 1;
        }
        const qint64 bytes = QFileInfo(path).size();
        std::printf("%-12s %10.1f %10.0f %14lld %8.1f%s\n", row.name, ms, row.goal_ms,
                    static_cast<long long>(bytes), static_cast<double>(bytes) / (3.0 * kPoints),
                    ms > row.goal_ms ? "  over the goal" : "");
    }
    const QString chart_file = dir.filePath(QStringLiteral("sweep.tchart"));
    std::string error;
    const double open_ms = MedianMs([&] {
        error = actions.OpenChartFile(chart_file);
        return error.empty();
    });
    if (!error.empty()) {
        std::fprintf(stderr, "open: %s\n", error.c_str());
        return 1;
    }
    std::printf("%-12s %10.1f %10s %14s %8s\n", "open chart", open_ms, "-", "-", "-");
    const double per_point = static_cast<double>(QFileInfo(chart_file).size()) / (3.0 * kPoints);
    std::printf("\nchart file: %.1f bytes per point (goal under 40)%s\n", per_point,
                per_point >= 40 ? "  over the goal" : "");
    return 0;
}
