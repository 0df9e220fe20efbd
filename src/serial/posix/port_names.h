// "COM<n>" names for the serial devices of a POSIX system. For each number the first of:
// a symbolic link COM<n> in $TARNEL_PORTS_DIR, one in
// ${XDG_CONFIG_HOME:-~/.config}/tarnel-data-scan/ports/, then the table of kernel names
// (kPortTable). Only character devices that are terminals are ports; a link to a
// pseudo-terminal counts only in $TARNEL_PORTS_DIR, where a test or a tool put it on
// purpose (a stale link elsewhere could name someone's shell). Nothing here opens a device.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace serial::posix {

// Where the device nodes and sysfs live; only tests point them elsewhere.
struct PortRoots {
    std::string dev = "/dev";
    std::string sys = "/sys";
};

// COM numbers first..first+15 are the kernel devices prefix0..prefix15.
struct PortTableRange {
    int first;
    std::string_view prefix;
};
inline constexpr PortTableRange kPortTable[] = {
    {1, "ttyUSB"}, {17, "ttyACM"}, {33, "ttyS"}, {49, "rfcomm"}};
inline constexpr int kPortsPerRange = 16;

// The number of "COM<n>" or "\\.\COM<n>" (any case), n >= 1; nothing for anything else.
[[nodiscard]] std::optional<int> ComNumber(std::string_view name);

// The kernel name of table entry n ("ttyACM2" for 19), or "" outside the table.
[[nodiscard]] std::string TableDevice(int n);
// The COM number of a kernel name in the table ("ttyACM2" gives 19).
[[nodiscard]] std::optional<int> TableNumber(std::string_view kernel_name);

// The ports folders in the order they are asked, from the environment.
[[nodiscard]] std::vector<std::string> PortsDirectories();

// A port the name stands for: the path to open and the device it ends at.
struct ResolvedPort {
    std::string path;   // what open() takes (the link or the table's node)
    std::string device; // the device node the path ends at, for messages
};
[[nodiscard]] std::optional<ResolvedPort> ResolvePort(std::string_view name,
                                                      const PortRoots& roots = {});

// A "ttyS" node whose UART type in sysfs is 0: the kernel keeps the name, but no port is
// behind it.
[[nodiscard]] bool SerialWithoutUart(const std::string& device, const PortRoots& roots);

// The "COM<n>" names of the devices sysfs lists and of the ports folders' links, ascending.
[[nodiscard]] std::vector<std::string> ListPorts(const PortRoots& roots = {});

} // namespace serial::posix
