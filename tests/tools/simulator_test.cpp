// The simulator on a real pseudo-terminal, driven from the program's end of the line.
#include "analyzer_sim/antenna_model.h"
#include "analyzer_sim/reading.h"
#include "analyzer_sim/simulator.h"
#include "app/sweep/protocol.h"
#include "program_end.h"
#include "support/pty_ports.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>

namespace analyzer_sim {
namespace {

using std::chrono::milliseconds;
using testing::ProgramEnd;
constexpr milliseconds kLimit{10000};

// The lines the model gives for a sweep, "Start" first.
std::vector<std::string> Expected(int64_t start, int64_t end, int64_t step) {
    std::vector<std::string> lines = {"Start\r\n"};
    const AntennaModel model = ModelForSweep(start, end);
    for (int64_t hz = start;; hz += step) {
        lines.push_back(MeasurementLine(ReadingFor(model.Impedance(static_cast<double>(hz)))));
        if (hz + step > end) {
            break;
        }
    }
    return lines;
}

class SimulatorTest : public ::testing::Test {
protected:
    void Launch(Options options = {}) {
        options.ports_dir = folder.Path() / "ports";
        options.port = 6;
        if (!paced) {
            options.fast = true;
        }
        simulator = std::make_unique<Simulator>(options, [this](std::string_view note) {
            std::lock_guard lock(notes_mutex);
            notes.emplace_back(note);
        });
        simulator->Start();
        ASSERT_TRUE(simulator->WaitFor([](const SimulatorStatus& s) { return s.running; }, kLimit));
    }
    std::filesystem::path Link() const { return folder.Path() / "ports" / "COM6"; }
    bool WaitFor(const std::function<bool(const SimulatorStatus&)>& pred) {
        return simulator->WaitFor(pred, kLimit);
    }
    std::vector<std::string> Notes() {
        std::lock_guard lock(notes_mutex);
        return notes;
    }

    serial::testing::TempDir folder;
    bool paced = false;
    std::mutex notes_mutex; // guards notes, filled on the simulator's thread
    std::vector<std::string> notes;
    std::unique_ptr<Simulator> simulator; // stopped first, before the folder goes
};

TEST_F(SimulatorTest, PublishesTheLinkAndRemovesItWhenDone) {
    Launch();
    const SimulatorStatus status = simulator->Status();
    EXPECT_EQ(status.generation, 1u);
    EXPECT_EQ(std::filesystem::read_symlink(Link()), status.slave_path);
    EXPECT_EQ(simulator->LinkPath(), Link().string());
    simulator.reset();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(Link())));
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path() / "ports"));
}

TEST_F(SimulatorTest, AnswersAScanCommandWithStartAndOneLinePerPoint) {
    Launch();
    ProgramEnd end(Link());
    ASSERT_TRUE(end.Write("scanr 14000000 14002000 1000\r\n"));
    EXPECT_EQ(end.ReadLines(4), Expected(14000000, 14002000, 1000));
    EXPECT_TRUE(WaitFor([](const SimulatorStatus& s) {
        return s.sweeps_completed == 1 && s.commands == 1 && s.attached;
    }));
}

TEST_F(SimulatorTest, PacedOutputCarriesTheSameLines) {
    paced = true;
    Launch();
    ProgramEnd end(Link());
    ASSERT_TRUE(end.Write("scanr 7090000 7110000 10000\r\n"));
    EXPECT_EQ(end.ReadLines(4), Expected(7090000, 7110000, 10000));
}

