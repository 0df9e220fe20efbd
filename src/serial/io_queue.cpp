#include "serial/io_queue.h"

namespace serial {

void TIOQueue::Push(std::unique_ptr<TIOBuffer> block) {
    {
        std::lock_guard lock(FLock);
        bytes_queued_ += block->FDataSize;
        blocks_.push_back(std::move(block));
    }
    event_.Set();
}

TIOBuffer* TIOQueue::Peek() {
    std::lock_guard lock(FLock);
    if (blocks_.empty() || blocks_.front()->FInUse)
        return nullptr;
    blocks_.front()->FInUse = true;
    return blocks_.front().get();
}

void TIOQueue::Release(TIOBuffer* block) {
    std::lock_guard lock(FLock);
    block->FInUse = false;
}

std::unique_ptr<TIOBuffer> TIOQueue::Pop() {
    std::lock_guard lock(FLock);
    if (blocks_.empty())
        return nullptr;
    auto block = std::move(blocks_.front());
    blocks_.pop_front();
    bytes_queued_ -= block->FDataSize;
    block->FInUse = false;
    return block;
}

void TIOQueue::Clear() {
    std::lock_guard lock(FLock);
    std::deque<std::unique_ptr<TIOBuffer>> kept;
    for (auto& block : blocks_) {
        if (block->FInUse)
            kept.push_back(std::move(block));
        else
            bytes_queued_ -= block->FDataSize;
    }
    blocks_.swap(kept);
}

std::deque<std::unique_ptr<TIOBuffer>> TIOQueue::TakeAll() {
    std::lock_guard lock(FLock);
    std::deque<std::unique_ptr<TIOBuffer>> kept;
    std::deque<std::unique_ptr<TIOBuffer>> taken;
    for (auto& block : blocks_) {
        if (block->FInUse) {
            kept.push_back(std::move(block));
        } else {
            bytes_queued_ -= block->FDataSize;
            taken.push_back(std::move(block));
        }
    }
    blocks_.swap(kept);
    return taken;
}

bool TIOQueue::WaitForBuffer(std::chrono::milliseconds timeout) {
    {
        std::lock_guard lock(FLock);
        if (!blocks_.empty())
            return true;
    }
    return event_.Wait(timeout);
}

int64_t TIOQueue::FBytesQueued() const {
    std::lock_guard lock(FLock);
    return bytes_queued_;
}

size_t TIOQueue::Count() const {
    std::lock_guard lock(FLock);
    return blocks_.size();
}

} // namespace serial
