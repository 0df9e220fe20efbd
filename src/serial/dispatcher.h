// The engine behind one open serial port: the output ring, the 8192-byte dispatch ring, the
// queue of received blocks, the trigger tables, the handler lists and the dispatch thread
// that tells handlers about triggers. A device layer derives from TSioBaseDispatcher,
// implements the device operations and runs the read, write and status threads that feed
// the I/O queue and drain the output ring.
//
// Contract:
// - Results are codes: 0 or positive for success, a negative code of error_codes.h for a
//   failure. Nothing here raises for a code; the com port turns codes into exceptions.
// - The owner thread (the com port's, the UI thread in the program) opens, closes, writes,
//   reads and changes triggers and handlers. The dispatch thread runs passes and calls the
//   handlers; handlers may read, flush, change triggers, deregister themselves and close
//   the port. The device layer's threads call ThreadStart/ThreadGone and the ring and queue
//   helpers.
// - Handlers are called with no dispatcher lock held. A handler registered as synchronized
//   runs on the owner thread through base::MessageLoop while the dispatch thread waits;
//   window handlers are sent through the loop with a 3000 ms limit.
// - Every wait is bounded. A wait of the owner thread runs the pending synchronized calls
//   (MessageLoop::ProcessMessages) and nothing else. No thread waits for itself, and the
//   owner thread while it runs a call for the dispatch thread (a synchronized or window
//   handler) counts as the dispatch thread: closing or releasing there sets ClosePending
//   and returns at once, and the dispatch thread finishes the release when it leaves.
// - Deregistering a handler from any thread but the dispatch side waits (bounded, running
//   the synchronized calls) until a call of that handler in progress has returned; a
//   synchronized or window handler deregistered before its call started is not called.
// - Flush requests are numbered: every flusher waits for its own number to be
//   acknowledged by the write thread (or for the write thread to end), so flushes from
//   handlers, from the owner and from calls run inside an owner's wait never take each
//   other's acknowledgement.
// - The output buffer is the ring plus the bytes the write thread has taken and not yet
//   handed over (and, on a real device, what the driver still holds): OutBufUsed counts
//   them all, so a drain (SetLine) waits for a burst in flight. PutBlock refuses (-3006)
//   only what does not fit the ring's own room.
// - Device calls run under DeviceSection. A device layer closes its handle only when no
//   worker thread is left (CloseWhenThreadsGone): after a timed-out thread wait the last
//   thread closes it, so no thread ever reaches a closed or reused handle.
// - A failed thread start fails the open with its code and leaves nothing running.
// - A dispatcher is released through TSioDispatcherPtr (TSioDispatcherDeleter): it lets go
//   of the owner first (a worker ending later raises against no owner), closes the port,
//   waits a bounded time for the worker threads, and when one is still running hands the
//   object to the threads, the last of which frees it. Buffers are freed once, under their
//   locks; afterwards reads and writes answer ecCommNotOpen.
// - Trace and dispatch-log files are written to a temporary file in the same folder and
//   renamed into place (an append copies the old contents first), so a link placed where
//   the file goes is replaced, never written through; a failed write returns a code and
//   stops nothing.
//
// Sources: dispatcher.cpp (opening, closing, worker threads), dispatcher_io.cpp (the rings,
// reads, writes, flushing, ExtractData), dispatcher_triggers.cpp (trigger tables, handler
// lists), dispatcher_notify.cpp (fired triggers, delivery), dispatcher_thread.cpp (the
// dispatch thread's passes), dispatcher_line.cpp (line settings and status),
// dispatcher_log.cpp (tracing and the dispatch log).
//
// Locks (all recursive), in the only orders taken: DataSection -> DispSection -> queue lock;
// DataSection -> OutputSection; DataSection -> DeviceSection; the thread-list lock ->
// DeviceSection (a close run by the last thread). The trace lock, the owner lock and the
// progress signal's lock are leaves.
#pragma once

#include "base/event.h"
#include "serial/dcb.h"
#include "serial/io_queue.h"
#include "serial/serial_types.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace base {
class TComponent;
}

