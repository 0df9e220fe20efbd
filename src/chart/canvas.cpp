#include "chart/canvas.h"

#include <cstdlib>

namespace chart {

namespace {

// a * b / c rounded to the nearest integer, halves away from zero.
int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
    const int64_t product = int64_t{a} * b;
    const int64_t half = c / 2;
    return static_cast<int32_t>(product >= 0 ? (product + half) / c : (product - half) / c);
}

} // namespace

int32_t TPlotFont::PointSize() const {
    return MulDiv(PixelSize, 72, kPixelsPerInch);
}

void TPlotFont::SetPointSize(int32_t points) {
    PixelSize = MulDiv(points, kPixelsPerInch, 72);
}

} // namespace chart
