#include "app/tarnel.h"

#include "app/app_identity.h"
#include "app/chart_actions.h"
#include "app/sweep/sweep_controller.h"
#include "app/sweep/sweep_range.h"
#include "base/colors.h"
#include "base/conversions.h"
#include "base/error_display.h"
#include "chart/qt/plot_toolbar_widget.h"
#include "chart/qt/plot_widget.h"
#include "chart/series.h"
#include "chart/series_data.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QGuiApplication>
#include <QResizeEvent>
#include <QScreen>
#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <vector>

namespace app {

namespace {

constexpr int kStatusBarHeight = 19;
constexpr int kStatusPanel0Width = 450;
constexpr int kStatusPanel1Width = 300;
// Gap between an edit and the label above it.
constexpr int kEditLabelSpacing = 3;
constexpr int32_t kConnectBaud = 56000;

// Pixel heights: 11 px is the 8-point window font, 16 px the 12-point readout font.
constexpr int kWindowFontPixels = 11;
constexpr int kReadoutFontPixels = 16;

// The status bar's texts after the program's name and version.
constexpr const char* kCreditText = "  -  designed and translated by the Tarnel team, Dec 2026";
constexpr const char* kContactText = "Questions and reports: see README.md of the project";

// The port names offered at start-up: COM1 to COM50, seven of them spelled with a lower-case m
// (only what follows the third character counts when connecting).
QStringList BuiltInPortNames() {
    constexpr std::array kLowerM = {11, 17, 27, 29, 35, 36, 38};
    QStringList names;
    for (int n = 1; n <= 50; ++n) {
        const bool lower = std::find(kLowerM.begin(), kLowerM.end(), n) != kLowerM.end();
        names << QStringLiteral("%1%2").arg(lower ? "COm" : "COM").arg(n);
    }
    return names;
}

// Tahoma at a pixel height. Where Tahoma is missing, the metric clone of Arial comes before
// the general fallback: its widths are close to Tahoma's, so the designed captions fit their
// controls (the wider fallback cuts the band names and "Disconnect").
QFont TahomaFont(int pixels) {
    QFont font(QStringLiteral("Tahoma"));
    font.setFamilies(
        {QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    font.setPixelSize(pixels);
    return font;
}

QFont WindowFont() {
    return TahomaFont(kWindowFontPixels);
}

QFont ReadoutFont() {
    return TahomaFont(kReadoutFontPixels);
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, QRect geometry) {
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    return button;
}

// An edit with its caption in a label just above it, both children of parent.
QLineEdit* MakeLabeledEdit(QWidget* parent, const char* name, const char* text, const char* label,
                           QRect geometry) {
    auto* edit = new QLineEdit(QString::fromUtf8(text), parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(geometry);
    auto* caption = new QLabel(QString::fromUtf8(label), parent);
    caption->setObjectName(QString::fromLatin1(name) + QStringLiteral("Label"));
    caption->setBuddy(edit);
    caption->adjustSize();
    caption->move(geometry.left(), geometry.top() - caption->height() - kEditLabelSpacing);
    return edit;
}

// An auto-sized readout label on the chart.
QLabel* MakeReadout(QWidget* parent, const char* name, QPoint position, const QColor* color) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setFont(ReadoutFont());
    if (color != nullptr) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, *color);
        label->setPalette(palette);
    }
    label->move(position);
    label->adjustSize();
    return label;
}

// The stored points of a series (little-endian): X values present, then (x, y) per point.
std::vector<uint8_t> StoredPoints(std::initializer_list<std::pair<double, double>> points) {
    std::vector<uint8_t> blob;
    auto append = [&blob](uint64_t bits, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            blob.push_back(static_cast<uint8_t>(bits >> (8 * i)));
        }
    };
    blob.push_back(1);
    append(static_cast<uint32_t>(points.size()), 4);
    for (const auto& [x, y] : points) {
        append(std::bit_cast<uint64_t>(x), 8);
        append(std::bit_cast<uint64_t>(y), 8);
    }
    return blob;
}

// Qt announces a top-level QWidget as a plain client area. Screen readers look for a window
// (a frame) to read the caption from and to give its controls' positions relative to; the
// main window is one. Qt takes ownership of the interface it is handed.
QAccessibleInterface* MainWindowAccessible(const QString& key, QObject* object) {
    if (key != QLatin1String(TTarnel::staticMetaObject.className()) || !object->isWidgetType()) {
        return nullptr;
    }
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
}

void SetLabelText(QLabel* label, const std::string& text) {
    label->setText(QString::fromStdString(text));
    label->adjustSize();
}

} // namespace

