// The toolbar's Copy and Save in the window: every written file is read back by an
// independent reader (the chart file into a fresh window, the CSV by parsing, the pictures by
// Qt's decoders, poppler and librsvg), the Save dialog is driven as a user drives it, and
// failures name the file and keep what was there.
#include "app/chart_actions.h"
#include "app/tarnel.h"
#include "base/error_display.h"
#include "base/recording_error_display.h"
#include "chart/chart_file.h"
#include "chart/qt/chart_editor_dialog.h"
#include "chart/qt/modal_support.h"
#include "chart/qt/plot_toolbar_widget.h"
#include "chart/qt/plot_widget.h"
#include "chart/series.h"
#include "window_doubles.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QProcess>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <bit>
#include <charconv>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace app {
namespace {

std::unique_ptr<TTarnel> MakeWindow() {
    return std::make_unique<TTarnel>(std::make_unique<test::RecordingComPort>(),
                                     std::make_unique<test::RecordingDataPacket>());
}

// Calls act with the first visible top-level widget of type W once it opens (a modal dialog
// runs its own loop, so this polls from a timer); gives up after the deadline.
template <typename W> void WhenOpen(std::function<void(W*)> act, int deadline_ms = 10000) {
    auto* timer = new QTimer(qApp);
    auto elapsed = std::make_shared<QElapsedTimer>();
    elapsed->start();
    QObject::connect(timer, &QTimer::timeout, [timer, elapsed, deadline_ms, act] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* w = qobject_cast<W*>(widget);
            if (w != nullptr && w->isVisible()) {
                timer->stop();
                timer->deleteLater();
                act(w);
                return;
            }
        }
        if (elapsed->elapsed() > deadline_ms) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(20);
}

// The share of pixels of two pictures (compared over the smaller one) whose channels differ
// by at most tolerance.
double SimilarShare(const QImage& a, const QImage& b, int tolerance) {
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    const int w = std::min(x.width(), y.width());
    const int h = std::min(x.height(), y.height());
    int64_t same = 0;
    for (int row = 0; row < h; ++row) {
        for (int col = 0; col < w; ++col) {
            const QRgb p = x.pixel(col, row);
            const QRgb q = y.pixel(col, row);
            same += std::abs(qRed(p) - qRed(q)) <= tolerance &&
                    std::abs(qGreen(p) - qGreen(q)) <= tolerance &&
                    std::abs(qBlue(p) - qBlue(q)) <= tolerance;
        }
    }
    return w * h == 0 ? 0.0 : static_cast<double>(same) / (static_cast<double>(w) * h);
}

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class ChartActionsTest : public ::testing::Test {
protected:
    ChartActionsTest() {
        window_ = MakeWindow();
        window_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
        // A sweep over the default band: R and Z on the right axis, SWR on the left.
        for (int i = 0; i <= 100; ++i) {
            const double x = 13675.0 + i * 10.0;
            window_->Series1().AddXY(x, 50.0 + 40.0 * std::sin(i * 0.1));
            window_->Series2().AddXY(x, 120.0 + 60.0 * std::cos(i * 0.13));
            window_->Series3().AddXY(x, 1.0 + std::abs(i - 50) * 0.09 + i * 0.0001);
        }
        window_->SWRLabel->setText(QStringLiteral("MinSWR: 1.005 @14175KHz"));
        window_->SWRLabel->adjustSize();
        EXPECT_TRUE(dir_.isValid());
    }

    ChartActions& Actions() { return window_->Actions(); }
    QString Path(const QString& name) const { return dir_.filePath(name); }
    chart::TPlot& Plot() { return window_->Chart1->Plot(); }
    QSize DeviceSize() const {
        return window_->Chart1->size() * window_->Chart1->devicePixelRatioF();
    }
    // The chart as its widget paints it, without the labels on top of it.
    QImage WidgetPicture() {
        chart::PlotWidget& widget = *window_->Chart1;
        QImage image(DeviceSize(), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(widget.devicePixelRatioF());
        widget.render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground);
        return image;
    }

    base::RecordingErrorDisplay errors_;
    base::ScopedErrorDisplay error_scope_{errors_};
    std::unique_ptr<TTarnel> window_;
    QTemporaryDir dir_;
};

TEST_F(ChartActionsTest, ChartFileOpensInAFreshWindowAsTheSameChart) {
    Plot().Title().Text = {"Dipole, 20 m"};
    Plot().LeftAxis().SetMinMax(1, 4);
    window_->Series2().SetSeriesColor(base::clPurple);
    const QString path = Path(QStringLiteral("dipole 20 m \u00FC.tchart"));
    ASSERT_EQ(Actions().SaveChartFile(path), "");
    const chart::ChartDescription saved = chart::DescribeChart(Plot());

    auto fresh = MakeWindow();
    fresh->Series5().SetXValue(0, 14000); // the cursor lines keep what they hold
    const auto ref_line = chart::DescribeChart(fresh->Chart1->Plot()).Series[4];
    // The centre line follows the file's bottom axis.
    fresh->Chart1->Plot().BottomAxis().SetMinMax(7000, 7200);
    ASSERT_EQ(fresh->Actions().OpenChartFile(path), "");
    const chart::ChartDescription loaded = chart::DescribeChart(fresh->Chart1->Plot());
    EXPECT_EQ(loaded.TitleText, saved.TitleText);
    EXPECT_EQ(loaded.Axes, saved.Axes);
    EXPECT_EQ(loaded.PanelGradient, saved.PanelGradient);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(loaded.Series[i], saved.Series[i]) << i;
    }
    EXPECT_EQ(loaded.Series[3].X, (std::vector<double>{14175, 14175}));
    EXPECT_EQ(loaded.Series[4].X, ref_line.X);
    EXPECT_EQ(loaded.Series[4].Y, ref_line.Y);
}

