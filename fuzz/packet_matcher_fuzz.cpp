// The packet matcher fed any bytes, on a com port whose dispatcher runs on an in-memory line
// (real read and dispatch threads; this thread pumps the message loop as the window's).
//
// Input: a mode byte, then for the window's settings (mode bit 0 clear) the received bytes;
// otherwise a settings block (start and end conditions, start and end strings, packet size,
// case and string inclusion) before them. Bits 1..7 of the mode give the size of each read
// (0: all at once), so a line and its CR LF can arrive in different reads.
//
// With the window's settings the lines delivered are exactly the stream cut after each
// CR LF, nothing lost, nothing shown as an error. With any settings a packet never holds
// more bytes than arrived, and nothing may crash or hang: every read must be taken and
// matched within a bound.
#include "base/exceptions.h"
#include "base/message_loop.h"
#include "base/recording_error_display.h"
#include "packet/data_packet.h"
#include "packet/packet_manager.h"
#include "serial/com_port.h"
#include "serial/support/memory_device.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace std::chrono_literals;

// The open port every input is matched on; opened once, since opening starts threads.
struct OpenPort {
    OpenPort() {
        port->SetCustomDispatcher([this](serial::TSioCustomComPort& cp) {
            return serial::TSioDispatcherPtr(new serial::testing::TSioMemoryDispatcher(&cp, line));
        });
        port->SetComNumber(1);
        port->SetBaud(56000);
        port->SetOpen(true);
    }
    ~OpenPort() {
        matcher.reset();
        port->SetOpen(false);
    }

    base::QueueMessageLoop loop;
    base::ScopedMessageLoop installed{loop};
    base::RecordingErrorDisplay errors;
    std::shared_ptr<serial::testing::TMemoryLine> line =
        std::make_shared<serial::testing::TMemoryLine>("COM1");
    std::unique_ptr<serial::TSioComPort> port = std::make_unique<serial::TSioComPort>();
    // Kept from input to input (a new one would make and release a manager each time, which
    // costs the port's handler registration); disarmed and set up afresh for each.
    std::unique_ptr<packet::TSioDataPacket> matcher = std::make_unique<packet::TSioDataPacket>();
};

OpenPort& Port() {
    static OpenPort open;
    return open;
}

// Takes n bytes from the front of the input (fewer when it is shorter).
std::string_view Take(std::string_view& input, size_t n) {
    const std::string_view taken = input.substr(0, n);
    input.remove_prefix(taken.size());
    return taken;
}

struct Settings {
    bool window = true;
    packet::TPacketStartCond start = packet::scAnyData;
    packet::TPacketEndSet end = packet::TPacketEndSet(packet::ecString);
    std::string start_string;
    std::string end_string = "\r\n";
    int32_t packet_size = 0;
    bool ignore_case = true;
    bool include_strings = true;
};

Settings ReadSettings(uint8_t mode, std::string_view& input) {
    Settings s;
    if ((mode & 1) == 0) {
        return s;
    }
    s.window = false;
    const std::string_view head = Take(input, 3);
    const uint8_t flags = head.size() > 0 ? static_cast<uint8_t>(head[0]) : 0;
    const uint8_t lengths = head.size() > 1 ? static_cast<uint8_t>(head[1]) : 0;
    s.packet_size = head.size() > 2 ? static_cast<uint8_t>(head[2]) : 0;
    s.start = (flags & 1) ? packet::scString : packet::scAnyData;
    s.end = packet::TPacketEndSet();
    if (flags & 2) {
        s.end.Include(packet::ecString);
    }
    if (flags & 4) {
        s.end.Include(packet::ecPacketSize);
    }
    s.ignore_case = (flags & 8) != 0;
    s.include_strings = (flags & 16) != 0;
    s.start_string = std::string(Take(input, lengths & 7));
    s.end_string = std::string(Take(input, (lengths >> 4) & 7));
    return s;
}

// Cuts the stream after each CR LF, as the window's settings must.
std::vector<std::string> ExpectedLines(std::string_view stream) {
    std::vector<std::string> lines;
    for (size_t end; (end = stream.find("\r\n")) != std::string_view::npos;) {
        lines.emplace_back(stream.substr(0, end + 2));
        stream.remove_prefix(end + 2);
    }
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    OpenPort& open = Port();
    std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
    const uint8_t mode = data[0];
    const Settings settings = ReadSettings(mode, input);
    const size_t read_size = mode >> 1;
    const std::string_view stream = input;

    std::vector<std::string> packets; // on this thread, the events' thread
    packet::TSioDataPacket& matcher = *open.matcher;
    matcher.SetEnabled(false);
    matcher.OnStringPacket = [&](packet::TSioDataPacket&, const std::string& bytes) {
        packets.push_back(bytes);
    };
    matcher.SetStartCond(settings.start);
    matcher.SetEndCond(settings.end);
    matcher.SetStartString(settings.start_string);
    matcher.SetEndString(settings.end_string);
    matcher.SetPacketSize(settings.packet_size);
    matcher.SetIgnoreCase(settings.ignore_case);
    matcher.SetIncludeStrings(settings.include_strings);
    const size_t errors_before = open.errors.Count();
    bool armed = true;
    try {
        matcher.SetComPort(open.port.get());
        matcher.SetEnabled(true);
    } catch (const base::Exception&) {
        armed = false; // settings the matcher refuses; it says so
        if (settings.window) {
            std::abort();
        }
    }

    if (armed) {
        packet::TSioDataPacketManager& manager = *matcher.InternalManager();
        uint64_t target = manager.BytesReceived();
        for (std::string_view rest = stream; !rest.empty();) {
            const std::string_view read = Take(rest, read_size == 0 ? rest.size() : read_size);
            target += read.size();
            open.line->Arrive(std::string(read));
            if (!open.loop.PumpUntil([&] { return manager.BytesReceived() >= target; }, 20s)) {
                std::abort(); // a read that was never taken: the matcher hangs
            }
        }
    }
    size_t delivered = 0;
    for (const std::string& p : packets) {
        delivered += p.size();
    }
    if (delivered > stream.size()) {
        std::abort();
    }
    if (settings.window &&
        (packets != ExpectedLines(stream) || open.errors.Count() != errors_before)) {
        std::abort();
    }

    // Nothing of this input reaches the next: the matcher is off and the bytes it held are
    // dropped with the next read's unmatched bytes.
    matcher.SetEnabled(false);
    matcher.OnStringPacket = nullptr;
    return 0;
}
