// Qt's chart module: a QChart in a graphics scene, rendered into the image. The chart maps
// its points when the data or an axis changes and lays itself out from posted events, so
// the paint sends those first.
#include "painted_chart.h"

#include <QChart>
#include <QCoreApplication>
#include <QGraphicsScene>
#include <QLineSeries>
#include <QPainter>
#include <QValueAxis>

namespace bench {

namespace {

class QtChartsChart : public PaintedChart {
public:
    QtChartsChart(const Curves& curves, QSize size) : size_(size) {
        chart_ = new QChart; // owned by the scene
        scene_.addItem(chart_);
        chart_->setGeometry(QRectF(QPointF(0, 0), size));
        QFont title_font("Verdana");
        title_font.setPixelSize(16);
        title_font.setBold(true);
        chart_->setTitle(kTitle);
        chart_->setTitleFont(title_font);
        chart_->setTitleBrush(Qt::blue);
        chart_->legend()->setVisible(true);

        frequency_ = AddAxis(Qt::AlignBottom, kFrequencyMin, kFrequencyMax);
        QValueAxis* swr_axis = AddAxis(Qt::AlignLeft, kSwrMin, kSwrMax);
        QValueAxis* ohm_axis = AddAxis(Qt::AlignRight, kOhmMin, kOhmMax);
        AddSeries("R", kRColor, ohm_axis, curves.khz, curves.r);
        AddSeries("Z", kZColor, ohm_axis, curves.khz, curves.z);
        swr_ = AddSeries("SWR", kSwrColor, swr_axis, curves.khz, curves.swr);
    }

    void SetFrequencyMin(double khz) override { frequency_->setRange(khz, kFrequencyMax); }

    void AppendSwr(double khz, double swr) override { swr_->append(khz, swr); }

    void Paint(QImage& image) override {
        QCoreApplication::sendPostedEvents();
        QPainter painter(&image);
        const QRectF area(QPointF(0, 0), size_);
        scene_.render(&painter, area, area);
    }

private:
    QValueAxis* AddAxis(Qt::Alignment side, double min, double max) {
        auto* axis = new QValueAxis; // owned by the chart
        axis->setRange(min, max);
        chart_->addAxis(axis, side);
        return axis;
    }

    QLineSeries* AddSeries(const char* name, QRgb color, QValueAxis* value_axis,
                           const std::vector<double>& keys, const std::vector<double>& values) {
        auto* series = new QLineSeries; // owned by the chart
        series->setName(name);
        series->setPen(QPen(QColor(color), kPenWidth));
        QList<QPointF> points;
        points.reserve(static_cast<qsizetype>(keys.size()));
        for (size_t i = 0; i < keys.size(); ++i) {
            points.append(QPointF(keys[i], values[i]));
        }
        series->replace(points);
        chart_->addSeries(series);
        series->attachAxis(frequency_);
        series->attachAxis(value_axis);
        return series;
    }

    QSize size_;
    // Declared before the chart's pointers: it owns the chart, which owns series and axes.
    QGraphicsScene scene_;
    QChart* chart_ = nullptr;
    QValueAxis* frequency_ = nullptr;
    QLineSeries* swr_ = nullptr;
};

} // namespace

std::unique_ptr<PaintedChart> MakeQtChartsChart(const Curves& curves, QSize size) {
    return std::make_unique<QtChartsChart>(curves, size);
}

} // namespace bench
