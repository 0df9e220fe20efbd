// Wake-ups a poll can wait on: an eventfd that is signalled and cleared.
#pragma once

#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

namespace serial::posix {

[[nodiscard]] inline int MakeEventFd() {
    return ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

inline void SignalEventFd(int event_fd) {
    if (event_fd >= 0) {
        const uint64_t one = 1;
        (void)!::write(event_fd, &one, sizeof one);
    }
}

inline void ClearEventFd(int event_fd) {
    if (event_fd >= 0) {
        uint64_t count = 0;
        (void)!::read(event_fd, &count, sizeof count);
    }
}

} // namespace serial::posix
