#include "app/sweep/readout.h"

#include "app/sweep/measurement.h"
#include "base/conversions.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace app {
namespace {

int32_t FirstIndexOf(std::span<const double> values, double value) {
    for (size_t i = 0; i < values.size(); ++i) {
        if (values[i] == value) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

} // namespace

MinimumRun FindMinimumRun(std::span<const double> ys) {
    MinimumRun run;
    if (ys.empty()) {
        return run;
    }
    double m = ys[0];
    for (double y : ys) {
        if (y < m) {
            m = y;
        }
    }
    run.First = FirstIndexOf(ys, m);
    size_t i = static_cast<size_t>(run.First);
    while (i < ys.size() && ys[i] == m) {
        ++i;
    }
    run.Length = static_cast<int32_t>(i) - run.First;
    run.Middle = run.First + run.Length / 2;
    return run;
}

double CenterSwrValue(std::span<const double> xs, std::span<const double> ys, uint32_t center_khz) {
    const size_t count = std::min(xs.size(), ys.size());
    const double c = static_cast<double>(center_khz);
    const int32_t j = FirstIndexOf(xs.first(count), c);
    if (j >= 0) {
        return ys[static_cast<size_t>(j)];
    }
    for (size_t i = 1; i < count; ++i) {
        if (xs[i - 1] < c && c < xs[i]) {
            const long double t = (static_cast<long double>(c) - xs[i - 1]) / (xs[i] - xs[i - 1]);
            const long double y = ys[i - 1] + t * (static_cast<long double>(ys[i]) - ys[i - 1]);
            return static_cast<double>(static_cast<long double>(std::llround(y * 100.0L)) * 0.01L);
        }
    }
    return 0.0;
}

SweepSummary SummarizeSweep(std::span<const double> xs, std::span<const double> ys,
                            uint32_t center_freq) {
    const size_t count = std::min(xs.size(), ys.size());
    const MinimumRun run = FindMinimumRun(ys.first(count));
    double m = 0.0;
    int64_t f = 0;
    if (run.First >= 0) {
        m = ys[static_cast<size_t>(run.First)];
        f = TruncToInt64(xs[static_cast<size_t>(run.Middle)]);
    }
    const uint32_t c = center_freq / 1000u;
    const double v = CenterSwrValue(xs, ys, c);
    return {"MinSWR: " + base::FloatToStr(m) + " @" + base::IntToStr(f) + "KHz",
            "CenterSWR: " + base::FloatToStr(v) + " @" + base::IntToStr(c) + "KHz"};
}

double SnapToStep(double x_khz, double step) {
    if (step == 0.0 || !std::isfinite(step)) {
        return x_khz;
    }
    const long double q = static_cast<long double>(x_khz) * 1000.0L / step;
    // Truncated to a signed 32-bit count, saturating rather than wrapping far off the plot.
    const auto t = static_cast<int32_t>(std::clamp<int64_t>(
        TruncToInt64(q), std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
    return static_cast<double>(static_cast<long double>(t) * step * 0.001L);
}

std::string CursorLabel(double swr, double g_khz) {
    return "SWR: " + base::FloatToStr(swr) + "@" + base::FloatToStr(g_khz) + "KHz";
}

} // namespace app
