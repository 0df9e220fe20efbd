// QCustomPlot at its fastest: its widget's own path (replot into its layer buffers, then the
// widget rendered into the image), fast polylines, adaptive sampling, no antialiasing.
#include "painted_chart.h"

#include <QPainter>
#include <qcustomplot.h>

namespace bench {

namespace {

class CustomPlotChart : public PaintedChart {
public:
    CustomPlotChart(const Curves& curves, QSize size) {
        plot_.resize(size);
        // The widget is never shown: give its layout the size it would have on screen.
        plot_.setViewport(QRect(QPoint(0, 0), size));
        plot_.setPlottingHint(QCP::phFastPolylines, true);
        plot_.setNotAntialiasedElements(QCP::aeAll);

        plot_.plotLayout()->insertRow(0);
        QFont title_font("Verdana");
        title_font.setPixelSize(16);
        title_font.setBold(true);
        auto* title = new QCPTextElement(&plot_, kTitle, title_font); // owned by the layout
        title->setTextColor(Qt::blue);
        plot_.plotLayout()->addElement(0, 0, title);
        plot_.legend->setVisible(true);

        plot_.xAxis->setRange(kFrequencyMin, kFrequencyMax);
        plot_.yAxis->setRange(kSwrMin, kSwrMax);
        plot_.yAxis2->setRange(kOhmMin, kOhmMax);
        plot_.yAxis2->setVisible(true);

        AddGraph("R", kRColor, plot_.yAxis2, curves.khz, curves.r);
        AddGraph("Z", kZColor, plot_.yAxis2, curves.khz, curves.z);
        swr_ = AddGraph("SWR", kSwrColor, plot_.yAxis, curves.khz, curves.swr);
    }

    void SetFrequencyMin(double khz) override { plot_.xAxis->setRange(khz, kFrequencyMax); }

    void AppendSwr(double khz, double swr) override { swr_->addData(khz, swr); }

    void Paint(QImage& image) override {
        plot_.replot();
        QPainter painter(&image);
        plot_.render(&painter);
    }

private:
    QCPGraph* AddGraph(const char* name, QRgb color, QCPAxis* value_axis,
                       const std::vector<double>& keys, const std::vector<double>& values) {
        QCPGraph* graph = plot_.addGraph(plot_.xAxis, value_axis); // owned by the plot
        graph->setName(name);
        graph->setPen(QPen(QColor(color), kPenWidth));
        graph->setAdaptiveSampling(true);
        graph->setData(QVector<double>(keys.begin(), keys.end()),
                       QVector<double>(values.begin(), values.end()), true);
        return graph;
    }

    QCustomPlot plot_;
    QCPGraph* swr_ = nullptr; // owned by plot_
};

} // namespace

std::unique_ptr<PaintedChart> MakeCustomPlotChart(const Curves& curves, QSize size) {
    return std::make_unique<CustomPlotChart>(curves, size);
}

} // namespace bench
