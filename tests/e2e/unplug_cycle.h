// The analyzer unplugged in the middle of a sweep, again and again: one cycle as the user
// meets it, shared by the whole-run test (a few cycles) and the benchmark (a hundred).
//
// The simulator at the other end hangs up after kHangUpAfterLine lines of every sweep and
// comes back on a new pty under the same name. The interrupted sweep is the long band
// (201 lines), the full one the default band (101 lines), which never gets that far.
//
// A cycle starts and ends connected with the default band swept:
//   Start Scan (long band) -> the line is lost: one "Application Error" box, the port still
//   says open, Start Scan stays disabled (the sweep never ends by itself) -> the analyzer is
//   back -> Disconnect -> Connect -> Stop Scan -> Start Scan (default band) -> a full sweep.
// Button states are checked after every step; the UI thread must answer a posted event
// within kResponsiveBound all along. UI thread only; no QTest, so the benchmark can use it.
#pragma once

#include "app/tarnel.h"
#include "base/recording_error_display.h"
#include "chart/series.h"
#include "e2e/window_support.h"
#include "support/pty_ports.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>

namespace app::unplug {

inline constexpr int64_t kHangUpAfterLine = 120;
inline constexpr int kWaitMs = 10000;             // any one step; generous for sanitizer builds
inline constexpr int64_t kResponsiveBound = 5000; // ms: beyond this the window hangs

// Posts an event to the UI thread from a thread of its own, one at a time, and keeps the
// longest time one waited to be handled. The UI thread blocked in a handler shows here.
class ResponsivenessProbe {
public:
    ResponsivenessProbe() : thread_([this] { Run(); }) {}
    ~ResponsivenessProbe() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    ResponsivenessProbe(const ResponsivenessProbe&) = delete;
    ResponsivenessProbe& operator=(const ResponsivenessProbe&) = delete;

    // The longest wait since the last call, in ms; a probe still waiting counts its age.
    int64_t TakeLongestWaitMs() {
        std::lock_guard lock(mutex_);
        int64_t longest = longest_ms_;
        if (pending_) {
            longest = std::max(longest, MsSince(posted_));
        }
        longest_ms_ = 0;
        return longest;
    }

private:
    using Clock = std::chrono::steady_clock;
    static int64_t MsSince(Clock::time_point t) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
    }

    void Run() {
        std::unique_lock lock(mutex_);
        while (!stop_) {
            pending_ = true;
            posted_ = Clock::now();
            QMetaObject::invokeMethod(
                &receiver_,
                [this] {
                    {
                        std::lock_guard handled(mutex_);
                        longest_ms_ = std::max(longest_ms_, MsSince(posted_));
                        pending_ = false;
                    }
                    changed_.notify_all();
                },
                Qt::QueuedConnection);
            changed_.wait(lock, [this] { return stop_ || !pending_; });
            changed_.wait_for(lock, std::chrono::milliseconds(10), [this] { return stop_; });
        }
    }

    QObject receiver_; // lives in the UI thread; its pending calls go with it
    std::mutex mutex_; // guards everything below
    std::condition_variable changed_;
    bool stop_ = false;
    bool pending_ = false;
    Clock::time_point posted_;
    int64_t longest_ms_ = 0;
    std::thread thread_; // last: it uses the members above
};

// Per cycle, for the benchmark's table.
struct CycleFigures {
    int64_t longest_ui_wait_ms = 0;
    int interrupted_points = 0; // points of the interrupted sweep before the line was lost
};

class UnplugCycles {
public:
    // link: the COM<n> the simulator publishes, already the combo box's text.
    UnplugCycles(TTarnel& window, const base::RecordingErrorDisplay& errors,
                 std::filesystem::path link)
        : window_(window), errors_(errors), link_(std::move(link)) {}

    // Connect and one full sweep: the state each cycle starts from. "" or what went wrong.
    std::string Begin() {
        window_.ConnectBtn->click();
        if (auto bad = Expect(window_.SioComPort().Open(), "Connect opens the port"); !bad.empty())
            return bad;
        return FullSweep();
    }

    // One unplug cycle; "" when everything went as it should, else what did not.
    std::string Cycle(CycleFigures& figures) {
        (void)probe_.TakeLongestWaitMs();
        std::string bad = RunCycle(figures);
        figures.longest_ui_wait_ms = probe_.TakeLongestWaitMs();
        if (bad.empty() && figures.longest_ui_wait_ms > kResponsiveBound)
            bad = "the window did not answer for " + std::to_string(figures.longest_ui_wait_ms) +
                  " ms";
        return bad;
    }

private:
    static std::string Expect(bool holds, const std::string& what) {
        return holds ? std::string() : "not so: " + what;
    }

