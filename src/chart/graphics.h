// Plain drawing attributes shared by the chart's elements: rectangles in client pixels,
// pens, brushes and gradients. They hold settings only; painting reads them.
#pragma once

#include "base/colors.h"

#include <cstdint>

namespace chart {

// A rectangle in the chart control's client pixels (x right, y down); Right and Bottom are
// exclusive edges, so Right - Left is the width.
struct TRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;

    int32_t Width() const { return Right - Left; }
    int32_t Height() const { return Bottom - Top; }
    bool operator==(const TRect&) const = default;
};

enum TPenStyle : uint8_t { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear };

struct TPlotPen {
    base::TColor Color = base::clBlack;
    int32_t Width = 1;
    TPenStyle Style = psSolid;
    bool Visible = true;
    bool operator==(const TPlotPen&) const = default;
};

enum TBrushStyle : uint8_t { bsSolid, bsClear };

struct TPlotBrush {
    base::TColor Color = base::clWhite;
    TBrushStyle Style = bsSolid;
    bool operator==(const TPlotBrush&) const = default;
};

enum TGradientDirection : uint8_t { gdTopBottom, gdBottomTop, gdLeftRight, gdRightLeft };

// A linear gradient fill; MidColor clNone means "no middle colour".
struct TPlotGradient {
    bool Visible = false;
    base::TColor StartColor = base::clWhite;
    base::TColor MidColor = base::clNone;
    base::TColor EndColor = base::clYellow;
    TGradientDirection Direction = gdTopBottom;
    bool operator==(const TPlotGradient&) const = default;
};

} // namespace chart
