#include "app/sweep/measurement.h"
#include "app/sweep/sweep_controller.h"
#include "app/sweep/sweep_doubles.h"
#include "base/exceptions.h"
#include "base/format_settings.h"
#include "chart/axis.h"
#include "chart/plot.h"
#include "chart/series.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace app {
namespace {

using testing::FakeSweepView;
using testing::RecordingComPort;
using testing::RecordingDataPacket;

// A measurement line whose SWR x 100 is s (for s > 100) and whose |Z| is 50.
std::string LineForSwr(int s) {
    return std::to_string(s + 100) + "," + std::to_string(s - 100) + ",250,250\r\n";
}

const std::string kMarker = "Start\r\n";
const std::string kPlainLine = "300,100,250,250\r\n"; // SWR 2, Z 50, R 40

// The message of the exception fn throws, or "" when it throws none.
std::string ErrorOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

class SweepControllerTest : public ::testing::Test, protected testing::SweepChartParts {
protected:
    SweepControllerTest() {
        plot.OnInvalidate = [this] { ++repaints; };
        controller.FormCreate();
    }

    void Line(const std::string& line) { controller.SioDataPacketStringPacket(line); }
    void Lines(int count, const std::string& line = kPlainLine) {
        for (int i = 0; i < count; ++i) {
            Line(line);
        }
    }
    // Start Scan with the given edit texts.
    void StartScan(std::string centre, std::string width, std::string step) {
        view.centre = std::move(centre);
        view.width = std::move(width);
        view.step = std::move(step);
        controller.ScanStartBtnClick();
    }
    static std::vector<double> Xs(const chart::TPlotSeries& s) {
        return {s.XValues().Data(), s.XValues().Data() + s.Count()};
    }
    static std::vector<double> Ys(const chart::TPlotSeries& s) {
        return {s.YValues().Data(), s.YValues().Data() + s.Count()};
    }
    const SweepState& State() const { return controller.State(); }
    chart::TPlotAxis& Bottom() { return plot.BottomAxis(); }

