// The simulated analyzer as a process of its own, so the CPU, memory, threads and
// descriptors the benchmark counts in itself are the program's alone.
#pragma once

#include "e2e/window_support.h"
#include "support/pty_ports.h"

#include <filesystem>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace bench {

struct SimulatorProcess {
    pid_t pid = -1;
    // extra: further options (faults) after the port, the folder and --fast.
    SimulatorProcess(int port, const serial::testing::PortsFolders& folders, bool fast,
                     const std::vector<std::string>& extra = {}) {
        const std::string dir = folders.Tool().string();
        const std::string number = std::to_string(port);
        std::vector<const char*> args = {ANALYZER_SIM_PROGRAM, "--port", number.c_str(),
                                         "--ports-dir", dir.c_str()};
        if (fast)
            args.push_back("--fast");
        for (const std::string& arg : extra)
            args.push_back(arg.c_str());
        args.push_back(nullptr);
        pid = ::fork();
        if (pid == 0) {
            ::execv(ANALYZER_SIM_PROGRAM, const_cast<char* const*>(args.data()));
            ::_exit(127);
        }
        const auto link = folders.Tool() / ("COM" + number);
        app::WaitUntil([&] { return std::filesystem::is_symlink(link); }, 5000);
    }
    ~SimulatorProcess() {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
    }
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;
};

} // namespace bench
