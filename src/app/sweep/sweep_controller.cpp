#include "app/sweep/sweep_controller.h"

#include "app/sweep/measurement.h"
#include "app/sweep/protocol.h"
#include "app/sweep/readout.h"
#include "app/sweep/sweep_range.h"
#include "base/conversions.h"
#include "base/error_display.h"
#include "base/exceptions.h"
#include "chart/axis.h"
#include "chart/plot.h"
#include "chart/series.h"

#include <exception>
#include <span>

namespace app {
namespace {

// The points of a series as read-only spans (the storage is contiguous).
std::span<const double> Values(const chart::TPlotValueList& list) {
    return {list.Data(), static_cast<size_t>(list.Count())};
}

// The text of Start Scan's refusal of a step that would not advance or would wrap.
std::string ScanStepRangeMessage() {
    return "The scan step must be from " + base::FloatToStr(kMinScanStep * 0.001L) + " KHz to " +
           base::FloatToStr(static_cast<long double>(kMaxScanStep) * 0.001L) + " KHz";
}

// Step text (kHz) to Hz, multiplied in extended precision and stored as a double.
double ScanStepFromText(const std::string& text) {
    return static_cast<double>(base::StrToFloat(text) * 1000.0L);
}

} // namespace

SweepController::SweepController(SweepChart chart, IComPort& SioComPort, IDataPacket& SioDataPacket,
                                 SweepView& view)
    : chart_(chart), port_(SioComPort), packet_(SioDataPacket), view_(view) {}

void SweepController::FormCreate() {
    state_.LineEnd = std::string(kLineEnd);

    view_.SetConnectBtnEnabled(true);
    view_.SetDisConnectBtnEnabled(false);

    // The layout's end string is the letters \r\n; the analyzer's lines end in CR LF.
    packet_.SetEnabled(false);
    packet_.SetStartCond(packet::scAnyData);
    packet_.SetEndCond(packet::TPacketEndSet()); // cleared, then the end string added
    packet::TPacketEndSet end_cond = packet_.EndCond();
    packet_.SetEndCond(end_cond.Include(packet::ecString));
    packet_.SetEndString(state_.LineEnd);
    packet_.SetEnabled(true);

    // The step is a whole number here (Start Scan reads a decimal one); 32-bit product.
    state_.CenterFreq = KHzToHz(base::StrToInt(view_.CenterFreqText()));
    state_.ScanWidth = KHzToHz(base::StrToInt(view_.BWText()));
    state_.ScanStep = static_cast<double>(
        static_cast<int32_t>(static_cast<uint32_t>(base::StrToInt(view_.ScanStepText())) * 1000u));
    state_.CurFreq = RawSweepStart(state_.CenterFreq, state_.ScanWidth);
    state_.StopFreq = RawSweepStop(state_.CenterFreq, state_.ScanWidth);
    state_.StartReceived = false;

    chart::TPlot& plot = chart_.Chart1;
    plot.BottomAxis().SetMinMax(state_.CurFreq / 1000u, state_.StopFreq / 1000u);
    chart_.Series1.SetCustomVertAxis(&plot.RightAxis());
    chart_.Series2.SetCustomVertAxis(&plot.RightAxis());
    for (chart::TPlotLineSeries* series :
         {&chart_.Series3, &chart_.Series4, &chart_.Series5, &chart_.Series6}) {
        series->SetCustomVertAxis(&plot.LeftAxis());
    }
    plot.RightAxis().Grid().Visible = false;
    plot.Invalidate();
    AddCentreLine();
}

void SweepController::RedrawCentreLine() {
    chart_.Series4.Clear();
    AddCentreLine();
}

void SweepController::AddCentreLine() {
    const chart::TPlotAxis& bottom = chart_.Chart1.BottomAxis();
    const double x = (bottom.Minimum() + bottom.Maximum()) * 0.5;
    chart_.Series4.AddXY(x, 1.0);
    chart_.Series4.AddXY(x, 6.0);
}

void SweepController::RadioGroup1Click(int item_index) {
    const BandPreset band = BandForIndex(item_index);
    view_.SetCenterFreqText(std::string(band.Centre));
    view_.SetBWText(std::string(band.Width));
    view_.SetScanStepText(std::string(band.Step));
}

void SweepController::ScanStartBtnClick() {
    state_.CenterFreq = KHzToHz(base::StrToInt(view_.CenterFreqText()));
    state_.ScanWidth = KHzToHz(base::StrToInt(view_.BWText()));
    // A step that never advances (or wraps the frequency) is refused where it is converted,
    // before it is stored and before anything is sent.
    const double step = ScanStepFromText(view_.ScanStepText());
    if (!IsUsableScanStep(step)) {
        throw base::EInvalidOperation(ScanStepRangeMessage());
    }
    state_.ScanStep = step;
    state_.CurFreq = LimitedSweepStart(state_.CenterFreq, state_.ScanWidth);
    state_.StopFreq = LimitedSweepStop(state_.CenterFreq, state_.ScanWidth);

    port_.PutString(
        BuildScanCommand(state_.CurFreq, state_.StopFreq, state_.ScanStep, state_.LineEnd));
    state_.StartReceived = false;

    chart_.Series1.Clear();
    chart_.Series2.Clear();
    chart_.Series3.Clear();
    chart_.Series4.Clear();
    chart_.Chart1.BottomAxis().SetMinMax(state_.CurFreq / 1000u, state_.StopFreq / 1000u);
    AddCentreLine();

    view_.SetScanStartBtnEnabled(false);
}

void SweepController::MutiScanBtnClick() {
    view_.SetScanStartBtnEnabled(false);
    view_.SetMutiScanBtnEnabled(false);
    ScanStartBtnClick();
    state_.ContinuousScan = true;
}

void SweepController::StopScanBtnClick() {
    state_.ContinuousScan = false;
    view_.SetScanStartBtnEnabled(true);
    view_.SetMutiScanBtnEnabled(true);
}

void SweepController::SioDataPacketStringPacket(std::string_view data) {
    if (!state_.StartReceived && IsStartMarker(data)) {
        state_.StartReceived = true; // the marker line itself is never decoded
        return;
    }
    if (!state_.StartReceived || !HasFieldSeparator(data)) {
        return;
    }
    MeasurementFields fields;
    try {
        fields = DecodeMeasurement(data, state_.LineEnd);
    } catch (const std::exception& decode_error) {
        // The n-th line belongs to the n-th point: a bad line keeps its place, so the points
        // after it stay at their frequencies. Then its error is shown.
        try {
            AdvanceAndTestEnd();
        } catch (const std::exception& restart_error) {
            // Both failures reach the user, the line's first.
            throw base::Exception(base::ErrorBoxText(decode_error.what()) + "\n" +
                                  restart_error.what());
        }
        throw;
    }
    PerPointStep(fields.a, fields.b, fields.c, fields.d);
}

void SweepController::SioDataPacketTimeout() {
    if (!packet_.Enabled()) { // never toggles a matcher that is already armed
        packet_.SetEnabled(true);
    }
}

void SweepController::PerPointStep(int32_t a, int32_t b, int32_t c, int32_t d) {
    const PlottedPoint point = ComputePoint(a, b, c, d);
    const double x = FreqToKHz(state_.CurFreq);
    chart_.Series1.AddXY(x, point.R);
    chart_.Series2.AddXY(x, point.Z);
    chart_.Series3.AddXY(x, point.Swr);
    AdvanceAndTestEnd();
}

void SweepController::AdvanceAndTestEnd() {
    // A step that carries the frequency past 2^32 - 1 would wrap it below the stop and
    // plot points backwards: it is past the end as well.
    const bool wraps = AdvanceWraps(state_.CurFreq, state_.ScanStep);
    state_.CurFreq = AdvanceFreq(state_.CurFreq, state_.ScanStep);
    if (wraps || state_.CurFreq > state_.StopFreq) {
        EndSweep();
    }
}

void SweepController::EndSweep() {
    state_.StartReceived = false;
    view_.SetScanStartBtnEnabled(true);
    WriteSummary();
    if (state_.ContinuousScan) {
        ScanStartBtnClick(); // runs although the button may be disabled
    }
}

void SweepController::WriteSummary() {
    const SweepSummary summary = SummarizeSweep(
        Values(chart_.Series3.XValues()), Values(chart_.Series3.YValues()), state_.CenterFreq);
    view_.SetSWRLabel(summary.SWRLabel);
    view_.SetCenterSWRLabel(summary.CenterSWRLabel);
}

void SweepController::Chart1MouseMove(int32_t x) {
    chart::TPlotLineSeries& swr = chart_.Series3;
    const double g = SnapToStep(swr.XScreenToValue(x), state_.ScanStep);
    const int32_t i = swr.XValues().Locate(g);

    chart_.Series5.SetXValue(0, g);
    chart_.Series5.SetXValue(1, g);
    chart_.Series5.SetYValue(0, 1.0);
    chart_.Series5.SetYValue(1, 6.0);
    if (i < 0) {
        return;
    }
    const double y = swr.GetyValue(i);
    const chart::TPlotAxis& bottom = chart_.Chart1.BottomAxis();
    chart_.Series6.SetXValue(0, bottom.Minimum());
    chart_.Series6.SetXValue(1, bottom.Maximum());
    chart_.Series6.SetYValue(0, y);
    chart_.Series6.SetYValue(1, y);
    view_.SetSWROKLabel(CursorLabel(y, g));
}

} // namespace app