// Commands in a row, each answered in full before the next: the lines of each are exactly
// the sweep's, so nothing is left over from the one before.
TEST_F(SimulatorTest, EndIsInclusiveAndStartAboveEndGivesOneLine) {
    struct Case {
        int64_t start, end, step;
        size_t lines;
    };
    const Case cases[] = {
        {13675000, 14685000, 10000, 102}, // the program's default band: one more than it plots
        {14000000, 14002500, 1000, 3},    {14000000, 14000000, 1000, 1},
        {1000000, 610000, 10000, 1},      {70000000, 60010000, 10000, 1},
    };
    Launch();
    ProgramEnd end(Link());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.start);
        ASSERT_TRUE(end.Write("scanr " + std::to_string(c.start) + " " + std::to_string(c.end) +
                              " " + std::to_string(c.step) + "\r\n"));
        const std::vector<std::string> lines = end.ReadLines(c.lines + 1);
        ASSERT_EQ(lines.size(), c.lines + 1);
        EXPECT_EQ(lines, Expected(c.start, c.end, c.step));
    }
    ASSERT_TRUE(end.Write("scanr 5000000 5000000 1\r\n"));
    EXPECT_EQ(end.ReadLines(1), std::vector<std::string>{"Start\r\n"});
}

TEST_F(SimulatorTest, ANewCommandMidSweepAbandonsTheOldOne) {
    Launch();
    ProgramEnd end(Link());
    ASSERT_TRUE(end.Write("scanr 1000000 60000000 1\r\n")); // 59 million points
    ASSERT_EQ(end.ReadLines(11).size(), 11u);
    ASSERT_TRUE(end.Write("scanr 14000000 14002000 1000\r\n"));
    // What was already on its way comes first, in whole lines.
    std::vector<std::string> old_lines;
    for (;;) {
        const std::vector<std::string> next = end.ReadLines(1);
        ASSERT_EQ(next.size(), 1u);
        if (next[0] == "Start\r\n") {
            break;
        }
        ASSERT_EQ(std::count(next[0].begin(), next[0].end(), ','), 3) << next[0];
        old_lines.push_back(next[0]);
        ASSERT_LT(old_lines.size(), 1000u);
    }
    std::vector<std::string> lines = end.ReadLines(3);
    lines.insert(lines.begin(), "Start\r\n");
    EXPECT_EQ(lines, Expected(14000000, 14002000, 1000));
    ASSERT_TRUE(end.Write("scanr 5000000 5000000 1\r\n"));
    EXPECT_EQ(end.ReadLines(2), Expected(5000000, 5000000, 1));
    EXPECT_TRUE(WaitFor([](const SimulatorStatus& s) {
        return s.sweeps_abandoned == 1 && s.sweeps_completed == 2 && s.commands == 3;
    }));
}

// The faults as the program meets them: a line it cannot decode, a line of noise and a
// pause, in the first sweep only; paced, as a user's run has them.
TEST_F(SimulatorTest, FaultsReachTheLineInTheFirstSweepOnly) {
    paced = true;
    Options options;
    options.faults.bad_line = 2;
    options.faults.noise_bytes = 40;
    options.faults.noise_after = 1;
    options.faults.pause_after = 1;
    options.faults.pause = milliseconds(30);
    Launch(options);
    ProgramEnd end(Link());
    const std::vector<std::string> clean = Expected(14000000, 14002000, 1000);
    ASSERT_TRUE(end.Write("scanr 14000000 14002000 1000\r\n"));
    const std::vector<std::string> first = end.ReadLines(5);
    ASSERT_EQ(first.size(), 5u);
    EXPECT_EQ(first[0], clean[0]);
    EXPECT_EQ(first[1], clean[1]);
    EXPECT_EQ(first[2].size(), 42u);
    EXPECT_EQ(first[2].find(','), std::string::npos);
    EXPECT_EQ(first[3].find("x,"), clean[2].rfind(',')); // field c of line 2 spoilt
    EXPECT_THROW((void)app::DecodeMeasurement(first[3]), std::exception);
    EXPECT_EQ(first[4], clean[3]);
    ASSERT_TRUE(end.Write("scanr 14000000 14002000 1000\r\n"));
    EXPECT_EQ(end.ReadLines(4), clean);
}

