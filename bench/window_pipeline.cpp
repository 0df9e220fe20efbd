// The whole receive pipeline as the program runs it: pseudo-terminal, read thread, dispatch
// thread, packet manager and matcher, the synchronized call to the UI thread, the line
// handler and the points in the series (the window is not shown, so nothing is painted).
//
// Figures: lines per second with the simulated analyzer unpaced, beside a plain line reader
// on Qt's serial port module on the same kind of pty; latency from the last byte of a line
// on the pty to its point in the series; CPU of the program during a paced continuous run;
// the same run with the window shown (the chart painted as the points come): paints per
// second, the UI thread's CPU and how long a point waits to be painted;
// threads, descriptors and resident memory at the start, after 100 and 1000 unpaced continuous
// sweeps.
#include "analyzer_sim/simulator.h"
#include "base/error_display.h"
#include "base/message_loop.h"
#include "base/qt/qt_message_loop.h"
#include "base/recording_error_display.h"
#include "chart/qt/plot_widget.h"
#include "chart/series.h"
#include "e2e/window_support.h"
#include "support/long_run.h"
#include "support/pty_ports.h"
#include "support/simulator_process.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPort>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using serial::testing::PortsFolders;
using serial::testing::Pty;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::unique_ptr<analyzer_sim::Simulator> StartSimulator(int port, const PortsFolders& folders,
                                                        bool fast) {
    analyzer_sim::Options options;
    options.port = port;
    options.ports_dir = folders.Tool();
    options.fast = fast;
    auto sim = std::make_unique<analyzer_sim::Simulator>(options, [](std::string_view) {});
    sim->Start();
    return sim;
}

using bench::SimulatorProcess;

void SetBand(app::TTarnel& window, const char* centre, const char* width, const char* step) {
    window.CenterFreqEdit->setText(QString::fromLatin1(centre));
    window.BWEdit->setText(QString::fromLatin1(width));
    window.ScanStepEdit->setText(QString::fromLatin1(step));
}

void Connect(app::TTarnel& window, int port) {
    window.ComPortSelectComboBox->setEditText(QStringLiteral("COM%1").arg(port));
    window.ConnectBtn->click();
}

// One sweep of 1 to 60 MHz in 1 kHz steps (59,001 lines) through the program.
double ProgramLinesPerSecond(const PortsFolders& folders, int64_t& lines) {
    auto sim = StartSimulator(4, folders, true);
    auto window = app::MakeWindow();
    Connect(*window, 4);
    SetBand(*window, "30500", "59000", "1");
    const auto start = Clock::now();
    window->ScanStartBtn->click();
    app::WaitUntil([&] { return window->ScanStartBtn->isEnabled(); }, 120000);
    const double elapsed = Seconds(Clock::now() - start);
    lines = window->Series3().Count();
    return double(lines) / elapsed;
}

// The same sweep read with Qt's serial port module: readLine and nothing else.
double QtReaderLinesPerSecond(const PortsFolders& folders, int64_t& lines) {
    auto sim = StartSimulator(5, folders, true);
    QSerialPort port(QString::fromStdString(sim->Status().slave_path));
    port.setBaudRate(56000);
    if (!port.open(QIODevice::ReadWrite))
        return 0.0;
    const auto start = Clock::now();
    port.write("scanr 1000000 60000000 1000\r\n");
    port.flush();
    lines = 0;
    while (lines < 59002 && port.waitForReadyRead(2000)) {
        while (port.canReadLine()) {
            (void)port.readLine();
            ++lines;
        }
    }
    return double(lines - 1) / Seconds(Clock::now() - start); // the marker is no point
}

// Last byte of a line on the pty to its point in the series, one line at a time.
std::vector<double> LatenciesMs(const PortsFolders& folders) {
    Pty pty;
    PortsFolders::Link(folders.Tool(), 8, pty.SlavePath());
    auto window = app::MakeWindow();
    Connect(*window, 8);
    SetBand(*window, "30500", "59000", "1"); // far more points than are sent
    window->ScanStartBtn->click();
    (void)pty.Read(29);
    (void)pty.Write("Start\r\n");
    std::vector<double> samples;
    for (int i = 1; i <= 2000; ++i) {
        (void)pty.Write("10000,1000,1200,1000\r\n");
        const auto sent = Clock::now();
        app::WaitUntil([&] { return window->Series3().Count() >= i; }, 5000);
        samples.push_back(Seconds(Clock::now() - sent) * 1000.0);
    }
    std::sort(samples.begin(), samples.end());
    return samples;
}

