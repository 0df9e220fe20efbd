#include "analyzer_sim/sweep_plan.h"

#include <limits>

namespace analyzer_sim {

SweepPlan::SweepPlan(const ScanCommand& command)
    : command_(command), model_(ModelForSweep(command.start_hz, command.end_hz)),
      next_hz_(command.start_hz) {}

std::optional<int64_t> SweepPlan::Next() {
    if (done_) {
        return std::nullopt;
    }
    const int64_t hz = next_hz_;
    ++index_;
    // The first point always goes out; later ones only while they stay at or below end.
    // The step is positive, so the sum can only overflow upwards.
    if (hz > command_.end_hz || hz > std::numeric_limits<int64_t>::max() - command_.step_hz) {
        done_ = true;
    } else {
        next_hz_ = hz + command_.step_hz;
        done_ = next_hz_ > command_.end_hz;
    }
    return hz;
}

} // namespace analyzer_sim
