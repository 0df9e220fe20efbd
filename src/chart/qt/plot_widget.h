// The chart control: a widget hosting the chart model (TPlot). It turns the model's repaint
// requests into widget updates at a bounded rate, lays the chart out at the widget's size
// (text measured with Qt's font metrics) before any mouse event is passed on, so
// pixel-to-value mappings are right, and passes mouse presses, moves and releases in client
// pixels first to the owner's handler, then to the chart's listeners (the toolbar). It
// grabs the mouse while the chart asks for the capture and tells the chart when the grab is
// lost (a modal box opened, the window lost activation, the widget was hidden). It shows the
// cross-hair cursor. Painting draws the whole chart into an off-screen image, then copies it to the
// window; a failure while painting shows the panel background and is reported once, after
// the paint.
//
// User-interface thread only. The widget owns its TPlot; the series listed by it belong to
// whoever created them.
#pragma once

#include "chart/plot.h"
#include "chart/qt/qt_canvas.h"

#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

namespace chart {

class PlotWidget : public QWidget {
    Q_OBJECT

public:
    // Repaint requests arriving faster than this are merged into one paint.
    static constexpr int kMaxPaintsPerSecond = 50;

    explicit PlotWidget(QWidget* parent = nullptr);
    ~PlotWidget() override;

    TPlot& Plot() { return *plot_; }
    const TPlot& Plot() const { return *plot_; }

    // Called for every mouse move over the widget with the keyboard modifiers and the client
    // pixel position, after the chart has been laid out at the widget's current size.
    std::function<void(Qt::KeyboardModifiers, int x, int y)> OnMouseMove;
    // The owner's handlers of a mouse press and release; a press handler may keep the event
    // from the chart's listeners with Plot().SetCancelMouse(true).
    std::function<void(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y)> OnMouseDown;
    std::function<void(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y)> OnMouseUp;

    // The mouse grab taken for the chart's capture.
    [[nodiscard]] bool MouseGrabbed() const { return grabbed_; }

    // Called (posted, outside the paint) with the error of the first paint or layout that
    // failed; the next report comes after a paint has succeeded again. Unset: a warning is
    // logged.
    std::function<void(const std::string&)> OnPaintError;

    // Lays the chart out at the widget's size unless nothing changed since the last layout.
    void EnsureLayout();

    // Paint requests taken so far (each merged batch of repaint requests counts once).
    [[nodiscard]] int ScheduledPaints() const { return scheduled_paints_; }
    // A merged batch is waiting for its paint.
    [[nodiscard]] bool RepaintPending() const { return paint_pending_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RequestRepaint();
    // Takes or gives back the mouse grab, as the chart's capture asks.
    void SetGrab(bool on);
    // The grab went away without the chart releasing its capture.
    void GrabLost();
    void PaintOffScreen();
    // Reports a failure of the layout or the paint, unless one has been reported since the
    // last good paint.
    void Failed(const std::string& error);

    std::unique_ptr<TPlot> plot_;
    QtCanvas canvas_;
    QTimer repaint_timer_;       // single shot: the rest of the interval since the last paint
    QElapsedTimer last_paint_;   // started at every paint
    bool paint_pending_ = false; // a merged batch waits for its paint
    bool layout_dirty_ = true;   // something changed since the last layout
    bool laying_out_ = false;    // requests raised by the layout itself are not changes
    int scheduled_paints_ = 0;
    QImage buffer_;              // the off-screen picture, reused while the size stays
    bool paint_failing_ = false; // a failure since the last good paint has been reported
    bool grabbed_ = false;       // this widget holds the mouse grab for the chart
};

} // namespace chart
