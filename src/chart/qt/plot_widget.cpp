#include "chart/qt/plot_widget.h"

#include "base/colors.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>

namespace chart {

namespace {

QColor ToQColor(base::TColor color, const QPalette& palette) {
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

// The panel background: the chart's vertical gradient (with its optional middle colour), or
// the window colour when the gradient is off.
void PaintBackground(QPainter& painter, const QRect& rect, const TPlotGradient& gradient,
                     const QPalette& palette) {
    if (!gradient.Visible) {
        painter.fillRect(rect, palette.color(QPalette::Window));
        return;
    }
    // gdBottomTop puts the start colour at the top and the end colour at the bottom;
    // gdTopBottom the reverse. The stops below run from the top (or left) edge.
    const bool horizontal = gradient.Direction == gdLeftRight || gradient.Direction == gdRightLeft;
    const bool start_first = gradient.Direction == gdBottomTop || gradient.Direction == gdLeftRight;
    QLinearGradient fill = horizontal ? QLinearGradient(rect.topLeft(), rect.topRight())
                                      : QLinearGradient(rect.topLeft(), rect.bottomLeft());
    const QColor start = ToQColor(gradient.StartColor, palette);
    const QColor end = ToQColor(gradient.EndColor, palette);
    fill.setColorAt(0.0, start_first ? start : end);
    if (gradient.MidColor != base::clNone) {
        fill.setColorAt(0.5, ToQColor(gradient.MidColor, palette));
    }
    fill.setColorAt(1.0, start_first ? end : start);
    painter.fillRect(rect, fill);
}

} // namespace

PlotWidget::PlotWidget(QWidget* parent) : QWidget(parent), plot_(std::make_unique<TPlot>()) {
    setCursor(Qt::CrossCursor);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    repaint_timer_.setSingleShot(true);
    repaint_timer_.setInterval(1000 / kMaxPaintsPerSecond);
    connect(&repaint_timer_, &QTimer::timeout, this, [this] { update(); });
    plot_->OnInvalidate = [this] { RequestRepaint(); };
}

PlotWidget::~PlotWidget() {
    plot_->OnInvalidate = nullptr;
}

void PlotWidget::RequestRepaint() {
    if (laying_out_) {
        return;
    }
    layout_dirty_ = true;
    if (!repaint_timer_.isActive()) {
        ++scheduled_paints_;
        repaint_timer_.start();
    }
}

void PlotWidget::EnsureLayout() {
    if (!layout_dirty_ && plot_->Layout().Valid) {
        return;
    }
    laying_out_ = true;
    plot_->CalcLayout(width(), height(), canvas_);
    laying_out_ = false;
    layout_dirty_ = false;
}

void PlotWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layout_dirty_ = true;
    EnsureLayout();
}

void PlotWidget::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
    EnsureLayout();
    if (OnMouseMove) {
        const QPoint pos = event->position().toPoint();
        OnMouseMove(event->modifiers(), pos.x(), pos.y());
    }
}

void PlotWidget::paintEvent(QPaintEvent*) {
    plot_->BeginPaint();
    EnsureLayout();
    QPainter painter(this);
    const QRect bounds = rect();
    PaintBackground(painter, bounds, plot_->Gradient(), palette());
    if (plot_->BevelOuter() && plot_->BevelWidth() > 0) {
        // Raised bevel: light on the top and left edges, dark on the bottom and right.
        const int w = plot_->BevelWidth();
        const QColor light = palette().color(QPalette::Light);
        const QColor dark = palette().color(QPalette::Dark);
        painter.fillRect(QRect(0, 0, width(), w), light);
        painter.fillRect(QRect(0, 0, w, height()), light);
        painter.fillRect(QRect(0, height() - w, width(), w), dark);
        painter.fillRect(QRect(width() - w, 0, w, height()), dark);
    }
    // The plot area and the title, so the chart's frame shows while the series are not drawn
    // here yet.
    const TPlotLayout& layout = plot_->Layout();
    const TPlotWall& wall = plot_->BackWall();
    if (layout.Valid && wall.Visible) {
        const TRect& area = layout.ChartRect;
        const QRect wall_rect(area.Left, area.Top, area.Width() + 1, area.Height() + 1);
        if (!wall.Transparent) {
            if (wall.Gradient.Visible) {
                PaintBackground(painter, wall_rect, wall.Gradient, palette());
            } else {
                painter.fillRect(wall_rect, ToQColor(wall.Color, palette()));
            }
        }
        if (wall.Pen.Visible && wall.Pen.Style != psClear) {
            painter.setPen(QPen(ToQColor(wall.Pen.Color, palette()), wall.Pen.Width));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(wall_rect.adjusted(0, 0, -1, -1));
        }
    }
    const TPlotTitle& title = plot_->Title();
    if (layout.Valid && title.Visible && title.HasText() && layout.TitleRect.Width() > 0) {
        const TRect& r = layout.TitleRect;
        painter.setFont(QtCanvas::ToQFont(title.Font));
        painter.setPen(ToQColor(title.Font.Color, palette()));
        painter.drawText(QRect(r.Left, r.Top, r.Width(), r.Height()),
                         Qt::AlignHCenter | Qt::AlignTop,
                         QString::fromStdString(title.Text.front()));
    }
    plot_->EndPaint();
}

} // namespace chart
