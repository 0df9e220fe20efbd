// Set-up for the com port's tests: a plain message loop owned by the test thread (wrapped
// so the test sees how the port posts), a recording error display, in-memory lines named
// COM1 and COM2 that the port's dispatchers open, and a recorder of what the users hear.
#pragma once

#include "base/message_loop.h"
#include "base/recording_error_display.h"
#include "serial/com_port.h"
#include "serial/support/memory_device.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace serial::testing {

// Forwards to a QueueMessageLoop and counts the immediate and the delayed posts.
class CountingLoop : public base::MessageLoop {
public:
    void Post(std::function<void()> fn) override {
        ++posts;
        inner.Post(std::move(fn));
    }
    void PostDelayed(std::function<void()> fn, std::chrono::milliseconds delay) override {
        ++delayed_posts;
        if (hold_delayed) {
            std::lock_guard lock(mutex_);
            held_.push_back(std::move(fn));
            return;
        }
        inner.PostDelayed(std::move(fn), delay);
    }
    // Runs the delayed posts held back so far (owner thread); returns how many ran.
    int RunHeld() {
        std::vector<std::function<void()>> batch;
        {
            std::lock_guard lock(mutex_);
            batch.swap(held_);
        }
        for (auto& fn : batch)
            fn();
        return static_cast<int>(batch.size());
    }
    void Synchronize(std::function<void()> fn) override { inner.Synchronize(std::move(fn)); }
    bool SynchronizeFor(std::function<void()> fn, std::chrono::milliseconds timeout) override {
        return inner.SynchronizeFor(std::move(fn), timeout);
    }
    void ProcessMessages() override { inner.ProcessMessages(); }
    bool IsOwnerThread() const override { return inner.IsOwnerThread(); }

    base::QueueMessageLoop inner;
    std::atomic<int> posts{0};
    std::atomic<int> delayed_posts{0};
    // Keeps delayed posts until RunHeld, so a test decides when they run.
    std::atomic<bool> hold_delayed{false};

private:
    std::mutex mutex_;
    std::vector<std::function<void()>> held_;
};

// What the users of a port heard, in order: "<name>:open", "<name>:closing",
// "<name>:closed" (ex callbacks), "<name>:true"/"<name>:false" (the older form),
// "<name>:msg<hex>" (windows).
class UserLog {
public:
    struct User {
        UserLog* log;
        std::string name;
        std::function<void(TSioCustomComPort&, TSioCallbackType)> action;

        void Ex(TSioCustomComPort& cp, TSioCallbackType type) {
            static const char* names[] = {"open", "closing", "closed"};
            log->entries.push_back(name + ":" + names[type]);
            if (action)
                action(cp, type);
        }
        void Plain(TSioCustomComPort&, bool opening) {
            log->entries.push_back(name + (opening ? ":true" : ":false"));
        }
        TPortCallbackEx CallbackEx() { return TPortCallbackEx::Of<&User::Ex>(this); }
        TPortCallback Callback() { return TPortCallback::Of<&User::Plain>(this); }
    };
    struct Window : TSioWindow {
        UserLog* log;
        std::string name;
        Window(UserLog* l, std::string n) : log(l), name(std::move(n)) {}
        void WndProc(uint32_t Msg, uint32_t, int32_t) override {
            char text[16];
            std::snprintf(text, sizeof text, ":msg%X", Msg);
            log->entries.push_back(name + text);
        }
    };

    User& Add(std::string name) {
        users.push_back(std::make_unique<User>(User{this, std::move(name), {}}));
        return *users.back();
    }

    std::vector<std::string> entries;
    std::vector<std::unique_ptr<User>> users;
};

class ComPortTest : public ::testing::Test {
protected:
    // A port whose dispatchers open the memory line named after its ComNumber.
    std::unique_ptr<TSioComPort> MakePort(base::TComponent* owner = nullptr) {
        auto p = std::make_unique<TSioComPort>(owner);
        p->SetCustomDispatcher([this](TSioCustomComPort& cp) {
            auto it = lines.find(cp.ComNumber());
            auto line = it != lines.end() ? it->second : std::make_shared<TMemoryLine>("COM1");
            auto* d = new TSioMemoryDispatcher(&cp, line);
            if (prepare)
                prepare(*d);
            return TSioDispatcherPtr(d);
        });
        return p;
    }

    // The open port's dispatcher, read without the port's AutoOpen.
    TSioMemoryDispatcher* D() {
        if (port->PortState() == psClosed)
            return nullptr;
        return static_cast<TSioMemoryDispatcher*>(port->Dispatcher());
    }

    bool WaitFor(const std::function<bool()>& pred,
                 std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) {
        return loop.inner.PumpUntil(pred, limit);
    }

    CountingLoop loop;
    base::ScopedMessageLoop installed{loop};
    base::RecordingErrorDisplay errors;
    std::map<uint16_t, std::shared_ptr<TMemoryLine>> lines{
        {1, std::make_shared<TMemoryLine>("COM1")}, {2, std::make_shared<TMemoryLine>("COM2")}};
    std::shared_ptr<TMemoryLine> line = lines[1];
    // Runs on each dispatcher the port makes, before it opens.
    std::function<void(TSioMemoryDispatcher&)> prepare;
    UserLog users;
    std::unique_ptr<TSioComPort> port = MakePort(); // destroyed first: it uses all the above
};

} // namespace serial::testing
