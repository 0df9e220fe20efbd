// The dispatcher's line settings and line status: SetLine and the flow-control options on
// the DCB, DTR/RTS and break, the modem status byte, the line error bits and the status
// triggers. The DCB, the line state and the status bytes change under DataSection; DTR, RTS
// and break go to the device without it.
#include "base/deadline.h"
#include "base/message_loop.h"
#include "serial/dispatcher.h"
#include "serial/error_codes.h"
#include "serial/line_status.h"

#include <chrono>
#include <mutex>
#include <sys/resource.h>
#include <thread>

namespace serial {

namespace {

using std::chrono::milliseconds;

// Applies dcb with DataSection held: DTR and RTS follow their wanted states unless flow
// control drives them, then the device takes the settings and the wanted states are
// asserted again (the driver may have changed the lines). A refused DCB leaves the stored
// settings and LastBaud as they were.
int32_t ApplyDcb(TSioBaseDispatcher& d, DCB dcb) {
    if (!d.DTRAuto) {
        dcb.fDtrControl = d.DTRState ? TDtrControl::dtrEnable : TDtrControl::dtrDisable;
    }
    if (!d.RTSAuto) {
        dcb.fRtsControl = d.RTSState ? TRtsControl::rtsEnable : TRtsControl::rtsDisable;
    }
    const int32_t result = d.SetComState(dcb);
    if (result < 0) {
        return result;
    }
    d.DCB = dcb;
    d.LastBaud = static_cast<int32_t>(dcb.BaudRate);
    d.SetDtr(d.DTRState);
    if (!d.RS485Mode) {
        d.SetRts(d.RTSState);
    }
    return result;
}

// Sleeps for length; on the owner thread the pending synchronized calls run meanwhile, so a
// handler waiting for that thread does not hold the dispatch thread up.
void PauseRunningCalls(milliseconds length) {
    base::MessageLoop& loop = base::CurrentMessageLoop();
    if (!loop.IsOwnerThread()) {
        std::this_thread::sleep_for(length);
        return;
    }
    const auto deadline = base::DeadlineAfter(length);
    while (true) {
        loop.ProcessMessages();
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            return;
        }
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(deadline - now, milliseconds(2)));
    }
}

bool ValidFlowLimits(const TSioBaseDispatcher& d, uint16_t BufferFull, uint16_t BufferResume) {
    return BufferFull >= BufferResume && BufferFull <= d.InQue;
}

} // namespace

int32_t TSioBaseDispatcher::SetLine(int32_t Baud, int32_t Parity, int32_t DataBits,
                                    int32_t StopBits) {
    if (!ValidLineArguments(Baud, Parity, DataBits, StopBits)) {
        return ecBadArgument;
    }
    {
        std::lock_guard lock(DataSection);
        serial::DCB current;
        if (const int32_t rc = GetComState(current); rc < 0) {
            return rc;
        }
        DCB = current;
        if (SameLine(ComposeLine(current, Baud, Parity, DataBits, StopBits), current)) {
            return ecOK;
        }
    }

    // Let what is queued leave at the old settings. Outside the lock, so that the write
    // thread can drain the ring meanwhile; bounded at 5000 looks.
    for (int i = 0; i < 5000 && OutBuffUsed() > 0; ++i) {
        PauseRunningCalls(milliseconds(2));
    }
    uint32_t in_flight_ms = 0;
    {
        std::lock_guard lock(DataSection);
        serial::DCB current;
        if (const int32_t rc = GetComState(current); rc < 0) {
            return rc;
        }
        DCB = current;
        in_flight_ms = DrainWaitMs(static_cast<uint32_t>(LastBaud), current);
    }
    if (in_flight_ms > 0) {
        PauseRunningCalls(milliseconds(in_flight_ms));
    }

    std::lock_guard lock(DataSection);
    serial::DCB current;
    if (const int32_t rc = GetComState(current); rc < 0) {
        return rc;
    }
    DCB = current;
    return ApplyDcb(*this, ComposeLine(current, Baud, Parity, DataBits, StopBits));
}

void TSioBaseDispatcher::GetLine(int32_t& Baud, int32_t& Parity, int32_t& DataBits,
                                 int32_t& StopBits) {
    std::lock_guard lock(DataSection);
    Baud = static_cast<int32_t>(LegacyBaudRate(DCB.BaudRate));
    Parity = DCB.Parity;
    DataBits = DCB.ByteSize;
    StopBits = DCB.StopBits != ONESTOPBIT ? 2 : 1;
}

