// The window as it comes up: the layout table, texts, fonts, states, tab order, and the state
// that FormCreate derives from the loaded layout.
#include "app/sweep/sweep_controller.h"
#include "app/sweep/sweep_range.h"
#include "app/tarnel.h"
#include "chart/qt/plot_toolbar_widget.h"
#include "chart/qt/plot_widget.h"
#include "chart/series.h"
#include "window_doubles.h"

#include <QAccessible>
#include <QApplication>
#include <QGuiApplication>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace app {
namespace {

struct Window {
    Window() {
        auto port_double = std::make_unique<test::RecordingComPort>();
        auto packet_double = std::make_unique<test::RecordingDataPacket>();
        port = port_double.get();
        data_packet = packet_double.get();
        window = std::make_unique<TTarnel>(std::move(port_double), std::move(packet_double));
    }
    template <typename T = QWidget> T* Find(const char* name) const {
        return window->findChild<T*>(QString::fromLatin1(name));
    }

    test::RecordingComPort* port = nullptr;
    test::RecordingDataPacket* data_packet = nullptr;
    std::unique_ptr<TTarnel> window;
};

TEST(TarnelLayout, WindowFrameCaptionAndSize) {
    Window w;
    EXPECT_EQ(w.window->windowTitle(), QStringLiteral("Tarnel-Veskel-Brindo Data Scan"));
    EXPECT_EQ(w.window->size(), QSize(1008, 524));
    const Qt::WindowFlags flags = w.window->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(QApplication::applicationDisplayName() == QApplication::applicationName())
        << "the display name would be appended to the window title";
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(w.window->geometry().center(), screen.center()) << "opens centred";
    EXPECT_EQ(w.window->font().pixelSize(), 11);
    EXPECT_EQ(w.window->font().family(), QStringLiteral("Tahoma"));
}

TEST(TarnelLayout, ControlsAtTheirPlacesWithTheirTexts) {
    Window w;
    struct Row {
        const char* name;
        const char* parent;
        QRect geometry;
        const char* text; // caption, title or edit text
    };
    const Row rows[] = {
        {"GroupBox1", "Tarnel", {16, 8, 153, 97}, "Connection"},
        {"ConnectBtn", "GroupBox1", {16, 40, 57, 25}, "Connect"},
        {"ComPortSelectComboBox", "GroupBox1", {16, 16, 121, 21}, "COM6"},
        {"DisConnectBtn", "GroupBox1", {80, 40, 59, 25}, "Disconnect"},
        {"GetComListBtn", "GroupBox1", {16, 70, 121, 19}, "List Connected Ports"},
        {"GroupBox2", "Tarnel", {16, 112, 153, 385}, "Band Setup"},
        {"CenterFreqEdit", "GroupBox2", {16, 32, 121, 21}, "14175"},
        {"BWEdit", "GroupBox2", {16, 72, 121, 21}, "1000"},
        {"ScanStepEdit", "GroupBox2", {16, 112, 121, 21}, "10"},
        {"RadioGroup1", "GroupBox2", {16, 136, 121, 145}, "Band Quick Setup"},
        {"ScanStartBtn", "GroupBox2", {16, 288, 121, 25}, "Start Scan"},
        {"MutiScanBtn", "GroupBox2", {16, 320, 121, 25}, "Continuous Scan"},
        {"StopScanBtn", "GroupBox2", {16, 352, 121, 25}, "Stop Scan"},
        {"Chart1", "Tarnel", {176, 40, 825, 457}, nullptr},
        {"PlotToolbar1", "Tarnel", {176, 8, 825, 33}, nullptr},
        {"StatusBar1", "Tarnel", {0, 505, 1008, 19}, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QWidget* widget = w.Find(row.name);
        ASSERT_NE(widget, nullptr);
        ASSERT_NE(widget->parentWidget(), nullptr);
        EXPECT_EQ(widget->parentWidget()->objectName(), QString::fromLatin1(row.parent));
        EXPECT_EQ(widget->geometry(), row.geometry);
        if (row.text == nullptr) {
            continue;
        }
        QString text;
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            text = button->text();
        } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
            text = box->title();
        } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            text = edit->text();
        } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            text = combo->currentText();
        }
        EXPECT_EQ(text, QString::fromLatin1(row.text));
    }

    // The readouts sit on the chart, empty, in their fonts and colours.
    struct Readout {
        const char* name;
        QPoint position;
        QColor color;
    };
    const Readout readouts[] = {
        {"SWRLabel", {64, 160}, QColor(0xFF, 0, 0)},
        {"CenterSWRLabel", {64, 200}, QColor(0, 0, 0x80)},
        {"SWROKLabel", {64, 240}, w.window->palette().color(QPalette::WindowText)},
    };
    for (const Readout& readout : readouts) {
        SCOPED_TRACE(readout.name);
        auto* label = w.Find<QLabel>(readout.name);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->parentWidget(), w.window->Chart1);
        EXPECT_EQ(label->pos(), readout.position);
        EXPECT_TRUE(label->text().isEmpty());
        EXPECT_EQ(label->font().pixelSize(), 16);
        EXPECT_EQ(label->font().family(), QStringLiteral("Tahoma"));
        EXPECT_EQ(label->palette().color(QPalette::WindowText), readout.color);
    }
    EXPECT_EQ(w.window->Chart1->cursor().shape(), Qt::CrossCursor);
}

