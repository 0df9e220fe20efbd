// The bytes that answer one scan command, piece by piece: "Start" CR LF, then one
// measurement line per point of the sweep, with the faults of the options woven in. Holds
// no time and does no I/O; the simulator paces and writes what it returns.
#pragma once

#include "analyzer_sim/options.h"
#include "analyzer_sim/scan_command.h"
#include "analyzer_sim/sweep_plan.h"

#include <chrono>
#include <optional>
#include <string>

namespace analyzer_sim {

// Which once-only faults have fired; kept across sweeps by the simulator.
struct FiredFaults {
    bool bad_line = false;
    bool noise = false;
    bool pause = false;
    bool hangup = false;
};

struct AnswerPiece {
    std::string bytes;
    std::chrono::milliseconds pause_after{0}; // silence after these bytes
    bool hangup_after = false;                // close the line once these bytes are out
};

class Answer {
public:
    // faults and fired must outlive the answer.
    Answer(const ScanCommand& command, const Faults& faults, FiredFaults& fired);

    // The next piece, or nothing when the sweep is complete.
    [[nodiscard]] std::optional<AnswerPiece> Next();

private:
    // True when the fault at line `at` applies to the current line, marking it fired.
    bool Fires(int64_t at, bool& fired_flag) const;
    [[nodiscard]] std::string NoiseLine() const;

    SweepPlan plan_;
    const Faults& faults_;
    FiredFaults& fired_;
    bool started_ = false; // "Start" went out
};

} // namespace analyzer_sim
