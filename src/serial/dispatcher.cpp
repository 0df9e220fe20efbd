// Opening and closing a dispatcher, and the start, end and release of its worker threads.
#include "serial/dispatcher.h"

#include "base/error_display.h"
#include "base/message_loop.h"
#include "base/tick_clock.h"
#include "serial/error_codes.h"
#include "serial/errors.h"
#include "serial/port_list.h"

#include <algorithm>
#include <cstdlib>
#include <cxxabi.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <typeinfo>
#include <utility>
#include <unistd.h>

namespace serial {

namespace {

constexpr auto kStartWait = std::chrono::milliseconds(3000);
constexpr auto kPollSlice = std::chrono::milliseconds(2);

int CurrentThreadId() {
    return static_cast<int>(::syscall(SYS_gettid));
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
    wake_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    fHandle = AddToPortList(this);
}

TSioBaseDispatcher::~TSioBaseDispatcher() {
    ReleaseBuffers();
    RemoveFromPortList(fHandle);
    if (wake_fd_ >= 0)
        ::close(wake_fd_);
}

void TSioBaseDispatcher::StopThreads() {
    KillThreads = true;
    if (wake_fd_ >= 0) {
        const uint64_t one = 1;
        (void)!::write(wake_fd_, &one, sizeof one);
    }
}

void TSioBaseDispatcher::CloseWhenThreadsGone(std::function<void()> close) {
    {
        std::lock_guard lock(threads_lock_);
        if (ActiveThreads.load() > 0) {
            close_on_last_thread_ = std::move(close);
            return;
        }
    }
    close();
}

bool TSioBaseDispatcher::WaitRunningCalls(base::Event& event, std::chrono::milliseconds limit) {
    auto& loop = base::CurrentMessageLoop();
    if (!loop.IsOwnerThread())
        return event.Wait(limit);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (true) {
        if (event.Wait(kPollSlice))
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        loop.ProcessMessages();
    }
}

bool TSioBaseDispatcher::Shutdown() {
    if (!shut_down_) {
        shut_down_ = true;
        if (ClosePending)
            DonePortPrim();
        else
            DonePort();
    }
    // True when every worker has gone; false at the deadline, or at once when called on a
    // worker of this dispatcher (it never waits for itself).
    const bool gone = WaitForThreads(ThreadWaitLimit, [this]() -> std::optional<bool> {
        if (ActiveThreads.load() == 0)
            return true;
        for (auto* t : {ComThread, fDispThread, OutThread, StatusThread}) {
            if (t != nullptr && t->ThreadId.load() == CurrentThreadId())
                return false;
        }
        return std::nullopt;
    });
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
    if (wake_fd_ >= 0) {
        uint64_t count = 0;
        (void)!::read(wake_fd_, &count, sizeof count); // clear a stop left from an earlier open
    }

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
    if (const int32_t code = StartDispatcher(); code < 0) {
        DonePort();
        return code;
    }
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
            if (close_on_last_thread_)
                std::exchange(close_on_last_thread_, nullptr)();
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

bool TSioBaseDispatcher::ThreadRunning(TSioDispatcherThread* TSioBaseDispatcher::*slot) {
    std::lock_guard lock(threads_lock_);
    return this->*slot != nullptr;
}

bool TSioBaseDispatcher::WaitThreadGone(TSioDispatcherThread* TSioBaseDispatcher::*slot,
                                        std::chrono::milliseconds limit) {
    return WaitForThreads(limit, [this, slot]() -> std::optional<bool> {
        const TSioDispatcherThread* t = this->*slot;
        if (t == nullptr)
            return true;
        if (t->ThreadId.load() == CurrentThreadId())
            return false;
        return std::nullopt;
    });
}

bool TSioBaseDispatcher::WaitForThreads(std::chrono::milliseconds limit,
                                        const std::function<std::optional<bool>()>& check) {
    auto& loop = base::CurrentMessageLoop();
    const bool owner = loop.IsOwnerThread();
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (true) {
        {
            std::lock_guard lock(threads_lock_);
            if (const std::optional<bool> answer = check())
                return *answer;
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
} // namespace serial
