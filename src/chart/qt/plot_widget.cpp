#include "chart/qt/plot_widget.h"

#include "base/error_display.h"
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
    connect(&repaint_timer_, &QTimer::timeout, this, [this] { update(); });
    plot_->OnInvalidate = [this] { RequestRepaint(); };
    plot_->OnMouseCaptureChanged = [this](bool on) { SetGrab(on); };
}

PlotWidget::~PlotWidget() {
    plot_->OnInvalidate = nullptr;
    plot_->OnMouseCaptureChanged = nullptr;
    SetGrab(false);
}

// The first request after a quiet spell paints at once; later ones wait for the rest of the
// paint interval, so a point is on the screen at most one interval after it arrived.
void PlotWidget::RequestRepaint() {
    if (laying_out_) {
        return;
    }
    layout_dirty_ = true;
    if (paint_pending_) {
        return;
    }
    paint_pending_ = true;
    ++scheduled_paints_;
    constexpr qint64 kInterval = 1000 / kMaxPaintsPerSecond;
    const qint64 since = last_paint_.isValid() ? last_paint_.elapsed() : kInterval;
    if (since >= kInterval) {
        update();
    } else {
        repaint_timer_.start(static_cast<int>(kInterval - since));
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

namespace {

TShiftState ShiftOf(const QMouseEvent& event) {
    TShiftState shift;
    const Qt::KeyboardModifiers keys = event.modifiers();
    const Qt::MouseButtons buttons = event.buttons();
    if (keys.testFlag(Qt::ShiftModifier)) {
        shift.Include(ssShift);
    }
    if (keys.testFlag(Qt::ControlModifier)) {
        shift.Include(ssCtrl);
    }
    if (keys.testFlag(Qt::AltModifier)) {
        shift.Include(ssAlt);
    }
    if (buttons.testFlag(Qt::LeftButton)) {
        shift.Include(ssLeft);
    }
    if (buttons.testFlag(Qt::RightButton)) {
        shift.Include(ssRight);
    }
    if (buttons.testFlag(Qt::MiddleButton)) {
        shift.Include(ssMiddle);
    }
    return shift;
}

// The chart's name for a Qt button; false for buttons it does not know.
bool ButtonOf(Qt::MouseButton qt_button, TMouseButton& button) {
    switch (qt_button) {
    case Qt::LeftButton:
        button = mbLeft;
        return true;
    case Qt::RightButton:
        button = mbRight;
        return true;
    case Qt::MiddleButton:
        button = mbMiddle;
        return true;
    default:
        return false;
    }
}

} // namespace

void PlotWidget::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
    EnsureLayout();
    if (grabbed_ && QWidget::mouseGrabber() != this) {
        GrabLost(); // another widget took the grab
    }
    const QPoint pos = event->position().toPoint();
    plot_->BeginMouseEvent();
    if (OnMouseMove) {
        OnMouseMove(event->modifiers(), pos.x(), pos.y());
    }
    base::RunHandler([&] { plot_->MouseMove(ShiftOf(*event), pos.x(), pos.y()); });
}

void PlotWidget::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    EnsureLayout();
    const QPoint pos = event->position().toPoint();
    plot_->BeginMouseEvent();
    if (OnMouseDown) {
        OnMouseDown(event->button(), event->modifiers(), pos.x(), pos.y());
    }
    TMouseButton button;
    if (ButtonOf(event->button(), button)) {
        base::RunHandler([&] { plot_->MouseDown(button, ShiftOf(*event), pos.x(), pos.y()); });
    }
}

void PlotWidget::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    EnsureLayout();
    const QPoint pos = event->position().toPoint();
    plot_->BeginMouseEvent();
    if (OnMouseUp) {
        OnMouseUp(event->button(), event->modifiers(), pos.x(), pos.y());
    }
    TMouseButton button;
    if (ButtonOf(event->button(), button)) {
        base::RunHandler([&] { plot_->MouseUp(button, ShiftOf(*event), pos.x(), pos.y()); });
    }
}

void PlotWidget::SetGrab(bool on) {
    if (on == grabbed_) {
        return;
    }
    if (on) {
        // A hidden widget cannot hold the grab; the chart still gets the moves Qt sends to
        // the widget the button was pressed on.
        if (!isVisible()) {
            return;
        }
        grabMouse();
        grabbed_ = true;
        window()->installEventFilter(this);
    } else {
        grabbed_ = false;
        window()->removeEventFilter(this);
        if (QWidget::mouseGrabber() == this) {
            releaseMouse();
        }
    }
}

void PlotWidget::GrabLost() {
    SetGrab(false);
    if (plot_->MouseCapture()) {
        base::RunHandler([&] { plot_->MouseCaptureLost(); });
    }
}

void PlotWidget::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (grabbed_) {
        GrabLost();
    }
}

// While grabbing, the window is watched: a modal box (an error shown mid-drag) or another
// window taking over must not leave the mouse held by the chart.
bool PlotWidget::eventFilter(QObject* watched, QEvent* event) {
    if (grabbed_ && watched == window()) {
        switch (event->type()) {
        case QEvent::WindowBlocked:
        case QEvent::WindowDeactivate:
        case QEvent::Hide:
            GrabLost();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void PlotWidget::paintEvent(QPaintEvent*) {
    paint_pending_ = false;
    last_paint_.start();
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
