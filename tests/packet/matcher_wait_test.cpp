// The blocking waits for a packet: they run the events meanwhile, end on a packet or on the
// matcher's time-out, and a second wait waits for a new packet.
#include "packet_fixture.h"

#include <thread>

namespace packet::testing {
namespace {

TEST_F(PacketTest, WaitForStringReturnsTheNextLineAndASecondWaitANewOne) {
    TSioDataPacket& m = AddLineMatcher();
    m.SetEnabled(false);
    port->SetOpen(true);
    for (const char* text : {"first\r\n", "second\r\n"}) {
        // The remote end answers once the matcher is armed by the wait.
        std::thread remote([&] {
            const auto deadline = std::chrono::steady_clock::now() + 10s;
            while (m.PacketMode() == dpIdle && std::chrono::steady_clock::now() < deadline)
                std::this_thread::yield();
            line->Arrive(text);
        });
        std::string got;
        const bool delivered = m.WaitForString(got);
        remote.join();
        EXPECT_TRUE(delivered);
        EXPECT_EQ(got, text);
    }
    EXPECT_FALSE(m.AutoEnable());
    EXPECT_EQ(lines, (std::vector<std::string>{"first\r\n", "second\r\n"})); // events ran
}

TEST_F(PacketTest, WaitForPacketEndsOnTheTimeOut) {
    TSioDataPacket& m = AddLineMatcher();
    m.SetTimeOut(2);
    port->SetOpen(true);
    line->Arrive("no end");
    std::string got = "unchanged";
    EXPECT_FALSE(m.WaitForPacket(got));
    EXPECT_TRUE(m.TimedOutFlag());
    EXPECT_EQ(got, "unchanged");
}

} // namespace
} // namespace packet::testing
