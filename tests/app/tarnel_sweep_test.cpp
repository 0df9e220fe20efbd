// The window driven as a user and the analyzer would: clicks with QTest, lines through the
// line handler, mouse moves over the chart; what the port receives, what the chart holds and
// what the error display shows.
#include "app/sweep/sweep_controller.h"
#include "app/tarnel.h"
#include "base/error_display.h"
#include "base/recording_error_display.h"
#include "chart/qt/plot_widget.h"
#include "chart/series.h"
#include "window_doubles.h"

#include <QApplication>
#include <QMouseEvent>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>

namespace app {
namespace {

constexpr const char* kDefaultCommand = "scanr 13675000 14685000 10000\r\n";
// Worked measurement lines: SWR 2, |Z| 50, R 40 / SWR 1, |Z| 50, R 50 / SWR 1.42, |Z| 100, R 117.
constexpr const char* kSwr2 = "300,100,250,250\r\n";
constexpr const char* kSwr1 = "500,0,100,100\r\n";
constexpr const char* kSwr142 = "255,45,300,150\r\n";

class TarnelSweep : public ::testing::Test {
protected:
    TarnelSweep() {
        auto port_double = std::make_unique<test::RecordingComPort>();
        port = port_double.get();
        auto packet_double = std::make_unique<test::RecordingDataPacket>();
        packet = packet_double.get();
        window = std::make_unique<TTarnel>(std::move(port_double), std::move(packet_double));
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    // Delivers a line through the matcher's event, as the packet matcher does.
    void Line(const std::string& line) { packet->Deliver(line); }
    void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    // A sweep's answer: the start marker, then one line per point (`special` at its index).
    void Answer(int points, const std::map<int, const char*>& special = {}) {
        Line("Start\r\n");
        for (int i = 0; i < points; ++i) {
            const auto it = special.find(i);
            Line(it != special.end() ? it->second : kSwr2);
        }
    }
    void MoveMouseOverChart(int x) {
        const QPointF local(x, 200);
        QMouseEvent move(QEvent::MouseMove, local, window->Chart1->mapToGlobal(local), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(window->Chart1, &move);
    }
    const SweepState& State() { return window->Sweep().State(); }

    base::RecordingErrorDisplay errors; // installed before the window exists
    test::RecordingComPort* port = nullptr;
    test::RecordingDataPacket* packet = nullptr;
    std::unique_ptr<TTarnel> window;
};

TEST_F(TarnelSweep, DefaultStartScanWritesTheCommandAndResetsTheChart) {
    window->Series1().AddXY(14000, 5);
    Click(window->ScanStartBtn);
    ASSERT_EQ(port->writes, std::vector<std::string>{kDefaultCommand});
    EXPECT_FALSE(window->ScanStartBtn->isEnabled());
    EXPECT_EQ(window->Series1().Count(), 0);
    EXPECT_EQ(window->Series4().Count(), 2);
    EXPECT_EQ(window->Series5().Count(), 2) << "the cursor lines keep their points";
    EXPECT_EQ(window->Chart1->Plot().BottomAxis().Minimum(), 13675.0);
    EXPECT_EQ(window->Chart1->Plot().BottomAxis().Maximum(), 14675.0);
    EXPECT_EQ(errors.Count(), 0u);
}

TEST_F(TarnelSweep, HundredAndOneLinesEndTheSweepWithTheSummary) {
    Click(window->ScanStartBtn);
    // Lowest SWR on points 40 and 41: the later of the two middle points is reported.
    Answer(101, {{40, kSwr1}, {41, kSwr1}});
    EXPECT_EQ(errors.Count(), 0u);
    for (chart::TPlotLineSeries* series :
         {&window->Series1(), &window->Series2(), &window->Series3()}) {
        ASSERT_EQ(series->Count(), 101);
        EXPECT_EQ(series->GetxValue(0), 13675.0);
        EXPECT_EQ(series->GetxValue(100), 14675.0);
    }
    EXPECT_EQ(window->Series1().GetyValue(0), 40.0);
    EXPECT_EQ(window->Series2().GetyValue(0), 50.0);
    EXPECT_EQ(window->Series3().GetyValue(0), 2.0);
    EXPECT_EQ(window->SWRLabel->text(), QStringLiteral("MinSWR: 1 @14085KHz"));
    EXPECT_EQ(window->CenterSWRLabel->text(), QStringLiteral("CenterSWR: 2 @14175KHz"));
    EXPECT_GT(window->SWRLabel->width(), 0) << "the label sizes itself to its text";
    // The readouts paint in their own colours.
    const struct {
        QLabel* label;
        QColor color;
    } painted[] = {{window->SWRLabel, QColor(0xFF, 0, 0)},
                   {window->CenterSWRLabel, QColor(0, 0, 0x80)}};
    for (const auto& [label, color] : painted) {
        const QImage image = label->grab().toImage();
        int text_pixels = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                text_pixels += image.pixelColor(x, y) == color ? 1 : 0;
            }
        }
        EXPECT_GT(text_pixels, 10) << label->objectName().toStdString();
    }
    EXPECT_TRUE(window->ScanStartBtn->isEnabled());
    EXPECT_FALSE(State().StartReceived);

