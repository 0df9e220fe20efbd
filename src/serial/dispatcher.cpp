#include "serial/dispatcher.h"

#include "base/error_display.h"
#include "base/message_loop.h"
#include "base/tick_clock.h"
#include "serial/error_codes.h"
#include "serial/errors.h"
#include "serial/port_list.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <typeinfo>
#include <unistd.h>

namespace serial {

namespace {

constexpr uint32_t kRingMask = DispatchBufferSize - 1;
constexpr auto kPassWait = std::chrono::milliseconds(50);
constexpr auto kStartWait = std::chrono::milliseconds(3000);
constexpr auto kWindowWait = std::chrono::milliseconds(3000);
constexpr auto kPollSlice = std::chrono::milliseconds(2);
// Device events that change a modem line.
constexpr uint32_t kModemEvents = EV_CTS | EV_DSR | EV_RLSD | EV_RING | EV_RINGTE;

int CurrentThreadId() {
    return static_cast<int>(::syscall(SYS_gettid));
}

uint8_t AsciiUpper(uint8_t c) {
    return (c >= 'a' && c <= 'z') ? static_cast<uint8_t>(c - 32) : c;
}

// "ESioException" for serial::ESioException: the class name as the user knows it.
std::string ClassName(const std::exception& e) {
    const char* mangled = typeid(e).name();
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(
        abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
    std::string name = (status == 0 && demangled) ? demangled.get() : mangled;
    if (auto pos = name.rfind("::"); pos != std::string::npos)
        name.erase(0, pos + 2);
    return name;
}

// Shows an error that ends a worker thread (posted to the owner thread's error display).
void ShowWorkerError(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        base::ShowThreadError(ClassName(e) + ": " + e.what());
    } catch (...) {
        base::ShowThreadError("Unknown exception");
    }
}

} // namespace

// ---- Timers ----

void EventTimer::Start(int32_t ticks) {
    const int32_t n = std::clamp(ticks, 0, MaxTimerTicks);
    StartTicks = base::TickCount55();
    ExpireTicks = StartTicks + static_cast<uint64_t>(n);
}

bool EventTimer::Expired() const {
    return ExpireTicks < base::TickCount55();
}

// ---- Worker threads ----

void TSioDispatcherThread::Run() {
    TSioBaseDispatcher& dispatcher = H;
    std::exception_ptr error;
    dispatcher.ThreadStart(*this);
    try {
        Execute();
    } catch (...) {
        error = std::current_exception();
    }
    // Posted before the thread counts as gone: once it does, the owner may tear down the
    // dispatcher and its message loop.
    if (error)
        ShowWorkerError(error);
    // ThreadGone may free the dispatcher: nothing of it is touched afterwards.
    dispatcher.ThreadGone(*this);
}

class TSioBaseDispatcher::TDispThread : public TSioDispatcherThread {
public:
    using TSioDispatcherThread::TSioDispatcherThread;

protected:
    void Execute() override { H.DispatchLoop(*this); }
};

void TSioDispatcherDeleter::operator()(TSioBaseDispatcher* dispatcher) const {
    if (dispatcher == nullptr)
        return;
    if (!dispatcher->Shutdown()) {
        // A thread still runs: it keeps the dispatcher and the last one to end frees it.
        std::lock_guard lock(dispatcher->threads_lock_);
        if (dispatcher->ActiveThreads.load() > 0) {
            dispatcher->orphan_.reset(dispatcher);
            return;
        }
    }
    delete dispatcher;
}

// ---- Life cycle ----

TSioBaseDispatcher::TSioBaseDispatcher(base::TComponent* Owner) : fOwner(Owner) {
    fHandle = AddToPortList(this);
}

TSioBaseDispatcher::~TSioBaseDispatcher() {
    ReleaseBuffers();
    RemoveFromPortList(fHandle);
}

bool TSioBaseDispatcher::Shutdown() {
    if (!shut_down_) {
        shut_down_ = true;
        if (ClosePending)
            DonePortPrim();
        else
            DonePort();
    }
    auto& loop = base::CurrentMessageLoop();
    const bool owner = loop.IsOwnerThread();
    const auto deadline = std::chrono::steady_clock::now() + ThreadWaitLimit;
    // True when every worker has gone; false at the deadline, or at once when called on a
    // worker of this dispatcher (it never waits for itself).
    auto wait_for_threads = [&] {
        while (true) {
            {
                std::lock_guard lock(threads_lock_);
                if (ActiveThreads.load() == 0)
                    return true;
                for (auto* t : {ComThread, fDispThread, OutThread, StatusThread}) {
                    if (t != nullptr && t->ThreadId.load() == CurrentThreadId())
                        return false;
                }
            }
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            if (owner)
                loop.ProcessMessages();
            (void)thread_gone_.Wait(kPollSlice);
        }
    };
    const bool gone = wait_for_threads();
    fOwner = nullptr;
    return gone;
}

int32_t TSioBaseDispatcher::InitPort(const std::string& ComName, int32_t Baud, int32_t Parity,
                                     int32_t DataBits, int32_t StopBits, int32_t InSize,
                                     int32_t OutSize, uint32_t Options) {
    if (CidEx.load() >= 0 || ActiveThreads.load() > 0)
        return ecAlreadyOpen;
    if (InSize < 0 || OutSize <= 0)
        return ecBadArgument;
    RingFlag = false;
    fEventBusy = false;
    DeletePending = false;
    OutputEvent.Reset();
    OutFlushEvent.Reset();
    OutFlushAck.Reset();
    KillThreads = false;
    ClosePending = false;
    shut_down_ = false;

    LastSystemError = 0;
    const int32_t handle = OpenCom(ComName, InSize, OutSize);
    if (handle < 0) {
        const int32_t code = handle == ecOutOfMemory
                                 ? ecOutOfMemory
                                 : (LastSystemError > 0 ? -LastSystemError : handle);
        DonePort();
        return code;
    }
    CidEx = handle;
    if (!SetupCom(InSize, OutSize)) {
        const int32_t code = LastSystemError > 0 ? -LastSystemError : ecHardware;
        DonePort();
        return code;
    }
    try {
        std::scoped_lock lock(OutputSection, DispSection);
        OBuffer.assign(static_cast<size_t>(OutSize), 0);
        DBuffer.assign(DispatchBufferSize, 0);
    } catch (const std::bad_alloc&) {
        DonePort();
        return ecOutOfMemory;
    }
    {
        std::lock_guard lock(OutputSection);
        OBufHead = OBufTail = 0;
        OBufFull = false;
    }
    {
        std::lock_guard lock(DispSection);
        DBufHead = DBufTail = NotifyTail = LastTailData = 0;
        MovedTotal = NotifyTotal = ScannedTotal = 0;
        DispatchFull = false;
        GetCount = MaxGetCount = 0;
        InAvailMessage = false;
    }
    released_ = false;
    InQue = static_cast<uint32_t>(InSize);
    OutQue = static_cast<uint32_t>(OutSize);
    OutSentPending = false;
    {
        std::lock_guard lock(DataSection);
        LastError = 0;
        RS485Mode = false;
        BaseAddress = 0;
        (void)GetComState(DCB);
    }
    if ((Options & ipAutoDTR) != 0) {
        DTRAuto = true;
    } else {
        DTRAuto = false;
        (void)SetDtr((Options & ipAssertDTR) != 0);
    }
    if ((Options & ipAutoRTS) != 0) {
        RTSAuto = true;
    } else {
        RTSAuto = false;
        (void)SetRts((Options & ipAssertRTS) != 0);
    }
    RemoveAllTriggers();
    ResetStatusHits();
    {
        std::lock_guard lock(DataSection);
        ModemStatus = 0;
    }
    (void)ReadModemStatus(0xF0);
    LastBaud = 115200;
    if (const int32_t code = SetLine(Baud, Parity, DataBits, StopBits); code < 0) {
        DonePort();
        return code;
    }
    RefreshLineErrors();
    AbortTracing();
    TimeBase = base::TickMilliseconds();
    DLoggingOn = false;
    DLoggingMax = 0;
    StartDispatcher();
    return 0;
}

void TSioBaseDispatcher::DonePort() {
    if (CidEx.load() >= 0) {
        (void)FlushOutBuffer();
        (void)FlushInBuffer();
        (void)CloseCom();
    }
    bool defer = false;
    {
        std::lock_guard lock(threads_lock_);
        if (fEventBusy && fDispThread != nullptr) {
            // A handler is running: the dispatch thread releases when it leaves its loop.
            ClosePending = true;
            defer = true;
        }
    }
    if (!defer)
        DonePortPrim();
}

void TSioBaseDispatcher::DonePortPrim() {
    DoDonePortPrim = false;
    if (DispActive)
        StopDispatcher();
    ReleaseBuffers();
}

void TSioBaseDispatcher::ReleaseBuffers() {
    std::scoped_lock lock(DataSection, OutputSection, DispSection);
    if (released_.exchange(true))
        return;
    std::vector<uint8_t>().swap(OBuffer);
    OBufHead = OBufTail = 0;
    OBufFull = false;
    std::vector<uint8_t>().swap(DBuffer);
    DBufHead = DBufTail = NotifyTail = LastTailData = 0;
    DispatchFull = false;
    FQueue.Clear();
}

void TSioBaseDispatcher::ThreadStart(TSioDispatcherThread& thread) {
    thread.ThreadId = CurrentThreadId();
    thread.Started->Set();
    LogEvent(dtThread, dstThreadStart, static_cast<uint32_t>(thread.ThreadId.load()));
}

void TSioBaseDispatcher::ThreadGone(TSioDispatcherThread& thread) {
    if (const int32_t code = thread.ReturnValue.load(); code != 0) {
        try {
            (void)CheckException(fOwner.load(), code);
        } catch (...) {
            ShowWorkerError(std::current_exception());
        }
    }
    LogEvent(dtThread, dstThreadExit, static_cast<uint32_t>(thread.ThreadId.load()));
    bool is_dispatch = false;
    {
        std::lock_guard lock(threads_lock_);
        is_dispatch = fDispThread == &thread;
    }
    if (is_dispatch && (DoDonePortPrim || ClosePending)) {
        DonePortPrim();
        DoDonePortPrim = false;
    }
    thread_gone_.Set();
    std::unique_ptr<TSioBaseDispatcher, PlainDelete> abandoned;
    {
        std::lock_guard lock(threads_lock_);
        for (auto* slot : {&ComThread, &fDispThread, &OutThread, &StatusThread}) {
            if (*slot == &thread)
                *slot = nullptr;
        }
        if (--ActiveThreads == 0) {
            DispActive = false;
            abandoned = std::move(orphan_);
        }
    }
    // The last thread of an abandoned dispatcher frees it here.
}

TSioDispatcherThread*
TSioBaseDispatcher::LaunchThread(std::unique_ptr<TSioDispatcherThread> thread,
                                 TSioDispatcherThread* TSioBaseDispatcher::*slot) {
    TSioDispatcherThread* raw = thread.get();
    std::shared_ptr<base::Event> started = thread->Started;
    {
        std::lock_guard lock(threads_lock_);
        this->*slot = raw;
        ++ActiveThreads;
        DispActive = true;
    }
    try {
        std::thread([owned = std::move(thread)]() { owned->Run(); }).detach();
    } catch (const std::system_error&) {
        std::lock_guard lock(threads_lock_);
        this->*slot = nullptr;
        if (--ActiveThreads == 0)
            DispActive = false;
        return nullptr;
    }
    (void)started->Wait(kStartWait);
    return raw;
}

void TSioBaseDispatcher::StartDispThread() {
    (void)LaunchThread(std::make_unique<TDispThread>(*this), &TSioBaseDispatcher::fDispThread);
}

bool TSioBaseDispatcher::ThreadRunning(TSioDispatcherThread* TSioBaseDispatcher::*slot) {
    std::lock_guard lock(threads_lock_);
    return this->*slot != nullptr;
}

bool TSioBaseDispatcher::WaitThreadGone(TSioDispatcherThread* TSioBaseDispatcher::*slot,
                                        std::chrono::milliseconds limit) {
    auto& loop = base::CurrentMessageLoop();
    const bool owner = loop.IsOwnerThread();
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (true) {
        {
            std::lock_guard lock(threads_lock_);
            TSioDispatcherThread* t = this->*slot;
            if (t == nullptr)
                return true;
            if (t->ThreadId.load() == CurrentThreadId())
                return false;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        if (owner)
            loop.ProcessMessages();
        (void)thread_gone_.Wait(kPollSlice);
    }
}

void TSioBaseDispatcher::SetThreadBoost(uint8_t Boost) {
    Boost = std::min<uint8_t>(Boost, 2);
    if (Boost == ThreadBoost)
        return;
    ThreadBoost = Boost;
    std::lock_guard lock(threads_lock_);
    for (auto* slot : {&ComThread, &fDispThread, &OutThread, &StatusThread}) {
        TSioDispatcherThread* t = *slot;
        if (t == nullptr || t->ThreadId.load() == 0)
            continue;
        const int steps = Boost + ((slot == &OutThread && RS485Mode) ? 1 : 0);
        // Raising a priority needs privileges on Linux: best effort, failures are ignored.
        (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(t->ThreadId.load()), -steps);
    }
}

// ---- Device helpers ----

int32_t TSioBaseDispatcher::InQueueUsed() {
    return 0;
}

bool TSioBaseDispatcher::CopyToOutputRing(const uint8_t* Data, uint32_t Len) {
    std::lock_guard lock(OutputSection);
    if (OBuffer.empty())
        return false;
    const uint32_t size = static_cast<uint32_t>(OBuffer.size());
    const uint32_t room = size - OBufHead;
    if (Len > room) {
        std::memcpy(&OBuffer[OBufHead], Data, room);
        std::memcpy(OBuffer.data(), Data + room, Len - room);
        OBufHead = Len - room;
    } else {
        std::memcpy(&OBuffer[OBufHead], Data, Len);
        OBufHead += Len;
        if (OBufHead == size)
            OBufHead = 0;
    }
    if (Len > 0 && OBufHead == OBufTail)
        OBufFull = true;
    return true;
}

void TSioBaseDispatcher::TakeOutputRing(std::vector<uint8_t>& out) {
    std::lock_guard lock(OutputSection);
    out.clear();
    if (OBuffer.empty() || (!OBufFull && OBufHead == OBufTail))
        return;
    if (OBufHead > OBufTail) {
        out.assign(OBuffer.begin() + OBufTail, OBuffer.begin() + OBufHead);
    } else {
        out.assign(OBuffer.begin() + OBufTail, OBuffer.end());
        out.insert(out.end(), OBuffer.begin(), OBuffer.begin() + OBufHead);
    }
    OBufHead = OBufTail = 0;
    OBufFull = false;
}

void TSioBaseDispatcher::EmptyOutputRing() {
    std::lock_guard lock(OutputSection);
    OBufHead = OBufTail = 0;
    OBufFull = false;
}

int32_t TSioBaseDispatcher::OutputRingUsed() {
    std::lock_guard lock(OutputSection);
    if (OBuffer.empty())
        return 0;
    if (OBufFull)
        return static_cast<int32_t>(OutQue);
    if (OBufHead >= OBufTail)
        return static_cast<int32_t>(OBufHead - OBufTail);
    return static_cast<int32_t>(OBufHead + OutQue - OBufTail);
}

int32_t TSioBaseDispatcher::ReadFromQueue(uint8_t* Dest, int32_t Count) {
    int32_t copied = 0;
    while (copied < Count) {
        TIOBuffer* block = FQueue.Peek();
        if (block == nullptr)
            break;
        auto* data = dynamic_cast<TDataBuffer*>(block);
        if (data == nullptr) {
            FQueue.Release(block); // a line event: later bytes wait behind it
            break;
        }
        const int32_t n = std::min(Count - copied, data->FDataUsed - data->FDataRead);
        std::memcpy(Dest + copied, data->FData.data() + data->FDataRead, static_cast<size_t>(n));
        data->FDataRead += n;
        copied += n;
        if (data->FDataRead >= data->FDataUsed)
            (void)FQueue.Pop();
        else
            FQueue.Release(block);
    }
    return copied;
}

int32_t TSioBaseDispatcher::FirstBlockUsed() {
    TIOBuffer* block = FQueue.Peek();
    if (block == nullptr)
        return 0;
    int32_t used = 0;
    if (auto* data = dynamic_cast<TDataBuffer*>(block))
        used = data->FDataUsed - data->FDataRead;
    FQueue.Release(block);
    return used;
}

// ---- Output ----

int32_t TSioBaseDispatcher::PutBlock(const uint8_t* Block, uint32_t Len) {
    if (Len == 0)
        return 0;
    if (Block == nullptr)
        return ecBadArgument;
    bool refused = false;
    {
        std::lock_guard lock(OutputSection);
        if (OBuffer.empty())
            return ecCommNotOpen;
        const int64_t free = static_cast<int64_t>(OutQue) - OutBufUsed();
        if (static_cast<int64_t>(Len) > free)
            return ecOutputBufferTooSmall;
        refused = WriteCom(Block, static_cast<int32_t>(Len)) <= 0;
    }
    if (refused) {
        std::lock_guard lock(DataSection);
        LastError = static_cast<uint32_t>(GetComError(ComStatus));
        return ecPutBlockFail;
    }
    OutSentPending = true;
    LogEvent(dtDispatch, dstWriteCom, Len, Block, Len);
    for (uint32_t i = 0; i < Len; ++i)
        AddTraceEntry('T', Block[i]);
    return 0;
}

int32_t TSioBaseDispatcher::PutString(const std::string& S) {
    return PutBlock(reinterpret_cast<const uint8_t*>(S.data()), static_cast<uint32_t>(S.size()));
}

int32_t TSioBaseDispatcher::OutBuffUsed() {
    RefreshLineErrors();
    return OutBufUsed();
}

int32_t TSioBaseDispatcher::OutBuffFree() {
    RefreshLineErrors();
    return static_cast<int32_t>(OutQue) - OutBufUsed();
}

int32_t TSioBaseDispatcher::FlushOutBuffer() {
    return FlushCom(0);
}

// ---- Input ----

uint32_t TSioBaseDispatcher::UnreadLocked() {
    if (DBuffer.empty())
        return 0;
    if (DispatchFull)
        return DispatchBufferSize;
    return (DBufHead - DBufTail) & kRingMask;
}

bool TSioBaseDispatcher::CharReady() {
    return InBuffUsed() > 0;
}

int32_t TSioBaseDispatcher::InBuffUsed() {
    std::lock_guard lock(DispSection);
    const uint32_t taken = InAvailMessage ? GetCount : 0;
    return static_cast<int32_t>(UnreadLocked() - std::min(taken, UnreadLocked()));
}

int32_t TSioBaseDispatcher::InBuffFree() {
    return static_cast<int32_t>(DispatchBufferSize) - InBuffUsed();
}

int32_t TSioBaseDispatcher::PeekBlock(uint8_t* Block, uint32_t Len) {
    std::lock_guard lock(DispSection);
    if (DBuffer.empty())
        return ecCommNotOpen;
    const uint32_t taken = InAvailMessage ? GetCount : 0;
    if (static_cast<uint64_t>(Len) + taken > UnreadLocked())
        return ecBufferIsEmpty;
    if (Len > 0 && Block == nullptr)
        return ecBadArgument;
    const uint32_t start = (DBufTail + taken) & kRingMask;
    const uint32_t first = std::min(Len, DispatchBufferSize - start);
    std::memcpy(Block, &DBuffer[start], first);
    std::memcpy(Block + first, DBuffer.data(), Len - first);
    return static_cast<int32_t>(Len);
}

int32_t TSioBaseDispatcher::GetBlock(uint8_t* Block, uint32_t Len) {
    std::lock_guard lock(DispSection);
    const int32_t n = PeekBlock(Block, Len);
    if (n <= 0)
        return n;
    if (InAvailMessage) {
        GetCount += Len;
    } else {
        DBufTail = (DBufTail + Len) & kRingMask;
        DispatchFull = false;
        DispSpaceEvent.Set();
    }
    for (uint32_t i = 0; i < Len; ++i)
        AddTraceEntry('R', Block[i]);
    return n;
}

int32_t TSioBaseDispatcher::PeekChar(uint8_t& C, uint32_t Count) {
    if (Count == 0)
        return ecBadArgument;
    std::lock_guard lock(DispSection);
    if (DBuffer.empty())
        return ecCommNotOpen;
    const uint32_t taken = InAvailMessage ? GetCount : 0;
    if (static_cast<uint64_t>(Count) + taken > UnreadLocked())
        return ecBufferIsEmpty;
    C = DBuffer[(DBufTail + taken + Count - 1) & kRingMask];
    return 0;
}

int32_t TSioBaseDispatcher::GetChar(uint8_t& C) {
    const int32_t n = GetBlock(&C, 1);
    return n < 0 ? n : 0;
}

int32_t TSioBaseDispatcher::FlushInBuffer() {
    std::scoped_lock lock(DataSection, DispSection);
    const int32_t result = CidEx.load() >= 0 ? FlushCom(1) : 0;
    if (DBuffer.empty())
        return result;
    if (InAvailMessage) {
        MaxGetCount = UnreadLocked();
    } else {
        DBufTail = DBufHead;
        GetCount = 0;
    }
    DispatchFull = false;
    // Flushed bytes must not complete a data trigger later.
    LastTailData = DBufHead;
    ScannedTotal = MovedTotal;
    DispSpaceEvent.Set();
    for (auto& t : DataTriggers) {
        t.tChkIndex.fill(0);
        t.tMatched = false;
    }
    return result;
}

bool TSioBaseDispatcher::DispatchFullState() {
    std::lock_guard lock(DispSection);
    return DispatchFull;
}

// ---- Triggers ----

int32_t TSioBaseDispatcher::NewTriggerHandle() {
    if (TriggerCounter < 4096)
        return static_cast<int32_t>(TriggerCounter++ * 8);
    for (uint32_t h = 8; h <= 4096; h += 8) {
        const bool used = std::any_of(TimerTriggers.begin(), TimerTriggers.end(),
                                      [h](const auto& t) { return t.tHandle == h; }) ||
                          std::any_of(DataTriggers.begin(), DataTriggers.end(),
                                      [h](const auto& t) { return t.tHandle == h; }) ||
                          std::any_of(StatusTriggers.begin(), StatusTriggers.end(),
                                      [h](const auto& t) { return (t.tHandle & ~7u) == h; });
        if (!used)
            return static_cast<int32_t>(h);
    }
    return ecNoMoreTriggers;
}

void TSioBaseDispatcher::ChangeLengthTrigger(uint32_t Length) {
    std::lock_guard lock(DataSection);
    LenTrigger = Length;
    LogEvent(dtTriggerDataChange, dstAvailTrigger, Length);
}

int32_t TSioBaseDispatcher::AddTimerTrigger() {
    std::lock_guard lock(DataSection);
    const int32_t h = NewTriggerHandle();
    if (h < 0)
        return h;
    TTimerTrigger t;
    t.tHandle = static_cast<uint32_t>(h);
    TimerTriggers.push_back(t);
    LogEvent(dtTriggerAlloc, dstTimerTrigger, t.tHandle);
    return h;
}

int32_t TSioBaseDispatcher::SetTimerTrigger(uint32_t Handle, int32_t Ticks, bool Activate) {
    std::lock_guard lock(DataSection);
    auto it = std::find_if(TimerTriggers.begin(), TimerTriggers.end(),
                           [Handle](const auto& t) { return t.tHandle == Handle; });
    if (Handle < 2 || it == TimerTriggers.end())
        return ecBadTriggerHandle;
    if (Activate) {
        if (Ticks != 0)
            it->tTicks = Ticks;
        it->tET.Start(it->tTicks);
    }
    it->tActive = Activate;
    LogEvent(dtTriggerDataChange, dstTimerTrigger, Handle);
    return 0;
}

int32_t TSioBaseDispatcher::AddDataTrigger(const char* Data, bool IgnoreCase) {
    if (Data == nullptr)
        return ecBadArgument;
    return AddDataTriggerLen(reinterpret_cast<const uint8_t*>(Data), IgnoreCase,
                             static_cast<uint32_t>(std::strlen(Data)));
}

int32_t TSioBaseDispatcher::AddDataTriggerLen(const uint8_t* Data, bool IgnoreCase, uint32_t Len) {
    if (Len > MaxDataTriggerLen)
        return ecTriggerTooLong;
    if (Data == nullptr && Len > 0)
        return ecBadArgument;
    std::lock_guard lock(DataSection);
    const int32_t h = NewTriggerHandle();
    if (h < 0)
        return h;
    TDataTrigger t;
    t.tHandle = static_cast<uint32_t>(h);
    t.tLen = Len;
    t.tIgnoreCase = IgnoreCase;
    for (uint32_t i = 0; i < Len; ++i)
        t.tData[i] = IgnoreCase ? AsciiUpper(Data[i]) : Data[i];
    {
        // Bytes already in the ring were matched before this trigger existed.
        std::lock_guard disp(DispSection);
        DataTriggers.push_back(t);
    }
    LogEvent(dtTriggerAlloc, dstDataTrigger, t.tHandle, t.tData.data(), Len);
    return h;
}

int32_t TSioBaseDispatcher::AddStatusTrigger(uint32_t SType) {
    if (SType > stOutSent)
        return ecBadArgument;
    std::lock_guard lock(DataSection);
    const int32_t h = NewTriggerHandle();
    if (h < 0)
        return h;
    TStatusTrigger t;
    t.tHandle = static_cast<uint32_t>(h) | SType;
    t.tSType = SType;
    StatusTriggers.push_back(t);
    LogEvent(dtTriggerAlloc, dstStatusTrigger, t.tHandle);
    return static_cast<int32_t>(t.tHandle);
}

int32_t TSioBaseDispatcher::RemoveTrigger(uint32_t Handle) {
    std::lock_guard lock(DataSection);
    if (Handle == AvailTriggerHandle) {
        LenTrigger = 0;
        LogEvent(dtTriggerDispose, dstAvailTrigger, Handle);
        return 0;
    }
    if (Handle < 2)
        return ecBadTriggerHandle;
    auto erase_from = [Handle](auto& list) {
        auto it = std::find_if(list.begin(), list.end(),
                               [Handle](const auto& t) { return t.tHandle == Handle; });
        if (it == list.end())
            return false;
        list.erase(it);
        return true;
    };
    if (erase_from(TimerTriggers) || erase_from(DataTriggers) || erase_from(StatusTriggers)) {
        LogEvent(dtTriggerDispose, dstNone, Handle);
        return 0;
    }
    return ecBadTriggerHandle;
}

void TSioBaseDispatcher::RemoveAllTriggers() {
    std::lock_guard lock(DataSection);
    LenTrigger = 0;
    TimerTriggers.clear();
    DataTriggers.clear();
    StatusTriggers.clear();
    TriggerCounter = 1;
}

void TSioBaseDispatcher::SaveTriggers(TTriggerSave& Save) {
    std::lock_guard lock(DataSection);
    ClearSaveBuffers(Save);
    Save.tsLenTrigger = LenTrigger;
    Save.tsTimerTriggers = TimerTriggers;
    Save.tsDataTriggers = DataTriggers;
    Save.tsStatusTriggers = StatusTriggers;
}

void TSioBaseDispatcher::RestoreTriggers(const TTriggerSave& Save) {
    std::lock_guard lock(DataSection);
    LenTrigger = Save.tsLenTrigger;
    TimerTriggers = Save.tsTimerTriggers;
    DataTriggers = Save.tsDataTriggers;
    StatusTriggers = Save.tsStatusTriggers;
    // Later handles must not collide with the restored ones.
    uint32_t highest = 0;
    for (const auto& t : TimerTriggers)
        highest = std::max(highest, t.tHandle / 8);
    for (const auto& t : DataTriggers)
        highest = std::max(highest, t.tHandle / 8);
    for (const auto& t : StatusTriggers)
        highest = std::max(highest, t.tHandle / 8);
    TriggerCounter = std::max(TriggerCounter, highest + 1);
}

void TSioBaseDispatcher::ClearSaveBuffers(TTriggerSave& Save) {
    Save.tsLenTrigger = 0;
    Save.tsTimerTriggers.clear();
    Save.tsDataTriggers.clear();
    Save.tsStatusTriggers.clear();
}

int32_t TSioBaseDispatcher::TimerTriggerCount() {
    std::lock_guard lock(DataSection);
    return static_cast<int32_t>(TimerTriggers.size());
}

int32_t TSioBaseDispatcher::DataTriggerCount() {
    std::lock_guard lock(DataSection);
    return static_cast<int32_t>(DataTriggers.size());
}

int32_t TSioBaseDispatcher::StatusTriggerCount() {
    std::lock_guard lock(DataSection);
    return static_cast<int32_t>(StatusTriggers.size());
}

// ---- Handlers ----

void TSioBaseDispatcher::RegisterWndTriggerHandler(TSioWindowHandle hWnd) {
    std::lock_guard lock(DataSection);
    WndTriggerHandlers.push_back(std::make_unique<TWndTriggerHandler>(TWndTriggerHandler{hWnd}));
    HandlerServiceNeeded = true;
    LogEvent(dtTriggerHandlerAlloc, dstWndHandler, 0);
}

void TSioBaseDispatcher::RegisterProcTriggerHandler(TSioNotifyProc Proc) {
    std::lock_guard lock(DataSection);
    ProcTriggerHandlers.push_back(std::make_unique<TProcTriggerHandler>(TProcTriggerHandler{Proc}));
    HandlerServiceNeeded = true;
    LogEvent(dtTriggerHandlerAlloc, dstProcHandler, 0);
}

void TSioBaseDispatcher::RegisterEventTriggerHandler(TSioNotifyEvent Event) {
    std::lock_guard lock(DataSection);
    EventTriggerHandlers.push_back(
        std::make_unique<TEventTriggerHandler>(TEventTriggerHandler{Event, false, false}));
    HandlerServiceNeeded = true;
    LogEvent(dtTriggerHandlerAlloc, dstEventHandler, 0);
}

void TSioBaseDispatcher::RegisterSyncEventTriggerHandler(TSioNotifyEvent Event) {
    std::lock_guard lock(DataSection);
    EventTriggerHandlers.push_back(
        std::make_unique<TEventTriggerHandler>(TEventTriggerHandler{Event, false, true}));
    HandlerServiceNeeded = true;
    LogEvent(dtTriggerHandlerAlloc, dstEventHandler, 1);
}

namespace {

// Removes the first live record that matches, or marks it while a notification walks the
// lists (it is then freed when the notification ends).
template <typename List, typename Pred>
void DeregisterFrom(List& list, Pred matches, bool busy, bool& delete_pending) {
    for (auto it = list.begin(); it != list.end(); ++it) {
        if ((*it)->thDeleted || !matches(**it))
            continue;
        if (busy) {
            (*it)->thDeleted = true;
            delete_pending = true;
        } else {
            list.erase(it);
        }
        return;
    }
}

} // namespace

void TSioBaseDispatcher::DeregisterWndTriggerHandler(TSioWindowHandle hWnd) {
    std::lock_guard lock(DataSection);
    DeregisterFrom(
        WndTriggerHandlers, [hWnd](const auto& h) { return h.thWnd == hWnd; }, fEventBusy,
        DeletePending);
    LogEvent(dtTriggerHandlerDispose, dstWndHandler, 0);
}

void TSioBaseDispatcher::DeregisterProcTriggerHandler(TSioNotifyProc Proc) {
    std::lock_guard lock(DataSection);
    DeregisterFrom(
        ProcTriggerHandlers, [Proc](const auto& h) { return h.thNotify == Proc; }, fEventBusy,
        DeletePending);
    LogEvent(dtTriggerHandlerDispose, dstProcHandler, 0);
}

void TSioBaseDispatcher::DeregisterEventTriggerHandler(TSioNotifyEvent Event) {
    std::lock_guard lock(DataSection);
    DeregisterFrom(
        EventTriggerHandlers, [&Event](const auto& h) { return h.thNotify == Event; }, fEventBusy,
        DeletePending);
    LogEvent(dtTriggerHandlerDispose, dstEventHandler, 0);
}

void TSioBaseDispatcher::UpdateHandlerFlags(TSioHandlerFlagUpdate FlagUpdate) {
    std::lock_guard lock(DataSection);
    const bool others = WndTriggerHandlers.size() > 1 || !ProcTriggerHandlers.empty() ||
                        !EventTriggerHandlers.empty();
    switch (FlagUpdate) {
    case TSioHandlerFlagUpdate::fuKeepPort:
        HandlerServiceNeeded = others || PortHandlerInstalled;
        break;
    case TSioHandlerFlagUpdate::fuEnablePort:
        PortHandlerInstalled = true;
        HandlerServiceNeeded = true;
        break;
    case TSioHandlerFlagUpdate::fuDisablePort:
        PortHandlerInstalled = false;
        HandlerServiceNeeded = others;
        break;
    }
}

void TSioBaseDispatcher::SetEventBusy(bool& WasOn, bool SetOn) {
    std::lock_guard lock(DataSection);
    WasOn = fEventBusy.exchange(SetOn);
}

size_t TSioBaseDispatcher::HandlerCount() {
    std::lock_guard lock(DataSection);
    return WndTriggerHandlers.size() + ProcTriggerHandlers.size() + EventTriggerHandlers.size();
}

// ---- Dispatch thread ----

void TSioBaseDispatcher::DispatchLoop(TSioDispatcherThread& self) {
    try {
        bool blocked = false;
        while (true) {
            if (blocked) {
                // The ring is full (or released) and blocks wait: sleep until a new block
                // or room arrives rather than spinning on blocks that cannot move.
                base::Event* events[] = {&FQueue.FEvent(), &DispSpaceEvent};
                (void)base::Event::WaitAny(events, kPassWait);
            } else {
                (void)FQueue.WaitForBuffer(kPassWait);
            }
            if (KillThreads || self.Terminated)
                break;
            DispatchPass();
            TimerPass();
            if (KillThreads || ClosePending || self.Terminated)
                break;
            {
                std::lock_guard lock(DispSection);
                blocked = (DispatchFull || DBuffer.empty()) && FQueue.Count() > 0;
            }
        }
    } catch (...) {
        DoDonePortPrim = ClosePending || KillThreads;
        throw;
    }
    DoDonePortPrim = ClosePending || KillThreads;
}

bool TSioBaseDispatcher::StatusLoop() {
    if (fEventBusy)
        return true;
    while (CheckStatusTriggers()) {
        if (ClosePending)
            return false;
    }
    if (ClosePending)
        return false;
    if (GlobalStatHit)
        ResetStatusHits();
    return true;
}

void TSioBaseDispatcher::DispatchPass() {
    CurrentEvent = 0;
    if (TIOBuffer* block = FQueue.Peek()) {
        if (auto* status = dynamic_cast<TStatusBuffer*>(block)) {
            CurrentEvent = status->FStatus;
            (void)FQueue.Pop();
        } else {
            FQueue.Release(block);
        }
    }
    if ((CurrentEvent & (EV_RING | EV_RINGTE)) != 0) {
        std::lock_guard lock(DataSection);
        RingFlag = true;
    }
    if ((CurrentEvent & kModemEvents) != 0) {
        LogEvent(dtDispatch, dstModemStatus, CurrentEvent);
        UpdateModemChangeFlags();
        if (!StatusLoop())
            return;
    }
    if ((CurrentEvent & (EV_BREAK | EV_ERR)) != 0) {
        LogEvent(dtDispatch, dstLineStatus, CurrentEvent);
        RefreshLineErrors();
        if (!StatusLoop())
            return;
    }
    ExtractData();
    if (!fEventBusy) {
        (void)ReadModemStatus(0xFF);
        if (!StatusLoop())
            return;
        while (!ClosePending && CheckReceiveTriggers()) {
        }
        if (ClosePending)
            return;
    }
    if (GlobalStatHit)
        ResetStatusHits();
}

void TSioBaseDispatcher::TimerPass() {
    if (ClosePending || fEventBusy)
        return;
    GlobalStatHit = false;
    while ((CheckStatusTriggers() || CheckTimerTriggers()) && !ClosePending) {
    }
    if (GlobalStatHit)
        ResetStatusHits();
}

void TSioBaseDispatcher::ExtractData() {
    std::lock_guard lock(DispSection);
    if (DBuffer.empty())
        return;
    if (DispatchFull) {
        if (FQueue.Count() > 0)
            LogEvent(dtDispatch, dstNone, 0,
                     reinterpret_cast<const uint8_t*>("Dispatch buffer full."), 21);
        return;
    }
    const int32_t avail = InQueueUsed();
    if (avail <= 0)
        return;
    const uint32_t free = DispatchBufferSize - UnreadLocked();
    const uint32_t first =
        DBufHead >= DBufTail ? DispatchBufferSize - DBufHead : DBufTail - DBufHead;
    const uint32_t wanted = std::min(free, static_cast<uint32_t>(avail));
    uint32_t rest = wanted > first ? wanted - first : 0;
    uint32_t moved = 0;
    int32_t n = std::max(0, ReadCom(&DBuffer[DBufHead], static_cast<int32_t>(first)));
    if (n > 0) {
        LogEvent(dtDispatch, dstReadCom, static_cast<uint32_t>(n), &DBuffer[DBufHead],
                 static_cast<uint32_t>(n));
        DBufHead = (DBufHead + static_cast<uint32_t>(n)) & kRingMask;
        moved += static_cast<uint32_t>(n);
    }
    MovedTotal += moved;
    if (static_cast<uint32_t>(n) < first)
        rest = 0;
    if (rest > 0) {
        n = std::max(0, ReadCom(&DBuffer[DBufHead], static_cast<int32_t>(rest)));
        if (n > 0) {
            LogEvent(dtDispatch, dstReadCom, static_cast<uint32_t>(n), &DBuffer[DBufHead],
                     static_cast<uint32_t>(n));
            DBufHead = (DBufHead + static_cast<uint32_t>(n)) & kRingMask;
            moved += static_cast<uint32_t>(n);
            MovedTotal += static_cast<uint32_t>(n);
        }
    }
    if (moved > 0)
        DispatchFull = DBufHead == DBufTail;
}

bool TSioBaseDispatcher::MatchDataTrigger(TDataTrigger& t, uint8_t c) {
    if (t.tIgnoreCase)
        c = AsciiUpper(c);
    bool started = false;
    for (uint32_t slot = 0; slot < t.tLen; ++slot) {
        const uint32_t k = t.tChkIndex[slot];
        if (slot > 0 && k == 0 && (started || c != t.tData[0]))
            continue;
        if (c == t.tData[k]) {
            if (k + 1 == t.tLen) {
                t.tChkIndex.fill(0);
                return true;
            }
            t.tChkIndex[slot] = k + 1;
        } else if (c == t.tData[0]) {
            t.tChkIndex[slot] = 1;
            started = true;
        } else {
            t.tChkIndex[slot] = 0;
        }
        if (t.tChkIndex[slot] == 1)
            started = true;
    }
    return false;
}

bool TSioBaseDispatcher::CheckReceiveTriggers() {
    bool send_avail = false;
    uint32_t avail_count = 0;
    std::vector<std::pair<uint32_t, uint32_t>> data_notes; // (handle, length), in send order
    {
        std::scoped_lock lock(DataSection, DispSection);
        if (DBuffer.empty())
            return false;
        // Positions are counted from the open; a byte's ring index is its count & kRingMask.
        const uint64_t tail_total = MovedTotal - UnreadLocked();
        uint64_t pos = std::max(ScannedTotal, tail_total);
        bool matched = false;
        while (pos < MovedTotal) {
            const uint8_t c = DBuffer[pos & kRingMask];
            uint32_t max_len = 0;
            for (auto& t : DataTriggers) {
                if (t.tLen == 0)
                    continue;
                t.tMatched = t.tMatched || MatchDataTrigger(t, c);
                if (t.tMatched) {
                    matched = true;
                    max_len = std::max(max_len, t.tLen);
                }
            }
            if (matched) {
                // The bytes before the matched string; none when part of the string was
                // already taken (a signed count, so it never wraps to a huge offer).
                const int64_t before =
                    static_cast<int64_t>(pos - tail_total + 1) - static_cast<int64_t>(max_len);
                if (LenTrigger != 0 && NotifyTotal != pos && before >= LenTrigger) {
                    send_avail = true;
                    avail_count = static_cast<uint32_t>(before);
                    NotifyTotal = pos;
                    NotifyTail = static_cast<uint32_t>(pos & kRingMask);
                }
                for (auto it = DataTriggers.rbegin(); it != DataTriggers.rend(); ++it) {
                    if (it->tMatched) {
                        it->tMatched = false;
                        data_notes.emplace_back(it->tHandle, it->tLen);
                    }
                }
                ScannedTotal = pos + 1;
                LastTailData = static_cast<uint32_t>(ScannedTotal & kRingMask);
                break;
            }
            ++pos;
        }
        if (!matched) {
            ScannedTotal = pos;
            LastTailData = static_cast<uint32_t>(pos & kRingMask);
            const uint32_t count = UnreadLocked();
            if (LenTrigger != 0 && NotifyTotal != MovedTotal && count >= LenTrigger) {
                send_avail = true;
                avail_count = count;
                NotifyTotal = MovedTotal;
                NotifyTail = DBufHead;
            }
        }
    }
    bool result = false;
    if (send_avail) {
        LogEvent(dtTrigger, dstAvail, avail_count);
        result = SendNotify(APW_TRIGGERAVAIL, avail_count, 0);
    }
    for (const auto& [handle, len] : data_notes) {
        if (ClosePending)
            return false;
        LogEvent(dtTrigger, dstData, handle);
        result = SendNotify(APW_TRIGGERDATA, handle, len);
    }
    return result;
}

bool TSioBaseDispatcher::CheckTimerTriggers() {
    uint32_t handle = 0;
    {
        std::lock_guard lock(DataSection);
        for (auto& t : TimerTriggers) {
            if (t.tActive && t.tET.Expired()) {
                t.tActive = false;
                handle = t.tHandle;
                break;
            }
        }
    }
    if (handle == 0)
        return false;
    LogEvent(dtTrigger, dstTimer, handle);
    return SendNotify(APW_TRIGGERTIMER, handle, 0);
}

bool TSioBaseDispatcher::SendNotify(uint32_t Msg, uint32_t Trigger, uint32_t Data) {
    if (!HandlerServiceNeeded)
        return true;
    {
        std::lock_guard lock(DataSection);
        fEventBusy = true;
    }
    const bool avail_message = Msg == APW_TRIGGERAVAIL || Msg == APW_TRIGGERDATA;
    {
        std::lock_guard lock(DispSection);
        MaxGetCount = 0;
        GetCount = 0;
        InAvailMessage = avail_message;
    }
    const int32_t lParam = static_cast<int32_t>(Data + (static_cast<uint32_t>(fHandle) << 16));
    bool result = true;
    bool stopped = false;

    // Steps that run however delivery ends, a throwing handler included.
    struct Finish {
        TSioBaseDispatcher& d;
        ~Finish() {
            {
                std::lock_guard lock(d.DataSection);
                d.fEventBusy = false;
                if (d.DeletePending) {
                    auto drop = [](auto& list) {
                        std::erase_if(list, [](const auto& h) { return h->thDeleted; });
                    };
                    drop(d.WndTriggerHandlers);
                    drop(d.ProcTriggerHandlers);
                    drop(d.EventTriggerHandlers);
                    d.DeletePending = false;
                    d.UpdateHandlerFlags(TSioHandlerFlagUpdate::fuKeepPort);
                }
            }
            std::lock_guard lock(d.DispSection);
            d.InAvailMessage = false;
            d.GetCount = 0;
        }
    } finish{*this};

    auto begin_handler = [this] {
        std::lock_guard lock(DispSection);
        GetCount = 0;
    };
    auto after_handler = [this, &result, &stopped] {
        if (ClosePending) {
            result = false;
            stopped = true;
            return false;
        }
        std::lock_guard lock(DispSection);
        MaxGetCount = std::max(MaxGetCount, GetCount);
        return true;
    };

    for (size_t i = 0; !stopped; ++i) {
        TEventTriggerHandler h;
        {
            std::lock_guard lock(DataSection);
            if (i >= EventTriggerHandlers.size())
                break;
            h = *EventTriggerHandlers[i];
        }
        if (h.thDeleted || !h.thNotify)
            continue;
        begin_handler();
        if (h.thSync)
            base::CurrentMessageLoop().Synchronize([&] { h.thNotify(Msg, Trigger, lParam); });
        else
            h.thNotify(Msg, Trigger, lParam);
        after_handler();
    }
    for (size_t i = 0; !stopped; ++i) {
        TProcTriggerHandler h;
        {
            std::lock_guard lock(DataSection);
            if (i >= ProcTriggerHandlers.size())
                break;
            h = *ProcTriggerHandlers[i];
        }
        if (h.thDeleted || h.thNotify == nullptr)
            continue;
        begin_handler();
        h.thNotify(Msg, Trigger, lParam);
        after_handler();
    }
    bool windows = false;
    {
        std::lock_guard lock(DataSection);
        windows = WndTriggerHandlers.size() > 1 || PortHandlerInstalled;
    }
    for (size_t i = 0; windows && !stopped; ++i) {
        TWndTriggerHandler h;
        {
            std::lock_guard lock(DataSection);
            if (i >= WndTriggerHandlers.size())
                break;
            h = *WndTriggerHandlers[i];
        }
        if (h.thDeleted || h.thWnd == nullptr)
            continue;
        begin_handler();
        // A window that does not answer in time is passed over for this notification.
        (void)base::CurrentMessageLoop().SynchronizeFor(
            [&] { h.thWnd->WndProc(Msg, Trigger, lParam); }, kWindowWait);
        after_handler();
    }

    if (!stopped && avail_message) {
        std::lock_guard lock(DispSection);
        InAvailMessage = false;
        if (!DBuffer.empty()) {
            const uint32_t taken = std::min(MaxGetCount, UnreadLocked());
            DBufTail = (DBufTail + taken) & kRingMask;
            if (taken > 0) {
                DispatchFull = false;
                DispSpaceEvent.Set();
            }
        }
        if (Msg == APW_TRIGGERAVAIL && MaxGetCount != Trigger)
            result = false;
    }
    return result;
}

} // namespace serial
