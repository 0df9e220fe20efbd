// Pseudo-terminals published as serial ports for tests: a pty whose master side plays the
// remote device, temporary ports folders set as $TARNEL_PORTS_DIR and the per-user folder,
// and counts of the process's descriptors and threads. Plain C++, no project library.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace serial::testing {

// A pseudo-terminal; the test holds the master side.
class Pty {
public:
    Pty() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        char name[128] = {};
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
            ::ptsname_r(master_, name, sizeof name) != 0)
            throw std::runtime_error("no pseudo-terminal");
        slave_ = name;
    }
    ~Pty() { CloseMaster(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& SlavePath() const { return slave_; }
    int Master() const { return master_; }
    void CloseMaster() {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

    // Writes every byte (waiting while the pty is full, up to the limit).
    bool Write(const std::string& bytes,
               std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        size_t done = 0;
        while (done < bytes.size() && std::chrono::steady_clock::now() < deadline) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<size_t>(n);
                continue;
            }
            pollfd p{master_, POLLOUT, 0};
            (void)::poll(&p, 1, 10);
        }
        return done == bytes.size();
    }

    // Reads until count bytes came or the limit passed.
    std::string Read(size_t count,
                     std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        std::string got;
        while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
            char buffer[4096];
            const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - got.size()));
            if (n > 0) {
                got.append(buffer, static_cast<size_t>(n));
                continue;
            }
            pollfd p{master_, POLLIN, 0};
            (void)::poll(&p, 1, 10);
        }
        return got;
    }

    // Everything readable now.
    std::string ReadAvailable() {
        std::string got;
        char buffer[4096];
        ssize_t n = 0;
        while ((n = ::read(master_, buffer, sizeof buffer)) > 0)
            got.append(buffer, static_cast<size_t>(n));
        return got;
    }

private:
    int master_ = -1;
    std::string slave_;
};

// Sets an environment variable for its lifetime.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

// A temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tarnel-ports-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("no temporary folder");
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// $TARNEL_PORTS_DIR and the per-user ports folder, both temporary.
class PortsFolders {
public:
    std::filesystem::path Tool() const { return root_.Path() / "tool"; }
    std::filesystem::path User() const {
        return root_.Path() / "config" / "tarnel-data-scan" / "ports";
    }
    // Publishes target as COM<n> in folder.
    static void Link(const std::filesystem::path& folder, int n, const std::string& target) {
        std::filesystem::create_directories(folder);
        const auto link = folder / ("COM" + std::to_string(n));
        std::error_code ignored;
        std::filesystem::remove(link, ignored);
        std::filesystem::create_symlink(target, link);
    }

private:
    TempDir root_;
    ScopedEnv tool_{"TARNEL_PORTS_DIR", (root_.Path() / "tool").string()};
    ScopedEnv user_{"XDG_CONFIG_HOME", (root_.Path() / "config").string()};
};

// The descriptors of this process open on path.
inline int OpenDescriptorsOn(const std::string& path) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (std::filesystem::read_symlink(entry.path(), ec).string() == path)
            ++count;
    }
    return count;
}

// The threads of this process.
inline int ThreadCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/task"))
        ++count;
    return count;
}

// What /proc/self says about this process: threads, open descriptors, resident memory.
struct ProcessCounts {
    int threads = 0;
    int fds = 0; // the listing's own descriptor included, the same at every count
    long rss_kib = 0;
};

inline ProcessCounts CountProcess() {
    ProcessCounts counts;
    counts.threads = ThreadCount();
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++counts.fds;
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            status >> counts.rss_kib;
            break;
        }
        status.ignore(1 << 16, '\n');
    }
    return counts;
}

} // namespace serial::testing
