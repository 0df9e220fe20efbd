// The stored-points reader over any blob, on a line series as the window has them.
// A blob is either read whole (the series then holds its points, X ascending) or refused
// with EReadError leaving the series empty.
#include "base/exceptions.h"
#include "chart/series.h"
#include "chart/series_data.h"

#include <cstdint>
#include <cstdlib>
#include <span>

namespace {

void Read(chart::TPlotSeries& series, std::span<const uint8_t> blob) {
    series.AddXY(1.0, 2.0); // something to replace
    try {
        chart::ReadSeriesData(series, blob);
    } catch (const base::EReadError&) {
        if (series.Count() != 0) {
            std::abort();
        }
        return;
    }
    const chart::TPlotValueList& x = series.XValues();
    for (int32_t i = 1; i < series.Count(); ++i) {
        if (x.Data()[i - 1] > x.Data()[i]) {
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> blob(data, size);
    chart::TPlotLineSeries line;
    Read(line, blob);
    return 0;
}
