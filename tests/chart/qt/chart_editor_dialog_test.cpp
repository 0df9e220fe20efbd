// The chart editor as a user drives it: controls found by their names, changes that reach
// the chart while the dialog is open, Cancel that puts the settings back while a sweep's
// new points stay, OK that keeps them, the 3D page, the axis range checks and the file
// buttons with their hooks.
#include "base/error_display.h"
#include "base/recording_error_display.h"
#include "chart/qt/chart_editor_buttons.h"
#include "chart/qt/chart_editor_dialog.h"
#include "chart/qt/modal_support.h"
#include "chart/stored_chart.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace chart {
namespace {

using test::AnswerNext;
using test::StoredChart;
using test::WaitUntil;

template <typename T> T* Find(QWidget& dialog, const char* name) {
    T* widget = dialog.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

// Types a value into a spin box as a user does: select all, type (Enter would press OK).
void Type(QAbstractSpinBox* spin, const QString& text) {
    spin->setFocus();
    spin->selectAll();
    QTest::keyClicks(spin, text);
}

// Clicks a button; a check box on its box, since a form row stretches it far beyond its text.
void Click(QAbstractButton* button) {
    const QPoint at = qobject_cast<QCheckBox*>(button) != nullptr ? QPoint(8, button->height() / 2)
                                                                  : button->rect().center();
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, at);
}

// The chart as the window has it, with a repaint counter and an editor open on it.
struct Editing {
    explicit Editing(ChartEditorHooks hooks = {}) : dialog(chart.plot, std::move(hooks)) {
        chart.Swr().AddXY(14000, 1.5);
        chart.plot.OnInvalidate = [this] { ++repaints; };
        dialog.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    }
    StoredChart chart;
    int repaints = 0;
    ChartEditorDialog dialog;
};

TEST(ChartEditor, ChangesShowAtOnceAndCancelPutsTheSettingsBackKeepingNewPoints) {
    Editing e;
    const ChartSettings before = ChartSettings::Capture(e.chart.plot);

    auto* title = Find<QPlainTextEdit>(e.dialog, "title.text");
    title->setFocus();
    title->selectAll();
    QTest::keyClicks(title, "Antenna 2");
    EXPECT_EQ(e.chart.plot.Title().Text, std::vector<std::string>{"Antenna 2"});
    EXPECT_GT(e.repaints, 0);

    // The colour dialog opens from the button; the colour picked reaches the title.
    AnswerNext<QColorDialog>([](QColorDialog* d) {
        d->setCurrentColor(QColor(0x12, 0x34, 0x56));
        d->accept();
    });
    Click(Find<QPushButton>(e.dialog, "title.color"));
    EXPECT_EQ(e.chart.plot.Title().Font.Color, base::RGB(0x12, 0x34, 0x56));
    EXPECT_EQ(Find<QPushButton>(e.dialog, "title.color")->text(), "#123456");

    Click(Find<QCheckBox>(e.dialog, "legend.visible"));
    EXPECT_FALSE(e.chart.plot.Legend().Visible);
    Type(Find<QSpinBox>(e.dialog, "margin.left"), "10");
    EXPECT_EQ(e.chart.plot.MarginLeft(), 10);

    Find<QTabWidget>(e.dialog, "tabs")->setCurrentIndex(2);
    Type(Find<QDoubleSpinBox>(e.dialog, "axis.Left.maximum"), "10");
    EXPECT_EQ(e.chart.plot.LeftAxis().Maximum(), 10);
    Find<QTabWidget>(e.dialog, "axes")->setCurrentIndex(1);
    Click(Find<QCheckBox>(e.dialog, "axis.Right.grid"));
    EXPECT_TRUE(e.chart.plot.RightAxis().Grid().Visible);
    auto* grid_style = Find<QComboBox>(e.dialog, "axis.Right.gridStyle");
    grid_style->setCurrentIndex(grid_style->findText("Dash"));
    EXPECT_EQ(e.chart.plot.RightAxis().Grid().Style, psDash);

    Find<QTabWidget>(e.dialog, "tabs")->setCurrentIndex(3);
    Find<QListWidget>(e.dialog, "series.list")->setCurrentRow(2);
    Type(Find<QSpinBox>(e.dialog, "series.2.lineWidth"), "5");
    EXPECT_EQ(e.chart.Swr().LinePen().Width, 5);
    auto* style = Find<QComboBox>(e.dialog, "series.2.pointerStyle");
    style->setCurrentIndex(style->findText("Circle"));
    EXPECT_EQ(e.chart.Swr().Pointer().Style, psCircle);
    Click(Find<QCheckBox>(e.dialog, "series.2.legend"));
    EXPECT_FALSE(e.chart.Swr().ShowInLegend());
    Find<QListWidget>(e.dialog, "series.list")->setCurrentRow(0);
    auto* name = Find<QLineEdit>(e.dialog, "series.0.title");
    name->selectAll();
    QTest::keyClicks(name, "Resistance");
    EXPECT_EQ(e.chart.R().Title(), "Resistance");
    EXPECT_EQ(Find<QListWidget>(e.dialog, "series.list")->item(0)->text(), "Resistance");
    Click(Find<QCheckBox>(e.dialog, "series.0.visible"));
    EXPECT_FALSE(e.chart.R().Active());

    // A sweep goes on meanwhile.
    e.chart.Swr().AddXY(14010, 1.4);
    e.chart.R().AddXY(14010, 48);

    Click(Find<QPushButton>(e.dialog, "cancel"));
    EXPECT_FALSE(e.dialog.isVisible());
    EXPECT_EQ(ChartSettings::Capture(e.chart.plot), before);
    ASSERT_EQ(e.chart.Swr().Count(), 2);
    EXPECT_EQ(e.chart.Swr().GetyValue(1), 1.4);
    EXPECT_EQ(e.chart.R().Count(), 1);
}

// Escape closes the dialog the way Cancel does.
TEST(ChartEditor, EscapeCancelsToo) {
    Editing e;
    const ChartSettings before = ChartSettings::Capture(e.chart.plot);
    Click(Find<QCheckBox>(e.dialog, "title.visible"));
    EXPECT_FALSE(e.chart.plot.Title().Visible);
    QTest::keyClick(&e.dialog, Qt::Key_Escape);
    EXPECT_EQ(ChartSettings::Capture(e.chart.plot), before);
}

// Run as the toolbar runs it: modal; OK keeps the 3D settings edited and View3D ticked.
TEST(ChartEditor, OkKeepsTheEditsAndThe3DPageTurnsTheChart3D) {
    StoredChart chart;
    int view_changes = 0;
    chart.plot.OnView3DChanged = [&] { ++view_changes; };
    auto answered = std::make_shared<bool>(false);
    AnswerNext<ChartEditorDialog>(
        [](ChartEditorDialog* d) {
            Find<QTabWidget>(*d, "tabs")->setCurrentIndex(4);
            Type(Find<QDoubleSpinBox>(*d, "view3D.rotation"), "300");
            Type(Find<QDoubleSpinBox>(*d, "view3D.elevation"), "320");
            Type(Find<QSpinBox>(*d, "view3D.tilt"), "12");
            Type(Find<QSpinBox>(*d, "view3D.perspective"), "40");
            Click(Find<QCheckBox>(*d, "view3D.orthogonal"));
            Type(Find<QSpinBox>(*d, "view3D.horizOffset"), "-20");
            Type(Find<QSpinBox>(*d, "view3D.vertOffset"), "30");
            Type(Find<QDoubleSpinBox>(*d, "view3D.zoom"), "150");
            Type(Find<QSpinBox>(*d, "view3D.depth"), "60");
            Click(Find<QCheckBox>(*d, "view3D"));
            Click(Find<QPushButton>(*d, "ok"));
        },
        answered);
    EXPECT_TRUE(RunChartEditor(nullptr, chart.plot, {}));
    EXPECT_TRUE(*answered);
    EXPECT_TRUE(chart.plot.View3D());
    TPlotView3DOptions expected;
    expected.Rotation = 300;
    expected.Elevation = 320;
    expected.Tilt = 12;
    expected.Perspective = 40;
    expected.Orthogonal = false;
    expected.HorizOffset = -20;
    expected.VertOffset = 30;
    expected.Zoom = 150;
    EXPECT_EQ(chart.plot.View3DOptions(), expected);
    EXPECT_EQ(chart.plot.Chart3DPercent(), 60);
    EXPECT_GT(view_changes, 0);

    // Closed with Cancel, the editor reports no edit.
    AnswerNext<ChartEditorDialog>([](ChartEditorDialog* d) { d->reject(); });
    EXPECT_FALSE(RunChartEditor(nullptr, chart.plot, {}));
    EXPECT_TRUE(chart.plot.View3D());
}

// A minimum above the maximum is refused with a message and applied once the maximum makes
// room; the automatic flags follow each other and switch the range boxes on and off.
TEST(ChartEditor, AxisRangeAndAutomaticFlags) {
    Editing e;
    Find<QTabWidget>(e.dialog, "tabs")->setCurrentIndex(2);
    TPlotAxis& left = e.chart.plot.LeftAxis();
    auto* minimum = Find<QDoubleSpinBox>(e.dialog, "axis.Left.minimum");
    auto* maximum = Find<QDoubleSpinBox>(e.dialog, "axis.Left.maximum");
    auto* problem = Find<QLabel>(e.dialog, "problem");

    Type(minimum, "8");
    EXPECT_EQ(left.Minimum(), 1);
    EXPECT_TRUE(problem->isVisible());
    EXPECT_TRUE(problem->text().contains("minimum must not be above the maximum"));
    Type(maximum, "12");
    EXPECT_EQ(left.Minimum(), 8);
    EXPECT_EQ(left.Maximum(), 12);
    EXPECT_FALSE(problem->isVisible());

    auto* automatic = Find<QCheckBox>(e.dialog, "axis.Left.automatic");
    auto* auto_min = Find<QCheckBox>(e.dialog, "axis.Left.automaticMinimum");
    auto* auto_max = Find<QCheckBox>(e.dialog, "axis.Left.automaticMaximum");
    EXPECT_TRUE(minimum->isEnabled());
    Click(automatic);
    EXPECT_TRUE(left.Automatic());
    EXPECT_TRUE(auto_min->isChecked());
    EXPECT_TRUE(auto_max->isChecked());
    EXPECT_FALSE(minimum->isEnabled());
    EXPECT_FALSE(maximum->isEnabled());
    Click(auto_max);
    EXPECT_FALSE(left.AutomaticMaximum());
    EXPECT_FALSE(left.Automatic());
    EXPECT_FALSE(automatic->isChecked());
    EXPECT_TRUE(maximum->isEnabled());
    EXPECT_FALSE(minimum->isEnabled());
}

// Fonts come from the font dialog in pixels at 96 dots per inch; the colour stays.
TEST(ChartEditor, FontDialogSetsTheAxisLabelsFont) {
    Editing e;
    Find<QTabWidget>(e.dialog, "tabs")->setCurrentIndex(2);
    AnswerNext<QFontDialog>([](QFontDialog* d) {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSize(12);
        font.setItalic(true);
        d->setCurrentFont(font);
        d->accept();
    });
    Click(Find<QPushButton>(e.dialog, "axis.Left.labelsFont"));
    const TPlotFont& font = e.chart.plot.LeftAxis().LabelsFont();
    EXPECT_EQ(font.Name, "DejaVu Sans");
    EXPECT_EQ(font.PixelSize, 16);
    EXPECT_TRUE(font.Style.Contains(fsItalic));
    EXPECT_FALSE(font.Style.Contains(fsBold));
    EXPECT_EQ(font.Color, base::clRed);
}

// Every control a user can reach has a name that assistive tools read.
TEST(ChartEditor, EveryControlIsNamed) {
    Editing e({[](const std::string&) { return std::string(); },
               [](const std::string&) { return std::string(); }});
    int controls = 0;
    for (QWidget* w : e.dialog.findChildren<QWidget*>()) {
        QWidget* parent = w->parentWidget();
        // Parts of other controls (a spin box's editor, a tab bar's scroll buttons) are read
        // as part of them.
        if (qobject_cast<QTabBar*>(parent) || qobject_cast<QAbstractSpinBox*>(parent) ||
            qobject_cast<QComboBox*>(parent)) {
            continue;
        }
        QString name = w->accessibleName();
        if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            name = name.isEmpty() ? button->text() : name;
        } else if (!qobject_cast<QAbstractSpinBox*>(w) && !qobject_cast<QComboBox*>(w) &&
                   !qobject_cast<QLineEdit*>(w) && !qobject_cast<QPlainTextEdit*>(w) &&
                   !qobject_cast<QListWidget*>(w)) {
            continue;
        }
        EXPECT_FALSE(name.isEmpty())
            << w->metaObject()->className() << " " << w->objectName().toStdString();
        ++controls;
    }
    EXPECT_GT(controls, 60);
}

