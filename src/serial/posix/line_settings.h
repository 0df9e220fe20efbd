// Line settings of a terminal device through termios2 (TCGETS2/TCSETS2). Kept apart from
// every other source: <asm/termbits.h> and <termios.h> cannot meet in one translation unit.
// Results are 0 or a positive errno.
#pragma once

#include "serial/dcb.h"

#include <cstdint>
#include <functional>

struct termios2;

namespace serial::posix {

// What the device reports back for a rate it was given: the identity for a real device;
// tests put a rounding chip in its place.
using RateReadback = std::function<uint32_t(uint32_t reported)>;

// Raw mode: no input or output translation, no echo, no signals, no line editing, 8 data
// bits, receiver on, modem lines ignored for opening, DTR dropped at the last close, reads
// that wait for one byte. Read back and checked; EINVAL when the device kept something else.
[[nodiscard]] int ApplyRawMode(int fd);

// Fills the fields of dcb that the terminal settings hold alone: rate, framing, software
// flow and the XON/XOFF characters. Other fields are left as they are.
[[nodiscard]] int ReadLine(int fd, DCB& dcb);

// Applies the same fields. Framing the line cannot do (1.5 stop bits need 5 data bits, 2
// stop bits need 6 or more), a rate the device reports back more than 3% off, and framing
// the device does not keep (a pseudo-terminal is always 8 bits without parity) are
// refused with EINVAL and leave the settings as they were.
[[nodiscard]] int WriteLine(int fd, const DCB& dcb, const RateReadback& readback);

// The translation itself: ComposeSettings writes the DCB's fields into t (EINVAL for
// framing no line can do), DecodeSettings reads them back into dcb.
[[nodiscard]] int ComposeSettings(const DCB& dcb, termios2& t);
void DecodeSettings(const termios2& t, DCB& dcb);

// True when the rate the device reports is within 3% of the one asked for.
[[nodiscard]] bool RateAccepted(uint32_t wanted, uint32_t reported);

} // namespace serial::posix
