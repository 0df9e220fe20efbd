#include "base/component.h"

#include <algorithm>

namespace base {

TComponent::TComponent(TComponent* owner) : owner_(owner) {}

TComponent::~TComponent() {
    destroying_ = true;
    SendFreeNotifications();
    // Last created goes first, so a component never outlives one it was built on.
    while (!owned_.empty()) {
        owned_.pop_back();
    }
}

void TComponent::FreeNotification(TComponent& other) {
    if (&other == this) {
        return;
    }
    if (std::find(free_notifies_.begin(), free_notifies_.end(), &other) == free_notifies_.end()) {
        free_notifies_.push_back(&other);
    }
    if (std::find(other.free_notifies_.begin(), other.free_notifies_.end(), this) ==
        other.free_notifies_.end()) {
        other.free_notifies_.push_back(this);
    }
}

void TComponent::RemoveFreeNotification(TComponent& other) {
    std::erase(free_notifies_, &other);
    std::erase(other.free_notifies_, this);
}

void TComponent::SendFreeNotifications() {
    destroying_ = true;
    while (!free_notifies_.empty()) {
        TComponent* other = free_notifies_.back();
        free_notifies_.pop_back();
        std::erase(other->free_notifies_, this);
        other->Notification(*this);
    }
}

} // namespace base
