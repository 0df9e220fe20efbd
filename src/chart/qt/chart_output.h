// The chart drawn outside its widget: into a bitmap of the screen's density (copy, PNG, JPEG,
// BMP) or scaled into a rectangle of any painter (SVG, PDF, the print preview). The layout is
// always computed at the chart's on-screen logical size, so every output shows what the
// window shows; only the chart is drawn, never the window's controls on top of it.
//
// User-interface thread only (the chart's own thread). Painting lays the chart out again at
// the given logical size; repaint requests raised meanwhile are dropped.
#pragma once

#include <QImage>
#include <QRectF>
#include <QSize>

class QPainter;

namespace chart {

class TPlot;

// The chart at logical size times ratio device pixels, with that device pixel ratio set.
[[nodiscard]] QImage RenderChartImage(TPlot& plot, QSize logical, qreal ratio);

// Paints the chart laid out at logical size, scaled uniformly to fit target (centred in it).
// vector: curves as polylines (SVG, PDF) rather than the screen's pixel columns.
void PaintChartScaled(QPainter& painter, TPlot& plot, QSize logical, const QRectF& target,
                      bool vector);

} // namespace chart
