// Set-up for the packet tests: a com port whose dispatcher runs on an in-memory line (real
// read, dispatch and write threads), a plain message loop that the test thread pumps as the
// user-interface thread, a recording error display, and matchers on that port.
#pragma once

#include "base/message_loop.h"
#include "base/recording_error_display.h"
#include "packet/data_packet.h"
#include "packet/packet_manager.h"
#include "serial/com_port.h"
#include "serial/support/memory_device.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace packet::testing {

using namespace std::chrono_literals;

class PacketTest : public ::testing::Test {
protected:
    PacketTest() {
        port->SetCustomDispatcher([this](serial::TSioCustomComPort& cp) {
            return serial::TSioDispatcherPtr(new serial::testing::TSioMemoryDispatcher(&cp, line));
        });
        port->SetComNumber(1);
        port->SetBaud(56000);
    }

    // A matcher on the port that records what it delivers (on the UI thread).
    TSioDataPacket& AddMatcher() {
        matchers.push_back(std::make_unique<TSioDataPacket>());
        TSioDataPacket& m = *matchers.back();
        m.OnStringPacket = [this](TSioDataPacket&, const std::string& data) {
            lines.push_back(data);
        };
        m.SetComPort(port.get());
        return m;
    }

    // Configured as the main window configures its matcher: every CR LF line, CR LF kept.
    TSioDataPacket& AddLineMatcher() {
        TSioDataPacket& m = AddMatcher();
        m.SetStartCond(scAnyData);
        m.SetEndCond(TPacketEndSet(ecString));
        m.SetEndString("\r\n");
        m.SetEnabled(true);
        return m;
    }

    TSioDataPacketManager& Manager() { return *matchers.front()->InternalManager(); }

    // Puts bytes on the wire and waits until the manager has read them (BufferPtr reaches
    // expect_held): a later Arrive is then a read of its own.
    void ArriveRead(const std::string& bytes, int32_t expect_held) {
        line->Arrive(bytes);
        ASSERT_TRUE(WaitFor([&] { return Manager().BufferPtr() == expect_held; }))
            << "held " << Manager().BufferPtr();
    }

    // Puts bytes on the wire and waits until the manager has read and matched them all.
    void Feed(const std::string& bytes) {
        const uint64_t target = Manager().BytesReceived() + bytes.size();
        line->Arrive(bytes);
        ASSERT_TRUE(WaitFor([&] { return Manager().BytesReceived() >= target; }))
            << "received " << Manager().BytesReceived() << " of " << target;
    }

    bool WaitFor(const std::function<bool()>& pred, std::chrono::milliseconds limit = 10s) {
        return loop.PumpUntil(pred, limit);
    }
    bool WaitLines(size_t n) {
        return WaitFor([&] { return lines.size() >= n; });
    }

    base::QueueMessageLoop loop;
    base::ScopedMessageLoop installed{loop};
    base::RecordingErrorDisplay errors;
    std::shared_ptr<serial::testing::TMemoryLine> line =
        std::make_shared<serial::testing::TMemoryLine>("COM1");
    std::unique_ptr<serial::TSioComPort> port = std::make_unique<serial::TSioComPort>();
    std::vector<std::string> lines;                        // UI thread
    std::vector<std::unique_ptr<TSioDataPacket>> matchers; // go before the port
};

} // namespace packet::testing
