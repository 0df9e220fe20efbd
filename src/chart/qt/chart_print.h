// Printing the chart: one page with the chart laid out at its size on screen, scaled
// uniformly to fit the printable area, and below it a footer line with the sweep's summary
// texts. The chart is painted through the same canvas as on screen, straight onto the
// printer's painter, so the page is vector drawing and text, sharp at any resolution.
//
// User-interface thread only. Painting the page lays the chart out at the given size: pass
// the size the chart widget has, and the mapping the window's mouse uses stays the same
// (another size asks the chart to repaint, so the screen lays it out again).
// Failures (a printer that is not there, a file that cannot be written) are reported, never
// thrown: as a returned text or in the error box.
#pragma once

#include "chart/plot.h"

#include <QSize>
#include <QString>
#include <QStringList>
#include <string>

class QPrinter;
class QWidget;

namespace chart {

// Paints the page into printer; returns an error text, empty on success. Empty footer texts
// are left out; with none, the page has no footer line.
[[nodiscard]] std::string RenderChartPage(QPrinter& printer, TPlot& chart, QSize logical_size,
                                          const QStringList& footer);

// As RenderChartPage, showing a failure in the error box (captioned with the application
// title). True on success.
bool PrintChartPage(QPrinter& printer, TPlot& chart, QSize logical_size, const QStringList& footer);

// Prints one page on the printer of that name (empty: the system's default printer) without
// a dialog; a printer that is not there is shown in the error box. True on success.
bool PrintChartTo(const QString& printer_name, TPlot& chart, QSize logical_size,
                  const QStringList& footer);

// Opens the print preview (page set-up, orientation, margins, printer choice, printing to
// PDF) on printer, or on the default printer when none is given.
void RunPrintPreview(QWidget* parent, TPlot& chart, QSize logical_size, const QStringList& footer,
                     QPrinter* printer = nullptr);

} // namespace chart
