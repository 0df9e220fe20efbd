// The analyzer unplugged mid-sweep a few times in a row (bench_window_unplug_cycles runs a
// hundred): one error box each time, the window answering, one Disconnect and one Connect
// bringing a full sweep on the new pty, and nothing of the lost lines left behind.
#include "analyzer_sim/simulator.h"
#include "base/message_loop.h"
#include "base/qt/qt_message_loop.h"
#include "base/recording_error_display.h"
#include "e2e/unplug_cycle.h"
#include "e2e/window_support.h"
#include "support/pty_ports.h"

#include <gtest/gtest.h>
#include <memory>

namespace app {
namespace {

using serial::testing::PortsFolders;

TEST(UnplugRun, EachHangUpShowsOneBoxAndAReconnectSweepsLeavingNothingBehind) {
    base::QtMessageLoop loop;
    base::ScopedMessageLoop scoped_loop(loop);
    base::RecordingErrorDisplay errors;
    PortsFolders folders;
    analyzer_sim::Options options;
    options.port = 6; // the combo box's first choice
    options.ports_dir = folders.Tool();
    options.fast = true;
    options.faults.hangup_after = unplug::kHangUpAfterLine;
    options.faults.every_sweep = true;
    analyzer_sim::Simulator sim(options, [](std::string_view) {});
    sim.Start();
    auto window = MakeWindow();
    window->show();

    unplug::UnplugCycles cycles(*window, errors, sim.LinkPath());
    ASSERT_EQ(cycles.Begin(), "");
    ASSERT_EQ(errors.Count(), 0u);
    // Connected and idle after a sweep: the state every cycle ends in.
    const serial::testing::ProcessCounts before = serial::testing::CountProcess();
    constexpr int kCycles = 3;
    for (int i = 0; i < kCycles; ++i) {
        SCOPED_TRACE("cycle " + std::to_string(i + 1));
        unplug::CycleFigures figures;
        ASSERT_EQ(cycles.Cycle(figures), "");
        EXPECT_LT(figures.interrupted_points, 201) << "the sweep was not cut short";
    }
    EXPECT_EQ(errors.Count(), size_t(kCycles));
    EXPECT_EQ(sim.Status().hangups, uint64_t(kCycles));
    const serial::testing::ProcessCounts after = serial::testing::CountProcess();
    // Nothing more than before; Qt's own idle pool threads may have ended meanwhile.
    EXPECT_LE(after.threads, before.threads);
    EXPECT_LE(after.fds, before.fds);
}

} // namespace
} // namespace app
