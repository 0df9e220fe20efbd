// The com port's settings, opening, closing, users and output on the in-memory line.
#include "base/exceptions.h"
#include "serial/com_port_fixture.h"
#include "serial/errors.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace serial::testing {
namespace {

using Strings = std::vector<std::string>;

class FixedSelector : public IPortSelector {
public:
    explicit FixedSelector(std::optional<uint16_t> answer) : answer_(answer) {}
    std::optional<uint16_t> SelectPort() override {
        ++asked;
        return answer_;
    }
    int asked = 0;

private:
    std::optional<uint16_t> answer_;
};

// A fresh directory for trace and log files, removed at the end.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "comport.XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::string File(const char* name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

std::string ReadFile(const std::string& name) {
    std::ifstream in(name);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(ComPortTest, NewComponentHasItsDefaultsAndStateReadsNeverOpenIt) {
    EXPECT_EQ(port->DeviceLayer(), dlWin32);
    EXPECT_EQ(port->ComNumber(), 0);
    EXPECT_EQ(port->Baud(), 19200);
    EXPECT_TRUE(port->PromptForPort());
    EXPECT_EQ(port->Parity(), pNone);
    EXPECT_EQ(port->DataBits(), 8);
    EXPECT_EQ(port->StopBits(), 1);
    EXPECT_EQ(port->InSize(), 4096);
    EXPECT_EQ(port->OutSize(), 4096);
    EXPECT_TRUE(port->AutoOpen());
    EXPECT_FALSE(port->Open());
    EXPECT_TRUE(port->DTR());
    EXPECT_TRUE(port->RTS());
    EXPECT_TRUE(port->HWFlowOptions().Empty());
    EXPECT_EQ(port->SWFlowOptions(), swfNone);
    EXPECT_EQ(port->XOnChar(), 17);
    EXPECT_EQ(port->XOffChar(), 19);
    EXPECT_EQ(port->BufferFull(), 0);
    EXPECT_EQ(port->BufferResume(), 0);
    EXPECT_EQ(port->Tracing(), tlOff);
    EXPECT_EQ(port->TraceSize(), 10000u);
    EXPECT_EQ(port->TraceName(), "SERIAL.TRC");
    EXPECT_TRUE(port->TraceHex());
    EXPECT_FALSE(port->TraceAllHex());
    EXPECT_EQ(port->Logging(), tlOff);
    EXPECT_EQ(port->LogSize(), 10000u);
    EXPECT_EQ(port->LogName(), "SERIAL.LOG");
    EXPECT_TRUE(port->LogHex());
    EXPECT_FALSE(port->LogAllHex());
    EXPECT_TRUE(port->UseMSRShadow());
    EXPECT_TRUE(port->UseEventWord());
    EXPECT_EQ(port->CommNotificationLevel(), 10);
    EXPECT_EQ(port->TapiMode(), tmAuto);
    EXPECT_FALSE(port->RS485Mode());
    EXPECT_EQ(port->ThreadBoost(), tbNone);
    EXPECT_EQ(port->TriggerLength(), 1);
    EXPECT_EQ(port->PortState(), psClosed);
    EXPECT_EQ(port->ComWindow(), nullptr);

    // Reads of a closed port answer without opening it, AutoOpen or not.
    port->SetComNumber(1);
    EXPECT_EQ(port->InBuffFree(), 8192u);
    EXPECT_EQ(port->OutBuffFree(), 4096u);
    port->SetOutSize(1000);
    EXPECT_EQ(port->OutBuffFree(), 1000u);
    EXPECT_EQ(port->InBuffUsed(), 0u);
    EXPECT_EQ(port->OutBuffUsed(), 0u);
    EXPECT_EQ(port->ModemStatus(), 0);
    EXPECT_FALSE(port->CTS());
    EXPECT_FALSE(port->DSR());
    EXPECT_FALSE(port->DeltaCTS());
    EXPECT_EQ(port->LineError(), 0);
    EXPECT_FALSE(port->LineBreak());
    EXPECT_EQ(port->FlowState(), fcOff);
    EXPECT_EQ(port->BaseAddress(), 0);
    EXPECT_EQ(line->OpenCount(), 0);
    EXPECT_FALSE(port->Open());
}

TEST_F(ComPortTest, PutStringOpensAClosedPortOnlyWithAutoOpen) {
    port->SetComNumber(1);
    port->SetAutoOpen(false);
    EXPECT_THROW(port->PutString("SCAN"), ECommNotOpen);
    EXPECT_EQ(line->OpenCount(), 0);

    port->SetAutoOpen(true);
    port->PutString("SCAN");
    EXPECT_TRUE(port->Open());
    EXPECT_TRUE(WaitFor([&] { return line->Sent() == "SCAN"; })) << line->Sent();
    EXPECT_EQ(line->AppliedDcb().BaudRate, 19200u);
}

TEST_F(ComPortTest, TextLargerThanTheFreeOutputSpaceIsRefusedWhole) {
    port->SetComNumber(1);
    port->SetOutSize(16);
    port->SetOpen(true);
    EXPECT_THROW(port->PutString(std::string(17, 'x')), EOutputBufferTooSmall);
    port->PutString("ok");
    EXPECT_TRUE(WaitFor([&] { return line->SentCount() == 2; }));
    EXPECT_EQ(line->Sent(), "ok");
}

TEST_F(ComPortTest, FailedOpenRaisesTheMappedErrorAndLeavesNothingRunning) {
    prepare = [](TSioMemoryDispatcher& d) {
        d.LastErrorText = "Access to /tmp/tarnel-ports-test/COM3 was denied: join the dialout group";
    };
    const struct {
        int32_t system_error;
        int32_t code; // ErrorCode of the serial exception, 0 for a system error
    } cases[] = {{5, ecAlreadyOpen}, {2, ecBadId}, {3, ecBadId}, {2020, ecAccessDenied}, {87, 0}};
    port->SetComNumber(1);
    port->SetBaud(56000);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.system_error);
        line->FailOpen(c.system_error);
        try {
            port->SetOpen(true);
            ADD_FAILURE() << "opened";
        } catch (const EAccessDenied& e) {
            EXPECT_EQ(c.code, ecAccessDenied);
            EXPECT_STREQ(e.what(), "Access to /tmp/tarnel-ports-test/COM3 was denied: join the dialout group");
            EXPECT_EQ(e.ErrorCode, ecAccessDenied);
        } catch (const EOpenComm& e) {
            EXPECT_EQ(e.ErrorCode, c.code);
            EXPECT_EQ(c.code == ecAlreadyOpen, dynamic_cast<const EAlreadyOpen*>(&e) != nullptr);
            EXPECT_EQ(c.code == ecBadId, dynamic_cast<const EBadId*>(&e) != nullptr);
        } catch (const base::EInOutError& e) {
            EXPECT_EQ(c.code, 0);
            EXPECT_EQ(e.ErrorCode, 87);
        }
        EXPECT_FALSE(port->Open());
        EXPECT_EQ(port->PortState(), psClosed);
        EXPECT_FALSE(line->InUse());
        EXPECT_EQ(port->Baud(), 56000);
        EXPECT_EQ(port->ComNumber(), 1);
    }
    line->FailOpen(0);
    port->SetOpen(true);
    EXPECT_TRUE(port->Open());
    EXPECT_TRUE(line->InUse());
}