TEST(ChartEditor, FileButtonsRunTheHooksAndShowTheirErrors) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    std::vector<std::string> saved;
    std::string save_error;
    ChartEditorHooks hooks;
    hooks.Save = [&](const std::string& path) {
        saved.push_back(path);
        return save_error;
    };
    StoredChart* opened_chart = nullptr;
    hooks.Open = [&](const std::string&) -> std::string {
        opened_chart->plot.Title().Text = {"Opened"};
        opened_chart->Swr().SetSeriesColor(base::clBlack);
        return {};
    };
    Editing e(hooks);
    opened_chart = &e.chart;
    base::RecordingErrorDisplay boxes;

    const QString path = dir.filePath("sweep");
    AnswerNext<QFileDialog>([path](QFileDialog* d) {
        // Typed as a user does: selectFile leaves a focused name field alone.
        auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(path);
        static_cast<QDialog*>(d)->accept(); // QFileDialog's own is protected
    });
    Click(Find<QPushButton>(e.dialog, "save"));
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0], path.toStdString() + ".json");
    EXPECT_EQ(boxes.Count(), 0u);

    save_error = "Cannot write the file";
    EXPECT_FALSE(e.dialog.SaveTo(dir.filePath("b.json")));
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].caption, base::ApplicationTitle());
    EXPECT_EQ(boxes.Boxes()[0].text, "Cannot write the file.");

    // A hook that throws is a failure with its message, not a crash.
    hooks.Save = [](const std::string&) -> std::string { throw std::runtime_error("disk full"); };
    {
        ChartEditorDialog other(e.chart.plot, hooks);
        EXPECT_FALSE(other.SaveTo(dir.filePath("c.json")));
        EXPECT_EQ(boxes.Texts().back(), "disk full.");
        other.reject();
    }

    // Opening shows the opened chart; Cancel then returns to it, not to the old settings.
    e.chart.plot.Title().Text = {"Before"};
    EXPECT_TRUE(e.dialog.OpenFrom(dir.filePath("a.json")));
    EXPECT_EQ(Find<QPlainTextEdit>(e.dialog, "title.text")->toPlainText(), "Opened");
    Click(Find<QPushButton>(e.dialog, "cancel"));
    EXPECT_EQ(e.chart.plot.Title().Text, std::vector<std::string>{"Opened"});
    EXPECT_EQ(e.chart.Swr().SeriesColor(), base::clBlack);
}

TEST(ChartEditor, FileButtonsHiddenWithoutHooks) {
    Editing e;
    EXPECT_FALSE(Find<QPushButton>(e.dialog, "save")->isVisible());
    EXPECT_FALSE(Find<QPushButton>(e.dialog, "open")->isVisible());
    EXPECT_FALSE(e.dialog.SaveTo("x.json"));
}

} // namespace
} // namespace chart
