// The trigger tables (avail, timer, data and status triggers and their handles) and the
// three handler lists.
#include "base/tick_clock.h"
#include "serial/dispatcher.h"
#include "serial/error_codes.h"

#include <algorithm>
#include <cstring>

namespace serial {

namespace {

uint8_t AsciiUpper(uint8_t c) {
    return (c >= 'a' && c <= 'z') ? static_cast<uint8_t>(c - 32) : c;
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

// Follows the partial matches of a data trigger's string with one more byte; true when the
// byte completes the string.
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
// lists (it is then freed when the notification ends). Returns the marked record (it may be
// in a call), or nullptr when it was freed or none matched.
template <typename List, typename Pred>
const void* DeregisterFrom(List& list, Pred matches, bool busy, bool& delete_pending) {
    for (auto it = list.begin(); it != list.end(); ++it) {
        if ((*it)->thDeleted || !matches(**it))
            continue;
        if (busy) {
            (*it)->thDeleted = true;
            delete_pending = true;
            return it->get();
        }
        list.erase(it);
        return nullptr;
    }
    return nullptr;
}

} // namespace

void TSioBaseDispatcher::WaitHandlerLeft(const void* record) {
    if (record == nullptr)
        return;
    uint64_t seq = 0;
    {
        std::lock_guard lock(DataSection);
        if (calling_ != record)
            return;
        seq = calling_seq_;
    }
    // On the dispatch side the call in progress is the caller's own (or one it waits for):
    // the marking is all, the record goes when the notification ends.
    if (CallingForDispatchThread())
        return;
    // Elsewhere the caller may free what the handler uses as soon as this returns: wait for
    // the call to end (bounded; on the owner thread a synchronized call it waits in runs).
    (void)WaitRunningCalls(
        [&] {
            std::lock_guard lock(DataSection);
            return calling_ != record || calling_seq_ != seq;
        },
        ThreadWaitLimit);
}

void TSioBaseDispatcher::DeregisterWndTriggerHandler(TSioWindowHandle hWnd) {
    const void* record = nullptr;
    {
        std::lock_guard lock(DataSection);
        record = DeregisterFrom(
            WndTriggerHandlers, [hWnd](const auto& h) { return h.thWnd == hWnd; }, fEventBusy,
            DeletePending);
        LogEvent(dtTriggerHandlerDispose, dstWndHandler, 0);
    }
    WaitHandlerLeft(record);
}

void TSioBaseDispatcher::DeregisterProcTriggerHandler(TSioNotifyProc Proc) {
    const void* record = nullptr;
    {
        std::lock_guard lock(DataSection);
        record = DeregisterFrom(
            ProcTriggerHandlers, [Proc](const auto& h) { return h.thNotify == Proc; }, fEventBusy,
            DeletePending);
        LogEvent(dtTriggerHandlerDispose, dstProcHandler, 0);
    }
    WaitHandlerLeft(record);
}

void TSioBaseDispatcher::DeregisterEventTriggerHandler(TSioNotifyEvent Event) {
    const void* record = nullptr;
    {
        std::lock_guard lock(DataSection);
        record = DeregisterFrom(
            EventTriggerHandlers, [&Event](const auto& h) { return h.thNotify == Event; },
            fEventBusy, DeletePending);
        LogEvent(dtTriggerHandlerDispose, dstEventHandler, 0);
    }
    WaitHandlerLeft(record);
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

bool TSioBaseDispatcher::HandlerCallInProgress() {
    std::lock_guard lock(DataSection);
    return calling_ != nullptr;
}

size_t TSioBaseDispatcher::HandlerCount() {
    std::lock_guard lock(DataSection);
    return WndTriggerHandlers.size() + ProcTriggerHandlers.size() + EventTriggerHandlers.size();
}

} // namespace serial
