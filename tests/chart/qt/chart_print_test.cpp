// The printed page, read back from a PDF with poppler's tools: the chart drawn as vectors and
// text (no picture in the file), scaled uniformly into the printable area, the summary texts
// in the footer line; printers and files that fail give one clear error box and no hang;
// the preview opens and closes.
#include "base/error_display.h"
#include "base/recording_error_display.h"
#include "chart/qt/chart_print.h"
#include "chart/qt/modal_support.h"
#include "chart/stored_chart.h"

#include <QFile>
#include <QImage>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace chart {
namespace {

using test::AnswerNext;
using test::StoredChart;

const QSize kOnScreen(825, 457);

// Runs a poppler tool; its standard output, or a null array when it did not finish well.
QByteArray RunTool(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        process.kill();
        process.waitForFinished(1000);
        ADD_FAILURE() << program.toStdString()
                      << " failed: " << process.readAllStandardError().toStdString();
        return QByteArray();
    }
    return process.readAllStandardOutput();
}

// A chart after a sweep over the default band.
struct SweptChart : StoredChart {
    SweptChart() {
        for (int i = 0; i <= 100; ++i) {
            const double f = 13675 + 10 * i;
            const double swr = 1.2 + std::abs(f - 14175) / 200;
            Swr().AddXY(f, swr);
            R().AddXY(f, 50 + (f - 14175) / 10);
            Z().AddXY(f, 60 + std::abs(f - 14175) / 5);
        }
    }
};

