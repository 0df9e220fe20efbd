// The surface the chart measures (and later draws) text on. The chart model never talks to
// a toolkit: the window supplies a canvas backed by its painter, tests supply one with fixed
// metrics so that label steps and zone widths come out exactly.
#pragma once

#include "base/colors.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace chart {

enum TFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

// A set of TFontStyle bits.
class TFontStyles {
public:
    constexpr TFontStyles() = default;
    constexpr TFontStyles(TFontStyle style) : bits_(style) {}
    constexpr bool Contains(TFontStyle style) const { return (bits_ & style) != 0; }
    constexpr TFontStyles& Include(TFontStyle style) {
        bits_ = static_cast<uint8_t>(bits_ | style);
        return *this;
    }
    constexpr TFontStyles& Exclude(TFontStyle style) {
        bits_ = static_cast<uint8_t>(bits_ & ~style);
        return *this;
    }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr uint8_t Bits() const { return bits_; }
    constexpr bool operator==(const TFontStyles&) const = default;

private:
    uint8_t bits_ = 0;
};

// Fonts are sized by character height in pixels; the point size converts at 96 dots per
// inch (8 point = 11 pixels, 12 point = 16 pixels).
struct TPlotFont {
    static constexpr int32_t kPixelsPerInch = 96;

    std::string Name = "Arial";
    int32_t PixelSize = 11; // character height in pixels (the chart's default: 8 point)
    base::TColor Color = base::clBlack;
    TFontStyles Style;

    // Point size, rounded to the nearest whole point.
    int32_t PointSize() const;
    void SetPointSize(int32_t points);
    bool operator==(const TPlotFont&) const = default;
};

// Text measurement in the current font. Implementations must return non-negative sizes.
class TCanvas {
public:
    virtual ~TCanvas() = default;

    virtual void SetFont(const TPlotFont& font) = 0;
    virtual const TPlotFont& Font() const = 0;

    // Width in pixels of text (UTF-8) drawn on one line in the current font.
    [[nodiscard]] virtual int32_t TextWidth(std::string_view text) = 0;
    // Height in pixels of one line of text in the current font.
    [[nodiscard]] virtual int32_t TextHeight(std::string_view text) = 0;
};

} // namespace chart