    // Button states as the sweep and connection handlers leave them.
    std::string Buttons(bool connected, bool start_enabled, const std::string& when) {
        std::string bad;
        auto check = [&](QPushButton* button, bool enabled) {
            if (bad.empty() && button->isEnabled() != enabled)
                bad = when + ": " + button->objectName().toStdString() + " is " +
                      (enabled ? "disabled" : "enabled");
        };
        check(window_.ConnectBtn, !connected);
        check(window_.DisConnectBtn, connected);
        check(window_.ScanStartBtn, start_enabled);
        check(window_.MutiScanBtn, true);
        check(window_.StopScanBtn, true);
        return bad;
    }

    [[nodiscard]] ino_t LinkInode() const {
        struct stat st {};
        return ::lstat(link_.c_str(), &st) == 0 ? st.st_ino : 0;
    }

    void SetBand(const char* step) {
        window_.CenterFreqEdit->setText(QStringLiteral("14175"));
        window_.BWEdit->setText(QStringLiteral("1000"));
        window_.ScanStepEdit->setText(QString::fromLatin1(step));
    }

    // Start Scan on the default band, which must end with all 101 points and the summary.
    std::string FullSweep() {
        SetBand("10");
        window_.ScanStartBtn->click();
        if (auto bad = Buttons(true, false, "after Start Scan"); !bad.empty())
            return bad;
        if (!WaitUntil([&] { return window_.ScanStartBtn->isEnabled(); }, kWaitMs))
            return "the full sweep did not end (" + std::to_string(window_.Series3().Count()) +
                   " points)";
        const chart::TPlotSeries& swr = window_.Series3();
        if (swr.Count() != 101 || swr.XValues().Data()[0] != 13675.0 ||
            swr.XValues().Last() != 14675.0)
            return "the full sweep has " + std::to_string(swr.Count()) + " points";
        if (!window_.SWRLabel->text().startsWith(QStringLiteral("MinSWR")))
            return "no summary after the full sweep";
        return Buttons(true, true, "after the full sweep");
    }

    std::string RunCycle(CycleFigures& figures) {
        const size_t boxes = errors_.Count();
        const ino_t published = LinkInode();
        SetBand("5"); // 201 lines: the analyzer hangs up half way
        window_.ScanStartBtn->click();
        if (auto bad = Buttons(true, false, "after Start Scan"); !bad.empty())
            return bad;
        if (!WaitUntil([&] { return errors_.Count() > boxes; }, kWaitMs))
            return "no error box after the hang-up";
        figures.interrupted_points = window_.Series3().Count();
        const base::RecordingErrorDisplay::Box box = errors_.Boxes()[boxes];
        if (box.caption != "Application Error" || box.text != "EInOutError: Device read error")
            return "the box showed " + box.caption + ": " + box.text;
        if (!WaitUntil([&] { return LinkInode() != published && LinkInode() != 0; }, kWaitMs))
            return "the analyzer did not come back";
        if (auto bad = Expect(window_.SioComPort().Open(), "the port still says open");
            !bad.empty())
            return bad;
        if (auto bad = Buttons(true, false, "after the hang-up"); !bad.empty())
            return bad;

        window_.DisConnectBtn->click();
        if (auto bad = Expect(!window_.SioComPort().Open(), "one Disconnect closes the port");
            !bad.empty())
            return bad;
        if (auto bad = Buttons(false, false, "after Disconnect"); !bad.empty())
            return bad;
        window_.ConnectBtn->click();
        if (auto bad = Expect(window_.SioComPort().Open(), "one Connect opens the new pty");
            !bad.empty())
            return bad;
        if (auto bad = Buttons(true, false, "after Connect"); !bad.empty())
            return bad;
        window_.StopScanBtn->click();
        if (auto bad = Buttons(true, true, "after Stop Scan"); !bad.empty())
            return bad;
        if (auto bad = FullSweep(); !bad.empty())
            return bad;
        if (errors_.Count() != boxes + 1)
            return std::to_string(errors_.Count() - boxes) + " error boxes in one cycle";
        return {};
    }

    TTarnel& window_;
    const base::RecordingErrorDisplay& errors_;
    std::filesystem::path link_;
    ResponsivenessProbe probe_;
};

} // namespace app::unplug
