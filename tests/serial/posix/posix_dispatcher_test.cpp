// The POSIX device layer on real pseudo-terminals: raw bytes both ways, the received blocks
// and their order, line settings read back, flushing a write in progress, the output limit.
#include "serial/error_codes.h"
#include "serial/line_status.h"
#include "serial/posix/line_settings.h"
#include "serial/posix/pty_fixture.h"

#include <mutex>
#include <numeric>
#include <sys/ioctl.h>
#include <termios.h>

namespace serial::testing {
namespace {

using PosixPort = PtyPortTest;

TEST_F(PosixPort, BytesPassUntranslatedBothWays) {
    ASSERT_EQ(Open(), 0);
    recorder.action = TakeOffered;
    dispatcher->RegisterEventTriggerHandler(recorder.Event());
    dispatcher->ChangeLengthTrigger(1);
    // Everything a cooked terminal would change: line ends, erase, end of file, interrupt,
    // XON/XOFF, the top bit.
    const std::string bytes = std::string("AT\r\nX\n\r") + '\x7f' + '\x04' + '\x03' + '\x11' +
                              '\x13' + '\x1a' + '\0' + "\xff\x80 end\r\n";
    ASSERT_EQ(dispatcher->PutString(bytes), 0);
    EXPECT_EQ(pty->Read(bytes.size()), bytes);
    ASSERT_TRUE(pty->Write(bytes));
    ASSERT_TRUE(WaitFor([&] { return recorder.AllData().size() >= bytes.size(); }));
    EXPECT_EQ(recorder.AllData(), bytes);
    // Nothing came back as an echo.
    EXPECT_EQ(pty->ReadAvailable(), "");
    EXPECT_EQ(errors.Count(), 0u);
}

TEST_F(PosixPort, ReceivedBytesReachTheHandlerInOrder) {
    ASSERT_EQ(Open(), 0);
    recorder.action = TakeOffered;
    dispatcher->RegisterEventTriggerHandler(recorder.Event());
    dispatcher->ChangeLengthTrigger(1);
    // More than the dispatch ring holds, so it wraps while the bytes stream in.
    std::string sent(40000, '\0');
    for (size_t i = 0; i < sent.size(); ++i)
        sent[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    ASSERT_TRUE(pty->Write(sent));
    ASSERT_TRUE(WaitFor([&] { return recorder.AllData().size() >= sent.size(); }));
    EXPECT_EQ(recorder.AllData(), sent);
}

// Records the size of every data block the read thread queues.
class BlockRecordingDispatcher : public TSioPosixDispatcher {
public:
    using TSioPosixDispatcher::TSioPosixDispatcher;
    std::vector<int32_t> Sizes() {
        std::lock_guard lock(mutex_);
        return sizes_;
    }

protected:
    void QueueBlock(std::unique_ptr<TIOBuffer> block) override {
        if (auto* data = dynamic_cast<TDataBuffer*>(block.get())) {
            std::lock_guard lock(mutex_);
            sizes_.push_back(data->FDataUsed);
        }
        TSioPosixDispatcher::QueueBlock(std::move(block));
    }

private:
    std::mutex mutex_;
    std::vector<int32_t> sizes_;
};

TEST_F(PosixPort, BytesWaitingInTheDriverAreQueuedIn256ByteBlocks) {
    // The bytes wait in the driver before the port opens: raw already, so none is changed.
    const int slave = ::open(pty->SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(slave, 0);
    termios raw{};
    ASSERT_EQ(::tcgetattr(slave, &raw), 0);
    ::cfmakeraw(&raw);
    ASSERT_EQ(::tcsetattr(slave, TCSANOW, &raw), 0);
    std::string sent(600, '\0');
    std::iota(sent.begin(), sent.end(), '\0');
    ASSERT_TRUE(pty->Write(sent));
    int waiting = 0;
    ASSERT_TRUE(WaitFor([&] { return ::ioctl(slave, FIONREAD, &waiting) == 0 && waiting == 600; }));

    auto* recording = new BlockRecordingDispatcher(nullptr);
    dispatcher = TSioDispatcherPtr(recording);
    recorder.dispatcher = recording;
    recorder.action = TakeOffered;
    dispatcher->RegisterEventTriggerHandler(recorder.Event());
    ASSERT_EQ(dispatcher->InitPort("COM5", 56000, NOPARITY, 8, 1, 4096, 4096, 0), 0);
    ::close(slave);
    dispatcher->ChangeLengthTrigger(1);
    ASSERT_TRUE(WaitFor([&] { return recorder.AllData().size() >= 600; }));
    EXPECT_EQ(recording->Sizes(), (std::vector<int32_t>{256, 256, 88}));
    EXPECT_EQ(recorder.AllData(), sent);
}

// The settings as another opener of the terminal sees them.
termios SettingsSeenFromOutside(const std::string& path, uint32_t* rate = nullptr) {
    termios t{};
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(::tcgetattr(fd, &t), 0);
    if (rate != nullptr) {
        // termios cannot show a rate outside its table; termios2 can.
        DCB dcb;
        EXPECT_EQ(posix::ReadLine(fd, dcb), 0);
        *rate = dcb.BaudRate;
    }
    ::close(fd);
    return t;
}

TEST_F(PosixPort, OpeningLeavesTheTerminalRaw) {
    ASSERT_EQ(Open(), 0);
    const termios t = SettingsSeenFromOutside(pty->SlavePath());
    EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | IXON | ISTRIP), 0u);
    EXPECT_EQ(t.c_oflag & (OPOST | ONLCR), 0u);
    EXPECT_EQ(t.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD | HUPCL), tcflag_t{CLOCAL | CREAD | HUPCL});
    EXPECT_NE(t.c_iflag & IGNBRK, 0u);
    EXPECT_EQ(t.c_cc[VMIN], 1);
    EXPECT_EQ(t.c_cc[VTIME], 0);
}

TEST_F(PosixPort, LineSettingsReachTheTerminalOrAreRefused) {
    ASSERT_EQ(Open(), 0);
    // A pseudo-terminal keeps rate and stop bits but is always 8 bits without parity: what it
    // does not keep is refused, and the line stays as it was.
    struct Case {
        int32_t baud, parity, data_bits, stop_bits;
        int32_t expected;
    } cases[] = {
        {56000, NOPARITY, 8, 1, 0},
        {250000, NOPARITY, 8, 2, 0},
        {9600, ODDPARITY, 7, 1, ecInvalidParameter},
        {1200, MARKPARITY, 8, 1, ecInvalidParameter},
        {31250, NOPARITY, 5, 1, ecInvalidParameter},
    };
    DCB kept;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.baud);
        EXPECT_EQ(dispatcher->SetLine(c.baud, c.parity, c.data_bits, c.stop_bits), c.expected);
        DCB dcb;
        ASSERT_EQ(dispatcher->GetComState(dcb), 0);
        uint32_t rate = 0;
        const termios t = SettingsSeenFromOutside(pty->SlavePath(), &rate);
        if (c.expected == 0) {
            kept = dcb;
            EXPECT_EQ(dcb.BaudRate, static_cast<uint32_t>(c.baud));
            EXPECT_EQ(rate, static_cast<uint32_t>(c.baud));
            EXPECT_EQ(dcb.StopBits, c.stop_bits == 2 ? TWOSTOPBITS : ONESTOPBIT);
            EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.stop_bits == 2);
        } else {
            EXPECT_TRUE(SameLine(dcb, kept));
            EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t{CS8});
        }
    }
}

