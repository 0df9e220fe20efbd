#include "app/com_port_adapter.h"

namespace app {

ComPortAdapter::ComPortAdapter(QWidget* dialog_parent)
    : selector_(dialog_parent), port_(std::make_unique<serial::TSioComPort>()) {
    port_->SetName("SioComPort");
    port_->SetPortSelector(&selector_);
    // The stored layout changes only the line speed from the component's defaults.
    port_->BeginLoading();
    port_->SetBaud(kStoredBaud);
    port_->Loaded();
}

} // namespace app