TEST_F(SimulatorTest, MalformedCommandsAreNotedAndIgnored) {
    Launch();
    ProgramEnd end(Link());
    const std::string binary("\0\xff\r\n", 4);
    ASSERT_TRUE(end.Write("bogus\r\nscanr 1 2\r\n" + binary + "scanr 14000000 14000000 1\r\n"));
    EXPECT_EQ(end.ReadLines(2), Expected(14000000, 14000000, 1));
    ASSERT_TRUE(WaitFor([](const SimulatorStatus& s) { return s.malformed == 3; }));
    const std::vector<std::string> seen = Notes();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_NE(seen[0].find("bogus"), std::string::npos);
    EXPECT_NE(seen[1].find("scanr 1 2"), std::string::npos);
    EXPECT_NE(seen[2].find("\\x00\\xFF"), std::string::npos);
}

TEST_F(SimulatorTest, AClosedPortDropsTheSweepAndTheNextOpenIsAnswered) {
    Launch();
    {
        ProgramEnd end(Link());
        ASSERT_TRUE(end.Write("scanr 1000000 60000000 1\r\n"));
        ASSERT_EQ(end.ReadLines(5).size(), 5u);
    }
    ASSERT_TRUE(
        WaitFor([](const SimulatorStatus& s) { return s.sweeps_abandoned == 1 && !s.attached; }));
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        ProgramEnd end(Link());
        ASSERT_TRUE(end.Write("scanr 21000000 21002000 1000\r\n"));
        EXPECT_EQ(end.ReadLines(4), Expected(21000000, 21002000, 1000));
    }
    EXPECT_EQ(simulator->Status().generation, 1u);
}

TEST_F(SimulatorTest, HangUpMidSweepThenComesBackOnANewPty) {
    Options options;
    options.faults.hangup_after = 2;
    options.faults.return_after = milliseconds(50);
    Launch(options);
    {
        ProgramEnd end(Link());
        ASSERT_TRUE(end.Write("scanr 14000000 14004000 1000\r\n"));
        const std::vector<std::string> expected = Expected(14000000, 14004000, 1000);
        // The lines up to the hang-up, as many as the hang-up left unread, none beyond.
        const std::vector<std::string> got = end.ReadLines(10);
        ASSERT_LE(got.size(), 3u);
        EXPECT_EQ(got, std::vector<std::string>(expected.begin(), expected.begin() + got.size()));
        EXPECT_TRUE(end.WaitForHangUp());
    }
    ASSERT_TRUE(WaitFor([](const SimulatorStatus& s) { return s.generation == 2; }));
    const SimulatorStatus status = simulator->Status();
    EXPECT_EQ(status.hangups, 1u);
    EXPECT_EQ(status.sweeps_abandoned, 1u);
    EXPECT_EQ(std::filesystem::read_symlink(Link()), status.slave_path);
    // Only the link is in the folder: the temporary name was renamed over it.
    size_t entries = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator(folder.Path() / "ports")) {
        ++entries;
    }
    EXPECT_EQ(entries, 1u);
    // The fault fires once: the next sweep is whole.
    ProgramEnd end(Link());
    ASSERT_TRUE(end.Write("scanr 14000000 14004000 1000\r\n"));
    EXPECT_EQ(end.ReadLines(6), Expected(14000000, 14004000, 1000));
}

TEST_F(SimulatorTest, StopDuringTheReturnWaitEndsAtOnce) {
    Options options;
    options.faults.hangup_after = 1;
    options.faults.return_after = milliseconds(24 * 3600 * 1000);
    Launch(options);
    ProgramEnd end(Link());
    ASSERT_TRUE(end.Write("scanr 14000000 14004000 1000\r\n"));
    ASSERT_TRUE(end.WaitForHangUp());
    ASSERT_TRUE(WaitFor([](const SimulatorStatus& s) { return s.hangups == 1; }));
    simulator->Stop();
    EXPECT_FALSE(simulator->Status().running);
    EXPECT_TRUE(simulator->Status().error.empty());
}

TEST(SimulatorSetupTest, AnUnusableFolderIsReportedNotIgnored) {
    serial::testing::TempDir folder;
    const std::filesystem::path file = folder.Path() / "file";
    { std::ofstream(file) << "x"; }
    Options options;
    options.ports_dir = file / "ports";
    EXPECT_THROW(Simulator(options, [](std::string_view) {}), std::exception);
}

} // namespace
} // namespace analyzer_sim
