// The chart editor's colour and font pickers: push buttons that show the current choice
// (a swatch and the colour's name, or the font's description), open the standard colour or
// font dialog when clicked, and report a new choice. The text they show is also what a
// screen reader reads after the button's name.
#pragma once

#include "chart/canvas.h"

#include <QPushButton>
#include <functional>

namespace chart {

class ColorButton : public QPushButton {
    Q_OBJECT

public:
    ColorButton(base::TColor color, QWidget* parent = nullptr);

    base::TColor Color() const { return color_; }
    // Shows color and reports it as a choice.
    void SetColor(base::TColor color);

    // Called with each colour picked.
    std::function<void(base::TColor)> OnChanged;

private:
    void Pick();
    void Show();

    base::TColor color_;
};

class FontButton : public QPushButton {
    Q_OBJECT

public:
    FontButton(const TPlotFont& font, QWidget* parent = nullptr);

    const TPlotFont& Font() const { return font_; }
    // Shows font and reports it as a choice.
    void SetFont(const TPlotFont& font);

    // Called with each font picked; the colour is the one the font had (colours have their
    // own button).
    std::function<void(const TPlotFont&)> OnChanged;

    // "Verdana, 16 px, bold".
    [[nodiscard]] static QString Describe(const TPlotFont& font);
    // The chart font for a Qt font, keeping the colour of base.
    [[nodiscard]] static TPlotFont FromQFont(const QFont& qfont, const TPlotFont& base);

private:
    void Pick();

    TPlotFont font_;
};

} // namespace chart
