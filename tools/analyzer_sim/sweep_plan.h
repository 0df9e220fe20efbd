// The frequencies one scan command asks for: start, start + step, ... up to and including
// end; a single point at start when start lies above end. Produced one at a time, so a
// command for millions of points costs nothing until its lines are sent.
#pragma once

#include "analyzer_sim/antenna_model.h"
#include "analyzer_sim/scan_command.h"

#include <cstdint>
#include <optional>

namespace analyzer_sim {

class SweepPlan {
public:
    explicit SweepPlan(const ScanCommand& command);

    // The next frequency, or nothing when the sweep is complete.
    [[nodiscard]] std::optional<int64_t> Next();

    // 1-based number of the point Next returned last (0 before the first).
    [[nodiscard]] int64_t Index() const { return index_; }

    [[nodiscard]] const AntennaModel& Model() const { return model_; }

private:
    ScanCommand command_;
    AntennaModel model_; // the antenna for this sweep's band
    int64_t next_hz_;    // the frequency Next returns
    bool done_ = false;  // every point was returned
    int64_t index_ = 0;
};

} // namespace analyzer_sim
