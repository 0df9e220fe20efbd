// The surface the chart measures text on and draws on. The chart model never talks to a
// toolkit: the window supplies a canvas backed by its painter, tests supply one with fixed
// metrics (and a record of every drawing call) so that positions come out exactly.
//
// Pixel rules: rectangles fill Left..Right-1 and Top..Bottom-1; a line leaves out its end
// point, so consecutive segments of a polyline do not touch a pixel twice.
#pragma once

#include "base/colors.h"
#include "chart/graphics.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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

struct TPoint {
    int32_t X = 0;
    int32_t Y = 0;
    bool operator==(const TPoint&) const = default;
};

// Where TextOut's point lies on the text: its left end, centre or right end, and its top
// or bottom.
enum THorizAlign : uint8_t { haLeft, haCenter, haRight };
enum TVertAlign : uint8_t { vaTop, vaBottom };

struct TTextAlign {
    THorizAlign Horiz = haLeft;
    TVertAlign Vert = vaTop;
    bool operator==(const TTextAlign&) const = default;
};

// Text measurement and drawing in the current font, pen and brush. Implementations must
// return non-negative sizes. Text is drawn with a transparent background in the font's colour.
class TCanvas {
public:
    virtual ~TCanvas() = default;

    // Pen for lines and frames (an invisible or psClear pen draws nothing).
    virtual void SetPen(const TPlotPen& pen) = 0;
    // Brush for FillRect and the inside of Rectangle (bsClear fills nothing).
    virtual void SetBrush(const TPlotBrush& brush) = 0;
    // Fills the rectangle with the brush, no frame.
    virtual void FillRect(const TRect& rect) = 0;
    // Fills with the brush and frames with the pen, both inside the rectangle.
    virtual void Rectangle(const TRect& rect) = 0;
    // A line with the pen from one point towards the other, without the end point.
    virtual void Line(TPoint from, TPoint to) = 0;
    // Connected lines with the pen through the points.
    virtual void Polyline(const std::vector<TPoint>& points) = 0;
    virtual void SetPixel(TPoint at, base::TColor color) = 0;
    // Fills the polygon through the points with the brush (non-zero winding), then frames it
    // with the pen; fewer than three points draw nothing.
    virtual void Polygon(std::span<const TPoint> points) = 0;
    virtual void TextOut(TPoint at, TTextAlign align, std::string_view text) = 0;
    // Drawing from now on is limited to the rectangle; ClearClip lifts the limit.
    virtual void SetClip(const TRect& rect) = 0;
    virtual void ClearClip() = 0;

    virtual void SetFont(const TPlotFont& font) = 0;
    virtual const TPlotFont& Font() const = 0;

    // Width in pixels of text (UTF-8) drawn on one line in the current font.
    [[nodiscard]] virtual int32_t TextWidth(std::string_view text) = 0;
    // Height in pixels of one line of text in the current font.
    [[nodiscard]] virtual int32_t TextHeight(std::string_view text) = 0;
};

} // namespace chart