    RecordingComPort port;
    RecordingDataPacket matcher;
    FakeSweepView view;
    SweepController controller{{plot, s1, s2, s3, s4, s5, s6}, port, matcher, view};
    int repaints = 0;
};

TEST_F(SweepControllerTest, FormCreateDerivesTheStateFromTheLayout) {
    EXPECT_EQ(State().LineEnd, "\r\n");
    EXPECT_EQ(State().CenterFreq, 14175000u);
    EXPECT_EQ(State().ScanWidth, 1000000u);
    EXPECT_EQ(State().ScanStep, 10000.0);
    EXPECT_EQ(State().CurFreq, 13675000u);
    EXPECT_EQ(State().StopFreq, 14675000u);
    EXPECT_FALSE(State().StartReceived);
    EXPECT_FALSE(State().ContinuousScan);

    EXPECT_TRUE(view.connect_enabled);
    EXPECT_FALSE(view.disconnect_enabled);
    EXPECT_TRUE(view.scan_start_enabled);
    EXPECT_TRUE(view.muti_scan_enabled);
    EXPECT_EQ(view.swr_label, "");

    const std::vector<std::string> expected_matcher = {"Enabled=false",  "StartCond=scAnyData",
                                                       "EndCond=[]",     "EndCond=[ecString]",
                                                       "EndString=\r\n", "Enabled=true"};
    EXPECT_EQ(matcher.log, expected_matcher);

    EXPECT_EQ(Bottom().Minimum(), 13675.0);
    EXPECT_EQ(Bottom().Maximum(), 14675.0);
    EXPECT_EQ(Xs(s4), (std::vector<double>{14175.0, 14175.0}));
    EXPECT_EQ(Ys(s4), (std::vector<double>{1.0, 6.0}));

    EXPECT_EQ(s1.GetVertAxis(), &plot.RightAxis());
    EXPECT_EQ(s2.GetVertAxis(), &plot.RightAxis());
    for (const chart::TPlotLineSeries* s : {&s3, &s4, &s5, &s6}) {
        EXPECT_EQ(s->GetVertAxis(), &plot.LeftAxis());
    }
    EXPECT_FALSE(plot.RightAxis().Grid().Visible);
    EXPECT_TRUE(plot.LeftAxis().Grid().Visible);
    EXPECT_TRUE(port.writes.empty());
}

TEST_F(SweepControllerTest, DefaultSweepFromCommandToSummary) {
    s1.AddXY(1, 1); // left over from an earlier sweep
    controller.ScanStartBtnClick();
    ASSERT_EQ(port.writes, std::vector<std::string>{"scanr 13675000 14685000 10000\r\n"});
    EXPECT_EQ(s1.Count(), 0);
    EXPECT_EQ(Bottom().Minimum(), 13675.0);
    EXPECT_EQ(Bottom().Maximum(), 14675.0);
    EXPECT_EQ(Xs(s4), (std::vector<double>{14175.0, 14175.0}));
    EXPECT_FALSE(view.scan_start_enabled);
    EXPECT_EQ(s5.Count(), 2); // the cursor lines keep their points

    Lines(3); // before the marker: ignored although they hold commas
    EXPECT_EQ(s3.Count(), 0);
    Line("scanr 13675000 14685000 10000\r\n"); // an echo: no comma, no marker
    Line(kMarker);
    EXPECT_TRUE(State().StartReceived);

    const int before = repaints;
    Lines(100);
    EXPECT_EQ(s3.Count(), 100);
    EXPECT_TRUE(State().StartReceived);
    EXPECT_FALSE(view.scan_start_enabled);
    EXPECT_EQ(view.swr_label, "");
    EXPECT_GE(repaints - before, 100); // each added point asks for a repaint

    Line(LineForSwr(150)); // the 101st point, at 14675 kHz, ends the sweep
    EXPECT_FALSE(State().StartReceived);
    EXPECT_TRUE(view.scan_start_enabled);
    for (const chart::TPlotLineSeries* s : {&s1, &s2, &s3}) {
        ASSERT_EQ(s->Count(), 101);
        EXPECT_EQ(s->XValues().First(), 13675.0);
        EXPECT_EQ(s->XValues().Last(), 14675.0);
    }
    EXPECT_EQ(s1.YValues().First(), 40.0);
    EXPECT_EQ(s2.YValues().First(), 50.0);
    EXPECT_EQ(s3.YValues().First(), 2.0);
    EXPECT_EQ(view.swr_label, "MinSWR: 1.5 @14675KHz");
    EXPECT_EQ(view.center_swr_label, "CenterSWR: 2 @14175KHz");
    EXPECT_EQ(port.writes.size(), 1u);

    Line(kPlainLine); // a line for the end frequency adds nothing
    EXPECT_EQ(s3.Count(), 101);
}

TEST_F(SweepControllerTest, SummaryReportsTheMiddleOfTheFirstLowestRun) {
    StartScan("7020", "40", "10"); // points 7000 .. 7040 kHz
    Line(kMarker);
    for (int s : {150, 120, 120, 120, 140}) {
        Line(LineForSwr(s));
    }
    EXPECT_EQ(view.swr_label, "MinSWR: 1.2 @7020KHz");
    EXPECT_EQ(view.center_swr_label, "CenterSWR: 1.2 @7020KHz");
}

TEST_F(SweepControllerTest, StartScanRanges) {
    struct Case {
        const char* centre;
        const char* width;
        const char* command;
        double axis_min, axis_max, centre_line;
        int points_to_end; // measurement lines until the sweep ends
        double first_point;
    } cases[] = {
        {"1000", "1000", "scanr 1000000 1510000 10000\r\n", 1000, 1500, 1250, 51, 1000},
        // Start raised above the stop: the axis gets its ends in reverse order.
        {"100", "1000", "scanr 1000000 610000 10000\r\n", 600, 1000, 800, 1, 1000},
        {"70000", "1000", "scanr 69500000 60010000 10000\r\n", 60000, 69500, 64750, 1, 69500},
        {"3650", "1000", "scanr 3150000 4160000 10000\r\n", 3150, 4150, 3650, 101, 3150},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.centre);
        port.writes.clear();
        StartScan(c.centre, c.width, "10");
        ASSERT_EQ(port.writes, std::vector<std::string>{c.command});
        EXPECT_EQ(Bottom().Minimum(), c.axis_min);
        EXPECT_EQ(Bottom().Maximum(), c.axis_max);
        EXPECT_EQ(Xs(s4), (std::vector<double>{c.centre_line, c.centre_line}));
        Line(kMarker);
        Lines(c.points_to_end - 1);
        EXPECT_TRUE(State().StartReceived);
        Line(kPlainLine);
        EXPECT_FALSE(State().StartReceived);
        EXPECT_EQ(s3.Count(), c.points_to_end);
        EXPECT_EQ(s3.XValues().First(), c.first_point);
    }
}