TEST(TarnelLayout, EditLabelsSitAboveTheirEdits) {
    Window w;
    const std::pair<const char*, const char*> edits[] = {
        {"CenterFreqEdit", "Center Freq  (KHz)"},
        {"BWEdit", "Scan Width   (KHz)"},
        {"ScanStepEdit", "Scan Step     (KHz >0.2)"},
    };
    for (const auto& [name, caption] : edits) {
        SCOPED_TRACE(name);
        auto* edit = w.Find<QLineEdit>(name);
        auto* label = w.Find<QLabel>((std::string(name) + "Label").c_str());
        ASSERT_NE(edit, nullptr);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), QString::fromLatin1(caption));
        EXPECT_EQ(label->buddy(), edit);
        EXPECT_EQ(label->parentWidget(), edit->parentWidget());
        EXPECT_EQ(label->x(), edit->x());
        EXPECT_LT(label->geometry().bottom(), edit->y());
        EXPECT_GT(label->y(), edit->y() - 25)
            << "the label belongs to this edit, not the one above";
    }
}

TEST(TarnelLayout, PortListAndBandItems) {
    Window w;
    QComboBox* combo = w.window->ComPortSelectComboBox;
    EXPECT_TRUE(combo->isEditable());
    ASSERT_EQ(combo->count(), 50);
    EXPECT_EQ(combo->currentIndex(), 5);
    QStringList lower_m;
    for (int i = 0; i < combo->count(); ++i) {
        const QString item = combo->itemText(i);
        EXPECT_EQ(item.mid(3).toInt(), i + 1) << item.toStdString();
        if (item.startsWith(QStringLiteral("COm"))) {
            lower_m << item;
        } else {
            EXPECT_TRUE(item.startsWith(QStringLiteral("COM"))) << item.toStdString();
        }
    }
    EXPECT_EQ(lower_m,
              (QStringList{"COm11", "COm17", "COm27", "COm29", "COm35", "COm36", "COm38"}));

    const QStringList bands = {"80 Meter (  3 MHz)", "40 Meter (  7 MHz)", "30 Meter (10 MHz)",
                               "20 Meter (14 MHz)",  "17 Meter (18 MHz)",  "15 Meter (21 MHz)",
                               "12 Meter (24 MHz)",  "10 Meter (28 MHz)",  " 6 Meter  (50 MHz)"};
    RadioGroup* group = w.window->RadioGroup1;
    ASSERT_EQ(group->ItemCount(), bands.size());
    int previous_top = -1;
    for (int i = 0; i < group->ItemCount(); ++i) {
        QRadioButton* button = group->Button(i);
        EXPECT_EQ(button->text(), bands[i]);
        EXPECT_GT(button->y(), previous_top) << "one column, in item order";
        EXPECT_TRUE(group->rect().contains(button->geometry())) << i;
        previous_top = button->y();
    }
    EXPECT_EQ(group->ItemIndex(), 3);
}

