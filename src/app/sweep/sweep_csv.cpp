#include "app/sweep/sweep_csv.h"

#include "chart/series.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace app {

namespace {

void AppendNumber(std::string& out, double value) {
    char buf[32];
    const auto result = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, result.ptr);
}

} // namespace

std::string SweepCsv(const chart::TPlotSeries& r, const chart::TPlotSeries& z,
                     const chart::TPlotSeries& swr) {
    const std::array<const chart::TPlotSeries*, 3> curves = {&r, &z, &swr};
    int32_t rows = 0;
    for (const auto* curve : curves) {
        rows = std::max(rows, curve->Count());
    }
    std::string out = "Frequency (kHz),R,Z,SWR\n";
    out.reserve(out.size() + static_cast<size_t>(rows) * 32);
    for (int32_t i = 0; i < rows; ++i) {
        for (const auto* curve : curves) {
            if (i < curve->Count()) {
                AppendNumber(out, curve->XValues().Value(i));
                break;
            }
        }
        for (const auto* curve : curves) {
            out += ',';
            if (i < curve->Count()) {
                AppendNumber(out, curve->YValues().Value(i));
            }
        }
        out += '\n';
    }
    return out;
}

} // namespace app
