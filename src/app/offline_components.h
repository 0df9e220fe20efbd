// The packet matcher the window holds until the packet layer gives it the real one: it keeps
// the settings written to it and delivers no line.
#pragma once

#include "app/sweep/components.h"

namespace app {

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
