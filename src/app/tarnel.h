// TTarnel: the program's one window. It builds its layout (every control at its designed
// place, the chart with its six series, the serial components in their loading state), ends
// the components' loading, runs FormCreate, and forwards each control event to its handler.
//
// Contract:
// - User-interface thread only.
// - Every click and mouse-move handler runs inside base::RunHandler: an exception that leaves
//   it is shown by the installed error display and the handler stops at the failing step.
//   The line handler is the exception: the packet matcher calls it and shows what it raises.
// - The window owns its controls (Qt children), its series, the serial components handed to
//   it and the sweep controller; the controls are reachable through the members below and
//   by objectName (the same names).
#pragma once

#include "app/radio_group.h"
#include "app/sweep/components.h"
#include "app/sweep/sweep_view.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QWidget>
#include <memory>
#include <string>
#include <string_view>

namespace chart {
class PlotToolbarWidget;
class PlotWidget;
class TPlotLineSeries;
} // namespace chart

namespace app {

class ChartActions;
class SweepController;

class TTarnel : public QWidget, private SweepView {
    Q_OBJECT

public:
    // The window caption and the status bar's program name.
    static constexpr std::string_view kCaption = "Tarnel-Veskel-Brindo Data Scan";
    static constexpr std::string_view kProgramName = "Tarnel Data Scan V0.8";
    static constexpr int kClientWidth = 1008;
    static constexpr int kClientHeight = 524;

    TTarnel(std::unique_ptr<IComPort> com_port, std::unique_ptr<IDataPacket> data_packet,
            QWidget* parent = nullptr);
    ~TTarnel() override; // runs FormDestroy

    // The controls, children of the window (Qt owns them), in the order of the layout.
    QGroupBox* GroupBox1 = nullptr;
    QPushButton* ConnectBtn = nullptr;
    QComboBox* ComPortSelectComboBox = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QLineEdit* CenterFreqEdit = nullptr;
    QLineEdit* BWEdit = nullptr;
    QLineEdit* ScanStepEdit = nullptr;
    RadioGroup* RadioGroup1 = nullptr;
    QPushButton* ScanStartBtn = nullptr;
    chart::PlotWidget* Chart1 = nullptr;
    QPushButton* DisConnectBtn = nullptr;
    chart::PlotToolbarWidget* PlotToolbar1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* SWRLabel = nullptr;
    QLabel* SWROKLabel = nullptr;
    QPushButton* MutiScanBtn = nullptr;
    QPushButton* StopScanBtn = nullptr;
    QLabel* CenterSWRLabel = nullptr;
    QPushButton* GetComListBtn = nullptr;

    // The series, owned by the window and listed by Chart1.
    chart::TPlotLineSeries& Series1() { return *series_[0]; }
    chart::TPlotLineSeries& Series2() { return *series_[1]; }
    chart::TPlotLineSeries& Series3() { return *series_[2]; }
    chart::TPlotLineSeries& Series4() { return *series_[3]; }
    chart::TPlotLineSeries& Series5() { return *series_[4]; }
    chart::TPlotLineSeries& Series6() { return *series_[5]; }

    IComPort& SioComPort() { return *com_port_; }
    IDataPacket& SioDataPacket() { return *data_packet_; }
    SweepController& Sweep() { return *sweep_; }
    // What the toolbar's Copy and Save buttons (and the chart editor's file buttons) do.
    ChartActions& Actions() { return *chart_actions_; }

    // The handlers bound to the controls' events. Each shows its own failure.
    void ConnectBtnClick();
    void DisConnectBtnClick();
    void GetComListBtnClick();
    void RadioGroup1Click();
    void ScanStartBtnClick();
    void MutiScanBtnClick();
    void StopScanBtnClick();
    void Chart1MouseMove(Qt::KeyboardModifiers shift, int x, int y);

    // The line handler: one received line, CR LF included. Raises what the sweep raises; the
    // caller (the packet matcher) shows it.
    void SioDataPacketStringPacket(std::string_view data);
    // The matcher's time-out: it is armed again (see SweepController).
    void SioDataPacketTimeout();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void LoadLayout();
    void LoadChart();
    void EndLoading();
    void ConnectEvents();
    void SetTabOrder();
    void FormCreate();
    void FormDestroy();

    // SweepView: the controls as the sweep handlers see them.
    std::string CenterFreqText() const override;
    std::string BWText() const override;
    std::string ScanStepText() const override;
    void SetCenterFreqText(const std::string& text) override;
    void SetBWText(const std::string& text) override;
    void SetScanStepText(const std::string& text) override;
    void SetConnectBtnEnabled(bool enabled) override;
    void SetDisConnectBtnEnabled(bool enabled) override;
    void SetScanStartBtnEnabled(bool enabled) override;
    void SetMutiScanBtnEnabled(bool enabled) override;
    void SetSWRLabel(const std::string& text) override;
    void SetCenterSWRLabel(const std::string& text) override;
    void SetSWROKLabel(const std::string& text) override;

    std::unique_ptr<IComPort> com_port_;
    std::unique_ptr<IDataPacket> data_packet_;
    std::unique_ptr<chart::TPlotLineSeries> series_[6];
    std::unique_ptr<SweepController> sweep_;      // refers to everything above
    std::unique_ptr<ChartActions> chart_actions_; // last: refers to the chart and the sweep
};

} // namespace app
