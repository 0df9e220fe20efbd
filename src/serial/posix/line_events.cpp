// Device events from two readings of the modem lines and the driver's counters.
#include "serial/posix/line_events.h"

#include "serial/serial_types.h"

#include <sys/ioctl.h>

namespace serial::posix {

uint32_t LineEventMask(int lines_before, int lines_after, const serial_icounter_struct& before,
                       const serial_icounter_struct& after) {
    uint32_t mask = 0;
    const int changed = lines_before ^ lines_after;
    if ((changed & TIOCM_CTS) != 0 || after.cts != before.cts)
        mask |= EV_CTS;
    if ((changed & TIOCM_DSR) != 0 || after.dsr != before.dsr)
        mask |= EV_DSR;
    if ((changed & TIOCM_CD) != 0 || after.dcd != before.dcd)
        mask |= EV_RLSD;
    if ((lines_after & ~lines_before & TIOCM_RI) != 0 || after.rng != before.rng)
        mask |= EV_RING;
    if (after.brk != before.brk)
        mask |= EV_BREAK;
    if (after.frame != before.frame || after.overrun != before.overrun ||
        after.parity != before.parity || after.buf_overrun != before.buf_overrun)
        mask |= EV_ERR;
    if (after.rx != before.rx)
        mask |= EV_RXCHAR;
    return mask;
}

} // namespace serial::posix
