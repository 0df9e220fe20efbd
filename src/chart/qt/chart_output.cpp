#include "chart/qt/chart_output.h"

#include "chart/plot.h"
#include "chart/plot_painter.h"
#include "chart/qt/qt_canvas.h"

#include <QPainter>
#include <algorithm>

namespace chart {

namespace {

// Brackets a paint outside the widget: requests that the layout raises are not changes.
class PaintScope {
public:
    explicit PaintScope(TPlot& plot) : plot_(plot), outer_(plot.Painting()) {
        if (!outer_) {
            plot_.BeginPaint();
        }
    }
    ~PaintScope() {
        if (!outer_) {
            plot_.EndPaint();
        }
    }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;

private:
    TPlot& plot_;
    bool outer_;
};

} // namespace

QImage RenderChartImage(TPlot& plot, QSize logical, qreal ratio) {
    ratio = std::max<qreal>(ratio, 1.0);
    QImage image(logical * ratio, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        return image;
    }
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    QPainter painter(&image);
    QtCanvas canvas;
    canvas.SetPainter(&painter);
    PaintScope scope(plot);
    PlotPainter(plot, canvas).Paint(logical.width(), logical.height());
    canvas.SetPainter(nullptr);
    return image;
}

void PaintChartScaled(QPainter& painter, TPlot& plot, QSize logical, const QRectF& target,
                      bool vector) {
    if (logical.isEmpty() || target.isEmpty()) {
        return;
    }
    const qreal scale =
        std::min(target.width() / logical.width(), target.height() / logical.height());
    const QSizeF drawn = QSizeF(logical) * scale;
    painter.save();
    painter.translate(target.left() + (target.width() - drawn.width()) / 2,
                      target.top() + (target.height() - drawn.height()) / 2);
    painter.scale(scale, scale);
    // Nothing of the chart lands outside its rectangle.
    painter.setClipRect(QRect(QPoint(0, 0), logical));
    QtCanvas canvas;
    canvas.SetVectorOutput(vector);
    canvas.SetPainter(&painter);
    PaintScope scope(plot);
    PlotPainter plot_painter(plot, canvas);
    plot_painter.SetVectorOutput(vector);
    plot_painter.Paint(logical.width(), logical.height());
    canvas.SetPainter(nullptr);
    painter.restore();
}

} // namespace chart
