// The sweep summary and the cursor readout as plain maths over the SWR curve's points
// (X in kHz, ascending; Y the plotted SWR). Points are found by exact comparison of doubles,
// which holds because X is always computed by FreqToKHz.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace app {

// The lowest SWR of a sweep: the first run of the minimum and the point in its middle (the
// later of the two middle points of an even run).
struct MinimumRun {
    int32_t First = -1;  // index of the first point with the lowest value; -1 for no points
    int32_t Length = 0;  // consecutive points from First with exactly that value
    int32_t Middle = -1; // First + Length / 2
};
[[nodiscard]] MinimumRun FindMinimumRun(std::span<const double> ys);

// The SWR reported for the centre frequency c (whole kHz): the Y of the first point whose X
// equals c exactly. When no point lies exactly there, the value is interpolated linearly
// between the neighbouring points and rounded to hundredths (the SWR's resolution); when c
// lies outside the swept points, or there are none, it is 0: below the SWR axis, where
// otherwise only a line of four zero fields lands.
[[nodiscard]] double CenterSwrValue(std::span<const double> xs, std::span<const double> ys,
                                    uint32_t center_khz);

// "MinSWR: " m " @" f "KHz" and "CenterSWR: " v " @" c "KHz". With no points at all the
// minimum reads 0 at 0 kHz.
struct SweepSummary {
    std::string SWRLabel;
    std::string CenterSWRLabel;
};
[[nodiscard]] SweepSummary SummarizeSweep(std::span<const double> xs, std::span<const double> ys,
                                          uint32_t center_freq);

// The mouse frequency x (kHz) snapped down to a whole multiple of the step (Hz), counted
// from 0 Hz, in kHz. With a step of zero (or not finite) there is no grid and x is kept.
[[nodiscard]] double SnapToStep(double x_khz, double step);

// "SWR: " y "@" g "KHz".
[[nodiscard]] std::string CursorLabel(double swr, double g_khz);

} // namespace app
