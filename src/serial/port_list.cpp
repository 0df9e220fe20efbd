#include "serial/port_list.h"

#include <vector>

namespace serial {

namespace {

// The one process-wide list: the handle of a dispatcher must mean the same to every window.
struct PortList {
    std::recursive_mutex lock;
    std::vector<TSioBaseDispatcher*> slots;
};

PortList& List() {
    static PortList list;
    return list;
}

} // namespace

std::recursive_mutex& PortListLock() {
    return List().lock;
}
void LockPortList() {
    List().lock.lock();
}
void UnlockPortList() {
    List().lock.unlock();
}

int32_t AddToPortList(TSioBaseDispatcher* dispatcher) {
    auto& list = List();
    std::lock_guard lock(list.lock);
    for (size_t i = 0; i < list.slots.size(); ++i) {
        if (list.slots[i] == nullptr) {
            list.slots[i] = dispatcher;
            return static_cast<int32_t>(i);
        }
    }
    list.slots.push_back(dispatcher);
    return static_cast<int32_t>(list.slots.size() - 1);
}

void RemoveFromPortList(int32_t handle) {
    auto& list = List();
    std::lock_guard lock(list.lock);
    if (handle < 0 || static_cast<size_t>(handle) >= list.slots.size())
        return;
    list.slots[static_cast<size_t>(handle)] = nullptr;
    while (!list.slots.empty() && list.slots.back() == nullptr)
        list.slots.pop_back();
}

TSioBaseDispatcher* PortListItem(int32_t handle) {
    auto& list = List();
    std::lock_guard lock(list.lock);
    if (handle < 0 || static_cast<size_t>(handle) >= list.slots.size())
        return nullptr;
    return list.slots[static_cast<size_t>(handle)];
}

int32_t PortListCount() {
    auto& list = List();
    std::lock_guard lock(list.lock);
    return static_cast<int32_t>(list.slots.size());
}

} // namespace serial