TEST_F(PosixPort, ARateTheDeviceRoundsTooFarIsRefused) {
    uint32_t reported_as = 0; // 0: as set
    TPosixDeviceHooks hooks;
    hooks.rate_readback = [&](uint32_t rate) { return reported_as != 0 ? reported_as : rate; };
    ASSERT_EQ(Open(std::move(hooks)), 0);
    struct Case {
        uint32_t reported;
        int32_t expected;
    } cases[] = {{57600, 0}, {54400, 0}, {58000, ecInvalidParameter}, {50000, ecInvalidParameter}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reported);
        ASSERT_EQ(dispatcher->SetLine(9600, NOPARITY, 8, 1), 0);
        reported_as = c.reported;
        EXPECT_EQ(dispatcher->SetLine(56000, NOPARITY, 8, 1), c.expected);
        reported_as = 0;
        DCB dcb;
        ASSERT_EQ(dispatcher->GetComState(dcb), 0);
        // A refused rate leaves the line at the rate it had.
        EXPECT_EQ(dcb.BaudRate, c.expected == 0 ? 56000u : 9600u);
        uint32_t rate = 0;
        (void)SettingsSeenFromOutside(pty->SlavePath(), &rate);
        EXPECT_EQ(rate, c.expected == 0 ? 56000u : 9600u);
    }
}

