// The dispatcher's line operations on a device without threads, whose settings, lines and
// error bits the test sets and whose every call is recorded.
#include "serial/dispatcher.h"
#include "serial/error_codes.h"
#include "serial/line_status.h"

#include <array>
#include <gtest/gtest.h>
#include <vector>

namespace serial {
namespace {

class LineDevice : public TSioBaseDispatcher {
public:
    LineDevice() : TSioBaseDispatcher(nullptr) {}

    // What the device holds and reports.
    serial::DCB device_dcb;
    uint32_t lines = 0;      // modem lines, high nibble
    uint32_t error_bits = 0; // reported by the next GetComError (then cleared)
    TComStat holds;          // hold flags GetComError reports
    int32_t out_used = 0;    // bytes in the output ring
    int drains_after = 0;    // OutBufUsed looks until the ring is empty
    int32_t set_state_result = 0;
    int32_t get_state_result = 0;
    int32_t escape_result = 0;

    // What was asked of it.
    std::vector<serial::DCB> applied;
    std::vector<int32_t> escapes;
    std::vector<bool> breaks;
    int get_state_calls = 0;
    int out_used_looks = 0;

    int32_t EscapeComFunction(int32_t Func) override {
        escapes.push_back(Func);
        return escape_result;
    }
    int32_t FlushCom(int32_t) override { return 0; }
    int32_t GetComError(TComStat& Stat) override {
        Stat = holds;
        Stat.cbOutQue = static_cast<uint32_t>(out_used);
        const int32_t bits = static_cast<int32_t>(error_bits);
        error_bits = 0;
        return bits;
    }
    int32_t GetComEventMask(int32_t) override { return 0; }
    int32_t GetComState(serial::DCB& Dcb) override {
        ++get_state_calls;
        if (get_state_result < 0) {
            return get_state_result;
        }
        Dcb = device_dcb;
        return 0;
    }
    int32_t ReadCom(uint8_t*, int32_t) override { return 0; }
    int32_t SetComState(const serial::DCB& Dcb) override {
        applied.push_back(Dcb);
        if (set_state_result < 0) {
            return set_state_result;
        }
        device_dcb = Dcb;
        return 0;
    }
    int32_t WriteCom(const uint8_t*, int32_t Len) override { return Len; }
    bool WaitComEvent(uint32_t& Mask) override {
        Mask = 0;
        return true;
    }
    bool SetupCom(int32_t, int32_t) override { return true; }
    int32_t StartDispatcher() override { return 0; }
    void StopDispatcher() override {}
    int32_t OutBufUsed() override {
        ++out_used_looks;
        if (drains_after > 0 && --drains_after == 0) {
            out_used = 0;
        }
        return out_used;
    }
    int32_t OpenCom(const std::string&, int32_t, int32_t) override { return -1; }
    int32_t CloseCom() override { return 0; }
    bool CheckPort(const std::string&) override { return true; }
    int32_t ProcessCommunications() override { return 0; }
    int32_t GetComModemStatus(uint32_t& Status) override {
        Status = lines;
        return 0;
    }
    int32_t SetComBreak(bool On) override {
        breaks.push_back(On);
        return 0;
    }
};

struct Notification {
    uint32_t msg;
    uint32_t wparam;
    int32_t lparam;
};

class LineTest : public testing::Test {
protected:
    void SetUp() override {
        d.InQue = 4096;
        d.OutQue = 1000;
        d.DTRState = true;
        d.RTSState = true;
        // The line as SetLine leaves it at 9600 8N1.
        d.device_dcb.BaudRate = 9600;
        d.device_dcb.fBinary = true;
        d.device_dcb.fTXContinueOnXoff = true;
        d.device_dcb.fDtrControl = TDtrControl::dtrEnable;
        d.device_dcb.fRtsControl = TRtsControl::rtsEnable;
        d.RegisterEventTriggerHandler(TSioNotifyEvent::Of<&LineTest::Notify>(this));
    }

    void Notify(uint32_t msg, uint32_t wparam, int32_t lparam) {
        notes.push_back({msg, wparam, lparam});
    }

    uint32_t AddStatus(uint32_t type) {
        const int32_t handle = d.AddStatusTrigger(type);
        EXPECT_GT(handle, 0);
        return static_cast<uint32_t>(handle);
    }

