// The charts that the chart paint benchmark measures: ours and those of two other plotting
// libraries, with the same three curves on the same axes, painted into an image of the
// same size. The other libraries' charts are built only when the library was found; their
// factories are declared here either way.
//
// Each other chart is set up as close to ours as its library allows (line colours, pen
// width 2, no antialiasing, title, legend, SWR on the left axis and R, Z on the right), at
// the library's fastest settings where those do not change the picture.
#pragma once

#include <QImage>
#include <memory>
#include <vector>

namespace bench {

// The measured curves: frequency in kHz, and R, |Z|, SWR at each frequency.
struct Curves {
    std::vector<double> khz, r, z, swr;
};

// The axes of our stored chart.
inline constexpr double kFrequencyMin = 13675;
inline constexpr double kFrequencyMax = 14675;
inline constexpr double kSwrMin = 1;
inline constexpr double kSwrMax = 6;
inline constexpr double kOhmMin = 0;
inline constexpr double kOhmMax = 300;
// Our stored colours of R, Z and SWR.
inline constexpr QRgb kRColor = qRgb(0, 128, 0);
inline constexpr QRgb kZColor = qRgb(0, 128, 255);
inline constexpr QRgb kSwrColor = qRgb(255, 0, 0);
inline constexpr int kPenWidth = 2;
inline constexpr char kTitle[] = "VSWR Scan Data Chart";

// One chart under measurement. Our geometry changes and our new points only mark what to
// recompute; other libraries may do that work at once, so the benchmark times each change
// together with the paint that follows it.
class PaintedChart {
public:
    virtual ~PaintedChart() = default;

    // Moves the low end of the frequency axis: every curve has to be mapped anew.
    virtual void SetFrequencyMin(double khz) = 0;
    // Appends one point to the SWR curve.
    virtual void AppendSwr(double khz, double swr) = 0;
    // Paints the whole chart into the image, at the image's size, with everything the
    // library defers until then (layout, queued updates) done here.
    virtual void Paint(QImage& image) = 0;
};

// QCustomPlot's widget with three graphs, fast polylines and adaptive sampling.
std::unique_ptr<PaintedChart> MakeCustomPlotChart(const Curves& curves, QSize size);
// Qt's chart module: a QChart with three QLineSeries in a graphics scene.
std::unique_ptr<PaintedChart> MakeQtChartsChart(const Curves& curves, QSize size);

} // namespace bench