int32_t TSioBaseDispatcher::SetDtr(bool OnOff) {
    if (DTRAuto) {
        return 1;
    }
    const int32_t result = EscapeComFunction(OnOff ? SETDTR : CLRDTR);
    DTRState = OnOff;
    return result < 0 ? ecBadArgument : result;
}

int32_t TSioBaseDispatcher::SetRts(bool OnOff) {
    if (RTSAuto) {
        return 1;
    }
    const int32_t result = EscapeComFunction(OnOff ? SETRTS : CLRRTS);
    RTSState = OnOff;
    return result < 0 ? ecBadArgument : result;
}

int32_t TSioBaseDispatcher::HWFlowOptions(uint16_t BufferFull, uint16_t BufferResume,
                                          uint32_t Options) {
    if (!ValidFlowLimits(*this, BufferFull, BufferResume)) {
        return ecBadArgument;
    }
    std::lock_guard lock(DataSection);
    serial::DCB dcb;
    if (const int32_t rc = GetComState(dcb); rc < 0) {
        return rc;
    }
    DCB = dcb;
    const bool dtr_auto = DTRAuto;
    const bool rts_auto = RTSAuto;
    dcb.fOutxCtsFlow = false;
    dcb.fOutxDsrFlow = false;
    dcb.fDtrControl = TDtrControl::dtrDisable;
    dcb.fRtsControl = TRtsControl::rtsDisable;
    DTRAuto = false;
    RTSAuto = false;
    if (Options & hfUseDTR) {
        dcb.fDtrControl = TDtrControl::dtrHandshake;
        DTRAuto = true;
    } else if (DTRState) {
        dcb.fDtrControl = TDtrControl::dtrEnable;
    }
    if (Options & hfUseRTS) {
        dcb.fRtsControl = TRtsControl::rtsHandshake;
        RTSAuto = true;
    } else if (RTSState) {
        dcb.fRtsControl = TRtsControl::rtsEnable;
    }
    // The drivers here switch RTS for the direction of an RS-485 line themselves.
    if (RS485Mode) {
        dcb.fRtsControl = TRtsControl::rtsToggle;
        RTSAuto = true;
    }
    dcb.XoffLim = static_cast<uint16_t>(InQue - BufferFull);
    dcb.XonLim = BufferResume;
    if (Options & hfRequireDSR) {
        dcb.fOutxDsrFlow = true;
    }
    if (Options & hfRequireCTS) {
        dcb.fOutxCtsFlow = true;
    }
    const int32_t result = ApplyDcb(*this, dcb);
    if (result < 0) {
        DTRAuto = dtr_auto;
        RTSAuto = rts_auto;
    }
    return result;
}

int32_t TSioBaseDispatcher::SWFlowEnable(uint16_t BufferFull, uint16_t BufferResume,
                                         uint32_t Options) {
    if (!ValidFlowLimits(*this, BufferFull, BufferResume)) {
        return ecBadArgument;
    }
    std::lock_guard lock(DataSection);
    serial::DCB dcb;
    if (const int32_t rc = GetComState(dcb); rc < 0) {
        return rc;
    }
    DCB = dcb;
    if (Options & sfReceiveFlow) {
        dcb.fInX = true;
        dcb.XoffLim = static_cast<uint16_t>(InQue - BufferFull);
        dcb.XonLim = BufferResume;
    }
    if (Options & sfTransmitFlow) {
        dcb.fOutX = true;
    }
    if (Options & (sfReceiveFlow | sfTransmitFlow)) {
        dcb.XonChar = 17;
        dcb.XoffChar = 19;
    }
    return ApplyDcb(*this, dcb);
}

int32_t TSioBaseDispatcher::SWFlowDisable() {
    std::lock_guard lock(DataSection);
    serial::DCB dcb;
    if (const int32_t rc = GetComState(dcb); rc < 0) {
        return rc;
    }
    DCB = dcb;
    dcb.fOutX = false;
    dcb.fInX = false;
    return ApplyDcb(*this, dcb);
}

int32_t TSioBaseDispatcher::SWFlowChars(uint8_t OnChar, uint8_t OffChar) {
    std::lock_guard lock(DataSection);
    serial::DCB dcb;
    if (const int32_t rc = GetComState(dcb); rc < 0) {
        return rc;
    }
    DCB = dcb;
    dcb.XonChar = OnChar;
    dcb.XoffChar = OffChar;
    return ApplyDcb(*this, dcb);
}

