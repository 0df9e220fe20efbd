#include "app/chart_actions.h"

#include "app/sweep/sweep_csv.h"
#include "base/error_display.h"
#include "base/file_io.h"
#include "chart/chart_file.h"
#include "chart/qt/chart_editor_dialog.h"
#include "chart/qt/chart_output.h"
#include "chart/qt/chart_print.h"
#include "chart/qt/plot_widget.h"
#include "chart/series.h"

#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

namespace app {

namespace {

// Screen pixels per inch of the chart's logical size, for page sizes in points.
constexpr qreal kLogicalDpi = 96.0;

std::string SystemPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

std::string Quoted(const QString& path) {
    return "\"" + path.toStdString() + "\"";
}

} // namespace

void SystemClipboard::SetImage(const QImage& image) {
    QGuiApplication::clipboard()->setImage(image);
}

QImage SystemClipboard::Image() const {
    return QGuiApplication::clipboard()->image();
}

ChartActions::ChartActions(QWidget& window, chart::PlotWidget& chart_widget, SweepChart chart,
                           SweepController& sweep, std::unique_ptr<ImageClipboard> clipboard)
    : window_(window), chart_widget_(chart_widget), chart_(chart), sweep_(sweep),
      clipboard_(std::move(clipboard)), last_folder_(QDir::homePath()) {}

QSize ChartActions::LogicalSize() const {
    return chart_widget_.size();
}

qreal ChartActions::PixelRatio() const {
    return chart_widget_.devicePixelRatioF();
}

void ChartActions::ShowError(const std::string& message) const {
    base::CurrentErrorDisplay().Show(base::ApplicationTitle(), base::ErrorBoxText(message));
}

void ChartActions::Copy(chart::TPlot& plot) {
    const QImage image = chart::RenderChartImage(plot, LogicalSize(), PixelRatio());
    if (!image.isNull()) {
        clipboard_->SetImage(image);
    }
    // Another program may own the clipboard or refuse the picture: look at what arrived.
    if (image.isNull() || clipboard_->Image().isNull()) {
        ShowError("The chart could not be copied: the clipboard holds no picture");
    }
}

void ChartActions::Save(chart::TPlot&) {
    if (!chart_.Chart1.AxisVisible()) {
        return; // only a chart with axes is saved
    }
    const std::optional<chart::SaveTarget> target = AskSaveTarget();
    if (!target) {
        return;
    }
    const std::string error = SaveAs(QFile::decodeName(target->Path.c_str()), target->Format);
    if (!error.empty()) {
        ShowError(error);
    }
}

std::optional<chart::SaveTarget> ChartActions::AskSaveTarget() {
    QStringList filters;
    int selected = 0;
    for (const chart::SaveFormatInfo& info : chart::SaveFormats()) {
        if (info.Format == last_format_) {
            selected = static_cast<int>(filters.size());
        }
        filters << QString::fromStdString(chart::FilterText(info));
    }
    QFileDialog dialog(&window_, QStringLiteral("Save the chart"), last_folder_);
    dialog.setObjectName(QStringLiteral("ChartSaveDialog"));
    // Qt's own dialog, the same on every desktop; overwriting is confirmed below, for the
    // name with its extension.
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.value(selected));
    for (;;) {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return std::nullopt;
        }
        const int filter = static_cast<int>(filters.indexOf(dialog.selectedNameFilter()));
        const chart::SaveFormat chosen =
            chart::SaveFormats()[static_cast<size_t>(std::max(filter, 0))].Format;
        chart::SaveTarget target =
            chart::ResolveSaveTarget(SystemPath(dialog.selectedFiles().first()), chosen);
        const QString path = QFile::decodeName(target.Path.c_str());
        last_folder_ = QFileInfo(path).absolutePath();
        last_format_ = chosen;
        const QFileInfo info(path);
        if (info.exists() || info.isSymLink()) {
            const auto answer = QMessageBox::question(
                &window_, QString::fromStdString(base::ApplicationTitle()),
                QStringLiteral("\"%1\" already exists.\nDo you want to replace it?")
                    .arg(info.fileName()),
                QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
            if (answer != QMessageBox::Yes) {
                dialog.selectFile(info.fileName());
                continue; // back to the dialog for another name
            }
        }
        return target;
    }
}