TTarnel::TTarnel(std::unique_ptr<IComPort> com_port, std::unique_ptr<IDataPacket> data_packet,
                 QWidget* parent)
    : QWidget(parent), com_port_(std::move(com_port)), data_packet_(std::move(data_packet)) {
    // Before anything asks for the window's interface; Qt installs a factory only once.
    QAccessible::installFactory(&MainWindowAccessible);
    LoadLayout();
    EndLoading();
    sweep_ = std::make_unique<SweepController>(
        SweepChart{Chart1->Plot(), Series1(), Series2(), Series3(), Series4(), Series5(),
                   Series6()},
        *com_port_, *data_packet_, static_cast<SweepView&>(*this));
    chart_actions_ =
        std::make_unique<ChartActions>(*this, *Chart1,
                                       SweepChart{Chart1->Plot(), Series1(), Series2(), Series3(),
                                                  Series4(), Series5(), Series6()},
                                       *sweep_);
    // The readout as the window shows it goes below a printed chart.
    chart_actions_->PrintFooter = [this] {
        QStringList lines;
        for (const QLabel* label : {SWRLabel, CenterSWRLabel, SWROKLabel}) {
            if (!label->text().isEmpty()) {
                lines << label->text();
            }
        }
        return lines;
    };
    PlotToolbar1->Toolbar().SetActions(chart_actions_.get());
    ConnectEvents();
    base::RunHandler([this] { FormCreate(); });
}

TTarnel::~TTarnel() {
    base::RunHandler([this] { FormDestroy(); });
    PlotToolbar1->Toolbar().SetActions(nullptr);
    chart_actions_.reset();
    // The controller refers to the series and the chart: it goes first, then the series
    // leave the chart before the chart widget (a Qt child) is destroyed.
    sweep_.reset();
    for (auto& series : series_) {
        series.reset();
    }
}

