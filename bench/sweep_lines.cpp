// Measurement lines through the sweep's line handler into the three curves: decoding, the
// arithmetic, three AddXY and their repaint requests (counted, not painted). Sweeps run in
// continuous mode over 1..60 MHz in 1 kHz steps, so the summary and the restart are included
// once every 59001 lines.
#include "app/sweep/sweep_controller.h"
#include "app/sweep/sweep_doubles.h"
#include "chart/plot.h"
#include "chart/series.h"

#include <benchmark/benchmark.h>
#include <string>
#include <vector>

namespace {

std::vector<std::string> SampleLines() {
    std::vector<std::string> lines;
    for (int i = 0; i < 64; ++i) {
        const int a = 300 + 7 * i, b = 20 + 3 * i, c = 150 + 11 * i, d = 100 + 5 * (i % 13);
        lines.push_back(std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c) +
                        "," + std::to_string(d) + "\r\n");
    }
    return lines;
}

void BM_SweepLines(benchmark::State& bench) {
    chart::TPlot plot;
    chart::TPlotLineSeries s1, s2, s3, s4, s5, s6;
    for (chart::TPlotLineSeries* s : {&s1, &s2, &s3, &s4, &s5, &s6}) {
        plot.AddSeries(*s);
    }
    int64_t repaint_requests = 0;
    plot.OnInvalidate = [&] { ++repaint_requests; };
    app::testing::RecordingComPort port;
    app::testing::RecordingDataPacket matcher;
    app::testing::FakeSweepView view;
    app::SweepController controller({plot, s1, s2, s3, s4, s5, s6}, port, matcher, view);
    controller.FormCreate();
    view.centre = "30500";
    view.width = "59000";
    view.step = "1";
    controller.MutiScanBtnClick();

    const std::vector<std::string> lines = SampleLines();
    const std::string marker = "Start\r\n";
    size_t next = 0;
    int64_t handled = 0;
    for (auto _ : bench) {
        if (!controller.State().StartReceived) {
            controller.SioDataPacketStringPacket(marker);
            ++handled;
        }
        controller.SioDataPacketStringPacket(lines[next]);
        next = (next + 1) % lines.size();
        ++handled;
    }
    bench.SetItemsProcessed(handled);
    bench.counters["lines_per_s"] =
        benchmark::Counter(static_cast<double>(handled), benchmark::Counter::kIsRate);
    bench.counters["sweeps"] = static_cast<double>(port.writes.size());
    benchmark::DoNotOptimize(repaint_requests);
}
BENCHMARK(BM_SweepLines)->MinTime(2.0)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
