// The trace ring and the dispatch log, and their text dumps.
#include "serial/error_codes.h"
#include "serial/support/dispatcher_fixture.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace serial::testing {
namespace {

std::string ReadFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

using DispatcherTrace = DispatcherTest;

TEST_F(DispatcherTrace, TraceRecordsSentAndTakenBytesInRuns) {
    const std::string file = ::testing::TempDir() + "dispatcher_trace.trc";
    EXPECT_EQ(dispatcher->InitTracing(MaxTraceEntries + 1), ecBadArgument);
    EXPECT_EQ(dispatcher->DumpTrace(file, false, false), ecTracingNotEnabled);
    ASSERT_EQ(dispatcher->InitTracing(100), 0);
    ASSERT_EQ(dispatcher->PutString("AB"), 0);
    line->Arrive("x\r");
    ASSERT_TRUE(WaitFor([&] { return dispatcher->InBuffUsed() == 2; }));
    uint8_t got[2];
    ASSERT_EQ(dispatcher->GetBlock(got, 2), 2);
    struct Case {
        bool in_hex;
        bool all_hex;
        const char* expected;
    } cases[] = {
        {true, false, "Transmit: \nAB\n\nReceive: \nx[0D]\n"},
        {false, false, "Transmit: \nAB\n\nReceive: \nx[13]\n"},
        {false, true, "Transmit: \n41 42 \n\nReceive: \n78 0D \n"},
    };
    for (const auto& c : cases) {
        // Each dump empties the ring, so the same entries are made again.
        if (&c != &cases[0]) {
            for (char ch : std::string("AB"))
                dispatcher->AddTraceEntry('T', static_cast<uint8_t>(ch));
            dispatcher->AddTraceEntry('R', 'x');
            dispatcher->AddTraceEntry('R', '\r');
        }
        ASSERT_EQ(dispatcher->DumpTrace(file, c.in_hex, c.all_hex), 0);
        EXPECT_EQ(ReadFile(file), c.expected);
    }
    ASSERT_EQ(dispatcher->AppendTrace(file, false, false), 0); // empty ring: nothing added
    EXPECT_EQ(ReadFile(file), cases[2].expected);
}

TEST_F(DispatcherTrace, FullTraceRingKeepsTheNewestEntriesAndWrapsLongRuns) {
    const std::string file = ::testing::TempDir() + "dispatcher_wrap.trc";
    ASSERT_EQ(dispatcher->InitTracing(3), 0);
    for (char ch : std::string("abcde"))
        dispatcher->AddTraceEntry('T', static_cast<uint8_t>(ch));
    ASSERT_EQ(dispatcher->DumpTrace(file, false, false), 0);
    EXPECT_EQ(ReadFile(file), "Transmit: \ncde\n");

    dispatcher->AbortTracing();
    ASSERT_EQ(dispatcher->InitTracing(200), 0);
    for (int i = 0; i < 100; ++i)
        dispatcher->AddTraceEntry('Q', 'z');
    ASSERT_EQ(dispatcher->DumpTrace(file, false, false), 0);
    EXPECT_EQ(ReadFile(file),
              "Special-Q: \n" + std::string(78, 'z') + "\n" + std::string(22, 'z') + "\n");
    dispatcher->StopTracing();
    dispatcher->AddTraceEntry('T', 'n');
    ASSERT_EQ(dispatcher->DumpTrace(file, false, false), 0);
    EXPECT_EQ(ReadFile(file), "");
}

TEST_F(DispatcherTrace, DispatchLogDumpHasItsHeaderAndOneLinePerEntry) {
    const std::string file = ::testing::TempDir() + "dispatcher.log";
    dispatcher->InitDispatchLogging(0);
    dispatcher->AddStringToLog("hello");
    dispatcher->AddDispatchEntry(dtDispatch, dstReadCom, 0xAB, nullptr, 0);
    ASSERT_EQ(dispatcher->DumpDispatchLog(file, false, false), 0);
    const std::string text = ReadFile(file);
    EXPECT_NE(text.find("\nDevice: COM3\n"), std::string::npos);
    EXPECT_NE(text.find("\nDate/time: "), std::string::npos);
    EXPECT_NE(text.find("Time      Type      SubType       Data      OtherData\n"
                        "--------  --------  ------------  --------  ---------\n"),
              std::string::npos);
    EXPECT_NE(text.find("  User                    00000000  hello\n"), std::string::npos);
    EXPECT_NE(text.find("  Dispatch  ReadCom       000000ab  \n"), std::string::npos);

    // A size limit drops the oldest entries, also entries without bytes.
    dispatcher->InitDispatchLogging(100);
    for (int i = 0; i < 50; ++i)
        dispatcher->AddDispatchEntry(dtDispatch, dstAvail, static_cast<uint32_t>(i), nullptr, 0);
    ASSERT_EQ(dispatcher->DumpDispatchLog(file, false, false), 0);
    const std::string limited = ReadFile(file);
    EXPECT_EQ(limited.find("00000000  \n"), std::string::npos);
    EXPECT_NE(limited.find("00000031  \n"), std::string::npos); // the newest stays
}

} // namespace
} // namespace serial::testing