// CPU seconds of each thread of this process, by thread name.
std::map<std::string, double> ThreadCpuSeconds() {
    std::map<std::string, double> cpu;
    const double tick = double(::sysconf(_SC_CLK_TCK));
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        std::getline(comm, name);
        std::ifstream stat(task.path() / "stat");
        std::string text((std::istreambuf_iterator<char>(stat)), {});
        const size_t close = text.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream fields(text.substr(close + 2));
        std::string field;
        double utime = 0, stime = 0;
        for (int i = 3; i <= 15 && fields >> field; ++i) {
            if (i == 14)
                utime = std::stod(field);
            if (i == 15)
                stime = std::stod(field);
        }
        cpu[name] += (utime + stime) / tick;
    }
    return cpu;
}

double PacedCpuShare(const PortsFolders& folders, std::map<std::string, double>& by_thread) {
    SimulatorProcess sim(9, folders, false);
    auto window = app::MakeWindow();
    Connect(*window, 9);
    window->MutiScanBtn->click();
    app::WaitUntil([&] { return window->Series3().Count() > 20; }, 5000); // running
    const double cpu0 = CpuSeconds();
    const auto threads0 = ThreadCpuSeconds();
    const auto t0 = Clock::now();
    app::WaitUntil([] { return false; }, 10000);
    const double wall = Seconds(Clock::now() - t0);
    const double share = (CpuSeconds() - cpu0) / wall;
    for (const auto& [name, seconds] : ThreadCpuSeconds()) {
        const auto before = threads0.find(name);
        by_thread[name] = (seconds - (before == threads0.end() ? 0.0 : before->second)) / wall;
    }
    window->StopScanBtn->click();
    return share;
}

// CPU seconds of the calling thread (the benchmark runs on the UI thread).
double UiThreadCpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Times and point counts of the chart's paints (the count is what the paint shows).
class PaintLog : public QObject {
public:
    explicit PaintLog(app::TTarnel& window) : window_(window) {}
    bool eventFilter(QObject* target, QEvent* event) override {
        if (event->type() != QEvent::Paint) {
            return false;
        }
        const int32_t shown = window_.Series3().Count();
        const auto start = Clock::now();
        target->event(event); // the paint itself, timed (QObject::event is public)
        paints.push_back({Clock::now(), shown, Seconds(Clock::now() - start)});
        return true;
    }
    struct Paint {
        Clock::time_point done;
        int32_t shown;
        double seconds;
    };
    std::vector<Paint> paints;

private:
    app::TTarnel& window_;
};

struct PacedPaint {
    double lines_per_second = 0;
    double paints_per_second = 0;
    double paint_ms_median = 0;
    double ui_thread_share = 0;
    double wait_ms_median = 0; // point arrival to the end of the paint that shows it
    double wait_ms_max = 0;
};

// The paced continuous run with the window shown: every arriving point is painted.
PacedPaint PacedPaintFigures(const PortsFolders& folders) {
    SimulatorProcess sim(11, folders, false);
    auto window = app::MakeWindow();
    window->show();
    PaintLog log(*window);
    window->Chart1->installEventFilter(&log);
    // Arrival time of each point: its line reaches the handler, which adds it at once.
    std::vector<Clock::time_point> arrivals;
    auto& matcher = window->SioDataPacket();
    const auto handler = matcher.OnStringPacket;
    bool measuring = false;
    int32_t first_point = 0;
    matcher.OnStringPacket = [&](std::string_view line) {
        handler(line);
        if (measuring && window->Series3().Count() > first_point + int32_t(arrivals.size())) {
            arrivals.push_back(Clock::now());
        }
    };
    Connect(*window, 11);
    SetBand(*window, "14175", "3000", "1"); // 3,001 points: longer than the measured time
    window->ScanStartBtn->click();
    app::WaitUntil([&] { return window->Series3().Count() > 20; }, 5000);
    first_point = window->Series3().Count();
    log.paints.clear();
    measuring = true;
    const double cpu0 = UiThreadCpuSeconds();
    const auto t0 = Clock::now();
    app::WaitUntil([] { return false; }, 8000);
    measuring = false;
    const double wall = Seconds(Clock::now() - t0);
    const double cpu1 = UiThreadCpuSeconds();
    app::WaitUntil([] { return false; }, 100); // the last points' paint
    window->StopScanBtn->click();

    PacedPaint figures;
    figures.lines_per_second = double(arrivals.size()) / wall;
    figures.ui_thread_share = (cpu1 - cpu0) / wall;
    std::vector<double> paint_ms;
    int paints_in_run = 0;
    for (const auto& paint : log.paints) {
        paint_ms.push_back(paint.seconds * 1000.0);
        paints_in_run += paint.done - t0 <= std::chrono::duration<double>(wall) ? 1 : 0;
    }
    figures.paints_per_second = paints_in_run / wall;
    std::vector<double> waits;
    size_t next_paint = 0;
    for (size_t i = 0; i < arrivals.size(); ++i) {
        const int32_t needed = first_point + int32_t(i) + 1;
        while (next_paint < log.paints.size() &&
               (log.paints[next_paint].shown < needed || log.paints[next_paint].done < arrivals[i]))
            ++next_paint;
        if (next_paint == log.paints.size())
            break;
        waits.push_back(Seconds(log.paints[next_paint].done - arrivals[i]) * 1000.0);
    }
    std::sort(paint_ms.begin(), paint_ms.end());
    std::sort(waits.begin(), waits.end());
    figures.paint_ms_median = paint_ms.empty() ? 0 : paint_ms[paint_ms.size() / 2];
    figures.wait_ms_median = waits.empty() ? 0 : waits[waits.size() / 2];
    figures.wait_ms_max = waits.empty() ? 0 : waits.back();
    window->Chart1->removeEventFilter(&log);
    return figures;
}

