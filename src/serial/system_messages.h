// System error numbers and their texts.
//
// The serial layer's codes use the system error numbers the message table was written for
// (2 file not found, 3 path not found, 4 too many open files, 5 access denied, 6 invalid
// handle, 8 out of memory, 87 invalid parameter). A device layer on another system translates
// its own error numbers at its boundary with SystemErrorFromErrno. An errno that has no such
// number is kept whole in a tagged number (kErrnoTag | errno), so its code still tells which
// errno it was and its text is the system's own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace serial {

// Gives the operating system's message text for a system error number, or "" when the
// system has none. Tests pass their own to reach the empty-text case.
using SystemMessageSource = std::function<std::string(uint32_t number)>;

// Marks a system error number that is an errno without a counterpart in the numbering above.
// The bit is the one the numbering reserves for application-defined errors, so no real
// system error number has it.
inline constexpr uint32_t kErrnoTag = 0x2000'0000;

// The system error number for an errno: ENOENT, ENODEV, ENXIO -> 2; ENOTDIR -> 3; EMFILE,
// ENFILE -> 4; EBUSY, EWOULDBLOCK (a refused lock) -> 5; EBADF -> 6; ENOMEM -> 8; EINVAL ->
// 87; anything else kErrnoTag | errno. 0 stays 0.
[[nodiscard]] uint32_t SystemErrorFromErrno(int err);

// The serial code for an errno: minus its system error number.
[[nodiscard]] int32_t CodeFromErrno(int err);

// The errno a code or system error number carries (either sign), or 0 when it carries none.
[[nodiscard]] int CarriedErrno(int64_t code_or_number);

// This system's text for a system error number: for a tagged number the text of its errno;
// for the numbers SystemErrorFromErrno produces, the text of the errno they stand for; ""
// for every other number.
[[nodiscard]] std::string PlatformSystemMessage(uint32_t number);

// Makes a system text fit for a message box: every character below 32 becomes a space, then
// runs of spaces shrink to one (a text ending in a line break ends in one space).
[[nodiscard]] std::string CleanSystemMessage(std::string text);

} // namespace serial
