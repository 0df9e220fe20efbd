// Whole sweeps: the window as main() builds it, the real com port and line matcher on a
// pseudo-terminal, and the simulated analyzer at the other end. Every point must carry the
// values the program's arithmetic gives for the integers the analyzer sent.
#include "analyzer_sim/antenna_model.h"
#include "analyzer_sim/reading.h"
#include "analyzer_sim/simulator.h"
#include "app/sweep/measurement.h"
#include "app/sweep/readout.h"
#include "base/error_display.h"
#include "base/message_loop.h"
#include "base/qt/message_box_error_display.h"
#include "base/qt/qt_message_loop.h"
#include "base/recording_error_display.h"
#include "chart/series.h"
#include "e2e/window_support.h"
#include "support/pty_ports.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <vector>

namespace app {
namespace {

using serial::testing::PortsFolders;

constexpr int kWait = 10000; // ms; generous for the sanitizer builds

struct Expected {
    std::vector<double> x, r, z, swr;
};

// What the program must plot for a sweep of the simulated antenna from start in steps.
Expected ExpectedSweep(uint32_t start, uint32_t stop, uint32_t step) {
    const analyzer_sim::AntennaModel model = analyzer_sim::ModelForSweep(start, stop);
    Expected e;
    for (uint64_t f = start; f <= stop; f += step) {
        const analyzer_sim::Reading m = analyzer_sim::ReadingFor(model.Impedance(double(f)));
        const PlottedPoint p = ComputePoint(m.a, m.b, m.c, m.d);
        e.x.push_back(FreqToKHz(static_cast<uint32_t>(f)));
        e.r.push_back(p.R);
        e.z.push_back(p.Z);
        e.swr.push_back(p.Swr);
    }
    return e;
}

std::vector<double> Ys(const chart::TPlotSeries& s) {
    return {s.YValues().Data(), s.YValues().Data() + s.Count()};
}
std::vector<double> Xs(const chart::TPlotSeries& s) {
    return {s.XValues().Data(), s.XValues().Data() + s.Count()};
}

class SweepRun : public ::testing::Test {
protected:
    void StartSimulator(analyzer_sim::Faults faults = {}, bool fast = true) {
        analyzer_sim::Options options;
        options.port = 6;
        options.ports_dir = folders.Tool();
        options.fast = fast;
        options.faults = faults;
        sim = std::make_unique<analyzer_sim::Simulator>(options, [](std::string_view) {});
        sim->Start();
        window->show();
    }

    void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    bool SweepEnded() {
        return WaitUntil([&] { return window->ScanStartBtn->isEnabled(); }, kWait);
    }

    // Connect on COM6 and sweep the default band once; true when the sweep ended.
    bool ConnectAndSweep() {
        Click(window->ConnectBtn);
        if (!window->SioComPort().Open())
            return false;
        Click(window->ScanStartBtn);
        return SweepEnded();
    }

    // Connect, Stop Scan (an interrupted sweep keeps Start Scan off until then) and a full
    // sweep of the default band.
    void ReconnectAndSweep() {
        Click(window->ConnectBtn);
        ASSERT_TRUE(window->SioComPort().Open());
        Click(window->StopScanBtn);
        Click(window->ScanStartBtn);
        ASSERT_TRUE(SweepEnded());
        ExpectDefaultBandSwept();
    }

    void ExpectDefaultBandSwept() {
        const Expected e = ExpectedSweep(13675000, 14675000, 10000);
        ASSERT_EQ(e.x.size(), 101u);
        EXPECT_EQ(Xs(window->Series3()), e.x);
        EXPECT_EQ(Ys(window->Series1()), e.r);
        EXPECT_EQ(Ys(window->Series2()), e.z);
        EXPECT_EQ(Ys(window->Series3()), e.swr);
        const SweepSummary summary = SummarizeSweep(e.x, e.swr, 14175000);
        EXPECT_EQ(window->SWRLabel->text().toStdString(), summary.SWRLabel);
        EXPECT_EQ(window->CenterSWRLabel->text().toStdString(), summary.CenterSWRLabel);
    }