void TTarnel::LoadLayout() {
    setObjectName(QStringLiteral("Tarnel"));
    setWindowTitle(QString::fromUtf8(kCaption.data(), static_cast<qsizetype>(kCaption.size())));
    setWindowIcon(ApplicationIcon());
    // System menu, minimize and close; no maximize button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(WindowFont());
    // The window's background is the button-face colour. Set as the palette's window colour,
    // not as a background role: children derive their text role from the background role
    // and would paint their texts in the button-text colour.
    QPalette palette = QApplication::palette(this);
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    setPalette(palette);
    setAutoFillBackground(true);
    resize(kClientWidth, kClientHeight);

    GroupBox1 = new QGroupBox(QStringLiteral("Connection"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(16, 8, 153, 97);
    ConnectBtn = MakeButton(GroupBox1, "ConnectBtn", "Connect", {16, 40, 57, 25});
    ComPortSelectComboBox = new QComboBox(GroupBox1);
    ComPortSelectComboBox->setObjectName(QStringLiteral("ComPortSelectComboBox"));
    ComPortSelectComboBox->setGeometry(16, 16, 121, 21);
    ComPortSelectComboBox->setEditable(true);
    // Typed text is only read; it never becomes an item.
    ComPortSelectComboBox->setInsertPolicy(QComboBox::NoInsert);
    ComPortSelectComboBox->addItems(BuiltInPortNames());
    ComPortSelectComboBox->setCurrentIndex(5);
    DisConnectBtn = MakeButton(GroupBox1, "DisConnectBtn", "Disconnect", {80, 40, 59, 25});
    GetComListBtn =
        MakeButton(GroupBox1, "GetComListBtn", "List Connected Ports", {16, 70, 121, 19});

    GroupBox2 = new QGroupBox(QStringLiteral("Band Setup"), this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox2->setGeometry(16, 112, 153, 385);
    CenterFreqEdit = MakeLabeledEdit(GroupBox2, "CenterFreqEdit", "14175", "Center Freq  (KHz)",
                                     {16, 32, 121, 21});
    BWEdit = MakeLabeledEdit(GroupBox2, "BWEdit", "1000", "Scan Width   (KHz)", {16, 72, 121, 21});
    ScanStepEdit = MakeLabeledEdit(GroupBox2, "ScanStepEdit", "10", "Scan Step     (KHz >0.2)",
                                   {16, 112, 121, 21});
    QStringList bands;
    for (const BandPreset& band : kBandPresets) {
        bands << QString::fromUtf8(band.Caption.data(),
                                   static_cast<qsizetype>(band.Caption.size()));
    }
    RadioGroup1 = new RadioGroup(QStringLiteral("Band Quick Setup"), bands, GroupBox2);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    for (int i = 0; i < RadioGroup1->ItemCount(); ++i) {
        RadioGroup1->Button(i)->setObjectName(QStringLiteral("RadioGroup1.Item%1").arg(i));
    }
    RadioGroup1->setGeometry(16, 136, 121, 145);
    RadioGroup1->ArrangeButtons();
    RadioGroup1->SetItemIndex(kDefaultBandIndex);
    ScanStartBtn = MakeButton(GroupBox2, "ScanStartBtn", "Start Scan", {16, 288, 121, 25});
    MutiScanBtn = MakeButton(GroupBox2, "MutiScanBtn", "Continuous Scan", {16, 320, 121, 25});
    StopScanBtn = MakeButton(GroupBox2, "StopScanBtn", "Stop Scan", {16, 352, 121, 25});

    Chart1 = new chart::PlotWidget(this);
    Chart1->setObjectName(QStringLiteral("Chart1"));
    Chart1->setGeometry(176, 40, 825, 457);
    const QColor red(0xFF, 0, 0);
    const QColor navy(0, 0, 0x80);
    SWRLabel = MakeReadout(Chart1, "SWRLabel", {64, 160}, &red);
    CenterSWRLabel = MakeReadout(Chart1, "CenterSWRLabel", {64, 200}, &navy);
    SWROKLabel = MakeReadout(Chart1, "SWROKLabel", {64, 240}, nullptr);

    // The chart toolbar, bound to the chart; it shows its own button hints.
    PlotToolbar1 = new chart::PlotToolbarWidget(this);
    PlotToolbar1->setObjectName(QStringLiteral("PlotToolbar1"));
    PlotToolbar1->setGeometry(176, 8, 825, 33);
    PlotToolbar1->Toolbar().BeginLoading();
    PlotToolbar1->SetPanel(Chart1);
    PlotToolbar1->Toolbar().SetShowHint(true);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setGeometry(0, kClientHeight - kStatusBarHeight, kClientWidth, kStatusBarHeight);
    auto* panel0 = new QLabel(
        QString::fromUtf8(kProgramName.data(), static_cast<qsizetype>(kProgramName.size())) +
            QString::fromUtf8(kCreditText),
        StatusBar1);
    panel0->setObjectName(QStringLiteral("StatusBar1.Panel0"));
    panel0->setFixedWidth(kStatusPanel0Width);
    auto* panel1 = new QLabel(QString::fromUtf8(kContactText), StatusBar1);
    panel1->setObjectName(QStringLiteral("StatusBar1.Panel1"));
    panel1->setFixedWidth(kStatusPanel1Width);
    StatusBar1->addWidget(panel0);
    StatusBar1->addWidget(panel1);

    LoadChart();
    SetTabOrder();
    // Controls without a text of their own are named for assistive tools by their role.
    for (QWidget* widget : {static_cast<QWidget*>(Chart1), static_cast<QWidget*>(PlotToolbar1),
                            static_cast<QWidget*>(StatusBar1)}) {
        widget->setAccessibleName(widget->objectName());
    }

    // Non-visual components as stored: the port at 56000 baud, the matcher on with its stored
    // end string (the four characters \r\n, replaced by FormCreate).
    com_port_->SetBaud(kConnectBaud);
    data_packet_->SetEnabled(true);
    data_packet_->SetStartCond(packet::scAnyData);
    data_packet_->SetEndCond(packet::TPacketEndSet(packet::ecString));
    data_packet_->SetEndString("\\r\\n");
    data_packet_->OnStringPacket = [this](std::string_view data) {
        SioDataPacketStringPacket(data);
    };
    data_packet_->OnTimeout = [this] { SioDataPacketTimeout(); };

    // Centred on the screen that shows the window.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
}

// The chart's stored settings and its six series.
void TTarnel::LoadChart() {
    chart::TPlot& plot = Chart1->Plot();
    plot.BeginLoading();

    plot.SetView3D(false);
    plot.SetAllowPanning(chart::pmNone);
    plot.SetZoomAllow(false);
    plot.SetColorPaletteIndex(13);
    plot.SetMargins(3, 4, 3, 4);
    chart::TPlotGradient& gradient = plot.Gradient();
    gradient.Visible = true;
    gradient.StartColor = 15395562; // #EAEAEA
    gradient.MidColor = 15395562;
    gradient.EndColor = base::clWhite;
    gradient.Direction = chart::gdBottomTop;
    chart::TPlotWall& back = plot.BackWall();
    back.Transparent = false;
    back.Gradient.Visible = true;
    back.Gradient.StartColor = 15395562;
    back.Gradient.MidColor = base::clNone;
    back.Gradient.EndColor = base::clWhite;
    back.Gradient.Direction = chart::gdBottomTop;
    back.Pen.Color = base::clBlack;
    back.Pen.Width = 1;
    plot.LeftWall().Color = 14745599; // #FFFFE0
    plot.RightWall().Color = 14745599;

    chart::TPlotFont verdana;
    verdana.Name = "Verdana";
    chart::TPlotTitle& title = plot.Title();
    title.Text = {"VSWR Scan Data Chart"};
    title.Font = verdana;
    title.Font.PixelSize = 16;
    title.Font.Style = chart::fsBold;
    title.Font.Color = base::clBlue;
    title.Transparent = true;
    title.VertMargin = 5;
    plot.SubTitle().Font = verdana;
    plot.Foot().Font = verdana;
    plot.SubFoot().Font = verdana;
    chart::TPlotLegend& legend = plot.Legend();
    legend.CustomPosition = true;
    legend.Left = 680;
    legend.Top = 60;
    legend.Font = verdana;
    legend.ResizeChart = false;

    chart::TPlotFont bold_verdana = verdana;
    bold_verdana.Style = chart::fsBold;
    for (int32_t i = 0; i < chart::TPlot::kAxisCount; ++i) {
        chart::TPlotAxis& axis = plot.Axes(i);
        axis.Title().Font = verdana;
        axis.LabelsFont() = verdana;
        axis.Axis().Color = 4210752;  // #404040
        axis.Grid().Color = 11119017; // #A9A9A9
        axis.TicksInner().Color = 11119017;
    }
    chart::TPlotAxis& bottom = plot.BottomAxis();
    bottom.LabelsFont() = bold_verdana;
    chart::TPlotAxis& left = plot.LeftAxis();
    left.Axis().Color = base::clRed;
    left.LabelsFont() = bold_verdana;
    left.LabelsFont().Color = base::clRed;
    left.SetAutomatic(false);
    left.SetMinMax(1.0, 6.0);
    chart::TPlotAxis& right = plot.RightAxis();
    right.Axis().Color = base::clTeal;
    right.LabelsFont() = bold_verdana;
    right.LabelsFont().Color = base::clTeal;
    right.SetAutomatic(false);
    right.SetMinMax(0.0, 300.0);

    struct SeriesSetting {
        const char* Name;
        const char* Title;
        base::TColor Color;
        bool InLegend;
        bool PointerVisible;
        chart::TSeriesPointerStyle PointerStyle;
    };
    static constexpr SeriesSetting kSeries[6] = {
        {"Series1", "R", base::clGreen, true, false, chart::psRectangle},
        {"Series2", "Z", 16744448, true, false, chart::psRectangle}, // #0080FF
        {"Series3", "SWR", base::clRed, true, true, chart::psSmallDot},
        {"Series4", "CenterLine", 4227327, false, false, chart::psRectangle}, // #FF8040
        {"Series5", "RefLine", 16744703, false, false, chart::psRectangle},   // #FF80FF
        {"Series6", "YLine", 16744703, false, false, chart::psRectangle},
    };
    for (int i = 0; i < 6; ++i) {
        const SeriesSetting& setting = kSeries[i];
        series_[i] = std::make_unique<chart::TPlotLineSeries>();
        chart::TPlotLineSeries& series = *series_[i];
        series.BeginLoading();
        series.SetName(setting.Name);
        series.SetTitle(setting.Title);
        series.SetSeriesColor(setting.Color);
        series.SetShowInLegend(setting.InLegend);
        series.LinePen().Width = 2;
        series.Pointer().Visible = setting.PointerVisible;
        series.Pointer().Style = setting.PointerStyle;
        series.XValues().SetOrder(chart::loAscending);
        series.YValues().SetOrder(chart::loNone);
        // In 3D the measured curves are ribbons; the cursor and marker lines stay on the
        // front plane, where the mouse is read, so they meet the mouse.
        series.SetOnFrontPlane(!setting.InLegend);
        series.SetParentChart(&plot);
    }
    // The cursor lines' stored points lie outside any sweep's range until the mouse moves.
    const auto ref_line = StoredPoints({{5.0, 1.0}, {5.0, 6.0}});
    const auto y_line = StoredPoints({{1.0, 6.0}, {3.0, 6.0}});
    chart::ReadSeriesData(Series5(), ref_line);
    chart::ReadSeriesData(Series6(), y_line);
}

void TTarnel::EndLoading() {
    Chart1->Plot().Loaded();
    PlotToolbar1->Toolbar().Loaded();
    for (auto& series : series_) {
        series->Loaded();
    }
}

void TTarnel::SetTabOrder() {
    // Inside each parent the order of the rows; the window's own order is GroupBox1,
    // GroupBox2, Chart1, PlotToolbar1. Tab stops at the checked band item only (Qt skips the
    // unchecked buttons of an exclusive group), so all nine sit in the radio group's place.
    std::vector<QWidget*> chain = {ConnectBtn,    ComPortSelectComboBox, DisConnectBtn,
                                   GetComListBtn, CenterFreqEdit,        BWEdit,
                                   ScanStepEdit};
    for (int i = 0; i < RadioGroup1->ItemCount(); ++i) {
        chain.push_back(RadioGroup1->Button(i));
    }
    chain.insert(chain.end(), {ScanStartBtn, MutiScanBtn, StopScanBtn, Chart1,
                               static_cast<QWidget*>(PlotToolbar1)});
    for (size_t i = 1; i < chain.size(); ++i) {
        QWidget::setTabOrder(chain[i - 1], chain[i]);
    }
}

void TTarnel::ConnectEvents() {
    connect(ConnectBtn, &QPushButton::clicked, this, [this] { ConnectBtnClick(); });
    connect(DisConnectBtn, &QPushButton::clicked, this, [this] { DisConnectBtnClick(); });
    connect(GetComListBtn, &QPushButton::clicked, this, [this] { GetComListBtnClick(); });
    connect(RadioGroup1, &RadioGroup::ItemSelected, this, [this] { RadioGroup1Click(); });
    connect(ScanStartBtn, &QPushButton::clicked, this, [this] { ScanStartBtnClick(); });
    connect(MutiScanBtn, &QPushButton::clicked, this, [this] { MutiScanBtnClick(); });
    connect(StopScanBtn, &QPushButton::clicked, this, [this] { StopScanBtnClick(); });
    Chart1->OnMouseMove = [this](Qt::KeyboardModifiers shift, int x, int y) {
        Chart1MouseMove(shift, x, y);
    };
    // Reported by the chart after the paint that failed, never from inside it.
    Chart1->OnPaintError = [](const std::string& error) {
        base::CurrentErrorDisplay().Show(base::ApplicationTitle(), base::ErrorBoxText(error));
    };
}

void TTarnel::FormCreate() {
    sweep_->FormCreate();
}

void TTarnel::FormDestroy() {
    com_port_->SetOpen(false);
}

void TTarnel::ConnectBtnClick() {
    base::RunHandler([this] {
        // Only what follows "COM" (in any case) names the port.
        const std::string text = ComPortSelectComboBox->currentText().toStdString();
        const std::string tail = base::Copy(text, 4, static_cast<int64_t>(text.size()) - 3);
        const int32_t number = base::StrToInt(tail);
        com_port_->SetComNumber(static_cast<uint16_t>(number));
        com_port_->SetBaud(kConnectBaud);
        com_port_->SetOpen(true);
        if (com_port_->Open()) {
            ConnectBtn->setEnabled(false);
            DisConnectBtn->setEnabled(true);
        }
    });
}

void TTarnel::DisConnectBtnClick() {
    base::RunHandler([this] {
        com_port_->SetOpen(false);
        if (!com_port_->Open()) {
            ConnectBtn->setEnabled(true);
            DisConnectBtn->setEnabled(false);
        }
    });
}

void TTarnel::GetComListBtnClick() {
    base::RunHandler([this] {
        std::vector<std::string> ports = com_port_->ListConnectedPorts();
        // Sorted as the list box sorts: alphabetically by plain text, ignoring case, so
        // COM10 comes before COM3.
        std::stable_sort(
            ports.begin(), ports.end(), [](const std::string& a, const std::string& b) {
                return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                                    [](unsigned char x, unsigned char y) {
                                                        return std::tolower(x) < std::tolower(y);
                                                    });
            });
        ComPortSelectComboBox->clear();
        for (const std::string& port : ports) {
            ComPortSelectComboBox->addItem(
                QString::fromLatin1(port.data(), static_cast<qsizetype>(port.size())));
        }
        if (ComPortSelectComboBox->count() > 0) {
            ComPortSelectComboBox->setCurrentIndex(0);
        } else {
            ComPortSelectComboBox->setEditText(QStringLiteral("Run as Administrator"));
        }
    });
}

void TTarnel::RadioGroup1Click() {
    base::RunHandler([this] { sweep_->RadioGroup1Click(RadioGroup1->ItemIndex()); });
}

void TTarnel::ScanStartBtnClick() {
    base::RunHandler([this] { sweep_->ScanStartBtnClick(); });
}

void TTarnel::MutiScanBtnClick() {
    base::RunHandler([this] { sweep_->MutiScanBtnClick(); });
}

void TTarnel::StopScanBtnClick() {
    base::RunHandler([this] { sweep_->StopScanBtnClick(); });
}

void TTarnel::Chart1MouseMove(Qt::KeyboardModifiers, int x, int) {
    base::RunHandler([this, x] { sweep_->Chart1MouseMove(x); });
}

void TTarnel::SioDataPacketTimeout() {
    sweep_->SioDataPacketTimeout();
}

void TTarnel::SioDataPacketStringPacket(std::string_view data) {
    sweep_->SioDataPacketStringPacket(data);
}

void TTarnel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The status bar stays along the bottom edge; everything else keeps its place.
    if (StatusBar1 != nullptr) {
        StatusBar1->setGeometry(0, height() - kStatusBarHeight, width(), kStatusBarHeight);
    }
}

std::string TTarnel::CenterFreqText() const {
    return CenterFreqEdit->text().toStdString();
}
std::string TTarnel::BWText() const {
    return BWEdit->text().toStdString();
}
std::string TTarnel::ScanStepText() const {
    return ScanStepEdit->text().toStdString();
}

void TTarnel::SetCenterFreqText(const std::string& text) {
    CenterFreqEdit->setText(QString::fromStdString(text));
}
void TTarnel::SetBWText(const std::string& text) {
    BWEdit->setText(QString::fromStdString(text));
}
void TTarnel::SetScanStepText(const std::string& text) {
    ScanStepEdit->setText(QString::fromStdString(text));
}

void TTarnel::SetConnectBtnEnabled(bool enabled) {
    ConnectBtn->setEnabled(enabled);
}
void TTarnel::SetDisConnectBtnEnabled(bool enabled) {
    DisConnectBtn->setEnabled(enabled);
}
void TTarnel::SetScanStartBtnEnabled(bool enabled) {
    ScanStartBtn->setEnabled(enabled);
}
void TTarnel::SetMutiScanBtnEnabled(bool enabled) {
    MutiScanBtn->setEnabled(enabled);
}

void TTarnel::SetSWRLabel(const std::string& text) {
    SetLabelText(SWRLabel, text);
}
void TTarnel::SetCenterSWRLabel(const std::string& text) {
    SetLabelText(CenterSWRLabel, text);
}
void TTarnel::SetSWROKLabel(const std::string& text) {
    SetLabelText(SWROKLabel, text);
}

} // namespace app
