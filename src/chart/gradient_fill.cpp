#include "chart/gradient_fill.h"

#include <algorithm>

namespace chart {

namespace {

int32_t Channel(int32_t a, int32_t b, int32_t k, int32_t n) {
    // Division truncating towards zero, as the colour steps are defined.
    return a + k * (b - a) / (n - 1);
}

} // namespace

base::TColor BandColor(base::TColor c0, base::TColor c1, int32_t k, int32_t n) {
    if (n <= 1) {
        return c0;
    }
    const int32_t r = Channel(base::RedOf(c0), base::RedOf(c1), k, n);
    const int32_t g = Channel(base::GreenOf(c0), base::GreenOf(c1), k, n);
    const int32_t b = Channel(base::BlueOf(c0), base::BlueOf(c1), k, n);
    return base::RGB(static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b));
}

void FillVerticalBands(TCanvas& canvas, const TRect& rect, base::TColor bottom_color,
                       base::TColor top_color) {
    const int64_t height = int64_t{rect.Bottom} - rect.Top;
    if (height <= 1 || rect.Width() <= 0) {
        return;
    }
    const int64_t n = std::min<int64_t>(height, 256);
    // Neighbouring bands of the same colour go out as one rectangle: a gentle gradient has
    // far fewer colours than bands, and each fill costs the canvas a call.
    int64_t run_low = 0;
    base::TColor run_color = BandColor(bottom_color, top_color, 0, static_cast<int32_t>(n));
    const auto flush = [&](int64_t run_high) {
        canvas.SetBrush(TPlotBrush{run_color, bsSolid});
        canvas.FillRect(TRect{rect.Left, static_cast<int32_t>(rect.Bottom - run_high), rect.Right,
                              static_cast<int32_t>(rect.Bottom - run_low)});
    };
    for (int64_t k = 1; k < n; ++k) {
        const base::TColor color =
            BandColor(bottom_color, top_color, static_cast<int32_t>(k), static_cast<int32_t>(n));
        if (color != run_color) {
            const int64_t low = height * k / n; // where band k starts
            flush(low);
            run_low = low;
            run_color = color;
        }
    }
    flush(height);
}

void FillGradient(TCanvas& canvas, const TRect& rect, const TPlotGradient& gradient) {
    const bool vertical = gradient.Direction == gdTopBottom || gradient.Direction == gdBottomTop;
    if (!vertical) {
        canvas.SetBrush(TPlotBrush{gradient.StartColor, bsSolid});
        canvas.FillRect(rect);
        return;
    }
    // gdBottomTop runs from EndColor at the bottom to StartColor at the top.
    const bool bottom_top = gradient.Direction == gdBottomTop;
    const base::TColor top = bottom_top ? gradient.StartColor : gradient.EndColor;
    const base::TColor bottom = bottom_top ? gradient.EndColor : gradient.StartColor;
    if (gradient.MidColor == base::clNone) {
        FillVerticalBands(canvas, rect, bottom, top);
        return;
    }
    const int32_t middle = static_cast<int32_t>((int64_t{rect.Top} + rect.Bottom) / 2);
    FillVerticalBands(canvas, TRect{rect.Left, rect.Top, rect.Right, middle}, gradient.MidColor,
                      top);
    FillVerticalBands(canvas, TRect{rect.Left, middle, rect.Right, rect.Bottom}, bottom,
                      gradient.MidColor);
}

} // namespace chart
