// The serial components the window holds while the program has no serial layer to give it:
// they keep the settings written to them, and opening the port (also the implicit open of a
// write) fails with a message that says why. The window never takes a failed open for success.
#pragma once

#include "app/sweep/components.h"

namespace app {

class OfflineComPort : public IComPort {
public:
    [[nodiscard]] uint16_t ComNumber() const override { return com_number_; }
    void SetComNumber(uint16_t number) override { com_number_ = number; }
    [[nodiscard]] int32_t Baud() const override { return baud_; }
    void SetBaud(int32_t baud) override { baud_ = baud; }
    [[nodiscard]] bool Open() const override { return false; }
    // Closing is always possible; opening throws base::Exception.
    void SetOpen(bool open) override;
    // Throws base::Exception: the port cannot be opened to write.
    void PutString(const std::string& text) override;

private:
    uint16_t com_number_ = 0;
    int32_t baud_ = 0;
};

class OfflineDataPacket : public IDataPacket {
public:
    [[nodiscard]] bool Enabled() const override { return enabled_; }
    void SetEnabled(bool enabled) override { enabled_ = enabled; }
    [[nodiscard]] packet::TPacketStartCond StartCond() const override { return start_cond_; }
    void SetStartCond(packet::TPacketStartCond cond) override { start_cond_ = cond; }
    [[nodiscard]] packet::TPacketEndSet EndCond() const override { return end_cond_; }
    void SetEndCond(packet::TPacketEndSet cond) override { end_cond_ = cond; }
    [[nodiscard]] std::string EndString() const override { return end_string_; }
    void SetEndString(const std::string& text) override { end_string_ = text; }

private:
    bool enabled_ = false;
    packet::TPacketStartCond start_cond_ = packet::scString;
    packet::TPacketEndSet end_cond_;
    std::string end_string_;
};

} // namespace app
