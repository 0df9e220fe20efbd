// The packet matcher's enumerations and its end-condition set. Plain values, shared by the
// matcher and by the main window, which reconfigures the matcher at start-up.
#pragma once

#include <cstdint>

namespace packet {

// How a packet begins.
enum TPacketStartCond : uint8_t {
    scString,  // with the start string
    scAnyData, // with the first byte that arrives
};

// How a packet ends; combined in TPacketEndSet.
enum TPacketEndCond : uint8_t {
    ecString,     // with the end string
    ecPacketSize, // when it holds PacketSize bytes
};

// The matcher's current mode.
enum TPacketMode : uint8_t {
    dpIdle,       // not matching
    dpWaitStart,  // looking for the start string
    dpCollecting, // inside a packet, looking for its end
};

// A set of end conditions (empty allowed).
class TPacketEndSet {
public:
    constexpr TPacketEndSet() = default;
    constexpr TPacketEndSet(TPacketEndCond cond) : bits_(Bit(cond)) {}

    [[nodiscard]] constexpr bool Contains(TPacketEndCond cond) const {
        return (bits_ & Bit(cond)) != 0;
    }
    [[nodiscard]] constexpr bool Empty() const { return bits_ == 0; }
    constexpr TPacketEndSet& Include(TPacketEndCond cond) {
        bits_ |= Bit(cond);
        return *this;
    }
    constexpr TPacketEndSet& Exclude(TPacketEndCond cond) {
        bits_ &= static_cast<uint8_t>(~Bit(cond));
        return *this;
    }
    constexpr TPacketEndSet& Clear() {
        bits_ = 0;
        return *this;
    }
    constexpr TPacketEndSet operator+(TPacketEndSet other) const {
        return FromBits(bits_ | other.bits_);
    }
    constexpr TPacketEndSet operator-(TPacketEndSet other) const {
        return FromBits(bits_ & static_cast<uint8_t>(~other.bits_));
    }
    constexpr bool operator==(const TPacketEndSet&) const = default;

private:
    static constexpr uint8_t Bit(TPacketEndCond cond) {
        return static_cast<uint8_t>(1u << static_cast<unsigned>(cond));
    }
    static constexpr TPacketEndSet FromBits(unsigned bits) {
        TPacketEndSet set;
        set.bits_ = static_cast<uint8_t>(bits);
        return set;
    }
    uint8_t bits_ = 0;
};

} // namespace packet