namespace serial {

class TSioBaseDispatcher;

inline constexpr uint32_t DispatchBufferSize = 8192;
inline constexpr uint32_t MaxDataTriggerLen = 21;
inline constexpr int32_t MaxTimerTicks = 39045157;
inline constexpr uint32_t MaxTraceEntries = 4000000;

// Tick conversions (55 ms ticks), integer arithmetic. The products are taken in 64 bits:
// in 32 they overflow already for valid timer lengths; results beyond 32 bits saturate.
[[nodiscard]] constexpr int32_t SaturateTicks(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}
[[nodiscard]] constexpr int32_t Secs2Ticks(int32_t secs) {
    return SaturateTicks(static_cast<int64_t>(secs) * 1675 / 92);
}
[[nodiscard]] constexpr int32_t MSecs2Ticks(int32_t ms) {
    return SaturateTicks(static_cast<int64_t>(ms) * 1675 / 92000);
}
[[nodiscard]] constexpr int32_t Ticks2Secs(int32_t ticks) {
    return SaturateTicks((static_cast<int64_t>(ticks) + 9) * 92 / 1675);
}

// A timer in 55 ms ticks on the 64-bit tick clock, so it never wraps.
struct EventTimer {
    uint64_t StartTicks = 0;
    uint64_t ExpireTicks = 0;
    void Start(int32_t ticks);
    [[nodiscard]] bool Expired() const;
};

struct TTimerTrigger {
    uint32_t tHandle = 0;
    EventTimer tET;
    int32_t tTicks = 0;   // the duration
    bool tValid = true;   // true from creation
    bool tActive = false; // the timer runs
};

struct TDataTrigger {
    uint32_t tHandle = 0;
    uint32_t tLen = 0;                    // 1..21
    std::array<uint32_t, 22> tChkIndex{}; // partial-match positions, 0 = empty slot
    bool tMatched = false;
    bool tIgnoreCase = false;
    std::array<uint8_t, 22> tData{}; // upper-cased (ASCII) when tIgnoreCase
};

struct TStatusTrigger {
    uint32_t tHandle = 0;
    uint32_t tSType = 0; // stModem .. stOutSent
    uint16_t tValue = 0; // the condition
    bool tSActive = false;
    bool StatusHit = false; // fired in the current pass
};

struct TTriggerSave {
    uint32_t tsLenTrigger = 0;
    std::vector<TTimerTrigger> tsTimerTriggers;
    std::vector<TDataTrigger> tsDataTriggers;
    std::vector<TStatusTrigger> tsStatusTriggers;
};

struct TWndTriggerHandler {
    TSioWindowHandle thWnd = nullptr;
    bool thDeleted = false;
};
struct TProcTriggerHandler {
    TSioNotifyProc thNotify = nullptr;
    bool thDeleted = false;
};
struct TEventTriggerHandler {
    TSioNotifyEvent thNotify;
    bool thDeleted = false;
    bool thSync = false; // run on the owner thread through the message loop
};

// A worker thread of a dispatcher. It runs Execute between the dispatcher's ThreadStart and
// ThreadGone on a thread of its own and frees itself when it ends; the dispatcher keeps only
// an observer pointer, cleared by ThreadGone.
class TSioDispatcherThread {
public:
    explicit TSioDispatcherThread(TSioBaseDispatcher& dispatcher) : H(dispatcher) {}
    virtual ~TSioDispatcherThread() = default;
    TSioDispatcherThread(const TSioDispatcherThread&) = delete;
    TSioDispatcherThread& operator=(const TSioDispatcherThread&) = delete;

    TSioBaseDispatcher& H;
    std::atomic<int32_t> ReturnValue{0}; // raised against the owner when the thread ends
    std::atomic<bool> Terminated{false};
    std::atomic<int> ThreadId{0}; // kernel id once running (for priorities)
    std::shared_ptr<base::Event> Started = std::make_shared<base::Event>(true, false);

protected:
    virtual void Execute() = 0;

private:
    friend class TSioBaseDispatcher;
    void Run();
};

struct TSioDispatcherDeleter {
    void operator()(TSioBaseDispatcher* dispatcher) const;
};
using TSioDispatcherPtr = std::unique_ptr<TSioBaseDispatcher, TSioDispatcherDeleter>;

class TSioBaseDispatcher {
public:
    explicit TSioBaseDispatcher(base::TComponent* Owner);
    TSioBaseDispatcher(const TSioBaseDispatcher&) = delete;
    TSioBaseDispatcher& operator=(const TSioBaseDispatcher&) = delete;

