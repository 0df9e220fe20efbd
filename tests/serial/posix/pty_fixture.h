// The POSIX device layer's test fixture: a dispatcher of the layer on a pty published as a
// port (support/pty_ports.h), with a message loop and an error recorder.
#pragma once

#include "base/message_loop.h"
#include "base/recording_error_display.h"
#include "serial/posix/posix_dispatcher.h"
#include "serial/support/dispatcher_fixture.h"
#include "support/pty_ports.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace serial::testing {

// A pty published as COM<n> through $TARNEL_PORTS_DIR, with a loop, an error recorder and
// a dispatcher of the device layer.
class PtyPortTest : public ::testing::Test {
protected:
    static constexpr int kCom = 5;

    // Opens the dispatcher on COM<kCom> at 56000 8N1 with DTR and RTS raised.
    int32_t Open(TPosixDeviceHooks hooks = {}, int32_t out_size = 4096) {
        dispatcher = TSioDispatcherPtr(new TSioPosixDispatcher(nullptr, std::move(hooks)));
        recorder.dispatcher = dispatcher.get();
        return dispatcher->InitPort("\\\\.\\COM" + std::to_string(kCom), 56000, NOPARITY, 8, 1,
                                    4096, out_size, ipAssertDTR | ipAssertRTS);
    }

    // Waits for pred, running the pending synchronized and posted calls meanwhile.
    bool WaitFor(const std::function<bool()>& pred,
                 std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) {
        return loop.PumpUntil(pred, limit);
    }

    void Publish(Pty& p) { PortsFolders::Link(folders.Tool(), kCom, p.SlavePath()); }

    // The threads of the process with no port open, after one open and close: the first
    // threads a process starts can bring a helper thread of a sanitizer's run-time along.
    // A worker that has just left may still be counted, so callers compare with <=: a
    // thread left behind per cycle still shows.
    int IdleThreadCount() {
        EXPECT_EQ(Open(), 0);
        dispatcher.reset();
        return ThreadCount();
    }

    base::QueueMessageLoop loop;
    base::ScopedMessageLoop installed{loop};
    base::RecordingErrorDisplay errors;
    PortsFolders folders;
    std::unique_ptr<Pty> pty = [this] {
        auto p = std::make_unique<Pty>();
        Publish(*p);
        return p;
    }();
    NoteRecorder recorder;
    TSioDispatcherPtr dispatcher; // released first: its threads use the loop above
};

} // namespace serial::testing
