// The component base: a named object with an owner and a state. The owner destroys what it
// owns; while loading (the window building its layout) setters check nothing and raise no
// exception, and Loaded() ends that state.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace base {

class TComponent {
public:
    explicit TComponent(TComponent* owner = nullptr);
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    TComponent* Owner() const { return owner_; }

    bool Loading() const { return loading_; }
    bool Designing() const { return designing_; }
    bool Destroying() const { return destroying_; }

    // Enters the loading state (the layout is being applied).
    void BeginLoading() { loading_ = true; }
    // Leaves the loading state; components override it to act on their loaded settings.
    virtual void Loaded() { loading_ = false; }

    // Free notification, both ways: whichever of the two is destroyed first calls the other's
    // Notification, so neither keeps a pointer to a destroyed component.
    void FreeNotification(TComponent& other);
    void RemoveFreeNotification(TComponent& other);

    // Takes ownership of a component created with this one as owner.
    template <typename T> T& Own(std::unique_ptr<T> component) {
        T& ref = *component;
        owned_.push_back(std::move(component));
        return ref;
    }

    // The components this one owns, in the order it took them.
    [[nodiscard]] size_t ComponentCount() const { return owned_.size(); }
    [[nodiscard]] TComponent* Components(size_t index) const { return owned_.at(index).get(); }

protected:
    // Called first by the destructor of the most derived class that needs to know.
    void MarkDestroying() { destroying_ = true; }
    // Tells the components that asked (FreeNotification) that this one is going away. The
    // base destructor does it last of all; a class whose listeners must still be able to
    // read it calls it first in its own destructor.
    void SendFreeNotifications();
    // Told that component, which asked for or was asked for free notification, is being
    // destroyed: forget every pointer to it.
    virtual void Notification(TComponent& component) { (void)component; }

private:
    std::string name_;
    TComponent* owner_;
    bool loading_ = false;
    bool designing_ = false;
    bool destroying_ = false;
    std::vector<std::unique_ptr<TComponent>> owned_; // destroyed in reverse order
    std::vector<TComponent*> free_notifies_;         // told when this one is destroyed
};

} // namespace base
