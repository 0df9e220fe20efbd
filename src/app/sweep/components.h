// What the main window uses of its two serial components, as plain interfaces. The com port
// and the packet matcher implement them (adapters in the window); tests use doubles that
// record what is written.
//
// Every call runs on the user-interface thread. Failures are exceptions (the serial layer's
// ESioException tree); nothing here returns an error code.
#pragma once

#include "packet/packet_types.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace app {

// SioComPort as the window uses it.
class IComPort {
public:
    virtual ~IComPort() = default;

    [[nodiscard]] virtual uint16_t ComNumber() const = 0;
    // While open, a new number closes the port and opens it again on that number.
    virtual void SetComNumber(uint16_t number) = 0;
    [[nodiscard]] virtual int32_t Baud() const = 0;
    virtual void SetBaud(int32_t baud) = 0;
    [[nodiscard]] virtual bool Open() const = 0;
    // Opens or closes the port; throws when the port cannot be opened.
    virtual void SetOpen(bool open) = 0;
    // Queues the bytes for writing in one piece. On a closed port the component applies its
    // own rule (it may open the port first). Throws when the bytes cannot be queued.
    virtual void PutString(const std::string& text) = 0;
    // The names ("COM3", ...) of the serial devices the system lists, in its order; empty
    // when there are none or the list cannot be read.
    [[nodiscard]] virtual std::vector<std::string> ListConnectedPorts() const = 0;
};

// SioDataPacket: the matcher properties that FormCreate sets, and its line event.
class IDataPacket {
public:
    virtual ~IDataPacket() = default;

    // Called with each complete line, terminator included. The matcher is the caller: it
    // shows what the handler raises and goes on matching.
    std::function<void(std::string_view)> OnStringPacket;
    // Called when a line did not complete in time; the matcher has dropped it and turned
    // itself off. Setting Enabled inside takes effect when the event has ended.
    std::function<void()> OnTimeout;

    [[nodiscard]] virtual bool Enabled() const = 0;
    virtual void SetEnabled(bool enabled) = 0;
    [[nodiscard]] virtual packet::TPacketStartCond StartCond() const = 0;
    virtual void SetStartCond(packet::TPacketStartCond cond) = 0;
    [[nodiscard]] virtual packet::TPacketEndSet EndCond() const = 0;
    virtual void SetEndCond(packet::TPacketEndSet cond) = 0;
    [[nodiscard]] virtual std::string EndString() const = 0;
    virtual void SetEndString(const std::string& text) = 0;
};

} // namespace app