TEST_F(PosixPort, ModemRequestsAPseudoTerminalCannotServeAreNoOps) {
    ASSERT_EQ(Open(), 0);
    for (const int32_t f : {SETDTR, CLRDTR, SETRTS, CLRRTS, SETBREAK, CLRBREAK})
        EXPECT_EQ(dispatcher->EscapeComFunction(f), 0) << f;
    EXPECT_EQ(dispatcher->EscapeComFunction(1234), ecInvalidParameter);
    uint32_t lines = 0xFF;
    EXPECT_EQ(dispatcher->GetComModemStatus(lines), 0);
    EXPECT_EQ(lines, 0u);
    TComStat stat;
    EXPECT_EQ(dispatcher->GetComError(stat), 0);
}

TEST_F(PosixPort, FlushDuringALongWriteDropsTheRestAndReturnsOnTheAcknowledgement) {
    constexpr int32_t kOut = 1 << 20;
    ASSERT_EQ(Open({}, kOut), 0);
    // Nobody reads the master, so the pty fills and the write waits for room.
    const std::string block(900000, 'w');
    ASSERT_EQ(dispatcher->PutString(block), 0);
    pollfd readable{pty->Master(), POLLIN, 0};
    ASSERT_TRUE(WaitFor([&] { return ::poll(&readable, 1, 0) == 1; }));
    ASSERT_GT(dispatcher->OutBuffUsed(), 0);
    EXPECT_EQ(dispatcher->FlushCom(0), 0);
    EXPECT_EQ(dispatcher->OutBuffUsed(), 0);
    const size_t delivered = pty->ReadAvailable().size();
    EXPECT_LT(delivered, block.size());
    // The write thread is still there for what comes next.
    ASSERT_EQ(dispatcher->PutString("after"), 0);
    std::string tail;
    ASSERT_TRUE(WaitFor([&] {
        tail += pty->ReadAvailable();
        return tail.size() >= 5 && tail.ends_with("after");
    }));
    EXPECT_EQ(errors.Count(), 0u);
}

TEST_F(PosixPort, AWriteLargerThanTheOutputBufferSendsNothing) {
    ASSERT_EQ(Open({}, 4096), 0);
    EXPECT_EQ(dispatcher->PutString(std::string(4097, 'x')), ecOutputBufferTooSmall);
    ASSERT_EQ(dispatcher->PutString(std::string(4096, 'y')), 0);
    EXPECT_EQ(pty->Read(4096), std::string(4096, 'y'));
    // A marker after it shows that nothing of the refused block went out before or after.
    ASSERT_EQ(dispatcher->PutString("z"), 0);
    EXPECT_EQ(pty->Read(1), "z");
    EXPECT_EQ(pty->ReadAvailable(), "");
}

TEST_F(PosixPort, InputPurgeDropsWhatTheDriverHeld) {
    ASSERT_EQ(Open(), 0);
    ASSERT_TRUE(pty->Write("stale"));
    ASSERT_TRUE(WaitFor([&] { return dispatcher->InBuffUsed() == 5; }));
    EXPECT_EQ(dispatcher->FlushInBuffer(), 0);
    EXPECT_EQ(dispatcher->InBuffUsed(), 0);
    ASSERT_TRUE(pty->Write("new"));
    ASSERT_TRUE(WaitFor([&] { return dispatcher->InBuffUsed() == 3; }));
    uint8_t got[3] = {};
    ASSERT_EQ(dispatcher->GetBlock(got, 3), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(got), 3), "new");
}

} // namespace
} // namespace serial::testing
