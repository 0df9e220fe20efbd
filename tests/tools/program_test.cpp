// The simulator's program as the run command starts it: options, its link, a sweep, and a
// clean end on a signal. Runs the built program in a child process.
#include "program_end.h"
#include "support/pty_ports.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace analyzer_sim {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// Ignores SIGINT in this process (the child inherits it through exec); returns what was set.
struct sigaction IgnoreInterrupt() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction old {};
    ::sigaction(SIGINT, &ignore, &old);
    return old;
}

// The program in a child process; killed outright if a test leaves it running.
class Child {
public:
    explicit Child(std::vector<std::string> args) {
        args.insert(args.begin(), ANALYZER_SIM_PROGRAM);
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        // Its texts go nowhere, so the test's output stays readable.
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        // Started with SIGINT ignored, as a shell starts a background job.
        const struct sigaction old_int = IgnoreInterrupt();
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        ::sigaction(SIGINT, &old_int, nullptr);
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() {
        if (pid_ > 0 && !status_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    [[nodiscard]] bool Started() const { return pid_ > 0; }
    void Signal(int sig) const { ::kill(pid_, sig); }

    // The exit status once the child has ended, or nothing after the limit.
    std::optional<int> Wait(milliseconds limit = milliseconds(10000)) {
        const auto deadline = steady_clock::now() + limit;
        while (!status_) {
            int raw = 0;
            const pid_t done = ::waitpid(pid_, &raw, WNOHANG);
            if (done == pid_) {
                status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
                break;
            }
            if (steady_clock::now() >= deadline) {
                break;
            }
            ::poll(nullptr, 0, 5);
        }
        return status_;
    }

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

// Waits for the link to appear, up to the limit.
bool WaitForLink(const std::filesystem::path& link, milliseconds limit = milliseconds(10000)) {
    const auto deadline = steady_clock::now() + limit;
    while (!std::filesystem::is_symlink(link)) {
        if (steady_clock::now() >= deadline) {
            return false;
        }
        ::poll(nullptr, 0, 5);
    }
    return true;
}

TEST(ProgramTest, AnswersOnItsLinkAndRemovesItOnEachEndingSignal) {
    for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(sig);
        serial::testing::TempDir folder;
        const std::filesystem::path link = folder.Path() / "ports" / "COM9";
        Child child({"--port", "9", "--ports-dir", (folder.Path() / "ports").string(), "--fast"});
        ASSERT_TRUE(child.Started());
        ASSERT_TRUE(WaitForLink(link));
        {
            testing::ProgramEnd end(link);
            ASSERT_TRUE(end.Write("scanr 14000000 14001000 1000\r\n"));
            const std::vector<std::string> lines = end.ReadLines(3);
            ASSERT_EQ(lines.size(), 3u);
            EXPECT_EQ(lines[0], "Start\r\n");
        }
        child.Signal(sig);
        EXPECT_EQ(child.Wait(), 0);
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    }
}

TEST(ProgramTest, BadOptionsEndWithStatusTwoAndPublishNothing) {
    serial::testing::TempDir folder;
    const std::string ports = (folder.Path() / "ports").string();
    const std::vector<std::vector<std::string>> cases = {
        {"--ports-dir", ports, "--port", "0"},
        {"--ports-dir", ports, "--bad-line"},
        {"--ports-dir", ports, "--no-such-option", "1"},
    };
    for (const auto& args : cases) {
        Child child(args);
        ASSERT_TRUE(child.Started());
        EXPECT_EQ(child.Wait(), 2) << args[2];
    }
    EXPECT_FALSE(std::filesystem::exists(folder.Path() / "ports"));
    Child help({"--help"});
    EXPECT_EQ(help.Wait(), 0);
}

} // namespace
} // namespace analyzer_sim
