// Measurement arithmetic: the analyzer's four raw integers to SWR, |Z| and R. Everything
// inside the routines is unsigned 32-bit arithmetic; sums and products wrap modulo 2^32 on
// purpose, and the caps and zero-divisor guards are part of the result.
#pragma once

#include <cstdint>

namespace app {

// SWR x 100 from the pair a, b: 100 (a + b) / (a - b), dividing by 1 unless a > b; at most 999.
[[nodiscard]] uint16_t CalcSWR(uint32_t a, uint32_t b);

// |Z| in ohms from the pair c, d: 50 c / d, dividing by 1 when d is 0; at most 2000.
[[nodiscard]] uint32_t CalcZ(uint32_t c, uint32_t d);

// R in ohms from |Z| and SWR x 100: s (z^2 + 2500) / (s^2 / 2 + 5000).
[[nodiscard]] uint16_t CalcR(uint16_t z, uint16_t s);

// The plot's limits: SWR x 100 above 600, and |Z| or R above 300, are drawn at the limit.
inline constexpr double kSwrClamp = 600.0;
inline constexpr double kOhmClamp = 300.0;

// One point as plotted: the routines in their order, the clamps, and SWR scaled to 1.00 units.
struct PlottedPoint {
    double Swr; // SWR (s x 0.01), on the left axis
    double Z;   // |Z| in ohms, on the right axis
    double R;   // R in ohms, on the right axis
};

// The decoded fields are signed; the routines take their bits as unsigned (-1 is 2^32 - 1).
[[nodiscard]] PlottedPoint ComputePoint(int32_t a, int32_t b, int32_t c, int32_t d);

// A frequency in Hz as the chart's X in kHz. Computed in extended precision and rounded once
// to double, so that the summary and the cursor find points by exact comparison.
[[nodiscard]] double FreqToKHz(uint32_t hz);

// The next sweep frequency: hz + step in extended precision, truncated toward zero, low 32
// bits kept. A non-finite or out-of-range sum saturates before the truncation.
[[nodiscard]] uint32_t AdvanceFreq(uint32_t hz, double step);
// True when hz + step passes 2^32 - 1, where AdvanceFreq's low 32 bits wrap to a low value.
[[nodiscard]] bool AdvanceWraps(uint32_t hz, double step);

// Truncation toward zero to a 64-bit whole number, saturating at the ends of the range; NaN
// gives 0. Used wherever a floating value becomes a frequency or a count.
[[nodiscard]] int64_t TruncToInt64(long double value);

} // namespace app
