#include "app/sweep/sweep_range.h"

namespace app {

BandPreset BandForIndex(int index) {
    if (index >= 0 && static_cast<size_t>(index) < kBandPresets.size()) {
        return kBandPresets[static_cast<size_t>(index)];
    }
    return {"", "7050", "1000", "10"};
}

uint32_t KHzToHz(int32_t khz) {
    return static_cast<uint32_t>(khz) * 1000u;
}

uint32_t RawSweepStart(uint32_t centre, uint32_t width) {
    return centre - width / 2u;
}

uint32_t RawSweepStop(uint32_t centre, uint32_t width) {
    return centre + width / 2u;
}

uint32_t LimitedSweepStart(uint32_t centre, uint32_t width) {
    const uint32_t start = RawSweepStart(centre, width);
    return static_cast<int32_t>(start) < static_cast<int32_t>(kLowestSweepStart) ? kLowestSweepStart
                                                                                 : start;
}

uint32_t LimitedSweepStop(uint32_t centre, uint32_t width) {
    const uint32_t stop = RawSweepStop(centre, width);
    return stop > kHighestSweepStop ? kHighestSweepStop : stop;
}

bool IsUsableScanStep(double step) {
    return step >= kMinScanStep && step <= kMaxScanStep;
}

} // namespace app
