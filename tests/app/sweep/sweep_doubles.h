// Test doubles for the sweep controller: a com port that records every write (and can fail
// one), a matcher that records the property changes, and a view holding the control states.
#pragma once

#include "app/sweep/components.h"
#include "app/sweep/sweep_view.h"
#include "base/exceptions.h"
#include "chart/plot.h"
#include "chart/series.h"

#include <string>
#include <vector>

namespace app::testing {

class RecordingComPort : public IComPort {
public:
    uint16_t ComNumber() const override { return com_number; }
    void SetComNumber(uint16_t number) override { com_number = number; }
    int32_t Baud() const override { return baud; }
    void SetBaud(int32_t value) override { baud = value; }
    bool Open() const override { return open; }
    void SetOpen(bool value) override { open = value; }
    void PutString(const std::string& text) override {
        if (fail_writes) {
            throw base::EInOutError(fail_message, 5);
        }
        writes.push_back(text);
    }
    std::vector<std::string> ListConnectedPorts() const override { return {}; }

    uint16_t com_number = 0;
    int32_t baud = 56000;
    bool open = true;
    bool fail_writes = false;
    std::string fail_message = "ie_Open - device already open";
    std::vector<std::string> writes; // each PutString, byte for byte
};

class RecordingDataPacket : public IDataPacket {
public:
    bool Enabled() const override { return enabled; }
    void SetEnabled(bool value) override {
        enabled = value;
        log.push_back(value ? "Enabled=true" : "Enabled=false");
    }
    packet::TPacketStartCond StartCond() const override { return start_cond; }
    void SetStartCond(packet::TPacketStartCond cond) override {
        start_cond = cond;
        log.push_back(cond == packet::scAnyData ? "StartCond=scAnyData" : "StartCond=scString");
    }
    packet::TPacketEndSet EndCond() const override { return end_cond; }
    void SetEndCond(packet::TPacketEndSet cond) override {
        end_cond = cond;
        std::string text = "EndCond=[";
        text += cond.Contains(packet::ecString) ? "ecString" : "";
        text += cond.Contains(packet::ecPacketSize) ? " ecPacketSize" : "";
        log.push_back(text + "]");
    }
    std::string EndString() const override { return end_string; }
    void SetEndString(const std::string& text) override {
        end_string = text;
        log.push_back("EndString=" + text);
    }

    bool enabled = true;
    packet::TPacketStartCond start_cond = packet::scAnyData;
    // As the layout stores it: [ecString, ecPacketSize] would be wrong, so start with both
    // to see that the set is replaced, not added to.
    packet::TPacketEndSet end_cond =
        packet::TPacketEndSet(packet::ecString) + packet::TPacketEndSet(packet::ecPacketSize);
    std::string end_string = "\\r\\n";
    std::vector<std::string> log;
};

class FakeSweepView : public SweepView {
public:
    std::string CenterFreqText() const override { return centre; }
    std::string BWText() const override { return width; }
    std::string ScanStepText() const override { return step; }
    void SetCenterFreqText(const std::string& text) override { centre = text; }
    void SetBWText(const std::string& text) override { width = text; }
    void SetScanStepText(const std::string& text) override { step = text; }
    void SetConnectBtnEnabled(bool enabled) override { connect_enabled = enabled; }
    void SetDisConnectBtnEnabled(bool enabled) override { disconnect_enabled = enabled; }
    void SetScanStartBtnEnabled(bool enabled) override { scan_start_enabled = enabled; }
    void SetMutiScanBtnEnabled(bool enabled) override { muti_scan_enabled = enabled; }
    void SetSWRLabel(const std::string& text) override { swr_label = text; }
    void SetCenterSWRLabel(const std::string& text) override { center_swr_label = text; }
    void SetSWROKLabel(const std::string& text) override { swr_ok_label = text; }

    // The layout's texts and start-up states.
    std::string centre = "14175";
    std::string width = "1000";
    std::string step = "10";
    bool connect_enabled = true;
    bool disconnect_enabled = true;
    bool scan_start_enabled = true;
    bool muti_scan_enabled = true;
    std::string swr_label;
    std::string center_swr_label;
    std::string swr_ok_label;
};

// The window's chart as the sweep sees it: six series in list order, and the cursor lines'
// points of the stored layout.
struct SweepChartParts {
    SweepChartParts() {
        for (chart::TPlotLineSeries* s : {&s1, &s2, &s3, &s4, &s5, &s6}) {
            plot.AddSeries(*s);
        }
        s5.AddXY(5, 1);
        s5.AddXY(5, 6);
        s6.AddXY(1, 6);
        s6.AddXY(3, 6);
    }
    chart::TPlot plot;
    chart::TPlotLineSeries s1, s2, s3, s4, s5, s6;
};

} // namespace app::testing
