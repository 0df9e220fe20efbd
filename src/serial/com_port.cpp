// The com port's properties: stored values, their corrections, and what each does to an open
// port.
#include "serial/com_port.h"

#include "serial/com_port_window.h"
#include "serial/dcb.h"
#include "serial/errors.h"

#include <algorithm>

namespace serial {

namespace {

constexpr uint32_t kMaxTraceSize = 4000000;
constexpr uint32_t kMaxLogSize = 16000000;
// The dispatcher option that follows UseEventWord.
constexpr uint32_t kUseEventWordOption = 0x04;

uint16_t Percent(uint16_t value, uint32_t percent) {
    return static_cast<uint16_t>(static_cast<uint32_t>(value) * percent / 100);
}

uint32_t HWFlowBits(THWFlowOptions options) {
    uint32_t bits = 0;
    bits |= options.Has(hwfUseDTR) ? hfUseDTR : 0;
    bits |= options.Has(hwfUseRTS) ? hfUseRTS : 0;
    bits |= options.Has(hwfRequireDSR) ? hfRequireDSR : 0;
    bits |= options.Has(hwfRequireCTS) ? hfRequireCTS : 0;
    return bits;
}

uint32_t SWFlowBits(TSWFlowOptions options) {
    switch (options) {
    case swfReceive:
        return sfReceiveFlow;
    case swfTransmit:
        return sfTransmitFlow;
    case swfBoth:
        return sfReceiveFlow | sfTransmitFlow;
    case swfNone:
        break;
    }
    return 0;
}

} // namespace

TSioCustomComPort::TSioCustomComPort(base::TComponent* AOwner)
    : base::TComponent(AOwner), alive_(std::make_shared<TSioCustomComPort*>(this)) {}

std::string TSioCustomComPort::Version() {
    return "0.8";
}

int32_t TSioCustomComPort::Check(int32_t code) const {
    return CheckException(this, code);
}

// ---- Device and line ----

void TSioCustomComPort::SetDeviceLayer(TDeviceLayer Value) {
    // The layer of an open port cannot change, and this program has only the serial one.
    if (Value == FDeviceLayer || FPortState != psClosed || Value != dlWin32)
        return;
    FDeviceLayer = Value;
    DeviceLayerChanged();
}

void TSioCustomComPort::SetComNumber(uint16_t Value) {
    if (Value == FComNumber)
        return;
    // A port not open (or still closing, with any open that is pending) takes the number
    // at its next open.
    if (FPortState != psOpen || Loading() || Designing()) {
        FComNumber = Value;
        return;
    }
    // Close and open on the new number. The triggers are saved by the close and restored
    // once, by the open, before the users hear of it.
    const TTraceLogState tracing = FTracing;
    const TTraceLogState logging = FLogging;
    SetOpen(false);
    FComNumber = Value;
    SetTracing(tracing);
    SetLogging(logging);
    SetOpen(true);
}

void TSioCustomComPort::SetBaud(int32_t Value) {
    if (Value == FBaud && !Force)
        return;
    if (auto* d = OpenDispatcher())
        Check(d->SetLine(Value, DontChangeParity, DontChangeDatabits, DontChangeStopbits));
    FBaud = Value;
}

void TSioCustomComPort::SetParity(TParity Value) {
    if (Value == FParity && !Force)
        return;
    if (auto* d = OpenDispatcher())
        Check(d->SetLine(DontChangeBaud, Value, DontChangeDatabits, DontChangeStopbits));
    FParity = Value;
}

void TSioCustomComPort::SetDataBits(uint16_t Value) {
    if (Value == FDataBits && !Force)
        return;
    if (auto* d = OpenDispatcher())
        Check(d->SetLine(DontChangeBaud, DontChangeParity, Value, DontChangeStopbits));
    FDataBits = Value;
}

void TSioCustomComPort::SetStopBits(uint16_t Value) {
    if (Value == FStopBits && !Force)
        return;
    if (auto* d = OpenDispatcher())
        Check(d->SetLine(DontChangeBaud, DontChangeParity, DontChangeDatabits, Value));
    FStopBits = Value;
}

void TSioCustomComPort::SetInSize(uint16_t Value) {
    if (Value == FInSize && !Force)
        return;
    FInSize = Value;
    // The driver's queues change now; the dispatcher's buffers at the next open.
    if (auto* d = OpenDispatcher())
        (void)d->SetupCom(FInSize, FOutSize);
}

void TSioCustomComPort::SetOutSize(uint16_t Value) {
    if (Value == FOutSize && !Force)
        return;
    FOutSize = Value;
    if (auto* d = OpenDispatcher())
        (void)d->SetupCom(FInSize, FOutSize);
}

void TSioCustomComPort::SetDTR(bool OnOff) {
    // Hardware flow control drives the line: a value set by hand would be a lie.
    if (FHWFlowOptions.Has(hwfUseDTR))
        return;
    if (OnOff == FDTR && !Force)
        return;
    if (auto* d = OpenDispatcher())
        Check(d->SetDtr(OnOff));
    FDTR = OnOff;
}

void TSioCustomComPort::SetRTS(bool OnOff) {
    if (FHWFlowOptions.Has(hwfUseRTS))
        return;
    if (OnOff == FRTS && !Force)
        return;
    if (auto* d = OpenDispatcher())
        Check(d->SetRts(OnOff));
    FRTS = OnOff;
}

// ---- Flow control ----

void TSioCustomComPort::SetHWFlowOptions(THWFlowOptions Value) {
    if (Value == FHWFlowOptions && !Force)
        return;
    if (!Value.Empty()) {
        if (FBufferFull == 0 || FBufferFull > FInSize)
            FBufferFull = Percent(FInSize, 90);
        if (FBufferResume == 0 || FBufferResume > FBufferFull)
            FBufferResume = Percent(FInSize, 10);
    }
    if (auto* d = OpenDispatcher())
        Check(d->HWFlowOptions(FBufferFull, FBufferResume, HWFlowBits(Value)));
    FHWFlowOptions = Value;
    if (Value.Has(hwfUseRTS) || Value.Has(hwfRequireCTS))
        FRS485Mode = false;
}

void TSioCustomComPort::SetSWFlowOptions(TSWFlowOptions Value) {
    if (Value == FSWFlowOptions && !Force)
        return;
    if (Value != swfNone) {
        if (FBufferFull == 0 || FBufferFull > FInSize)
            FBufferFull = Percent(FInSize, 75);
        if (FBufferResume == 0 || FBufferResume > FBufferFull)
            FBufferResume = Percent(FInSize, 25);
    }
    if (auto* d = OpenDispatcher()) {
        if (Value == swfNone)
            Check(d->SWFlowDisable());
        else
            Check(d->SWFlowEnable(FBufferFull, FBufferResume, SWFlowBits(Value)));
    }
    FSWFlowOptions = Value;
}

void TSioCustomComPort::SetXOnChar(char Value) {
    if (Value == FXOnChar && !Force)
        return;
    if (auto* d = OpenDispatcher())
        Check(d->SWFlowChars(static_cast<uint8_t>(Value), static_cast<uint8_t>(FXOffChar)));
    FXOnChar = Value;
}

void TSioCustomComPort::SetXOffChar(char Value) {
    if (Value == FXOffChar && !Force)
        return;
    if (auto* d = OpenDispatcher())
        Check(d->SWFlowChars(static_cast<uint8_t>(FXOnChar), static_cast<uint8_t>(Value)));
    FXOffChar = Value;
}

void TSioCustomComPort::SetBufferFull(uint16_t Value) {
    if (Value == FBufferFull && !Force)
        return;
    FBufferFull = Value > FInSize ? Percent(Value, 90) : Value;
    if (FBufferResume > FBufferFull)
        FBufferResume = Percent(FBufferFull, 10);
    ApplyHWFlow();
    ApplySWFlow();
}

void TSioCustomComPort::SetBufferResume(uint16_t Value) {
    if (Value == FBufferResume && !Force)
        return;
    FBufferResume = Value > FBufferFull ? Percent(FBufferFull, 10) : Value;
    ApplyHWFlow();
    ApplySWFlow();
}

// The limits only matter to a flow control that is on, so one that is off is left alone.
void TSioCustomComPort::ApplyHWFlow() {
    if (auto* d = OpenDispatcher(); d != nullptr && !FHWFlowOptions.Empty())
        Check(d->HWFlowOptions(FBufferFull, FBufferResume, HWFlowBits(FHWFlowOptions)));
}

void TSioCustomComPort::ApplySWFlow() {
    if (auto* d = OpenDispatcher(); d != nullptr && FSWFlowOptions != swfNone)
        Check(d->SWFlowEnable(FBufferFull, FBufferResume, SWFlowBits(FSWFlowOptions)));
}

void TSioCustomComPort::SetRS485Mode(bool NewMode) {
    if (NewMode == FRS485Mode && !Force)
        return;
    if (NewMode) {
        // The driver switches RTS for the line's direction: RTS cannot be a flow signal.
        FHWFlowOptions.Exclude(hwfUseRTS);
        FHWFlowOptions.Exclude(hwfRequireCTS);
        SetRTS(false);
    }
    if (auto* d = OpenDispatcher())
        d->SetRS485Mode(NewMode);
    FRS485Mode = NewMode;
}

// ---- Other options ----

void TSioCustomComPort::SetTraceSize(uint32_t Size) {
    Size = std::min(Size, kMaxTraceSize);
    if (Size == FTraceSize && !Force)
        return;
    FTraceSize = Size;
    if (OpenDispatcher() != nullptr && FTracing == tlOn) {
        // A running trace starts again with a ring of the new size.
        SetTracing(tlOff);
        SetTracing(tlOn);
    }
}

void TSioCustomComPort::SetLogSize(uint32_t Size) {
    Size = std::min(Size, kMaxLogSize);
    if (Size == FLogSize && !Force)
        return;
    FLogSize = Size;
    if (OpenDispatcher() != nullptr && FLogging == tlOn) {
        SetLogging(tlOff);
        SetLogging(tlOn);
    }
}

void TSioCustomComPort::SetUseMSRShadow(bool NewUse) {
    FUseMSRShadow = NewUse; // kept for the form; the device layer has no shadow register
}

void TSioCustomComPort::SetUseEventWord(bool NewUse) {
    if (NewUse == FUseEventWord && !Force)
        return;
    if (auto* d = OpenDispatcher()) {
        if (NewUse)
            d->OptionsOn(kUseEventWordOption);
        else
            d->OptionsOff(kUseEventWordOption);
    }
    FUseEventWord = NewUse;
}

uint16_t TSioCustomComPort::BaseAddress() const {
    auto* d = OpenDispatcher();
    return d != nullptr ? d->GetBaseAddress() : 0;
}

void TSioCustomComPort::SetBaseAddress(uint16_t NewBaseAddress) {
    if (auto* d = OpenDispatcher())
        d->SetBaseAddress(NewBaseAddress);
}

void TSioCustomComPort::SetThreadBoost(TSioThreadBoost Boost) {
    if (Boost == FThreadBoost && !Force)
        return;
    if (auto* d = OpenDispatcher())
        d->SetThreadBoost(static_cast<uint8_t>(Boost));
    FThreadBoost = Boost;
}

void TSioCustomComPort::SetTriggerLength(uint16_t NewLength) {
    if (NewLength == FTriggerLength && !Force)
        return;
    if (auto* d = OpenDispatcher())
        d->ChangeLengthTrigger(NewLength);
    FTriggerLength = NewLength;
}

// ---- Trigger events ----

bool TSioCustomComPort::TriggerEventAssigned() const {
    return FOnTrigger || FOnTriggerAvail || FOnTriggerData || FOnTriggerStatus || FOnTriggerTimer ||
           FOnTriggerLineError || FOnTriggerModemStatus || FOnTriggerOutbuffFree ||
           FOnTriggerOutbuffUsed || FOnTriggerOutSent;
}

void TSioCustomComPort::UpdateHandlerFlag() {
    if (auto* d = OpenDispatcher()) {
        d->UpdateHandlerFlags(TriggerEventAssigned() ? TSioHandlerFlagUpdate::fuEnablePort
                                                     : TSioHandlerFlagUpdate::fuDisablePort);
    }
}

void TSioCustomComPort::SetOnTrigger(TTriggerEvent Value) {
    FOnTrigger = std::move(Value);
    UpdateHandlerFlag();
}
void TSioCustomComPort::SetOnTriggerAvail(TTriggerAvailEvent Value) {
    FOnTriggerAvail = std::move(Value);
    UpdateHandlerFlag();
}
void TSioCustomComPort::SetOnTriggerData(TTriggerDataEvent Value) {
    FOnTriggerData = std::move(Value);
    UpdateHandlerFlag();
}
void TSioCustomComPort::SetOnTriggerStatus(TTriggerStatusEvent Value) {
    FOnTriggerStatus = std::move(Value);
    UpdateHandlerFlag();
}
void TSioCustomComPort::SetOnTriggerTimer(TTriggerTimerEvent Value) {
    FOnTriggerTimer = std::move(Value);
    UpdateHandlerFlag();
}
void TSioCustomComPort::SetOnTriggerLineError(TTriggerLineErrorEvent Value) {
    FOnTriggerLineError = std::move(Value);
    UpdateHandlerFlag();
}
void TSioCustomComPort::SetOnTriggerModemStatus(TNotifyEvent Value) {
    FOnTriggerModemStatus = std::move(Value);
    UpdateHandlerFlag();
}
void TSioCustomComPort::SetOnTriggerOutbuffFree(TNotifyEvent Value) {
    FOnTriggerOutbuffFree = std::move(Value);
    UpdateHandlerFlag();
}
void TSioCustomComPort::SetOnTriggerOutbuffUsed(TNotifyEvent Value) {
    FOnTriggerOutbuffUsed = std::move(Value);
    UpdateHandlerFlag();
}
void TSioCustomComPort::SetOnTriggerOutSent(TNotifyEvent Value) {
    FOnTriggerOutSent = std::move(Value);
    UpdateHandlerFlag();
}

// ---- Copying ----

void TSioCustomComPort::Assign(const TSioCustomComPort& Source) {
    if (&Source == this)
        return;
    // The copy is a closed port with the source's settings.
    SetOpen(false);
    UserList = Source.UserList;
    if (Source.FPortState == psOpen && Source.FDispatcher) {
        Source.FDispatcher->SaveTriggers(SaveTriggerBuffer);
        CopyTriggers = true;
    }
    FDeviceLayer = Source.FDeviceLayer;
    FComNumber = Source.FComNumber;
    FBaud = Source.FBaud;
    FParity = Source.FParity;
    FDataBits = Source.FDataBits;
    FStopBits = Source.FStopBits;
    FInSize = Source.FInSize;
    FOutSize = Source.FOutSize;
    FAutoOpen = Source.FAutoOpen;
    FPromptForPort = Source.FPromptForPort;
    FRS485Mode = Source.FRS485Mode;
    FThreadBoost = Source.FThreadBoost;
    FDTR = Source.FDTR;
    FRTS = Source.FRTS;
    FBufferFull = Source.FBufferFull;
    FBufferResume = Source.FBufferResume;
    FHWFlowOptions = Source.FHWFlowOptions;
    FSWFlowOptions = Source.FSWFlowOptions;
    FXOnChar = Source.FXOnChar;
    FXOffChar = Source.FXOffChar;
    FTracing = Source.FTracing;
    FTraceSize = Source.FTraceSize;
    FTraceName = Source.FTraceName;
    FTraceHex = Source.FTraceHex;
    FTraceAllHex = Source.FTraceAllHex;
    FLogging = Source.FLogging;
    FLogSize = Source.FLogSize;
    FLogName = Source.FLogName;
    FLogHex = Source.FLogHex;
    FLogAllHex = Source.FLogAllHex;
    FTriggerLength = Source.FTriggerLength;
    FTapiMode = Source.FTapiMode;
    FOnTrigger = Source.FOnTrigger;
    FOnTriggerAvail = Source.FOnTriggerAvail;
    FOnTriggerData = Source.FOnTriggerData;
    FOnTriggerStatus = Source.FOnTriggerStatus;
    FOnTriggerTimer = Source.FOnTriggerTimer;
    OnPortOpen = Source.OnPortOpen;
    OnPortClose = Source.OnPortClose;
    FOpen = false;
}

} // namespace serial