TEST_F(SweepControllerTest, FractionalStepInKHz) {
    StartScan("14175", "1000", "0.25");
    EXPECT_EQ(State().ScanStep, 250.0);
    EXPECT_EQ(port.writes.back(), "scanr 13675000 14675250 250\r\n");

    base::ScopedFormatSettings comma({",", "."});
    StartScan("14175", "1000", "0,3333");
    EXPECT_EQ(port.writes.back(), "scanr 13675000 14675333 333\r\n");
    Line(kMarker);
    Lines(2);
    EXPECT_EQ(State().CurFreq, 13675666u); // the fraction is lost at every point
}

TEST_F(SweepControllerTest, StepThatWouldNotAdvanceIsRefusedBeforeAnythingIsSent) {
    StartScan("14175", "1000", "10");
    Line(kMarker);
    Lines(5);
    const SweepState before = State();
    const size_t writes = port.writes.size();
    for (const char* step : {"0", "-10", "0.0009", "-0.5", "4294968", "1e30"}) {
        SCOPED_TRACE(step);
        view.centre = "7100";
        view.step = step;
        EXPECT_EQ(ErrorOf([&] { controller.ScanStartBtnClick(); }),
                  "The scan step must be from 0.001 KHz to 4294967.295 KHz");
        // Centre and width are converted first; the step, the range and the sweep are not.
        EXPECT_EQ(State().CenterFreq, 7100000u);
        EXPECT_EQ(State().ScanStep, before.ScanStep);
        EXPECT_EQ(State().CurFreq, before.CurFreq);
        EXPECT_TRUE(State().StartReceived);
        EXPECT_EQ(port.writes.size(), writes);
        EXPECT_EQ(s3.Count(), 5);
    }
    // A bad centre is reported before the step is looked at.
    view.centre = "1x";
    view.step = "0";
    EXPECT_EQ(ErrorOf([&] { controller.ScanStartBtnClick(); }),
              "''1x'' is not a valid integer value");
    // 1 Hz is the smallest step that advances.
    StartScan("14175", "1000", "0.001");
    EXPECT_EQ(port.writes.back(), "scanr 13675000 14675001 1\r\n");
}

TEST_F(SweepControllerTest, ATimeOutArmsTheMatcherAgainWithoutTogglingAnArmedOne) {
    matcher.enabled = false; // the matcher turned itself off
    matcher.log.clear();
    controller.SioDataPacketTimeout();
    EXPECT_TRUE(matcher.enabled);
    EXPECT_EQ(matcher.log, (std::vector<std::string>{"Enabled=true"}));
    controller.SioDataPacketTimeout();
    EXPECT_EQ(matcher.log.size(), 1u);
}

TEST_F(SweepControllerTest, AStepThatWouldWrapTheFrequencyEndsTheSweep) {
    // 4294000 kHz is accepted, but the next frequency passes 2^32 - 1 Hz.
    StartScan("14175", "1000", "4294000");
    Line(kMarker);
    Line(kPlainLine);
    EXPECT_FALSE(State().StartReceived);
    EXPECT_TRUE(view.scan_start_enabled);
    EXPECT_EQ(s3.Count(), 1);
    Line(kPlainLine); // nothing is plotted backwards
    EXPECT_EQ(s3.Count(), 1);
    EXPECT_EQ(s3.XValues().First(), 13675.0);
}