TEST_F(ComPortTest, PortWithoutADeviceThenAValidOne) {
    port->SetComNumber(7);
    EXPECT_THROW(port->SetOpen(true), EBadId);
    EXPECT_FALSE(port->Open());
    EXPECT_EQ(port->PortState(), psClosed);
    port->SetComNumber(1);
    port->SetOpen(true);
    EXPECT_TRUE(port->Open());
    EXPECT_EQ(line->OpenCount(), 1);
}

TEST_F(ComPortTest, NoDeviceLayerIsAClearError) {
    port->SetComNumber(1);
    port->SetCustomDispatcher([](TSioCustomComPort&) { return TSioDispatcherPtr(); });
    EXPECT_THROW(port->SetOpen(true), ENullApi);
    EXPECT_FALSE(port->Open());
    // The placeholder layer knows no port, and port 0 never exists.
    EXPECT_FALSE(TSioCustomComPort::IsPortAvailable(0));
}

TEST_F(ComPortTest, PortZeroAsksTheSelector) {
    // No selector, a cancelled one, or no prompting: no port.
    EXPECT_THROW(port->SetOpen(true), ENoPortSelected);
    FixedSelector cancelled(std::nullopt);
    port->SetPortSelector(&cancelled);
    EXPECT_THROW(port->SetOpen(true), ENoPortSelected);
    EXPECT_EQ(cancelled.asked, 1);
    FixedSelector chooses_one(1);
    port->SetPortSelector(&chooses_one);
    port->SetPromptForPort(false);
    EXPECT_THROW(port->PutString("x"), ENoPortSelected);
    EXPECT_EQ(chooses_one.asked, 0);
    EXPECT_EQ(line->OpenCount(), 0);

    port->SetPromptForPort(true);
    port->PutString("x");
    EXPECT_EQ(chooses_one.asked, 1);
    EXPECT_EQ(port->ComNumber(), 1);
    EXPECT_TRUE(port->Open());

    // The process-wide selector serves ports without one of their own.
    auto other = MakePort();
    other->SetCustomDispatcher([this](TSioCustomComPort& cp) {
        return TSioDispatcherPtr(new TSioMemoryDispatcher(&cp, lines[2]));
    });
    FixedSelector process_wide(2);
    TSioCustomComPort::SetDefaultPortSelector(&process_wide);
    other->SetOpen(true);
    TSioCustomComPort::SetDefaultPortSelector(nullptr);
    EXPECT_EQ(other->ComNumber(), 2);
    EXPECT_EQ(process_wide.asked, 1);
}