    // ---- Life cycle ----
    int32_t InitPort(const std::string& ComName, int32_t Baud, int32_t Parity, int32_t DataBits,
                     int32_t StopBits, int32_t InSize, int32_t OutSize, uint32_t Options);
    void DonePort();
    void ThreadStart(TSioDispatcherThread& thread);
    void ThreadGone(TSioDispatcherThread& thread);
    // Lets go of the owner: a worker that ends from now on raises its error against no
    // owner; returns once a raise against the owner in progress has finished, so the owner
    // may go right after. The release (TSioDispatcherPtr) does it first.
    void ReleaseOwner();
    // Tells the worker threads to stop: sets KillThreads and makes WakeFd readable, so a
    // thread blocked in poll notices at once. Every place that stops the threads calls it.
    void StopThreads();
    // A descriptor that becomes readable (and stays so) once the threads are to stop; device
    // layers add it to their poll sets. -1 when it could not be made (threads then notice
    // the stop at their next bounded wake-up).
    [[nodiscard]] int WakeFd() const { return wake_fd_; }

    // ---- Output ----
    int32_t PutBlock(const uint8_t* Block, uint32_t Len);
    int32_t PutBlock(std::span<const uint8_t> Block) {
        return PutBlock(Block.data(), static_cast<uint32_t>(Block.size()));
    }
    int32_t PutChar(uint8_t C) { return PutBlock(&C, 1); }
    int32_t PutString(const std::string& S);
    int32_t OutBuffUsed();
    int32_t OutBuffFree();
    int32_t FlushOutBuffer();

    // ---- Input (the dispatch ring) ----
    bool CharReady();
    int32_t PeekChar(uint8_t& C, uint32_t Count);
    int32_t GetChar(uint8_t& C);
    int32_t PeekBlock(uint8_t* Block, uint32_t Len);
    int32_t GetBlock(uint8_t* Block, uint32_t Len);
    int32_t InBuffUsed();
    int32_t InBuffFree();
    int32_t FlushInBuffer();

    // ---- Triggers ----
    void ChangeLengthTrigger(uint32_t Length);
    int32_t AddTimerTrigger();
    int32_t SetTimerTrigger(uint32_t Handle, int32_t Ticks, bool Activate);
    int32_t AddDataTrigger(const char* Data, bool IgnoreCase);
    int32_t AddDataTriggerLen(const uint8_t* Data, bool IgnoreCase, uint32_t Len);
    int32_t AddStatusTrigger(uint32_t SType);
    int32_t RemoveTrigger(uint32_t Handle);
    void RemoveAllTriggers();
    void SaveTriggers(TTriggerSave& Save);
    void RestoreTriggers(const TTriggerSave& Save);
    static void ClearSaveBuffers(TTriggerSave& Save);
    [[nodiscard]] static uint32_t ClassifyStatusTrigger(uint32_t Handle) { return Handle & 7; }

    // ---- Handlers ----
    void RegisterWndTriggerHandler(TSioWindowHandle hWnd);
    void RegisterProcTriggerHandler(TSioNotifyProc Proc);
    void RegisterEventTriggerHandler(TSioNotifyEvent Event);
    void RegisterSyncEventTriggerHandler(TSioNotifyEvent Event);
    void DeregisterWndTriggerHandler(TSioWindowHandle hWnd);
    void DeregisterProcTriggerHandler(TSioNotifyProc Proc);
    void DeregisterEventTriggerHandler(TSioNotifyEvent Event);
    void SetEventBusy(bool& WasOn, bool SetOn);

