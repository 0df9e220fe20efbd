// The translation between the DCB and termios2, without a device.
#include "serial/posix/line_settings.h"

#include <asm/termbits.h>
#include <cerrno>
#include <gtest/gtest.h>

namespace serial::posix {
namespace {

TEST(PosixLineSettings, FramingAndFlowTranslateBothWays) {
    struct Case {
        uint32_t rate;
        uint8_t data_bits, parity, stop_bits;
        tcflag_t cflag; // the framing bits expected
    } cases[] = {
        {56000, 8, NOPARITY, ONESTOPBIT, CS8},
        {9600, 7, ODDPARITY, TWOSTOPBITS, CS7 | PARENB | PARODD | CSTOPB},
        {250000, 6, EVENPARITY, ONESTOPBIT, CS6 | PARENB},
        {1200, 8, MARKPARITY, TWOSTOPBITS, CS8 | PARENB | CMSPAR | PARODD | CSTOPB},
        {31250, 5, SPACEPARITY, ONE5STOPBITS, CS5 | PARENB | CMSPAR | CSTOPB},
        {0xFF1F, 5, NOPARITY, ONESTOPBIT, CS5}, // the legacy code of 56000
    };
    const tcflag_t framing = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        DCB dcb;
        dcb.BaudRate = c.rate;
        dcb.ByteSize = c.data_bits;
        dcb.Parity = c.parity;
        dcb.StopBits = c.stop_bits;
        dcb.fOutX = true;
        dcb.XonChar = 'Q';
        dcb.XoffChar = 'S';
        termios2 t{};
        t.c_cflag = B9600 | CRTSCTS;
        ASSERT_EQ(ComposeSettings(dcb, t), 0);
        EXPECT_EQ(t.c_cflag & framing, c.cflag);
        EXPECT_EQ(t.c_cflag & CBAUD, tcflag_t{BOTHER});
        EXPECT_EQ(t.c_ospeed, LegacyBaudRate(c.rate));
        EXPECT_EQ(t.c_ispeed, LegacyBaudRate(c.rate));
        EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
        EXPECT_EQ(t.c_iflag & (IXON | IXOFF), tcflag_t{IXON});
        DCB back;
        DecodeSettings(t, back);
        EXPECT_EQ(back.BaudRate, LegacyBaudRate(c.rate));
        EXPECT_EQ(back.ByteSize, c.data_bits);
        EXPECT_EQ(back.Parity, c.parity);
        EXPECT_EQ(back.StopBits, c.stop_bits);
        EXPECT_TRUE(back.fOutX);
        EXPECT_FALSE(back.fInX);
        EXPECT_EQ(back.XonChar, 'Q');
        EXPECT_EQ(back.XoffChar, 'S');
    }
}

TEST(PosixLineSettings, HardwareFlowSetsTheOneHandshakeSwitch) {
    for (const auto& [cts, rts] :
         {std::pair{true, TRtsControl::rtsEnable}, std::pair{false, TRtsControl::rtsHandshake}}) {
        DCB dcb;
        dcb.BaudRate = 9600;
        dcb.fOutxCtsFlow = cts;
        dcb.fRtsControl = rts;
        termios2 t{};
        ASSERT_EQ(ComposeSettings(dcb, t), 0);
        EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
    }
}

TEST(PosixLineSettings, FramingNoLineCanDoIsRefused) {
    struct Case {
        uint32_t rate;
        uint8_t data_bits, parity, stop_bits;
    } cases[] = {
        {0, 8, NOPARITY, ONESTOPBIT},     {9600, 4, NOPARITY, ONESTOPBIT},
        {9600, 9, NOPARITY, ONESTOPBIT},  {9600, 8, 5, ONESTOPBIT},
        {9600, 8, NOPARITY, 3},           {9600, 8, NOPARITY, ONE5STOPBITS},
        {9600, 5, NOPARITY, TWOSTOPBITS},
    };
    for (const Case& c : cases) {
        DCB dcb;
        dcb.BaudRate = c.rate;
        dcb.ByteSize = c.data_bits;
        dcb.Parity = c.parity;
        dcb.StopBits = c.stop_bits;
        termios2 t{};
        t.c_cflag = B9600 | CS8;
        const termios2 before = t;
        EXPECT_EQ(ComposeSettings(dcb, t), EINVAL) << int(c.data_bits) << int(c.stop_bits);
        EXPECT_EQ(t.c_cflag, before.c_cflag);
    }
}

TEST(PosixLineSettings, RateTolerance) {
    EXPECT_TRUE(RateAccepted(56000, 56000));
    EXPECT_TRUE(RateAccepted(56000, 57680));  // 3.0% over
    EXPECT_FALSE(RateAccepted(56000, 57681)); // just beyond
    EXPECT_TRUE(RateAccepted(56000, 54320));
    EXPECT_FALSE(RateAccepted(56000, 54319));
}

} // namespace
} // namespace serial::posix