    // The sweep is over: a further line adds nothing.
    Line(kSwr2);
    EXPECT_EQ(window->Series3().Count(), 101);
    EXPECT_EQ(port->writes.size(), 1u);
}

TEST_F(TarnelSweep, ContinuousScanRestartsThroughTheDisabledStartButton) {
    Click(window->MutiScanBtn);
    EXPECT_EQ(port->writes, std::vector<std::string>{kDefaultCommand});
    EXPECT_FALSE(window->ScanStartBtn->isEnabled());
    EXPECT_FALSE(window->MutiScanBtn->isEnabled());
    EXPECT_TRUE(State().ContinuousScan);

    Answer(101);
    // The end of the sweep restarts at once, although the button was disabled again.
    EXPECT_EQ(port->writes.size(), 2u);
    EXPECT_EQ(port->writes.back(), kDefaultCommand);
    EXPECT_EQ(window->Series3().Count(), 0);
    EXPECT_FALSE(window->ScanStartBtn->isEnabled());
    EXPECT_EQ(window->SWRLabel->text(), QStringLiteral("MinSWR: 2 @14175KHz"));

    // Stop Scan lets the running sweep finish without a new command.
    Click(window->StopScanBtn);
    EXPECT_TRUE(window->ScanStartBtn->isEnabled());
    EXPECT_TRUE(window->MutiScanBtn->isEnabled());
    Answer(101);
    EXPECT_EQ(port->writes.size(), 2u);
    EXPECT_EQ(window->Series3().Count(), 101);
    EXPECT_EQ(errors.Count(), 0u);
}

TEST_F(TarnelSweep, BandItemsRunOnlyWhenTheSelectionChanges) {
    QRadioButton* band20 = window->RadioGroup1->Button(3);
    QRadioButton* band40 = window->RadioGroup1->Button(1);
    window->CenterFreqEdit->setText(QStringLiteral("9999"));
    Click(band20); // already selected: nothing happens
    EXPECT_EQ(window->CenterFreqEdit->text(), QStringLiteral("9999"));

    Click(band40);
    EXPECT_EQ(window->CenterFreqEdit->text(), QStringLiteral("7100"));
    EXPECT_EQ(window->BWEdit->text(), QStringLiteral("1000"));
    EXPECT_EQ(window->ScanStepEdit->text(), QStringLiteral("10"));
    EXPECT_EQ(window->RadioGroup1->ItemIndex(), 1);
    EXPECT_TRUE(port->writes.empty()) << "selecting a band starts no sweep";
    EXPECT_EQ(State().CenterFreq, 14175000u) << "the sweep state is read only by Start Scan";

    Click(band20);
    EXPECT_EQ(window->CenterFreqEdit->text(), QStringLiteral("14175"));
    EXPECT_EQ(errors.Count(), 0u);
}

TEST_F(TarnelSweep, FailuresAreShownAndStopTheHandler) {
    const std::string caption = base::ApplicationTitle();
    EXPECT_EQ(caption, "app_tests");

    // A centre text that is no whole number: nothing is sent, the chart keeps its points.
    window->CenterFreqEdit->setText(QStringLiteral("14.175"));
    Click(window->ScanStartBtn);
    ASSERT_EQ(errors.Count(), 1u);
    EXPECT_EQ(errors.Boxes()[0], (base::RecordingErrorDisplay::Box{
                                     caption, "''14.175'' is not a valid integer value."}));
    EXPECT_TRUE(port->writes.empty());
    EXPECT_EQ(window->Series4().Count(), 2);
    EXPECT_TRUE(window->ScanStartBtn->isEnabled());

    // A refused write stops Start Scan after the range was assigned.
    errors.Clear();
    window->CenterFreqEdit->setText(QStringLiteral("7100"));
    port->fail_write = true;
    Click(window->ScanStartBtn);
    ASSERT_EQ(errors.Count(), 1u);
    EXPECT_EQ(errors.Texts()[0], "write refused.");
    EXPECT_EQ(State().CurFreq, 6600000u);
    EXPECT_EQ(State().StopFreq, 7600000u);
    EXPECT_EQ(window->Chart1->Plot().BottomAxis().Minimum(), 13675.0);
    EXPECT_EQ(window->Series4().GetxValue(0), 14175.0);
    EXPECT_TRUE(window->ScanStartBtn->isEnabled());

    // A step that would never advance the sweep is refused before anything is sent.
    errors.Clear();
    port->fail_write = false;
    window->ScanStepEdit->setText(QStringLiteral("0"));
    Click(window->ScanStartBtn);
    ASSERT_EQ(errors.Count(), 1u);
    EXPECT_FALSE(errors.Texts()[0].empty());
    EXPECT_TRUE(port->writes.empty());
    EXPECT_EQ(State().ScanStep, 10000.0);
}

TEST_F(TarnelSweep, BadLineIsShownAndKeepsTheLaterPointsInPlace) {
    Click(window->ScanStartBtn);
    Line("Start\r\n");
    Line(kSwr2);
    Line("1,2,3,4,5\r\n"); // five fields: point 1 is lost
    Line(kSwr1);
    ASSERT_EQ(errors.Count(), 1u);
    EXPECT_NE(errors.Texts()[0].find("''4,5'' is not a valid integer value"), std::string::npos)
        << errors.Texts()[0];
    ASSERT_EQ(window->Series3().Count(), 2);
    EXPECT_EQ(window->Series3().GetxValue(1), 13695.0) << "the third line is the third point";
}

TEST_F(TarnelSweep, MouseOverASweepPointShowsItsSwr) {
    Click(window->RadioGroup1->Button(1)); // 40 m: the points lie on the 10 kHz grid
    Click(window->ScanStartBtn);
    ASSERT_EQ(port->writes, std::vector<std::string>{"scanr 6600000 7610000 10000\r\n"});
    Answer(101, {{42, kSwr142}});

    // The pixel of point 42 (7020 kHz) at the chart's current size, a little to its right so
    // that snapping down to the step grid lands on it.
    window->Chart1->EnsureLayout();
    const int x = window->Series3().CalcXPos(42) + 2;
    MoveMouseOverChart(x);
    EXPECT_EQ(window->SWROKLabel->text(), QStringLiteral("SWR: 1.42@7020KHz"));
    EXPECT_EQ(window->Series5().GetxValue(0), 7020.0);
    EXPECT_EQ(window->Series5().GetxValue(1), 7020.0);
    EXPECT_EQ(window->Series6().GetyValue(0), window->Series3().GetyValue(42));
    EXPECT_NEAR(window->Series6().GetyValue(0), 1.42, 1e-12);
    EXPECT_EQ(window->Series6().GetxValue(0), 6600.0);
    EXPECT_EQ(window->Series6().GetxValue(1), 7600.0);

    // Off the points (left margin): only the vertical line moves.
    MoveMouseOverChart(2);
    EXPECT_LT(window->Series5().GetxValue(0), 6600.0);
    EXPECT_EQ(window->SWROKLabel->text(), QStringLiteral("SWR: 1.42@7020KHz"));
    EXPECT_EQ(errors.Count(), 0u);
}

TEST_F(TarnelSweep, ConnectAndDisconnectFollowThePort) {
    struct Case {
        const char* text;
        uint16_t port_number;
    };
    for (const Case& c :
         {Case{"COM6", 6}, Case{"COm11", 11}, Case{"COM 7", 7}, Case{"COM65542", 6}}) {
        SCOPED_TRACE(c.text);
        window->ComPortSelectComboBox->setEditText(QString::fromLatin1(c.text));
        Click(window->ConnectBtn);
        EXPECT_EQ(errors.Count(), 0u);
        EXPECT_EQ(port->com_number, c.port_number);
        EXPECT_EQ(port->baud, 56000);
        EXPECT_TRUE(port->open);
        EXPECT_FALSE(window->ConnectBtn->isEnabled());
        EXPECT_TRUE(window->DisConnectBtn->isEnabled());
        Click(window->DisConnectBtn);
        EXPECT_FALSE(port->open);
        EXPECT_TRUE(window->ConnectBtn->isEnabled());
        EXPECT_FALSE(window->DisConnectBtn->isEnabled());
    }

    // Texts without a number after the third character, and a port that will not open.
    port->com_number = 3;
    window->ComPortSelectComboBox->setEditText(QStringLiteral("COM"));
    Click(window->ConnectBtn);
    window->ComPortSelectComboBox->setEditText(QStringLiteral("Run as Administrator"));
    Click(window->ConnectBtn);
    EXPECT_EQ(errors.Texts(),
              (std::vector<std::string>{"'''' is not a valid integer value.",
                                        "'' as Administrator'' is not a valid integer value."}));
    EXPECT_EQ(port->com_number, 3);
    port->fail_open = true;
    window->ComPortSelectComboBox->setEditText(QStringLiteral("COM9"));
    Click(window->ConnectBtn);
    EXPECT_EQ(errors.Count(), 3u);
    EXPECT_EQ(port->com_number, 9);
    EXPECT_TRUE(window->ConnectBtn->isEnabled());
    EXPECT_FALSE(window->DisConnectBtn->isEnabled());

    // Closing the window closes the port.
    port->fail_open = false;
    Click(window->ConnectBtn);
    ASSERT_TRUE(port->open);
    const auto open_calls = port->open_calls;
    window.reset();
    EXPECT_FALSE(open_calls->back());
}

TEST_F(TarnelSweep, ListConnectedPortsShowsTheSystemsPortsSorted) {
    port->connected_ports = {"COM3", "com2", "COM10"};
    Click(window->GetComListBtn);
    QComboBox* combo = window->ComPortSelectComboBox;
    ASSERT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->itemText(0), QStringLiteral("COM10"));
    EXPECT_EQ(combo->itemText(1), QStringLiteral("com2"));
    EXPECT_EQ(combo->itemText(2), QStringLiteral("COM3"));
    EXPECT_EQ(combo->currentText(), QStringLiteral("COM10"));
    Click(window->ConnectBtn);
    EXPECT_EQ(port->com_number, 10);

    // None listed: the list is empty and the hint takes the text, which Connect refuses.
    Click(window->DisConnectBtn);
    port->connected_ports.clear();
    Click(window->GetComListBtn);
    EXPECT_EQ(combo->count(), 0);
    EXPECT_EQ(combo->currentText(), QStringLiteral("Run as Administrator"));
    Click(window->ConnectBtn);
    EXPECT_EQ(errors.Texts(),
              (std::vector<std::string>{"'' as Administrator'' is not a valid integer value."}));
    EXPECT_EQ(port->com_number, 10);
}

} // namespace
} // namespace app
