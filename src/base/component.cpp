#include "base/component.h"

namespace base {

TComponent::TComponent(TComponent* owner) : owner_(owner) {}

TComponent::~TComponent() {
    destroying_ = true;
    // Last created goes first, so a component never outlives one it was built on.
    while (!owned_.empty()) {
        owned_.pop_back();
    }
}

} // namespace base
