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
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <typeinfo>
#include <unistd.h>
#include <utility>

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

void TSioBaseDispatcher::ReleaseOwner() {
    std::lock_guard lock(owner_lock_);
    fOwner = nullptr;
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

void TSioBaseDispatcher::NoteProgress() {
    {
        std::lock_guard lock(progress_lock_);
        ++progress_count_;
    }
    progress_changed_.notify_all();
}

bool TSioBaseDispatcher::WaitRunningCalls(const std::function<bool()>& done,
                                          std::chrono::milliseconds limit) {
    auto& loop = base::CurrentMessageLoop();
    const bool owner = loop.IsOwnerThread();
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (true) {
        uint64_t seen = 0;
        {
            std::lock_guard lock(progress_lock_);
            seen = progress_count_;
        }
        if (done())
            return true;
        if (owner) {
            loop.ProcessMessages();
            if (done())
                return true;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return false;
        // The owner thread looks again every few milliseconds for synchronized calls to
        // run; other threads sleep until progress is noted (or a slice passes, should a
        // device layer forget to note it).
        const auto slice = owner ? kPollSlice : std::chrono::milliseconds(50);
        std::unique_lock lock(progress_lock_);
        progress_changed_.wait_until(lock, std::min(deadline, now + slice),
                                     [&] { return progress_count_ != seen; });
    }
}

uint64_t TSioBaseDispatcher::RequestFlush() {
    const uint64_t request = ++flush_requested_;
    OutFlushEvent.Set();
    return request;
}

void TSioBaseDispatcher::AcknowledgeFlush() {
    // Every request made before the write thread dropped its block is answered: the
    // flushers emptied the ring before asking, so nothing of theirs is left.
    const uint64_t requested = flush_requested_.load();
    uint64_t acknowledged = flush_acknowledged_.load();
    while (acknowledged < requested &&
           !flush_acknowledged_.compare_exchange_weak(acknowledged, requested)) {
    }
    OutFlushAck.Set();
    NoteProgress();
}

bool TSioBaseDispatcher::WaitFlushAcknowledged(uint64_t Request, std::chrono::milliseconds limit) {
    bool acknowledged = false;
    (void)WaitRunningCalls(
        [&] {
            acknowledged = flush_acknowledged_.load() >= Request;
            return acknowledged || !ThreadRunning(&TSioBaseDispatcher::OutThread);
        },
        limit);
    return acknowledged;
}

bool TSioBaseDispatcher::CallingForDispatchThread() {
    if (sync_runner_.load() == std::this_thread::get_id())
        return true;
    std::lock_guard lock(threads_lock_);
    return fDispThread != nullptr && fDispThread->ThreadId.load() == CurrentThreadId();
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
    // The owner lets go before anything waits: a worker that ends from here on (during the
    // waits, or after them when one times out) raises against no owner, since the owner
    // may be gone by then. ThreadGone uses the owner under the same lock.
    ReleaseOwner();
    // On the dispatch side (the dispatch thread, or the owner running a handler for it) the
    // dispatch thread finishes the release when it leaves; waiting for it here would wait
    // for the caller itself.
    const bool dispatch_side = sync_runner_.load() == std::this_thread::get_id();
    if (!shut_down_) {
        shut_down_ = true;
        if (!ClosePending)
            DonePort();
        else if (!CallingForDispatchThread())
            DonePortPrim();
    }
    return WaitWorkersGone(dispatch_side);
}

// True when every worker has gone; false at the deadline, or at once when called on a worker
// of this dispatcher or on the dispatch side (it never waits for itself).
bool TSioBaseDispatcher::WaitWorkersGone(bool dispatch_side) {
    return WaitForThreads(ThreadWaitLimit, [this, dispatch_side]() -> std::optional<bool> {
        if (ActiveThreads.load() == 0)
            return true;
        if (dispatch_side && fDispThread != nullptr)
            return false;
        for (auto* t : {ComThread, fDispThread, OutThread, StatusThread}) {
            if (t != nullptr && t->ThreadId.load() == CurrentThreadId())
                return false;
        }
        return std::nullopt;
    });
}

int32_t TSioBaseDispatcher::InitPort(const std::string& ComName, int32_t Baud, int32_t Parity,
                                     int32_t DataBits, int32_t StopBits, int32_t InSize,
                                     int32_t OutSize, uint32_t Options) {
    // After a lost device the workers end by themselves, the device already closed: a reopen
    // right then (Disconnect, Connect) waits for them instead of failing as still open.
    if (CidEx.load() < 0 && ActiveThreads.load() > 0)
        (void)WaitWorkersGone(sync_runner_.load() == std::this_thread::get_id());
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
    // From a handler the dispatch thread is waiting in (a synchronized or window handler on
    // the owner thread) the close must not wait for the dispatch thread: the device layer's
    // thread waits skip it (WaitThreadGone answers at once), ClosePending (below) ends the
    // notification, and the dispatch thread releases when it leaves.
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
    out_in_flight_ = 0;
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
        std::exception_ptr error;
        {
            // The owner is read and used under owner_lock_: once Shutdown has let go of it
            // under the same lock, it is never touched again (it may be freed by then).
            std::lock_guard lock(owner_lock_);
            try {
                (void)CheckException(fOwner.load(), code);
            } catch (...) {
                error = std::current_exception();
            }
        }
        if (error)
            ShowWorkerError(error);
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
    std::unique_ptr<TSioBaseDispatcher, PlainDelete> abandoned;
    {
        std::lock_guard lock(threads_lock_);
        for (auto* slot : {&ComThread, &fDispThread, &OutThread, &StatusThread}) {
            if (*slot == &thread)
                *slot = nullptr;
        }
        // The device is closed by the last thread when CloseCom could not wait for them all;
        // nothing can reach it any more. Closed before the count reaches 0, so whoever sees
        // no thread left also sees the device closed.
        if (ActiveThreads.load() == 1 && close_on_last_thread_)
            std::exchange(close_on_last_thread_, nullptr)();
        if (--ActiveThreads == 0) {
            DispActive = false;
            abandoned = std::move(orphan_);
        }
        // Signalled with the slot already empty, so a woken waiter sees the thread gone;
        // still under the lock, since once it is released and no thread is left, the owner
        // may free the dispatcher.
        thread_gone_.Set();
        NoteProgress();
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
        std::thread worker([owned = std::move(thread)]() { owned->Run(); });
        // Named by role, so a thread list (top -H, a debugger) tells the four apart.
        const char* name = slot == &TSioBaseDispatcher::ComThread      ? "sio-read"
                           : slot == &TSioBaseDispatcher::fDispThread  ? "sio-dispatch"
                           : slot == &TSioBaseDispatcher::OutThread    ? "sio-write"
                           : slot == &TSioBaseDispatcher::StatusThread ? "sio-status"
                                                                       : "sio-worker";
        (void)::pthread_setname_np(worker.native_handle(), name);
        worker.detach();
    } catch (const std::system_error&) {
        // The thread object went with the callable that failed to start.
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
    // The owner running a handler for the dispatch thread is the dispatch thread here.
    const bool dispatch_side = sync_runner_.load() == std::this_thread::get_id();
    return WaitForThreads(limit, [this, slot, dispatch_side]() -> std::optional<bool> {
        const TSioDispatcherThread* t = this->*slot;
        if (t == nullptr)
            return true;
        if (t->ThreadId.load() == CurrentThreadId())
            return false;
        if (dispatch_side && t == fDispThread)
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
