#include "base/event.h"
#include "base/exceptions.h"
#include "base/message_loop.h"
#include "base/recording_error_display.h"
#include "base/sync_call_queue.h"

#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>
#include <vector>

namespace base {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kLong{10000}; // only reached when the code under test is broken

TEST(QueueMessageLoop, PostedCallsRunInOrderOnPump) {
    QueueMessageLoop loop;
    std::vector<int> order;
    loop.Post([&] { order.push_back(1); });
    loop.Post([&] { order.push_back(2); });
    EXPECT_TRUE(order.empty()) << "posting runs nothing";
    EXPECT_EQ(loop.Pump(), 2);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_EQ(loop.Pump(), 0);
}

TEST(QueueMessageLoop, ACallThatPostsItselfWaitsForTheNextPump) {
    QueueMessageLoop loop;
    int runs = 0;
    std::function<void()> again = [&] {
        ++runs;
        loop.Post(again);
    };
    loop.Post(again);
    EXPECT_EQ(loop.Pump(), 1);
    EXPECT_EQ(loop.Pump(), 1);
    EXPECT_EQ(runs, 2);
}

TEST(QueueMessageLoop, ADelayedPostRunsOnlyOnceDue) {
    QueueMessageLoop loop;
    std::vector<int> order;
    loop.PostDelayed([&] { order.push_back(1); }, std::chrono::hours(1));
    loop.PostDelayed([&] { order.push_back(2); }, milliseconds(1));
    loop.Post([&] { order.push_back(3); });
    EXPECT_TRUE(loop.PumpUntil([&] { return order.size() >= 2; }, kLong));
    EXPECT_EQ(order, (std::vector<int>{3, 2}));
    EXPECT_EQ(loop.Pump(), 0) << "the call an hour away waits";
}

TEST(QueueMessageLoop, AnExceptionFromAPostedCallIsShownAndPumpingGoesOn) {
    RecordingErrorDisplay display;
    QueueMessageLoop loop;
    ScopedMessageLoop installed(loop);
    bool second_ran = false;
    loop.Post([] { throw EConvertError("bad value"); });
    loop.Post([&] { second_ran = true; });
    EXPECT_EQ(loop.Pump(), 2);
    EXPECT_TRUE(second_ran);
    EXPECT_EQ(display.Texts(), std::vector<std::string>{"bad value."});
}

TEST(QueueMessageLoop, SynchronizeOnTheOwnerThreadRunsAtOnce) {
    QueueMessageLoop loop;
    EXPECT_TRUE(loop.IsOwnerThread());
    int runs = 0;
    loop.Synchronize([&] { ++runs; });
    EXPECT_TRUE(loop.SynchronizeFor([&] { ++runs; }, milliseconds(0)));
    EXPECT_EQ(runs, 2);
    EXPECT_THROW(loop.Synchronize([] { throw EListError("x"); }), EListError);
}

TEST(QueueMessageLoop, SynchronizeRunsOnTheOwnerWhileTheWorkerWaits) {
    QueueMessageLoop loop;
    std::thread::id ran_on;
    std::atomic<bool> returned{false};
    bool worker_saw_owner = true;
    std::thread worker([&] {
        worker_saw_owner = loop.IsOwnerThread();
        loop.Synchronize([&] { ran_on = std::this_thread::get_id(); });
        returned = true;
    });
    EXPECT_TRUE(loop.PumpUntil([&] { return returned.load(); }, kLong));
    worker.join();
    EXPECT_FALSE(worker_saw_owner);
    EXPECT_EQ(ran_on, std::this_thread::get_id());
}

TEST(QueueMessageLoop, AnExceptionFromASynchronizedCallReachesTheCaller) {
    QueueMessageLoop loop;
    std::string caught;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        try {
            loop.Synchronize([] { throw EInOutError("disk gone", 5); });
        } catch (const EInOutError& e) {
            caught = e.Message() + "/" + std::to_string(e.ErrorCode);
        }
        finished = true;
    });
    EXPECT_TRUE(loop.PumpUntil([&] { return finished.load(); }, kLong));
    worker.join();
    EXPECT_EQ(caught, "disk gone/5");
}

TEST(QueueMessageLoop, ProcessMessagesRunsOnlySynchronizedCalls) {
    QueueMessageLoop loop;
    bool posted_ran = false;
    loop.Post([&] { posted_ran = true; });
    std::atomic<bool> sync_ran{false};
    std::thread worker([&] { loop.Synchronize([&] { sync_ran = true; }); });
    const auto deadline = std::chrono::steady_clock::now() + kLong;
    while (!sync_ran && std::chrono::steady_clock::now() < deadline) {
        loop.ProcessMessages();
        std::this_thread::yield();
    }
    worker.join();
    EXPECT_TRUE(sync_ran);
    EXPECT_FALSE(posted_ran) << "a wait must not run posted calls";
    EXPECT_EQ(loop.Pump(), 1);
    EXPECT_TRUE(posted_ran);
}

TEST(QueueMessageLoop, ProcessMessagesOffTheOwnerThreadRunsNothing) {
    QueueMessageLoop loop;
    bool ran = false;
    // A call from a second worker must wait for the owner, never for another worker.
    std::thread worker(
        [&] { EXPECT_FALSE(loop.SynchronizeFor([&] { ran = true; }, milliseconds(200))); });
    std::thread other([&] {
        const auto deadline = std::chrono::steady_clock::now() + milliseconds(100);
        while (std::chrono::steady_clock::now() < deadline) {
            loop.ProcessMessages();
            std::this_thread::yield();
        }
    });
    other.join();
    worker.join();
    EXPECT_FALSE(ran);
}