int32_t TSioBaseDispatcher::HWFlowState() {
    std::lock_guard lock(DataSection);
    const bool dtr_handshake = DCB.fDtrControl == TDtrControl::dtrHandshake;
    const bool rts_handshake = DCB.fRtsControl == TRtsControl::rtsHandshake;
    if (!DCB.fOutxCtsFlow && !DCB.fOutxDsrFlow && !dtr_handshake && !rts_handshake) {
        return fsOff;
    }
    int32_t state = fsOn;
    if (dtr_handshake || rts_handshake) {
        RefreshLineErrors();
        if (DCB.fOutxDsrFlow && ComStatus.fDsrHold) {
            state = fsDsrHold;
        }
        if (DCB.fOutxCtsFlow && ComStatus.fCtsHold) {
            state = fsCtsHold;
        }
    }
    return state;
}

int32_t TSioBaseDispatcher::SWFlowState() {
    std::lock_guard lock(DataSection);
    if (!DCB.fOutX && !DCB.fInX) {
        return fsOff;
    }
    RefreshLineErrors();
    if (ComStatus.fXoffSent) {
        return ComStatus.fXoffHold ? fsXBothHold : fsXInHold;
    }
    return ComStatus.fXoffHold ? fsXOutHold : fsOn;
}

uint8_t TSioBaseDispatcher::ReadModemStatus(uint8_t Mask) {
    std::lock_guard lock(DataSection);
    uint32_t lines = ModemStatus;
    // A device that cannot tell keeps the lines as last seen.
    if (GetComModemStatus(lines) < 0) {
        lines = ModemStatus;
    }
    ModemStatus = MergeModemLines(ModemStatus, lines, RingFlag);
    RingFlag = false;
    const uint8_t result = ModemStatus;
    ModemStatus &= Mask;
    return result;
}

void TSioBaseDispatcher::UpdateModemChangeFlags() {
    std::lock_guard lock(DataSection);
    const uint8_t old_status = ModemStatus;
    ReadModemStatus(0xFF);
    ModemStatus |= ChangedLines(old_status, ModemStatus);
}

uint8_t TSioBaseDispatcher::GetModemStatus() {
    return ReadModemStatus(0xF0);
}

bool TSioBaseDispatcher::CheckCTS() {
    return (ReadModemStatus(0xFE) & msCTS) != 0;
}
bool TSioBaseDispatcher::CheckDSR() {
    return (ReadModemStatus(0xFD) & msDSR) != 0;
}
bool TSioBaseDispatcher::CheckRI() {
    return (ReadModemStatus(0xFB) & msRing) != 0;
}
bool TSioBaseDispatcher::CheckDCD() {
    return (ReadModemStatus(0xF7) & msDCD) != 0;
}
bool TSioBaseDispatcher::CheckDeltaCTS() {
    return (ReadModemStatus(0xFE) & msCTSDelta) != 0;
}
bool TSioBaseDispatcher::CheckDeltaDSR() {
    return (ReadModemStatus(0xFD) & msDSRDelta) != 0;
}
bool TSioBaseDispatcher::CheckDeltaRI() {
    return (ReadModemStatus(0xFB) & msRingDelta) != 0;
}
bool TSioBaseDispatcher::CheckDeltaDCD() {
    return (ReadModemStatus(0xF7) & msDCDDelta) != 0;
}

void TSioBaseDispatcher::RefreshLineErrors() {
    std::lock_guard lock(DataSection);
    // A failed call reports no bits; a negative code read as bits would invent errors.
    const int32_t bits = GetComError(ComStatus);
    if (bits > 0) {
        LastError |= static_cast<uint32_t>(bits) & leAllBits;
    }
}

int32_t TSioBaseDispatcher::GetLineError() {
    std::lock_guard lock(DataSection);
    const int32_t result = LineErrorCode(LastError);
    if (result != leNone) {
        LastError &= ~(leBufferBit | leOverrunBit | leParityBit | leFramingBit);
    }
    return result;
}

bool TSioBaseDispatcher::CheckLineBreak() {
    std::lock_guard lock(DataSection);
    const bool on = (LastError & leBreakBit) != 0;
    LastError &= ~leBreakBit;
    return on;
}

void TSioBaseDispatcher::SetBreak(bool On) {
    SetComBreak(On);
}

