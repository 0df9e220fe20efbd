// Permission problems with serial devices, in words the user can act on.
#include "serial/posix/device_access.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace serial::posix {

std::string DeviceGroup(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return {};
    long size = ::sysconf(_SC_GETGR_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<size_t>(size > 0 ? size : 16384));
    group entry{};
    group* found = nullptr;
    if (::getgrgid_r(st.st_gid, &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr)
        return {};
    return found->gr_name;
}

std::string AccessDeniedText(const std::string& path, const std::string& group) {
    std::string text = "Access to the serial device " + path + " was denied";
    if (group == "dialout") {
        text += ". The device belongs to the group \"dialout\": add your user to it (sudo "
                "usermod -aG dialout $USER), then log out and log in again";
    }
    return text;
}

} // namespace serial::posix