    // ---- Tracing and dispatch logging ----
    int32_t InitTracing(uint32_t NumEntries);
    void StartTracing();
    void StopTracing();
    void ClearTracing();
    void AbortTracing();
    void AddTraceEntry(char Kind, uint8_t C);
    // The bytes of one block, under one lock: the data paths trace whole blocks.
    void AddTraceBlock(char Kind, const uint8_t* Block, uint32_t Len);
    int32_t DumpTrace(const std::string& FileName, bool InHex, bool AllHex);
    int32_t AppendTrace(const std::string& FileName, bool InHex, bool AllHex);
    void InitDispatchLogging(uint32_t QueueSize);
    void StartDispatchLogging();
    void StopDispatchLogging();
    void ClearDispatchLogging();
    void AbortDispatchLogging();
    void AddDispatchEntry(TDispatchType Type, TDispatchSubType SubType, uint32_t Data,
                          const uint8_t* Buffer, uint32_t BufferLen);
    int32_t DumpDispatchLog(const std::string& FileName, bool InHex, bool AllHex);
    int32_t AppendDispatchLog(const std::string& FileName, bool InHex, bool AllHex);
    void AddStringToLog(const std::string& S);

    // ---- Device operations ----
    // A device layer supplies the pure ones. StartDispatcher launches the read thread, the
    // dispatch thread (StartDispThread) and the write and status threads with LaunchThread
    // and returns a negative code when one could not be started. CloseCom stops them
    // (StopThreads) with bounded waits (WaitThreadGone, which answers at once for the
    // caller's own thread and for the dispatch thread on the dispatch side), then closes the
    // device through CloseWhenThreadsGone. FlushCom(0) empties the ring and waits for its
    // own numbered request (RequestFlush, WaitFlushAcknowledged). Every call that reaches
    // the device holds DeviceSection; OutBufUsed counts OutputRingAndInFlight plus what the
    // driver holds.
    virtual int32_t EscapeComFunction(int32_t Func) = 0;
    virtual int32_t FlushCom(int32_t Queue) = 0; // 0 output, 1 input
    virtual int32_t GetComError(TComStat& Stat) = 0;
    virtual int32_t GetComEventMask(int32_t Mask) = 0;
    virtual int32_t GetComState(serial::DCB& Dcb) = 0;
    virtual int32_t ReadCom(uint8_t* Dest, int32_t Count) = 0;
    virtual int32_t SetComState(const serial::DCB& Dcb) = 0;
    virtual int32_t WriteCom(const uint8_t* Data, int32_t Len) = 0;
    virtual bool WaitComEvent(uint32_t& Mask) = 0;
    virtual bool SetupCom(int32_t InSize, int32_t OutSize) = 0;
    virtual void DonePortPrim();
    // Starts the worker threads: 0, or a negative code when one could not be started (the
    // threads already started are stopped again and the open fails).
    virtual int32_t StartDispatcher() = 0;
    virtual void StopDispatcher() = 0;
    virtual int32_t OutBufUsed() = 0;
    virtual int32_t InQueueUsed();
    virtual int32_t OpenCom(const std::string& Name, int32_t InSize, int32_t OutSize) = 0;
    virtual int32_t CloseCom() = 0;
    virtual bool CheckPort(const std::string& Name) = 0;
    virtual int32_t ProcessCommunications() = 0;
    virtual void SetThreadBoost(uint8_t Boost);
    virtual void UpdateHandlerFlags(TSioHandlerFlagUpdate FlagUpdate);
    // The modem lines as the device reports them (0x10 CTS, 0x20 DSR, 0x40 RI, 0x80 DCD).
    virtual int32_t GetComModemStatus(uint32_t& Status) = 0;
    // Sets or clears the break state on the line.
    virtual int32_t SetComBreak(bool On) = 0;