TEST_F(ComPortTest, OpeningOrClosingTwiceDoesItOnce) {
    port->SetComNumber(1);
    port->RegisterUserCallbackEx(users.Add("A").CallbackEx());
    port->SetOpen(true);
    port->SetOpen(true);
    EXPECT_EQ(line->OpenCount(), 1);
    port->SetOpen(false);
    port->SetOpen(false);
    EXPECT_EQ(users.entries, (Strings{"A:open", "A:closing", "A:closed"}));
    EXPECT_FALSE(line->InUse());
}

TEST_F(ComPortTest, LineSettingsChangeAnOpenPortWithoutClosingIt) {
    port->SetComNumber(1);
    port->RegisterUserCallbackEx(users.Add("A").CallbackEx());
    port->SetOpen(true);
    const int32_t writes = line->StateWrites();
    port->SetBaud(56000);
    EXPECT_EQ(line->AppliedDcb().BaudRate, 56000u);
    EXPECT_GT(line->StateWrites(), writes);
    port->SetParity(pEven);
    EXPECT_EQ(line->AppliedDcb().Parity, EVENPARITY);
    port->SetDataBits(7);
    EXPECT_EQ(line->AppliedDcb().ByteSize, 7);
    port->SetStopBits(2);
    EXPECT_EQ(line->AppliedDcb().StopBits, TWOSTOPBITS);
    port->SetDTR(false);
    EXPECT_FALSE(line->Dtr());
    port->SetHWFlowOptions({hwfRequireCTS});
    EXPECT_TRUE(line->AppliedDcb().fOutxCtsFlow);
    EXPECT_EQ(line->OpenCount(), 1);
    EXPECT_EQ(users.entries, (Strings{"A:open"}));

    // A value the device refuses raises and is not stored.
    line->RefuseState(87);
    EXPECT_THROW(port->SetBaud(9600), base::EInOutError);
    EXPECT_EQ(port->Baud(), 56000);
}

