// The chart's canvas on Qt: text is measured with the font metrics of the chart's fonts, so
// the layout the chart computes matches what the widget shows.
#pragma once

#include "chart/canvas.h"

#include <QFont>

namespace chart {

class QtCanvas : public TCanvas {
public:
    QtCanvas();

    void SetFont(const TPlotFont& font) override;
    const TPlotFont& Font() const override { return font_; }

    [[nodiscard]] int32_t TextWidth(std::string_view text) override;
    [[nodiscard]] int32_t TextHeight(std::string_view text) override;

    // The Qt font for a chart font: the family asked for (fontconfig substitutes a missing
    // one), the character height as a pixel size, the styles.
    [[nodiscard]] static QFont ToQFont(const TPlotFont& font);

private:
    TPlotFont font_;
    QFont qfont_; // font_ as Qt sees it
};

} // namespace chart
