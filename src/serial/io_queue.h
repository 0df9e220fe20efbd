// The queue of received blocks and line events between a device layer's read and status
// threads and the dispatch thread, also used for the dispatch log. Blocks keep their order,
// so a line event stays between the data blocks it arrived between. There is no limit on
// the number of blocks.
//
// Threads: every operation may be called from any thread. A block taken with Peek is marked
// in use; only the taker may touch it until it pops it or hands it back with Release.
#pragma once

#include "base/event.h"
#include "serial/serial_types.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace serial {

class TIOBuffer {
public:
    explicit TIOBuffer(int32_t data_size) : FDataSize(data_size) {}
    virtual ~TIOBuffer() = default;
    bool FInUse = false;     // taken by Peek; guarded by the queue's lock
    const int32_t FDataSize; // what the block adds to the queue's byte count
};

// Received bytes: FDataUsed bytes arrived, the first FDataRead of them are consumed.
class TDataBuffer : public TIOBuffer {
public:
    explicit TDataBuffer(int32_t size) : TIOBuffer(size), FData(static_cast<size_t>(size)) {}
    std::vector<uint8_t> FData;
    int32_t FDataUsed = 0;
    int32_t FDataRead = 0;
};

// A line event: the device's event mask.
class TStatusBuffer : public TIOBuffer {
public:
    explicit TStatusBuffer(uint32_t status) : TIOBuffer(0), FStatus(status) {}
    const uint32_t FStatus;
};

// One dispatch log entry.
class TLogBuffer : public TIOBuffer {
public:
    // overhead: what the entry counts against the log's size limit besides its bytes.
    TLogBuffer(TDispatchType type, TDispatchSubType sub_type, uint32_t time, uint32_t data,
               std::vector<uint8_t> buffer, int32_t overhead = 0)
        : TIOBuffer(static_cast<int32_t>(buffer.size()) + overhead), FType(type),
          FSubType(sub_type), FTime(time), FData(data), FBuffer(std::move(buffer)) {}
    const TDispatchType FType;
    const TDispatchSubType FSubType;
    const uint32_t FTime; // milliseconds since the dispatcher opened
    const uint32_t FData;
    const std::vector<uint8_t> FBuffer;
};

class TIOQueue {
public:
    TIOQueue() = default;
    TIOQueue(const TIOQueue&) = delete;
    TIOQueue& operator=(const TIOQueue&) = delete;

    // Appends the block and wakes a waiter.
    void Push(std::unique_ptr<TIOBuffer> block);
    // The first block, marked in use, or nullptr when the queue is empty or the first block
    // is already in use.
    [[nodiscard]] TIOBuffer* Peek();
    // Hands a peeked block back.
    void Release(TIOBuffer* block);
    // Removes the first block.
    std::unique_ptr<TIOBuffer> Pop();
    // Frees every block that is not in use.
    void Clear();
    // Removes every block that is not in use and hands them over, oldest first.
    std::deque<std::unique_ptr<TIOBuffer>> TakeAll();
    // True at once when a block is queued, else waits for one up to the time-out.
    bool WaitForBuffer(std::chrono::milliseconds timeout);
    // The event signalled by Push (for waits on several events).
    base::Event& FEvent() { return event_; }

    [[nodiscard]] int64_t FBytesQueued() const;
    [[nodiscard]] size_t Count() const;

private:
    mutable std::recursive_mutex FLock;
    base::Event event_{false, false};
    std::deque<std::unique_ptr<TIOBuffer>> blocks_; // guarded by FLock
    int64_t bytes_queued_ = 0;                      // guarded by FLock
};

} // namespace serial