QByteArray ChartActions::Encode(chart::SaveFormat format, std::string& error) {
    using chart::SaveFormat;
    chart::TPlot& plot = chart_.Chart1;
    const QSize logical = LogicalSize();
    QByteArray bytes;
    switch (format) {
    case SaveFormat::ChartFile: {
        const std::string text = chart::WriteChartFile(chart::DescribeChart(plot));
        return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
    }
    case SaveFormat::Csv: {
        const std::string text = SweepCsv(chart_.Series1, chart_.Series2, chart_.Series3);
        return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
    }
    case SaveFormat::Png:
    case SaveFormat::Jpeg:
    case SaveFormat::Bmp: {
        QImage image = chart::RenderChartImage(plot, logical, PixelRatio());
        if (image.isNull()) {
            error = "there is not enough memory for the picture";
            return {};
        }
        const char* kind = format == SaveFormat::Png    ? "PNG"
                           : format == SaveFormat::Jpeg ? "JPG"
                                                        : "BMP";
        if (format != SaveFormat::Png) {
            image = image.convertToFormat(QImage::Format_RGB32); // no alpha channel there
        }
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, kind, format == SaveFormat::Jpeg ? 95 : -1)) {
            error = "the picture could not be encoded";
            return {};
        }
        return bytes;
    }
    case SaveFormat::Svg: {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(logical);
        svg.setViewBox(QRect(QPoint(0, 0), logical));
        svg.setResolution(static_cast<int>(kLogicalDpi));
        if (!plot.Title().Text.empty()) {
            svg.setTitle(QString::fromStdString(plot.Title().Text.front()));
        }
        QPainter painter;
        if (!painter.begin(&svg)) {
            error = "the drawing could not be started";
            return {};
        }
        chart::PaintChartScaled(painter, plot, logical, QRectF(QPoint(0, 0), logical), true);
        painter.end();
        return bytes;
    }
    case SaveFormat::Pdf: {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter pdf(&buffer);
        // One page of the chart's size: the picture, not a printout.
        const QSizeF points(logical.width() * 72.0 / kLogicalDpi,
                            logical.height() * 72.0 / kLogicalDpi);
        pdf.setPageLayout(
            QPageLayout(QPageSize(points, QPageSize::Point), QPageLayout::Portrait, QMarginsF()));
        pdf.setResolution(1200);
        if (!plot.Title().Text.empty()) {
            pdf.setTitle(QString::fromStdString(plot.Title().Text.front()));
        }
        QPainter painter;
        if (!painter.begin(&pdf)) {
            error = "the document could not be started";
            return {};
        }
        const QRectF page = pdf.pageLayout().paintRectPixels(pdf.resolution());
        chart::PaintChartScaled(painter, plot, logical, QRectF(QPointF(0, 0), page.size()), true);
        painter.end();
        return bytes;
    }
    }
    error = "unknown format";
    return {};
}

std::string ChartActions::SaveAs(const QString& path, chart::SaveFormat format) {
    std::string error;
    const QByteArray bytes = Encode(format, error);
    if (error.empty()) {
        error = base::WriteFileReplacing(
            SystemPath(path),
            std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    }
    if (error.empty()) {
        return {};
    }
    return "Cannot save the chart to " + Quoted(path) + ": " + error;
}

bool ChartActions::Edit(chart::TPlot& plot) {
    chart::ChartEditorHooks hooks;
    hooks.Save = [this](const std::string& path) {
        return SaveChartFile(QString::fromStdString(path));
    };
    hooks.Open = [this](const std::string& path) {
        return OpenChartFile(QString::fromStdString(path));
    };
    const chart::SaveFormatInfo& file = chart::SaveFormatOf(chart::SaveFormat::ChartFile);
    hooks.FileFilter = chart::FilterText(file) + ";;All files (*)";
    hooks.DefaultSuffix = file.Extensions[0];
    return chart::RunChartEditor(&window_, plot, hooks);
}

void ChartActions::Print(chart::TPlot& plot) {
    chart::RunPrintPreview(&window_, plot, LogicalSize(),
                           PrintFooter ? PrintFooter() : QStringList{});
}

std::string ChartActions::OpenChartFile(const QString& path) {
    if (sweep_.CollectingLines()) {
        return "Cannot open " + Quoted(path) +
               " while a sweep is collecting its points: stop the sweep and let it end first";
    }
    std::string bytes;
    std::string error = base::ReadWholeFile(SystemPath(path), chart::kMaxFileBytes, bytes);
    if (!error.empty()) {
        return "Cannot open " + Quoted(path) + ": " + error;
    }
    const chart::ChartFileReadResult read = chart::ReadChartFile(bytes);
    if (!read.Chart) {
        return "Cannot open " + Quoted(path) + ": " + read.Error;
    }
    const chart::ChartDescription& file = *read.Chart;
    if (const std::string differs = chart::FitsChart(chart_.Chart1, file); !differs.empty()) {
        return "Cannot open " + Quoted(path) + ": it does not fit this chart: " + differs;
    }
    chart::ApplyChartSettings(chart_.Chart1, file);
    chart::ReplacePoints(chart_.Series1, file.Series[0]);
    chart::ReplacePoints(chart_.Series2, file.Series[1]);
    chart::ReplacePoints(chart_.Series3, file.Series[2]);
    sweep_.RedrawCentreLine();
    return {};
}

} // namespace app
