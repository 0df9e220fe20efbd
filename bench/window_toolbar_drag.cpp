// A rotate drag on the main window's chart through the toolbar: 100 mouse moves over a chart
// holding the three measured curves at 10,000 points each. Milliseconds per move, each move
// including the toolbar's step (settings, label) and the chart's full repaint, done at once
// rather than at the widget's merged paint rate. Several drags; median, mean and slowest
// move. The chart paints with whatever 3D drawing the painter has.
#include "chart/qt/plot_toolbar_widget.h"
#include "chart/qt/plot_widget.h"
#include "chart/resonance_sweep.h" // tests/chart
#include "chart/series.h"
#include "e2e/window_support.h" // tests/e2e

#include <QAbstractButton>
#include <QApplication>
#include <QMouseEvent>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPoints = 10000;
constexpr int kMoves = 100;
constexpr int kDrags = 10;

void Fill(app::TTarnel& window) {
    window.Chart1->Plot().BottomAxis().SetMinMax(13675, 14675);
    chart::test::AddResonance(window.Series3(), window.Series1(), window.Series2(), kPoints, true);
}

void Send(chart::PlotWidget& chart, QEvent::Type type, QPointF at, Qt::MouseButton button,
          Qt::MouseButtons held) {
    QMouseEvent event(type, at, chart.mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(&chart, &event);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    auto window = app::MakeWindow();
    window->show();
    if (!app::WaitUntil(
            [&] { return window->windowHandle() && window->windowHandle()->isExposed(); }, 5000)) {
        std::fprintf(stderr, "window not shown\n");
        return 1;
    }
    Fill(*window);
    chart::PlotWidget& chart = *window->Chart1;
    chart.repaint();
    window->PlotToolbar1->ButtonWidget(chart::tcbRotate)->click();

    std::vector<double> times;
    for (int drag = 0; drag < kDrags; ++drag) {
        const QPointF start(200, 300);
        Send(chart, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
        for (int i = 1; i <= kMoves; ++i) {
            // Back and forth across the plot, so the angles keep changing.
            const double dx = 4.0 * (i <= kMoves / 2 ? i : kMoves - i);
            const QPointF at(start.x() + dx, start.y() - dx / 4);
            const auto begin = Clock::now();
            Send(chart, QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton);
            chart.repaint();
            times.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - begin).count());
        }
        Send(chart, QEvent::MouseButtonRelease, start, Qt::LeftButton, Qt::NoButton);
    }
    std::sort(times.begin(), times.end());
    const double mean = std::accumulate(times.begin(), times.end(), 0.0) / times.size();
    std::printf("rotate drag, 3 x %d points, %d drags of %d moves (View3D %s)\n", kPoints, kDrags,
                kMoves, chart.Plot().View3D() ? "on" : "off");
    std::printf("ms per move incl. repaint: median %.3f  mean %.3f  p95 %.3f  max %.3f\n",
                times[times.size() / 2], mean, times[times.size() * 95 / 100], times.back());
    std::printf("label: %s\n", window->PlotToolbar1->LabelWidget()->text().toUtf8().constData());
    return 0;
}
