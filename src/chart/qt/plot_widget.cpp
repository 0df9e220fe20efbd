#include "chart/qt/plot_widget.h"

#include "chart/plot_painter.h"

#include <QMouseEvent>
#include <QPainter>
#include <QtGlobal>
#include <exception>

namespace chart {

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
    // Called from event handlers, which nothing may leave by an exception.
    laying_out_ = true;
    try {
        plot_->CalcLayout(width(), height(), canvas_);
        layout_dirty_ = false;
    } catch (const std::exception& e) {
        Failed(e.what());
    } catch (...) {
        Failed("unknown error");
    }
    laying_out_ = false;
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
    PaintOffScreen();
    plot_->EndPaint();
    QPainter window(this);
    window.drawImage(QPoint(0, 0), buffer_);
}

// The whole chart goes to the off-screen image first, so the window never shows it half
// drawn. Nothing may leave a paint event: a failure leaves the panel alone on the image and
// is reported after the paint.
void PlotWidget::PaintOffScreen() {
    const qreal ratio = devicePixelRatioF();
    const QSize device_size = size() * ratio;
    if (buffer_.size() != device_size) {
        buffer_ = QImage(device_size, QImage::Format_ARGB32_Premultiplied);
    }
    buffer_.setDevicePixelRatio(ratio);
    buffer_.fill(palette().color(QPalette::Window)); // no stale pixels from the last paint
    QPainter painter(&buffer_);
    canvas_.SetPainter(&painter);
    laying_out_ = true;
    std::string error;
    try {
        PlotPainter(*plot_, canvas_).Paint(width(), height());
        layout_dirty_ = false;
    } catch (const std::exception& e) {
        error = e.what();
    } catch (...) {
        error = "unknown error";
    }
    if (!error.empty()) {
        try {
            PlotPainter(*plot_, canvas_).PaintPanel(width(), height());
        } catch (...) {
            // The cleared image stays; the first error is the one worth reporting.
        }
    }
    laying_out_ = false;
    canvas_.SetPainter(nullptr);
    if (error.empty()) {
        paint_failing_ = false;
    } else {
        Failed(error);
    }
}

void PlotWidget::Failed(const std::string& error) {
    if (paint_failing_) {
        return;
    }
    paint_failing_ = true;
    // Posted: never a message box (or anything else modal) from inside a paint.
    QMetaObject::invokeMethod(
        this,
        [this, error] {
            if (OnPaintError) {
                OnPaintError(error);
            } else {
                qWarning("Chart painting failed: %s", error.c_str());
            }
        },
        Qt::QueuedConnection);
}

} // namespace chart
