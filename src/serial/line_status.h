// The arithmetic of the line settings and the line status, apart from any device: composing
// a DCB for SetLine, the wait for characters in flight, the modem status byte, the line
// error bits and the conditions of status triggers. The dispatcher's line operations
// (dispatcher_line.cpp) apply these to the device under its locks.
#pragma once

#include "serial/dcb.h"
#include "serial/serial_types.h"

#include <cstdint>

namespace serial {

// Modem status byte: line states in the high nibble, change flags in the low nibble.
inline constexpr uint8_t msCTSDelta = 0x01;
inline constexpr uint8_t msDSRDelta = 0x02;
inline constexpr uint8_t msRingDelta = 0x04; // a ring ended
inline constexpr uint8_t msDCDDelta = 0x08;
inline constexpr uint8_t msCTS = 0x10;
inline constexpr uint8_t msDSR = 0x20;
inline constexpr uint8_t msRing = 0x40;
inline constexpr uint8_t msDCD = 0x80;

// Line error bits collected in LastError.
inline constexpr uint32_t leBufferBit = 0x01;  // receive queue overflow
inline constexpr uint32_t leOverrunBit = 0x02; // receiver overrun
inline constexpr uint32_t leParityBit = 0x04;
inline constexpr uint32_t leFramingBit = 0x08;
inline constexpr uint32_t leBreakBit = 0x10;
inline constexpr uint32_t leAllBits = 0x1F;

// GetLineError results.
inline constexpr int32_t leNone = 0;
inline constexpr int32_t leBuffer = 1;
inline constexpr int32_t leOverrun = 2;
inline constexpr int32_t leParity = 3;
inline constexpr int32_t leFraming = 4;
inline constexpr int32_t leBreak = 9;

// True when SetLine's arguments can be put in a DCB: a rate that is not negative, a parity
// code 0..4 or the keep-value 5, 5..8 data bits or the keep-value 9, stop bits not negative.
[[nodiscard]] bool ValidLineArguments(int32_t Baud, int32_t Parity, int32_t DataBits,
                                      int32_t StopBits);

// The DCB that SetLine applies: current with fBinary and fTXContinueOnXoff set, fParity,
// fDsrSensitivity and fNull cleared, and the given values in place of the keep-values.
// StopBits 0 counts as 1 and values above 3 as 2; 5 data bits take one and a half.
// The arguments must have passed ValidLineArguments.
[[nodiscard]] DCB ComposeLine(const DCB& current, int32_t Baud, int32_t Parity, int32_t DataBits,
                              int32_t StopBits);

// True when rate, parity, byte size, stop bits and every flag are the same.
[[nodiscard]] bool SameLine(const DCB& a, const DCB& b);

// Milliseconds that 18 characters of dcb's framing take at baud (legacy codes translated),
// doubled when below a millisecond, rounded up; 0 when the rate is unknown (0).
[[nodiscard]] uint32_t DrainWaitMs(uint32_t baud, const DCB& dcb);

// The modem status byte after a read from the device: the high nibble replaced by lines,
// the change flags kept, and the ring-ended flag set when a ring was seen.
[[nodiscard]] constexpr uint8_t MergeModemLines(uint8_t status, uint32_t lines, bool ring_seen) {
    uint8_t merged = static_cast<uint8_t>((status & 0x0F) | (lines & 0xF0));
    if (ring_seen) {
        merged |= msRingDelta;
    }
    return merged;
}

// The change flags a device event adds: the lines that differ between old and now.
[[nodiscard]] constexpr uint8_t ChangedLines(uint8_t old_status, uint8_t new_status) {
    return static_cast<uint8_t>(((old_status ^ new_status) & 0xF0) >> 4);
}

// GetLineError's result for the bits of LastError (the first one set, in order).
[[nodiscard]] int32_t LineErrorCode(uint32_t last_error);

// A status trigger's condition as set when it is activated with Value.
[[nodiscard]] uint16_t StatusTriggerValue(uint32_t SType, uint16_t Value, uint8_t modem_status);

} // namespace serial
