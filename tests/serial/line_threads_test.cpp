// Line settings and status triggers on the in-memory device, with the dispatcher's own
// threads evaluating the triggers.
#include "serial/error_codes.h"
#include "serial/line_status.h"
#include "serial/support/dispatcher_fixture.h"

#include <gtest/gtest.h>
#include <string>

namespace serial::testing {
namespace {

class LineThreadsTest : public DispatcherTest {
protected:
    void SetUp() override {
        DispatcherTest::SetUp();
        recorder.action = TakeOffered;
        dispatcher->ChangeLengthTrigger(1);
        dispatcher->RegisterEventTriggerHandler(recorder.Event());
    }

    uint32_t ActiveStatusTrigger(uint32_t type, uint16_t value) {
        const int32_t handle = dispatcher->AddStatusTrigger(type);
        EXPECT_GT(handle, 0);
        EXPECT_EQ(dispatcher->SetStatusTrigger(static_cast<uint32_t>(handle), value, true), 0);
        return static_cast<uint32_t>(handle);
    }

    // Proof that the dispatch thread has run passes since now: a byte makes the round trip
    // to the handler.
    void PassesRan() {
        const size_t before = recorder.AllData().size();
        line->Arrive("~");
        ASSERT_TRUE(WaitFor([&] { return recorder.AllData().size() > before; }));
    }

