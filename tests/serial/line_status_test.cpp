// Line settings and line status arithmetic, apart from any device.
#include "serial/line_status.h"

#include <gtest/gtest.h>

namespace serial {
namespace {

DCB DeviceDcb() {
    DCB dcb;
    dcb.BaudRate = 9600;
    dcb.ByteSize = 7;
    dcb.Parity = EVENPARITY;
    dcb.StopBits = TWOSTOPBITS;
    dcb.fBinary = false;
    dcb.fParity = true;
    dcb.fDsrSensitivity = true;
    dcb.fNull = true;
    dcb.fTXContinueOnXoff = false;
    dcb.fOutxCtsFlow = true;
    dcb.fOutX = true;
    dcb.XonLim = 100;
    return dcb;
}

TEST(ComposeLine, KeepValuesKeepTheDeviceSettingsAndFixTheFlags) {
    const DCB device = DeviceDcb();
    const DCB dcb = ComposeLine(device, DontChangeBaud, DontChangeParity, DontChangeDatabits,
                                DontChangeStopbits);
    EXPECT_EQ(dcb.BaudRate, 9600u);
    EXPECT_EQ(dcb.ByteSize, 7);
    EXPECT_EQ(dcb.Parity, EVENPARITY);
    EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);
    EXPECT_TRUE(dcb.fBinary);
    EXPECT_TRUE(dcb.fTXContinueOnXoff);
    EXPECT_FALSE(dcb.fParity);
    EXPECT_FALSE(dcb.fDsrSensitivity);
    EXPECT_FALSE(dcb.fNull);
    // Flow control and the other fields are not the line's business.
    EXPECT_TRUE(dcb.fOutxCtsFlow);
    EXPECT_TRUE(dcb.fOutX);
    EXPECT_EQ(dcb.XonLim, 100);
    // The flags differ from the device's, so SetLine must apply them.
    EXPECT_FALSE(SameLine(dcb, device));
    EXPECT_TRUE(SameLine(ComposeLine(dcb, 0, 5, 9, 3), dcb));
}

TEST(ComposeLine, GivenValuesAndStopBitsCodes) {
    struct {
        int32_t data_bits;
        int32_t stop_bits;
        uint8_t device_size;
        uint8_t byte_size;
        uint8_t stop_code;
    } const cases[] = {
        {8, 1, 7, 8, ONESTOPBIT},   {8, 0, 7, 8, ONESTOPBIT},    {8, 2, 7, 8, TWOSTOPBITS},
        {8, 4, 7, 8, TWOSTOPBITS},  {8, 100, 7, 8, TWOSTOPBITS}, {8, 3, 7, 8, TWOSTOPBITS},
        {5, 2, 7, 5, ONE5STOPBITS}, {5, 1, 7, 5, ONE5STOPBITS},  {5, 3, 7, 5, ONE5STOPBITS},
        {9, 1, 5, 5, ONE5STOPBITS}, // kept size 5 with given stop bits
        {9, 3, 5, 5, TWOSTOPBITS},  // everything kept
        {6, 2, 5, 6, TWOSTOPBITS},
    };
    for (const auto& c : cases) {
        DCB device = DeviceDcb();
        device.ByteSize = c.device_size;
        const DCB dcb = ComposeLine(device, 56000, NOPARITY, c.data_bits, c.stop_bits);
        EXPECT_EQ(dcb.BaudRate, 56000u);
        EXPECT_EQ(dcb.Parity, NOPARITY);
        EXPECT_EQ(dcb.ByteSize, c.byte_size) << c.data_bits << "/" << c.stop_bits;
        EXPECT_EQ(dcb.StopBits, c.stop_code) << c.data_bits << "/" << c.stop_bits;
    }
}

TEST(ComposeLine, ArgumentsNoDcbCanHoldAreRefused) {
    EXPECT_TRUE(ValidLineArguments(56000, 0, 8, 1));
    EXPECT_TRUE(ValidLineArguments(0, 5, 9, 3));
    EXPECT_TRUE(ValidLineArguments(300, 4, 5, 7));
    EXPECT_FALSE(ValidLineArguments(-1, 0, 8, 1));
    EXPECT_FALSE(ValidLineArguments(9600, -1, 8, 1));
    EXPECT_FALSE(ValidLineArguments(9600, 6, 8, 1));
    EXPECT_FALSE(ValidLineArguments(9600, 0, 4, 1));
    EXPECT_FALSE(ValidLineArguments(9600, 0, 10, 1));
    EXPECT_FALSE(ValidLineArguments(9600, 0, 264, 1)); // would wrap to 8 in a byte
    EXPECT_FALSE(ValidLineArguments(9600, 0, 8, -1));
}

TEST(SameLine, EveryFlagCounts) {
    const DCB base = DeviceDcb();
    EXPECT_TRUE(SameLine(base, base));
    std::vector<DCB> changed(13, base);
    changed[0].BaudRate = 19200;
    changed[1].Parity = ODDPARITY;
    changed[2].ByteSize = 8;
    changed[3].StopBits = ONESTOPBIT;
    changed[4].fBinary = true;
    changed[5].fOutxDsrFlow = true;
    changed[6].fDtrControl = TDtrControl::dtrHandshake;
    changed[7].fRtsControl = TRtsControl::rtsToggle;
    changed[8].fInX = true;
    changed[9].fNull = false;
    changed[10].fTXContinueOnXoff = true;
    changed[11].fOutxCtsFlow = false;
    changed[12].fDsrSensitivity = false;
    for (std::size_t i = 0; i < changed.size(); ++i) {
        EXPECT_FALSE(SameLine(base, changed[i])) << i;
    }
    DCB limits = base;
    limits.XonLim = 1;
    limits.XonChar = 'Q';
    EXPECT_TRUE(SameLine(base, limits)); // not line settings
}

TEST(LegacyBaudRate, IndexCodesAndPlainRates) {
    struct {
        uint32_t code;
        uint32_t rate;
    } const cases[] = {{0xFEFF, 115200}, {0xFF10, 110},    {0xFF11, 300},
                       {0xFF12, 600},    {0xFF13, 1200},   {0xFF14, 2400},
                       {0xFF15, 4800},   {0xFF16, 9600},   {0xFF17, 14400},
                       {0xFF18, 19200},  {0xFF1B, 38400},  {0xFF1F, 56000},
                       {0xFF23, 128000}, {0xFF27, 256000}, {0xFF19, 0xFF19},
                       {0xFF28, 0xFF28}, {56000, 56000},   {0, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(LegacyBaudRate(c.code), c.rate) << std::hex << c.code;
    }
}

TEST(DrainWaitMs, EighteenCharactersAtTheLastRate) {
    DCB dcb;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    // 10 bits: (10000000 / 9600) * 10 * 18 = 187380 -> 18.738 ms.
    EXPECT_EQ(DrainWaitMs(9600, dcb), 19u);
    EXPECT_EQ(DrainWaitMs(0xFF16, dcb), 19u); // legacy code for 9600
    // 56000: 178 * 10 * 18 = 32040 -> 4 ms.
    EXPECT_EQ(DrainWaitMs(56000, dcb), 4u);
    // Below a millisecond it is doubled: 921600 -> 10 * 10 * 18 = 1800, twice -> 1 ms.
    EXPECT_EQ(DrainWaitMs(921600, dcb), 1u);
    dcb.Parity = EVENPARITY;
    dcb.StopBits = TWOSTOPBITS;
    // 12 bits at 110: 90909 * 12 * 18 = 19636344 -> 1964 ms.
    EXPECT_EQ(DrainWaitMs(110, dcb), 1964u);
    // The slowest rate the field can hold does not overflow.
    EXPECT_EQ(DrainWaitMs(1, dcb), 216000u);
    // A rate read back as 0 is unknown: no wait, no division.
    EXPECT_EQ(DrainWaitMs(0, dcb), 0u);
}

TEST(ModemStatusByte, MergeAndChanges) {
    // Lines replace the high nibble, change flags stay, a ring seen adds ring-ended.
    EXPECT_EQ(MergeModemLines(0x35, 0x90, false), 0x95);
    EXPECT_EQ(MergeModemLines(0x00, 0x1F, true), 0x14);
    EXPECT_EQ(MergeModemLines(0xF1, 0x00, false), 0x01);
    EXPECT_EQ(ChangedLines(0x10, 0x30), 0x02);
    EXPECT_EQ(ChangedLines(0xF0, 0x00), 0x0F);
    EXPECT_EQ(ChangedLines(0x9F, 0x90), 0x00);
}

TEST(LineErrorCode, FirstBitInOrder) {
    struct {
        uint32_t bits;
        int32_t code;
    } const cases[] = {{0x00, 0}, {0x01, 1}, {0x1F, 1}, {0x02, 2}, {0x12, 2},
                       {0x04, 3}, {0x1C, 3}, {0x08, 4}, {0x18, 4}, {0x10, 9}};
    for (const auto& c : cases) {
        EXPECT_EQ(LineErrorCode(c.bits), c.code) << c.bits;
    }
}

TEST(StatusTriggerValue, ConditionsByType) {
    // Modem: watch CTS and DCD; CTS is high now.
    EXPECT_EQ(StatusTriggerValue(stModem, 0x90, 0x30), 0x9010);
    // Line: overrun, parity, framing, break -> LastError's 0x02 .. 0x10.
    EXPECT_EQ(StatusTriggerValue(stLine, 0x01, 0), 0x02);
    EXPECT_EQ(StatusTriggerValue(stLine, 0x0F, 0), 0x1E);
    EXPECT_EQ(StatusTriggerValue(stLine, 0xF8, 0), 0x10);
    EXPECT_EQ(StatusTriggerValue(stOutBuffFree, 100, 0xFF), 100);
    EXPECT_EQ(StatusTriggerValue(stOutBuffUsed, 65535, 0), 65535);
    EXPECT_EQ(StatusTriggerValue(stOutSent, 7, 0), 0);
}

} // namespace
} // namespace serial
