// Output, input, triggers and the line through the com port, and the line and buffer state
// it reports. Input and output open a closed port (AutoOpen); state reads never do.
#include "serial/com_port.h"
#include "serial/dcb.h"
#include "serial/errors.h"

namespace serial {

// ---- Output ----

void TSioCustomComPort::PutString(const std::string& S) {
    // Bytes handed to a port that is closing would be dropped while the caller believes
    // them sent.
    if (ShuttingDown())
        throw ECommNotOpen(ecCommNotOpen);
    TSioBaseDispatcher& d = ValidDispatcher();
    Check(d.PutBlock(reinterpret_cast<const uint8_t*>(S.data()), static_cast<uint32_t>(S.size())));
}

int32_t TSioCustomComPort::PutChar(char C) {
    return PutBlock(&C, 1);
}

int32_t TSioCustomComPort::PutBlock(const void* Block, uint16_t Len) {
    if (ShuttingDown())
        throw ECommNotOpen(ecCommNotOpen);
    TSioBaseDispatcher& d = ValidDispatcher();
    Check(d.PutBlock(static_cast<const uint8_t*>(Block), Len));
    return 0;
}

// ---- Input ----

bool TSioCustomComPort::CharReady() {
    if (ShuttingDown())
        return false;
    return ValidDispatcher().CharReady();
}

char TSioCustomComPort::PeekChar(uint16_t Count) {
    if (ShuttingDown())
        return '\0';
    uint8_t c = 0;
    Check(ValidDispatcher().PeekChar(c, Count));
    return static_cast<char>(c);
}

char TSioCustomComPort::GetChar() {
    if (ShuttingDown())
        return '\0';
    uint8_t c = 0;
    Check(ValidDispatcher().GetChar(c));
    return static_cast<char>(c);
}

void TSioCustomComPort::PeekBlock(void* Block, uint16_t Len) {
    if (ShuttingDown())
        return;
    Check(ValidDispatcher().PeekBlock(static_cast<uint8_t*>(Block), Len));
}

void TSioCustomComPort::GetBlock(void* Block, uint16_t Len) {
    if (ShuttingDown())
        return;
    Check(ValidDispatcher().GetBlock(static_cast<uint8_t*>(Block), Len));
}

void TSioCustomComPort::FlushInBuffer() {
    if (ShuttingDown())
        return;
    Check(ValidDispatcher().FlushInBuffer());
}

void TSioCustomComPort::FlushOutBuffer() {
    if (ShuttingDown())
        return;
    Check(ValidDispatcher().FlushOutBuffer());
}

void TSioCustomComPort::ProcessCommunications() {
    if (ShuttingDown())
        return;
    Check(ValidDispatcher().ProcessCommunications());
}

// ---- Triggers ----

uint16_t TSioCustomComPort::AddDataTrigger(const std::string& Data, bool IgnoreCase) {
    if (ShuttingDown())
        return 0;
    if (Data.size() > 255)
        throw ETriggerTooLong(ecTriggerTooLong);
    TSioBaseDispatcher& d = ValidDispatcher();
    return static_cast<uint16_t>(
        Check(d.AddDataTriggerLen(reinterpret_cast<const uint8_t*>(Data.data()), IgnoreCase,
                                  static_cast<uint32_t>(Data.size()))));
}

uint16_t TSioCustomComPort::AddTimerTrigger() {
    if (ShuttingDown())
        return 0;
    return static_cast<uint16_t>(Check(ValidDispatcher().AddTimerTrigger()));
}

uint16_t TSioCustomComPort::AddStatusTrigger(uint16_t SType) {
    if (ShuttingDown())
        return 0;
    return static_cast<uint16_t>(Check(ValidDispatcher().AddStatusTrigger(SType)));
}

void TSioCustomComPort::SetTimerTrigger(uint16_t Handle, int32_t Ticks, bool Activate) {
    if (ShuttingDown())
        return;
    Check(ValidDispatcher().SetTimerTrigger(Handle, Ticks, Activate));
}

void TSioCustomComPort::SetStatusTrigger(uint16_t Handle, uint16_t Value, bool Activate) {
    if (ShuttingDown())
        return;
    Check(ValidDispatcher().SetStatusTrigger(Handle, Value, Activate));
}

void TSioCustomComPort::RemoveTrigger(uint16_t Handle) {
    if (auto* d = OpenDispatcher())
        Check(d->RemoveTrigger(Handle));
}

void TSioCustomComPort::RemoveAllTriggers() {
    if (auto* d = OpenDispatcher()) {
        d->RemoveAllTriggers();
        FTriggerLength = 0;
    }
}

// ---- Line ----

void TSioCustomComPort::SendBreak(uint16_t Ticks, bool Yield) {
    if (ShuttingDown())
        return;
    ValidDispatcher().SendBreak(Ticks, Yield);
}

void TSioCustomComPort::SetBreak(bool BreakOn) {
    if (ShuttingDown())
        return;
    ValidDispatcher().SetBreak(BreakOn);
}

// ---- Line and buffer state ----

TFlowControlState TSioCustomComPort::FlowState() {
    auto* d = OpenDispatcher();
    if (d == nullptr)
        return fcOff;
    switch (Check(d->HWFlowState())) {
    case fsOn:
        return fcOn;
    case fsDsrHold:
        return fcDsrHold;
    case fsCtsHold:
        return fcCtsHold;
    default:
        break;
    }
    switch (Check(d->SWFlowState())) {
    case fsOn:
        return fcOn;
    case fsXOutHold:
        return fcXOutHold;
    case fsXInHold:
        return fcXInHold;
    case fsXBothHold:
        return fcXBothHold;
    default:
        return fcOff;
    }
}

uint8_t TSioCustomComPort::ModemStatus() {
    auto* d = OpenDispatcher();
    return d != nullptr ? d->GetModemStatus() : 0;
}

bool TSioCustomComPort::DSR() {
    auto* d = OpenDispatcher();
    return d != nullptr && d->CheckDSR();
}

bool TSioCustomComPort::CTS() {
    auto* d = OpenDispatcher();
    return d != nullptr && d->CheckCTS();
}

bool TSioCustomComPort::RI() {
    auto* d = OpenDispatcher();
    return d != nullptr && d->CheckRI();
}

bool TSioCustomComPort::DCD() {
    auto* d = OpenDispatcher();
    return d != nullptr && d->CheckDCD();
}

bool TSioCustomComPort::DeltaDSR() {
    auto* d = OpenDispatcher();
    return d != nullptr && d->CheckDeltaDSR();
}

bool TSioCustomComPort::DeltaCTS() {
    auto* d = OpenDispatcher();
    return d != nullptr && d->CheckDeltaCTS();
}

bool TSioCustomComPort::DeltaRI() {
    auto* d = OpenDispatcher();
    return d != nullptr && d->CheckDeltaRI();
}

bool TSioCustomComPort::DeltaDCD() {
    auto* d = OpenDispatcher();
    return d != nullptr && d->CheckDeltaDCD();
}

uint16_t TSioCustomComPort::LineError() {
    auto* d = OpenDispatcher();
    return d != nullptr ? static_cast<uint16_t>(Check(d->GetLineError())) : 0;
}

bool TSioCustomComPort::LineBreak() {
    auto* d = OpenDispatcher();
    return d != nullptr && d->CheckLineBreak();
}

uint32_t TSioCustomComPort::InBuffUsed() {
    auto* d = OpenDispatcher();
    return d != nullptr ? static_cast<uint32_t>(Check(d->InBuffUsed())) : 0;
}

uint32_t TSioCustomComPort::InBuffFree() {
    if (ShuttingDown())
        return 0;
    auto* d = OpenDispatcher();
    return d != nullptr ? static_cast<uint32_t>(Check(d->InBuffFree())) : DispatchBufferSize;
}

uint32_t TSioCustomComPort::OutBuffUsed() {
    auto* d = OpenDispatcher();
    return d != nullptr ? static_cast<uint32_t>(Check(d->OutBuffUsed())) : 0;
}

uint32_t TSioCustomComPort::OutBuffFree() {
    if (ShuttingDown())
        return 0;
    auto* d = OpenDispatcher();
    return d != nullptr ? static_cast<uint32_t>(Check(d->OutBuffFree())) : FOutSize;
}

} // namespace serial
