// The device operations of the POSIX device layer: opening and closing the descriptor,
// line settings, modem lines, purges and the queue counts. The threads are in
// posix_threads.cpp, termios2 in line_settings.cpp.
#include "serial/posix/posix_dispatcher.h"

#include "serial/error_codes.h"
#include "serial/posix/device_access.h"
#include "serial/posix/event_fd.h"
#include "serial/system_messages.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace serial {

namespace {

constexpr int kOpenFlags = O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;

// A pseudo-terminal has no modem lines and no counters: such a request is not an error.
bool Unsupported(int err) {
    return err == ENOTTY || err == EINVAL;
}

bool IsSerialUart(const std::string& device) {
    const auto slash = device.rfind('/');
    return device.compare(slash == std::string::npos ? 0 : slash + 1, 4, "ttyS") == 0;
}

} // namespace

TSioPosixDispatcher::TSioPosixDispatcher(base::TComponent* Owner, TPosixDeviceHooks hooks)
    : TSioBaseDispatcher(Owner), hooks_(std::move(hooks)), read_wake_(posix::MakeEventFd()),
      write_wake_(posix::MakeEventFd()) {}

TSioPosixDispatcher::~TSioPosixDispatcher() {
    // No thread is left when a dispatcher is destroyed.
    CloseDescriptor();
    for (const int fd : {read_wake_, write_wake_}) {
        if (fd >= 0)
            ::close(fd);
    }
}

std::string TSioPosixDispatcher::DevicePath() const {
    std::lock_guard lock(path_lock_);
    return device_path_;
}

void TSioPosixDispatcher::WakeReader() {
    posix::SignalEventFd(read_wake_);
}

// ---- Opening and closing ----

int32_t TSioPosixDispatcher::OpenCom(const std::string& Name, int32_t, int32_t) {
    LastErrorText.clear();
    const std::optional<posix::ResolvedPort> port = posix::ResolvePort(Name, hooks_.roots);
    if (!port) {
        LastSystemError = 2;
        return -1;
    }
    // A ttyS without a UART answers EIO to its open or its first request: no such port.
    const auto system_error = [&](int err) {
        if (err == EIO && (IsSerialUart(port->device) || IsSerialUart(port->path)))
            err = ENODEV;
        return static_cast<int32_t>(SystemErrorFromErrno(err));
    };
    const int fd = hooks_.open ? hooks_.open(port->path.c_str(), kOpenFlags)
                               : ::open(port->path.c_str(), kOpenFlags);
    if (fd < 0) {
        const int err = errno;
        if (err == EACCES || err == EPERM) {
            // Not "in use": the user can do something about this one.
            LastSystemError = 0;
            LastErrorText = posix::AccessDeniedText(port->device, posix::DeviceGroup(port->device));
            return ecAccessDenied;
        }
        LastSystemError = system_error(err);
        return -1;
    }
    bool marked = false; // our exclusive mark, taken back if the open fails after it
    const auto fail = [&](int err) {
        if (marked)
            (void)::ioctl(fd, TIOCNXCL);
        ::close(fd);
        LastSystemError = system_error(err);
        return -1;
    };
    std::lock_guard lock(DeviceSection);
    // Root opens straight through an exclusive terminal, so ask first.
    int exclusive = 0;
    if (::ioctl(fd, TIOCGEXCL, &exclusive) != 0)
        return fail(errno);
    if (exclusive != 0)
        return fail(EBUSY);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return fail(errno == EWOULDBLOCK ? EBUSY : errno);
    if (::ioctl(fd, TIOCEXCL) != 0)
        return fail(errno);
    marked = true;
    if (const int err = posix::ApplyRawMode(fd); err != 0)
        return fail(err);
    applied_ = serial::DCB{};
    if (const int err = posix::ReadLine(fd, applied_); err != 0)
        return fail(err);
    serial_icounter_struct counts{};
    have_error_base_ = ::ioctl(fd, TIOCGICOUNT, &counts) == 0;
    error_base_ = {counts.frame, counts.overrun, counts.parity, counts.brk, counts.buf_overrun};
    lost_ = false;
    {
        std::lock_guard path(path_lock_);
        device_path_ = port->device;
    }
    return fd;
}

void TSioPosixDispatcher::CloseDescriptor() {
    std::lock_guard lock(DeviceSection);
    const int fd = CidEx.exchange(-1);
    if (fd < 0)
        return;
    // Dropping what the driver holds keeps close from waiting out a stuck transmitter.
    (void)::tcflush(fd, TCIOFLUSH);
    // A pseudo-terminal keeps its exclusive mark while the other side stays open.
    (void)::ioctl(fd, TIOCNXCL);
    ::close(fd);
    std::lock_guard path(path_lock_);
    device_path_.clear();
}

