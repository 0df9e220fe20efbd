#include "base/component.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace base {
namespace {

// Records its destruction and whether its owner was already marked as destroying.
class Probe : public TComponent {
public:
    Probe(TComponent* owner, std::string name, std::vector<std::string>& log)
        : TComponent(owner), log_(log) {
        SetName(std::move(name));
    }
    ~Probe() override {
        log_.push_back(Name() +
                       (Owner() != nullptr && Owner()->Destroying() ? " (owner going)" : ""));
    }
    void Loaded() override {
        TComponent::Loaded();
        log_.push_back(Name() + " loaded");
    }

private:
    std::vector<std::string>& log_;
};

TEST(TComponent, OwnerDestroysWhatItOwnsLastFirst) {
    std::vector<std::string> log;
    {
        TComponent owner;
        Probe& first = owner.Own(std::make_unique<Probe>(&owner, "first", log));
        owner.Own(std::make_unique<Probe>(&owner, "second", log));
        EXPECT_EQ(first.Owner(), &owner);
        EXPECT_EQ(first.Name(), "first");
        EXPECT_FALSE(owner.Destroying());
    }
    EXPECT_EQ(log, (std::vector<std::string>{"second (owner going)", "first (owner going)"}));
}

TEST(TComponent, LoadingStateEndsWithLoaded) {
    std::vector<std::string> log;
    Probe probe(nullptr, "p", log);
    EXPECT_FALSE(probe.Loading());
    EXPECT_FALSE(probe.Designing());
    probe.BeginLoading();
    EXPECT_TRUE(probe.Loading());
    probe.Loaded();
    EXPECT_FALSE(probe.Loading());
    EXPECT_EQ(log, std::vector<std::string>{"p loaded"});
}

// Remembers one other component and forgets it when told it is going away.
class Watcher : public TComponent {
public:
    void Watch(TComponent& other) {
        watched = &other;
        FreeNotification(other);
    }
    TComponent* watched = nullptr;
    int told = 0;

protected:
    void Notification(TComponent& component) override {
        ++told;
        if (&component == watched) {
            watched = nullptr;
        }
    }
};

TEST(TComponent, FreeNotificationTellsWhicheverOutlivesTheOther) {
    Watcher a;
    {
        Watcher b;
        a.Watch(b);
        a.Watch(b); // once only
    }
    EXPECT_EQ(a.watched, nullptr);
    EXPECT_EQ(a.told, 1);

    Watcher kept;
    {
        Watcher going;
        going.Watch(kept); // the watcher goes first: kept is told of it, and nothing dangles
    }
    EXPECT_EQ(kept.told, 1);

    Watcher c;
    {
        Watcher d;
        c.Watch(d);
        c.RemoveFreeNotification(d);
    }
    EXPECT_EQ(c.told, 0);
}

} // namespace
} // namespace base
