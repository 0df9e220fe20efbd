// The dispatch thread: its loop, the dispatch pass (line events, moving received bytes,
// status and receive triggers) and the timer pass.
#include "serial/dispatcher.h"

namespace serial {

namespace {

constexpr auto kPassWait = std::chrono::milliseconds(50);
// Device events that change a modem line.
constexpr uint32_t kModemEvents = EV_CTS | EV_DSR | EV_RLSD | EV_RING | EV_RINGTE;

} // namespace

class TSioBaseDispatcher::TDispThread : public TSioDispatcherThread {
public:
    using TSioDispatcherThread::TSioDispatcherThread;

protected:
    void Execute() override { H.DispatchLoop(*this); }
};

bool TSioBaseDispatcher::StartDispThread() {
    return LaunchThread(std::make_unique<TDispThread>(*this), &TSioBaseDispatcher::fDispThread) !=
           nullptr;
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
    ++dispatch_passes_;
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

} // namespace serial
