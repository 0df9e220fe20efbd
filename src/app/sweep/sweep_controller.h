// The sweep controller: the logic of the main window's sweep handlers, free of the toolkit.
// The window owns the controls, the chart and the serial components; it builds one
// SweepController over them after loading its layout and forwards each event to the
// handler of the same name. The controller holds the sweep state.
//
// Contract:
// - User-interface thread only; no locks, no waits.
// - Every handler lets its exceptions propagate: the window's caller shows them with
//   base::RunHandler / base::ShowException. A handler stops at the failing step and undoes
//   nothing done before it.
// - The controller keeps references only; the window keeps every referenced object alive
//   for the controller's lifetime.
#pragma once

#include "app/sweep/components.h"
#include "app/sweep/sweep_state.h"
#include "app/sweep/sweep_view.h"

#include <cstdint>
#include <string_view>

namespace chart {
class TPlot;
class TPlotLineSeries;
} // namespace chart

namespace app {

// The chart and its six series as the window laid them out.
struct SweepChart {
    chart::TPlot& Chart1;
    chart::TPlotLineSeries& Series1; // "R", right axis
    chart::TPlotLineSeries& Series2; // "Z", right axis
    chart::TPlotLineSeries& Series3; // "SWR", left axis
    chart::TPlotLineSeries& Series4; // "CenterLine"
    chart::TPlotLineSeries& Series5; // "RefLine", two points, moved by the cursor
    chart::TPlotLineSeries& Series6; // "YLine", two points, moved by the cursor
};

class SweepController {
public:
    SweepController(SweepChart chart, IComPort& SioComPort, IDataPacket& SioDataPacket,
                    SweepView& view);
    SweepController(const SweepController&) = delete;
    SweepController& operator=(const SweepController&) = delete;

    // The window's creation step, after the layout is loaded: LineEnd, ConnectBtn enabled and
    // DisConnectBtn disabled, the matcher set to deliver CR LF lines, the sweep state from the
    // edits (integer conversion, no limits), the bottom axis, the series' vertical axes, the
    // right axis' grid hidden, the centre line.
    void FormCreate();

    // Band quick setup: the user selected another item (item_index, -1 for none). Writes the
    // three edit texts of that band; nothing else changes.
    void RadioGroup1Click(int item_index);

    // Start Scan: reads the edits, limits the range to 1..60 MHz, writes the scan command,
    // clears Series1..Series4, sets the bottom axis, draws the centre line and disables
    // ScanStartBtn. A step below 1 Hz (or beyond the 32-bit range) is refused before anything
    // changes. Runs whatever the button's enabled state (the programmatic click calls it).
    void ScanStartBtnClick();

    // Continuous Scan: disables ScanStartBtn and MutiScanBtn, runs Start Scan, then turns
    // continuous mode on (not when Start Scan failed).
    void MutiScanBtnClick();

    // Stop Scan: continuous mode off, ScanStartBtn and MutiScanBtn enabled; a running sweep
    // completes.
    void StopScanBtnClick();

    // The line handler: one received line, CR LF included. Waits for the start marker, then
    // plots one point per measurement line and ends the sweep after the last point at or
    // below StopFreq (summary, and the restart in continuous mode). A line that fails to
    // decode still takes its place in the sweep (CurFreq advances, the end test runs, no
    // point is plotted) and then raises its conversion error.
    void SioDataPacketStringPacket(std::string_view data);
    // The matcher timed out: it is armed again, so a pause of the analyzer or of the user
    // (two minutes before the first sweep) never leaves the program deaf.
    void SioDataPacketTimeout();

    // The chart's mouse move, x in the chart's client pixels: moves the vertical cursor line
    // to the snapped frequency and, when that is a sweep point, the horizontal line and
    // SWROKLabel.
    void Chart1MouseMove(int32_t x);

    // Lines of a sweep are arriving or about to (the start marker was seen, or continuous mode
    // restarts the sweep): the curves are not the window's to replace now.
    [[nodiscard]] bool CollectingLines() const {
        return state_.StartReceived || state_.ContinuousScan;
    }
    // Series4 cleared and drawn again at the middle of the bottom axis (after the axis was
    // replaced from a chart file).
    void RedrawCentreLine();

    [[nodiscard]] const SweepState& State() const { return state_; }
    // For the window's own handlers and for tests that start from a given state.
    [[nodiscard]] SweepState& State() { return state_; }

private:
    void PerPointStep(int32_t a, int32_t b, int32_t c, int32_t d);
    void AdvanceAndTestEnd();
    void EndSweep();
    void WriteSummary();
    void AddCentreLine();

    SweepState state_;
    SweepChart chart_;
    IComPort& port_;
    IDataPacket& packet_;
    SweepView& view_;
};

} // namespace app
