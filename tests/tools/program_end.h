// The program's end of the simulator's line, as the tests hold it: the pty slave the
// port's link names, opened like a serial port, with reads bounded by a deadline.
#pragma once

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace analyzer_sim::testing {

class ProgramEnd {
public:
    explicit ProgramEnd(const std::filesystem::path& link) {
        fd_ = ::open(std::filesystem::read_symlink(link).c_str(),
                     O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) {
            throw std::runtime_error("cannot open " + link.string());
        }
    }
    ~ProgramEnd() { Close(); }
    ProgramEnd(const ProgramEnd&) = delete;
    ProgramEnd& operator=(const ProgramEnd&) = delete;

    void Close() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = -1;
    }

    bool Write(const std::string& bytes) {
        return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    // The next n lines, CR LF included; fewer when the deadline passes or the line hangs up.
    std::vector<std::string>
    ReadLines(size_t n, std::chrono::milliseconds limit = std::chrono::milliseconds(10000)) {
        std::vector<std::string> lines;
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (lines.size() < n) {
            const size_t end = pending_.find("\r\n");
            if (end != std::string::npos) {
                lines.push_back(pending_.substr(0, end + 2));
                pending_.erase(0, end + 2);
                continue;
            }
            if (!Fill(deadline)) {
                break;
            }
        }
        return lines;
    }

    // Reads until the line hangs up (true) or the deadline passes (false).
    bool WaitForHangUp(std::chrono::milliseconds limit = std::chrono::milliseconds(10000)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (Fill(deadline)) {
        }
        return hung_up_;
    }

private:
    // Appends what arrives next; false on a hang-up or at the deadline.
    bool Fill(std::chrono::steady_clock::time_point deadline) {
        while (!hung_up_) {
            char buffer[4096];
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n > 0) {
                pending_.append(buffer, static_cast<size_t>(n));
                return true;
            }
            if (n == 0 || (n < 0 && errno == EIO)) {
                hung_up_ = true;
                break;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                break;
            }
            pollfd p{fd_, POLLIN, 0};
            (void)::poll(&p, 1, static_cast<int>(left.count()));
        }
        return false;
    }

    int fd_ = -1;
    std::string pending_; // received bytes not yet returned as lines
    bool hung_up_ = false;
};

} // namespace analyzer_sim::testing