    // ---- Line settings and line status (dispatcher_line.cpp) ----
    int32_t SetLine(int32_t Baud, int32_t Parity, int32_t DataBits, int32_t StopBits);
    void GetLine(int32_t& Baud, int32_t& Parity, int32_t& DataBits, int32_t& StopBits);
    int32_t SetDtr(bool OnOff);
    int32_t SetRts(bool OnOff);
    int32_t HWFlowOptions(uint16_t BufferFull, uint16_t BufferResume, uint32_t Options);
    int32_t SWFlowEnable(uint16_t BufferFull, uint16_t BufferResume, uint32_t Options);
    int32_t SWFlowDisable();
    int32_t SWFlowChars(uint8_t OnChar, uint8_t OffChar);
    int32_t HWFlowState();
    int32_t SWFlowState();
    uint8_t GetModemStatus();
    bool CheckCTS();
    bool CheckDSR();
    bool CheckRI();
    bool CheckDCD();
    bool CheckDeltaCTS();
    bool CheckDeltaDSR();
    bool CheckDeltaRI();
    bool CheckDeltaDCD();
    int32_t GetLineError();
    bool CheckLineBreak();
    void SetBreak(bool On);
    void SendBreak(uint32_t Ticks, bool Yield);
    void OptionsOn(uint32_t Bits);
    void OptionsOff(uint32_t Bits);
    void SetRS485Mode(bool OnOff);
    void SetBaseAddress(uint16_t Address);
    uint16_t GetBaseAddress();
    int32_t SetStatusTrigger(uint32_t Handle, uint16_t Value, bool Activate);
    // Used by the dispatch pass: the first active status trigger whose condition holds fires
    // (true when its notification's result was true); ResetStatusHits clears the hits.
    bool CheckStatusTriggers();
    void ResetStatusHits();
    // Reads the modem status from the device (change flags kept, RingFlag folded in), then
    // ModemStatus &= Mask; returns the byte as read.
    uint8_t ReadModemStatus(uint8_t Mask);
    // After a device event: reads the lines and ORs the changed ones into the change flags.
    void UpdateModemChangeFlags();
    // LastError |= the device's error bits (masked 0x1F); refreshes ComStatus.
    void RefreshLineErrors();

    serial::DCB DCB{};      // last line settings read from or written to the device
    int32_t LastBaud = 0;   // baud rate of the last settings written
    bool DTRState = false;  // wanted DTR
    bool DTRAuto = false;   // DTR driven by hardware flow control
    bool RTSState = false;  // wanted RTS
    bool RTSAuto = false;   // RTS driven by hardware flow control
    bool RS485Mode = false; // RS-485 direction control
    uint16_t BaseAddress = 0;
    uint8_t ModemStatus = 0; // line states (high nibble) and change flags (low nibble)
    bool RingFlag = false;   // a ring seen since the modem status was last read
    uint32_t LastError = 0;  // accumulated line error bits
    uint32_t Flags = 0;      // option bits (OptionsOn / OptionsOff)
    // ---- end of line settings and line status ----

    // ---- Fields ----
    // Errors of worker threads are raised against it; cleared by ReleaseOwner (not by a
    // plain store, which could race with a raise in progress).
    std::atomic<base::TComponent*> fOwner;
    int32_t fHandle = -1;           // slot in the port list
    std::atomic<int32_t> CidEx{-1}; // device handle; negative when none
    uint32_t InQue = 0;             // input size asked for at open
    uint32_t OutQue = 0;            // size of the output ring
    TComStat ComStatus;             // as of the last refresh (DataSection)
    bool PortHandlerInstalled = false;
    std::atomic<bool> HandlerServiceNeeded{false};
    std::string DeviceName; // "COM%d", set by the com port
    // A device layer's own text for its last failed open (ecAccessDenied names the device
    // and what the user can do); empty when the code's text says it all.
    std::string LastErrorText;
    std::atomic<bool> KillThreads{false};
    std::atomic<bool> ClosePending{false};
    std::atomic<bool> DispActive{false};
    std::atomic<bool> fEventBusy{false};
    std::atomic<bool> DoDonePortPrim{false};
    std::atomic<int32_t> ActiveThreads{0};
    std::atomic<bool> CloseComActive{false};
    std::atomic<bool> OutSentPending{false};
    bool GlobalStatHit = false; // a status trigger fired in this pass (dispatch thread)
    uint8_t ThreadBoost = 0;

    // Received bytes and line events from the device layer's threads.
    TIOQueue FQueue;

    // Locks; see the top of this file for their order.
    std::recursive_mutex DataSection;   // triggers, handlers, line state
    std::recursive_mutex OutputSection; // the output ring
    std::recursive_mutex DispSection;   // the dispatch ring and the read counters

    // Handshakes with the device layer's threads, each with its own signal so a stale
    // signal of one never ends a wait of another.
    base::Event OutputEvent{false, false};   // bytes to write
    base::Event OutFlushEvent{false, false}; // abort writing / flush (RequestFlush sets it)
    // Set by AcknowledgeFlush as well, for layers written against the single handshake.
    // Nothing waits on it: a flusher waits for its request number (WaitFlushAcknowledged),
    // since one event shared by every flusher lets one take or reset another's answer.
    base::Event OutFlushAck{false, false};

