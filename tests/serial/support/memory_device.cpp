#include "serial/support/memory_device.h"

#include "base/exceptions.h"
#include "base/message_loop.h"
#include "serial/error_codes.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <thread>

namespace serial::testing {

namespace {

constexpr auto kReadWait = std::chrono::milliseconds(50);
constexpr auto kSlice = std::chrono::milliseconds(100);
constexpr auto kFlushWait = std::chrono::milliseconds(5000);
constexpr int32_t kBlockSize = 256;
constexpr auto kHoldLimit = std::chrono::seconds(30);

std::string StripDevicePrefix(const std::string& name) {
    if (name.size() >= 4 && name[0] == '\\' && name[1] == '\\' && name[2] == '.' && name[3] == '\\')
        return name.substr(4);
    return name;
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

} // namespace

// ---- TMemoryLine ----

void TMemoryLine::Arrive(const std::string& bytes) {
    Arrive(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

void TMemoryLine::Arrive(const std::vector<uint8_t>& bytes) {
    if (bytes.empty())
        return;
    {
        std::lock_guard l(lock);
        wire.push_back(Item{false, 0, bytes});
    }
    changed.Set();
}

void TMemoryLine::ArriveStatus(uint32_t mask) {
    {
        std::lock_guard l(lock);
        wire.push_back(Item{true, mask, {}});
    }
    changed.Set();
}

std::string TMemoryLine::Sent() const {
    std::lock_guard l(lock);
    return sent;
}

size_t TMemoryLine::SentCount() const {
    std::lock_guard l(lock);
    return sent.size();
}

void TMemoryLine::SetModemLines(uint8_t lines) {
    std::lock_guard l(lock);
    modem_lines = lines & 0xF0;
}

void TMemoryLine::AddLineErrors(uint32_t bits) {
    std::lock_guard l(lock);
    line_errors |= bits;
}

void TMemoryLine::SetHolds(bool cts, bool dsr, bool xoff_hold_, bool xoff_sent_) {
    std::lock_guard l(lock);
    cts_hold = cts;
    dsr_hold = dsr;
    xoff_hold = xoff_hold_;
    xoff_sent = xoff_sent_;
}

void TMemoryLine::FailReads(bool fail) {
    {
        std::lock_guard l(lock);
        fail_reads = fail;
    }
    changed.Set();
}

void TMemoryLine::FailWrites(bool fail) {
    std::lock_guard l(lock);
    fail_writes = fail;
}

void TMemoryLine::FailOpen(int32_t system_error) {
    std::lock_guard l(lock);
    fail_open = system_error;
}

void TMemoryLine::RefuseState(int32_t system_error) {
    std::lock_guard l(lock);
    refuse_state = system_error;
}

void TMemoryLine::SetTransmitDelay(std::chrono::microseconds per_byte) {
    std::lock_guard l(lock);
    transmit_delay = per_byte;
}

void TMemoryLine::Stall(bool stall) {
    std::lock_guard l(lock);
    stalled = stall;
}

bool TMemoryLine::InUse() const {
    std::lock_guard l(lock);
    return in_use;
}

int32_t TMemoryLine::OpenCount() const {
    std::lock_guard l(lock);
    return open_count;
}

DCB TMemoryLine::AppliedDcb() const {
    std::lock_guard l(lock);
    return dcb;
}

int32_t TMemoryLine::StateWrites() const {
    std::lock_guard l(lock);
    return state_writes;
}

bool TMemoryLine::Dtr() const {
    std::lock_guard l(lock);
    return dtr;
}

bool TMemoryLine::Rts() const {
    std::lock_guard l(lock);
    return rts;
}

bool TMemoryLine::Break() const {
    std::lock_guard l(lock);
    return brk;
}

std::vector<int32_t> TMemoryLine::EscapeCalls() const {
    std::lock_guard l(lock);
    return escape_calls;
}

int32_t TMemoryLine::ReadCalls() const {
    std::lock_guard l(lock);
    return read_calls;
}

void TMemoryLine::HoldReads(bool hold) {
    {
        std::lock_guard l(lock);
        hold_reads = hold;
    }
    released.notify_all();
}

void TMemoryLine::HoldWrites(bool hold) {
    {
        std::lock_guard l(lock);
        hold_writes = hold;
    }
    released.notify_all();
}

bool TMemoryLine::ReadsParked() const {
    std::lock_guard l(lock);
    return reads_parked;
}

bool TMemoryLine::WritesParked() const {
    std::lock_guard l(lock);
    return writes_parked;
}

void TMemoryLine::RefuseWrites(bool refuse) {
    std::lock_guard l(lock);
    refuse_writes = refuse;
}

void TMemoryLine::FailErrorQuery(int32_t code) {
    std::lock_guard l(lock);
    fail_error_query = code;
}

void TMemoryLine::FailThreadStart(int32_t n) {
    std::lock_guard l(lock);
    fail_thread_start = n;
}

size_t TMemoryLine::SentAtLastStateWrite() const {
    std::lock_guard l(lock);
    return sent_at_state_write;
}

int32_t TMemoryLine::ClosedDeviceCalls() const {
    std::lock_guard l(lock);
    return closed_device_calls;
}

int32_t TMemoryLine::FlushCalls() const {
    std::lock_guard l(lock);
    return flush_calls;
}

// ---- Threads ----

void TSioMemoryDispatcher::Park(TMemoryLine& line, std::unique_lock<std::mutex>& l,
                                bool TMemoryLine::*hold, bool TMemoryLine::*parked) {
    if (!(line.*hold))
        return;
    line.*parked = true;
    (void)line.released.wait_for(l, kHoldLimit, [&] { return !(line.*hold); });
    line.*parked = false;
}

// Drains the wire into 256-byte blocks up to the next line event each time it is woken (by
// the status thread) and at least every 50 ms.
class TSioMemoryDispatcher::ReadThread : public TSioDispatcherThread {
public:
    using TSioDispatcherThread::TSioDispatcherThread;

protected:
    void Execute() override {
        auto& d = static_cast<TSioMemoryDispatcher&>(H);
        const std::shared_ptr<TMemoryLine> line = d.line_;
        while (!Terminated && !d.KillThreads) {
            (void)d.FSerialEvent.Wait(kReadWait);
            if (d.KillThreads)
                break;
            bool status_ahead = false;
            while (true) {
                {
                    // A held read waits here, outside the device lock, as a thread blocked
                    // in the kernel would.
                    std::unique_lock l(line->lock);
                    Park(*line, l, &TMemoryLine::hold_reads, &TMemoryLine::reads_parked);
                }
                std::lock_guard device(d.DeviceSection);
                std::lock_guard l(line->lock);
                if (!d.device_open_) {
                    ++line->closed_device_calls; // the device was closed under the thread
                    return;
                }
                ++line->read_calls;
                if (line->fail_reads) {
                    line->fail_reads = false;
                    ReturnValue = ecDeviceRead;
                    d.StopThreads();
                    return;
                }
                auto block = std::make_unique<TDataBuffer>(kBlockSize);
                int32_t n = 0;
                while (n < kBlockSize && !line->wire.empty() && !line->wire.front().status) {
                    auto& item = line->wire.front();
                    const int32_t take =
                        std::min<int32_t>(kBlockSize - n, static_cast<int32_t>(item.data.size()));
                    std::memcpy(block->FData.data() + n, item.data.data(),
                                static_cast<size_t>(take));
                    item.data.erase(item.data.begin(), item.data.begin() + take);
                    n += take;
                    if (item.data.empty())
                        line->wire.pop_front();
                }
                status_ahead = !line->wire.empty() && line->wire.front().status;
                if (n == 0)
                    break;
                block->FDataUsed = n;
                // Pushed under the line's lock, so a line event keeps its place.
                d.FQueue.Push(std::move(block));
            }
            if (status_ahead)
                line->changed.Set();
        }
    }
};

// Watches the line: reports arriving bytes to the read thread and queues line events once
// every byte before them has been queued.
class TSioMemoryDispatcher::StatusThread_ : public TSioDispatcherThread {
public:
    using TSioDispatcherThread::TSioDispatcherThread;

protected:
    void Execute() override {
        auto& d = static_cast<TSioMemoryDispatcher&>(H);
        const std::shared_ptr<TMemoryLine> line = d.line_;
        while (!Terminated && !d.KillThreads) {
            (void)line->changed.Wait(kSlice);
            if (d.KillThreads)
                break;
            std::lock_guard device(d.DeviceSection);
            std::lock_guard l(line->lock);
            if (!d.device_open_) {
                ++line->closed_device_calls;
                return;
            }
            while (!line->wire.empty() && line->wire.front().status) {
                d.FQueue.Push(std::make_unique<TStatusBuffer>(line->wire.front().mask));
                line->wire.pop_front();
            }
            if (!line->wire.empty() || line->fail_reads)
                d.FSerialEvent.Set();
        }
    }
};

// Drains the output ring to the line, one burst per wake-up. The burst counts as in flight
// until written or dropped; a flush drops it and is acknowledged.
class TSioMemoryDispatcher::WriteThread : public TSioDispatcherThread {
public:
    using TSioDispatcherThread::TSioDispatcherThread;

protected:
    void Execute() override {
        auto& d = static_cast<TSioMemoryDispatcher&>(H);
        std::vector<uint8_t> block;
        while (!Terminated && !d.KillThreads) {
            // The flush first: under a stream of writes it must still be answered.
            base::Event* events[] = {&d.OutFlushEvent, &d.OutputEvent};
            const int which = base::Event::WaitAny(events, kSlice);
            if (which == 0) {
                Acknowledge(d);
                continue;
            }
            if (which != 1 || d.KillThreads)
                continue;
            while (!d.KillThreads) {
                d.TakeOutputRing(block); // the bytes are in flight from here
                if (block.empty())
                    break;
                if (!Transmit(d, block)) {
                    d.SetOutInFlight(0);
                    ReturnValue = ecDeviceWrite;
                    d.StopThreads();
                    return;
                }
            }
        }
        d.SetOutInFlight(0);
    }

private:
    // The block is dropped: nothing is in flight any more, then every flush asked so far is
    // answered.
    static void Acknowledge(TSioMemoryDispatcher& d) {
        d.SetOutInFlight(0);
        d.AcknowledgeFlush();
    }

    // False on a device failure. A flush drops the rest of the block; a stop ends it.
    bool Transmit(TSioMemoryDispatcher& d, const std::vector<uint8_t>& block) {
        const std::shared_ptr<TMemoryLine> line = d.line_;
        size_t done = 0;
        while (done < block.size()) {
            {
                // A held write is stuck in the device: it notices neither a stop nor a flush.
                std::unique_lock l(line->lock);
                Park(*line, l, &TMemoryLine::hold_writes, &TMemoryLine::writes_parked);
            }
            if (d.KillThreads) {
                d.SetOutInFlight(0);
                return true;
            }
            if (d.OutFlushEvent.Wait(std::chrono::milliseconds(0))) {
                Acknowledge(d);
                return true;
            }
            std::chrono::microseconds delay{0};
            bool stalled = false;
            {
                std::lock_guard device(d.DeviceSection);
                std::lock_guard l(line->lock);
                if (!d.device_open_)
                    ++line->closed_device_calls;
                if (!d.device_open_ || line->fail_writes) {
                    line->fail_writes = false;
                    return false;
                }
                stalled = line->stalled;
                delay = line->transmit_delay;
            }
            const size_t chunk = std::min<size_t>(64, block.size() - done);
            if (stalled || delay.count() > 0) {
                const auto wait = stalled ? std::chrono::milliseconds(kSlice)
                                          : std::chrono::duration_cast<std::chrono::milliseconds>(
                                                delay * static_cast<int64_t>(chunk));
                if (d.OutFlushEvent.Wait(std::max(wait, std::chrono::milliseconds(1)))) {
                    Acknowledge(d);
                    return true;
                }
                if (stalled)
                    continue;
            }
            {
                std::lock_guard device(d.DeviceSection);
                std::lock_guard l(line->lock);
                line->sent.append(block.begin() + static_cast<std::ptrdiff_t>(done),
                                  block.begin() + static_cast<std::ptrdiff_t>(done + chunk));
            }
            done += chunk;
            d.SetOutInFlight(static_cast<int32_t>(block.size() - done));
        }
        return true;
    }
};

// ---- TSioMemoryDispatcher ----

TSioMemoryDispatcher::TSioMemoryDispatcher(base::TComponent* owner,
                                           std::shared_ptr<TMemoryLine> line)
    : TSioBaseDispatcher(owner), line_(std::move(line)) {}

TSioMemoryDispatcher::~TSioMemoryDispatcher() = default;

TSioDispatcherPtr TSioMemoryDispatcher::Open(std::shared_ptr<TMemoryLine> line, int32_t& result,
                                             int32_t in_size, int32_t out_size) {
    const std::string name = line->Name();
    TSioDispatcherPtr dispatcher(new TSioMemoryDispatcher(nullptr, std::move(line)));
    dispatcher->DeviceName = name;
    result = dispatcher->InitPort("\\\\.\\" + name, 56000, NOPARITY, 8, 1, in_size, out_size,
                                  ipAssertDTR | ipAssertRTS);
    return dispatcher;
}

bool TSioMemoryDispatcher::DeviceOpen() {
    std::lock_guard device(DeviceSection);
    return device_open_;
}

int32_t TSioMemoryDispatcher::EscapeComFunction(int32_t Func) {
    std::lock_guard device(DeviceSection);
    if (!device_open_)
        return ecCommNotOpen;
    std::lock_guard l(line_->lock);
    line_->escape_calls.push_back(Func);
    switch (Func) {
    case SETDTR:
        line_->dtr = true;
        break;
    case CLRDTR:
        line_->dtr = false;
        break;
    case SETRTS:
        line_->rts = true;
        break;
    case CLRRTS:
        line_->rts = false;
        break;
    default:
        break;
    }
    return 0;
}

int32_t TSioMemoryDispatcher::FlushCom(int32_t Queue) {
    if (Queue == 0) {
        if (!WriteThreadRunning())
            return 0;
        // Empty the ring first, then have the write thread drop what it holds; the wait is
        // for this request's number, so other flushers never take its answer.
        EmptyOutputRing();
        const uint64_t request = RequestFlush();
        {
            std::lock_guard l(line_->lock);
            ++line_->flush_calls;
        }
        (void)WaitFlushAcknowledged(request, FlushWaitLimit);
        return 0;
    }
    {
        std::lock_guard device(DeviceSection);
        if (device_open_) {
            std::lock_guard l(line_->lock);
            std::erase_if(line_->wire, [](const TMemoryLine::Item& item) { return !item.status; });
        }
    }
    FQueue.Clear();
    return 0;
}

int32_t TSioMemoryDispatcher::GetComError(TComStat& Stat) {
    const int32_t out_used = OutBufUsed();
    std::lock_guard device(DeviceSection);
    if (!device_open_)
        return ecCommNotOpen;
    std::lock_guard l(line_->lock);
    if (line_->fail_error_query != 0)
        return line_->fail_error_query;
    const auto errors = static_cast<int32_t>(line_->line_errors);
    line_->line_errors = 0;
    Stat.fCtsHold = line_->cts_hold;
    Stat.fDsrHold = line_->dsr_hold;
    Stat.fXoffHold = line_->xoff_hold;
    Stat.fXoffSent = line_->xoff_sent;
    uint32_t in_wire = 0;
    for (const auto& item : line_->wire)
        in_wire += static_cast<uint32_t>(item.data.size());
    Stat.cbInQue = in_wire;
    Stat.cbOutQue = static_cast<uint32_t>(out_used);
    return errors;
}

int32_t TSioMemoryDispatcher::GetComEventMask(int32_t) {
    return 0;
}

int32_t TSioMemoryDispatcher::GetComState(serial::DCB& Dcb) {
    std::lock_guard device(DeviceSection);
    if (!device_open_)
        return ecCommNotOpen;
    std::lock_guard l(line_->lock);
    Dcb = line_->dcb;
    return 0;
}

int32_t TSioMemoryDispatcher::ReadCom(uint8_t* Dest, int32_t Count) {
    return ReadFromQueue(Dest, Count);
}

int32_t TSioMemoryDispatcher::SetComState(const serial::DCB& Dcb) {
    std::lock_guard device(DeviceSection);
    if (!device_open_)
        return ecCommNotOpen;
    std::lock_guard l(line_->lock);
    if (line_->refuse_state != 0)
        return -line_->refuse_state;
    line_->dcb = Dcb;
    ++line_->state_writes;
    line_->sent_at_state_write = line_->sent.size();
    return 0;
}

int32_t TSioMemoryDispatcher::WriteCom(const uint8_t* Data, int32_t Len) {
    {
        std::lock_guard l(line_->lock);
        if (line_->refuse_writes)
            return 0;
    }
    if (Len <= 0 || !CopyToOutputRing(Data, static_cast<uint32_t>(Len)))
        return 0;
    OutputEvent.Set();
    return Len;
}

bool TSioMemoryDispatcher::WaitComEvent(uint32_t& Mask) {
    Mask = 0;
    return true;
}

bool TSioMemoryDispatcher::SetupCom(int32_t, int32_t) {
    return true;
}

int32_t TSioMemoryDispatcher::StartDispatcher() {
    std::lock_guard lock(DataSection);
    if (DispActive)
        throw base::EInvalidOperation("Dispatcher already started.");
    KillThreads = false;
    FSerialEvent.Reset();
    int32_t fail_at = 0;
    {
        std::lock_guard l(line_->lock);
        fail_at = line_->fail_thread_start;
    }
    int32_t position = 0;
    // A start the test makes fail is not attempted, as if the system refused the thread.
    auto refused = [&] { return ++position == fail_at; };
    bool started = !refused() && LaunchThread(std::make_unique<ReadThread>(*this),
                                              &TSioMemoryDispatcher::ComThread) != nullptr;
    started = started && !refused() && StartDispThread();
    started = started && !refused() &&
              LaunchThread(std::make_unique<WriteThread>(*this), &TSioMemoryDispatcher::OutThread);
    started =
        started && !refused() &&
        LaunchThread(std::make_unique<StatusThread_>(*this), &TSioMemoryDispatcher::StatusThread);
    // The threads already started are stopped by the close that the failed open runs.
    return started ? 0 : ecOutOfMemory;
}

void TSioMemoryDispatcher::StopDispatcher() {
    if (DispActive)
        (void)CloseCom();
}

int32_t TSioMemoryDispatcher::OutBufUsed() {
    return OutputRingAndInFlight();
}

int32_t TSioMemoryDispatcher::InQueueUsed() {
    return FirstBlockUsed();
}

int32_t TSioMemoryDispatcher::OpenCom(const std::string& Name, int32_t, int32_t) {
    std::lock_guard device(DeviceSection);
    std::lock_guard l(line_->lock);
    if (!SameName(StripDevicePrefix(Name), line_->Name())) {
        LastSystemError = 2;
        return -1;
    }
    if (line_->fail_open != 0) {
        LastSystemError = line_->fail_open;
        return -1;
    }
    if (line_->in_use) {
        LastSystemError = 5;
        return -1;
    }
    line_->in_use = true;
    ++line_->open_count;
    device_open_ = true;
    return 1;
}

int32_t TSioMemoryDispatcher::CloseCom() {
    if (CloseComActive.exchange(true))
        return 0;
    if (DispActive) {
        StopThreads();
        if (StatusThreadRunning()) {
            line_->changed.Set();
            (void)WaitThreadGone(&TSioMemoryDispatcher::StatusThread, ThreadWaitLimit);
        }
        if (WriteThreadRunning()) {
            OutputEvent.Set(); // cut its waits short (an extra acknowledgement is harmless)
            OutFlushEvent.Set();
            (void)WaitThreadGone(&TSioMemoryDispatcher::OutThread, ThreadWaitLimit);
        }
        if (ReadThreadRunning()) {
            FSerialEvent.Set();
            (void)WaitThreadGone(&TSioMemoryDispatcher::ComThread, ThreadWaitLimit);
        }
        if (DispThreadRunning()) {
            FQueue.FEvent().Set(); // cut its 50 ms wait short
            (void)WaitThreadGone(&TSioMemoryDispatcher::fDispThread, ThreadWaitLimit);
        }
    }
    if (CidEx.exchange(-1) >= 0) {
        // Closed now when every thread has gone, else by the last one as it ends: a thread
        // still running never finds the device closed (or another one in its place).
        CloseWhenThreadsGone([this] {
            std::lock_guard device(DeviceSection);
            std::lock_guard l(line_->lock);
            device_open_ = false;
            line_->in_use = false;
        });
    }
    CloseComActive = false;
    return 0;
}

bool TSioMemoryDispatcher::CheckPort(const std::string& Name) {
    return SameName(StripDevicePrefix(Name), line_->Name());
}

int32_t TSioMemoryDispatcher::ProcessCommunications() {
    std::this_thread::yield();
    return 0;
}

int32_t TSioMemoryDispatcher::GetComModemStatus(uint32_t& Status) {
    std::lock_guard device(DeviceSection);
    if (!device_open_)
        return ecCommNotOpen;
    std::lock_guard l(line_->lock);
    Status = line_->modem_lines;
    return 0;
}

int32_t TSioMemoryDispatcher::SetComBreak(bool On) {
    std::lock_guard device(DeviceSection);
    if (!device_open_)
        return ecCommNotOpen;
    std::lock_guard l(line_->lock);
    line_->brk = On;
    return 0;
}

} // namespace serial::testing
