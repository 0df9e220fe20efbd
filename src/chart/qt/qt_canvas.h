// The chart's canvas on Qt: text is measured with the font metrics of the chart's fonts, so
// the layout the chart computes matches what the widget shows; drawing goes to a QPainter
// when one is attached (without one the drawing calls do nothing).
#pragma once

#include "chart/canvas.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QPen>
#include <QRect>
#include <string>
#include <unordered_map>
#include <vector>

class QPainter;

namespace chart {

class QtCanvas : public TCanvas {
public:
    QtCanvas();

    // Drawing goes to painter (not owned; nullptr: measure only). The painter is set to
    // aliased drawing, as the chart's pixel rules assume.
    void SetPainter(QPainter* painter);
    // Vector output (SVG, PDF): a polyline becomes one path element rather than a line per
    // segment. The screen keeps the per-segment pixel rules.
    void SetVectorOutput(bool value) { vector_output_ = value; }

    void SetFont(const TPlotFont& font) override;
    const TPlotFont& Font() const override { return font_; }

    [[nodiscard]] int32_t TextWidth(std::string_view text) override;
    [[nodiscard]] int32_t TextHeight(std::string_view text) override;

    void SetPen(const TPlotPen& pen) override;
    void SetBrush(const TPlotBrush& brush) override;
    void FillRect(const TRect& rect) override;
    void Rectangle(const TRect& rect) override;
    void Line(TPoint from, TPoint to) override;
    void Polyline(const std::vector<TPoint>& points) override;
    void SetPixel(TPoint at, base::TColor color) override;
    void Polygon(std::span<const TPoint> points) override;
    void TextOut(TPoint at, TTextAlign align, std::string_view text) override;
    void SetClip(const TRect& rect) override;
    void ClearClip() override;

    // The Qt font for a chart font: the family asked for (fontconfig substitutes a missing
    // one), the character height as a pixel size, the styles.
    [[nodiscard]] static QFont ToQFont(const TPlotFont& font);
    // The Qt colour of a chart colour (system colours from the application palette).
    [[nodiscard]] static QColor ToQColor(base::TColor color);

private:
    bool PenDraws() const { return pen_.Visible && pen_.Style != psClear; }
    void ApplyPen(); // the chart pen as the painter's pen
    void StraightLine(TPoint from, TPoint to);

    QPainter* painter_ = nullptr;
    TPlotFont font_;
    QFont qfont_; // font_ as Qt sees it
    TPlotPen pen_;
    TPlotBrush brush_;
    static constexpr size_t kMaxKeptWidths = 4096;
    std::unordered_map<std::string, int32_t> widths_; // by font key and text
    std::vector<QRect> dashes_;                       // reused by every dotted or dashed line
    QBrush qbrush_{Qt::white};                        // brush_ as Qt sees it, for polygons
    bool vector_output_ = false;
};

} // namespace chart