void PrintPacedPaint(const PacedPaint& f) {
    std::printf("%-58s %14.0f\n", "shown window, paced sweep: points/s", f.lines_per_second);
    std::printf("%-58s %14.1f\n", "shown window: chart paints/s", f.paints_per_second);
    std::printf("%-58s %14.3f\n", "shown window: paint, median ms", f.paint_ms_median);
    std::printf("%-58s %13.2f%%\n", "shown window: UI thread CPU, share of one core",
                100.0 * f.ui_thread_share);
    std::printf("%-58s %14.2f\n", "shown window: point to its paint done, median ms",
                f.wait_ms_median);
    std::printf("%-58s %14.2f\n", "shown window: point to its paint done, max ms", f.wait_ms_max);
    std::printf("%-58s %14.2f\n", "  (one paint interval, ms)",
                1000.0 / chart::PlotWidget::kMaxPaintsPerSecond);
}

bench::LongRunCounts MemoryOverSweeps(const PortsFolders& folders) {
    SimulatorProcess sim(10, folders, true);
    auto window = app::MakeWindow();
    Connect(*window, 10);
    return bench::ContinuousSweeps(*window, 1000);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    base::QtMessageLoop loop;
    base::ScopedMessageLoop scoped_loop(loop);
    base::RecordingErrorDisplay errors;
    base::ScopedErrorDisplay scoped_display(errors);
    PortsFolders folders;

    // --paced-only: just the paced run, for a profiler attached to the whole process.
    if (argc > 1 && std::string(argv[1]) == "--paced-only") {
        std::map<std::string, double> by_thread;
        std::printf("CPU, paced continuous run: %.2f%% of one core\n",
                    100.0 * PacedCpuShare(folders, by_thread));
        return 0;
    }

    // --paced-paint: just the paced run with the window shown.
    if (argc > 1 && std::string(argv[1]) == "--paced-paint") {
        PrintPacedPaint(PacedPaintFigures(folders));
        return 0;
    }

    int64_t ours_lines = 0, qt_lines = 0;
    const double ours = ProgramLinesPerSecond(folders, ours_lines);
    const double qt = QtReaderLinesPerSecond(folders, qt_lines);
    std::printf("%-58s %14s\n", "figure", "value");
    std::printf("%-58s %14.0f\n", "program: lines/s, pty to points (59,001-line sweep)", ours);
    std::printf("%-58s %14.0f\n", "Qt serial port readLine: lines/s (same sweep)", qt);
    std::printf("%-58s %14.2f\n", "ratio program / readLine", qt > 0 ? ours / qt : 0.0);

    const std::vector<double> lat = LatenciesMs(folders);
    std::printf("%-58s %14.3f\n", "latency pty to point, median ms", lat[lat.size() / 2]);
    std::printf("%-58s %14.3f\n", "latency pty to point, p99 ms", lat[lat.size() * 99 / 100]);

    std::map<std::string, double> by_thread;
    std::printf("%-58s %13.2f%%\n", "CPU, paced continuous run, share of one core",
                100.0 * PacedCpuShare(folders, by_thread));
    for (const auto& [name, share] : by_thread)
        std::printf("  %-56s %13.2f%%\n", ("thread " + name).c_str(), 100.0 * share);
    PrintPacedPaint(PacedPaintFigures(folders));
    const bench::LongRunCounts run = MemoryOverSweeps(folders);
    for (const auto& [when, counts] :
         {std::pair{"at the start", run.start}, std::pair{"after 100", run.after100},
          std::pair{"after 1000", run.after_all}}) {
        std::printf(
            "%-58s %5d %5d %8ld\n",
            (std::string("unpaced continuous sweeps, ") + when + ": threads, fds, resident KiB")
                .c_str(),
            counts.threads, counts.fds, counts.rss_kib);
    }
    std::printf("%-58s %14zu\n", "error boxes", errors.Count());
    return 0;
}
