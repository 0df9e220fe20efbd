#include "chart/qt/chart_print.h"

#include "base/error_display.h"
#include "chart/plot_painter.h"
#include "chart/qt/qt_canvas.h"

#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <exception>

namespace chart {

namespace {

constexpr qreal kFooterPoints = 9;

// Why the printer cannot take a page, or empty when it looks ready.
QString PrinterProblem(const QPrinter& printer) {
    const bool to_file = printer.outputFormat() == QPrinter::PdfFormat;
    if (to_file && !printer.outputFileName().isEmpty()) {
        return QString();
    }
    // Without a print system Qt turns a printer's job into a PDF without a file: the printer
    // named is still the one that is missing.
    const QString name = printer.printerName();
    if (!name.isEmpty() && !QPrinterInfo::availablePrinterNames().contains(name)) {
        return QStringLiteral("The printer \"%1\" is not available").arg(name);
    }
    if (to_file) {
        return QStringLiteral("No file was chosen for the PDF");
    }
    if (!printer.isValid()) {
        return QStringLiteral("No printer is available");
    }
    return QString();
}

QString StartProblem(const QPrinter& printer) {
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        return QStringLiteral("Cannot write the PDF file \"%1\"")
            .arg(QFileInfo(printer.outputFileName()).absoluteFilePath());
    }
    return QStringLiteral("Cannot start printing on \"%1\"").arg(printer.printerName());
}

// Paints the chart, laid out at size, into the painter's current coordinates.
std::string PaintChart(QPainter& painter, TPlot& chart, QSize size) {
    if (chart.Painting()) {
        return "The chart is busy painting";
    }
    const TPlotLayout before = chart.Layout();
    QtCanvas canvas;
    canvas.SetPainter(&painter);
    chart.BeginPaint();
    std::string error;
    try {
        PlotPainter(chart, canvas).Paint(size.width(), size.height());
    } catch (const std::exception& e) {
        error = e.what();
    } catch (...) {
        error = "Unknown error while painting the chart";
    }
    chart.EndPaint();
    canvas.SetPainter(nullptr);
    // Laid out at another size than on screen: the screen lays it out again before the
    // mouse maps through it.
    if (before.Valid && !(before.Bounds == chart.Layout().Bounds)) {
        chart.Invalidate();
    }
    return error;
}

} // namespace

std::string RenderChartPage(QPrinter& printer, TPlot& chart, QSize logical_size,
                            const QStringList& footer) {
    if (logical_size.width() <= 0 || logical_size.height() <= 0) {
        return "The chart has no size to print";
    }
    // The printer is asked only once starting failed: in the print preview it stands for
    // the preview's pages whatever printer it names.
    QPainter painter;
    if (!painter.begin(&printer)) {
        const QString problem = PrinterProblem(printer);
        return (problem.isEmpty() ? StartProblem(printer) : problem).toStdString();
    }
    // Printable area in device pixels, the painter's origin at its top-left corner.
    const QRectF area(0, 0, printer.width(), printer.height());

    QStringList texts;
    for (const QString& text : footer) {
        if (!text.trimmed().isEmpty()) {
            texts << text.trimmed();
        }
    }
    QFont footer_font(QStringLiteral("Tahoma"));
    footer_font.setPointSizeF(kFooterPoints);
    const QFontMetricsF metrics(footer_font, &printer);
    const qreal footer_height = texts.isEmpty() ? 0.0 : metrics.height() * 2;

    const QRectF chart_area(area.left(), area.top(), area.width(), area.height() - footer_height);
    const qreal scale = std::min(chart_area.width() / logical_size.width(),
                                 chart_area.height() / logical_size.height());
    const qreal left = chart_area.left() + (chart_area.width() - logical_size.width() * scale) / 2;

    painter.save();
    painter.translate(left, chart_area.top());
    painter.scale(scale, scale);
    std::string error = PaintChart(painter, chart, logical_size);
    painter.restore();

    if (error.empty() && !texts.isEmpty()) {
        painter.setFont(footer_font);
        painter.setPen(Qt::black);
        const qreal top = chart_area.top() + logical_size.height() * scale + metrics.height() * 0.5;
        const QRectF line(left, top, logical_size.width() * scale, metrics.height());
        painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         texts.join(QStringLiteral("     ")));
    }
    if (!painter.end() && error.empty()) {
        error = StartProblem(printer).toStdString();
    }
    return error;
}

bool PrintChartPage(QPrinter& printer, TPlot& chart, QSize logical_size,
                    const QStringList& footer) {
    const std::string error = RenderChartPage(printer, chart, logical_size, footer);
    if (error.empty()) {
        return true;
    }
    base::CurrentErrorDisplay().Show(base::ApplicationTitle(), base::ErrorBoxText(error));
    return false;
}

bool PrintChartTo(const QString& printer_name, TPlot& chart, QSize logical_size,
                  const QStringList& footer) {
    const QPrinterInfo info = printer_name.isEmpty() ? QPrinterInfo::defaultPrinter()
                                                     : QPrinterInfo::printerInfo(printer_name);
    if (info.isNull()) {
        const std::string error = printer_name.isEmpty()
                                      ? std::string("No printer is available")
                                      : QStringLiteral("The printer \"%1\" is not available")
                                            .arg(printer_name)
                                            .toStdString();
        base::CurrentErrorDisplay().Show(base::ApplicationTitle(), base::ErrorBoxText(error));
        return false;
    }
    QPrinter printer(info, QPrinter::HighResolution);
    return PrintChartPage(printer, chart, logical_size, footer);
}

void RunPrintPreview(QWidget* parent, TPlot& chart, QSize logical_size, const QStringList& footer,
                     QPrinter* printer) {
    QPrinter own(QPrinter::HighResolution);
    QPrinter& target = printer != nullptr ? *printer : own;
    if (printer == nullptr) {
        // A wide chart fills a landscape page best.
        own.setPageOrientation(logical_size.width() > logical_size.height()
                                   ? QPageLayout::Landscape
                                   : QPageLayout::Portrait);
    }
    QPrintPreviewDialog preview(&target, parent);
    preview.setObjectName(QStringLiteral("PrintPreview"));
    preview.setWindowTitle(QStringLiteral("Print Preview"));
    // Big enough to read the page, never beyond the screen.
    QSize size(1000, 760);
    if (const QScreen* screen =
            parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen()) {
        size = size.boundedTo(screen->availableSize() * 9 / 10);
    }
    preview.resize(size);
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&chart, logical_size, &footer](QPrinter* p) {
                         PrintChartPage(*p, chart, logical_size, footer);
                     });
    preview.exec();
}

} // namespace chart
