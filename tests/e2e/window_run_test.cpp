// The window as the program runs it: the Qt message loop, the message-box error display and
// the real com port on pseudo-terminals published as ports. A failing handler must show a
// modal error box captioned with the program's title, and the window must go on; an error of
// the serial threads shows "Application Error".
#include "app/com_port_adapter.h"
#include "app/data_packet_adapter.h"
#include "app/sweep/sweep_controller.h"
#include "app/tarnel.h"
#include "base/error_display.h"
#include "base/message_loop.h"
#include "base/qt/message_box_error_display.h"
#include "base/qt/qt_message_loop.h"
#include "chart/plot.h"
#include "chart/qt/plot_widget.h"
#include "chart/series.h"
#include "e2e/window_support.h"
#include "support/pty_ports.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace app {
namespace {

using serial::testing::PortsFolders;
using serial::testing::Pty;

// The window as main() builds it, with COM6 (the combo box's first choice) on a pty and
// COM7 a link to nothing.
class WindowRun : public ::testing::Test {
protected:
    WindowRun() {
        base::SetApplicationTitle(
            base::ApplicationTitleFromPath(QCoreApplication::arguments().value(0).toStdString()));
        PortsFolders::Link(folders.Tool(), 6, pty->SlavePath());
        PortsFolders::Link(folders.Tool(), 7, (folders.Tool() / "gone").string());
        window.show();
    }

    // Clicks the button and answers the error box it opens; returns what the box showed.
    SeenBox ClickExpectingBox(QPushButton* button) {
        SeenBox seen;
        CloseNextBox(seen);
        QTest::mouseClick(button, Qt::LeftButton); // returns once the box is closed
        return seen;
    }

    // Runs the event loop until the next error box opens and closes it.
    SeenBox WaitForBox() {
        SeenBox seen;
        CloseNextBox(seen);
        for (int i = 0; i < 250 && !seen.seen; ++i)
            QTest::qWait(20);
        return seen;
    }

    base::QtMessageLoop loop;
    base::ScopedMessageLoop scoped_loop{loop};
    base::MessageBoxErrorDisplay display;
    base::ScopedErrorDisplay scoped_display{display};
    PortsFolders folders;
    std::unique_ptr<Pty> pty = std::make_unique<Pty>();
    std::unique_ptr<TTarnel> window_ = MakeWindow();
    TTarnel& window = *window_;
};

TEST_F(WindowRun, ConnectAndScanWriteTheCommandToThePortByteForByte) {
    ASSERT_EQ(window.ComPortSelectComboBox->currentText(), QStringLiteral("COM6"));
    QTest::mouseClick(window.ConnectBtn, Qt::LeftButton);
    ASSERT_TRUE(window.SioComPort().Open());
    EXPECT_FALSE(window.ConnectBtn->isEnabled());
    EXPECT_TRUE(window.DisConnectBtn->isEnabled());
    EXPECT_EQ(window.SioComPort().Baud(), 56000);

    QTest::mouseClick(window.ScanStartBtn, Qt::LeftButton);
    const std::string command = "scanr 13675000 14685000 10000\r\n";
    EXPECT_EQ(pty->Read(command.size()), command); // raw: CR LF stays CR LF
    EXPECT_FALSE(window.ScanStartBtn->isEnabled());

    QTest::mouseClick(window.DisConnectBtn, Qt::LeftButton);
    EXPECT_FALSE(window.SioComPort().Open());
    EXPECT_TRUE(window.ConnectBtn->isEnabled());
}

TEST_F(WindowRun, AHangUpMidStreamShowsTheErrorAndAReconnectWorks) {
    QTest::mouseClick(window.ConnectBtn, Qt::LeftButton);
    ASSERT_TRUE(window.SioComPort().Open());
    ASSERT_TRUE(pty->Write("Start\r\n12 34"));
    pty->CloseMaster(); // the adapter is pulled

    const SeenBox lost = WaitForBox();
    ASSERT_TRUE(lost.seen);
    EXPECT_EQ(lost.title, QStringLiteral("Application Error"));
    EXPECT_TRUE(lost.text.contains(QStringLiteral("Device read error"))) << lost.text.toStdString();

    // A write to the lost device is refused, never reported as sent.
    const SeenBox refused = ClickExpectingBox(window.ScanStartBtn);
    ASSERT_TRUE(refused.seen);
    EXPECT_EQ(refused.title, QStringLiteral("e2e_tests"));

    QTest::mouseClick(window.DisConnectBtn, Qt::LeftButton);
    ASSERT_FALSE(window.SioComPort().Open());

    // The adapter is back (a new pty under the same name): Connect opens it again.
    pty = std::make_unique<Pty>();
    PortsFolders::Link(folders.Tool(), 6, pty->SlavePath());
    QTest::mouseClick(window.ConnectBtn, Qt::LeftButton);
    ASSERT_TRUE(window.SioComPort().Open());
    window.SioComPort().PutString("again\r\n");
    EXPECT_EQ(pty->Read(7), "again\r\n");
}

TEST_F(WindowRun, AFailingConnectShowsTheErrorBoxAndTheWindowCarriesOn) {
    window.ComPortSelectComboBox->setEditText(QStringLiteral("COM7"));
    const SeenBox seen = ClickExpectingBox(window.ConnectBtn);
    ASSERT_TRUE(seen.seen);
    EXPECT_TRUE(seen.modal);
    EXPECT_EQ(seen.title, QStringLiteral("e2e_tests"));
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.text, QStringLiteral("ie_BadId - Specified comport doesn't exist."));
    EXPECT_TRUE(window.ConnectBtn->isEnabled());
    EXPECT_FALSE(window.DisConnectBtn->isEnabled());
    EXPECT_FALSE(window.SioComPort().Open());

