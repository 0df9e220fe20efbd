// The sweep as a table: the CSV export of the three measured curves.
#pragma once

#include <string>

namespace chart {
class TPlotSeries;
} // namespace chart

namespace app {

// The header "Frequency (kHz),R,Z,SWR", then one row per point index of the three curves:
// the frequency (X of the first curve that has the index) and each curve's Y, a field left
// empty where a curve has fewer points. Numbers in the shortest form that reads back to the
// same double, "." as decimal separator whatever the locale; LF line ends.
[[nodiscard]] std::string SweepCsv(const chart::TPlotSeries& r, const chart::TPlotSeries& z,
                                   const chart::TPlotSeries& swr);

} // namespace app
