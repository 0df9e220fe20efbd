// An in-memory serial device: a real device layer for the dispatcher, with its own read,
// write and status threads, over a line that the test drives from the other end.
//
// The test holds a TMemoryLine (shared with the dispatcher) and plays the remote side:
// Arrive() puts bytes on the wire, ArriveStatus() a line event between them; Sent() is what
// the port transmitted. Faults: FailReads/FailWrites make the next device read or write
// fail; SetTransmitDelay slows the transmitter, Stall stops it until a flush or a close;
// HoldReads/HoldWrites park a thread inside its device call (a stuck thread that does not
// notice a stop); RefuseWrites, FailErrorQuery and FailThreadStart fail the matching calls.
//
// It is the model a real device layer follows: device calls run under DeviceSection on an
// open device; the device is closed only when no worker thread is left (by the last one,
// through CloseWhenThreadsGone, after a timed-out wait); every stop goes through
// StopThreads; bytes taken from the output ring count as in flight until written or
// dropped; flushes use the numbered handshake (RequestFlush, AcknowledgeFlush,
// WaitFlushAcknowledged).
//
// Threads: every TMemoryLine member may be called from any thread.
#pragma once

#include "base/event.h"
#include "serial/dispatcher.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace serial::testing {

class TMemoryLine {
public:
    explicit TMemoryLine(std::string name = "COM1") : name_(std::move(name)) {}

    const std::string& Name() const { return name_; }

    // ---- The remote end ----
    void Arrive(const std::string& bytes);
    void Arrive(const std::vector<uint8_t>& bytes);
    // A device event (EV_CTS, EV_ERR, ...) after the bytes that arrived before it.
    void ArriveStatus(uint32_t mask);
    // Everything the port transmitted so far.
    std::string Sent() const;
    size_t SentCount() const;

    // ---- Line state the device reports ----
    void SetModemLines(uint8_t lines); // 0x10 CTS, 0x20 DSR, 0x40 RI, 0x80 DCD
    void AddLineErrors(uint32_t bits); // reported once by the next GetComError
    void SetHolds(bool cts, bool dsr, bool xoff_hold, bool xoff_sent);

    // ---- Faults ----
    void FailReads(bool fail);              // the read thread's next device read fails
    void FailWrites(bool fail);             // the write thread's next device write fails
    void FailOpen(int32_t system_error);    // 0: opening works
    void RefuseState(int32_t system_error); // SetComState fails with it; 0: accepted
    // Time the transmitter takes per byte (a slow device).
    void SetTransmitDelay(std::chrono::microseconds per_byte);
    // A stuck transmitter: nothing is sent until a flush or a close.
    void Stall(bool stalled);
    // The read thread parks at its next device read, the write thread at its next device
    // write, until released (at most 30 s): neither a stop nor a flush moves them meanwhile.
    void HoldReads(bool hold);
    void HoldWrites(bool hold);
    bool ReadsParked() const; // the read thread waits at the hold now
    bool WritesParked() const;
    // WriteCom accepts nothing (the port's write is refused).
    void RefuseWrites(bool refuse);
    // GetComError fails with code (a negative serial code); 0: it works.
    void FailErrorQuery(int32_t code);
    // The n-th thread StartDispatcher starts (1 read, 2 dispatch, 3 write, 4 status) cannot
    // be started; 0: all start.
    void FailThreadStart(int32_t n);

    // ---- What the port did ----
    bool InUse() const;
    int32_t OpenCount() const;
    DCB AppliedDcb() const;
    int32_t StateWrites() const; // SetComState calls
    bool Dtr() const;
    bool Rts() const;
    bool Break() const;
    std::vector<int32_t> EscapeCalls() const;
    int32_t ReadCalls() const; // device reads by the read thread
    // Bytes sent when the line settings were last written (SetComState).
    size_t SentAtLastStateWrite() const;
    int32_t FlushCalls() const; // output flushes asked of the device (FlushCom(0))
    // Device calls of the worker threads that found the device closed (never, when the
    // device is closed only once no thread is left).
    int32_t ClosedDeviceCalls() const;

