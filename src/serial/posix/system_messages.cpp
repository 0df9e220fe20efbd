// Error numbers and texts on a POSIX system: errno translated into the system error numbers
// of the serial codes, and strerror's text for them.
#include "serial/system_messages.h"

#include <cerrno>
#include <cstring>

namespace serial {

namespace {

struct ErrnoNumber {
    int err;
    uint32_t number;
};

// The first entry for a number is the errno whose text that number shows.
constexpr ErrnoNumber kErrnoNumbers[] = {
    {ENOENT, 2}, {ENODEV, 2},      {ENXIO, 2}, {ENOTDIR, 3}, {EMFILE, 4},  {ENFILE, 4},
    {EBUSY, 5},  {EWOULDBLOCK, 5}, {EBADF, 6}, {ENOMEM, 8},  {EINVAL, 87},
};

// strerror_r comes in two forms; both end up here.
[[maybe_unused]] const char* ErrorText(int rc, const char* buffer) {
    return rc == 0 ? buffer : "";
}
[[maybe_unused]] const char* ErrorText(const char* text, const char*) {
    return text;
}

std::string ErrnoText(int err) {
    char buffer[256] = {};
    const char* text = ErrorText(strerror_r(err, buffer, sizeof buffer), buffer);
    return text != nullptr ? std::string(text) : std::string();
}

} // namespace

uint32_t SystemErrorFromErrno(int err) {
    if (err == 0) {
        return 0;
    }
    for (const ErrnoNumber& entry : kErrnoNumbers) {
        if (entry.err == err) {
            return entry.number;
        }
    }
    return kErrnoTag | (static_cast<uint32_t>(err) & 0xFFFF);
}

int32_t CodeFromErrno(int err) {
    return -static_cast<int32_t>(SystemErrorFromErrno(err));
}

int CarriedErrno(int64_t code_or_number) {
    const uint64_t number = code_or_number < 0 ? static_cast<uint64_t>(-code_or_number)
                                               : static_cast<uint64_t>(code_or_number);
    if ((number & ~uint64_t{0xFFFF}) != kErrnoTag) {
        return 0;
    }
    return static_cast<int>(number & 0xFFFF);
}

std::string PlatformSystemMessage(uint32_t number) {
    if (const int err = CarriedErrno(number); err != 0) {
        return ErrnoText(err);
    }
    for (const ErrnoNumber& entry : kErrnoNumbers) {
        if (entry.number == number) {
            return ErrnoText(entry.err);
        }
    }
    return {};
}

} // namespace serial
