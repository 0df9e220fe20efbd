// Lines as the main window receives them: CR LF framing through the real dispatcher threads,
// reads split anywhere, and the bad input a serial line can bring.
#include "packet_fixture.h"

namespace packet::testing {
namespace {

TEST_F(PacketTest, LinesKeepTheirTerminatorAndTheRestOfAReadWaitsForTheNextLine) {
    AddLineMatcher();
    port->SetOpen(true);
    ArriveRead("1,2,3,4\r\n5,6", 3); // the first line delivered, "5,6" held
    ASSERT_TRUE(WaitLines(1));
    line->Arrive(",7,8\r\n");
    ASSERT_TRUE(WaitLines(2));
    EXPECT_EQ(lines, (std::vector<std::string>{"1,2,3,4\r\n", "5,6,7,8\r\n"}));
}

// Each case is fed as separate reads (each waits until the manager has it).
TEST_F(PacketTest, TerminatorCases) {
    struct Case {
        const char* what;
        std::vector<std::string> reads;
        std::vector<std::string> expected;
    };
    const std::string binary("\x00\xff\x80\x01\r\x7f", 6);
    const Case cases[] = {
        {"bare CR LF", {"\r\n"}, {"\r\n"}},
        {"CR CR LF ends at the LF", {"a\r\r\n"}, {"a\r\r\n"}},
        {"CR then another byte does not end", {"a\rb\r\n"}, {"a\rb\r\n"}},
        {"CR LF split across reads", {"abc\r", "\nxy\r\n"}, {"abc\r\n", "xy\r\n"}},
        {"NUL and bytes above 127 kept", {binary + "\r\n"}, {binary + "\r\n"}},
        {"two lines and half a third", {"a\r\nb\r\nc"}, {"a\r\n", "b\r\n"}},
    };
    AddLineMatcher();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        lines.clear();
        port->SetOpen(true);
        for (const std::string& read : c.reads)
            Feed(read);
        ASSERT_TRUE(WaitLines(c.expected.size()));
        EXPECT_EQ(lines, c.expected);
        port->SetOpen(false);
    }
}

TEST_F(PacketTest, CloseDropsThePartialLineAndAReopenStartsAfresh) {
    AddLineMatcher();
    port->SetOpen(true);
    ArriveRead("partial", 7);
    port->SetOpen(false);
    EXPECT_EQ(Manager().BufferCapacity(), 0);
    EXPECT_FALSE(Manager().Enabled());
    port->SetOpen(true);
    EXPECT_EQ(matchers[0]->PacketMode(), dpCollecting);
    line->Arrive("new\r\n");
    ASSERT_TRUE(WaitLines(1));
    EXPECT_EQ(lines, std::vector<std::string>{"new\r\n"});
}

TEST_F(PacketTest, BytesWhileNoMatcherIsArmedAreDroppedAtTheEndOfTheRead) {
    TSioDataPacket& m = AddLineMatcher();
    m.SetEnabled(false);
    port->SetOpen(true);
    // A megabyte with no line end while nothing listens: nothing is kept.
    Feed(std::string(1 << 20, 'x'));
    EXPECT_EQ(Manager().BufferCapacity(), 0);
    m.SetEnabled(true);
    line->Arrive("ok\r\n");
    ASSERT_TRUE(WaitLines(1));
    EXPECT_EQ(lines, std::vector<std::string>{"ok\r\n"});
}

TEST_F(PacketTest, AMegabyteWithNoLineEndIsDroppedAndTheNextLineComesThrough) {
    AddLineMatcher();
    port->SetOpen(true);
    std::string noise;
    for (int i = 0; i < (1 << 20); ++i)
        noise.push_back(static_cast<char>(i % 7 == 0 ? '\r' : (i * 37) & 0xff));
    for (char& c : noise)
        if (c == '\n')
            c = 0;
    Feed(noise);
    EXPECT_LE(Manager().BufferPtr(), kMaxPacketBytes);
    EXPECT_LE(Manager().BufferCapacity(), 4 * kMaxPacketBytes);
    EXPECT_TRUE(lines.empty());
    line->Arrive("\r\n5,6,7,8\r\n"); // ends whatever noise is held, then a good line
    ASSERT_TRUE(WaitLines(2));
    EXPECT_EQ(lines.back(), "5,6,7,8\r\n");
    EXPECT_LE(lines.front().size(), static_cast<size_t>(kMaxPacketBytes + 2));
    EXPECT_EQ(errors.Count(), 0u);
}

TEST_F(PacketTest, CapacityGrowsBeforeTheBytesReachIt) {
    AddLineMatcher();
    port->SetOpen(true);
    ArriveRead("12345", 5);
    EXPECT_EQ(Manager().BufferCapacity(), 8192);
    ArriveRead(std::string(8187, 'z'), 8192);
    EXPECT_EQ(Manager().BufferCapacity(), 16384);
}

TEST_F(PacketTest, OnlyTheFirstOfTwoAnyDataMatchersCollects) {
    AddLineMatcher();
    std::vector<std::string> second;
    TSioDataPacket& other = AddLineMatcher();
    other.OnStringPacket = [&](TSioDataPacket&, const std::string& s) { second.push_back(s); };
    port->SetOpen(true);
    Feed("a\r\nb\r\n");
    ASSERT_TRUE(WaitLines(2));
    loop.Pump();
    EXPECT_TRUE(second.empty());
}

} // namespace
} // namespace packet::testing
