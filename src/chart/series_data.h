// The stored points of a series (its "Data" property in the window's stored layout).
//
// Layout, little-endian: flags (1 byte: 1 X values, 2 colours, 4 labels, 8 mark positions),
// count (int32), then per point X (double, when flag 1; else the ordinal), Y (double),
// colour (int32, when flag 2), label (when flag 4: length byte, 255 = int32 length follows;
// 8-bit text in Windows-1252), one double per further value list, mark position (34 bytes,
// when flag 8; read and dropped).
#pragma once

#include <cstdint>
#include <span>

namespace chart {

class TPlotSeries;

// Replaces the points of series with those stored in data (cleared, then added with AddXY
// inside BeginUpdate/EndUpdate so the X order applies; ManualData set). Every count and
// length is checked against the blob: a malformed blob leaves the series empty and raises
// base::EReadError.
void ReadSeriesData(TPlotSeries& series, std::span<const uint8_t> data);

} // namespace chart
