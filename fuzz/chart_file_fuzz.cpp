// The chart file reader over any bytes. A file it accepts is written again and must read
// back to the same snapshot, and one that fits the window's chart is put on a chart as the
// window's Open does; a file it refuses must say why.
#include "chart/chart_file.h"
#include "chart/stored_chart.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const chart::ChartFileReadResult read = chart::ReadChartFile(bytes);
    if (!read.Chart) {
        if (read.Error.empty()) {
            std::abort();
        }
        return 0;
    }
    const chart::ChartFileReadResult again =
        chart::ReadChartFile(chart::WriteChartFile(*read.Chart));
    if (!again.Chart || !(*again.Chart == *read.Chart)) {
        std::abort();
    }

    chart::test::StoredChart window;
    for (size_t i = 0; i < window.series.size(); ++i) {
        window.series[i]->SetName("Series" + std::to_string(i + 1));
    }
    if (!chart::FitsChart(window.plot, *read.Chart).empty()) {
        return 0;
    }
    chart::ApplyChartSettings(window.plot, *read.Chart);
    for (size_t i = 0; i < window.series.size(); ++i) {
        chart::ReplacePoints(*window.series[i], read.Chart->Series[i]);
    }
    // What the chart now holds is what the file said.
    const chart::ChartDescription loaded = chart::DescribeChart(window.plot);
    if (!(loaded.Series == read.Chart->Series)) {
        std::abort();
    }
    return 0;
}
