#include "base/file_io.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace base {

namespace {

std::string SystemReason(int error) {
    return std::strerror(error);
}

// Closes a descriptor once.
struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    int Release() {
        const int f = fd;
        fd = -1;
        return f;
    }
};

std::string TooLarge(int64_t max_bytes) {
    return "it is larger than " + (max_bytes >= (1 << 20) ? std::to_string(max_bytes >> 20) + " MB"
                                                          : std::to_string(max_bytes) + " bytes");
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a write lands in: the path itself, or what a link points at.
std::string ResolveTarget(const std::string& path, std::string& error) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno != ENOENT) {
            error = SystemReason(errno);
        }
        return path; // a new file (or lstat's own reason)
    }
    if (S_ISLNK(st.st_mode)) {
        struct stat target {};
        if (::stat(path.c_str(), &target) != 0) {
            error = errno == ENOENT ? "it is a link to a file that does not exist"
                                    : SystemReason(errno);
            return path;
        }
        std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr),
                                                         &std::free);
        if (!real) {
            error = SystemReason(errno);
            return path;
        }
        if (S_ISDIR(target.st_mode)) {
            error = "it is a folder";
        }
        return real.get();
    }
    if (S_ISDIR(st.st_mode)) {
        error = "it is a folder";
    }
    return path;
}

// Process id, a counter and the clock: distinct across threads and processes.
std::string UniqueSuffix() {
    static std::atomic<uint32_t> counter{0};
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1)) + "-" +
           std::to_string(static_cast<uint64_t>(now) % 1000000007u);
}

std::string WriteAll(int fd, std::string_view bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return SystemReason(errno);
        }
        done += static_cast<size_t>(n);
    }
    return {};
}

} // namespace

std::string WriteFileReplacing(const std::string& path, std::string_view bytes) {
    if (path.empty()) {
        return "no file name";
    }
    std::string error;
    const std::string target = ResolveTarget(path, error);
    if (!error.empty()) {
        return error;
    }
    // The temporary file sits beside the target, so the rename never crosses file systems.
    // Created with the usual rights (the umask applies); an existing file's rights are kept.
    std::string temp;
    Fd file;
    for (int attempt = 0; attempt < 100 && file.fd < 0; ++attempt) {
        temp = FolderOf(target) + "/." + NameOf(target) + "." + UniqueSuffix() + ".tmp";
        file.fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (file.fd < 0 && errno != EEXIST) {
            return SystemReason(errno);
        }
    }
    if (file.fd < 0) {
        return SystemReason(EEXIST);
    }
    auto fail = [&temp](std::string reason) {
        ::unlink(temp.c_str());
        return reason;
    };
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0 && ::fchmod(file.fd, old.st_mode & 07777) != 0) {
        return fail(SystemReason(errno));
    }
    if (std::string reason = WriteAll(file.fd, bytes); !reason.empty()) {
        return fail(reason);
    }
    if (::fsync(file.fd) != 0) {
        return fail(SystemReason(errno));
    }
    if (::close(file.Release()) != 0) {
        return fail(SystemReason(errno));
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        return fail(SystemReason(errno));
    }
    return {};
}

std::string ReadWholeFile(const std::string& path, int64_t max_bytes, std::string& bytes) {
    bytes.clear();
    Fd file;
    file.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file.fd < 0) {
        return SystemReason(errno);
    }
    struct stat st {};
    if (::fstat(file.fd, &st) != 0) {
        return SystemReason(errno);
    }
    if (S_ISDIR(st.st_mode)) {
        return "it is a folder";
    }
    if (S_ISREG(st.st_mode) && st.st_size > max_bytes) {
        return TooLarge(max_bytes);
    }
    if (S_ISREG(st.st_mode)) {
        bytes.reserve(static_cast<size_t>(st.st_size));
    }
    char buf[1 << 16];
    for (;;) {
        const ssize_t n = ::read(file.fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return SystemReason(errno);
        }
        if (n == 0) {
            break;
        }
        if (static_cast<int64_t>(bytes.size()) + n > max_bytes) {
            bytes.clear();
            return TooLarge(max_bytes);
        }
        bytes.append(buf, static_cast<size_t>(n));
    }
    return {};
}

} // namespace base
