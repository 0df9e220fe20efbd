// The window's line matcher: the packet layer's TSioDataPacket bound to the window's com
// port, behind the window's IDataPacket seam. Its events reach the window's handlers on the
// UI thread (the matcher's synchronized events).
#pragma once

#include "app/sweep/components.h"
#include "packet/data_packet.h"

#include <memory>

namespace serial {
class TSioCustomComPort;
}

namespace app {

class DataPacketAdapter : public IDataPacket {
public:
    // port must outlive the adapter.
    explicit DataPacketAdapter(serial::TSioCustomComPort& port);
    ~DataPacketAdapter() override;

    [[nodiscard]] bool Enabled() const override { return matcher_->Enabled(); }
    void SetEnabled(bool enabled) override { matcher_->SetEnabled(enabled); }
    [[nodiscard]] packet::TPacketStartCond StartCond() const override {
        return matcher_->StartCond();
    }
    void SetStartCond(packet::TPacketStartCond cond) override { matcher_->SetStartCond(cond); }
    [[nodiscard]] packet::TPacketEndSet EndCond() const override { return matcher_->EndCond(); }
    void SetEndCond(packet::TPacketEndSet cond) override { matcher_->SetEndCond(cond); }
    [[nodiscard]] std::string EndString() const override { return matcher_->EndString(); }
    void SetEndString(const std::string& text) override { matcher_->SetEndString(text); }

    packet::TSioDataPacket& Matcher() { return *matcher_; }

private:
    std::unique_ptr<packet::TSioDataPacket> matcher_;
};

} // namespace app