TEST_F(SweepControllerTest, MalformedEditTextsStopStartScanAtTheirStep) {
    Line(kMarker);
    Lines(2);
    view.centre = "abc";
    EXPECT_EQ(ErrorOf([&] { controller.ScanStartBtnClick(); }),
              "''abc'' is not a valid integer value");
    view.centre = "";
    EXPECT_EQ(ErrorOf([&] { controller.ScanStartBtnClick(); }),
              "'''' is not a valid integer value");
    EXPECT_TRUE(port.writes.empty());
    EXPECT_EQ(s3.Count(), 2);
    EXPECT_EQ(State().CenterFreq, 14175000u);

    // A step in the wrong locale: centre and width are already assigned, nothing is sent.
    EXPECT_EQ(ErrorOf([&] { StartScan("7100", "2000", "0,5"); }),
              "'0,5' is not a valid floating point value");
    EXPECT_TRUE(port.writes.empty());
    EXPECT_EQ(State().CenterFreq, 7100000u);
    EXPECT_EQ(State().ScanWidth, 2000000u);
    EXPECT_EQ(State().ScanStep, 10000.0);
    EXPECT_EQ(State().CurFreq, 13695000u); // two points since the marker, nothing reset
    EXPECT_EQ(s3.Count(), 2);
}

TEST_F(SweepControllerTest, FailedWriteLeavesTheNewRangeAndNothingElse) {
    Line(kMarker);
    Lines(3);
    port.fail_writes = true;
    EXPECT_EQ(ErrorOf([&] { StartScan("7100", "1000", "10"); }), port.fail_message);
    EXPECT_EQ(State().CurFreq, 6600000u);
    EXPECT_EQ(State().StopFreq, 7600000u);
    EXPECT_TRUE(State().StartReceived);
    EXPECT_EQ(s3.Count(), 3);
    EXPECT_EQ(Bottom().Minimum(), 13675.0);
    EXPECT_TRUE(view.scan_start_enabled);
}

TEST_F(SweepControllerTest, ContinuousScanRestartsUntilStopped) {
    controller.MutiScanBtnClick();
    EXPECT_TRUE(State().ContinuousScan);
    EXPECT_FALSE(view.scan_start_enabled);
    EXPECT_FALSE(view.muti_scan_enabled);
    ASSERT_EQ(port.writes.size(), 1u);

    Line(kMarker);
    Lines(101);
    EXPECT_EQ(port.writes.size(), 2u); // restarted at once
    EXPECT_EQ(port.writes[1], port.writes[0]);
    EXPECT_EQ(view.swr_label, "MinSWR: 2 @14175KHz"); // summary kept over the restart
    EXPECT_FALSE(view.scan_start_enabled);
    EXPECT_EQ(s3.Count(), 0); // cleared by the restart
    EXPECT_FALSE(State().StartReceived);

    Line(kMarker);
    Lines(50);
    controller.StopScanBtnClick();
    EXPECT_FALSE(State().ContinuousScan);
    EXPECT_TRUE(view.scan_start_enabled);
    EXPECT_TRUE(view.muti_scan_enabled);
    Lines(51); // the running sweep completes, with its summary, and does not restart
    EXPECT_EQ(s3.Count(), 101);
    EXPECT_EQ(port.writes.size(), 2u);
    EXPECT_FALSE(State().StartReceived);
}

TEST_F(SweepControllerTest, ContinuousScanDuringASingleSweep) {
    controller.ScanStartBtnClick();
    Line(kMarker);
    Lines(10);
    controller.MutiScanBtnClick();
    EXPECT_EQ(port.writes.size(), 2u);
    EXPECT_EQ(s3.Count(), 0);
    EXPECT_FALSE(State().StartReceived); // the rest of the old sweep is ignored
    EXPECT_TRUE(State().ContinuousScan);
    Lines(5);
    EXPECT_EQ(s3.Count(), 0);
}

TEST_F(SweepControllerTest, ContinuousScanWhoseStartFails) {
    port.fail_writes = true;
    EXPECT_NE(ErrorOf([&] { controller.MutiScanBtnClick(); }), "");
    EXPECT_FALSE(State().ContinuousScan);
    EXPECT_FALSE(view.scan_start_enabled);
    EXPECT_FALSE(view.muti_scan_enabled);
}

