// The POSIX device layer as the platform's serial device layer.
#include "serial/platform.h"

#include "serial/posix/port_names.h"
#include "serial/posix/posix_dispatcher.h"

namespace serial {

TSioDispatcherPtr CreatePlatformDispatcher(base::TComponent* Owner) {
    return TSioDispatcherPtr(new TSioPosixDispatcher(Owner));
}

std::vector<std::string> ListPlatformPorts() {
    return posix::ListPorts();
}

} // namespace serial