    // Runs the status loop as a dispatch pass would; returns the handles that fired.
    std::vector<uint32_t> Pass() {
        notes.clear();
        while (d.CheckStatusTriggers()) {
        }
        std::vector<uint32_t> fired;
        for (const Notification& n : notes) {
            EXPECT_EQ(n.msg, APW_TRIGGERSTATUS);
            fired.push_back(n.wparam);
        }
        if (d.GlobalStatHit) {
            d.ResetStatusHits();
        }
        return fired;
    }

    TSioDispatcherPtr owner{new LineDevice};
    LineDevice& d = static_cast<LineDevice&>(*owner);
    std::vector<Notification> notes;
};

TEST_F(LineTest, SetLineWithKeepValuesDoesNotTouchTheDevice) {
    EXPECT_EQ(d.SetLine(DontChangeBaud, DontChangeParity, DontChangeDatabits, DontChangeStopbits),
              0);
    EXPECT_EQ(d.SetLine(9600, NOPARITY, 8, 1), 0);
    EXPECT_TRUE(d.applied.empty());
    EXPECT_TRUE(d.escapes.empty());
    EXPECT_EQ(d.out_used_looks, 0); // no drain either
}

TEST_F(LineTest, SetLineAppliesSettingsAndAssertsDtrAndRts) {
    d.DTRState = true;
    d.RTSState = false;
    d.LastBaud = 115200;
    ASSERT_EQ(d.SetLine(56000, EVENPARITY, 7, 2), 0);
    ASSERT_EQ(d.applied.size(), 1u);
    const serial::DCB& dcb = d.applied[0];
    EXPECT_EQ(dcb.BaudRate, 56000u);
    EXPECT_EQ(dcb.Parity, EVENPARITY);
    EXPECT_EQ(dcb.ByteSize, 7);
    EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);
    EXPECT_EQ(dcb.fDtrControl, TDtrControl::dtrEnable);
    EXPECT_EQ(dcb.fRtsControl, TRtsControl::rtsDisable);
    EXPECT_EQ(d.LastBaud, 56000);
    EXPECT_EQ(d.DCB, dcb);
    EXPECT_EQ(d.escapes, (std::vector<int32_t>{SETDTR, CLRRTS}));