    base::QtMessageLoop loop;
    base::ScopedMessageLoop scoped_loop{loop};
    base::RecordingErrorDisplay errors;
    base::ScopedErrorDisplay scoped_display{errors};
    PortsFolders folders;
    std::unique_ptr<analyzer_sim::Simulator> sim; // outlives nothing of the window's
    std::unique_ptr<TTarnel> window = MakeWindow();
};

TEST_F(SweepRun, TheDefaultBandGivesEveryPointAndTheSummary) {
    StartSimulator({}, false); // at the analyzer's own line rate
    ASSERT_TRUE(ConnectAndSweep());
    ExpectDefaultBandSwept();
    EXPECT_EQ(window->SWRLabel->text().left(9), QStringLiteral("MinSWR: 1"));
    EXPECT_EQ(sim->Status().commands, 1u);
    EXPECT_EQ(sim->Status().malformed, 0u);
    EXPECT_EQ(errors.Count(), 0u);
}

TEST_F(SweepRun, TwentyContinuousSweepsThenStopEndCleanly) {
    StartSimulator();
    Click(window->ConnectBtn);
    ASSERT_TRUE(window->SioComPort().Open());
    Click(window->MutiScanBtn);
    // The UI thread keeps running: every line reaches the window through it.
    ASSERT_TRUE(WaitUntil([&] { return sim->Status().commands >= 21; }, 60000));
    Click(window->StopScanBtn);
    EXPECT_TRUE(window->ScanStartBtn->isEnabled());
    EXPECT_TRUE(window->MutiScanBtn->isEnabled());
    // The sweep in progress runs to its end and no other follows it.
    const uint64_t commands = sim->Status().commands;
    ASSERT_TRUE(WaitUntil(
        [&] {
            const auto s = sim->Status();
            return window->Series3().Count() == 101 && s.sweeps_completed == s.commands;
        },
        kWait));
    ExpectDefaultBandSwept();
    EXPECT_LE(sim->Status().commands, commands + 1); // at most a restart already sent
    EXPECT_EQ(errors.Count(), 0u);
}

TEST_F(SweepRun, DisconnectMidSweepThenConnectGivesAFullSweep) {
    StartSimulator({}, false);
    Click(window->ConnectBtn);
    Click(window->ScanStartBtn);
    ASSERT_TRUE(WaitUntil([&] { return window->Series3().Count() >= 10; }, kWait));
    Click(window->DisConnectBtn);
    EXPECT_FALSE(window->SioComPort().Open());
    EXPECT_FALSE(window->ScanStartBtn->isEnabled()); // until Stop Scan

    ReconnectAndSweep();
    EXPECT_EQ(errors.Count(), 0u);
}

TEST_F(SweepRun, AHangUpMidSweepIsShownAndASweepWorksOnceTheAnalyzerIsBack) {
    analyzer_sim::Faults faults;
    faults.hangup_after = 30;
    StartSimulator(faults);
    Click(window->ConnectBtn);
    Click(window->ScanStartBtn);
    ASSERT_TRUE(WaitUntil([&] { return errors.Count() >= 1; }, kWait));
    EXPECT_EQ(errors.Boxes()[0].caption, "Application Error");
    EXPECT_EQ(errors.Boxes()[0].text, "EInOutError: Device read error");
    EXPECT_TRUE(window->SioComPort().Open()); // the port still says so
    EXPECT_LE(window->Series3().Count(), 30);
    QTest::mouseClick(window->RadioGroup1->Button(0), Qt::LeftButton); // still usable
    EXPECT_EQ(window->CenterFreqEdit->text(), QStringLiteral("3650"));
    QTest::mouseClick(window->RadioGroup1->Button(3), Qt::LeftButton);

    ASSERT_TRUE(WaitUntil([&] { return sim->Status().generation >= 2; }, kWait));
    Click(window->DisConnectBtn);
    ASSERT_FALSE(window->SioComPort().Open());
    ReconnectAndSweep();
    EXPECT_EQ(errors.Count(), 1u);
}

TEST_F(SweepRun, ABadLineIsShownAndTheOtherPointsKeepTheirFrequencies) {
    analyzer_sim::Faults faults;
    faults.bad_line = 50;
    StartSimulator(faults);
    ASSERT_TRUE(ConnectAndSweep());
    ASSERT_EQ(errors.Count(), 1u);
    EXPECT_NE(errors.Texts()[0].find("is not a valid integer value"), std::string::npos)
        << errors.Texts()[0];
    Expected e = ExpectedSweep(13675000, 14675000, 10000);
    for (auto* v : {&e.x, &e.r, &e.z, &e.swr})
        v->erase(v->begin() + 49); // the 50th line is the bad one
    EXPECT_EQ(Xs(window->Series3()), e.x);
    EXPECT_EQ(Ys(window->Series3()), e.swr);
    EXPECT_EQ(Ys(window->Series1()), e.r);
}

TEST_F(SweepRun, AMatcherThatTimedOutIsArmedAgainAndLinesStillArrive) {
    // Two ticks instead of 2184: the pause before the first sweep outlasts it twice.
    auto& adapter = dynamic_cast<DataPacketAdapter&>(window->SioDataPacket());
    adapter.Matcher().SetTimeOut(2);
    int timeouts = 0;
    const auto handler = adapter.OnTimeout;
    adapter.OnTimeout = [&] {
        ++timeouts;
        if (handler)
            handler();
    };
    StartSimulator();
    Click(window->ConnectBtn);
    ASSERT_TRUE(window->SioComPort().Open());
    ASSERT_TRUE(WaitUntil([&] { return timeouts >= 2; }, kWait)); // armed again in between
    EXPECT_TRUE(adapter.Enabled());
    adapter.Matcher().SetTimeOut(2184);
    Click(window->ScanStartBtn);
    ASSERT_TRUE(WaitUntil([&] { return window->Series3().Count() == 101; }, kWait));
    ExpectDefaultBandSwept();
    EXPECT_EQ(errors.Count(), 0u);
}

TEST_F(SweepRun, LinesArrivingWhileAnErrorBoxIsOpenWaitForItAndAreKept) {
    // The modal box of the program: the bad line's message stays up while the rest of the
    // sweep arrives; the delivery waits for the box, and no line is lost.
    base::MessageBoxErrorDisplay boxes;
    base::ScopedErrorDisplay scoped_boxes(boxes);
    analyzer_sim::Faults faults;
    faults.bad_line = 50;
    StartSimulator(faults);
    Click(window->ConnectBtn);
    ASSERT_TRUE(window->SioComPort().Open());
    SeenBox seen;
    CloseNextBox(seen);
    Click(window->ScanStartBtn);
    ASSERT_TRUE(SweepEnded());
    ASSERT_TRUE(seen.seen);
    EXPECT_NE(seen.text.indexOf(QStringLiteral("is not a valid integer value")), -1)
        << seen.text.toStdString();
    EXPECT_EQ(window->Series3().Count(), 100);
    EXPECT_EQ(window->Series3().XValues().Last(), 14675.0);
}

TEST_F(SweepRun, LinesBeforeTheCommandAreIgnored) {
    serial::testing::Pty pty;
    PortsFolders::Link(folders.Tool(), 6, pty.SlavePath());
    auto& matcher = window->SioDataPacket();
    int lines = 0;
    const auto handler = matcher.OnStringPacket;
    matcher.OnStringPacket = [&](std::string_view line) {
        ++lines;
        handler(line);
    };
    window->show();
    Click(window->ConnectBtn);
    ASSERT_TRUE(window->SioComPort().Open());
    ASSERT_TRUE(pty.Write("300,100,250,250\r\n300,100,250,250\r\nnoise"));
    ASSERT_TRUE(WaitUntil([&] { return lines == 2; }, kWait)); // both reached the handler
    EXPECT_EQ(window->Series3().Count(), 0);

    Click(window->ScanStartBtn);
    EXPECT_EQ(pty.Read(31), "scanr 13675000 14685000 10000\r\n");
    std::string sweep = "\r\nStart\r\n"; // ends the noise as a line of its own
    for (int i = 0; i < 101; ++i)
        sweep += "300,100,250,250\r\n";
    ASSERT_TRUE(pty.Write(sweep));
    ASSERT_TRUE(SweepEnded());
    EXPECT_EQ(window->Series3().Count(), 101);
    EXPECT_EQ(errors.Count(), 0u);
}

} // namespace
} // namespace app
