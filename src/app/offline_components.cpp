#include "app/offline_components.h"

#include "base/conversions.h"
#include "base/exceptions.h"

namespace app {

namespace {

[[noreturn]] void ThrowNoSerialLayer(uint16_t com_number) {
    throw base::Exception("COM" + base::IntToStr(com_number) +
                          " cannot be opened: this build of the program has no serial port "
                          "support");
}

} // namespace

void OfflineComPort::SetOpen(bool open) {
    if (open) {
        ThrowNoSerialLayer(com_number_);
    }
}

void OfflineComPort::PutString(const std::string&) {
    ThrowNoSerialLayer(com_number_);
}

} // namespace app
