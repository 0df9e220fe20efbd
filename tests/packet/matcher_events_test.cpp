// The matcher's events: time-out and re-arming at the end of the event, failures inside and
// outside the guarded events, closing and destroying while a line is being delivered, and
// the UI thread changing a matcher while the dispatch thread feeds it.
#include "base/exceptions.h"
#include "packet_fixture.h"

#include <thread>

namespace packet::testing {
namespace {

// Waits for pred without running the message loop (the UI thread is "busy").
bool UntilWithoutPumping(const std::function<bool()>& pred) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

TEST_F(PacketTest, ATimeOutDropsThePartialLineAndArmingInOnTimeoutWaitsForTheEventsEnd) {
    TSioDataPacket& m = AddLineMatcher();
    m.SetTimeOut(2);
    port->SetOpen(true);

    // Without a handler the matcher stays off, its bytes flushed.
    line->Arrive("abc");
    ASSERT_TRUE(WaitFor([&] { return !m.Enabled(); }));
    ASSERT_TRUE(WaitFor([&] { return !Manager().InEvent(); }));
    EXPECT_EQ(m.PacketMode(), dpIdle);
    EXPECT_EQ(Manager().BufferPtr(), 0);
    Feed("lost\r\n");
    loop.Pump();
    EXPECT_TRUE(lines.empty());

    // The window's handler arms it again; the arming happens once the event is over.
    int timeouts = 0;
    std::string collected;
    TPacketMode mode_in_event = dpCollecting;
    m.OnTimeout = [&](TSioDataPacket& sender) {
        if (timeouts++ == 0) {
            sender.GetCollectedString(collected);
            sender.SetEnabled(true);
            mode_in_event = sender.PacketMode();
            EXPECT_TRUE(sender.Enabled());
        } else {
            sender.SetEnabled(true);
        }
    };
    m.SetEnabled(true);
    line->Arrive("def");
    ASSERT_TRUE(WaitFor([&] { return timeouts >= 1; }));
    EXPECT_EQ(collected, "def");
    EXPECT_EQ(mode_in_event, dpIdle);
    ASSERT_TRUE(WaitFor([&] { return m.PacketMode() == dpCollecting; }));
    line->Arrive("x\r\n");
    ASSERT_TRUE(WaitLines(1));
    EXPECT_EQ(lines, std::vector<std::string>{"x\r\n"});
    EXPECT_EQ(errors.Count(), 0u);
}

TEST_F(PacketTest, TheEnableTimeoutEndsAWaitForAStartThatNeverComes) {
    TSioDataPacket& m = AddMatcher();
    m.SetStartString("#");
    m.SetEndCond(TPacketEndSet(ecString));
    m.SetEndString("\r\n");
    m.SetEnableTimeout(2);
    m.SetFlushOnTimeout(false);
    int timeouts = 0;
    m.OnTimeout = [&](TSioDataPacket&) { ++timeouts; };
    m.SetEnabled(true);
    port->SetOpen(true);
    Feed("#ab"); // a packet begun and never ended
    ASSERT_TRUE(WaitFor([&] { return timeouts == 1 && !Manager().InEvent(); }));
    EXPECT_FALSE(m.Enabled());
    std::string collected;
    m.GetCollectedString(collected);
    EXPECT_EQ(collected, "#ab");
    EXPECT_EQ(Manager().BufferPtr(), 3); // kept without FlushOnTimeout
}

TEST_F(PacketTest, AFailingLineHandlerIsShownAndTheNextLineStillComes) {
    TSioDataPacket& m = AddLineMatcher();
    m.OnStringPacket = [&](TSioDataPacket&, const std::string& s) {
        if (s == "bad\r\n")
            throw base::Exception("handler failed");
        lines.push_back(s);
    };
    port->SetOpen(true);
    line->Arrive("bad\r\ngood\r\n");
    ASSERT_TRUE(WaitLines(1));
    EXPECT_EQ(lines, std::vector<std::string>{"good\r\n"});
    ASSERT_EQ(errors.Count(), 1u);
    EXPECT_EQ(errors.Texts()[0], "handler failed.");
}

TEST_F(PacketTest, AnArmingThatFailsAtTheEndOfAnEventIsShownAndTheOthersGoOn) {
    TSioDataPacket& first = AddLineMatcher();
    first.OnStringPacket = [&](TSioDataPacket& sender, const std::string&) {
        sender.SetEndString(""); // it re-arms (AutoEnable) when the event ends, and fails
    };
    TSioDataPacket& second = AddMatcher(); // never sees a byte while the first collects
    second.SetStartString("#");
    second.SetEndCond(TPacketEndSet(ecString));
    second.SetEndString("\r\n");
    second.SetEnabled(true);
    port->SetOpen(true);
    line->Arrive("a\r\n");
    ASSERT_TRUE(WaitFor([&] { return errors.Count() == 1; }));
    EXPECT_EQ(errors.Texts()[0], "End string is empty.");
    ASSERT_TRUE(WaitFor([&] { return second.PacketMode() == dpWaitStart; }));
    line->Arrive("#b\r\n");
    ASSERT_TRUE(WaitLines(1));
    EXPECT_EQ(lines, std::vector<std::string>{"#b\r\n"});
    EXPECT_EQ(first.PacketMode(), dpIdle);
    EXPECT_FALSE(first.Enabled()); // left off, shown once
    EXPECT_EQ(errors.Count(), 1u);
}

TEST_F(PacketTest, DestroyingTheMatcherWhileItsLineWaitsForTheUiThreadCancelsTheDelivery) {
    TSioDataPacket& old = AddLineMatcher();
    std::vector<std::string> to_old;
    old.OnStringPacket = [&](TSioDataPacket&, const std::string& s) { to_old.push_back(s); };
    port->SetOpen(true);
    auto manager = TSioDataPacketManagerList::Instance().GetPortManager(port.get());
    line->Arrive("a\r\n");
    ASSERT_TRUE(UntilWithoutPumping([&] { return manager->InEvent(); }));
    matchers.clear();
    loop.Pump();
    ASSERT_TRUE(WaitFor([&] { return !manager->InEvent(); }));
    EXPECT_TRUE(to_old.empty());
    EXPECT_EQ(errors.Count(), 0u);
    EXPECT_EQ(manager->ComPort(), nullptr);
    // The port goes on working for a new matcher.
    AddLineMatcher();
    line->Arrive("b\r\n");
    ASSERT_TRUE(WaitFor([&] { return !lines.empty() && lines.back() == "b\r\n"; }));
}

TEST_F(PacketTest, ClosingThePortWhileALineWaitsForTheUiThread) {
    TSioDataPacket& m = AddLineMatcher();
    port->SetOpen(true);
    line->Arrive("a\r\nhalf");
    ASSERT_TRUE(UntilWithoutPumping([&] { return Manager().InEvent(); }));
    port->SetOpen(false); // waits for the dispatch thread, running its call meanwhile
    EXPECT_FALSE(Manager().Enabled());
    EXPECT_EQ(Manager().BufferCapacity(), 0);
    EXPECT_EQ(m.PacketMode(), dpIdle);
    EXPECT_TRUE(m.Enabled());
    loop.Pump();
    EXPECT_LE(lines.size(), 1u);
    lines.clear();
    port->SetOpen(true);
    line->Arrive("b\r\n");
    ASSERT_TRUE(WaitLines(1));
    EXPECT_EQ(lines, std::vector<std::string>{"b\r\n"});
}

TEST_F(PacketTest, TheUiThreadChangesTheMatcherWhileLinesArrive) {
    TSioDataPacket& m = AddLineMatcher();
    port->SetOpen(true);
    std::thread feeder([&] {
        for (int i = 0; i < 3000; ++i)
            line->Arrive("L" + std::to_string(i) + "\r\n");
    });
    for (int i = 0; i < 300; ++i) {
        m.SetEnabled(i % 3 != 0);
        if (i % 5 == 0)
            m.SetEndString("\r\n");
        (void)m.PacketMode();
        loop.Pump();
    }
    feeder.join();
    m.SetEnabled(true);
    line->Arrive("end\r\n");
    ASSERT_TRUE(WaitFor([&] { return !lines.empty() && lines.back() == "end\r\n"; }));
    for (const std::string& s : lines) {
        ASSERT_GE(s.size(), 2u);
        EXPECT_EQ(s.find("\r\n"), s.size() - 2) << s; // one whole terminator, at the end
    }
    EXPECT_EQ(errors.Count(), 0u);
}

} // namespace
} // namespace packet::testing
