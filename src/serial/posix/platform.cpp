// Placeholder until the POSIX device layer lands: no dispatcher, no ports.
#include "serial/platform.h"

namespace serial {

TSioDispatcherPtr CreatePlatformDispatcher(base::TComponent*) {
    return nullptr;
}

std::vector<std::string> ListPlatformPorts() {
    return {};
}

} // namespace serial