TEST_F(SweepControllerTest, FailedRestartLeavesTheSweepEnded) {
    controller.MutiScanBtnClick();
    Line(kMarker);
    Lines(100);
    port.fail_writes = true;
    EXPECT_EQ(ErrorOf([&] { Line(kPlainLine); }), port.fail_message);
    EXPECT_EQ(view.swr_label, "MinSWR: 2 @14175KHz");
    EXPECT_TRUE(view.scan_start_enabled);
    EXPECT_TRUE(State().ContinuousScan);
    EXPECT_FALSE(State().StartReceived);
}

TEST_F(SweepControllerTest, BadLineKeepsItsPlaceInTheSweep) {
    StartScan("7020", "40", "10"); // points 7000 .. 7040 kHz
    Line(kMarker);
    Line(LineForSwr(150));
    EXPECT_EQ(ErrorOf([&] { Line("1,2\r\n"); }), "'''' is not a valid integer value");
    EXPECT_EQ(State().CurFreq, 7020000u);
    EXPECT_TRUE(State().StartReceived);
    Line(LineForSwr(120));
    Line(LineForSwr(140));
    EXPECT_EQ(Xs(s3), (std::vector<double>{7000, 7020, 7030}));
    // A bad last line still ends the sweep, with the summary, and then shows its error.
    EXPECT_EQ(ErrorOf([&] { Line("1,2,3,4,5\r\n"); }), "''4,5'' is not a valid integer value");
    EXPECT_FALSE(State().StartReceived);
    EXPECT_TRUE(view.scan_start_enabled);
    EXPECT_EQ(view.swr_label, "MinSWR: 1.2 @7020KHz");
    EXPECT_EQ(view.center_swr_label, "CenterSWR: 1.2 @7020KHz");
}

TEST_F(SweepControllerTest, SweepWhoseEveryLineFails) {
    StartScan("7000", "0", "10"); // one point
    Line(kMarker);
    EXPECT_NE(ErrorOf([&] { Line("x,1,1,1\r\n"); }), "");
    EXPECT_FALSE(State().StartReceived);
    EXPECT_EQ(view.swr_label, "MinSWR: 0 @0KHz");
    EXPECT_EQ(view.center_swr_label, "CenterSWR: 0 @7000KHz");
}

TEST_F(SweepControllerTest, BadLastLineAndFailedRestartAreBothShown) {
    controller.MutiScanBtnClick();
    Line(kMarker);
    Lines(100);
    port.fail_writes = true;
    EXPECT_EQ(ErrorOf([&] { Line("1,2,3,x\r\n"); }),
              "''x'' is not a valid integer value.\n" + port.fail_message);
    EXPECT_TRUE(State().ContinuousScan);
    EXPECT_TRUE(view.scan_start_enabled);
}

TEST_F(SweepControllerTest, MarkerWithoutStartScanAfterASweep) {
    StartScan("7020", "40", "10");
    Line(kMarker);
    Lines(5);
    EXPECT_FALSE(State().StartReceived);
    Line(kMarker);
    Line(LineForSwr(110)); // beyond the range: one point, and the sweep ends again
    EXPECT_FALSE(State().StartReceived);
    EXPECT_EQ(Xs(s3).back(), 7050.0);
    EXPECT_EQ(view.swr_label, "MinSWR: 1.1 @7050KHz");
    Line(kPlainLine);
    EXPECT_EQ(s3.Count(), 6);
}

TEST_F(SweepControllerTest, LinesThatAreNotMeasurements) {
    controller.ScanStartBtnClick();
    Line(kMarker);
    const std::string cases[] = {
        "",          "\r\n", std::string(1 << 20, 'x'), std::string("\0\xff\x80\r\n", 5),
        "Start\r\n", // a second marker has no comma: ignored
        "OK\r\n"};
    for (const std::string& line : cases) {
        Line(line);
    }
    EXPECT_EQ(s3.Count(), 0);
    EXPECT_EQ(State().CurFreq, 13675000u);

    const std::string bad[] = {std::string("1,2,\0,4\r\n", 9), "1,2,3," + std::string(40, '9'),
                               std::string(1 << 20, ',') + "\r\n", "1,2,3,4,5\r\n", "1 ,2,3,4\r\n"};
    for (const std::string& line : bad) {
        EXPECT_THROW(Line(line), base::EConvertError);
    }
    EXPECT_EQ(s3.Count(), 0);
    EXPECT_EQ(State().CurFreq, 13675000u + 5u * 10000u);
}