    // ---- Used by the device layer ----
    struct Item {
        bool status = false;
        uint32_t mask = 0;
        std::vector<uint8_t> data;
    };
    mutable std::mutex lock;
    base::Event changed{false, false}; // something arrived, or the device is closing
    std::deque<Item> wire;             // guarded by lock
    std::string sent;
    uint8_t modem_lines = 0x30; // CTS and DSR up
    uint32_t line_errors = 0;
    bool cts_hold = false, dsr_hold = false, xoff_hold = false, xoff_sent = false;
    bool fail_reads = false, fail_writes = false;
    int32_t fail_open = 0, refuse_state = 0;
    std::chrono::microseconds transmit_delay{0};
    bool stalled = false;
    std::condition_variable released; // a hold ended
    bool hold_reads = false, hold_writes = false;
    bool reads_parked = false, writes_parked = false;
    bool refuse_writes = false;
    int32_t fail_error_query = 0;
    int32_t fail_thread_start = 0;
    size_t sent_at_state_write = 0;
    int32_t flush_calls = 0;
    int32_t closed_device_calls = 0;
    bool in_use = false;
    int32_t open_count = 0;
    DCB dcb{};
    int32_t state_writes = 0;
    bool dtr = false, rts = false, brk = false;
    std::vector<int32_t> escape_calls;
    int32_t read_calls = 0;

private:
    std::string name_;
};

// The dispatcher on a TMemoryLine.
class TSioMemoryDispatcher : public TSioBaseDispatcher {
public:
    TSioMemoryDispatcher(base::TComponent* owner, std::shared_ptr<TMemoryLine> line);
    ~TSioMemoryDispatcher() override;

    // Opens with the usual settings: 56000 baud, 8N1, DTR and RTS raised.
    static TSioDispatcherPtr Open(std::shared_ptr<TMemoryLine> line, int32_t& result,
                                  int32_t in_size = 4096, int32_t out_size = 4096);

    const std::shared_ptr<TMemoryLine>& Line() const { return line_; }

    int32_t EscapeComFunction(int32_t Func) override;
    int32_t FlushCom(int32_t Queue) override;
    int32_t GetComError(TComStat& Stat) override;
    int32_t GetComEventMask(int32_t Mask) override;
    int32_t GetComState(serial::DCB& Dcb) override;
    int32_t ReadCom(uint8_t* Dest, int32_t Count) override;
    int32_t SetComState(const serial::DCB& Dcb) override;
    int32_t WriteCom(const uint8_t* Data, int32_t Len) override;
    bool WaitComEvent(uint32_t& Mask) override;
    bool SetupCom(int32_t InSize, int32_t OutSize) override;
    int32_t StartDispatcher() override;
    void StopDispatcher() override;
    int32_t OutBufUsed() override;
    int32_t InQueueUsed() override;
    int32_t OpenCom(const std::string& Name, int32_t InSize, int32_t OutSize) override;
    int32_t CloseCom() override;
    bool CheckPort(const std::string& Name) override;
    int32_t ProcessCommunications() override;
    int32_t GetComModemStatus(uint32_t& Status) override;
    int32_t SetComBreak(bool On) override;

    // How long FlushCom(0) waits for the write thread to acknowledge (tests raise it).
    std::chrono::milliseconds FlushWaitLimit{5000};

    // Observers for tests.
    int32_t InFlightBytes() const { return OutInFlight(); }
    bool DeviceOpen();
    bool ReadThreadRunning() { return ThreadRunning(&TSioMemoryDispatcher::ComThread); }
    bool WriteThreadRunning() { return ThreadRunning(&TSioMemoryDispatcher::OutThread); }
    bool StatusThreadRunning() { return ThreadRunning(&TSioMemoryDispatcher::StatusThread); }
    bool DispThreadRunning() { return ThreadRunning(&TSioMemoryDispatcher::fDispThread); }

    // Wakes the read thread (the status thread's "characters arrived").
    base::Event FSerialEvent{false, false};

private:
    class ReadThread;
    class WriteThread;
    class StatusThread_;
    // Parks the calling thread while hold is set (at most 30 s); line->lock held in l.
    static void Park(TMemoryLine& line, std::unique_lock<std::mutex>& l, bool TMemoryLine::*hold,
                     bool TMemoryLine::*parked);
    std::shared_ptr<TMemoryLine> line_;
    bool device_open_ = false; // DeviceSection: the handle is open
};

} // namespace serial::testing
