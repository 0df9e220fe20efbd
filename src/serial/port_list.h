// The process-wide list of open dispatchers. A dispatcher's index in it is its handle, which
// travels in the high 16 bits of every notification's lParam, so a window can find the
// dispatcher (and its owner) that sent a notification.
#pragma once

#include <cstdint>
#include <mutex>

namespace serial {

class TSioBaseDispatcher;

// The list's lock; hold it while using a dispatcher found with PortListItem.
std::recursive_mutex& PortListLock();
void LockPortList();
void UnlockPortList();

// Takes the first empty slot, or appends; returns the handle.
int32_t AddToPortList(TSioBaseDispatcher* dispatcher);
// Empties the slot and removes the empty slots at the end.
void RemoveFromPortList(int32_t handle);
// The dispatcher with that handle, or nullptr.
[[nodiscard]] TSioBaseDispatcher* PortListItem(int32_t handle);
// Slots in the list, empty ones included.
[[nodiscard]] int32_t PortListCount();

} // namespace serial
