#include "base/exceptions.h"
#include "base/qt/qt_message_loop.h"
#include "base/recording_error_display.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace base {
namespace {

using std::chrono::milliseconds;

constexpr int kLongMs = 10000; // only reached when the code under test is broken

// Runs Qt's event loop until pred holds or the time runs out.
bool ProcessEventsUntil(const std::function<bool()>& pred, int timeout_ms = kLongMs) {
    return QTest::qWaitFor(pred, timeout_ms);
}

TEST(QtMessageLoop, PostedCallsRunInTheEventLoopOnTheOwnerThread) {
    QtMessageLoop loop;
    EXPECT_TRUE(loop.IsOwnerThread());
    QThread* ran_on = nullptr;
    std::thread worker([&] {
        EXPECT_FALSE(loop.IsOwnerThread());
        loop.Post([&] { ran_on = QThread::currentThread(); });
    });
    worker.join();
    EXPECT_EQ(ran_on, nullptr) << "posting runs nothing by itself";
    EXPECT_TRUE(ProcessEventsUntil([&] { return ran_on != nullptr; }));
    EXPECT_EQ(ran_on, QThread::currentThread());
}

TEST(QtMessageLoop, DelayedPostsRunOnTheOwnerThreadOnceDue) {
    QtMessageLoop loop;
    QThread* ran_on = nullptr;
    bool far_ran = false;
    loop.PostDelayed([&] { far_ran = true; }, std::chrono::hours(1));
    std::thread worker(
        [&] { loop.PostDelayed([&] { ran_on = QThread::currentThread(); }, milliseconds(1)); });
    worker.join();
    EXPECT_TRUE(ProcessEventsUntil([&] { return ran_on != nullptr; }));
    EXPECT_EQ(ran_on, QThread::currentThread());
    EXPECT_FALSE(far_ran);
}

TEST(QtMessageLoop, AnExceptionFromAPostedCallIsShownNotThrownIntoQt) {
    RecordingErrorDisplay display;
    QtMessageLoop loop;
    loop.Post([] { throw EInvalidOperation("posted failure"); });
    EXPECT_TRUE(ProcessEventsUntil([&] { return display.Count() == 1; }));
    EXPECT_EQ(display.Texts(), std::vector<std::string>{"posted failure."});
}

TEST(QtMessageLoop, SynchronizeRunsOnTheOwnerAndPassesExceptionsBack) {
    QtMessageLoop loop;
    QThread* ran_on = nullptr;
    std::string caught;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        loop.Synchronize([&] { ran_on = QThread::currentThread(); });
        try {
            loop.Synchronize([] { throw EListError("List index out of bounds (7)"); });
        } catch (const EListError& e) {
            caught = e.Message();
        }
        finished = true;
    });
    EXPECT_TRUE(ProcessEventsUntil([&] { return finished.load(); }));
    worker.join();
    EXPECT_EQ(ran_on, QThread::currentThread());
    EXPECT_EQ(caught, "List index out of bounds (7)");

    int inline_runs = 0;
    loop.Synchronize([&] { ++inline_runs; });
    EXPECT_TRUE(loop.SynchronizeFor([&] { ++inline_runs; }, milliseconds(0)));
    EXPECT_EQ(inline_runs, 2) << "the owner thread runs its own calls at once";
}

TEST(QtMessageLoop, ProcessMessagesRunsSynchronizedCallsButNoInputOrPosts) {
    QtMessageLoop loop;
    QPushButton button("OK");
    button.resize(80, 30);
    button.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] { ++clicks; });
    const QPointF centre(40, 15);
    QApplication::postEvent(&button, new QMouseEvent(QEvent::MouseButtonPress, centre,
                                                     button.mapToGlobal(centre), Qt::LeftButton,
                                                     Qt::LeftButton, Qt::NoModifier));
    QApplication::postEvent(&button, new QMouseEvent(QEvent::MouseButtonRelease, centre,
                                                     button.mapToGlobal(centre), Qt::LeftButton,
                                                     Qt::NoButton, Qt::NoModifier));
    bool posted_ran = false;
    loop.Post([&] { posted_ran = true; });

    std::atomic<bool> sync_ran{false};
    std::thread worker([&] { loop.Synchronize([&] { sync_ran = true; }); });
    const auto deadline = std::chrono::steady_clock::now() + milliseconds(kLongMs);
    while (!sync_ran && std::chrono::steady_clock::now() < deadline) {
        loop.ProcessMessages();
        std::this_thread::yield();
    }
    worker.join();
    EXPECT_TRUE(sync_ran);
    EXPECT_EQ(clicks, 0) << "a wait must never deliver user input";
    EXPECT_FALSE(posted_ran) << "a wait must never run posted calls";

    EXPECT_TRUE(ProcessEventsUntil([&] { return clicks == 1 && posted_ran; }));
}

TEST(QtMessageLoop, ACallNotStartedInTimeIsCancelled) {
    QtMessageLoop loop;
    bool ran = false;
    bool result = true;
    std::thread worker(
        [&] { result = loop.SynchronizeFor([&] { ran = true; }, milliseconds(20)); });
    worker.join(); // the event loop is not running: the worker gives up on its own
    EXPECT_FALSE(result);
    QTest::qWait(20); // let the stale wake-up arrive; it must find nothing to run
    loop.ProcessMessages();
    EXPECT_FALSE(ran);
}

TEST(QtMessageLoop, DestroyingTheLoopDropsItsPostedCalls) {
    bool ran = false;
    {
        QtMessageLoop loop;
        loop.Post([&] { ran = true; });
    }
    QTest::qWait(20);
    EXPECT_FALSE(ran);
}

} // namespace
} // namespace base
