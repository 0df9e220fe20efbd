#include "app/data_packet_adapter.h"

#include "serial/com_port.h"

namespace app {

DataPacketAdapter::DataPacketAdapter(serial::TSioCustomComPort& port)
    : matcher_(std::make_unique<packet::TSioDataPacket>()) {
    matcher_->SetName("SioDataPacket");
    // As the window's layout stores it; FormCreate then sets the real line end.
    matcher_->BeginLoading();
    matcher_->SetComPort(&port);
    matcher_->SetEnabled(true);
    matcher_->SetStartCond(packet::scAnyData);
    matcher_->SetEndCond(packet::TPacketEndSet(packet::ecString));
    matcher_->SetEndString("\\r\\n");
    matcher_->SetPacketSize(0);
    matcher_->Loaded();
    matcher_->OnStringPacket = [this](packet::TSioDataPacket&, const std::string& data) {
        if (OnStringPacket)
            OnStringPacket(data);
    };
    matcher_->OnTimeout = [this](packet::TSioDataPacket&) {
        if (OnTimeout)
            OnTimeout();
    };
}

DataPacketAdapter::~DataPacketAdapter() {
    // Detached first: a delivery in progress for it is cancelled before the events go.
    matcher_->SetComPort(nullptr);
}

} // namespace app
