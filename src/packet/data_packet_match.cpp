// The matcher's work on the dispatch thread: patterns, one byte at a time, delivering a
// packet and reporting a time-out. Everything here runs with the manager's lock held,
// except the events themselves.
#include "base/error_display.h"
#include "packet/data_packet.h"
#include "packet/packet_manager.h"
#include "serial/serial_types.h"

#include <algorithm>

namespace packet {

namespace {
uint8_t UpperAscii(uint8_t c) {
    return c >= 'a' && c <= 'z' ? static_cast<uint8_t>(c - 32) : c;
}
} // namespace

TSioDataPacket::Pattern TSioDataPacket::Prepare(const std::string& Raw, bool IgnoreCase) {
    Pattern p;
    for (size_t i = 0; i < Raw.size(); ++i) {
        auto c = static_cast<uint8_t>(Raw[i]);
        if (IgnoreCase)
            c = UpperAscii(c);
        if (c == '\\') {
            if (++i == Raw.size())
                break; // a trailing backslash escapes nothing
            auto next = static_cast<uint8_t>(Raw[i]);
            p.Bytes.push_back(static_cast<char>(IgnoreCase ? UpperAscii(next) : next));
            p.Wild.push_back('0');
        } else {
            p.Bytes.push_back(static_cast<char>(c));
            p.Wild.push_back(c == '?' ? '1' : '0');
        }
    }
    return p;
}

bool TSioDataPacket::Matches(uint8_t Byte, const Pattern& P, int32_t Pos) const {
    const auto k = static_cast<size_t>(Pos - 1);
    if (k >= P.Bytes.size())
        return false;
    if (P.Wild[k] == '1')
        return true;
    const auto want = static_cast<uint8_t>(P.Bytes[k]);
    return (FIgnoreCase ? UpperAscii(Byte) : Byte) == want;
}

uint8_t TSioDataPacket::ByteAt(int32_t Index) const {
    return fManager->fDataBuffer.At(Index);
}

void TSioDataPacket::ProcessData(int32_t Start) {
    if (!FEnabled || !fManager || Start < 0 || Start >= fManager->fDataBuffer.Size())
        return;
    if (fMode == dpIdle && WillCollect) {
        SetMode(dpCollecting);
        WillCollect = false;
    }
    if (fMode == dpWaitStart)
        WaitStartByte(Start);
    else if (fMode == dpCollecting)
        CollectByte(Start);
}

void TSioDataPacket::WaitStartByte(int32_t Start) {
    const auto len = static_cast<int32_t>(InternalStart.Bytes.size());
    if (Matches(ByteAt(Start), InternalStart, StartMatchPos)) {
        if (fBeginMatch == -1)
            fBeginMatch = Start;
        if (StartMatchPos < len) {
            ++StartMatchPos;
            return;
        }
        if (FEndCond.Empty() || (FEndCond.Contains(ecPacketSize) && len == LocalPacketSize)) {
            fDataSize = Start - fBeginMatch + 1;
            Packet(ecPacketSize);
            return;
        }
        SetMode(dpCollecting);
        return;
    }
    if (fBeginMatch == -1)
        return;
    // A partial start match failed: the next candidate start is the first later byte from
    // which every byte up to this one matches the pattern's beginning.
    for (int32_t c = fBeginMatch + 1; c <= Start; ++c) {
        bool all = true;
        for (int32_t i = c; i <= Start && all; ++i)
            all = Matches(ByteAt(i), InternalStart, i - c + 1);
        if (all) {
            fBeginMatch = c;
            StartMatchPos = Start - c + 2;
            return;
        }
    }
    fBeginMatch = -1;
    StartMatchPos = 1;
}

void TSioDataPacket::CollectByte(int32_t Start) {
    if (fBeginMatch == -1)
        fBeginMatch = Start;
    if (FEndCond.Contains(ecPacketSize) && Start - fBeginMatch + 1 >= LocalPacketSize) {
        fDataSize = Start - fBeginMatch + 1;
        Packet(ecPacketSize);
        return;
    }
    if (!FEndCond.Contains(ecString))
        return;
    const auto len = static_cast<int32_t>(InternalEnd.Bytes.size());
    if (Matches(ByteAt(Start), InternalEnd, EndMatchPos)) {
        if (EndMatchPos < len) {
            ++EndMatchPos;
            return;
        }
        fDataSize = Start - fBeginMatch + 1;
        Packet(ecString);
        return;
    }
    if (EndMatchPos == 1)
        return;
    for (EndMatchStart = Start - EndMatchPos + 2; EndMatchStart <= Start; ++EndMatchStart) {
        bool all = true;
        for (int32_t i = EndMatchStart; i <= Start && all; ++i)
            all = Matches(ByteAt(i), InternalEnd, i - EndMatchStart + 1);
        if (all) {
            EndMatchPos = Start - EndMatchStart + 2;
            return;
        }
    }
    EndMatchPos = 1;
}

bool TSioDataPacket::Packet(TPacketEndCond Cond) {
    // Kept on this stack: the matcher may be destroyed while its events run.
    const std::shared_ptr<TSioDataPacketManager> manager = fManager;
    const int32_t begin = fBeginMatch;
    const int32_t raw = fDataSize;
    bool attached = true;
    manager->SetInEvent(true);
    try {
        FEnabled = false;
        Disable();
        int32_t data = begin;
        int32_t size = raw;
        if (FStartCond == scString && !FIncludeStrings) {
            const auto start_len = static_cast<int32_t>(InternalStart.Bytes.size());
            data += start_len;
            size -= start_len;
        }
        if (!FIncludeStrings && Cond == ecString)
            size -= static_cast<int32_t>(InternalEnd.Bytes.size());
        size = std::max(size, 0);
        Log(serial::dstStringPacket);
        const auto& buffer = manager->fDataBuffer;
        Log(Cond == ecString ? serial::dstStringPacket : serial::dstSizePacket, buffer.Data(data),
            static_cast<uint32_t>(size));
        FDataMatch = true;
        PacketBuffer = data;
        fDataSize = size;
        Collected.assign(reinterpret_cast<const char*>(buffer.Data(data)),
                         static_cast<size_t>(size));

        auto events = [this, alive = alive_, bytes = Collected] {
            if (!alive->load())
                return; // the matcher went before the call started
            base::RunHandler([&] {
                if (OnPacket)
                    OnPacket(*this, reinterpret_cast<const uint8_t*>(bytes.data()),
                             static_cast<int32_t>(bytes.size()));
                if (OnStringPacket)
                    OnStringPacket(*this, bytes);
            });
        };
        manager->RunOutsideLock(events, FSyncEvents);
        attached = manager->Attached(*this);
        if (attached)
            NoteDelivered();
        manager->RemoveData(begin, raw);
        if (attached && FAutoEnable) {
            FEnabled = true;
            Enable(); // deferred to the end of the event
        }
    } catch (...) {
        manager->SetInEvent(false);
        throw;
    }
    manager->SetInEvent(false);
    return attached;
}

bool TSioDataPacket::TimedOut() {
    const std::shared_ptr<TSioDataPacketManager> manager = fManager;
    bool attached = true;
    manager->SetInEvent(true);
    try {
        Log(serial::dstPacketTimeout);
        FEnabled = false;
        Disable();
        FTimedOut = true;
        const auto& buffer = manager->fDataBuffer;
        Collected.clear();
        if (fBeginMatch >= 0 && fBeginMatch < buffer.Size())
            Collected.assign(reinterpret_cast<const char*>(buffer.Data(fBeginMatch)),
                             static_cast<size_t>(buffer.Size() - fBeginMatch));
        auto events = [this, alive = alive_] {
            if (!alive->load())
                return;
            base::RunHandler([&] {
                if (OnTimeout)
                    OnTimeout(*this);
            });
        };
        manager->RunOutsideLock(events, FSyncEvents);
        attached = manager->Attached(*this);
        if (attached)
            NoteDelivered();
        if (attached && FFlushOnTimeout)
            manager->RemoveData(0, manager->fDataBuffer.Size());
    } catch (...) {
        manager->SetInEvent(false);
        throw;
    }
    manager->SetInEvent(false);
    return attached;
}

} // namespace packet
