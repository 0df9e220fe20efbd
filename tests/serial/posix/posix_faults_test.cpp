// Faults on real pseudo-terminals: the other side hanging up mid-stream, a port held by
// this or another process, refused access, no such device, and what closing leaves behind.
#include "serial/error_codes.h"
#include "serial/posix/device_access.h"
#include "serial/posix/pty_fixture.h"
#include "serial/system_messages.h"

#include <cerrno>
#include <csignal>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>

namespace serial::testing {
namespace {

using PosixFault = PtyPortTest;

TEST_F(PosixFault, HangUpMidStreamIsOneReadErrorThenTheDescriptorIsFreed) {
    const int threads_before = IdleThreadCount();
    ASSERT_EQ(Open(), 0);
    recorder.action = TakeOffered;
    dispatcher->RegisterEventTriggerHandler(recorder.Event());
    dispatcher->ChangeLengthTrigger(1);
    ASSERT_EQ(dispatcher->PutString("query\r\n"), 0);
    ASSERT_TRUE(pty->Write(std::string(3000, 'd')));
    ASSERT_TRUE(WaitFor([&] { return !recorder.AllData().empty(); }));
    const std::string slave = pty->SlavePath();
    pty->CloseMaster();

    ASSERT_TRUE(WaitFor([&] { return errors.Count() >= 1; }));
    const auto box = errors.Boxes().front();
    EXPECT_EQ(box.caption, "Application Error");
    EXPECT_NE(box.text.find("Device read error"), std::string::npos) << box.text;
    // Every worker ends and the last one closes the device without being asked.
    ASSERT_TRUE(WaitFor([&] { return OpenDescriptorsOn(slave) == 0; }));
    ASSERT_TRUE(WaitFor([&] { return ThreadCount() <= threads_before; }));
    loop.Pump();
    EXPECT_EQ(errors.Count(), 1u);
    EXPECT_EQ(dispatcher->PutString("x"), ecCommNotOpen);

    // The port closes cleanly and opens again once the device is back.
    dispatcher->DonePort();
    pty = std::make_unique<Pty>();
    Publish(*pty);
    ASSERT_EQ(dispatcher->InitPort("COM5", 56000, NOPARITY, 8, 1, 4096, 4096, 0), 0);
    recorder.action = TakeOffered;
    dispatcher->RegisterEventTriggerHandler(recorder.Event());
    dispatcher->ChangeLengthTrigger(1);
    const size_t before = recorder.AllData().size();
    ASSERT_TRUE(pty->Write("back"));
    ASSERT_TRUE(WaitFor([&] { return recorder.AllData().size() >= before + 4; }));
    EXPECT_TRUE(recorder.AllData().ends_with("back"));
    ASSERT_EQ(dispatcher->PutString("hello"), 0);
    EXPECT_EQ(pty->Read(5), "hello");
    EXPECT_EQ(errors.Count(), 1u);
}

TEST_F(PosixFault, HangUpDuringAWriteIsOneReadErrorToo) {
    const int threads_before = IdleThreadCount();
    ASSERT_EQ(Open({}, 1 << 20), 0);
    // Nobody reads the master: the write waits for room when the other side goes.
    ASSERT_EQ(dispatcher->PutString(std::string(900000, 'w')), 0);
    pollfd readable{pty->Master(), POLLIN, 0};
    ASSERT_TRUE(WaitFor([&] { return ::poll(&readable, 1, 0) == 1; }));
    const std::string slave = pty->SlavePath();
    pty->CloseMaster();
    ASSERT_TRUE(WaitFor([&] { return errors.Count() >= 1; }));
    EXPECT_NE(errors.Texts().front().find("Device read error"), std::string::npos);
    ASSERT_TRUE(WaitFor([&] { return OpenDescriptorsOn(slave) == 0; }));
    ASSERT_TRUE(WaitFor([&] { return ThreadCount() <= threads_before; }));
    loop.Pump();
    EXPECT_EQ(errors.Count(), 1u);
}

TEST_F(PosixFault, APortHeldByThisProcessIsInUse) {
    ASSERT_EQ(Open(), 0);
    TSioDispatcherPtr second(new TSioPosixDispatcher(nullptr));
    EXPECT_EQ(second->InitPort("COM5", 56000, NOPARITY, 8, 1, 4096, 4096, 0), ecFileAccessDenied);
    EXPECT_FALSE(second->DispActive);
    EXPECT_EQ(OpenDescriptorsOn(pty->SlavePath()), 1);
    // The holder is undisturbed.
    ASSERT_EQ(dispatcher->PutString("still"), 0);
    EXPECT_EQ(pty->Read(5), "still");
}

// Another process holds the terminal: exclusive (which root would open straight through),
// or under a lock.
TEST_F(PosixFault, APortHeldByAnotherProcessIsInUse) {
    for (const bool exclusive : {true, false}) {
        SCOPED_TRACE(exclusive);
        int ready[2];
        int release[2];
        ASSERT_EQ(::pipe2(ready, O_CLOEXEC), 0);
        ASSERT_EQ(::pipe2(release, O_CLOEXEC), 0);
        const std::string path = pty->SlavePath();
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Only system calls here: the parent has threads.
            ::close(ready[0]);
            ::close(release[1]);
            const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
            const bool held = fd >= 0 && (exclusive ? ::ioctl(fd, TIOCEXCL) == 0
                                                    : ::flock(fd, LOCK_EX | LOCK_NB) == 0);
            const char answer = held ? 'y' : 'n';
            (void)!::write(ready[1], &answer, 1);
            char go = 0;
            (void)!::read(release[0], &go, 1);
            if (fd >= 0 && exclusive)
                (void)::ioctl(fd, TIOCNXCL); // a pty keeps the mark past the last close
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        char answer = 0;
        pollfd answered{ready[0], POLLIN, 0};
        ASSERT_EQ(::poll(&answered, 1, 5000), 1);
        ASSERT_EQ(::read(ready[0], &answer, 1), 1);
        ASSERT_EQ(answer, 'y');
        EXPECT_EQ(Open(), ecFileAccessDenied);
        EXPECT_EQ(OpenDescriptorsOn(path), 0);
        ::close(release[1]); // the child sees the end of the pipe and leaves
        ::close(ready[0]);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        // Once the other program has let go, the port opens: the refused open left no mark.
        EXPECT_EQ(Open(), 0);
        dispatcher.reset();
    }
}

TEST_F(PosixFault, RefusedAccessHasItsOwnCodeAndNamesTheDevice) {
    for (const int err : {EACCES, EPERM}) {
        TPosixDeviceHooks hooks;
        hooks.open = [err](const char*, int) {
            errno = err;
            return -1;
        };
        EXPECT_EQ(Open(std::move(hooks)), ecAccessDenied) << err;
        const std::string text = dispatcher->LastErrorText;
        EXPECT_NE(text.find("denied"), std::string::npos) << text;
        EXPECT_NE(text.find(pty->SlavePath()), std::string::npos) << text;
        EXPECT_FALSE(dispatcher->DispActive);
    }
}

TEST(PosixAccessText, TheDialoutGroupTellsTheUserWhatToDo) {
    // Only the text is made: a path in a folder of the test's own, never a real device.
    const std::string path = "/tmp/tarnel-ports-test/COM3";
    const std::string dialout = posix::AccessDeniedText(path, "dialout");
    EXPECT_NE(dialout.find(path), std::string::npos);
    EXPECT_NE(dialout.find("usermod -aG dialout"), std::string::npos);
    EXPECT_NE(dialout.find("log in again"), std::string::npos);
    const std::string other = posix::AccessDeniedText(path, "uucp");
    EXPECT_NE(other.find(path), std::string::npos);
    EXPECT_EQ(other.find("dialout"), std::string::npos);
}

TEST_F(PosixFault, OtherOpenFailuresKeepTheirSystemCode) {
    struct Case {
        int err;
        int32_t expected;
    } cases[] = {
        {ENOENT, ecFileNotFound}, {ENODEV, ecFileNotFound},
        {ENXIO, ecFileNotFound},  {EBUSY, ecFileAccessDenied},
        {ENOMEM, ecOutOfMemory},  {ELOOP, -static_cast<int32_t>(kErrnoTag | ELOOP)},
    };
    for (const Case& c : cases) {
        TPosixDeviceHooks hooks;
        hooks.open = [c](const char*, int) {
            errno = c.err;
            return -1;
        };
        EXPECT_EQ(Open(std::move(hooks)), c.expected) << c.err;
        EXPECT_TRUE(dispatcher->LastErrorText.empty());
    }
}

TEST_F(PosixFault, ClosingLeavesNoDescriptorAndNoThread) {
    const int threads_before = IdleThreadCount();
    for (int cycle = 0; cycle < 200; ++cycle) {
        ASSERT_EQ(Open(), 0) << cycle;
        if (cycle % 50 == 0) {
            ASSERT_EQ(dispatcher->PutString("ping"), 0);
            ASSERT_EQ(pty->Read(4), "ping");
        }
        dispatcher.reset();
        ASSERT_EQ(OpenDescriptorsOn(pty->SlavePath()), 0) << cycle;
    }
    EXPECT_TRUE(WaitFor([&] { return ThreadCount() <= threads_before; }));
    EXPECT_EQ(errors.Count(), 0u);
}

TEST_F(PosixFault, ClosingFromInsideANotificationStillFreesTheDevice) {
    ASSERT_EQ(Open(), 0);
    // The handler closes on the dispatch thread; the device closes when the threads are gone.
    recorder.action = [](TSioBaseDispatcher& d, const Note&) {
        (void)d.CloseCom();
        return std::string();
    };
    dispatcher->RegisterEventTriggerHandler(recorder.Event());
    dispatcher->ChangeLengthTrigger(1);
    ASSERT_TRUE(pty->Write("x"));
    ASSERT_TRUE(WaitFor([&] { return recorder.Count(APW_TRIGGERAVAIL) >= 1; }));
    dispatcher.reset();
    EXPECT_EQ(OpenDescriptorsOn(pty->SlavePath()), 0);
}

} // namespace
} // namespace serial::testing
