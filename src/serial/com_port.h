// The com port component: the settings of one serial port as properties, the port opened on
// demand by creating a dispatcher, setting changes applied to the open port, text queued for
// sending, users told when the port opens and closes, and the dispatcher's codes turned into
// exceptions (CheckException).
//
// Contract:
// - Owner thread only (the thread that created the component, the UI thread in the
//   program): properties, opening, closing, output, input, triggers and users. Trigger
//   events (OnTrigger*) and the deferred close run there too, through base::MessageLoop.
//   The dispatcher's threads never call the component except to raise a worker error.
// - Failures are exceptions of the ESioException tree; while loading, codes are returned
//   instead (CheckException). A failed open leaves the port closed with no dispatcher and
//   no thread, the settings as they were set.
// - Reading line status, counts or flow state of a closed port never opens it; output and
//   input operations open it first when AutoOpen is set, else raise ECommNotOpen.
// - Closing stops the dispatcher before the users hear ctClosing (it is still there, its
//   threads gone, so a user can remove its triggers) and ctClosed (it is gone): no user is
//   told while the dispatch thread is inside a notification. A user that raises does not
//   stop the close; the first exception is raised once the port is closed.
// - A close asked for while the dispatch thread is inside a notification (from a trigger
//   event, say) finishes later on the owner thread on a short timer; until then the port is
//   psShuttingDown: output raises ECommNotOpen, input and triggers do nothing, a request to
//   open is kept (OpenPending). Destroying the component finishes such a close.
//
// Sources: com_port.cpp (properties, flow control), com_port_open.cpp (opening, closing,
// loading, the deferred close), com_port_users.cpp (the user list), com_port_io.cpp (output,
// input, triggers, line and status reads), com_port_trace.cpp (tracing and the dispatch log),
// com_port_window.cpp (the receiver of trigger notifications), com_port_find.cpp (port
// selection, SearchComPort).
#pragma once

