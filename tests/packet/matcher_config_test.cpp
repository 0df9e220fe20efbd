// Start and end conditions, patterns and the arming checks of the matcher.
#include "packet_fixture.h"
#include "serial/errors.h"

namespace packet::testing {
namespace {

struct Config {
    TPacketStartCond start = scString;
    TPacketEndSet end;
    std::string start_string, end_string;
    bool ignore_case = true, include = true;
    int32_t size = 0;
};

TEST_F(PacketTest, StartAndEndConditions) {
    struct Case {
        const char* what;
        Config config;
        std::string input;
        std::vector<std::string> expected;
    };
    const TPacketEndSet by_string(ecString), by_size(ecPacketSize);
    const Case cases[] = {
        {"stored backslash r backslash n ends at the letters",
         {scAnyData, by_string, "", "\\r\\n"},
         "ab\r\ncdRnef",
         {"ab\r\ncdRn"}},
        {"wildcard start, any case",
         {scString, by_string, "A?C", "!"},
         "abc1!A-c2!",
         {"abc1!", "A-c2!"}},
        {"escaped question mark is literal",
         {scString, by_string, "A\\?C", "!"},
         "abc1!a?c2!",
         {"a?c2!"}},
        {"case kept without IgnoreCase",
         {scString, by_string, "ab", "!", false},
         "AB1!ab2!",
         {"ab2!"}},
        {"strings left out", {scString, by_string, "$", "*", true, false}, "x$12*", {"12"}},
        {"size counted from the start string",
         {scString, by_size, "AB", "", true, true, 5},
         "zzABcdefg",
         {"ABcde"}},
        {"size without the start string",
         {scString, by_size, "AB", "", true, false, 5},
         "zzABcdefg",
         {"cde"}},
        {"start string alone is the packet", {scString, {}, "OK", ""}, "xOKyOOKz", {"OK", "OK"}},
        {"end string restarts inside a partial match",
         {scAnyData, by_string, "", "aab"},
         "xaaab",
         {"xaaab"}},
        {"start string restarts inside a partial match",
         {scString, by_string, "aab", "!"},
         "aaab!",
         {"aab!"}},
        {"a second start inside a packet is data",
         {scString, by_string, "$", "*"},
         "$1$2*",
         {"$1$2*"}},
        {"size or string, whichever first",
         {scAnyData, TPacketEndSet(ecString) + by_size, "", "\n", true, true, 4},
         "ab\nabcdef\n",
         {"ab\n", "abcd", "ef\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        lines.clear();
        TSioDataPacket& m = AddMatcher();
        m.SetStartCond(c.config.start);
        m.SetEndCond(c.config.end);
        m.SetStartString(c.config.start_string);
        m.SetEndString(c.config.end_string);
        m.SetIgnoreCase(c.config.ignore_case);
        m.SetIncludeStrings(c.config.include);
        m.SetPacketSize(c.config.size);
        m.SetEnabled(true);
        port->SetOpen(true);
        Feed(c.input);
        ASSERT_TRUE(WaitLines(c.expected.size()));
        loop.Pump();
        EXPECT_EQ(lines, c.expected);
        EXPECT_EQ(errors.Count(), 0u);
        port->SetOpen(false);
        matchers.clear();
    }
}

TEST_F(PacketTest, ArmingChecksInOrderAndAFailedRequestLeavesEnabledAlone) {
    struct Case {
        Config config;
        int32_t code;
        const char* text;
    };
    const Case cases[] = {
        {{scString, TPacketEndSet(ecString), "", "x"}, -5501, "Start string is empty"},
        {{scString, TPacketEndSet(ecPacketSize), "ABC", "", true, true, 2},
         -5502,
         "Packet size cannot be smaller than start string"},
        {{scAnyData, {}, "", ""}, -5503, "CharCount packets must have an end-condition"},
        {{scAnyData, TPacketEndSet(ecString), "", ""}, -5504, "End string is empty"},
        {{scAnyData, TPacketEndSet(ecPacketSize), "", ""}, -5505, "Packet size cannot be zero"},
    };
    port->SetOpen(true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        TSioDataPacket& m = AddMatcher();
        m.SetStartCond(c.config.start);
        m.SetEndCond(c.config.end);
        m.SetStartString(c.config.start_string);
        m.SetEndString(c.config.end_string);
        m.SetPacketSize(c.config.size);
        try {
            m.SetEnabled(true);
            ADD_FAILURE() << "no exception";
        } catch (const serial::EInvalidProperty& e) {
            EXPECT_EQ(e.ErrorCode, c.code);
            EXPECT_STREQ(e.what(), c.text);
        }
        EXPECT_FALSE(m.Enabled());
        EXPECT_EQ(m.PacketMode(), dpIdle);
        matchers.clear();
    }
}

TEST_F(PacketTest, SettingEnabledTwiceDoesNotRestartACollectingMatcher) {
    TSioDataPacket& m = AddLineMatcher();
    port->SetOpen(true);
    ArriveRead("half", 4);
    m.SetEnabled(true); // already armed: the half line stays
    line->Arrive(" line\r\n");
    ASSERT_TRUE(WaitLines(1));
    EXPECT_EQ(lines, std::vector<std::string>{"half line\r\n"});
}

TEST_F(PacketTest, TheLastMatcherLeavingReleasesItsManager) {
    AddLineMatcher();
    port->SetOpen(true);
    auto manager = TSioDataPacketManagerList::Instance().GetPortManager(port.get());
    ASSERT_TRUE(manager);
    auto& list = TSioDataPacketManagerList::Instance();
    const size_t managers = list.Count();
    matchers.clear();
    EXPECT_EQ(manager->ComPort(), nullptr);
    EXPECT_FALSE(manager->Enabled());
    // Destroyed once the posted message is handled: only this test still holds it then.
    ASSERT_TRUE(WaitFor([&] { return list.Count() == managers - 1; }));
    EXPECT_EQ(manager.use_count(), 1);
    EXPECT_EQ(TSioDataPacketManagerList::Instance().GetPortManager(port.get()), nullptr);
    // A matcher attached later gets a manager of its own, and it works.
    TSioDataPacket& again = AddLineMatcher();
    EXPECT_NE(again.InternalManager(), manager.get());
    line->Arrive("x\r\n");
    ASSERT_TRUE(WaitLines(1));
}

} // namespace
} // namespace packet::testing
