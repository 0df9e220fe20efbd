// The read, write and status threads of the POSIX device layer, and their start.
#include "base/exceptions.h"
#include "serial/error_codes.h"
#include "serial/posix/event_fd.h"
#include "serial/posix/line_events.h"
#include "serial/posix/posix_dispatcher.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <linux/serial.h>
#include <new>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/uio.h>
#include <termios.h>
#include <unistd.h>

namespace serial {

namespace {

constexpr int kReadWaitMs = 50;
constexpr int kSliceMs = 100;
constexpr int kLineWatchMs = 20; // how often the modem lines are compared
constexpr auto kSlice = std::chrono::milliseconds(kSliceMs);
constexpr size_t kBlockSize = 256;
constexpr size_t kBlocksPerRead = 16;

// poll() that treats an interrupted call as a time-out.
int PollFor(pollfd* fds, nfds_t count, int timeout_ms) {
    const int rc = ::poll(fds, count, timeout_ms);
    return rc < 0 && errno == EINTR ? 0 : rc;
}

} // namespace

// ---- Shared by the threads ----

bool TSioPosixDispatcher::DrainDevice(int& errno_out) {
    std::lock_guard drain(drain_lock_);
    errno_out = 0;
    // One readv fills several blocks: a system call per 256 bytes would cost more than the
    // bytes, and the blocks are still filled in place, oldest first.
    std::vector<std::unique_ptr<TDataBuffer>>& blocks = spare_blocks_;
    std::array<iovec, kBlocksPerRead> parts{};
    while (!KillThreads) {
        while (blocks.size() < kBlocksPerRead)
            blocks.push_back(std::make_unique<TDataBuffer>(kBlockSize));
        for (size_t i = 0; i < kBlocksPerRead; ++i)
            parts[i] = {blocks[i]->FData.data(), kBlockSize};
        ssize_t n = 0;
        int err = 0;
        {
            std::lock_guard lock(DeviceSection);
            const int fd = CidEx;
            if (fd < 0)
                return true;
            n = ::readv(fd, parts.data(), static_cast<int>(parts.size()));
            err = errno;
        }
        if (n > 0) {
            const size_t filled = (static_cast<size_t>(n) + kBlockSize - 1) / kBlockSize;
            for (size_t i = 0; i < filled; ++i) {
                blocks[i]->FDataUsed =
                    static_cast<int32_t>(std::min<ssize_t>(kBlockSize, n - i * kBlockSize));
                QueueBlock(std::move(blocks[i]));
            }
            blocks.erase(blocks.begin(), blocks.begin() + static_cast<std::ptrdiff_t>(filled));
            if (static_cast<size_t>(n) < kBlocksPerRead * kBlockSize)
                return true; // what arrives later wakes the poll again
            continue;
        }
        if (n < 0 && err == EINTR)
            continue;
        if (n < 0 && err == EAGAIN)
            return true;
        // With VMIN 1 a read of 0 is the end of the line: the other side hung up.
        errno_out = n == 0 ? EIO : err;
        return false;
    }
    return true;
}

void TSioPosixDispatcher::DeviceLost(TSioDispatcherThread& thread) {
    const bool stopping = KillThreads;
    if (!lost_.exchange(true) && !stopping)
        thread.ReturnValue = ecDeviceRead;
    StopThreads();
    posix::SignalEventFd(write_wake_);
    // Held open, the descriptor would keep the device's name taken from a re-plugged adapter.
    CloseWhenThreadsGone([this] { CloseDescriptor(); });
}

// ---- Read thread ----

// Drains the driver into 256-byte blocks whenever the device is readable, the status
// thread reports arriving bytes, or 50 ms have passed.
class TSioPosixDispatcher::ReadThread : public TSioDispatcherThread {
public:
    using TSioDispatcherThread::TSioDispatcherThread;

protected:
    void Execute() override {
        auto& d = static_cast<TSioPosixDispatcher&>(H);
        while (!Terminated && !d.KillThreads) {
            const int fd = d.CidEx;
            if (fd < 0)
                return; // closed under us: not an error
            pollfd fds[] = {{fd, POLLIN, 0}, {d.WakeFd(), POLLIN, 0}, {d.read_wake_, POLLIN, 0}};
            if (PollFor(fds, 3, kReadWaitMs) < 0) {
                d.DeviceLost(*this);
                return;
            }
            if (d.KillThreads)
                break;
            if ((fds[2].revents & POLLIN) != 0)
                posix::ClearEventFd(d.read_wake_);
            if ((fds[0].revents & POLLNVAL) != 0)
                return;
            int err = 0;
            try {
                if (!d.DrainDevice(err)) {
                    d.DeviceLost(*this);
                    return;
                }
            } catch (const std::bad_alloc&) {
                ReturnValue = ecNoMem;
                d.StopThreads();
                return;
            }
            // Drained and still hung up: nothing more will come, and polling on would spin.
            if ((fds[0].revents & (POLLHUP | POLLERR)) != 0) {
                d.DeviceLost(*this);
                return;
            }
        }
    }
};

// ---- Status thread ----

// Compares the modem lines and the driver's counters at each bounded wake-up and queues a
// status block for each change, after the bytes that arrived before it.
class TSioPosixDispatcher::StatusThread_ : public TSioDispatcherThread {
public:
    using TSioDispatcherThread::TSioDispatcherThread;

protected:
    void Execute() override {
        auto& d = static_cast<TSioPosixDispatcher&>(H);
        bool have_lines = true;
        bool have_counts = true;
        bool first = true;
        int lines = 0;
        serial_icounter_struct counts{};
        while (!Terminated && !d.KillThreads) {
            // A device without lines or counters leaves nothing to watch but the stop.
            pollfd stop{d.WakeFd(), POLLIN, 0};
            (void)PollFor(&stop, 1, have_lines || have_counts ? kLineWatchMs : kSliceMs);
            if (d.KillThreads)
                break;
            int now_lines = lines;
            serial_icounter_struct now_counts = counts;
            bool lost = false;
            {
                std::lock_guard lock(d.DeviceSection);
                const int fd = d.CidEx;
                if (fd < 0)
                    return;
                if (have_lines && ::ioctl(fd, TIOCMGET, &now_lines) != 0) {
                    lost = !Unsupported(errno);
                    have_lines = false;
                    now_lines = 0;
                }
                if (have_counts && ::ioctl(fd, TIOCGICOUNT, &now_counts) != 0) {
                    lost = lost || !Unsupported(errno);
                    have_counts = false;
                }
            }
            if (lost) {
                d.DeviceLost(*this);
                return;
            }
            if (first) {
                first = false;
                lines = now_lines;
                counts = now_counts;
                continue;
            }
            const uint32_t mask = posix::LineEventMask(lines, now_lines, counts, now_counts);
            lines = now_lines;
            counts = now_counts;
            if ((mask & EV_RXCHAR) != 0)
                d.WakeReader();
            if ((mask & ~EV_RXCHAR) == 0)
                continue;
            // Bytes that came before the event go into the queue before it.
            std::lock_guard drain(d.drain_lock_);
            int err = 0;
            try {
                (void)d.DrainDevice(err); // a failure is the read thread's to report
                d.QueueBlock(std::make_unique<TStatusBuffer>(mask));
            } catch (const std::bad_alloc&) {
                ReturnValue = ecNoMem;
                d.StopThreads();
                return;
            }
        }
    }

private:
    static bool Unsupported(int err) { return err == ENOTTY || err == EINVAL; }
};

// ---- Write thread ----

// Hands everything queued between two writes to the device in one write; finishes a
// partial write as the device takes more, and gives the rest up on a flush.
class TSioPosixDispatcher::WriteThread : public TSioDispatcherThread {
public:
    using TSioDispatcherThread::TSioDispatcherThread;

protected:
    void Execute() override {
        auto& d = static_cast<TSioPosixDispatcher&>(H);
        std::vector<uint8_t> block;
        while (!Terminated && !d.KillThreads) {
            base::Event* events[] = {&d.OutputEvent, &d.OutFlushEvent};
            const int which = base::Event::WaitAny(events, kSlice);
            if (which == 1) {
                d.AcknowledgeFlush();
                continue;
            }
            if (which != 0 || d.KillThreads)
                continue;
            while (!d.KillThreads) {
                d.TakeOutputRing(block); // counts the bytes as in flight in the same step
                if (block.empty())
                    break;
                const Outcome outcome = Transmit(d, block);
                d.SetOutInFlight(0);
                if (outcome == Outcome::Lost) {
                    d.DeviceLost(*this);
                    return;
                }
                if (outcome == Outcome::Failed) {
                    if (!d.KillThreads)
                        ReturnValue = ecDeviceWrite;
                    d.StopThreads();
                    return;
                }
            }
        }
    }

private:
    enum class Outcome { Done, Lost, Failed };