TEST_F(ComPortTest, HardwareFlowDrivenLinesIgnoreDtrAndRts) {
    port->SetComNumber(1);
    port->SetHWFlowOptions({hwfUseDTR, hwfUseRTS});
    port->SetOpen(true);
    const auto escapes = line->EscapeCalls().size();
    port->SetDTR(false);
    port->SetRTS(false);
    EXPECT_TRUE(port->DTR());
    EXPECT_TRUE(port->RTS());
    EXPECT_EQ(line->EscapeCalls().size(), escapes);
    EXPECT_EQ(line->AppliedDcb().fDtrControl, TDtrControl::dtrHandshake);
    EXPECT_EQ(line->AppliedDcb().fRtsControl, TRtsControl::rtsHandshake);
}

TEST_F(ComPortTest, FlowSettingsCorrectTheirLimits) {
    struct Case {
        const char* what;
        std::function<void(TSioCustomComPort&)> set;
        uint16_t full, resume;
    } cases[] = {
        {"hardware flow on RTS", [](auto& p) { p.SetHWFlowOptions({hwfUseRTS}); }, 3686, 409},
        {"software flow both ways", [](auto& p) { p.SetSWFlowOptions(swfBoth); }, 3072, 1024},
        {"full above the input size", [](auto& p) { p.SetBufferFull(5000); }, 4500, 0},
        {"resume above full",
         [](auto& p) {
             p.SetBufferFull(2000);
             p.SetBufferResume(3000);
         },
         2000, 200},
        {"limits kept when valid",
         [](auto& p) {
             p.SetBufferFull(1000);
             p.SetBufferResume(100);
             p.SetHWFlowOptions({hwfUseDTR});
         },
         1000, 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto p = MakePort();
        c.set(*p);
        EXPECT_EQ(p->BufferFull(), c.full);
        EXPECT_EQ(p->BufferResume(), c.resume);
    }
    auto p = MakePort();
    p->SetRS485Mode(true);
    p->SetHWFlowOptions({hwfUseRTS, hwfUseDTR});
    EXPECT_FALSE(p->RS485Mode());
    p->SetRS485Mode(true);
    EXPECT_EQ(p->HWFlowOptions(), THWFlowOptions{hwfUseDTR});
    EXPECT_FALSE(p->RTS());
}

TEST_F(ComPortTest, FlowStateReportsTheHoldOfTheFlowControlInForce) {
    struct Case {
        THWFlowOptions hw;
        TSWFlowOptions sw;
        bool cts_hold, dsr_hold, xoff_hold, xoff_sent;
        TFlowControlState expected;
    } cases[] = {
        {{}, swfNone, true, true, true, true, fcOff},
        {{hwfUseRTS, hwfRequireCTS}, swfNone, false, false, false, false, fcOn},
        {{hwfUseRTS, hwfRequireCTS}, swfNone, true, false, false, false, fcCtsHold},
        {{hwfUseDTR, hwfRequireDSR}, swfNone, false, true, false, false, fcDsrHold},
        {{}, swfBoth, false, false, false, false, fcOn},
        {{}, swfBoth, false, false, true, false, fcXOutHold},
        {{}, swfBoth, false, false, false, true, fcXInHold},
        {{}, swfBoth, false, false, true, true, fcXBothHold},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "case " << &c - cases);
        auto p = MakePort();
        p->SetComNumber(1);
        p->SetHWFlowOptions(c.hw);
        p->SetSWFlowOptions(c.sw);
        p->SetOpen(true);
        line->SetHolds(c.cts_hold, c.dsr_hold, c.xoff_hold, c.xoff_sent);
        EXPECT_EQ(p->FlowState(), c.expected);
        p->SetOpen(false);
        line->SetHolds(false, false, false, false);
    }
}

TEST_F(ComPortTest, TraceAndLogSizesAreCapped) {
    port->SetTraceSize(4000001);
    EXPECT_EQ(port->TraceSize(), 4000000u);
    port->SetLogSize(16000001);
    EXPECT_EQ(port->LogSize(), 16000000u);
    port->SetLogSize(20);
    EXPECT_EQ(port->LogSize(), 20u);
}