TEST(TarnelLayout, StatusBarPanels) {
    Window w;
    auto* panel0 = w.Find<QLabel>("StatusBar1.Panel0");
    auto* panel1 = w.Find<QLabel>("StatusBar1.Panel1");
    ASSERT_NE(panel0, nullptr);
    ASSERT_NE(panel1, nullptr);
    EXPECT_EQ(panel0->width(), 450);
    EXPECT_EQ(panel1->width(), 300);
    EXPECT_TRUE(panel0->text().startsWith(QStringLiteral("Tarnel Data Scan V0.8")));
    EXPECT_GT(panel0->text().size(), QStringLiteral("Tarnel Data Scan V0.8").size());
    EXPECT_FALSE(panel1->text().isEmpty());
    // Resizing keeps the status bar along the bottom edge and the controls in place.
    w.window->show();
    w.window->resize(1200, 700);
    EXPECT_EQ(w.window->StatusBar1->geometry(), QRect(0, 681, 1200, 19));
    EXPECT_EQ(w.window->Chart1->geometry(), QRect(176, 40, 825, 457));
}

TEST(TarnelLayout, TabOrderFollowsTheRows) {
    Window w;
    TTarnel& t = *w.window;
    std::vector<QWidget*> expected = {t.ConnectBtn,    t.ComPortSelectComboBox, t.DisConnectBtn,
                                      t.GetComListBtn, t.CenterFreqEdit,        t.BWEdit,
                                      t.ScanStepEdit};
    for (int i = 0; i < 9; ++i) {
        expected.push_back(t.RadioGroup1->Button(i));
    }
    expected.insert(expected.end(),
                    {t.ScanStartBtn, t.MutiScanBtn, t.StopScanBtn, t.Chart1,
                     static_cast<QWidget*>(t.PlotToolbar1)});
    std::vector<QWidget*> seen;
    QWidget* widget = t.ConnectBtn;
    for (int guard = 0; guard < 500 && seen.size() < expected.size(); ++guard) {
        if (std::find(expected.begin(), expected.end(), widget) != expected.end()) {
            seen.push_back(widget);
        }
        widget = widget->nextInFocusChain();
    }
    EXPECT_EQ(seen, expected);

    // Tab enters the band group at its checked item, whichever that is.
    t.show();
    t.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&t));
    for (int item : {3, 1}) {
        t.RadioGroup1->SetItemIndex(item);
        t.ScanStepEdit->setFocus();
        QTest::keyClick(t.ScanStepEdit, Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), t.RadioGroup1->Button(item))
            << QApplication::focusWidget()->objectName().toStdString();
        // The arrow keys move the selection within the group and report it.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        EXPECT_EQ(t.RadioGroup1->ItemIndex(), item + 1);
        EXPECT_EQ(t.CenterFreqEdit->text().toStdString(), kBandPresets[item + 1].Centre);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), t.ScanStartBtn)
            << QApplication::focusWidget()->objectName().toStdString();
    }
}

