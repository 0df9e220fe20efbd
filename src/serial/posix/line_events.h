// The device events between two readings of the modem lines (TIOCMGET) and the driver's
// counters (TIOCGICOUNT): what the status thread queues as a status block.
#pragma once

#include <cstdint>
#include <linux/serial.h>

namespace serial::posix {

// EV_CTS, EV_DSR, EV_RLSD for a line that changed or whose change counter moved (a short
// pulse between two readings still counts); EV_RING for a ring that started; EV_BREAK,
// EV_ERR for the break and error counters; EV_RXCHAR when bytes were received.
[[nodiscard]] uint32_t LineEventMask(int lines_before, int lines_after,
                                     const serial_icounter_struct& before,
                                     const serial_icounter_struct& after);

} // namespace serial::posix