TEST_F(ComPortTest, AClosedPortStoresOnlyTracingOnOrOff) {
    for (TTraceLogState s : {tlDump, tlAppend, tlClear, tlPause, tlAppendAndContinue}) {
        port->SetTracing(tlOn);
        port->SetTracing(s);
        EXPECT_EQ(port->Tracing(), tlOff) << int(s);
        port->SetLogging(tlOn);
        port->SetLogging(s);
        EXPECT_EQ(port->Logging(), tlOff) << int(s);
    }
    port->SetTracing(tlOn);
    EXPECT_EQ(port->Tracing(), tlOn);
}

TEST_F(ComPortTest, TraceAndLogAreDumpedAtClose) {
    TempDir dir;
    port->SetComNumber(1);
    port->SetTraceName(dir.File("serial.trc"));
    port->SetLogName(dir.File("serial.log"));
    port->SetTracing(tlOn);
    port->SetLogging(tlOn);
    port->PutString("PING");
    ASSERT_TRUE(WaitFor([&] { return line->Sent() == "PING"; }));
    port->SetTracing(tlPause);
    EXPECT_EQ(port->Tracing(), tlPause);
    port->SetOpen(false);
    EXPECT_EQ(port->Tracing(), tlOff);
    EXPECT_EQ(port->Logging(), tlOff);
    EXPECT_NE(ReadFile(dir.File("serial.trc")).find("PING"), std::string::npos);
    EXPECT_FALSE(ReadFile(dir.File("serial.log")).empty());
}

TEST_F(ComPortTest, ATraceThatCannotBeWrittenDoesNotStopTheClose) {
    TempDir dir;
    port->SetComNumber(1);
    port->SetTraceName(dir.File("missing/serial.trc"));
    port->SetTracing(tlOn);
    port->RegisterUserCallbackEx(users.Add("A").CallbackEx());
    port->SetOpen(true);
    port->SetOpen(false);
    EXPECT_FALSE(port->Open());
    EXPECT_FALSE(line->InUse());
    EXPECT_EQ(users.entries, (Strings{"A:open", "A:closing", "A:closed"}));
    EXPECT_EQ(errors.Count(), 1u);
}

TEST_F(ComPortTest, UsersAreToldNewestFirstInTheirOwnForm) {
    port->SetComNumber(1);
    UserLog::Window window(&users, "W");
    UserLog::Window window_ex(&users, "X");
    port->RegisterUserCallbackEx(users.Add("A").CallbackEx());
    port->RegisterUserCallback(users.Add("P").Callback());
    port->RegisterUser(&window);
    port->RegisterUserEx(&window_ex);
    port->RegisterUserCallbackEx(users.Add("B").CallbackEx());
    int opened = 0, closed = 0;
    port->OnPortOpen = [&](TSioCustomComPort&) { ++opened; };
    port->OnPortClose = [&](TSioCustomComPort&) { ++closed; };
    port->SetOpen(true);
    EXPECT_EQ(users.entries, (Strings{"B:open", "X:msg7E08", "W:msg7E08", "P:true", "A:open"}));
    users.entries.clear();
    port->SetOpen(false);
    EXPECT_EQ(users.entries, (Strings{"B:closing", "X:msg7E0A", "A:closing", "B:closed",
                                      "X:msg7E09", "W:msg7E09", "P:false", "A:closed"}));
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(closed, 1);

    // Deregistering removes that user's entries only.
    UserLog::User& a2 = users.Add("A2");
    port->RegisterUserCallbackEx(a2.CallbackEx());
    port->DeregisterUserCallbackEx(users.users[0]->CallbackEx());
    port->DeregisterUser(&window);
    port->DeregisterUserCallback(users.users[1]->Callback());
    users.entries.clear();
    port->SetOpen(true);
    EXPECT_EQ(users.entries, (Strings{"A2:open", "B:open", "X:msg7E08"}));
    port->DeregisterUser(&window_ex); // it goes before the port
}

