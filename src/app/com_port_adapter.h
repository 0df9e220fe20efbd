// The window's com port: the serial layer's TSioComPort behind the window's IComPort seam,
// configured as the window's stored layout says (56000 baud) and asking for a port through
// the port selection dialog when it has no number.
#pragma once

#include "app/sweep/components.h"
#include "serial/com_port.h"
#include "serial/platform.h"
#include "serial/qt/com_select_form.h"

#include <memory>

namespace app {

class ComPortAdapter : public IComPort {
public:
    static constexpr int32_t kStoredBaud = 56000;

    // dialog_parent: the window the port selection dialog is centred over (may be null).
    explicit ComPortAdapter(QWidget* dialog_parent = nullptr);

    [[nodiscard]] uint16_t ComNumber() const override { return port_->ComNumber(); }
    void SetComNumber(uint16_t number) override { port_->SetComNumber(number); }
    [[nodiscard]] int32_t Baud() const override { return port_->Baud(); }
    void SetBaud(int32_t baud) override { port_->SetBaud(baud); }
    [[nodiscard]] bool Open() const override { return port_->Open(); }
    void SetOpen(bool open) override { port_->SetOpen(open); }
    void PutString(const std::string& text) override { port_->PutString(text); }
    [[nodiscard]] std::vector<std::string> ListConnectedPorts() const override {
        return serial::ListPlatformPorts();
    }

    serial::TSioComPort& Port() { return *port_; }

private:
    serial::TComSelectFormSelector selector_;
    std::unique_ptr<serial::TSioComPort> port_; // after selector_: it refers to it
};

} // namespace app