TEST(QueueMessageLoop, ACallNotStartedInTimeIsCancelled) {
    QueueMessageLoop loop;
    bool ran = false;
    bool result = true;
    std::thread worker(
        [&] { result = loop.SynchronizeFor([&] { ran = true; }, milliseconds(20)); });
    worker.join(); // nobody pumps: the worker gives up on its own
    EXPECT_FALSE(result);
    EXPECT_EQ(loop.Pump(), 0) << "a cancelled call never runs";
    EXPECT_FALSE(ran);
}

TEST(QueueMessageLoop, AnUntimedSynchronizeGivesUpWhenTheOwnerNeverPumps) {
    QueueMessageLoop loop(milliseconds(30));
    bool ran = false;
    std::string caught;
    std::thread worker([&] {
        try {
            loop.Synchronize([&] { ran = true; });
        } catch (const EInvalidOperation& e) {
            caught = e.Message();
        }
    });
    worker.join(); // would hang here if the wait had no bound
    EXPECT_FALSE(caught.empty());
    EXPECT_EQ(loop.Pump(), 0);
    EXPECT_FALSE(ran);
}

TEST(QueueMessageLoop, ACallAlreadyRunningWhenTimeRunsOutIsWaitedFor) {
    QueueMessageLoop loop;
    constexpr milliseconds kTimeout{300};
    std::atomic<bool> started{false};
    bool finished = false;
    std::atomic<int> result{-1};
    std::thread worker([&] {
        const auto deadline = std::chrono::steady_clock::now() + kTimeout;
        result = loop.SynchronizeFor(
                     [&] {
                         started = true;
                         // Outlast the caller's time-out before finishing.
                         Event never;
                         while (std::chrono::steady_clock::now() < deadline + milliseconds(50)) {
                             (void)never.Wait(milliseconds(10));
                         }
                         finished = true;
                     },
                     kTimeout)
                     ? 1
                     : 0;
    });
    EXPECT_TRUE(loop.PumpUntil([&] { return started.load(); }, kLong));
    worker.join();
    EXPECT_EQ(result.load(), 1);
    EXPECT_TRUE(finished);
}

TEST(QueueMessageLoop, PumpUntilStopsAtTheDeadline) {
    QueueMessageLoop loop;
    EXPECT_FALSE(loop.PumpUntil([] { return false; }, milliseconds(20)));
    // A condition met by another thread without posting anything is still seen.
    std::atomic<bool> flag{false};
    std::thread setter([&] { flag = true; });
    EXPECT_TRUE(loop.PumpUntil([&] { return flag.load(); }, kLong));
    setter.join();
}

TEST(QueueMessageLoop, ManyWorkersSynchronizingAtOnce) {
    QueueMessageLoop loop;
    constexpr int kWorkers = 4;
    constexpr int kCalls = 200;
    int counter = 0; // touched only on the owner thread
    std::atomic<int> done{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
        workers.emplace_back([&] {
            for (int i = 0; i < kCalls; ++i) {
                if (i % 2) {
                    loop.Synchronize([&] { ++counter; });
                } else {
                    loop.Post([&] { ++counter; });
                }
            }
            ++done;
        });
    }
    EXPECT_TRUE(loop.PumpUntil([&] { return done == kWorkers; }, kLong));
    for (auto& t : workers) {
        t.join();
    }
    loop.Pump();
    EXPECT_EQ(counter, kWorkers * kCalls);
}

TEST(CurrentMessageLoop, ScopedLoopIsInstalledAndRestored) {
    MessageLoop& before = CurrentMessageLoop();
    QueueMessageLoop outer;
    QueueMessageLoop inner;
    {
        ScopedMessageLoop a(outer);
        EXPECT_EQ(&CurrentMessageLoop(), &outer);
        {
            ScopedMessageLoop b(inner);
            EXPECT_EQ(&CurrentMessageLoop(), &inner);
        }
        EXPECT_EQ(&CurrentMessageLoop(), &outer);
    }
    EXPECT_EQ(&CurrentMessageLoop(), &before);
    SetMessageLoop(&outer);
    EXPECT_EQ(&CurrentMessageLoop(), &outer);
    SetMessageLoop(nullptr);
    EXPECT_EQ(&CurrentMessageLoop(), &before) << "nullptr restores the default loop";
}

TEST(SyncCallQueue, CancelAllReleasesAWaitingCaller) {
    SyncCallQueue queue;
    std::atomic<int> result{-1};
    bool ran = false;
    std::thread caller([&] { result = queue.Call([&] { ran = true; }, kLong, nullptr) ? 1 : 0; });
    const auto deadline = std::chrono::steady_clock::now() + kLong;
    while (!queue.HasPending() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    queue.CancelAll();
    caller.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_EQ(queue.RunPending(), 0);
    EXPECT_FALSE(ran);
}

TEST(SyncCallQueue, TheWakeCallbackIsCalledOncePerCall) {
    SyncCallQueue queue;
    std::atomic<int> wakes{0};
    std::atomic<bool> returned{false};
    std::thread caller([&] {
        (void)queue.Call([] {}, kLong, [&] { ++wakes; });
        returned = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + kLong;
    while (!returned && std::chrono::steady_clock::now() < deadline) {
        queue.RunPending();
        std::this_thread::yield();
    }
    caller.join();
    EXPECT_EQ(wakes.load(), 1);
}

} // namespace
} // namespace base
