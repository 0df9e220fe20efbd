// What the user is told when the system refuses access to a serial device.
#pragma once

#include <string>

namespace serial::posix {

// The name of the group that owns the device node, or "" when it cannot be told.
[[nodiscard]] std::string DeviceGroup(const std::string& path);

// Says that access to the device at path was denied; when its group is "dialout", also how
// the user gets in (join the group, log in again).
[[nodiscard]] std::string AccessDeniedText(const std::string& path, const std::string& group);

} // namespace serial::posix