TEST_F(ComPortTest, AFailedOpenTellsTheUsersThatHeardOfItThatThePortClosed) {
    port->SetComNumber(1);
    port->RegisterUserCallbackEx(users.Add("A").CallbackEx());
    UserLog::User& b = users.Add("B");
    b.action = [](TSioCustomComPort&, TSioCallbackType type) {
        if (type == ctOpen)
            throw base::Exception("B cannot start");
    };
    port->RegisterUserCallbackEx(b.CallbackEx());
    port->RegisterUserCallbackEx(users.Add("C").CallbackEx());
    EXPECT_THROW(port->SetOpen(true), base::Exception);
    EXPECT_EQ(users.entries, (Strings{"C:open", "B:open", "C:closed", "B:closed"}));
    EXPECT_FALSE(port->Open());
    EXPECT_EQ(port->PortState(), psClosed);
    EXPECT_FALSE(line->InUse());
}

TEST_F(ComPortTest, AUserThatRaisesAtCloseDoesNotStopTheClose) {
    port->SetComNumber(1);
    port->RegisterUserCallbackEx(users.Add("A").CallbackEx());
    UserLog::User& b = users.Add("B");
    b.action = [](TSioCustomComPort&, TSioCallbackType type) {
        if (type == ctClosing)
            throw base::Exception("B failed");
    };
    port->RegisterUserCallbackEx(b.CallbackEx());
    port->SetOpen(true);
    users.entries.clear();
    EXPECT_THROW(port->SetOpen(false), base::Exception);
    EXPECT_EQ(users.entries, (Strings{"B:closing", "A:closing", "B:closed", "A:closed"}));
    EXPECT_FALSE(port->Open());
    EXPECT_EQ(port->PortState(), psClosed);
    EXPECT_FALSE(line->InUse());
    port->SetOpen(true);
    EXPECT_TRUE(port->Open());
}

TEST_F(ComPortTest, TriggersOfTheLastCloseComeBackAtTheNextOpen) {
    port->SetComNumber(1);
    port->SetOpen(true);
    const uint16_t data = port->AddDataTrigger("OK", true);
    EXPECT_NE(data, 0);
    port->SetTriggerLength(4);
    port->SetOpen(false);
    port->SetOpen(true);
    EXPECT_EQ(D()->DataTriggerCount(), 1);
    EXPECT_NO_THROW(port->RemoveTrigger(data));
    EXPECT_EQ(D()->DataTriggerCount(), 0);
    EXPECT_THROW(port->RemoveTrigger(data), EBadTriggerHandle);
}

// A user that, like the packet manager, adds a timer trigger at ctOpen and removes it at
// ctClosing keeps it across a change of port; the triggers of the old port come back once.
TEST_F(ComPortTest, ChangingThePortWhileOpenClosesAndReopensRestoringTriggersOnce) {
    TempDir dir;
    port->SetTraceName(dir.File("serial.trc"));
    port->SetComNumber(1);
    uint16_t user_timer = 0;
    UserLog::User& user = users.Add("M");
    user.action = [&](TSioCustomComPort& cp, TSioCallbackType type) {
        if (type == ctOpen) {
            user_timer = cp.AddTimerTrigger();
        } else if (type == ctClosing) {
            ASSERT_EQ(cp.Dispatcher()->RemoveTrigger(user_timer), 0);
        }
    };
    port->RegisterUserCallbackEx(user.CallbackEx());
    port->SetOpen(true);
    const uint16_t own_timer = port->AddTimerTrigger();
    port->SetTracing(tlOn);
    users.entries.clear();

    port->SetComNumber(2);
    EXPECT_EQ(users.entries, (Strings{"M:closing", "M:closed", "M:open"}));
    EXPECT_TRUE(lines[2]->InUse());
    EXPECT_FALSE(line->InUse());
    EXPECT_EQ(port->Tracing(), tlOn);
    EXPECT_EQ(D()->TimerTriggerCount(), 2);
    EXPECT_NO_THROW(port->SetTimerTrigger(user_timer, 10, true));
    EXPECT_NO_THROW(port->SetTimerTrigger(own_timer, 10, true));
    port->SetOpen(false); // while the user's locals live
}

