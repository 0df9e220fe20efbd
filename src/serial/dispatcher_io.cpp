// The output ring, the dispatch ring and the moves between them and the device layer:
// writes, reads during and outside notifications, flushing and ExtractData.
#include "serial/dispatcher.h"
#include "serial/error_codes.h"

#include <algorithm>
#include <cstring>

namespace serial {

namespace {

constexpr uint32_t kRingMask = DispatchBufferSize - 1;

} // namespace

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
    if (OBuffer.empty() || (!OBufFull && OBufHead == OBufTail)) {
        SetOutInFlight(0);
        return;
    }
    if (OBufHead > OBufTail) {
        out.assign(OBuffer.begin() + OBufTail, OBuffer.begin() + OBufHead);
    } else {
        out.assign(OBuffer.begin() + OBufTail, OBuffer.end());
        out.insert(out.end(), OBuffer.begin(), OBuffer.begin() + OBufHead);
    }
    OBufHead = OBufTail = 0;
    OBufFull = false;
    // In the same step as the ring empties, so a drain never sees the bytes vanish.
    SetOutInFlight(static_cast<int32_t>(out.size()));
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

int32_t TSioBaseDispatcher::OutputRingAndInFlight() {
    std::lock_guard lock(OutputSection);
    return OutputRingUsed() + OutInFlight();
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
    while (TIOBuffer* block = FQueue.Peek()) {
        auto* data = dynamic_cast<TDataBuffer*>(block);
        if (data != nullptr && data->FDataRead >= data->FDataUsed) {
            // A data block with nothing unread would hold up every block behind it and
            // keep the dispatch thread waking for it: drop it.
            (void)FQueue.Pop();
            continue;
        }
        const int32_t used = data != nullptr ? data->FDataUsed - data->FDataRead : 0;
        FQueue.Release(block);
        return used;
    }
    return 0;
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
        // Once the threads are told to stop (a lost device, a failed write) nothing would
        // send the bytes: taking them would report as sent what never leaves.
        if (OBuffer.empty() || KillThreads)
            return ecCommNotOpen;
        // The ring's own room: bytes the write thread has taken (in flight) or the driver
        // holds are no longer in the ring, so they do not make a block that fits refused.
        const int64_t free = static_cast<int64_t>(OutQue) - OutputRingUsed();
        if (static_cast<int64_t>(Len) > free)
            return ecOutputBufferTooSmall;
        refused = WriteCom(Block, static_cast<int32_t>(Len)) <= 0;
    }
    if (refused) {
        // The line's error bits as RefreshLineErrors takes them: a failed query (a negative
        // code) reports none, it is not stored as bits.
        RefreshLineErrors();
        return ecPutBlockFail;
    }
    OutSentPending = true;
    LogEvent(dtDispatch, dstWriteCom, Len, Block, Len);
    AddTraceBlock('T', Block, Len);
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
    // Bytes in flight and in the driver count as used, so the total may pass OutQue.
    return std::max<int32_t>(0, static_cast<int32_t>(OutQue) - OutBufUsed());
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
    AddTraceBlock('R', Block, Len);
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

} // namespace serial