    // Triggers (DataSection).
    std::vector<TTimerTrigger> TimerTriggers;
    std::vector<TDataTrigger> DataTriggers;
    std::vector<TStatusTrigger> StatusTriggers;
    uint32_t LenTrigger = 0;
    uint32_t TriggerCounter = 1;

    // How long closing waits for each worker thread, and for all of them on release.
    std::chrono::milliseconds ThreadWaitLimit{3960};

    // ---- Reads for tests and the com port ----
    [[nodiscard]] bool Released() const { return released_.load(); }
    [[nodiscard]] bool DispatchFullState();
    [[nodiscard]] int32_t TimerTriggerCount();
    [[nodiscard]] int32_t DataTriggerCount();
    [[nodiscard]] int32_t StatusTriggerCount();
    [[nodiscard]] size_t HandlerCount();
    // Dispatch passes run since the dispatcher was made (a thread that waits, not spins,
    // runs few of them while nothing can move).
    [[nodiscard]] uint64_t DispatchPasses() const { return dispatch_passes_.load(); }
    // A handler has been picked for a call and has not yet returned.
    [[nodiscard]] bool HandlerCallInProgress();
    // True on the dispatch thread, and on the owner thread while it runs a synchronized or
    // window handler for the dispatch thread (which waits for it meanwhile): a wait there
    // for the dispatch thread would wait for itself.
    [[nodiscard]] bool CallingForDispatchThread();

protected:
    // Only TSioDispatcherDeleter (and the last worker thread of an abandoned dispatcher)
    // frees a dispatcher; a device layer's destructor runs when no thread is left.
    virtual ~TSioBaseDispatcher();
    friend struct TSioDispatcherDeleter;

    // Closing and destruction up to the bounded wait for the worker threads; true when no
    // thread is left. Lets go of the owner first.
    bool Shutdown();
    bool WaitWorkersGone(bool dispatch_side);

    // ---- Helpers for device layers ----
    // Starts a worker thread and waits up to 3000 ms for it to start. The returned observer
    // pointer stays valid until the thread's ThreadGone; nullptr when the thread could not
    // be made (nothing of it is left; StartDispatcher then fails with ecOutOfMemory: a
    // thread that cannot be made lacks resources).
    TSioDispatcherThread* LaunchThread(std::unique_ptr<TSioDispatcherThread> thread,
                                       TSioDispatcherThread* TSioBaseDispatcher::*slot);
    // Starts the dispatch thread (the device layer calls it second); false when it could not.
    bool StartDispThread();
    // Waits until the thread in slot has gone, at most limit; never waits for the calling
    // thread itself. On the owner thread the pending synchronized calls run meanwhile.
    bool WaitThreadGone(TSioDispatcherThread* TSioBaseDispatcher::*slot,
                        std::chrono::milliseconds limit);
    // The bounded wait behind both: check runs under threads_lock_ and answers true (done),
    // false (give up) or nothing (keep waiting, at most limit).
    bool WaitForThreads(std::chrono::milliseconds limit,
                        const std::function<std::optional<bool>()>& check);
    // A thread-safe read of a thread slot.
    [[nodiscard]] bool ThreadRunning(TSioDispatcherThread* TSioBaseDispatcher::*slot);
    // Copies bytes into the output ring (the caller made sure they fit); false when the
    // ring is released.
    bool CopyToOutputRing(const uint8_t* Data, uint32_t Len);
    // Moves every buffered byte of the output ring, oldest first, into out and empties it;
    // the bytes taken become the bytes in flight (SetOutInFlight(out.size())), in the same
    // step, so OutBufUsed never sees them vanish.
    void TakeOutputRing(std::vector<uint8_t>& out);
    void EmptyOutputRing();
    // Bytes held in the output ring (its own room is OutQue minus this; PutBlock checks it).
    int32_t OutputRingUsed();
    // The ring and the bytes in flight, read together: what a layer's OutBufUsed counts
    // before adding what its driver still holds.
    int32_t OutputRingAndInFlight();
    // Takes up to Count bytes from the I/O queue's data blocks, stopping at a status block.
    int32_t ReadFromQueue(uint8_t* Dest, int32_t Count);
    // Unread bytes of the first queued block (0 for a status block or an empty queue).
    int32_t FirstBlockUsed();
    // The reason for the last failed device call, as a positive system error number.
    int32_t LastSystemError = 0;

