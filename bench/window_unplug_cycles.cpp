// The analyzer unplugged mid-sweep, again and again, then the long continuous run, all in one
// process: the window as the program builds it, the simulator as a process of its own.
//
// Each cycle is the one the whole-run test checks three times (tests/e2e/unplug_cycle.h):
// a hang-up mid-sweep, one "Application Error" box, Disconnect, Connect, Stop Scan and
// Start Scan giving a full sweep on the new pty. Printed per cycle: the longest time the UI
// thread took to answer a posted event, the points before the line was lost, and the
// process's threads, descriptors and resident memory; then the same counts over 1,000
// unpaced continuous sweeps. A cycle that goes wrong stops the run with what went wrong.
//
// bench_window_unplug_cycles [--cycles N] [--sweeps N]   (defaults 100 and 1000)
#include "base/message_loop.h"
#include "base/qt/qt_message_loop.h"
#include "base/recording_error_display.h"
#include "e2e/unplug_cycle.h"
#include "e2e/window_support.h"
#include "support/long_run.h"
#include "support/pty_ports.h"
#include "support/simulator_process.h"

#include <QApplication>
#include <QComboBox>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using serial::testing::CountProcess;
using serial::testing::ProcessCounts;

void PrintCounts(const char* when, const ProcessCounts& c) {
    std::printf("%-40s threads %3d  fds %4d  RSS %7ld KiB\n", when, c.threads, c.fds, c.rss_kib);
}

} // namespace

int main(int argc, char** argv) {
    int cycles = 100;
    int sweeps = 1000;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--cycles") {
            cycles = std::max(1, std::atoi(argv[i + 1]));
        } else if (arg == "--sweeps") {
            sweeps = std::max(101, std::atoi(argv[i + 1]));
        } else {
            std::fprintf(stderr, "usage: %s [--cycles N] [--sweeps N]\n", argv[0]);
            return 2;
        }
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qt_argc = 1;
    QApplication application(qt_argc, argv);
    base::QtMessageLoop loop;
    base::ScopedMessageLoop scoped_loop(loop);
    base::RecordingErrorDisplay errors;
    serial::testing::PortsFolders folders;
    constexpr int kPort = 12;
    bench::SimulatorProcess sim(
        kPort, folders, true,
        {"--hangup-after", std::to_string(app::unplug::kHangUpAfterLine), "--every-sweep"});

    auto window = app::MakeWindow();
    window->show();
    window->ComPortSelectComboBox->setEditText(QStringLiteral("COM%1").arg(kPort));
    app::unplug::UnplugCycles run(*window, errors,
                                  folders.Tool() / ("COM" + std::to_string(kPort)));
    if (const std::string bad = run.Begin(); !bad.empty()) {
        std::printf("first sweep: %s\n", bad.c_str());
        return 1;
    }
    const ProcessCounts start = CountProcess();
    PrintCounts("connected, one sweep done", start);
    int64_t longest_wait = 0;
    for (int i = 1; i <= cycles; ++i) {
        app::unplug::CycleFigures figures;
        const std::string bad = run.Cycle(figures);
        const ProcessCounts now = CountProcess();
        std::printf("cycle %3d: UI answered within %4lld ms, %3d points before the hang-up, "
                    "threads %3d  fds %4d  RSS %7ld KiB\n",
                    i, static_cast<long long>(figures.longest_ui_wait_ms),
                    figures.interrupted_points, now.threads, now.fds, now.rss_kib);
        std::fflush(stdout);
        if (!bad.empty()) {
            std::printf("cycle %d went wrong: %s\n", i, bad.c_str());
            return 1;
        }
        longest_wait = std::max(longest_wait, figures.longest_ui_wait_ms);
    }
    const ProcessCounts after_cycles = CountProcess();
    PrintCounts("after the cycles", after_cycles);
    std::printf("error boxes: %zu in %d cycles; longest UI wait %lld ms\n", errors.Count(), cycles,
                static_cast<long long>(longest_wait));
    std::printf("left over: threads %+d  fds %+d  RSS %+ld KiB\n",
                after_cycles.threads - start.threads, after_cycles.fds - start.fds,
                after_cycles.rss_kib - start.rss_kib);

    const bench::LongRunCounts long_run = bench::ContinuousSweeps(*window, sweeps);
    PrintCounts("continuous sweeps: at the start", long_run.start);
    PrintCounts("continuous sweeps: after 100", long_run.after100);
    if (long_run.sweeps > sweeps) {
        PrintCounts(("continuous sweeps: after " + std::to_string(sweeps)).c_str(),
                    long_run.after_all);
    } else {
        std::printf("continuous sweeps: only %d of %d came\n", long_run.sweeps, sweeps);
        return 1;
    }
    std::printf("error boxes after the long run: %zu\n", errors.Count());
    return errors.Count() == size_t(cycles) ? 0 : 1;
}
