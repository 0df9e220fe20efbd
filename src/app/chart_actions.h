// What the chart toolbar's action buttons do in the main window: Copy puts the chart's
// picture on the clipboard, Save asks for a file and writes the chart file, a picture (PNG,
// JPEG, BMP, SVG, PDF) or the sweep as CSV. The chart editor's Open and Save buttons call
// OpenChartFile and SaveChartFile.
//
// Contract:
// - User-interface thread only. The window owns this object and everything it refers to,
//   and sets it on PlotToolbar1's toolbar.
// - Pictures show the chart as the window does (its logical size; bitmaps at the screen's
//   device pixel ratio), without the readout labels that the window places on top of it.
// - Every file is written beside its target and renamed over it: a failure leaves an
//   earlier file as it was. Failures of the buttons are shown in the error box; the
//   functions below return their failure as a sentence (empty on success).
#pragma once

#include "app/sweep/sweep_controller.h"
#include "chart/plot_toolbar.h"
#include "chart/save_formats.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QWidget;

namespace chart {
class PlotWidget;
} // namespace chart

namespace app {

// Where Copy puts the picture. The system clipboard in the program; tests may give one that
// loses it.
class ImageClipboard {
public:
    virtual ~ImageClipboard() = default;
    virtual void SetImage(const QImage& image) = 0;
    [[nodiscard]] virtual QImage Image() const = 0;
};

class SystemClipboard : public ImageClipboard {
public:
    void SetImage(const QImage& image) override;
    [[nodiscard]] QImage Image() const override;
};

class ChartActions : public chart::IPlotToolbarActions {
public:
    // window: the parent of the dialogs; chart_widget shows chart.Chart1.
    ChartActions(QWidget& window, chart::PlotWidget& chart_widget, SweepChart chart,
                 SweepController& sweep,
                 std::unique_ptr<ImageClipboard> clipboard = std::make_unique<SystemClipboard>());

    // The chart editor; its Save and Open buttons write and read chart files.
    bool Edit(chart::TPlot& plot) override;
    // The print preview of the chart, with the footer's lines below it.
    void Print(chart::TPlot& plot) override;
    // The lines printed below the chart (the window's readout texts).
    std::function<QStringList()> PrintFooter;
    void Copy(chart::TPlot& plot) override;
    void Save(chart::TPlot& plot) override;

    // Writes the chart in a format to path (the name as the user gave it).
    [[nodiscard]] std::string SaveAs(const QString& path, chart::SaveFormat format);
    [[nodiscard]] std::string SaveChartFile(const QString& path) {
        return SaveAs(path, chart::SaveFormat::ChartFile);
    }
    // Replaces the chart's settings and the points of R, Z and SWR by those of a chart file
    // (the centre line is drawn again from the bottom axis; the cursor lines keep their
    // points). Refused, changing nothing, while a sweep collects lines, or when the file is
    // damaged or holds other series than this chart.
    [[nodiscard]] std::string OpenChartFile(const QString& path);

    // The file's bytes in a format; empty with error set on failure.
    [[nodiscard]] QByteArray Encode(chart::SaveFormat format, std::string& error);

    // The chart's size on the screen and the screen's device pixel ratio.
    [[nodiscard]] QSize LogicalSize() const;
    [[nodiscard]] qreal PixelRatio() const;

private:
    // The Save dialog: the file and format chosen, none when cancelled.
    std::optional<chart::SaveTarget> AskSaveTarget();
    void ShowError(const std::string& message) const;

    QWidget& window_;
    chart::PlotWidget& chart_widget_;
    SweepChart chart_;
    SweepController& sweep_;
    std::unique_ptr<ImageClipboard> clipboard_;
    QString last_folder_;                                          // where the dialog opens next
    chart::SaveFormat last_format_ = chart::SaveFormat::ChartFile; // its filter next time
};

} // namespace app