TEST(TarnelLayout, FormCreateDerivesTheStartUpState) {
    Window w;
    TTarnel& t = *w.window;
    EXPECT_TRUE(t.ConnectBtn->isEnabled());
    EXPECT_FALSE(t.DisConnectBtn->isEnabled());
    for (QPushButton* button : {t.GetComListBtn, t.ScanStartBtn, t.MutiScanBtn, t.StopScanBtn}) {
        EXPECT_TRUE(button->isEnabled()) << button->objectName().toStdString();
    }

    const SweepState& state = t.Sweep().State();
    EXPECT_EQ(state.LineEnd, "\r\n");
    EXPECT_EQ(state.CenterFreq, 14175000u);
    EXPECT_EQ(state.ScanWidth, 1000000u);
    EXPECT_EQ(state.ScanStep, 10000.0);
    EXPECT_EQ(state.CurFreq, 13675000u);
    EXPECT_EQ(state.StopFreq, 14675000u);
    EXPECT_FALSE(state.StartReceived);
    EXPECT_FALSE(state.ContinuousScan);

    chart::TPlot& plot = t.Chart1->Plot();
    EXPECT_EQ(plot.BottomAxis().Minimum(), 13675.0);
    EXPECT_EQ(plot.BottomAxis().Maximum(), 14675.0);
    EXPECT_EQ(plot.LeftAxis().Minimum(), 1.0);
    EXPECT_EQ(plot.LeftAxis().Maximum(), 6.0);
    EXPECT_EQ(plot.RightAxis().Minimum(), 0.0);
    EXPECT_EQ(plot.RightAxis().Maximum(), 300.0);
    EXPECT_FALSE(plot.RightAxis().Grid().Visible);
    EXPECT_EQ(plot.Title().Text, std::vector<std::string>{"VSWR Scan Data Chart"});

    ASSERT_EQ(t.Series4().Count(), 2);
    EXPECT_EQ(t.Series4().GetxValue(0), 14175.0);
    EXPECT_EQ(t.Series4().GetxValue(1), 14175.0);
    EXPECT_EQ(t.Series4().GetyValue(0), 1.0);
    EXPECT_EQ(t.Series4().GetyValue(1), 6.0);
    ASSERT_EQ(t.Series5().Count(), 2);
    EXPECT_EQ(t.Series5().GetxValue(0), 5.0);
    EXPECT_EQ(t.Series5().GetyValue(1), 6.0);
    ASSERT_EQ(t.Series6().Count(), 2);
    EXPECT_EQ(t.Series6().GetxValue(1), 3.0);
    EXPECT_EQ(t.Series6().GetyValue(0), 6.0);

    // Series in chart order with their titles, legend flags and vertical axes.
    const struct {
        const char* title;
        bool in_legend;
        const chart::TPlotAxis* axis;
    } series[] = {{"R", true, &plot.RightAxis()},       {"Z", true, &plot.RightAxis()},
                  {"SWR", true, &plot.LeftAxis()},      {"CenterLine", false, &plot.LeftAxis()},
                  {"RefLine", false, &plot.LeftAxis()}, {"YLine", false, &plot.LeftAxis()}};
    ASSERT_EQ(plot.SeriesCount(), 6);
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(series[i].title);
        chart::TPlotSeries& s = plot.Series(i);
        EXPECT_EQ(s.Title(), series[i].title);
        EXPECT_EQ(s.ShowInLegend(), series[i].in_legend);
        EXPECT_EQ(s.GetVertAxis(), series[i].axis);
        EXPECT_FALSE(s.Loading());
    }
    EXPECT_EQ(t.Series3().Pointer().Style, chart::psSmallDot);
    EXPECT_TRUE(t.Series3().Pointer().Visible);
    EXPECT_FALSE(t.Series1().Pointer().Visible);

    // The matcher delivers CR LF lines from now on; the port keeps its stored baud rate.
    EXPECT_TRUE(w.data_packet->enabled);
    EXPECT_EQ(w.data_packet->start_cond, packet::scAnyData);
    EXPECT_EQ(w.data_packet->end_cond, packet::TPacketEndSet(packet::ecString));
    EXPECT_EQ(w.data_packet->end_string, "\r\n");
    EXPECT_EQ(w.port->baud, 56000);
    EXPECT_TRUE(w.port->writes.empty());
}