    std::vector<Note> StatusNotes() const {
        std::vector<Note> status;
        for (const Note& note : recorder.Notes()) {
            if (note.msg == APW_TRIGGERSTATUS) {
                status.push_back(note);
            }
        }
        return status;
    }
};

TEST_F(LineThreadsTest, OpeningSetsTheLineAndRaisesDtrAndRts) {
    const DCB applied = line->AppliedDcb();
    EXPECT_EQ(applied.BaudRate, 56000u);
    EXPECT_EQ(applied.ByteSize, 8);
    EXPECT_EQ(applied.Parity, NOPARITY);
    EXPECT_EQ(applied.StopBits, ONESTOPBIT);
    EXPECT_TRUE(applied.fBinary);
    EXPECT_EQ(applied.fDtrControl, TDtrControl::dtrEnable);
    EXPECT_EQ(applied.fRtsControl, TRtsControl::rtsEnable);
    EXPECT_TRUE(line->Dtr());
    EXPECT_TRUE(line->Rts());
    int32_t baud = 0, parity = -1, bits = 0, stop = 0;
    dispatcher->GetLine(baud, parity, bits, stop);
    EXPECT_EQ(baud, 56000);
    EXPECT_EQ(parity, NOPARITY);
    EXPECT_EQ(bits, 8);
    EXPECT_EQ(stop, 1);
}

TEST_F(LineThreadsTest, SetLineAppliesOnlyChangesAndReassertsTheLines) {
    const int32_t writes = line->StateWrites();
    EXPECT_EQ(dispatcher->SetLine(56000, NOPARITY, 8, 1), 0);
    EXPECT_EQ(dispatcher->SetLine(0, 5, 9, 3), 0);
    EXPECT_EQ(line->StateWrites(), writes);

    ASSERT_EQ(dispatcher->SetDtr(false), 0);
    const size_t escapes = line->EscapeCalls().size();
    ASSERT_EQ(dispatcher->PutString("before"), 0);
    ASSERT_EQ(dispatcher->SetLine(9600, EVENPARITY, 7, 2), 0);
    EXPECT_EQ(line->StateWrites(), writes + 1);
    EXPECT_EQ(line->AppliedDcb().BaudRate, 9600u);
    EXPECT_EQ(line->AppliedDcb().fDtrControl, TDtrControl::dtrDisable);
    const std::vector<int32_t> calls = line->EscapeCalls();
    EXPECT_EQ(std::vector<int32_t>(calls.begin() + static_cast<long>(escapes), calls.end()),
              (std::vector<int32_t>{CLRDTR, SETRTS}));
    ASSERT_TRUE(WaitFor([&] { return line->Sent() == "before"; }));
}

TEST_F(LineThreadsTest, SetLineWaitsForABurstTheWriteThreadHolds) {
    // The write thread takes all 500 bytes out of the ring at once and sends them slowly:
    // the new settings must wait until the last of them has left.
    line->SetTransmitDelay(std::chrono::microseconds(1000));
    ASSERT_EQ(dispatcher->PutString(std::string(500, 's')), 0);
    ASSERT_EQ(dispatcher->SetLine(9600, NOPARITY, 8, 1), 0);
    EXPECT_EQ(line->AppliedDcb().BaudRate, 9600u);
    EXPECT_EQ(line->SentAtLastStateWrite(), 500u);
}

TEST(LineThreadsOpen, RefusedSettingsFailTheOpening) {
    base::QueueMessageLoop loop;
    base::ScopedMessageLoop installed(loop);
    auto line = std::make_shared<TMemoryLine>("COM4");
    line->RefuseState(87);
    int32_t result = 0;
    TSioDispatcherPtr dispatcher = TSioMemoryDispatcher::Open(line, result);
    EXPECT_EQ(result, ecInvalidParameter);
}

TEST_F(LineThreadsTest, ModemTriggerFiresOncePerActivation) {
    // CTS and DSR are up; watch CTS.
    const uint32_t h = ActiveStatusTrigger(stModem, msCTS);
    line->SetModemLines(msDSR);
    line->ArriveStatus(EV_CTS);
    ASSERT_TRUE(WaitFor([&] { return StatusNotes().size() == 1; }));
    EXPECT_EQ(StatusNotes()[0].wparam, h);
    EXPECT_EQ(StatusNotes()[0].lparam & 0xFFFF, 0);

    line->SetModemLines(msCTS | msDSR);
    line->ArriveStatus(EV_CTS);
    PassesRan();
    EXPECT_EQ(StatusNotes().size(), 1u);

    ASSERT_EQ(dispatcher->SetStatusTrigger(h, msCTS, true), 0);
    line->SetModemLines(0);
    line->ArriveStatus(EV_CTS | EV_DSR);
    ASSERT_TRUE(WaitFor([&] { return StatusNotes().size() == 2; }));
}

TEST_F(LineThreadsTest, LineErrorEventFiresTheLineTrigger) {
    ActiveStatusTrigger(stLine, 0x02); // parity
    line->AddLineErrors(leFramingBit);
    line->ArriveStatus(EV_ERR);
    PassesRan();
    EXPECT_TRUE(StatusNotes().empty());
    line->AddLineErrors(leParityBit);
    line->ArriveStatus(EV_ERR);
    ASSERT_TRUE(WaitFor([&] { return StatusNotes().size() == 1; }));
    EXPECT_EQ(dispatcher->GetLineError(), leParity);
    EXPECT_EQ(dispatcher->GetLineError(), leNone);
}

TEST_F(LineThreadsTest, OutputFreeTriggerWaitsForTheTransmitter) {
    // The transmitter holds the first byte, so the rest stays in the output ring.
    line->Stall(true);
    ASSERT_EQ(dispatcher->PutString("a"), 0);
    ASSERT_TRUE(WaitFor([&] { return D().InFlightBytes() == 1; }));
    ASSERT_EQ(dispatcher->PutString(std::string(4000, 'b')), 0);
    EXPECT_EQ(dispatcher->OutBuffFree(), 95); // the byte in flight counts as used

    const uint32_t h = ActiveStatusTrigger(stOutBuffFree, 100);
    PassesRan();
    EXPECT_TRUE(StatusNotes().empty());

    line->Stall(false);
    ASSERT_TRUE(WaitFor([&] { return StatusNotes().size() == 1; }));
    EXPECT_EQ(StatusNotes()[0].wparam, h);
    EXPECT_GE(StatusNotes()[0].lparam & 0xFFFF, 100);
    ASSERT_TRUE(WaitFor([&] { return line->SentCount() == 4001; }));
    PassesRan();
    EXPECT_EQ(StatusNotes().size(), 1u);
}

TEST_F(LineThreadsTest, OutputSentTriggerFiresAfterAWrite) {
    const uint32_t h = ActiveStatusTrigger(stOutSent, 0);
    PassesRan();
    EXPECT_TRUE(StatusNotes().empty());
    ASSERT_EQ(dispatcher->PutString("ping"), 0);
    ASSERT_TRUE(WaitFor([&] { return StatusNotes().size() == 1; }));
    EXPECT_EQ(StatusNotes()[0].wparam, h);
    ASSERT_EQ(dispatcher->PutString("again"), 0);
    PassesRan();
    EXPECT_EQ(StatusNotes().size(), 1u);
}

TEST_F(LineThreadsTest, BreakAndFlowStateOnTheLine) {
    dispatcher->SendBreak(1, true);
    EXPECT_FALSE(line->Break());
    dispatcher->SetBreak(true);
    EXPECT_TRUE(line->Break());
    dispatcher->SetBreak(false);

    ASSERT_EQ(dispatcher->HWFlowOptions(3000, 1000, hfUseRTS | hfRequireCTS), 0);
    EXPECT_EQ(line->AppliedDcb().fRtsControl, TRtsControl::rtsHandshake);
    EXPECT_EQ(dispatcher->HWFlowState(), fsOn);
    line->SetHolds(true, false, false, false);
    EXPECT_EQ(dispatcher->HWFlowState(), fsCtsHold);
    EXPECT_EQ(dispatcher->HWFlowOptions(5000, 1000, hfUseRTS), ecBadArgument);
    EXPECT_EQ(line->AppliedDcb().fRtsControl, TRtsControl::rtsHandshake);
}

} // namespace
} // namespace serial::testing