#include "base/component.h"
#include "serial/com_port_types.h"
#include "serial/dispatcher.h"

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace serial {

class TComWindow;

// Makes the dispatcher for an open, owned by the port given (replaces the device layer).
using TCustomDispatcher = std::function<TSioDispatcherPtr(TSioCustomComPort& Owner)>;

class TSioCustomComPort : public base::TComponent {
public:
    explicit TSioCustomComPort(base::TComponent* AOwner = nullptr);
    ~TSioCustomComPort() override;

    [[nodiscard]] static std::string Version();

    // ---- Published properties (defaults of a new component in the comments) ----
    [[nodiscard]] TDeviceLayer DeviceLayer() const { return FDeviceLayer; } // dlWin32
    void SetDeviceLayer(TDeviceLayer Value); // not while open; only dlWin32 is accepted
    [[nodiscard]] uint16_t ComNumber() const { return FComNumber; } // 0
    void SetComNumber(uint16_t Value);                              // open: close, reopen
    [[nodiscard]] int32_t Baud() const { return FBaud; }            // 19200
    void SetBaud(int32_t Value);
    [[nodiscard]] bool PromptForPort() const { return FPromptForPort; } // true
    void SetPromptForPort(bool Value) { FPromptForPort = Value; }
    [[nodiscard]] TParity Parity() const { return FParity; } // pNone
    void SetParity(TParity Value);
    [[nodiscard]] uint16_t DataBits() const { return FDataBits; } // 8
    void SetDataBits(uint16_t Value);
    [[nodiscard]] uint16_t StopBits() const { return FStopBits; } // 1
    void SetStopBits(uint16_t Value);
    [[nodiscard]] uint16_t InSize() const { return FInSize; } // 4096
    void SetInSize(uint16_t Value);
    [[nodiscard]] uint16_t OutSize() const { return FOutSize; } // 4096
    void SetOutSize(uint16_t Value);
    [[nodiscard]] bool AutoOpen() const { return FAutoOpen; } // true
    void SetAutoOpen(bool Value) { FAutoOpen = Value; }
    [[nodiscard]] bool Open() const { return FOpen; } // false
    void SetOpen(bool Enable);
    [[nodiscard]] bool DTR() const { return FDTR; } // true; ignored under hwfUseDTR
    void SetDTR(bool OnOff);
    [[nodiscard]] bool RTS() const { return FRTS; } // true; ignored under hwfUseRTS
    void SetRTS(bool OnOff);
    [[nodiscard]] THWFlowOptions HWFlowOptions() const { return FHWFlowOptions; } // empty
    void SetHWFlowOptions(THWFlowOptions Value);
    [[nodiscard]] TSWFlowOptions SWFlowOptions() const { return FSWFlowOptions; } // swfNone
    void SetSWFlowOptions(TSWFlowOptions Value);
    [[nodiscard]] char XOnChar() const { return FXOnChar; } // 17
    void SetXOnChar(char Value);
    [[nodiscard]] char XOffChar() const { return FXOffChar; } // 19
    void SetXOffChar(char Value);
    [[nodiscard]] uint16_t BufferFull() const { return FBufferFull; } // 0
    void SetBufferFull(uint16_t Value);
    [[nodiscard]] uint16_t BufferResume() const { return FBufferResume; } // 0
    void SetBufferResume(uint16_t Value);
    [[nodiscard]] TTraceLogState Tracing() const { return FTracing; } // tlOff
    void SetTracing(TTraceLogState NewState);
    [[nodiscard]] uint32_t TraceSize() const { return FTraceSize; } // 10000, at most 4000000
    void SetTraceSize(uint32_t Size);
    [[nodiscard]] const std::string& TraceName() const { return FTraceName; } // "SERIAL.TRC"
    void SetTraceName(std::string Value) { FTraceName = std::move(Value); }
    [[nodiscard]] bool TraceHex() const { return FTraceHex; } // true
    void SetTraceHex(bool Value) { FTraceHex = Value; }
    [[nodiscard]] bool TraceAllHex() const { return FTraceAllHex; } // false
    void SetTraceAllHex(bool Value) { FTraceAllHex = Value; }
    [[nodiscard]] TTraceLogState Logging() const { return FLogging; } // tlOff
    void SetLogging(TTraceLogState NewState);
    [[nodiscard]] uint32_t LogSize() const { return FLogSize; } // 10000, at most 16000000
    void SetLogSize(uint32_t Size);
    [[nodiscard]] const std::string& LogName() const { return FLogName; } // "SERIAL.LOG"
    void SetLogName(std::string Value) { FLogName = std::move(Value); }
    [[nodiscard]] bool LogHex() const { return FLogHex; } // true
    void SetLogHex(bool Value) { FLogHex = Value; }
    [[nodiscard]] bool LogAllHex() const { return FLogAllHex; } // false
    void SetLogAllHex(bool Value) { FLogAllHex = Value; }
    [[nodiscard]] bool UseMSRShadow() const { return FUseMSRShadow; } // true
    virtual void SetUseMSRShadow(bool NewUse);
    [[nodiscard]] bool UseEventWord() const { return FUseEventWord; } // true
    void SetUseEventWord(bool NewUse);
    [[nodiscard]] uint16_t CommNotificationLevel() const { return FCommNotificationLevel; } // 10
    void SetCommNotificationLevel(uint16_t Value) { FCommNotificationLevel = Value; }
    [[nodiscard]] TTapiMode TapiMode() const { return FTapiMode; } // tmAuto
    void SetTapiMode(TTapiMode Value) { FTapiMode = Value; }
    [[nodiscard]] bool RS485Mode() const { return FRS485Mode; } // false
    void SetRS485Mode(bool NewMode);

    // ---- Events ----
    // The ten trigger events have setters: assigning one while open switches the trigger
    // notifications on or off (UpdateHandlerFlag).
    TNotifyEvent OnPortClose;
    TNotifyEvent OnPortOpen;
    TWaitCharEvent OnWaitChar;
    [[nodiscard]] const TTriggerEvent& OnTrigger() const { return FOnTrigger; }
    void SetOnTrigger(TTriggerEvent Value);
    [[nodiscard]] const TTriggerAvailEvent& OnTriggerAvail() const { return FOnTriggerAvail; }
    void SetOnTriggerAvail(TTriggerAvailEvent Value);
    [[nodiscard]] const TTriggerDataEvent& OnTriggerData() const { return FOnTriggerData; }
    void SetOnTriggerData(TTriggerDataEvent Value);
    [[nodiscard]] const TTriggerStatusEvent& OnTriggerStatus() const { return FOnTriggerStatus; }
    void SetOnTriggerStatus(TTriggerStatusEvent Value);
    [[nodiscard]] const TTriggerTimerEvent& OnTriggerTimer() const { return FOnTriggerTimer; }
    void SetOnTriggerTimer(TTriggerTimerEvent Value);
    [[nodiscard]] const TTriggerLineErrorEvent& OnTriggerLineError() const {
        return FOnTriggerLineError;
    }
    void SetOnTriggerLineError(TTriggerLineErrorEvent Value);
    [[nodiscard]] const TNotifyEvent& OnTriggerModemStatus() const { return FOnTriggerModemStatus; }
    void SetOnTriggerModemStatus(TNotifyEvent Value);
    [[nodiscard]] const TNotifyEvent& OnTriggerOutbuffFree() const { return FOnTriggerOutbuffFree; }
    void SetOnTriggerOutbuffFree(TNotifyEvent Value);
    [[nodiscard]] const TNotifyEvent& OnTriggerOutbuffUsed() const { return FOnTriggerOutbuffUsed; }
    void SetOnTriggerOutbuffUsed(TNotifyEvent Value);
    [[nodiscard]] const TNotifyEvent& OnTriggerOutSent() const { return FOnTriggerOutSent; }
    void SetOnTriggerOutSent(TNotifyEvent Value);

    // ---- Public properties ----
    [[nodiscard]] uint16_t TapiCid() const { return FTapiCid; }
    void SetTapiCid(uint16_t Value) { FTapiCid = Value; }
    // The dispatcher's while open, else 0; written only while open.
    [[nodiscard]] uint16_t BaseAddress() const;
    void SetBaseAddress(uint16_t NewBaseAddress);
    [[nodiscard]] TSioThreadBoost ThreadBoost() const { return FThreadBoost; } // tbNone
    void SetThreadBoost(TSioThreadBoost Boost);
    [[nodiscard]] uint16_t TriggerLength() const { return FTriggerLength; } // 1
    void SetTriggerLength(uint16_t NewLength);
    [[nodiscard]] const TCustomDispatcher& CustomDispatcher() const { return fCustomDispatcher; }
    void SetCustomDispatcher(TCustomDispatcher Value) { fCustomDispatcher = std::move(Value); }
    // The receiver of trigger notifications while open (the hidden window's role).
    [[nodiscard]] TSioWindowHandle ComWindow() const;
    // A control of the program's terminal; the port does not use it.
    void* MasterTerminal = nullptr;
    // Asked for a port when ComNumber is 0 (PromptForPort); none: the process-wide one.
    void SetPortSelector(IPortSelector* Selector) { FPortSelector = Selector; }
    static void SetDefaultPortSelector(IPortSelector* Selector);

    // Line and buffer state. A closed port answers without opening: 0 / false, InBuffFree
    // 8192, OutBuffFree OutSize; while shutting down 0.
    [[nodiscard]] TFlowControlState FlowState();
    [[nodiscard]] uint8_t ModemStatus();
    [[nodiscard]] bool DSR();
    [[nodiscard]] bool CTS();
    [[nodiscard]] bool RI();
    [[nodiscard]] bool DCD();
    [[nodiscard]] bool DeltaDSR();
    [[nodiscard]] bool DeltaCTS();
    [[nodiscard]] bool DeltaRI();
    [[nodiscard]] bool DeltaDCD();
    [[nodiscard]] uint16_t LineError();
    [[nodiscard]] bool LineBreak();
    [[nodiscard]] uint32_t InBuffUsed();
    [[nodiscard]] uint32_t InBuffFree();
    [[nodiscard]] uint32_t OutBuffUsed();
    [[nodiscard]] uint32_t OutBuffFree();

    // ---- The dispatcher ----
    // The current dispatcher; on a closed port with AutoOpen (not loading) the port is
    // opened first. May be null.
    [[nodiscard]] TSioBaseDispatcher* Dispatcher();
    // As Dispatcher, but ECommNotOpen when there is still none.
    [[nodiscard]] TSioBaseDispatcher& ValidDispatcher();
    [[nodiscard]] TPortState PortState() const { return FPortState; }
    [[nodiscard]] bool OpenPending() const { return FOpenPending; }

    // ---- Opening and closing ----
    virtual void InitPort();
    virtual void DonePort();
    void ForcePortOpen();
    void Loaded() override;

    // ---- Output ----
    void PutString(const std::string& S);
    int32_t PutChar(char C);
    int32_t PutBlock(const void* Block, uint16_t Len);
    void SetOutput(const std::string& S) { PutString(S); }

    // ---- Input (nothing while shutting down) ----
    bool CharReady();
    char PeekChar(uint16_t Count);
    char GetChar();
    void PeekBlock(void* Block, uint16_t Len);
    void GetBlock(void* Block, uint16_t Len);
    void FlushInBuffer();
    void FlushOutBuffer();
    virtual void ProcessCommunications();

    // ---- Triggers (0 / nothing while shutting down) ----
    uint16_t AddDataTrigger(const std::string& Data, bool IgnoreCase);
    uint16_t AddTimerTrigger();
    uint16_t AddStatusTrigger(uint16_t SType);
    void SetTimerTrigger(uint16_t Handle, int32_t Ticks, bool Activate);
    void SetStatusTrigger(uint16_t Handle, uint16_t Value, bool Activate);
    void RemoveTrigger(uint16_t Handle);
    void RemoveAllTriggers();

    // ---- Users ----
    void RegisterUser(TSioWindowHandle H);
    void RegisterUserEx(TSioWindowHandle H);
    void RegisterUserCallback(TPortCallback CallBack);
    void RegisterUserCallbackEx(TPortCallbackEx CallBackEx);
    void DeregisterUser(TSioWindowHandle H);
    void DeregisterUserCallback(TPortCallback CallBack);
    void DeregisterUserCallbackEx(TPortCallbackEx CallBackEx);

    // ---- Line ----
    void SendBreak(uint16_t Ticks, bool Yield);
    void SetBreak(bool BreakOn);

    // ---- Tracing and logging ----
    void InitTracing(uint32_t NumEntries);
    void DumpTrace(const std::string& FName, bool InHex);
    void AppendTrace(const std::string& FName, bool InHex, TTraceLogState NewState);
    void ClearTracing();
    void AbortTracing();
    void StartTracing();
    void StopTracing();
    void AddTraceEntry(char CurEntry, char CurCh);
    void InitLogging(uint32_t Size);
    void DumpLog(const std::string& FName, bool InHex);
    void AppendLog(const std::string& FName, bool InHex, TTraceLogState NewState);
    void ClearLogging();
    void AbortLogging();
    void StartLogging();
    void StopLogging();
    void AddStringToLog(const std::string& S);

    // ---- Copying and finding ----
    // Copies Source's settings, users and (when Source is open) triggers; Open becomes
    // false and nothing is applied to a device.
    virtual void Assign(const TSioCustomComPort& Source);
    // The first com port among Owner's components, depth first in component order; or null.
    [[nodiscard]] static TSioCustomComPort* SearchComPort(const base::TComponent* Owner);
    // Whether COM<N> exists, asked of the platform's device layer without opening it.
    [[nodiscard]] static bool IsPortAvailable(uint16_t N);

protected:
    virtual void ActivateDeviceLayer();
    virtual void DeviceLayerChanged() {}
    virtual void InitializePort() {}
    virtual void RegisterComPort(bool Enabling);
    virtual void ValidateComport();
    virtual void Trigger(uint16_t Msg, uint16_t TriggerHandle, uint16_t Data);
    virtual void TriggerAvail(uint16_t Count);
    virtual void TriggerData(uint16_t TriggerHandle);
    virtual void TriggerStatus(uint16_t TriggerHandle);
    virtual void TriggerTimer(uint16_t TriggerHandle);
    virtual void UpdateHandlerFlag();
    virtual void TriggerLineError(uint16_t Error, bool LineBreak);
    virtual void TriggerModemStatus();
    virtual void TriggerOutbuffFree();
    virtual void TriggerOutbuffUsed();
    virtual void TriggerOutSent();
    virtual void WaitChar(char C);
    virtual void PortOpen();
    virtual void PortClose();
    virtual void PortClosing();

private:
    friend class TComWindow;
    struct TUserListEntry {
        TSioWindowHandle Handle = nullptr; // null for a callback entry
        TPortCallback OpenClose;
        TPortCallbackEx OpenCloseEx;
        bool IsEx = false;
    };

    // Raises for a negative code (returns it while loading).
    int32_t Check(int32_t code) const;
    [[nodiscard]] bool ShuttingDown() const { return FPortState == psShuttingDown; }
    // The dispatcher while the port is open (not while closing); null otherwise.
    [[nodiscard]] TSioBaseDispatcher* OpenDispatcher() const {
        return FPortState == psOpen ? FDispatcher.get() : nullptr;
    }
    [[nodiscard]] static IPortSelector* DefaultPortSelector();
    void OpenPrim();
    void MapOpenResult(int32_t code);
    void AbandonOpen(const std::vector<TUserListEntry>& heard_open);
    void FinishClose();
    void ScheduleCloseRetry();
    void CloseRetry();
    static std::exception_ptr Capture(const std::function<void()>& fn);
    void ApplyHWFlow();
    void ApplySWFlow();
    void ChangeTraceLog(bool log, TTraceLogState NewState);
    // Tells the given users, newest first, of the open or close; every user is told even
    // when one raises, and the first exception is returned.
    std::exception_ptr TellUsers(const std::vector<TUserListEntry>& users, TSioCallbackType Type);
    // PortOpen, noting in heard the users told so far (they hear of a failed open).
    void PortOpenTo(std::vector<TUserListEntry>& heard);
    void DispatchWindowMessage(uint32_t Msg, uint32_t wParam, int32_t lParam);
    [[nodiscard]] bool TriggerEventAssigned() const;

    // Property fields.
    TDeviceLayer FDeviceLayer = dlWin32;
    uint16_t FComNumber = 0;
    int32_t FBaud = 19200;
    bool FPromptForPort = true;
    TParity FParity = pNone;
    uint16_t FDataBits = 8;
    uint16_t FStopBits = 1;
    uint16_t FInSize = 4096;
    uint16_t FOutSize = 4096;
    bool FAutoOpen = true;
    bool FOpen = false;
    bool FDTR = true;
    bool FRTS = true;
    THWFlowOptions FHWFlowOptions;
    TSWFlowOptions FSWFlowOptions = swfNone;
    char FXOnChar = 17;
    char FXOffChar = 19;
    uint16_t FBufferFull = 0;
    uint16_t FBufferResume = 0;
    TTraceLogState FTracing = tlOff;
    uint32_t FTraceSize = 10000;
    std::string FTraceName = "SERIAL.TRC";
    bool FTraceHex = true;
    bool FTraceAllHex = false;
    TTraceLogState FLogging = tlOff;
    uint32_t FLogSize = 10000;
    std::string FLogName = "SERIAL.LOG";
    bool FLogHex = true;
    bool FLogAllHex = false;
    bool FUseMSRShadow = true;
    bool FUseEventWord = true;
    uint16_t FCommNotificationLevel = 10;
    TTapiMode FTapiMode = tmAuto;
    bool FRS485Mode = false;
    uint16_t FTapiCid = 0;
    TSioThreadBoost FThreadBoost = tbNone;
    uint16_t FTriggerLength = 1;
    TTriggerEvent FOnTrigger;
    TTriggerAvailEvent FOnTriggerAvail;
    TTriggerDataEvent FOnTriggerData;
    TTriggerStatusEvent FOnTriggerStatus;
    TTriggerTimerEvent FOnTriggerTimer;
    TTriggerLineErrorEvent FOnTriggerLineError;
    TNotifyEvent FOnTriggerModemStatus;
    TNotifyEvent FOnTriggerOutbuffFree;
    TNotifyEvent FOnTriggerOutbuffUsed;
    TNotifyEvent FOnTriggerOutSent;
    IPortSelector* FPortSelector = nullptr;

    // Internal state.
    bool Force = false; // setters apply their value even when it equals the stored one
    TPortState FPortState = psClosed;
    bool FOpenPending = false; // an open asked for while a close was finishing
    bool ForceOpen = false;    // open when loading ends
    bool Opening = false;      // inside InitPort: Tracing/Logging apply the stored state again
    std::vector<TUserListEntry> UserList;
    bool CopyTriggers = false; // SaveTriggerBuffer holds triggers for the next open
    TTriggerSave SaveTriggerBuffer;
    std::unique_ptr<TComWindow> fComWindow;
    TCustomDispatcher fCustomDispatcher;
    TSioDispatcherPtr FDispatcher;
    // Posted retries of a deferred close hold a weak reference: one that runs after the
    // component has gone does nothing.
    std::shared_ptr<TSioCustomComPort*> alive_;
    // When a deferred close gives up waiting for the worker threads and lets them free the
    // dispatcher themselves.
    std::chrono::steady_clock::time_point close_deadline_;
};

// The component as the program places it: everything is in TSioCustomComPort.
class TSioComPort : public TSioCustomComPort {
public:
    using TSioCustomComPort::TSioCustomComPort;
};

} // namespace serial
