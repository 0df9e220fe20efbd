// Serial component doubles for the window's tests: the com port records every byte written
// and every setting, and can be told to refuse opening or writing; the data packet double
// logs every property write in order.
#pragma once

#include "app/sweep/components.h"
#include "base/error_display.h"
#include "base/exceptions.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace app::test {

class RecordingComPort : public IComPort {
public:
    [[nodiscard]] uint16_t ComNumber() const override { return com_number; }
    void SetComNumber(uint16_t number) override { com_number = number; }
    [[nodiscard]] int32_t Baud() const override { return baud; }
    void SetBaud(int32_t value) override { baud = value; }
    [[nodiscard]] bool Open() const override { return open; }
    void SetOpen(bool value) override {
        if (value && fail_open) {
            throw base::Exception("cannot open the port");
        }
        open = value;
        open_calls->push_back(value);
    }
    void PutString(const std::string& text) override {
        if (fail_write) {
            throw base::Exception("write refused");
        }
        writes.push_back(text);
    }
    [[nodiscard]] std::vector<std::string> ListConnectedPorts() const override {
        return connected_ports;
    }

    uint16_t com_number = 0;
    int32_t baud = 0;
    bool open = false;
    bool fail_open = false;
    bool fail_write = false;
    std::vector<std::string> writes;          // each PutString, byte for byte
    std::vector<std::string> connected_ports; // what the system lists, in its order
    // Every successful SetOpen; shared so a test can read it after the window is gone.
    std::shared_ptr<std::vector<bool>> open_calls = std::make_shared<std::vector<bool>>();
};

class RecordingDataPacket : public IDataPacket {
public:
    [[nodiscard]] bool Enabled() const override { return enabled; }
    void SetEnabled(bool value) override {
        Log("Enabled=" + std::string(value ? "true" : "false"));
        enabled = value;
    }
    [[nodiscard]] packet::TPacketStartCond StartCond() const override { return start_cond; }
    void SetStartCond(packet::TPacketStartCond cond) override {
        Log(cond == packet::scAnyData ? "StartCond=scAnyData" : "StartCond=scString");
        start_cond = cond;
    }
    [[nodiscard]] packet::TPacketEndSet EndCond() const override { return end_cond; }
    void SetEndCond(packet::TPacketEndSet cond) override {
        std::string text = "EndCond=[";
        text += cond.Contains(packet::ecString) ? "ecString" : "";
        text += cond.Contains(packet::ecPacketSize) ? ",ecPacketSize" : "";
        Log(text + "]");
        end_cond = cond;
    }
    [[nodiscard]] std::string EndString() const override { return end_string; }
    void SetEndString(const std::string& text) override {
        Log("EndString=" + text);
        end_string = text;
    }

    bool enabled = false;
    packet::TPacketStartCond start_cond = packet::scString;
    packet::TPacketEndSet end_cond;
    std::string end_string;
    std::vector<std::string> log;
    // Run at every property write, before it is logged (lets a test look at the window).
    std::function<void(const std::string&)> on_write;

    // Delivers a line the way the packet matcher does: through OnStringPacket, showing what
    // the handler raises.
    void Deliver(const std::string& line) {
        base::RunHandler([&] {
            if (OnStringPacket) {
                OnStringPacket(line);
            }
        });
    }

private:
    void Log(const std::string& entry) {
        if (on_write) {
            on_write(entry);
        }
        log.push_back(entry);
    }
};

} // namespace app::test