int32_t TSioPosixDispatcher::CloseCom() {
    if (CloseComActive.exchange(true))
        return 0;
    if (DispActive) {
        StopThreads();
        posix::SignalEventFd(write_wake_);
        if (ThreadRunning(&TSioPosixDispatcher::StatusThread))
            (void)WaitThreadGone(&TSioPosixDispatcher::StatusThread, ThreadWaitLimit);
        if (ThreadRunning(&TSioPosixDispatcher::OutThread)) {
            OutFlushEvent.Set();
            (void)WaitThreadGone(&TSioPosixDispatcher::OutThread, ThreadWaitLimit);
        }
        if (ThreadRunning(&TSioPosixDispatcher::ComThread)) {
            WakeReader();
            (void)WaitThreadGone(&TSioPosixDispatcher::ComThread, ThreadWaitLimit);
        }
        if (ThreadRunning(&TSioPosixDispatcher::fDispThread)) {
            FQueue.FEvent().Set(); // cut its 50 ms wait short
            (void)WaitThreadGone(&TSioPosixDispatcher::fDispThread, ThreadWaitLimit);
        }
    }
    CloseWhenThreadsGone([this] { CloseDescriptor(); });
    CloseComActive = false;
    return 0;
}

void TSioPosixDispatcher::StopDispatcher() {
    if (DispActive)
        (void)CloseCom();
}

bool TSioPosixDispatcher::CheckPort(const std::string& Name) {
    return posix::ResolvePort(Name, hooks_.roots).has_value();
}

bool TSioPosixDispatcher::SetupCom(int32_t, int32_t) {
    return true;
}

int32_t TSioPosixDispatcher::ProcessCommunications() {
    std::this_thread::yield();
    return 0;
}

// ---- Line settings and modem lines ----

int32_t TSioPosixDispatcher::GetComState(serial::DCB& Dcb) {
    std::lock_guard lock(DeviceSection);
    const int fd = CidEx;
    if (fd < 0)
        return ecCommNotOpen;
    serial::DCB dcb = applied_;
    if (const int err = posix::ReadLine(fd, dcb); err != 0) {
        LastSystemError = static_cast<int32_t>(SystemErrorFromErrno(err));
        return CodeFromErrno(err);
    }
    // A rate the device took within tolerance is the rate that was asked for.
    if (posix::RateAccepted(LegacyBaudRate(applied_.BaudRate), dcb.BaudRate))
        dcb.BaudRate = applied_.BaudRate;
    Dcb = dcb;
    return 0;
}

int32_t TSioPosixDispatcher::SetComState(const serial::DCB& Dcb) {
    std::lock_guard lock(DeviceSection);
    const int fd = CidEx;
    if (fd < 0)
        return ecCommNotOpen;
    if (const int err = posix::WriteLine(fd, Dcb, hooks_.rate_readback); err != 0) {
        LastSystemError = static_cast<int32_t>(SystemErrorFromErrno(err));
        return CodeFromErrno(err);
    }
    applied_ = Dcb;
    return 0;
}

int32_t TSioPosixDispatcher::EscapeComFunction(int32_t Func) {
    std::lock_guard lock(DeviceSection);
    const int fd = CidEx;
    if (fd < 0)
        return ecCommNotOpen;
    int rc = 0;
    int dtr = TIOCM_DTR;
    int rts = TIOCM_RTS;
    switch (Func) {
    case SETDTR:
        rc = ::ioctl(fd, TIOCMBIS, &dtr);
        break;
    case CLRDTR:
        rc = ::ioctl(fd, TIOCMBIC, &dtr);
        break;
    case SETRTS:
        rc = ::ioctl(fd, TIOCMBIS, &rts);
        break;
    case CLRRTS:
        rc = ::ioctl(fd, TIOCMBIC, &rts);
        break;
    case SETBREAK:
        rc = ::ioctl(fd, TIOCSBRK);
        break;
    case CLRBREAK:
        rc = ::ioctl(fd, TIOCCBRK);
        break;
    default:
        return ecInvalidParameter;
    }
    if (rc != 0 && !Unsupported(errno))
        return CodeFromErrno(errno);
    return 0;
}

int32_t TSioPosixDispatcher::SetComBreak(bool On) {
    return EscapeComFunction(On ? SETBREAK : CLRBREAK);
}

