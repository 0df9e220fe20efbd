// A canvas with fixed text metrics, so that label steps and zone sizes can be checked
// exactly: every character is PixelSize / 2 + 1 pixels wide, every line PixelSize + 3
// pixels high (an 11-pixel font: 6 x 14; a 16-pixel font: 9 x 19). It draws nothing.
#pragma once

#include "chart/canvas.h"

#include <algorithm>
#include <string_view>

namespace chart::test {

class FixedCanvas : public TCanvas {
public:
    void SetFont(const TPlotFont& font) override { font_ = font; }
    const TPlotFont& Font() const override { return font_; }

    int32_t TextWidth(std::string_view text) override {
        // Count code points, not UTF-8 bytes.
        const auto chars = std::count_if(text.begin(), text.end(), [](char c) {
            return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        });
        return static_cast<int32_t>(chars) * CharWidth(font_);
    }
    int32_t TextHeight(std::string_view) override { return LineHeight(font_); }

    void SetPen(const TPlotPen&) override {}
    void SetBrush(const TPlotBrush&) override {}
    void FillRect(const TRect&) override {}
    void Rectangle(const TRect&) override {}
    void Line(TPoint, TPoint) override {}
    void Polyline(const std::vector<TPoint>&) override {}
    void SetPixel(TPoint, base::TColor) override {}
    void Polygon(std::span<const TPoint>) override {}
    void TextOut(TPoint, TTextAlign, std::string_view) override {}
    void SetClip(const TRect&) override {}
    void ClearClip() override {}

    static int32_t CharWidth(const TPlotFont& font) { return font.PixelSize / 2 + 1; }
    static int32_t LineHeight(const TPlotFont& font) { return font.PixelSize + 3; }

private:
    TPlotFont font_;
};

} // namespace chart::test
