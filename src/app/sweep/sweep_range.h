// Band presets and the sweep range: from the edits' whole kHz numbers to the frequencies in
// Hz that the sweep runs over, with the analyzer's 1 MHz and 60 MHz limits.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace app {

// One item of the band quick-setup group and the edit texts (kHz) it writes.
struct BandPreset {
    std::string_view Caption;
    std::string_view Centre;
    std::string_view Width;
    std::string_view Step;
};

// The nine items, in order; item 3 matches the edits' initial texts.
inline constexpr std::array<BandPreset, 9> kBandPresets = {{
    {"80 Meter (  3 MHz)", "3650", "1000", "10"},
    {"40 Meter (  7 MHz)", "7100", "1000", "10"},
    {"30 Meter (10 MHz)", "10125", "1000", "10"},
    {"20 Meter (14 MHz)", "14175", "1000", "10"},
    {"17 Meter (18 MHz)", "18118", "1000", "10"},
    {"15 Meter (21 MHz)", "21225", "1000", "10"},
    {"12 Meter (24 MHz)", "24940", "1000", "10"},
    {"10 Meter (28 MHz)", "28850", "1000", "10"},
    {" 6 Meter  (50 MHz)", "50110", "1000", "10"},
}};

// The item selected when the window is created.
inline constexpr int kDefaultBandIndex = 3;

// The texts for a selected index; no item (-1, or any index outside the list) gives the
// 7050 kHz band.
[[nodiscard]] BandPreset BandForIndex(int index);

inline constexpr uint32_t kLowestSweepStart = 1000000;  // Hz
inline constexpr uint32_t kHighestSweepStop = 60000000; // Hz

// Steps below 1 Hz never advance the sweep; steps that do not fit the 32-bit frequency
// range would wrap it. Start Scan refuses both.
inline constexpr double kMinScanStep = 1.0;          // Hz
inline constexpr double kMaxScanStep = 4294967295.0; // Hz

// kHz as typed to Hz: the whole number times 1000, modulo 2^32.
[[nodiscard]] uint32_t KHzToHz(int32_t khz);

// Centre minus half the width (unsigned halving, wrapping), without limits.
[[nodiscard]] uint32_t RawSweepStart(uint32_t centre, uint32_t width);
// Centre plus half the width (wrapping), without limits.
[[nodiscard]] uint32_t RawSweepStop(uint32_t centre, uint32_t width);

// The start with the lower limit: a start below 1 MHz taken as a signed value (so also a
// negative start) becomes 1 MHz.
[[nodiscard]] uint32_t LimitedSweepStart(uint32_t centre, uint32_t width);
// The stop with the upper limit: a stop above 60 MHz (unsigned) becomes 60 MHz.
[[nodiscard]] uint32_t LimitedSweepStop(uint32_t centre, uint32_t width);

// True for a step in Hz that Start Scan accepts (at least 1 Hz, finite, fits 32 bits).
[[nodiscard]] bool IsUsableScanStep(double step);

} // namespace app
