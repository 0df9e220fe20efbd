// Closing a port while its dispatch thread is inside a notification: the users hear of the
// close only once the thread has left it, the deferred close waits on a timer, and
// destroying the port finishes it.
#include "base/event.h"
#include "serial/com_port_fixture.h"
#include "serial/errors.h"

#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace serial::testing {
namespace {

using Strings = std::vector<std::string>;
constexpr auto kLimit = std::chrono::milliseconds(5000);

// An event handler on the dispatch thread that stays inside its first notification until
// released.
struct BlockingHandler {
    std::atomic<bool> inside{false};
    base::Event entered{true, false};
    base::Event release{true, false};

    void Notify(uint32_t, uint32_t, int32_t) {
        inside = true;
        entered.Set();
        (void)release.Wait(kLimit);
        inside = false;
    }
    TSioNotifyEvent Event() { return TSioNotifyEvent::Of<&BlockingHandler::Notify>(this); }
};

TEST_F(ComPortTest, UsersHearOfTheCloseOnlyAfterTheDispatchThreadLeftItsNotification) {
    port->SetComNumber(1);
    BlockingHandler handler;
    std::vector<bool> handler_inside_when_told;
    UserLog::User& user = users.Add("M");
    user.action = [&](TSioCustomComPort&, TSioCallbackType type) {
        if (type != ctOpen)
            handler_inside_when_told.push_back(handler.inside.load());
    };
    port->RegisterUserCallbackEx(user.CallbackEx());
    port->SetOpen(true);
    D()->RegisterEventTriggerHandler(handler.Event());
    line->Arrive("x");
    ASSERT_TRUE(handler.entered.Wait(kLimit));

    // Released from the owner thread's wait inside the close, the first moment it runs
    // synchronized calls: a close that told its users at once has told them already.
    std::thread releaser([&] { loop.Synchronize([&] { handler.release.Set(); }); });
    port->SetOpen(false);
    EXPECT_TRUE(WaitFor([&] { return port->PortState() == psClosed; }));
    releaser.join();
    EXPECT_EQ(users.entries, (Strings{"M:open", "M:closing", "M:closed"}));
    EXPECT_EQ(handler_inside_when_told, (std::vector<bool>{false, false}));
    EXPECT_FALSE(line->InUse());
}

class DeferredClose : public ComPortTest {
protected:
    void SetUp() override {
        // A close from a notification may wait this long for the dispatch thread before it
        // hands the rest to the deferred close.
        prepare = [](TSioMemoryDispatcher& d) {
            d.ThreadWaitLimit = std::chrono::milliseconds(100);
        };
        port->SetComNumber(1);
        port->RegisterUserCallbackEx(users.Add("M").CallbackEx());
        port->SetOpen(true);
        users.entries.clear();
    }

    // Closes the port from its OnTriggerAvail event, which runs on the owner thread while
    // the dispatch thread waits for it; notes what the event saw after the close.
    void CloseFromTriggerEvent() {
        port->SetOnTriggerAvail([this](TSioCustomComPort& cp, uint16_t) {
            if (closed_in_event)
                return;
            closed_in_event = true;
            posts_before = loop.posts.load();
            cp.SetOpen(false);
            state_after_close = cp.PortState();
            heard_in_event = users.entries;
            try {
                cp.PutString("late");
            } catch (const ECommNotOpen&) {
                put_refused = true;
            }
            cp.SetOpen(true); // remembered until the close has finished
            open_pending = cp.OpenPending();
            cp.SetOpen(false);  // and forgotten again
            cp.SetComNumber(2); // kept for the next open, which nobody asked for
            open_pending_after_number = cp.OpenPending();
        });
        line->Arrive("x");
        ASSERT_TRUE(WaitFor([&] { return closed_in_event; }));
    }

    bool closed_in_event = false;
    int posts_before = 0;
    TPortState state_after_close = psClosed;
    Strings heard_in_event;
    bool put_refused = false;
    bool open_pending = false;
    bool open_pending_after_number = true;
};

TEST_F(DeferredClose, CloseFromATriggerEventFinishesAfterTheEventOnATimer) {
    CloseFromTriggerEvent();
    EXPECT_EQ(state_after_close, psShuttingDown);
    EXPECT_TRUE(heard_in_event.empty());
    EXPECT_TRUE(put_refused);
    EXPECT_TRUE(open_pending);
    EXPECT_FALSE(open_pending_after_number);

    EXPECT_TRUE(WaitFor([&] { return port->PortState() == psClosed; }));
    EXPECT_FALSE(port->Open());
    EXPECT_FALSE(port->OpenPending());
    EXPECT_EQ(users.entries, (Strings{"M:closing", "M:closed"}));
    EXPECT_FALSE(line->InUse());
    EXPECT_FALSE(lines[2]->InUse());
    EXPECT_EQ(port->ComNumber(), 2);
    EXPECT_EQ(line->Sent(), "");
    // The close waited for the dispatch thread through delayed posts, not by posting
    // itself again at once.
    EXPECT_EQ(loop.posts.load(), posts_before);
    EXPECT_GT(loop.delayed_posts.load(), 0);
    EXPECT_EQ(errors.Count(), 0u);
}

TEST_F(DeferredClose, AnOpenAskedForDuringTheCloseFollowsIt) {
    port->SetOnTriggerAvail([this](TSioCustomComPort& cp, uint16_t) {
        if (closed_in_event)
            return;
        closed_in_event = true;
        cp.SetOpen(false);
        cp.SetOpen(true);
        cp.SetComNumber(2); // the pending open goes to the new port
    });
    line->Arrive("x");
    ASSERT_TRUE(WaitFor([&] { return closed_in_event && port->PortState() == psOpen; }));
    EXPECT_EQ(users.entries, (Strings{"M:closing", "M:closed", "M:open"}));
    EXPECT_FALSE(line->InUse());
    EXPECT_TRUE(lines[2]->InUse());
}

TEST_F(DeferredClose, DestroyingThePortFinishesAPendingClose) {
    loop.hold_delayed = true; // the close's retries wait until the port has gone
    CloseFromTriggerEvent();
    ASSERT_EQ(port->PortState(), psShuttingDown);
    port.reset();
    EXPECT_EQ(users.entries, (Strings{"M:closing", "M:closed"}));
    EXPECT_FALSE(line->InUse());
    // Retries posted before the port went find nothing to do.
    EXPECT_GT(loop.RunHeld(), 0);
    EXPECT_EQ(errors.Count(), 0u);
}

} // namespace
} // namespace serial::testing
