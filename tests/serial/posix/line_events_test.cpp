// Device events from two readings of the modem lines and the driver's counters.
#include "serial/posix/line_events.h"
#include "serial/serial_types.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>

namespace serial::posix {
namespace {

TEST(PosixLineEvents, ChangesBecomeTheirEventBits) {
    const serial_icounter_struct base{};
    const auto counted = [&](int serial_icounter_struct::*field) {
        serial_icounter_struct after = base;
        after.*field += 1;
        return after;
    };
    struct Case {
        const char* what;
        int before, after;
        serial_icounter_struct counts_after;
        uint32_t expected;
    } cases[] = {
        {"nothing", TIOCM_CTS, TIOCM_CTS, base, 0},
        {"CTS drops", TIOCM_CTS | TIOCM_DSR, TIOCM_DSR, base, EV_CTS},
        {"DSR rises", 0, TIOCM_DSR, base, EV_DSR},
        {"carrier drops", TIOCM_CD, 0, base, EV_RLSD},
        {"ring starts", 0, TIOCM_RI, base, EV_RING},
        {"ring ends", TIOCM_RI, 0, base, 0},
        {"CTS pulsed between readings", 0, 0, counted(&serial_icounter_struct::cts), EV_CTS},
        {"DSR pulsed", 0, 0, counted(&serial_icounter_struct::dsr), EV_DSR},
        {"carrier pulsed", 0, 0, counted(&serial_icounter_struct::dcd), EV_RLSD},
        {"a whole ring", 0, 0, counted(&serial_icounter_struct::rng), EV_RING},
        {"break", 0, 0, counted(&serial_icounter_struct::brk), EV_BREAK},
        {"framing error", 0, 0, counted(&serial_icounter_struct::frame), EV_ERR},
        {"overrun", 0, 0, counted(&serial_icounter_struct::overrun), EV_ERR},
        {"parity error", 0, 0, counted(&serial_icounter_struct::parity), EV_ERR},
        {"buffer overrun", 0, 0, counted(&serial_icounter_struct::buf_overrun), EV_ERR},
        {"bytes received", 0, 0, counted(&serial_icounter_struct::rx), EV_RXCHAR},
        {"bytes sent", 0, 0, counted(&serial_icounter_struct::tx), 0},
        {"DTR and RTS are ours", 0, TIOCM_DTR | TIOCM_RTS, base, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LineEventMask(c.before, c.after, base, c.counts_after), c.expected) << c.what;
    EXPECT_EQ(LineEventMask(TIOCM_CTS, TIOCM_CD, base, counted(&serial_icounter_struct::brk)),
              EV_CTS | EV_RLSD | EV_BREAK);
}

} // namespace
} // namespace serial::posix
