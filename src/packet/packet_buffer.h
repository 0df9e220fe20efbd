// The manager's collection buffer: received bytes not yet delivered or discarded, oldest
// first. Storage grows geometrically; removing bytes from the front only moves a head
// index, and Compact (once per read) moves the rest down, so each byte is copied in once
// and moved at most once per read. Storage is released when the buffer is emptied.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace packet {

class PacketBuffer {
public:
    // Bytes held (indices 0 .. Size()-1 address them).
    [[nodiscard]] int32_t Size() const { return size_; }
    // Room in the storage, counted from the first byte held.
    [[nodiscard]] int32_t Capacity() const;
    [[nodiscard]] bool Allocated() const { return !storage_.empty(); }
    [[nodiscard]] uint8_t At(int32_t index) const { return storage_[head_ + index]; }
    [[nodiscard]] const uint8_t* Data(int32_t index) const {
        return storage_.data() + head_ + index;
    }

    // Makes room for count more bytes and returns where they go; Commit(n) then adds the n
    // bytes actually written there.
    uint8_t* Reserve(int32_t count);
    void Commit(int32_t count) { size_ += count; }
    // Removes the first count bytes (all of them when count >= Size()).
    void RemoveFront(int32_t count);
    // Moves the bytes held to the front of the storage.
    void Compact();
    // Drops every byte and releases the storage.
    void Dispose();

private:
    std::vector<uint8_t> storage_;
    int32_t head_ = 0;
    int32_t size_ = 0;
};

} // namespace packet