TEST_F(ChartActionsTest, OpeningIsRefusedWithoutChangingAnything) {
    const QString good = Path(QStringLiteral("good.tchart"));
    ASSERT_EQ(Actions().SaveChartFile(good), "");
    chart::ChartDescription five = chart::DescribeChart(Plot());
    five.Series.pop_back();
    const std::string five_text = chart::WriteChartFile(five);
    {
        QFile f(Path(QStringLiteral("five.tchart")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(five_text.data(), static_cast<qint64>(five_text.size()));
    }
    {
        QFile f(Path(QStringLiteral("cut.tchart")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(FileBytes(good).left(3000));
    }
    // Something to lose: the window's chart now differs from the good file.
    window_->Series1().Clear();
    Plot().Title().Text = {"mine"};
    const chart::ChartDescription before = chart::DescribeChart(Plot());

    const struct {
        const char* what;
        QString path;
        bool collecting;
        const char* message;
    } cases[] = {
        {"sweep collecting", good, true, "while a sweep is collecting its points"},
        {"other series", Path(QStringLiteral("five.tchart")), false,
         "it does not fit this chart: the file holds 5 series (Series1, Series2, Series3, "
         "Series4, Series5), this chart has 6"},
        {"cut short", Path(QStringLiteral("cut.tchart")), false,
         "the file ends before the chart is complete"},
        {"missing", Path(QStringLiteral("absent.tchart")), false, "No such file or directory"},
        {"a folder", dir_.path(), false, "it is a folder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        window_->Sweep().State().StartReceived = c.collecting;
        const std::string error = Actions().OpenChartFile(c.path);
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
        EXPECT_NE(error.find(c.path.toStdString()), std::string::npos) << error;
        EXPECT_EQ(chart::DescribeChart(Plot()), before);
    }
    window_->Sweep().State().StartReceived = false;
    EXPECT_EQ(Actions().OpenChartFile(good), "");
    EXPECT_EQ(window_->Series1().Count(), 101);
}

TEST_F(ChartActionsTest, CsvHoldsTheSweepExactly) {
    const QString path = Path(QStringLiteral("sweep"));
    ASSERT_EQ(Actions().SaveAs(path, chart::SaveFormat::Csv), "");
    const QList<QByteArray> lines = FileBytes(path).split('\n');
    ASSERT_EQ(lines.size(), 103); // header, 101 rows, nothing after the last LF
    EXPECT_EQ(lines.front(), "Frequency (kHz),R,Z,SWR");
    const chart::TPlotSeries* curves[] = {&window_->Series1(), &window_->Series2(),
                                          &window_->Series3()};
    auto parse = [](const QByteArray& field) {
        double v = 0;
        std::from_chars(field.constData(), field.constData() + field.size(), v);
        return std::bit_cast<uint64_t>(v);
    };
    for (int i = 0; i < 101; ++i) {
        const QList<QByteArray> fields = lines[i + 1].split(',');
        ASSERT_EQ(fields.size(), 4);
        EXPECT_EQ(parse(fields[0]), std::bit_cast<uint64_t>(curves[0]->GetxValue(i)));
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(parse(fields[c + 1]), std::bit_cast<uint64_t>(curves[c]->GetyValue(i)));
        }
    }
}

TEST_F(ChartActionsTest, BitmapsAreTheChartsPixelsWithoutTheLabels) {
    const QImage shown = WidgetPicture();
    for (const auto& [name, format] : {std::pair{"chart.png", chart::SaveFormat::Png},
                                       {"chart.bmp", chart::SaveFormat::Bmp},
                                       {"chart.jpg", chart::SaveFormat::Jpeg}}) {
        SCOPED_TRACE(name);
        const QString path = Path(QString::fromLatin1(name));
        ASSERT_EQ(Actions().SaveAs(path, format), "");
        const QImage image(path);
        ASSERT_EQ(image.size(), DeviceSize());
        if (format == chart::SaveFormat::Jpeg) {
            EXPECT_GT(SimilarShare(image, shown, 40), 0.95);
        } else {
            EXPECT_EQ(image.convertToFormat(QImage::Format_RGB32),
                      shown.convertToFormat(QImage::Format_RGB32));
        }
    }
    // The label is there on the screen, so the comparison above would have seen it.
    const QImage with_labels = window_->Chart1->grab().toImage();
    EXPECT_NE(with_labels.convertToFormat(QImage::Format_RGB32),
              shown.convertToFormat(QImage::Format_RGB32));
}

TEST_F(ChartActionsTest, SvgAndPdfOpenInOtherDecodersAndShowTheChart) {
    const QImage shown = WidgetPicture().convertToFormat(QImage::Format_RGB32);
    const QSize logical = window_->Chart1->size();
    // What the decoders draw at 96 dots per inch.
    const QImage shown_logical =
        shown.scaled(logical, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);

    const QString svg = Path(QStringLiteral("chart.svg"));
    ASSERT_EQ(Actions().SaveAs(svg, chart::SaveFormat::Svg), "");
    QSvgRenderer renderer(svg);
    ASSERT_TRUE(renderer.isValid());
    EXPECT_EQ(renderer.viewBox(), QRect(QPoint(0, 0), logical));
    QImage drawn(DeviceSize(), QImage::Format_RGB32);
    drawn.fill(Qt::white);
    {
        QPainter painter(&drawn);
        renderer.render(&painter);
    }
    EXPECT_GT(SimilarShare(drawn, shown, 40), 0.95);
    // The curves are a few polylines, not an element per segment.
    const QByteArray text = FileBytes(svg);
    EXPECT_GE(text.count("<polyline"), 3);
    EXPECT_LE(text.count("<polyline"), 10);

    const QString rsvg = QStandardPaths::findExecutable(QStringLiteral("rsvg-convert"));
    if (!rsvg.isEmpty()) {
        QProcess process;
        process.start(rsvg, {QStringLiteral("-o"), Path(QStringLiteral("svg.png")), svg});
        ASSERT_TRUE(process.waitForFinished(30000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        const QImage converted(Path(QStringLiteral("svg.png")));
        EXPECT_LE(std::abs(converted.width() - logical.width()), 1);
        EXPECT_LE(std::abs(converted.height() - logical.height()), 1);
        EXPECT_GT(SimilarShare(converted, shown_logical, 40), 0.95);
    } else {
        ADD_FAILURE() << "rsvg-convert is missing: run scripts/setup";
    }

    const QString pdf = Path(QStringLiteral("chart.pdf"));
    ASSERT_EQ(Actions().SaveAs(pdf, chart::SaveFormat::Pdf), "");
    EXPECT_TRUE(FileBytes(pdf).startsWith("%PDF-"));
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    ASSERT_FALSE(pdftoppm.isEmpty()) << "pdftoppm is missing: run scripts/setup";
    QProcess process;
    process.start(pdftoppm, {QStringLiteral("-r"), QStringLiteral("96"), QStringLiteral("-png"),
                             QStringLiteral("-singlefile"), pdf, Path(QStringLiteral("pdf"))});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    const QImage page(Path(QStringLiteral("pdf.png")));
    EXPECT_LE(std::abs(page.width() - logical.width()), 1);
    EXPECT_LE(std::abs(page.height() - logical.height()), 1);
    EXPECT_GT(SimilarShare(page, shown_logical, 40), 0.95);
}

TEST_F(ChartActionsTest, FailuresNameTheFileAndKeepWhatWasThere) {
    const QString kept = Path(QStringLiteral("kept.png"));
    ASSERT_EQ(Actions().SaveAs(kept, chart::SaveFormat::Png), "");
    const QByteArray before = FileBytes(kept);
    QFile::link(Path(QStringLiteral("gone.csv")), Path(QStringLiteral("dangling.csv")));
    const struct {
        QString path;
        const char* reason;
    } cases[] = {
        {kept + QStringLiteral("/inside.png"), "Not a directory"},
        {dir_.path(), "it is a folder"},
        {Path(QStringLiteral("dangling.csv")), "a link to a file that does not exist"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        const std::string error = Actions().SaveAs(c.path, chart::SaveFormat::Csv);
        EXPECT_NE(error.find("\"" + c.path.toStdString() + "\""), std::string::npos) << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
    EXPECT_EQ(FileBytes(kept), before);
    EXPECT_EQ(QDir(dir_.path())
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
              (QStringList{QStringLiteral("dangling.csv"), QStringLiteral("kept.png")}));
}

TEST_F(ChartActionsTest, CopyPutsTheChartOnTheClipboard) {
    QGuiApplication::clipboard()->clear();
    window_->PlotToolbar1->ButtonWidget(chart::tcbCopy)->click();
    const QImage copied = QGuiApplication::clipboard()->image();
    ASSERT_EQ(copied.size(), DeviceSize());
    EXPECT_EQ(copied.convertToFormat(QImage::Format_RGB32),
              WidgetPicture().convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(errors_.Count(), 0u);
}

// A clipboard that another program empties at once.
class LosingClipboard : public ImageClipboard {
public:
    void SetImage(const QImage&) override {}
    QImage Image() const override { return {}; }
};

TEST_F(ChartActionsTest, AClipboardWithoutThePictureIsReported) {
    ChartActions actions(*window_, *window_->Chart1,
                         SweepChart{Plot(), window_->Series1(), window_->Series2(),
                                    window_->Series3(), window_->Series4(), window_->Series5(),
                                    window_->Series6()},
                         window_->Sweep(), std::make_unique<LosingClipboard>());
    window_->PlotToolbar1->Toolbar().SetActions(&actions);
    window_->PlotToolbar1->ButtonWidget(chart::tcbCopy)->click();
    window_->PlotToolbar1->Toolbar().SetActions(&window_->Actions());
    ASSERT_EQ(errors_.Count(), 1u);
    EXPECT_EQ(errors_.Boxes()[0].caption, base::ApplicationTitle());
    EXPECT_EQ(errors_.Boxes()[0].text,
              "The chart could not be copied: the clipboard holds no picture.");
}

// Types name into the open Save dialog after choosing the filter that starts with filter.
void TypeIntoSaveDialog(const QString& folder, const QString& filter, const QString& name) {
    WhenOpen<QFileDialog>([=](QFileDialog* dialog) {
        EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
        EXPECT_TRUE(dialog->nameFilters().first().startsWith(QStringLiteral("Chart file")));
        dialog->setDirectory(folder);
        for (const QString& f : dialog->nameFilters()) {
            if (f.startsWith(filter)) {
                dialog->selectNameFilter(f);
            }
        }
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(edit, nullptr);
        edit->clear();
        // Key by key, as typed (QTest::keyClicks knows only ASCII keys).
        for (const QChar c : name) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(edit, &press);
            QApplication::sendEvent(edit, &release);
        }
        EXPECT_EQ(edit->text(), name);
        QTest::keyClick(edit, Qt::Key_Return);
    });
}

TEST_F(ChartActionsTest, SaveDialogTakesTheTypedExtensionOrTheFiltersAndConfirmsOverwriting) {
    QAbstractButton* save = window_->PlotToolbar1->ButtonWidget(chart::tcbSave);
    // No extension: the filter's is appended. A typed extension decides.
    TypeIntoSaveDialog(dir_.path(), QStringLiteral("CSV"), QStringLiteral("sweep \u00FC 14 MHz"));
    save->click();
    const QString csv = Path(QStringLiteral("sweep \u00FC 14 MHz.csv"));
    EXPECT_TRUE(FileBytes(csv).startsWith("Frequency (kHz),R,Z,SWR\n"));
    TypeIntoSaveDialog(dir_.path(), QStringLiteral("Chart file"), QStringLiteral("picture.PNG"));
    save->click();
    EXPECT_EQ(QImage(Path(QStringLiteral("picture.PNG"))).convertToFormat(QImage::Format_RGB32),
              WidgetPicture().convertToFormat(QImage::Format_RGB32));
    TypeIntoSaveDialog(dir_.path(), QStringLiteral("PDF"), QStringLiteral("typed.csv"));
    save->click();
    EXPECT_EQ(FileBytes(Path(QStringLiteral("typed.csv"))), FileBytes(csv));

    // An existing file: "No" returns to the dialog, which is then cancelled; "Yes" replaces.
    const QByteArray before = FileBytes(csv);
    window_->Series1().Clear();
    bool asked = false;
    bool back_in_dialog = false;
    TypeIntoSaveDialog(dir_.path(), QStringLiteral("CSV"), QStringLiteral("sweep \u00FC 14 MHz"));
    WhenOpen<QMessageBox>([&](QMessageBox* box) {
        asked = box->text().contains(QStringLiteral("already exists"));
        WhenOpen<QFileDialog>([&](QFileDialog* dialog) {
            back_in_dialog = true;
            dialog->reject();
        });
        box->button(QMessageBox::No)->click();
    });
    save->click();
    EXPECT_TRUE(asked);
    EXPECT_TRUE(back_in_dialog);
    EXPECT_EQ(FileBytes(csv), before);

    TypeIntoSaveDialog(dir_.path(), QStringLiteral("CSV"), QStringLiteral("sweep \u00FC 14 MHz"));
    WhenOpen<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
    save->click();
    EXPECT_NE(FileBytes(csv), before);
    EXPECT_TRUE(FileBytes(csv).contains("\n13675,,"));
    EXPECT_EQ(errors_.Count(), 0u);
}

// Edit opens the chart editor and Print the print preview, whose footer is the window's
// readout as shown.
TEST_F(ChartActionsTest, EditAndPrintOpenTheEditorAndThePreview) {
    const auto button = [&](const QString& name) -> QAbstractButton* {
        for (QAbstractButton* b : window_->PlotToolbar1->findChildren<QAbstractButton*>()) {
            if (b->accessibleName() == name) {
                return b;
            }
        }
        return nullptr;
    };
    QAbstractButton* edit = button(QStringLiteral("Edit"));
    QAbstractButton* print = button(QStringLiteral("Print"));
    ASSERT_NE(edit, nullptr);
    ASSERT_NE(print, nullptr);
    ASSERT_TRUE(edit->isEnabled() && print->isEnabled());

    auto edited = std::make_shared<bool>(false);
    chart::test::AnswerNext<chart::ChartEditorDialog>(
        [](chart::ChartEditorDialog* dialog) { dialog->reject(); }, edited);
    edit->click(); // returns once the editor is closed
    EXPECT_TRUE(*edited) << "no chart editor opened";

    auto previewed = std::make_shared<bool>(false);
    chart::test::AnswerNext<QPrintPreviewDialog>(
        [](QPrintPreviewDialog* dialog) { dialog->reject(); }, previewed);
    print->click();
    EXPECT_TRUE(*previewed) << "no print preview opened";
    ASSERT_TRUE(Actions().PrintFooter);
    EXPECT_EQ(Actions().PrintFooter(), QStringList{QStringLiteral("MinSWR: 1.005 @14175KHz")});
    EXPECT_EQ(errors_.Count(), 0u);
}

} // namespace
} // namespace app
