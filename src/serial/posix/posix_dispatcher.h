// The dispatcher on a POSIX terminal device (a serial port, a USB-serial adapter, or a
// pseudo-terminal published as a port).
//
// Threads: the read thread polls the device and drains it into 256-byte blocks of the I/O
// queue; the status thread compares the modem lines and the driver's counters at bounded
// wake-ups, queues a status block for each change and wakes the read thread for arriving
// bytes; the write thread hands everything queued between two writes to the device in one
// write. Every wait is a poll that includes WakeFd() and ends within 100 ms.
//
// The descriptor is CidEx. Every device call of every thread runs under DeviceSection and
// reads CidEx there; the descriptor is closed only when no thread is left. A lost device
// (hang-up, EIO, ENODEV) ends all threads with -161, reported once, and the descriptor is
// closed as the last thread leaves, so the kernel can give the re-plugged adapter its name
// again.
//
// Locks, in the only orders taken: drain_lock_ -> DeviceSection; drain_lock_ -> queue lock;
// OutputSection -> DeviceSection (OutBufUsed inside PutBlock). DeviceSection is a leaf.
#pragma once

#include "serial/dispatcher.h"
#include "serial/posix/line_settings.h"
#include "serial/posix/port_names.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace serial {

// Escape functions for the break state.
inline constexpr int32_t SETBREAK = 8;
inline constexpr int32_t CLRBREAK = 9;

// Where the layer meets the system, for tests: the roots of /dev and /sys, and stand-ins
// for what a test cannot make a pseudo-terminal do (refuse an open, round a rate).
struct TPosixDeviceHooks {
    posix::PortRoots roots;
    // open(2) with errno; empty for the real one.
    std::function<int(const char* path, int flags)> open;
    posix::RateReadback rate_readback;
};

class TSioPosixDispatcher : public TSioBaseDispatcher {
public:
    explicit TSioPosixDispatcher(base::TComponent* Owner, TPosixDeviceHooks hooks = {});

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

    // The device path of the open port ("" when none).
    [[nodiscard]] std::string DevicePath() const;

protected:
    ~TSioPosixDispatcher() override;

    // Hands a received block or a status block to the I/O queue.
    virtual void QueueBlock(std::unique_ptr<TIOBuffer> block);

private:
    class ReadThread;
    class WriteThread;
    class StatusThread_;

    // Reads everything the driver holds into the queue, oldest first. False when the
    // device is gone or failed (errno_out says why); true also when it was closed under us.
    bool DrainDevice(int& errno_out);
    // The first thread to see the device gone reports -161; all threads stop and the
    // descriptor is closed when the last one has left.
    void DeviceLost(TSioDispatcherThread& thread);
    // Asks the write thread to drop what it is writing and waits for its answer.
    void RequestOutputFlush();
    // Closes the descriptor (once), dropping what the driver still holds.
    void CloseDescriptor();
    // Wakes the read thread (arriving bytes, a purge).
    void WakeReader();

    TPosixDeviceHooks hooks_;
    int read_wake_ = -1;  // eventfd: the read thread looks at the device at once
    int write_wake_ = -1; // eventfd: a flush or a stop for a write waiting on the device
    std::recursive_mutex drain_lock_; // one drain at a time keeps the queue in order
    // Empty blocks kept between drains (drain_lock_), so a wake-up for a few bytes does not
    // allocate and free a whole read's worth of blocks.
    std::vector<std::unique_ptr<TDataBuffer>> spare_blocks_;
    std::atomic<bool> lost_{false}; // the device was lost while open
    mutable std::mutex path_lock_;
    std::string device_path_; // path_lock_
    // The settings last applied (DeviceSection): the fields the terminal cannot hold.
    serial::DCB applied_{};
    // The driver's error counters as last reported by GetComError (DeviceSection).
    struct Counters {
        int frame = 0, overrun = 0, parity = 0, brk = 0, buf_overrun = 0;
    } error_base_{};
    bool have_error_base_ = false; // DeviceSection
};

} // namespace serial
