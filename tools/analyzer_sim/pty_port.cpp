#include "analyzer_sim/pty_port.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace analyzer_sim {

namespace {

[[noreturn]] void ThrowErrno(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

} // namespace

PtyMaster::PtyMaster() : master_(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
    if (!master_.Valid()) {
        ThrowErrno("posix_openpt");
    }
    if (::grantpt(master_.Get()) != 0 || ::unlockpt(master_.Get()) != 0) {
        ThrowErrno("unlockpt");
    }
    char name[128] = {};
    if (::ptsname_r(master_.Get(), name, sizeof name) != 0) {
        ThrowErrno("ptsname_r");
    }
    slave_path_ = name;
    // The settings of the pair live with the slave; the master reaches them.
    termios settings{};
    if (::tcgetattr(master_.Get(), &settings) != 0) {
        ThrowErrno("tcgetattr");
    }
    ::cfmakeraw(&settings);
    if (::tcsetattr(master_.Get(), TCSANOW, &settings) != 0) {
        ThrowErrno("tcsetattr");
    }
}

PortLink::PortLink(std::filesystem::path folder, int number)
    : path_(std::move(folder) / ("COM" + std::to_string(number))) {
    std::filesystem::create_directories(path_.parent_path());
}

PortLink::~PortLink() {
    std::error_code ec;
    if (!target_.empty() && std::filesystem::read_symlink(path_, ec).string() == target_) {
        std::filesystem::remove(path_, ec);
    }
}

void PortLink::Publish(const std::string& target) {
    const std::filesystem::path temporary =
        path_.parent_path() /
        ("." + path_.filename().string() + "." + std::to_string(::getpid()) + ".new");
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    std::filesystem::create_symlink(target, temporary);
    std::error_code ec;
    std::filesystem::rename(temporary, path_, ec);
    if (ec) {
        std::filesystem::remove(temporary, ignored);
        throw std::filesystem::filesystem_error("publishing the port", temporary, path_, ec);
    }
    target_ = target;
}

} // namespace analyzer_sim
