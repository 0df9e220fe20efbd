// The simulated analyzer: a pseudo-terminal published as COM<n>, answering every scan
// command with a sweep of the antenna model.
//
// Threads: Run() is the loop; it runs either on the caller's thread or, after Start(), on a
// thread of the simulator's own. RequestStop(), Status() and WaitFor() may be called from
// any thread at any time; Stop() from any thread but the loop's. The destructor stops the
// loop and removes the port's link.
//
// The line: a command arriving mid-sweep abandons the sweep and starts the new one. While
// no program holds the port open, nothing is sent (a real line drops what nobody reads)
// and the loop checks every kDetachedPoll for the next open, so it neither spins nor loses
// the first command. A hang-up fault closes the pty; after the return time a new pty is
// published under the same name, by rename.
#pragma once

#include "analyzer_sim/options.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace analyzer_sim {

struct SimulatorStatus {
    uint64_t generation = 0;       // ptys published so far (1 + returns after a hang-up)
    std::string slave_path;        // the pty the link names now
    bool attached = false;         // a program sent bytes since the port was last found closed
    bool running = false;          // the loop runs
    uint64_t commands = 0;         // scan commands accepted
    uint64_t malformed = 0;        // received lines ignored
    uint64_t sweeps_completed = 0; // sweeps whose last byte went out
    uint64_t sweeps_abandoned = 0; // sweeps cut short by a new command or a closed port
    uint64_t hangups = 0;
    std::string error; // why the loop ended on its own (empty after a stop)
};

// Notes for the user (a malformed command, a hang-up); by default a line on stderr.
using NoteSink = std::function<void(std::string_view)>;
void NoteToStderr(std::string_view note);

// Paced output: 56000 baud, 10 bits a byte (start, 8 data, stop).
inline constexpr double kLineBytesPerSecond = 5600.0;
inline constexpr std::chrono::milliseconds kDetachedPoll{20};

class Simulator {
public:
    // Opens the first pty and publishes it. Throws std::system_error or
    // std::filesystem::filesystem_error when neither can be done.
    explicit Simulator(Options options, NoteSink notes = NoteToStderr);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    void Run();
    void Start();
    void RequestStop();
    void Stop();

    [[nodiscard]] SimulatorStatus Status() const;
    // Waits until pred holds for the status, or the limit passes; the last check decides.
    [[nodiscard]] bool WaitFor(const std::function<bool(const SimulatorStatus&)>& pred,
                               std::chrono::milliseconds limit) const;
    [[nodiscard]] std::string LinkPath() const;

private:
    class Loop;

    Options options_;
    NoteSink notes_;
    mutable std::mutex status_mutex_; // guards status_
    mutable std::condition_variable status_changed_;
    SimulatorStatus status_;
    std::unique_ptr<Loop> loop_; // after the status, which it updates from its constructor
    std::thread thread_;
};

} // namespace analyzer_sim
