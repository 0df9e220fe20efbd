#include "packet/packet_buffer.h"

#include <algorithm>
#include <cstring>

namespace packet {

namespace {
// The first storage; a read never brings more than the dispatcher's 8192-byte ring.
constexpr size_t kFirstCapacity = 8192;
} // namespace

int32_t PacketBuffer::Capacity() const {
    return static_cast<int32_t>(storage_.size());
}

uint8_t* PacketBuffer::Reserve(int32_t count) {
    const size_t needed = static_cast<size_t>(size_) + static_cast<size_t>(count);
    if (static_cast<size_t>(head_) + needed >= storage_.size()) {
        Compact();
        if (needed >= storage_.size()) {
            size_t capacity = std::max(storage_.size(), kFirstCapacity);
            while (needed >= capacity)
                capacity *= 2;
            storage_.resize(capacity);
        }
    }
    return storage_.data() + head_ + size_;
}

void PacketBuffer::RemoveFront(int32_t count) {
    if (count >= size_) {
        Dispose();
        return;
    }
    if (count <= 0)
        return;
    head_ += count;
    size_ -= count;
}

void PacketBuffer::Compact() {
    if (head_ == 0)
        return;
    if (size_ > 0)
        std::memmove(storage_.data(), storage_.data() + head_, static_cast<size_t>(size_));
    head_ = 0;
}

void PacketBuffer::Dispose() {
    std::vector<uint8_t>().swap(storage_);
    head_ = 0;
    size_ = 0;
}

} // namespace packet
