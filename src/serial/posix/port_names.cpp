// Port names to device paths and back, from the file system and sysfs.
#include "serial/posix/port_names.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <memory>
#include <set>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace serial::posix {

namespace {

constexpr std::string_view kDevicePrefix = "\\\\.\\";
// Unix98 pseudo-terminal slaves (/dev/pts/N) use these majors; they have no sysfs entry.
constexpr unsigned kPtySlaveFirstMajor = 136;
constexpr unsigned kPtySlaveLastMajor = 143;

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), s.begin(), [](char a, char b) {
               return std::toupper(static_cast<unsigned char>(a)) ==
                      std::toupper(static_cast<unsigned char>(b));
           });
}

std::optional<int> ParseNumber(std::string_view digits) {
    if (digits.empty() || digits.size() > 6 || digits[0] < '1' || digits[0] > '9')
        return std::nullopt;
    int n = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (ec != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return n;
}

bool IsPtySlave(dev_t rdev) {
    return major(rdev) >= kPtySlaveFirstMajor && major(rdev) <= kPtySlaveLastMajor;
}

// A terminal without opening it: a pseudo-terminal by its major, anything else by the tty
// class sysfs files it under.
bool IsTerminalNode(dev_t rdev, const PortRoots& roots) {
    if (IsPtySlave(rdev))
        return true;
    const std::string link =
        roots.sys + "/dev/char/" + std::to_string(major(rdev)) + ":" + std::to_string(minor(rdev));
    char target[PATH_MAX];
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
    if (n <= 0)
        return false;
    return std::string_view(target, static_cast<size_t>(n)).find("/tty/") != std::string::npos;
}

std::string RealPath(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : path;
}

std::string BaseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::optional<ResolvedPort> Accept(const std::string& path, bool pty_allowed,
                                   const PortRoots& roots) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode))
        return std::nullopt;
    if (!IsTerminalNode(st.st_rdev, roots) || (IsPtySlave(st.st_rdev) && !pty_allowed))
        return std::nullopt;
    ResolvedPort port{path, RealPath(path)};
    if (SerialWithoutUart(port.device, roots) || SerialWithoutUart(path, roots))
        return std::nullopt;
    return port;
}

struct CloseDir {
    void operator()(DIR* d) const { ::closedir(d); }
};

std::vector<std::string> DirectoryNames(const std::string& dir) {
    std::vector<std::string> names;
    std::unique_ptr<DIR, CloseDir> d(::opendir(dir.c_str()));
    if (!d)
        return names;
    while (const dirent* entry = ::readdir(d.get())) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    return names;
}

} // namespace

std::optional<int> ComNumber(std::string_view name) {
    if (StartsWithNoCase(name, kDevicePrefix))
        name.remove_prefix(kDevicePrefix.size());
    if (!StartsWithNoCase(name, "COM"))
        return std::nullopt;
    return ParseNumber(name.substr(3));
}

std::string TableDevice(int n) {
    for (const PortTableRange& range : kPortTable) {
        if (n >= range.first && n < range.first + kPortsPerRange)
            return std::string(range.prefix) + std::to_string(n - range.first);
    }
    return {};
}

std::optional<int> TableNumber(std::string_view kernel_name) {
    for (const PortTableRange& range : kPortTable) {
        if (kernel_name.substr(0, range.prefix.size()) != range.prefix)
            continue;
        const std::string_view digits = kernel_name.substr(range.prefix.size());
        int k = -1;
        if (digits == "0")
            k = 0;
        else if (const auto parsed = ParseNumber(digits))
            k = *parsed;
        if (k >= 0 && k < kPortsPerRange)
            return range.first + k;
    }
    return std::nullopt;
}

std::vector<std::string> PortsDirectories() {
    std::vector<std::string> dirs;
    if (const char* tool = std::getenv("TARNEL_PORTS_DIR"); tool != nullptr && *tool != '\0')
        dirs.emplace_back(tool);
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/')
        config = xdg;
    else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        config = std::string(home) + "/.config";
    if (!config.empty())
        dirs.push_back(config + "/tarnel-data-scan/ports");
    return dirs;
}

bool SerialWithoutUart(const std::string& device, const PortRoots& roots) {
    const std::string name = BaseName(device);
    if (name.rfind("ttyS", 0) != 0)
        return false;
    std::ifstream type(roots.sys + "/class/tty/" + name + "/type");
    int value = -1;
    return type >> value && value == 0;
}

std::optional<ResolvedPort> ResolvePort(std::string_view name, const PortRoots& roots) {
    const std::optional<int> n = ComNumber(name);
    if (!n)
        return std::nullopt;
    const std::string link_name = "COM" + std::to_string(*n);
    const char* tool = std::getenv("TARNEL_PORTS_DIR");
    const std::string tool_dir = tool != nullptr ? tool : "";
    for (const std::string& dir : PortsDirectories()) {
        const std::string link = dir + "/" + link_name;
        struct stat st {};
        if (::lstat(link.c_str(), &st) != 0)
            continue;
        // The first folder that names the port decides, even when its link is broken.
        if (!S_ISLNK(st.st_mode))
            return std::nullopt;
        return Accept(link, !tool_dir.empty() && dir == tool_dir, roots);
    }
    const std::string device = TableDevice(*n);
    if (device.empty())
        return std::nullopt;
    return Accept(roots.dev + "/" + device, false, roots);
}

std::vector<std::string> ListPorts(const PortRoots& roots) {
    std::set<int> numbers;
    const std::string tty_class = roots.sys + "/class/tty";
    for (const std::string& name : DirectoryNames(tty_class)) {
        const std::optional<int> n = TableNumber(name);
        if (!n)
            continue;
        struct stat st {};
        // Only entries backed by a device: virtual consoles and the like have none.
        if (::stat((tty_class + "/" + name + "/device").c_str(), &st) != 0)
            continue;
        if (!SerialWithoutUart(name, roots))
            numbers.insert(*n);
    }
    for (const std::string& dir : PortsDirectories()) {
        for (const std::string& name : DirectoryNames(dir)) {
            const std::optional<int> n = ComNumber(name);
            if (n && name == "COM" + std::to_string(*n) && ResolvePort(name, roots))
                numbers.insert(*n);
        }
    }
    std::vector<std::string> names;
    for (const int n : numbers)
        names.push_back("COM" + std::to_string(n));
    return names;
}

} // namespace serial::posix
