// Finding fired receive and timer triggers and delivering notifications to the handlers.
#include "base/message_loop.h"
#include "serial/dispatcher.h"

#include <algorithm>
#include <thread>
#include <utility>
#include <vector>

namespace serial {

namespace {

constexpr uint32_t kRingMask = DispatchBufferSize - 1;
constexpr auto kWindowWait = std::chrono::milliseconds(3000);
} // namespace

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
        if (tail_total > ScannedTotal) {
            // Bytes were taken before the scan reached them: a partial match must not go on
            // across them, or a string fires that never arrived in that order.
            for (auto& t : DataTriggers) {
                t.tChkIndex.fill(0);
                t.tMatched = false;
            }
        }
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
    // A handler call from its pick to its return: the record is picked and marked as in call
    // under DataSection, so a deregistration from another thread sees the call and waits for
    // it; the mark goes when the call returns, also when it throws.
    struct InCall {
        TSioBaseDispatcher& d;
        bool active = false;
        void Begin(const void* record) { // DataSection held
            d.calling_ = record;
            ++d.calling_seq_;
            active = true;
        }
        ~InCall() {
            if (!active)
                return;
            {
                std::lock_guard lock(d.DataSection);
                d.calling_ = nullptr;
            }
            d.NoteProgress();
        }
    };
    // Runs a handler's call on the owner thread for the dispatch thread, which waits for it:
    // skipped when the handler was deregistered before the call started; meanwhile the
    // owner thread counts as the dispatch side (a close there must not wait for the
    // dispatch thread, which waits for this very call).
    auto on_owner = [this](const bool& deleted, const std::function<void()>& fn) {
        {
            std::lock_guard lock(DataSection);
            if (deleted)
                return;
        }
        struct Runner {
            std::atomic<std::thread::id>& runner;
            std::thread::id previous;
            ~Runner() { runner = previous; }
        } mark{sync_runner_, sync_runner_.exchange(std::this_thread::get_id())};
        fn();
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
        const TEventTriggerHandler* record = nullptr;
        InCall in_call{*this};
        {
            std::lock_guard lock(DataSection);
            if (i >= EventTriggerHandlers.size())
                break;
            record = EventTriggerHandlers[i].get();
            h = *record;
            if (h.thDeleted || !h.thNotify)
                continue;
            in_call.Begin(record);
        }
        begin_handler();
        if (h.thSync) {
            base::CurrentMessageLoop().Synchronize(
                [&] { on_owner(record->thDeleted, [&] { h.thNotify(Msg, Trigger, lParam); }); });
        } else {
            h.thNotify(Msg, Trigger, lParam);
        }
        after_handler();
    }
    for (size_t i = 0; !stopped; ++i) {
        TProcTriggerHandler h;
        InCall in_call{*this};
        {
            std::lock_guard lock(DataSection);
            if (i >= ProcTriggerHandlers.size())
                break;
            h = *ProcTriggerHandlers[i];
            if (h.thDeleted || h.thNotify == nullptr)
                continue;
            in_call.Begin(ProcTriggerHandlers[i].get());
        }
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
        const TWndTriggerHandler* record = nullptr;
        InCall in_call{*this};
        {
            std::lock_guard lock(DataSection);
            if (i >= WndTriggerHandlers.size())
                break;
            record = WndTriggerHandlers[i].get();
            h = *record;
            if (h.thDeleted || h.thWnd == nullptr)
                continue;
            in_call.Begin(record);
        }
        begin_handler();
        // A window that does not answer in time is passed over for this notification.
        (void)base::CurrentMessageLoop().SynchronizeFor(
            [&] { on_owner(record->thDeleted, [&] { h.thWnd->WndProc(Msg, Trigger, lParam); }); },
            kWindowWait);
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