void TSioBaseDispatcher::SendBreak(uint32_t Ticks, bool Yield) {
    // RS-485: the line must be driven while the break is on.
    if (RS485Mode) {
        EscapeComFunction(SETRTS);
    }
    SetBreak(true);
    const milliseconds length(uint64_t{Ticks} * 55);
    if (Yield) {
        PauseRunningCalls(length);
    } else {
        std::this_thread::sleep_for(length);
    }
    SetBreak(false);
    if (RS485Mode && OutBuffUsed() == 0) {
        EscapeComFunction(CLRRTS);
    }
}

void TSioBaseDispatcher::OptionsOn(uint32_t Bits) {
    std::lock_guard lock(DataSection);
    Flags |= Bits;
}

void TSioBaseDispatcher::OptionsOff(uint32_t Bits) {
    std::lock_guard lock(DataSection);
    Flags &= ~Bits;
}

void TSioBaseDispatcher::SetRS485Mode(bool OnOff) {
    {
        std::lock_guard lock(DataSection);
        RS485Mode = OnOff;
    }
    // The write thread runs one step above the others while it switches the direction. The
    // drivers here switch RTS themselves, so no base address is asked for.
    std::lock_guard lock(threads_lock_);
    if (OutThread != nullptr && OutThread->ThreadId.load() != 0) {
        const int steps = ThreadBoost + (OnOff ? 1 : 0);
        // Raising a priority needs privileges: best effort, failures are ignored.
        (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(OutThread->ThreadId.load()), -steps);
    }
}

void TSioBaseDispatcher::SetBaseAddress(uint16_t Address) {
    std::lock_guard lock(DataSection);
    BaseAddress = Address;
}

uint16_t TSioBaseDispatcher::GetBaseAddress() {
    std::lock_guard lock(DataSection);
    return BaseAddress;
}

int32_t TSioBaseDispatcher::SetStatusTrigger(uint32_t Handle, uint16_t Value, bool Activate) {
    std::lock_guard lock(DataSection);
    for (TStatusTrigger& trigger : StatusTriggers) {
        if (trigger.tHandle != Handle) {
            continue;
        }
        if (Activate) {
            trigger.tValue = StatusTriggerValue(trigger.tSType, Value, ModemStatus);
        }
        trigger.tSActive = Activate;
        return ecOK;
    }
    return ecBadTriggerHandle;
}

bool TSioBaseDispatcher::CheckStatusTriggers() {
    uint32_t handle = 0;
    uint32_t value = 0;
    {
        std::lock_guard lock(DataSection);
        TStatusTrigger* fired = nullptr;
        for (TStatusTrigger& trigger : StatusTriggers) {
            if (!trigger.tSActive || trigger.StatusHit) {
                continue;
            }
            bool holds = false;
            switch (trigger.tSType) {
            case stModem:
                holds = (((trigger.tValue & 0xFF) ^ ModemStatus) & (trigger.tValue >> 8)) != 0;
                break;
            case stLine:
                holds = (trigger.tValue & LastError) != 0;
                if (holds) {
                    trigger.tValue = static_cast<uint16_t>(LastError);
                }
                break;
            case stOutBuffFree: {
                const int32_t free = OutBuffFree();
                holds = free >= 0 && static_cast<uint32_t>(free) >= trigger.tValue;
                value = holds ? static_cast<uint32_t>(free) : 0;
                break;
            }
            case stOutBuffUsed: {
                const int32_t used = OutBuffUsed();
                holds = used >= 0 && static_cast<uint32_t>(used) <= trigger.tValue;
                value = holds ? static_cast<uint32_t>(used) : 0;
                break;
            }
            case stOutSent:
                holds = OutSentPending.exchange(false);
                break;
            default:
                break;
            }
            if (holds) {
                fired = &trigger;
                break;
            }
        }
        if (fired == nullptr) {
            return false;
        }
        fired->tSActive = false;
        fired->StatusHit = true;
        GlobalStatHit = true;
        handle = fired->tHandle;
    }
    // The value shares lParam with the dispatcher's handle, so only its low word goes.
    return SendNotify(APW_TRIGGERSTATUS, handle, value & 0xFFFF);
}

void TSioBaseDispatcher::ResetStatusHits() {
    std::lock_guard lock(DataSection);
    for (TStatusTrigger& trigger : StatusTriggers) {
        trigger.StatusHit = false;
    }
    GlobalStatHit = false;
}

} // namespace serial
