#include "chart/qt/qt_canvas.h"

#include <QFontMetrics>
#include <QString>
#include <algorithm>

namespace chart {

QtCanvas::QtCanvas() : qfont_(ToQFont(font_)) {}

void QtCanvas::SetFont(const TPlotFont& font) {
    font_ = font;
    qfont_ = ToQFont(font);
}

int32_t QtCanvas::TextWidth(std::string_view text) {
    const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    return std::max(0, QFontMetrics(qfont_).horizontalAdvance(s));
}

int32_t QtCanvas::TextHeight(std::string_view) {
    return std::max(0, QFontMetrics(qfont_).height());
}

QFont QtCanvas::ToQFont(const TPlotFont& font) {
    QFont qfont(QString::fromStdString(font.Name));
    qfont.setPixelSize(std::max(1, font.PixelSize));
    qfont.setBold(font.Style.Contains(fsBold));
    qfont.setItalic(font.Style.Contains(fsItalic));
    qfont.setUnderline(font.Style.Contains(fsUnderline));
    qfont.setStrikeOut(font.Style.Contains(fsStrikeOut));
    return qfont;
}

} // namespace chart
