// Finding ports: the port the user picks when none is set, whether a port exists, and the
// com port among a form's components.
#include "serial/com_port.h"
#include "serial/platform.h"

#include <atomic>

namespace serial {

namespace {

std::atomic<IPortSelector*> g_port_selector{nullptr};

} // namespace

void TSioCustomComPort::SetDefaultPortSelector(IPortSelector* Selector) {
    g_port_selector = Selector;
}

IPortSelector* TSioCustomComPort::DefaultPortSelector() {
    return g_port_selector.load();
}

bool TSioCustomComPort::IsPortAvailable(uint16_t N) {
    if (N == 0)
        return false;
    // Asked of the device layer's naming, never by opening: a port in use still exists.
    TSioDispatcherPtr probe = CreatePlatformDispatcher(nullptr);
    return probe && probe->CheckPort("\\\\.\\COM" + std::to_string(N));
}

TSioCustomComPort* TSioCustomComPort::SearchComPort(const base::TComponent* Owner) {
    if (Owner == nullptr)
        return nullptr;
    for (size_t i = 0; i < Owner->ComponentCount(); ++i) {
        base::TComponent* c = Owner->Components(i);
        if (auto* port = dynamic_cast<TSioCustomComPort*>(c))
            return port;
        if (TSioCustomComPort* port = SearchComPort(c))
            return port;
    }
    return nullptr;
}

} // namespace serial