TEST_F(SweepControllerTest, BandQuickSetupWritesOnlyTheEdits) {
    controller.ScanStartBtnClick();
    Line(kMarker);
    const SweepState before = State();
    controller.RadioGroup1Click(1);
    EXPECT_EQ(view.centre, "7100");
    EXPECT_EQ(view.width, "1000");
    EXPECT_EQ(view.step, "10");
    controller.RadioGroup1Click(-1);
    EXPECT_EQ(view.centre, "7050");
    EXPECT_EQ(State().CenterFreq, before.CenterFreq);
    EXPECT_EQ(State().CurFreq, before.CurFreq);
    EXPECT_TRUE(State().StartReceived);
    EXPECT_EQ(port.writes.size(), 1u);
}

class SweepCursorTest : public SweepControllerTest {
protected:
    // Lays the bottom axis over pixels 100..700 for the current range.
    void LayOutBottomAxis() {
        Bottom().InternalCalcRange();
        Bottom().SetPositions(100, 700);
    }
};

TEST_F(SweepCursorTest, CursorFindsPointsOnTheStepGrid) {
    StartScan("7100", "1000", "10"); // 40 m: points 6600 .. 7600 kHz, 10 kHz = 6 pixels
    Line(kMarker);
    for (int i = 0; i < 101; ++i) {
        Line(LineForSwr(110 + i % 7));
    }
    LayOutBottomAxis();
    controller.Chart1MouseMove(100 + 6 * 42 + 3); // 7020 kHz + 5 kHz
    EXPECT_EQ(Xs(s5), (std::vector<double>{7020.0, 7020.0}));
    EXPECT_EQ(Ys(s5), (std::vector<double>{1.0, 6.0}));
    EXPECT_EQ(Xs(s6), (std::vector<double>{6600.0, 7600.0}));
    EXPECT_EQ(Ys(s6), (std::vector<double>{1.1, 1.1}));
    EXPECT_EQ(view.swr_label.empty(), false);
    EXPECT_EQ(view.swr_ok_label, "SWR: 1.1@7020KHz");

    // Left of the plot: the vertical line moves there, nothing else changes.
    controller.Chart1MouseMove(40);
    EXPECT_EQ(Xs(s5), (std::vector<double>{6500.0, 6500.0}));
    EXPECT_EQ(Ys(s6), (std::vector<double>{1.1, 1.1}));
    EXPECT_EQ(view.swr_ok_label, "SWR: 1.1@7020KHz");
}

TEST_F(SweepCursorTest, DefaultBandPointsAreOffTheGrid) {
    controller.ScanStartBtnClick();
    Line(kMarker);
    Lines(101);
    LayOutBottomAxis();
    for (int x = 90; x <= 710; ++x) {
        controller.Chart1MouseMove(x);
    }
    EXPECT_EQ(view.swr_ok_label, "");
    EXPECT_EQ(Xs(s6), (std::vector<double>{1.0, 3.0})); // still the layout's points
    EXPECT_EQ(Xs(s5)[0], 14690.0);                      // the last move, 14691.67 kHz snapped
}

TEST_F(SweepCursorTest, CursorBeforeLayoutAndWithoutAStep) {
    controller.Chart1MouseMove(300); // no layout yet: every pixel maps to 0 kHz
    EXPECT_EQ(Xs(s5), (std::vector<double>{0.0, 0.0}));
    controller.State().ScanStep = 0.0;
    LayOutBottomAxis();
    controller.Chart1MouseMove(400);
    EXPECT_EQ(Xs(s5), (std::vector<double>{14175.0, 14175.0}));
}

} // namespace
} // namespace app
