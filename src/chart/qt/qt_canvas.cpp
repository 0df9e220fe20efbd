#include "chart/qt/qt_canvas.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <QString>
#include <algorithm>
#include <cstdlib>

namespace chart {

namespace {

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

Qt::PenStyle ToQtStyle(TPenStyle style) {
    switch (style) {
    case psDash:
        return Qt::DashLine;
    case psDot:
        return Qt::DotLine;
    case psDashDot:
        return Qt::DashDotLine;
    case psDashDotDot:
        return Qt::DashDotDotLine;
    case psClear:
        return Qt::NoPen;
    default:
        return Qt::SolidLine;
    }
}

QRect ToQRect(const TRect& r) {
    return QRect(r.Left, r.Top, r.Width(), r.Height());
}

} // namespace

QtCanvas::QtCanvas() : qfont_(ToQFont(font_)) {}

void QtCanvas::SetPainter(QPainter* painter) {
    painter_ = painter;
    if (painter_ != nullptr) {
        painter_->setRenderHint(QPainter::Antialiasing, false);
        painter_->setFont(qfont_);
        ApplyPen();
    }
}

void QtCanvas::SetFont(const TPlotFont& font) {
    font_ = font;
    qfont_ = ToQFont(font);
    if (painter_ != nullptr) {
        painter_->setFont(qfont_);
    }
}

// Every layout measures the same axis labels again: the widths are kept per font and text.
int32_t QtCanvas::TextWidth(std::string_view text) {
    std::string key = qfont_.key().toStdString();
    key += '\x1f';
    key += text;
    if (const auto found = widths_.find(key); found != widths_.end()) {
        return found->second;
    }
    if (widths_.size() >= kMaxKeptWidths) {
        widths_.clear();
    }
    const int32_t width = std::max(0, QFontMetrics(qfont_).horizontalAdvance(ToQString(text)));
    widths_.emplace(std::move(key), width);
    return width;
}

int32_t QtCanvas::TextHeight(std::string_view) {
    return std::max(0, QFontMetrics(qfont_).height());
}

void QtCanvas::SetPen(const TPlotPen& pen) {
    pen_ = pen;
    ApplyPen();
}

void QtCanvas::ApplyPen() {
    if (painter_ == nullptr) {
        return;
    }
    if (!PenDraws()) {
        painter_->setPen(Qt::NoPen);
        return;
    }
    QPen qpen(ToQColor(pen_.Color), std::max(1, pen_.Width), ToQtStyle(pen_.Style));
    qpen.setCapStyle(Qt::FlatCap);
    painter_->setPen(qpen);
}

void QtCanvas::SetBrush(const TPlotBrush& brush) {
    brush_ = brush;
    qbrush_ = brush.Style == bsClear ? QBrush(Qt::NoBrush) : QBrush(ToQColor(brush.Color));
}

void QtCanvas::FillRect(const TRect& rect) {
    if (painter_ == nullptr || brush_.Style == bsClear || rect.Width() <= 0 || rect.Height() <= 0) {
        return;
    }
    painter_->fillRect(ToQRect(rect), ToQColor(brush_.Color));
}

void QtCanvas::Rectangle(const TRect& rect) {
    if (painter_ == nullptr || rect.Width() <= 0 || rect.Height() <= 0) {
        return;
    }
    FillRect(rect);
    if (!PenDraws()) {
        return;
    }
    // The frame's pixels lie inside the rectangle: four edges of the pen's width.
    const int32_t w = std::max(1, pen_.Width);
    const TRect& r = rect;
    const QColor color = ToQColor(pen_.Color);
    painter_->fillRect(QRect(r.Left, r.Top, r.Width(), w), color);
    painter_->fillRect(QRect(r.Left, r.Bottom - w, r.Width(), w), color);
    painter_->fillRect(QRect(r.Left, r.Top, w, r.Height()), color);
    painter_->fillRect(QRect(r.Right - w, r.Top, w, r.Height()), color);
}

void QtCanvas::Line(TPoint from, TPoint to) {
    if (painter_ == nullptr || !PenDraws() || from == to) {
        return;
    }
    if (from.X != to.X && from.Y != to.Y) {
        // Slanted: Qt's aliased line between the integer end points.
        painter_->drawLine(from.X, from.Y, to.X, to.Y);
        return;
    }
    StraightLine(from, to);
}

// Horizontal and vertical lines are filled as runs of pixels, so the end point stays out
// and the pen's pattern starts at the first point whichever way the line runs.
void QtCanvas::StraightLine(TPoint from, TPoint to) {
    const bool horizontal = from.Y == to.Y;
    const int32_t length = horizontal ? std::abs(to.X - from.X) : std::abs(to.Y - from.Y);
    const int32_t step = horizontal ? (to.X > from.X ? 1 : -1) : (to.Y > from.Y ? 1 : -1);
    const int32_t width = std::max(1, pen_.Width);
    const int32_t across = (horizontal ? from.Y : from.X) - width / 2;
    int32_t on = length;
    int32_t off = 0;
    switch (pen_.Style) {
    case psDot:
        on = off = width;
        break;
    case psDash:
    case psDashDot:
    case psDashDotDot:
        on = 3 * width;
        off = width;
        break;
    default:
        break;
    }
    const QColor color = ToQColor(pen_.Color);
    if (off == 0) {
        const int32_t a = horizontal ? from.X : from.Y;
        const int32_t lo = std::min(a, a + step * (length - 1));
        painter_->fillRect(horizontal ? QRect(lo, across, length, width)
                                      : QRect(across, lo, width, length),
                           color);
        return;
    }
    // A dotted grid line is hundreds of dots: one call for all of them.
    dashes_.clear();
    for (int32_t i = 0; i < length; i += on + off) {
        const int32_t run = std::min(on, length - i);
        const int32_t a = (horizontal ? from.X : from.Y) + step * i;
        const int32_t b = a + step * (run - 1);
        const int32_t lo = std::min(a, b);
        dashes_.push_back(horizontal ? QRect(lo, across, run, width)
                                     : QRect(across, lo, width, run));
    }
    painter_->save();
    painter_->setPen(Qt::NoPen);
    painter_->setBrush(color);
    painter_->drawRects(dashes_.data(), static_cast<int>(dashes_.size()));
    painter_->restore();
}

void QtCanvas::Polyline(const std::vector<TPoint>& points) {
    if (vector_output_) {
        if (painter_ == nullptr || !PenDraws() || points.size() < 2) {
            return;
        }
        QPolygon polygon(static_cast<int>(points.size()));
        for (size_t i = 0; i < points.size(); ++i) {
            polygon.setPoint(static_cast<int>(i), points[i].X, points[i].Y);
        }
        painter_->drawPolyline(polygon);
        return;
    }
    for (size_t i = 1; i < points.size(); ++i) {
        Line(points[i - 1], points[i]);
    }
}

void QtCanvas::Polygon(std::span<const TPoint> points) {
    if (painter_ == nullptr || points.size() < 3) {
        return;
    }
    // Ribbons come as thousands of quads a paint: small ones go through a stack array.
    constexpr size_t kSmall = 16;
    QPoint small[kSmall];
    std::vector<QPoint> large;
    QPoint* q = small;
    if (points.size() > kSmall) {
        large.resize(points.size());
        q = large.data();
    }
    for (size_t i = 0; i < points.size(); ++i) {
        q[i] = QPoint(points[i].X, points[i].Y);
    }
    painter_->setBrush(qbrush_);
    painter_->drawPolygon(q, static_cast<int>(points.size()), Qt::WindingFill);
}

void QtCanvas::SetPixel(TPoint at, base::TColor color) {
    if (painter_ == nullptr) {
        return;
    }
    painter_->fillRect(QRect(at.X, at.Y, 1, 1), ToQColor(color));
}

void QtCanvas::TextOut(TPoint at, TTextAlign align, std::string_view text) {
    if (painter_ == nullptr || text.empty()) {
        return;
    }
    const QString s = ToQString(text);
    const QFontMetrics metrics(qfont_);
    int x = at.X;
    if (align.Horiz == haCenter) {
        x -= metrics.horizontalAdvance(s) / 2;
    } else if (align.Horiz == haRight) {
        x -= metrics.horizontalAdvance(s);
    }
    const int top = align.Vert == vaTop ? at.Y : at.Y - metrics.height();
    painter_->save();
    painter_->setPen(ToQColor(font_.Color));
    painter_->drawText(x, top + metrics.ascent(), s);
    painter_->restore();
}

void QtCanvas::SetClip(const TRect& rect) {
    if (painter_ != nullptr) {
        painter_->setClipRect(ToQRect(rect));
    }
}

void QtCanvas::ClearClip() {
    if (painter_ != nullptr) {
        painter_->setClipping(false);
    }
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

QColor QtCanvas::ToQColor(base::TColor color) {
    const QPalette palette = QApplication::palette();
    switch (color) {
    case base::clBtnFace:
        return palette.color(QPalette::Button);
    case base::clWindow:
        return palette.color(QPalette::Base);
    case base::clWindowText:
        return palette.color(QPalette::WindowText);
    default:
        return QColor(base::RedOf(color), base::GreenOf(color), base::BlueOf(color));
    }
}

} // namespace chart