    // The window still answers: a band item still writes the edits.
    QTest::mouseClick(window.RadioGroup1->Button(0), Qt::LeftButton);
    EXPECT_EQ(window.CenterFreqEdit->text(), QStringLiteral("3650"));
}

// A chart that cannot paint shows its panel and one error, reported after the paint; the next
// good paint re-arms the report.
TEST_F(WindowRun, AFailingChartPaintReportsOnceOutsideThePaint) {
    chart::TPlot& plot = window.Chart1->Plot();
    struct Reports : base::ErrorDisplay {
        explicit Reports(const chart::TPlot& plot) : plot(plot) {}
        void Show(const std::string& caption, const std::string& text) override {
            shown.push_back(caption + ": " + text);
            in_paint = in_paint || plot.Painting();
        }
        const chart::TPlot& plot;
        std::vector<std::string> shown;
        bool in_paint = false;
    } reports(plot);
    base::ScopedErrorDisplay scoped(reports);
    bool failing = true;
    plot.OnGetAxisLabel = [&](const chart::TPlotAxis&, const chart::TPlotSeries*, int32_t,
                              std::string&) {
        if (failing) {
            throw std::runtime_error("no labels today");
        }
    };
    window.Chart1->repaint();
    window.Chart1->repaint(); // failing again before a good paint: no second report
    ASSERT_TRUE(WaitUntil([&] { return !reports.shown.empty(); }, 5000));
    QTest::qWait(50);
    EXPECT_EQ(reports.shown, std::vector<std::string>{"e2e_tests: no labels today."});
    EXPECT_FALSE(reports.in_paint) << "reported from inside a paint";

    failing = false;
    window.Chart1->repaint();
    failing = true;
    window.Chart1->repaint();
    EXPECT_TRUE(WaitUntil([&] { return reports.shown.size() == 2; }, 5000))
        << "a good paint re-arms the report";
    plot.OnGetAxisLabel = nullptr;
}

} // namespace
} // namespace app