// The layout is applied first (the matcher gets its stored settings), the components leave
// their loading state, and only then does FormCreate reconfigure the matcher.
TEST(TarnelLayout, LoadingThenLoadedThenFormCreate) {
    auto port = std::make_unique<test::RecordingComPort>();
    auto data_packet = std::make_unique<test::RecordingDataPacket>();
    test::RecordingDataPacket* packet_double = data_packet.get();
    std::vector<std::pair<std::string, bool>> chart_loading; // per write: chart still loading?
    packet_double->on_write = [&](const std::string& entry) {
        for (QWidget* widget : QApplication::allWidgets()) {
            if (auto* plot = qobject_cast<chart::PlotWidget*>(widget);
                plot != nullptr && plot->objectName() == QStringLiteral("Chart1")) {
                chart_loading.emplace_back(entry, plot->Plot().Loading());
                return;
            }
        }
        chart_loading.emplace_back(entry, true);
    };
    TTarnel window(std::move(port), std::move(data_packet));
    packet_double->on_write = nullptr;

    const std::vector<std::string> expected = {
        // stored layout
        "Enabled=true", "StartCond=scAnyData", "EndCond=[ecString]", "EndString=\\r\\n",
        // FormCreate
        "Enabled=false", "StartCond=scAnyData", "EndCond=[]", "EndCond=[ecString]",
        "EndString=\r\n", "Enabled=true"};
    ASSERT_EQ(packet_double->log.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(packet_double->log[i], expected[i]) << i;
    }
    // Layout writes happen while the chart loads; FormCreate's only after Loaded.
    ASSERT_EQ(chart_loading.size(), expected.size());
    for (size_t i = 0; i < chart_loading.size(); ++i) {
        EXPECT_EQ(chart_loading[i].second, i < 4) << chart_loading[i].first;
    }
}

} // namespace
} // namespace app

namespace app {
namespace {

// What assistive tools read: each control's role, name, state and place in the tree.
TEST(TarnelLayout, AccessibilityTreeNamesTheControls) {
    Window w;
    w.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.window.get()));
    QAccessibleInterface* root = QAccessible::queryAccessibleInterface(w.window.get());
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->text(QAccessible::Name), QStringLiteral("Tarnel-Veskel-Brindo Data Scan"));

    struct Found {
        QAccessible::Role role;
        QString name;
        QAccessible::State state;
        QRect rect;
    };
    std::vector<Found> found;
    std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
        for (int i = 0; i < node->childCount(); ++i) {
            QAccessibleInterface* child = node->child(i);
            if (child == nullptr) {
                continue;
            }
            found.push_back(
                {child->role(), child->text(QAccessible::Name), child->state(), child->rect()});
            walk(child);
        }
    };
    walk(root);
    auto find = [&](QAccessible::Role role, const QString& name) -> const Found* {
        for (const Found& f : found) {
            if (f.role == role && f.name == name) {
                return &f;
            }
        }
        return nullptr;
    };

    const QPoint origin = w.window->mapToGlobal(QPoint(0, 0));
    const struct {
        QAccessible::Role role;
        const char* name;
        QRect geometry; // in window pixels
        bool enabled;
    } expected[] = {
        {QAccessible::PushButton, "Connect", {32, 48, 57, 25}, true},
        {QAccessible::PushButton, "Disconnect", {96, 48, 59, 25}, false},
        {QAccessible::PushButton, "List Connected Ports", {32, 78, 121, 19}, true},
        {QAccessible::EditableText, "Center Freq  (KHz)", {32, 144, 121, 21}, true},
        {QAccessible::EditableText, "Scan Width   (KHz)", {32, 184, 121, 21}, true},
        {QAccessible::EditableText, "Scan Step     (KHz >0.2)", {32, 224, 121, 21}, true},
        {QAccessible::PushButton, "Start Scan", {32, 400, 121, 25}, true},
        {QAccessible::PushButton, "Continuous Scan", {32, 432, 121, 25}, true},
        {QAccessible::PushButton, "Stop Scan", {32, 464, 121, 25}, true},
        {QAccessible::RadioButton, " 6 Meter  (50 MHz)", {}, true},
        {QAccessible::ComboBox, "COM6", {32, 24, 121, 21}, true},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.name);
        const Found* f = find(e.role, QString::fromLatin1(e.name));
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(!f->state.disabled, e.enabled);
        if (!e.geometry.isNull()) {
            EXPECT_EQ(f->rect, e.geometry.translated(origin));
        }
    }
    EXPECT_NE(find(QAccessible::Grouping, QStringLiteral("Band Setup")), nullptr);
    EXPECT_NE(find(QAccessible::Grouping, QStringLiteral("Band Quick Setup")), nullptr);
}

} // namespace
} // namespace app