int32_t TSioPosixDispatcher::GetComModemStatus(uint32_t& Status) {
    std::lock_guard lock(DeviceSection);
    const int fd = CidEx;
    if (fd < 0)
        return ecCommNotOpen;
    int lines = 0;
    if (::ioctl(fd, TIOCMGET, &lines) != 0) {
        if (!Unsupported(errno))
            return CodeFromErrno(errno);
        lines = 0;
    }
    Status = ((lines & TIOCM_CTS) != 0 ? 0x10u : 0u) | ((lines & TIOCM_DSR) != 0 ? 0x20u : 0u) |
             ((lines & TIOCM_RI) != 0 ? 0x40u : 0u) | ((lines & TIOCM_CD) != 0 ? 0x80u : 0u);
    return 0;
}

int32_t TSioPosixDispatcher::GetComEventMask(int32_t) {
    return 0;
}

bool TSioPosixDispatcher::WaitComEvent(uint32_t& Mask) {
    Mask = 0;
    return true;
}

// ---- Queues and purges ----

int32_t TSioPosixDispatcher::GetComError(TComStat& Stat) {
    const int32_t out_used = OutBufUsed();
    std::lock_guard lock(DeviceSection);
    Stat = TComStat{};
    Stat.cbOutQue = static_cast<uint32_t>(std::max(out_used, 0));
    const int fd = CidEx;
    if (fd < 0)
        return 0;
    int in_queue = 0;
    if (::ioctl(fd, FIONREAD, &in_queue) == 0 && in_queue > 0)
        Stat.cbInQue = static_cast<uint32_t>(in_queue);
    int lines = 0;
    if (applied_.fOutxCtsFlow && ::ioctl(fd, TIOCMGET, &lines) == 0)
        Stat.fCtsHold = (lines & TIOCM_CTS) == 0 && out_used > 0;
    serial_icounter_struct counts{};
    if (!have_error_base_ || ::ioctl(fd, TIOCGICOUNT, &counts) != 0)
        return 0;
    // The driver counts from boot; a line error is a counter that moved since the last look.
    int32_t bits = 0;
    if (counts.buf_overrun != error_base_.buf_overrun)
        bits |= 0x01;
    if (counts.overrun != error_base_.overrun)
        bits |= 0x02;
    if (counts.parity != error_base_.parity)
        bits |= 0x04;
    if (counts.frame != error_base_.frame)
        bits |= 0x08;
    if (counts.brk != error_base_.brk)
        bits |= 0x10;
    error_base_ = {counts.frame, counts.overrun, counts.parity, counts.brk, counts.buf_overrun};
    return bits;
}

int32_t TSioPosixDispatcher::OutBufUsed() {
    int32_t used = 0;
    {
        std::lock_guard lock(OutputSection);
        used = OutputRingUsed() + OutInFlight();
    }
    std::lock_guard lock(DeviceSection);
    int driver = 0;
    if (const int fd = CidEx; fd >= 0 && ::ioctl(fd, TIOCOUTQ, &driver) == 0 && driver > 0)
        used += driver;
    return used;
}

int32_t TSioPosixDispatcher::InQueueUsed() {
    return FirstBlockUsed();
}

int32_t TSioPosixDispatcher::ReadCom(uint8_t* Dest, int32_t Count) {
    return ReadFromQueue(Dest, Count);
}

int32_t TSioPosixDispatcher::WriteCom(const uint8_t* Data, int32_t Len) {
    if (Len <= 0 || !CopyToOutputRing(Data, static_cast<uint32_t>(Len)))
        return 0;
    OutputEvent.Set();
    return Len;
}

int32_t TSioPosixDispatcher::FlushCom(int32_t Queue) {
    if (Queue == 0) {
        if (!ThreadRunning(&TSioPosixDispatcher::OutThread))
            return 0;
        EmptyOutputRing();
        {
            std::lock_guard lock(DeviceSection);
            if (const int fd = CidEx; fd >= 0)
                (void)::tcflush(fd, TCOFLUSH);
        }
        RequestOutputFlush();
        return 0;
    }
    // Under the drain lock, so no block read before the purge is queued after it.
    std::lock_guard drain(drain_lock_);
    int32_t result = 0;
    {
        std::lock_guard lock(DeviceSection);
        if (const int fd = CidEx; fd >= 0 && ::tcflush(fd, TCIFLUSH) != 0 && !Unsupported(errno))
            result = CodeFromErrno(errno);
    }
    FQueue.Clear();
    return result;
}

void TSioPosixDispatcher::RequestOutputFlush() {
    // Numbered: a flush from a handler run inside this wait never takes this one's answer.
    const uint64_t request = RequestFlush();
    posix::SignalEventFd(write_wake_);
    (void)WaitFlushAcknowledged(request, std::chrono::milliseconds(5000));
}

void TSioPosixDispatcher::QueueBlock(std::unique_ptr<TIOBuffer> block) {
    FQueue.Push(std::move(block));
}

} // namespace serial
