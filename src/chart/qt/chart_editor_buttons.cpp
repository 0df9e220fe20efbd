#include "chart/qt/chart_editor_buttons.h"

#include "chart/qt/qt_canvas.h"

#include <QColorDialog>
#include <QFontDialog>
#include <QPixmap>
#include <cmath>

namespace chart {

ColorButton::ColorButton(base::TColor color, QWidget* parent) : QPushButton(parent), color_(color) {
    connect(this, &QPushButton::clicked, this, &ColorButton::Pick);
    Show();
}

void ColorButton::SetColor(base::TColor color) {
    color_ = color;
    Show();
    if (OnChanged) {
        OnChanged(color_);
    }
}

void ColorButton::Pick() {
    const QColor picked = QColorDialog::getColor(QtCanvas::ToQColor(color_), this, accessibleName(),
                                                 QColorDialog::DontUseNativeDialog);
    if (picked.isValid()) {
        SetColor(base::RGB(static_cast<uint8_t>(picked.red()), static_cast<uint8_t>(picked.green()),
                           static_cast<uint8_t>(picked.blue())));
    }
}

void ColorButton::Show() {
    const QColor qcolor = QtCanvas::ToQColor(color_);
    QPixmap swatch(16, 16);
    swatch.fill(qcolor);
    setIcon(QIcon(swatch));
    setText(qcolor.name().toUpper());
}

FontButton::FontButton(const TPlotFont& font, QWidget* parent) : QPushButton(parent), font_(font) {
    connect(this, &QPushButton::clicked, this, &FontButton::Pick);
    setText(Describe(font_));
}

void FontButton::SetFont(const TPlotFont& font) {
    font_ = font;
    setText(Describe(font_));
    if (OnChanged) {
        OnChanged(font_);
    }
}

void FontButton::Pick() {
    bool ok = false;
    const QFont picked = QFontDialog::getFont(&ok, QtCanvas::ToQFont(font_), this, accessibleName(),
                                              QFontDialog::DontUseNativeDialog);
    if (ok) {
        SetFont(FromQFont(picked, font_));
    }
}

QString FontButton::Describe(const TPlotFont& font) {
    QString text =
        QStringLiteral("%1, %2 px").arg(QString::fromStdString(font.Name)).arg(font.PixelSize);
    const std::pair<TFontStyle, const char*> styles[] = {{fsBold, "bold"},
                                                         {fsItalic, "italic"},
                                                         {fsUnderline, "underline"},
                                                         {fsStrikeOut, "strike-out"}};
    for (const auto& [style, name] : styles) {
        if (font.Style.Contains(style)) {
            text += QStringLiteral(", ") + QString::fromLatin1(name);
        }
    }
    return text;
}

TPlotFont FontButton::FromQFont(const QFont& qfont, const TPlotFont& base) {
    TPlotFont font = base;
    font.Name = qfont.family().toStdString();
    if (qfont.pixelSize() > 0) {
        font.PixelSize = qfont.pixelSize();
    } else {
        // Point sizes convert at the chart's 96 dots per inch.
        font.PixelSize = std::max(1, static_cast<int32_t>(std::lround(
                                         qfont.pointSizeF() * TPlotFont::kPixelsPerInch / 72.0)));
    }
    TFontStyles style;
    if (qfont.bold()) {
        style.Include(fsBold);
    }
    if (qfont.italic()) {
        style.Include(fsItalic);
    }
    if (qfont.underline()) {
        style.Include(fsUnderline);
    }
    if (qfont.strikeOut()) {
        style.Include(fsStrikeOut);
    }
    font.Style = style;
    return font;
}

} // namespace chart