TEST_F(ComPortTest, TriggerEventsFireOnTheOwnerThreadOnlyWhileAssigned) {
    port->SetComNumber(1);
    port->SetOpen(true);
    EXPECT_FALSE(D()->PortHandlerInstalled);
    std::vector<uint16_t> counts;
    std::vector<uint16_t> data_handles;
    port->SetOnTriggerAvail([&](TSioCustomComPort& cp, uint16_t count) {
        EXPECT_TRUE(loop.IsOwnerThread());
        std::string bytes(count, '\0');
        cp.GetBlock(bytes.data(), count);
        counts.push_back(count);
    });
    EXPECT_TRUE(D()->PortHandlerInstalled);
    port->SetOnTriggerData([&](TSioCustomComPort&, uint16_t h) { data_handles.push_back(h); });
    const uint16_t handle = port->AddDataTrigger("\r\n", false);
    line->Arrive("AB\r\n");
    EXPECT_TRUE(WaitFor([&] { return !data_handles.empty() && !counts.empty(); }));
    EXPECT_EQ(data_handles.front(), handle);

    port->SetOnTriggerAvail(nullptr);
    port->SetOnTriggerData(nullptr);
    EXPECT_FALSE(D()->PortHandlerInstalled);
    port.reset();
}

TEST_F(ComPortTest, SearchComPortGoesDepthFirst) {
    base::TComponent form;
    auto& panel = form.Own(std::make_unique<base::TComponent>(&form));
    auto& inner = panel.Own(MakePort(&panel));
    form.Own(std::make_unique<base::TComponent>(&form));
    auto& later = form.Own(MakePort(&form));
    EXPECT_EQ(TSioCustomComPort::SearchComPort(&form), &inner);
    EXPECT_EQ(TSioCustomComPort::SearchComPort(&panel), &inner);
    base::TComponent empty;
    EXPECT_EQ(TSioCustomComPort::SearchComPort(&empty), nullptr);
    (void)later;
}

TEST_F(ComPortTest, LoadingStoresOpenAndLoadedOpensOrShowsTheFailure) {
    auto loaded = MakePort();
    loaded->BeginLoading();
    loaded->SetComNumber(1);
    loaded->SetOpen(true);
    EXPECT_EQ(line->OpenCount(), 0);
    loaded->Loaded();
    EXPECT_TRUE(loaded->Open());
    EXPECT_TRUE(line->InUse());

    auto failing = MakePort();
    failing->BeginLoading();
    failing->SetComNumber(9);
    failing->SetOpen(true);
    failing->Loaded();
    EXPECT_FALSE(failing->Open());
    EXPECT_EQ(errors.Count(), 1u);
}

TEST_F(ComPortTest, AssignCopiesSettingsUsersAndTriggersButNotTheOpenState) {
    port->SetComNumber(1);
    port->SetBaud(56000);
    port->SetSWFlowOptions(swfBoth);
    port->SetTraceName("x.trc");
    port->RegisterUserCallbackEx(users.Add("A").CallbackEx());
    port->SetOpen(true);
    (void)port->AddDataTrigger("END", false);
    auto copy = MakePort();
    copy->Assign(*port);
    EXPECT_FALSE(copy->Open());
    EXPECT_EQ(copy->ComNumber(), 1);
    EXPECT_EQ(copy->Baud(), 56000);
    EXPECT_EQ(copy->SWFlowOptions(), swfBoth);
    EXPECT_EQ(copy->BufferFull(), 3072);
    EXPECT_EQ(copy->TraceName(), "x.trc");
    port->SetOpen(false);
    users.entries.clear();
    copy->SetOpen(true);
    EXPECT_EQ(users.entries, (Strings{"A:open"}));
    EXPECT_EQ(static_cast<TSioBaseDispatcher*>(copy->Dispatcher())->DataTriggerCount(), 1);
}

} // namespace
} // namespace serial::testing