    int32_t baud = 0, parity = 0, bits = 0, stop = 0;
    d.GetLine(baud, parity, bits, stop);
    EXPECT_EQ(baud, 56000);
    EXPECT_EQ(parity, EVENPARITY);
    EXPECT_EQ(bits, 7);
    EXPECT_EQ(stop, 2);
}

TEST_F(LineTest, SetLineAppliesWhenOnlyTheFlagsDiffer) {
    d.device_dcb.fNull = true;
    ASSERT_EQ(d.SetLine(9600, NOPARITY, 8, 1), 0);
    ASSERT_EQ(d.applied.size(), 1u);
    EXPECT_FALSE(d.applied[0].fNull);
}

TEST_F(LineTest, SetLineFiveDataBitsTakeOneAndAHalfStopBits) {
    ASSERT_EQ(d.SetLine(DontChangeBaud, DontChangeParity, 5, 2), 0);
    ASSERT_EQ(d.applied.size(), 1u);
    EXPECT_EQ(d.applied[0].ByteSize, 5);
    EXPECT_EQ(d.applied[0].StopBits, ONE5STOPBITS);
    EXPECT_EQ(d.applied[0].BaudRate, 9600u);
    int32_t baud = 0, parity = 0, bits = 0, stop = 0;
    d.GetLine(baud, parity, bits, stop);
    EXPECT_EQ(stop, 2);
}

TEST_F(LineTest, SetLineWaitsForTheOutputBufferToDrain) {
    d.out_used = 40;
    d.drains_after = 5;
    ASSERT_EQ(d.SetLine(19200, NOPARITY, 8, 1), 0);
    EXPECT_EQ(d.out_used_looks, 5);
    EXPECT_EQ(d.applied.size(), 1u);
}

TEST_F(LineTest, SetLineWithLastBaudZeroDoesNotDivideByZero) {
    d.LastBaud = 0;
    EXPECT_EQ(d.SetLine(19200, NOPARITY, 8, 1), 0);
    EXPECT_EQ(d.LastBaud, 19200);
}

TEST_F(LineTest, SetLineRefusedKeepsTheLastSettings) {
    d.LastBaud = 9600;
    d.set_state_result = -87;
    EXPECT_EQ(d.SetLine(56000, NOPARITY, 8, 1), -87);
    EXPECT_EQ(d.LastBaud, 9600);
    EXPECT_EQ(d.DCB.BaudRate, 9600u);
    EXPECT_TRUE(d.escapes.empty());

    d.set_state_result = 0;
    d.get_state_result = -1;
    EXPECT_EQ(d.SetLine(56000, NOPARITY, 8, 1), -1);
}

TEST_F(LineTest, SetLineRefusesArgumentsNoDcbHolds) {
    for (const auto& args : std::vector<std::array<int32_t, 4>>{{-9600, 0, 8, 1},
                                                                {9600, 6, 8, 1},
                                                                {9600, 0, 4, 1},
                                                                {9600, 0, 264, 1},
                                                                {9600, 0, 8, -1}}) {
        EXPECT_EQ(d.SetLine(args[0], args[1], args[2], args[3]), ecBadArgument);
    }
    EXPECT_EQ(d.get_state_calls, 0);
    EXPECT_TRUE(d.applied.empty());
}

TEST_F(LineTest, GetLineTranslatesLegacyBaudCodes) {
    d.DCB.BaudRate = 0xFF1F;
    d.DCB.StopBits = ONESTOPBIT;
    int32_t baud = 0, parity = 0, bits = 0, stop = 0;
    d.GetLine(baud, parity, bits, stop);
    EXPECT_EQ(baud, 56000);
    EXPECT_EQ(stop, 1);
}

TEST_F(LineTest, DtrAndRtsGoToTheDeviceUnlessFlowControlDrivesThem) {
    EXPECT_EQ(d.SetDtr(false), 0);
    EXPECT_EQ(d.SetRts(true), 0);
    EXPECT_EQ(d.SetDtr(true), 0);
    EXPECT_EQ(d.SetRts(false), 0);
    EXPECT_EQ(d.escapes, (std::vector<int32_t>{CLRDTR, SETRTS, SETDTR, CLRRTS}));
    EXPECT_TRUE(d.DTRState);
    EXPECT_FALSE(d.RTSState);

    d.escapes.clear();
    d.DTRAuto = true;
    d.RTSAuto = true;
    EXPECT_EQ(d.SetDtr(false), 1);
    EXPECT_EQ(d.SetRts(true), 1);
    EXPECT_TRUE(d.escapes.empty());
    EXPECT_TRUE(d.DTRState);
    EXPECT_FALSE(d.RTSState);

    d.DTRAuto = false;
    d.escape_result = -1;
    EXPECT_EQ(d.SetDtr(false), ecBadArgument);
    EXPECT_FALSE(d.DTRState); // the wanted state is kept all the same
}

TEST_F(LineTest, HardwareFlowOptionsAndState) {
    d.RTSState = true;
    ASSERT_EQ(d.HWFlowOptions(3000, 1000, hfUseDTR | hfRequireCTS), 0);
    ASSERT_EQ(d.applied.size(), 1u);
    const serial::DCB& dcb = d.applied[0];
    EXPECT_EQ(dcb.fDtrControl, TDtrControl::dtrHandshake);
    EXPECT_EQ(dcb.fRtsControl, TRtsControl::rtsEnable);
    EXPECT_TRUE(dcb.fOutxCtsFlow);
    EXPECT_FALSE(dcb.fOutxDsrFlow);
    EXPECT_EQ(dcb.XoffLim, 4096 - 3000);
    EXPECT_EQ(dcb.XonLim, 1000);
    EXPECT_TRUE(d.DTRAuto);
    EXPECT_FALSE(d.RTSAuto);
    // DTR is the driver's now; RTS was asserted again.
    EXPECT_EQ(d.escapes, (std::vector<int32_t>{SETRTS}));
    EXPECT_EQ(d.SetDtr(false), 1);

    EXPECT_EQ(d.HWFlowState(), fsOn);
    d.holds.fCtsHold = true;
    EXPECT_EQ(d.HWFlowState(), fsCtsHold);

    ASSERT_EQ(d.HWFlowOptions(3000, 1000, hfUseRTS | hfRequireDSR | hfRequireCTS), 0);
    EXPECT_FALSE(d.DTRAuto);
    EXPECT_TRUE(d.RTSAuto);
    EXPECT_EQ(d.DCB.fDtrControl, TDtrControl::dtrEnable); // DTRState is still set
    d.holds.fDsrHold = true;
    EXPECT_EQ(d.HWFlowState(), fsCtsHold); // CTS takes precedence
    d.holds.fCtsHold = false;
    EXPECT_EQ(d.HWFlowState(), fsDsrHold);

    ASSERT_EQ(d.HWFlowOptions(0, 0, 0), 0);
    EXPECT_EQ(d.HWFlowState(), fsOff);
    EXPECT_FALSE(d.RTSAuto);
}

TEST_F(LineTest, HardwareFlowWithRs485TogglesRts) {
    d.SetRS485Mode(true);
    ASSERT_EQ(d.HWFlowOptions(100, 10, 0), 0);
    EXPECT_EQ(d.DCB.fRtsControl, TRtsControl::rtsToggle);
    EXPECT_TRUE(d.RTSAuto);
}

TEST_F(LineTest, InconsistentFlowLimitsChangeNothing) {
    const bool dtr_auto = d.DTRAuto;
    for (const auto& limits : std::vector<std::array<uint16_t, 2>>{{4097, 10}, {10, 11}}) {
        EXPECT_EQ(d.HWFlowOptions(limits[0], limits[1], hfUseDTR), ecBadArgument);
        EXPECT_EQ(d.SWFlowEnable(limits[0], limits[1], sfReceiveFlow), ecBadArgument);
    }
    EXPECT_EQ(d.get_state_calls, 0);
    EXPECT_TRUE(d.applied.empty());
    EXPECT_EQ(d.DTRAuto, dtr_auto);
}

TEST_F(LineTest, RefusedFlowOptionsKeepDtrAndRtsOwnership) {
    d.set_state_result = -31;
    EXPECT_EQ(d.HWFlowOptions(100, 10, hfUseDTR | hfUseRTS), -31);
    EXPECT_FALSE(d.DTRAuto);
    EXPECT_FALSE(d.RTSAuto);
    EXPECT_EQ(d.SWFlowChars(1, 2), -31);
    EXPECT_EQ(d.SWFlowDisable(), -31);
}

TEST_F(LineTest, SoftwareFlowOptionsAndState) {
    ASSERT_EQ(d.SWFlowEnable(3000, 500, sfReceiveFlow), 0);
    EXPECT_TRUE(d.DCB.fInX);
    EXPECT_FALSE(d.DCB.fOutX);
    EXPECT_EQ(d.DCB.XoffLim, 4096 - 3000);
    EXPECT_EQ(d.DCB.XonLim, 500);
    EXPECT_EQ(d.DCB.XonChar, 17);
    EXPECT_EQ(d.DCB.XoffChar, 19);

    ASSERT_EQ(d.SWFlowChars('Q', 'S'), 0);
    EXPECT_EQ(d.DCB.XonChar, 'Q');
    EXPECT_EQ(d.DCB.XoffChar, 'S');
    ASSERT_EQ(d.SWFlowEnable(3000, 500, sfTransmitFlow), 0);
    EXPECT_TRUE(d.DCB.fOutX);
    EXPECT_TRUE(d.DCB.fInX);
    EXPECT_EQ(d.DCB.XonChar, 17);

    struct {
        bool xoff_sent;
        bool xoff_hold;
        int32_t state;
    } const cases[] = {{false, false, fsOn},
                       {false, true, fsXOutHold},
                       {true, false, fsXInHold},
                       {true, true, fsXBothHold}};
    for (const auto& c : cases) {
        d.holds.fXoffSent = c.xoff_sent;
        d.holds.fXoffHold = c.xoff_hold;
        EXPECT_EQ(d.SWFlowState(), c.state) << c.xoff_sent << c.xoff_hold;
    }
    ASSERT_EQ(d.SWFlowDisable(), 0);
    EXPECT_FALSE(d.DCB.fOutX);
    EXPECT_FALSE(d.DCB.fInX);
    EXPECT_EQ(d.SWFlowState(), fsOff);
}

TEST_F(LineTest, ModemStatusReadsClearTheirOwnChangeFlags) {
    d.lines = msCTS | msDSR;
    d.ModemStatus = 0x0F;
    EXPECT_TRUE(d.CheckCTS());
    EXPECT_EQ(d.ModemStatus, 0x3E); // only the CTS change flag went
    EXPECT_TRUE(d.CheckDeltaDSR());
    EXPECT_EQ(d.ModemStatus, 0x3C);
    EXPECT_FALSE(d.CheckRI());
    EXPECT_EQ(d.ModemStatus, 0x38);
    EXPECT_TRUE(d.CheckDeltaDCD());
    EXPECT_EQ(d.ModemStatus, 0x30);
    EXPECT_FALSE(d.CheckDeltaCTS());

    d.ModemStatus = 0x0F;
    d.lines = msDCD;
    EXPECT_EQ(d.GetModemStatus(), 0x8F);
    EXPECT_EQ(d.ModemStatus, 0x80); // all four cleared
    EXPECT_TRUE(d.CheckDCD());
    EXPECT_FALSE(d.CheckDSR());
}

TEST_F(LineTest, RingAndLineChangesBecomeChangeFlags) {
    d.lines = msCTS;
    d.ModemStatus = 0;
    d.RingFlag = true;
    EXPECT_TRUE(d.CheckDeltaRI());
    EXPECT_FALSE(d.RingFlag);
    EXPECT_FALSE(d.CheckDeltaRI());

    d.ModemStatus = msCTS;
    d.lines = msDSR | msDCD;
    d.UpdateModemChangeFlags();
    EXPECT_EQ(d.ModemStatus, msDSR | msDCD | msCTSDelta | msDSRDelta | msDCDDelta);
}

TEST_F(LineTest, LineErrorsAndBreak) {
    d.error_bits = 0xF2; // bits above 0x1F are not line errors
    d.RefreshLineErrors();
    EXPECT_EQ(d.LastError, 0x12u);
    EXPECT_EQ(d.GetLineError(), leOverrun);
    EXPECT_EQ(d.LastError, 0x10u);
    EXPECT_EQ(d.GetLineError(), leBreak);
    EXPECT_EQ(d.LastError, 0x10u); // the break bit goes only with CheckLineBreak
    EXPECT_TRUE(d.CheckLineBreak());
    EXPECT_EQ(d.LastError, 0u);
    EXPECT_FALSE(d.CheckLineBreak());
    EXPECT_EQ(d.GetLineError(), leNone);

    d.LastError = 0x0D;
    EXPECT_EQ(d.GetLineError(), leBuffer);
    EXPECT_EQ(d.LastError, 0u);

    // A device that answers with an error code reports no error bits.
    d.error_bits = static_cast<uint32_t>(ecCommNotOpen);
    d.RefreshLineErrors();
    EXPECT_EQ(d.LastError, 0u);
}

TEST_F(LineTest, BreakOnTheLine) {
    d.SetBreak(true);
    d.SetBreak(false);
    d.SendBreak(0, false);
    d.SendBreak(1, true);
    EXPECT_EQ(d.breaks, (std::vector<bool>{true, false, true, false, true, false}));
    EXPECT_TRUE(d.escapes.empty());

    d.escapes.clear();
    d.SetRS485Mode(true);
    d.SendBreak(0, false);
    EXPECT_EQ(d.escapes, (std::vector<int32_t>{SETRTS, CLRRTS}));
    d.escapes.clear();
    d.out_used = 10; // RTS stays up while bytes wait to go
    d.SendBreak(0, false);
    EXPECT_EQ(d.escapes, (std::vector<int32_t>{SETRTS}));
}

TEST_F(LineTest, OptionsAndBaseAddress) {
    d.OptionsOn(0x11);
    d.OptionsOn(0x02);
    d.OptionsOff(0x01);
    EXPECT_EQ(d.Flags, 0x12u);
    d.SetBaseAddress(0x3F8);
    EXPECT_EQ(d.GetBaseAddress(), 0x3F8);
}

TEST_F(LineTest, OutputFreeTriggerFiresOncePerActivation) {
    const uint32_t h = AddStatus(stOutBuffFree);
    EXPECT_EQ(h % 8, stOutBuffFree);
    ASSERT_EQ(d.SetStatusTrigger(h, 100, true), 0);
    d.out_used = 950; // 50 free
    EXPECT_TRUE(Pass().empty());
    d.out_used = 880; // 120 free
    ASSERT_EQ(Pass(), std::vector<uint32_t>{h});
    EXPECT_EQ(notes[0].lparam & 0xFFFF, 120); // the free count
    EXPECT_EQ(static_cast<uint32_t>(notes[0].lparam) >> 16, static_cast<uint32_t>(d.fHandle));
    EXPECT_TRUE(Pass().empty());
    ASSERT_EQ(d.SetStatusTrigger(h, 100, true), 0);
    EXPECT_EQ(Pass(), std::vector<uint32_t>{h});
}

TEST_F(LineTest, OutputUsedAndSentTriggers) {
    const uint32_t used = AddStatus(stOutBuffUsed);
    const uint32_t sent = AddStatus(stOutSent);
    ASSERT_EQ(d.SetStatusTrigger(used, 10, true), 0);
    ASSERT_EQ(d.SetStatusTrigger(sent, 0, true), 0);
    d.out_used = 11;
    d.OutSentPending = false;
    EXPECT_TRUE(Pass().empty());
    d.out_used = 7;
    d.OutSentPending = true;
    EXPECT_EQ(Pass(), (std::vector<uint32_t>{used, sent}));
    EXPECT_EQ(notes[0].lparam & 0xFFFF, 7);
    EXPECT_EQ(notes[1].lparam & 0xFFFF, 0);
    EXPECT_FALSE(d.OutSentPending);
}

TEST_F(LineTest, ModemTriggerFiresWhenAWatchedLineChanges) {
    const uint32_t h = AddStatus(stModem);
    d.ModemStatus = msCTS;
    ASSERT_EQ(d.SetStatusTrigger(h, msCTS | msDCD, true), 0);
    d.ModemStatus = msCTS | msDSR; // DSR is not watched
    EXPECT_TRUE(Pass().empty());
    d.ModemStatus = msCTS | msDSR | msDCD;
    EXPECT_EQ(Pass(), std::vector<uint32_t>{h});
    d.ModemStatus = 0;
    EXPECT_TRUE(Pass().empty()); // not again until activated
}

TEST_F(LineTest, LineTriggerFiresOnTheChosenErrors) {
    const uint32_t h = AddStatus(stLine);
    ASSERT_EQ(d.SetStatusTrigger(h, 0x08, true), 0); // break
    d.LastError = leParityBit;
    EXPECT_TRUE(Pass().empty());
    d.LastError = leParityBit | leBreakBit;
    EXPECT_EQ(Pass(), std::vector<uint32_t>{h});
}

TEST_F(LineTest, StatusTriggersFireInListOrderOncePerPass) {
    const uint32_t a = AddStatus(stOutSent);
    const uint32_t b = AddStatus(stOutBuffFree);
    ASSERT_EQ(d.SetStatusTrigger(a, 0, true), 0);
    ASSERT_EQ(d.SetStatusTrigger(b, 0, true), 0);
    d.OutSentPending = true;
    EXPECT_TRUE(d.CheckStatusTriggers());
    EXPECT_TRUE(d.GlobalStatHit);
    EXPECT_TRUE(d.CheckStatusTriggers());
    EXPECT_FALSE(d.CheckStatusTriggers());
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0].wparam, a);
    EXPECT_EQ(notes[1].wparam, b);
    // A trigger activated again within the pass waits for the next one.
    ASSERT_EQ(d.SetStatusTrigger(b, 0, true), 0);
    EXPECT_FALSE(d.CheckStatusTriggers());
    d.ResetStatusHits();
    EXPECT_FALSE(d.GlobalStatHit);
    EXPECT_TRUE(d.CheckStatusTriggers());
}

TEST_F(LineTest, SetStatusTriggerNeedsAStatusTriggerHandle) {
    const int32_t timer = d.AddTimerTrigger();
    ASSERT_GT(timer, 0);
    EXPECT_EQ(d.SetStatusTrigger(static_cast<uint32_t>(timer), 1, true), ecBadTriggerHandle);
    EXPECT_EQ(d.SetStatusTrigger(0, 1, true), ecBadTriggerHandle);
    EXPECT_EQ(d.SetStatusTrigger(AvailTriggerHandle, 1, true), ecBadTriggerHandle);
    const uint32_t h = AddStatus(stOutSent);
    EXPECT_EQ(d.SetStatusTrigger(h, 0, true), 0);
    EXPECT_EQ(d.SetStatusTrigger(h, 0, false), 0);
    d.OutSentPending = true;
    EXPECT_TRUE(Pass().empty()); // deactivated
}

} // namespace
} // namespace serial
