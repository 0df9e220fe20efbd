// The platform's serial device layer, chosen at build time: posix/ on Linux, win32/ on
// Windows. The com port asks here for a dispatcher and for the ports that exist.
#pragma once

#include "serial/dispatcher.h"

#include <string>
#include <vector>

namespace base {
class TComponent;
}

namespace serial {

// A new dispatcher of the platform's device layer, owned by Owner (may be null).
[[nodiscard]] TSioDispatcherPtr CreatePlatformDispatcher(base::TComponent* Owner);

// The "COM<n>" names of the serial devices the system reports as present, in no particular
// order; the device list that List Connected Ports shows.
[[nodiscard]] std::vector<std::string> ListPlatformPorts();

} // namespace serial