    static bool Gone(int err) { return err == EIO || err == ENODEV || err == ENXIO; }

    static Outcome Transmit(TSioPosixDispatcher& d, const std::vector<uint8_t>& block) {
        size_t done = 0;
        while (done < block.size()) {
            if (d.KillThreads)
                return Outcome::Done;
            if (d.OutFlushEvent.Wait(std::chrono::milliseconds(0))) {
                std::lock_guard lock(d.DeviceSection);
                if (const int fd = d.CidEx; fd >= 0)
                    (void)::tcflush(fd, TCOFLUSH);
                // Nothing is in flight once the flusher hears back.
                d.SetOutInFlight(0);
                d.AcknowledgeFlush();
                return Outcome::Done;
            }
            ssize_t n = 0;
            int err = 0;
            int fd = -1;
            {
                std::lock_guard lock(d.DeviceSection);
                fd = d.CidEx;
                if (fd < 0)
                    return Outcome::Done; // closed under us
                n = ::write(fd, block.data() + done, block.size() - done);
                err = errno;
            }
            if (n > 0) {
                done += static_cast<size_t>(n);
                d.SetOutInFlight(static_cast<int32_t>(block.size() - done));
                continue;
            }
            if (n < 0 && err == EINTR)
                continue;
            if (n < 0 && err != EAGAIN)
                return Gone(err) ? Outcome::Lost : Outcome::Failed;
            // The driver is full: wait until it takes more, a flush, or the stop.
            pollfd fds[] = {{fd, POLLOUT, 0}, {d.WakeFd(), POLLIN, 0}, {d.write_wake_, POLLIN, 0}};
            if (PollFor(fds, 3, kSliceMs) < 0)
                return Outcome::Failed;
            if ((fds[2].revents & POLLIN) != 0)
                posix::ClearEventFd(d.write_wake_);
            if ((fds[0].revents & (POLLHUP | POLLERR)) != 0)
                return Outcome::Lost;
        }
        return Outcome::Done;
    }
};

// ---- Starting ----

int32_t TSioPosixDispatcher::StartDispatcher() {
    std::lock_guard lock(DataSection);
    if (DispActive)
        throw base::EInvalidOperation("Dispatcher already started.");
    KillThreads = false;
    posix::ClearEventFd(read_wake_);
    posix::ClearEventFd(write_wake_);
    const bool started =
        LaunchThread(std::make_unique<ReadThread>(*this), &TSioPosixDispatcher::ComThread) &&
        StartDispThread() &&
        LaunchThread(std::make_unique<WriteThread>(*this), &TSioPosixDispatcher::OutThread) &&
        LaunchThread(std::make_unique<StatusThread_>(*this), &TSioPosixDispatcher::StatusThread);
    if (started)
        return 0;
    // A port whose threads did not all start is not open.
    StopThreads();
    posix::SignalEventFd(write_wake_);
    FQueue.FEvent().Set();
    for (auto slot : {&TSioPosixDispatcher::ComThread, &TSioPosixDispatcher::fDispThread,
                      &TSioPosixDispatcher::OutThread, &TSioPosixDispatcher::StatusThread})
        (void)WaitThreadGone(slot, ThreadWaitLimit);
    return ecOutOfMemory;
}

} // namespace serial