    // Device calls of every thread run under DeviceSection, so a device handle is never
    // closed under a call in progress. Taken after DataSection and after the thread-list
    // lock (a close run by the last thread); nothing else is taken under it but the layer's
    // own leaf locks. A thread waiting for the device (poll, a held write) waits outside it.
    std::recursive_mutex DeviceSection;
    // Runs close at once when no worker thread is left, otherwise hands it to the last
    // worker thread, which runs it in its ThreadGone. A device layer closes its handle this
    // way, so no thread can reach a closed (or reused) descriptor.
    void CloseWhenThreadsGone(std::function<void()> close);
    // Waits for event at most limit; on the owner thread the pending synchronized calls run
    // meanwhile, so a worker blocked in Synchronize can finish. True when it was signalled.
    static bool WaitRunningCalls(base::Event& event, std::chrono::milliseconds limit);
    // Waits until done() holds, at most limit, waking at each NoteProgress (and every few
    // milliseconds on the owner thread, which runs the pending synchronized calls
    // meanwhile). done() runs with no lock of the wait held. True when done() held.
    bool WaitRunningCalls(const std::function<bool()>& done, std::chrono::milliseconds limit);
    // Wakes the waits of WaitRunningCalls(done, limit) to look again. ThreadGone,
    // AcknowledgeFlush and the end of every handler call do it.
    void NoteProgress();
    // Bytes the write thread has taken from the output ring and not yet handed to the
    // device: TakeOutputRing sets it, the write thread lowers it as it writes and clears it
    // when a block is done or dropped. Part of OutBufUsed, so a drain sees them.
    void SetOutInFlight(int32_t count) { out_in_flight_ = count; }
    [[nodiscard]] int32_t OutInFlight() const { return out_in_flight_.load(); }

    // ---- The flush handshake (numbered, so flushers never share one answer) ----
    // A flusher (FlushCom(0)) empties the ring, then asks the write thread to drop its block
    // in flight: RequestFlush signals OutFlushEvent and returns the request's number, and
    // WaitFlushAcknowledged(number, limit) waits until the write thread has acknowledged
    // that number, or has gone (false then, also at the limit); on the owner thread the
    // pending synchronized calls run meanwhile, so a flush from a handler run inside this
    // wait completes too. The write thread, having seen OutFlushEvent and dropped what it
    // held (clearing the bytes in flight first), calls AcknowledgeFlush, which answers every
    // request made up to then.
    uint64_t RequestFlush();
    void AcknowledgeFlush();
    bool WaitFlushAcknowledged(uint64_t Request, std::chrono::milliseconds limit);

    // Worker threads (observers; guarded by threads_lock_).
    TSioDispatcherThread* ComThread = nullptr;
    TSioDispatcherThread* fDispThread = nullptr;
    TSioDispatcherThread* OutThread = nullptr;
    TSioDispatcherThread* StatusThread = nullptr;

private:
    class TDispThread;
    friend class TDispThread;

    // Dispatch thread work.
    void DispatchLoop(TSioDispatcherThread& self);
    void DispatchPass();
    void TimerPass();
    void ExtractData();
    bool CheckReceiveTriggers();
    bool CheckTimerTriggers();
    bool StatusLoop(); // false when the pass is to end (ClosePending)
    bool SendNotify(uint32_t Msg, uint32_t Trigger, uint32_t Data);
    static bool MatchDataTrigger(TDataTrigger& trigger, uint8_t c);

    // Helpers.
    int32_t NewTriggerHandle(); // DataSection held
    uint32_t UnreadLocked();    // DispSection held
    void ReleaseBuffers();
    void LogEvent(TDispatchType Type, TDispatchSubType SubType, uint32_t Data,
                  const uint8_t* Buffer = nullptr, uint32_t BufferLen = 0);
    int32_t WriteTrace(const std::string& FileName, bool Append, bool InHex, bool AllHex);
    int32_t WriteDispatchLog(const std::string& FileName, bool Append, bool InHex, bool AllHex);
    static void ShowThreadException(const std::exception_ptr& error);

