// The receiver of an open port's trigger notifications on the owner thread: the dispatcher
// sends to it through the message loop, and it hands them to the com port's trigger events.
#pragma once

#include "serial/serial_types.h"

namespace serial {

class TSioCustomComPort;

class TComWindow : public TSioWindow {
public:
    explicit TComWindow(TSioCustomComPort& port) : port_(port) {}
    // Never throws: what a trigger event raises is shown by the error display, so the
    // dispatch thread that sent the notification carries on.
    void WndProc(uint32_t Msg, uint32_t wParam, int32_t lParam) override;

private:
    TSioCustomComPort& port_;
};

} // namespace serial
