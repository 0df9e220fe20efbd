// The controls that the sweep handlers read and write, as the window exposes them. Texts are
// UTF-8; the window converts at its boundary. User-interface thread only.
#pragma once

#include <string>

namespace app {

class SweepView {
public:
    virtual ~SweepView() = default;

    // Edit texts (kHz), read by FormCreate and Start Scan, written by the band quick setup.
    [[nodiscard]] virtual std::string CenterFreqText() const = 0;
    [[nodiscard]] virtual std::string BWText() const = 0;
    [[nodiscard]] virtual std::string ScanStepText() const = 0;
    virtual void SetCenterFreqText(const std::string& text) = 0;
    virtual void SetBWText(const std::string& text) = 0;
    virtual void SetScanStepText(const std::string& text) = 0;

    // Enabled states of the buttons the handlers switch.
    virtual void SetConnectBtnEnabled(bool enabled) = 0;
    virtual void SetDisConnectBtnEnabled(bool enabled) = 0;
    virtual void SetScanStartBtnEnabled(bool enabled) = 0;
    virtual void SetMutiScanBtnEnabled(bool enabled) = 0;

    // The three readouts on the chart.
    virtual void SetSWRLabel(const std::string& text) = 0;
    virtual void SetCenterSWRLabel(const std::string& text) = 0;
    virtual void SetSWROKLabel(const std::string& text) = 0;
};

} // namespace app