    // Output ring (OutputSection).
    std::vector<uint8_t> OBuffer;
    uint32_t OBufHead = 0;
    uint32_t OBufTail = 0;
    bool OBufFull = false;

    // Dispatch ring (DispSection).
    std::vector<uint8_t> DBuffer;
    uint32_t DBufHead = 0;
    uint32_t DBufTail = 0;
    bool DispatchFull = false;
    uint32_t NotifyTail = 0;   // ring index of the last avail notification
    uint32_t LastTailData = 0; // ring index up to which data triggers have seen the bytes
    // The same positions counted from the open, with the bytes moved in so far: a ring index
    // alone cannot tell "nothing new" from "exactly 8192 new bytes".
    uint64_t MovedTotal = 0;
    uint64_t NotifyTotal = 0;
    uint64_t ScannedTotal = 0;
    bool InAvailMessage = false;
    uint32_t GetCount = 0;
    uint32_t MaxGetCount = 0;
    // Set when reads free room in a full ring, so the dispatch thread waits on it rather
    // than spinning on the blocks it cannot move.
    base::Event DispSpaceEvent{false, false};

    // Handler lists (DataSection). Records are stable while a notification walks a list.
    std::vector<std::unique_ptr<TWndTriggerHandler>> WndTriggerHandlers;
    std::vector<std::unique_ptr<TProcTriggerHandler>> ProcTriggerHandlers;
    std::vector<std::unique_ptr<TEventTriggerHandler>> EventTriggerHandlers;
    bool DeletePending = false;
    // The record whose handler is being called (from its pick under DataSection to its
    // return), and a count of calls, so a deregistration can wait for that call to end.
    const void* calling_ = nullptr; // DataSection
    uint64_t calling_seq_ = 0;      // DataSection
    // The thread running a synchronized or window handler for the dispatch thread.
    std::atomic<std::thread::id> sync_runner_{};
    // After a deregistration under DataSection: waits until the call of record in progress
    // (if any) has returned, unless the caller is on the dispatch side.
    void WaitHandlerLeft(const void* record);

    uint32_t CurrentEvent = 0; // device event mask of the current pass (dispatch thread)

    // Trace ring (trace_lock_).
    std::mutex trace_lock_;
    bool TracingOn = false;
    std::vector<uint8_t> TraceQueue; // (kind, byte) pairs
    uint32_t TraceIndex = 0;
    uint32_t TraceMax = 0;
    bool TraceWrapped = false;

    // Dispatch log.
    std::atomic<bool> DLoggingOn{false};
    TIOQueue DLoggingQueue;
    std::atomic<uint32_t> DLoggingMax{0};
    uint64_t TimeBase = 0; // millisecond clock at open

    // Release bookkeeping.
    std::recursive_mutex threads_lock_; // worker thread slots, orphan_
    std::atomic<bool> released_{false};
    struct PlainDelete {
        void operator()(TSioBaseDispatcher* dispatcher) const { delete dispatcher; }
    };
    std::unique_ptr<TSioBaseDispatcher, PlainDelete> orphan_; // self, once abandoned
    base::Event thread_gone_{false, false};
    bool shut_down_ = false;
    std::function<void()> close_on_last_thread_; // threads_lock_
    int wake_fd_ = -1;                           // eventfd, see WakeFd
    std::atomic<int32_t> out_in_flight_{0};
    std::atomic<uint64_t> dispatch_passes_{0};
    // Guards the use of fOwner by ThreadGone against the owner letting go (a leaf lock).
    std::mutex owner_lock_;

    // Progress signal of WaitRunningCalls(done, limit).
    std::mutex progress_lock_;
    std::condition_variable progress_changed_;
    uint64_t progress_count_ = 0; // progress_lock_

    // Flush requests made and acknowledged (numbers, see RequestFlush).
    std::atomic<uint64_t> flush_requested_{0};
    std::atomic<uint64_t> flush_acknowledged_{0};
};

} // namespace serial