QRect InkBounds(const QImage& page) {
    QRect box;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            if (page.pixelColor(x, y).lightness() < 250) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

TEST(ChartPrint, PdfPageHoldsTheChartAsVectorsScaledToFitWithTheFooter) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SweptChart chart;
    const QString pdf = dir.filePath("chart.pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Landscape);
    const QStringList footer = {"MinSWR: 1.2 @14175KHz", "", "CenterSWR: 1.2 @14175KHz"};

    int repaints = 0;
    chart.plot.OnInvalidate = [&] { ++repaints; };
    ASSERT_EQ(RenderChartPage(printer, chart.plot, kOnScreen, footer), "");
    EXPECT_EQ(repaints, 0); // printing is no change of the chart
    EXPECT_FALSE(chart.plot.Painting());
    // Laid out at its size on screen: the mapping the window's mouse uses is unchanged.
    EXPECT_EQ(chart.plot.Layout().Bounds, (TRect{0, 0, 825, 457}));

    const QString text = QString::fromUtf8(RunTool("pdftotext", {"-layout", pdf, "-"}));
    EXPECT_TRUE(text.contains("VSWR Scan Data Chart")) << text.toStdString();
    EXPECT_TRUE(text.contains("MinSWR: 1.2 @14175KHz"));
    EXPECT_TRUE(text.contains("CenterSWR: 1.2 @14175KHz"));
    EXPECT_TRUE(text.contains("14,175") || text.contains("14.175") || text.contains("14,200") ||
                text.contains("14.200"))
        << "axis labels are text";
    EXPECT_TRUE(text.contains("SWR")); // legend

    // Printed at another size than the last layout's, the chart asks for a repaint.
    ASSERT_EQ(RenderChartPage(printer, chart.plot, QSize(600, 400), footer), "");
    EXPECT_EQ(repaints, 1);
    ASSERT_EQ(RenderChartPage(printer, chart.plot, kOnScreen, footer), "");

    // No picture inside: pdfimages lists only its two header lines.
    const QString images = QString::fromUtf8(RunTool("pdfimages", {"-list", pdf}));
    EXPECT_EQ(images.trimmed().split('\n').size(), 2) << images.toStdString();

    // Rendered back at 50 dpi: one page, the chart's panel fills the width between the
    // margins with the on-screen proportions, the footer below it.
    RunTool("pdftoppm", {"-r", "50", "-png", "-singlefile", pdf, dir.filePath("page")});
    QImage page(dir.filePath("page.png"));
    ASSERT_FALSE(page.isNull());
    EXPECT_GT(page.width(), page.height()); // landscape
    const QRect ink = InkBounds(page);
    const QRectF paint = printer.pageLayout().paintRectPoints();
    const double to_px = 50.0 / 72.0;
    EXPECT_NEAR(ink.left(), paint.left() * to_px, 4);
    EXPECT_NEAR(ink.width(), paint.width() * to_px, 6);
    // The panel's dark bevel is the chart's bottom edge; look for it from the bottom, in a
    // column right of the footer's text.
    const int x = ink.left() + ink.width() * 9 / 10;
    int chart_bottom = ink.bottom();
    while (chart_bottom > ink.top() && page.pixelColor(x, chart_bottom).lightness() >= 250) {
        --chart_bottom;
    }
    const double chart_height = chart_bottom - ink.top() + 1;
    EXPECT_NEAR(ink.width() / chart_height, 825.0 / 457.0, 0.05);
    EXPECT_GT(ink.bottom(), chart_bottom + 3) << "footer line below the chart";

    // Some pixels of the red SWR curve and the blue title.
    int red = 0;
    int blue = 0;
    for (int py = ink.top(); py <= chart_bottom; ++py) {
        for (int px = ink.left(); px <= ink.right(); ++px) {
            const QColor c = page.pixelColor(px, py);
            red += c.red() > 180 && c.green() < 90 && c.blue() < 90;
            blue += c.blue() > 180 && c.red() < 90 && c.green() < 90;
        }
    }
    EXPECT_GT(red, 30);
    EXPECT_GT(blue, 30);
}

// Footer texts that are all empty (no sweep yet) leave the footer line out.
TEST(ChartPrint, NoFooterLineBeforeAnySweep) {
    QTemporaryDir dir;
    StoredChart chart;
    const QString pdf = dir.filePath("empty.pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    ASSERT_EQ(RenderChartPage(printer, chart.plot, kOnScreen, {"", "", ""}), "");
    const QString text = QString::fromUtf8(RunTool("pdftotext", {pdf, "-"}));
    EXPECT_TRUE(text.contains("VSWR Scan Data Chart"));
    EXPECT_FALSE(text.contains("SWR:"));
}

// A printer that is not there and a file that cannot be written: one error box each,
// captioned with the application title, and the call returns.
TEST(ChartPrint, FailuresShowOneClearErrorBox) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile blocker(dir.filePath("not-a-folder"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    StoredChart chart;
    base::RecordingErrorDisplay boxes;

    QPrinter to_file(QPrinter::HighResolution);
    to_file.setOutputFormat(QPrinter::PdfFormat);
    to_file.setOutputFileName(dir.filePath("not-a-folder/chart.pdf"));
    EXPECT_FALSE(PrintChartPage(to_file, chart.plot, kOnScreen, {"MinSWR: 1.2 @14175KHz"}));
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].caption, base::ApplicationTitle());
    EXPECT_EQ(boxes.Boxes()[0].text.rfind("Cannot write the PDF file \"", 0), 0u)
        << boxes.Boxes()[0].text;
    EXPECT_NE(boxes.Boxes()[0].text.find("not-a-folder/chart.pdf"), std::string::npos);
    EXPECT_FALSE(chart.plot.Painting());

    EXPECT_FALSE(PrintChartTo("No Such Printer 7", chart.plot, kOnScreen, {}));
    ASSERT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(boxes.Boxes()[1].caption, base::ApplicationTitle());
    EXPECT_EQ(boxes.Boxes()[1].text, "The printer \"No Such Printer 7\" is not available.");

    EXPECT_FALSE(PrintChartPage(to_file, chart.plot, QSize(0, 457), {}));
    EXPECT_EQ(boxes.Count(), 3u);
}

// The preview opens on the chart's page and closes again.
TEST(ChartPrint, PreviewOpensAndCloses) {
    StoredChart chart;
    base::RecordingErrorDisplay boxes;
    auto answered = std::make_shared<bool>(false);
    bool painted = false;
    AnswerNext<QPrintPreviewDialog>(
        [&painted](QPrintPreviewDialog* d) {
            painted = d->findChildren<QWidget*>().size() > 0;
            d->reject();
        },
        answered);
    RunPrintPreview(nullptr, chart.plot, kOnScreen, {"MinSWR: 1.2 @14175KHz"});
    EXPECT_TRUE(*answered);
    EXPECT_TRUE(painted);
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_TRUE(chart.plot.Layout().Valid); // the preview painted the page
}

} // namespace
} // namespace chart
