// The trace ring and the dispatch log, and their text dumps.
#include "serial/error_codes.h"
#include "serial/support/dispatcher_fixture.h"

#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

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

// A fresh folder under the test's temporary folder, removed with what is left in it.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = ::testing::TempDir() + "dispatcher_files_XXXXXX";
        path_ = ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
    }
    ~TempFolder() {
        for (const auto& name : Names())
            (void)::unlink((path_ + "/" + name).c_str());
        (void)::rmdir(path_.c_str());
    }
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    std::set<std::string> Names() const {
        std::set<std::string> names;
        if (DIR* dir = ::opendir(path_.c_str())) {
            while (const dirent* entry = ::readdir(dir)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..")
                    names.insert(name);
            }
            ::closedir(dir);
        }
        return names;
    }

private:
    std::string path_;
};

void WriteText(const std::string& name, const std::string& text) {
    std::ofstream(name, std::ios::binary) << text;
}

bool IsRegularFile(const std::string& name) {
    struct stat st {};
    return ::lstat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

TEST_F(DispatcherTrace, FilesReplaceALinkInsteadOfWritingThroughIt) {
    TempFolder folder;
    ASSERT_FALSE(folder.Path().empty());
    const std::string victim = folder / "victim";
    WriteText(victim, "secret\n");
    const std::string trace = folder / "SERIAL.TRC";
    const std::string log = folder / "SERIAL.LOG";
    ASSERT_EQ(::symlink(victim.c_str(), trace.c_str()), 0);
    ASSERT_EQ(::symlink(victim.c_str(), log.c_str()), 0);

    ASSERT_EQ(dispatcher->InitTracing(100), 0);
    dispatcher->AddTraceEntry('T', 'A');
    EXPECT_EQ(dispatcher->DumpTrace(trace, false, false), 0);
    EXPECT_EQ(ReadFile(victim), "secret\n");
    EXPECT_TRUE(IsRegularFile(trace));
    EXPECT_EQ(ReadFile(trace), "Transmit: \nA\n");

    // An append to a link starts a file of its own: the link's target is not copied.
    dispatcher->InitDispatchLogging(0);
    dispatcher->AddStringToLog("entry");
    EXPECT_EQ(dispatcher->AppendDispatchLog(log, false, false), 0);
    EXPECT_EQ(ReadFile(victim), "secret\n");
    EXPECT_TRUE(IsRegularFile(log));
    EXPECT_EQ(ReadFile(log).find("secret"), std::string::npos);
    EXPECT_NE(ReadFile(log).find("entry"), std::string::npos);
    EXPECT_EQ(folder.Names(), (std::set<std::string>{"victim", "SERIAL.TRC", "SERIAL.LOG"}));
}

TEST_F(DispatcherTrace, AppendKeepsTheOldContentsAndTheFileMode) {
    TempFolder folder;
    ASSERT_FALSE(folder.Path().empty());
    const std::string trace = folder / "SERIAL.TRC";
    WriteText(trace, "old\n");
    ASSERT_EQ(::chmod(trace.c_str(), 0640), 0);
    ASSERT_EQ(dispatcher->InitTracing(100), 0);
    dispatcher->AddTraceEntry('R', 'z');
    EXPECT_EQ(dispatcher->AppendTrace(trace, false, false), 0);
    EXPECT_EQ(ReadFile(trace), "old\nReceive: \nz\n");
    struct stat st {};
    ASSERT_EQ(::stat(trace.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(folder.Names(), std::set<std::string>{"SERIAL.TRC"});
}

TEST_F(DispatcherTrace, FailedWriteReturnsACodeAndStopsNothing) {
    TempFolder folder;
    ASSERT_FALSE(folder.Path().empty());
    const std::string missing = folder / "no-such-folder/SERIAL.TRC";
    ASSERT_EQ(dispatcher->InitTracing(100), 0);
    dispatcher->InitDispatchLogging(0);
    ASSERT_EQ(dispatcher->PutString("a"), 0);
    EXPECT_LT(dispatcher->DumpTrace(missing, false, false), 0);
    EXPECT_LT(dispatcher->AppendDispatchLog(folder / "no-such-folder/SERIAL.LOG", false, false), 0);
    // A folder where the file should go cannot be replaced.
    ASSERT_EQ(::mkdir((folder / "SERIAL.TRC").c_str(), 0700), 0);
    dispatcher->AddTraceEntry('T', 'b');
    EXPECT_LT(dispatcher->DumpTrace(folder / "SERIAL.TRC", false, false), 0);
    EXPECT_EQ(folder.Names(), std::set<std::string>{"SERIAL.TRC"}); // no temporary left
    (void)::rmdir((folder / "SERIAL.TRC").c_str());
    // Tracing, logging and the port go on.
    ASSERT_EQ(dispatcher->PutString("c"), 0);
    ASSERT_TRUE(WaitFor([&] { return line->Sent() == "ac"; }));
    EXPECT_EQ(dispatcher->DumpTrace(folder / "SERIAL.TRC", false, false), 0);
    EXPECT_EQ(ReadFile(folder / "SERIAL.TRC"), "Transmit: \nc\n");
    EXPECT_EQ(dispatcher->DumpDispatchLog(folder / "SERIAL.LOG", false, false), 0);
}

} // namespace
} // namespace serial::testing
