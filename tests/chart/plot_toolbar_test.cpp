// The chart toolbar without widgets: controls and their places, enabling, labels, the
// chart it serves coming and going, and drags turning into the chart's 3D settings.
#include "chart/plot_toolbar.h"
#include "chart/series.h"
#include "fixed_canvas.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace chart {
namespace {

// A chart laid out with no border, margins or axes, so its plot area is its whole client
// area: 600 x 800 pixels, a diagonal of 1000. A horizontal pixel turns 0.15 degrees, a
// vertical one 0.1125.
struct Rig {
    explicit Rig(int32_t width = 600, int32_t height = 800) {
        chart.SetAxisVisible(false);
        chart.SetBevelOuter(false);
        chart.SetMargins(0, 0, 0, 0);
        test::FixedCanvas canvas;
        chart.CalcLayout(width, height, canvas);
        chart.OnMouseCaptureChanged = [this](bool on) { captures.push_back(on); };
        chart.OnInvalidate = [this] { ++invalidates; };
        toolbar.SetPanel(&chart);
    }

    static TShiftState Held(TMouseButton button, TShiftState keys) {
        return keys | (button == mbRight ? ssRight : ssLeft);
    }
    void Down(int32_t x, int32_t y, TMouseButton button = mbLeft, TShiftState keys = {}) {
        chart.BeginMouseEvent();
        chart.MouseDown(button, Held(button, keys), x, y);
    }
    void Move(int32_t x, int32_t y, TMouseButton button = mbLeft, TShiftState keys = {}) {
        chart.BeginMouseEvent();
        chart.MouseMove(Held(button, keys), x, y);
    }
    void Up(int32_t x, int32_t y, TMouseButton button = mbLeft) {
        chart.BeginMouseEvent();
        chart.MouseUp(button, {}, x, y);
    }
    std::string Label() const { return toolbar.LabelText()->Caption; }

    // First, so they outlive the toolbar, which ends a drag as it goes.
    std::vector<bool> captures; // each capture change the chart was asked for
    int invalidates = 0;
    TPlot chart;
    TPlotToolbar toolbar;
};

TShiftState Keys(std::initializer_list<TShiftKey> keys) {
    TShiftState state;
    for (TShiftKey key : keys) {
        state.Include(key);
    }
    return state;
}

TEST(PlotToolbar, CreatesTheDefaultStrip) {
    TPlotToolbar toolbar;
    struct Expected {
        TPlotToolbarControls kind;
        TRect bounds;
        const char* hint;
        int32_t group;
    };
    const Expected expected[] = {
        {tcbNormal, {4, 4, 29, 29}, "Normal", 1},  {tcbSeparator, {33, 2, 35, 31}, "", 0},
        {tcbRotate, {39, 4, 64, 29}, "Rotate", 1}, {tcbMove, {68, 4, 93, 29}, "Move", 1},
        {tcbZoom, {97, 4, 122, 29}, "Zoom", 1},    {tcbDepth, {126, 4, 151, 29}, "Depth", 1},
        {tcb3D, {155, 4, 180, 29}, "3D", 2},       {tcbSeparator, {184, 2, 186, 31}, "", 0},
        {tcbEdit, {190, 4, 215, 29}, "Edit", 0},   {tcbPrintPreview, {219, 4, 244, 29}, "Print", 0},
        {tcbCopy, {248, 4, 273, 29}, "Copy", 0},   {tcbSave, {277, 4, 302, 29}, "Save", 0},
        {tcbLabel, {306, 12, 306, 12}, "", 0},
    };
    ASSERT_EQ(toolbar.Controls().size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        const TPlotToolbarControl& control = *toolbar.Controls()[i];
        EXPECT_EQ(control.Kind, expected[i].kind);
        EXPECT_EQ(control.Bounds, expected[i].bounds);
        EXPECT_EQ(control.Hint, expected[i].hint);
        EXPECT_EQ(control.GroupIndex, expected[i].group);
        // Without a chart every button is disabled.
        EXPECT_FALSE(control.Kind != tcbLabel && control.Kind != tcbSeparator && control.Enabled);
    }
    EXPECT_EQ(toolbar.Width(), 400);
    EXPECT_EQ(toolbar.Height(), 33);
    EXPECT_TRUE(toolbar.ShowHint());
    EXPECT_TRUE(toolbar.ButtonNormal()->Down);
    EXPECT_EQ(toolbar.DefaultButton(), tcbNormal);
    EXPECT_TRUE(toolbar.Button3D()->AllowAllUp);
    const TPlotToolbarControl& label = *toolbar.LabelText();
    EXPECT_EQ(label.Caption, "");
    EXPECT_EQ(label.Font.Name, "Arial");
    EXPECT_EQ(label.Font.PixelSize, 11);
    EXPECT_EQ(label.Font.Color, 0x800000);
    EXPECT_TRUE(label.Transparent);
    EXPECT_EQ(toolbar.ButtonSave()->Glyph, "GlyphSave");
    EXPECT_EQ(toolbar.Button3D()->Glyph, "GlyphView3D");
    EXPECT_FALSE(toolbar.FullRotation());
    EXPECT_TRUE(toolbar.EnablePieExploding());
    EXPECT_TRUE(toolbar.LabelValues());
    EXPECT_EQ(toolbar.RotateInertia(), 3);
    EXPECT_EQ(toolbar.GradientOrNull(), nullptr);
}

TEST(PlotToolbar, AcceptsAnyListOfControls) {
    TPlot chart;
    TPlotToolbar toolbar;
    toolbar.SetPanel(&chart);
    // No Normal button, no label.
    toolbar.CreateControls({tcbSeparator, tcbZoom, tcbRotate, tcbSeparator, tcbSave});
    ASSERT_EQ(toolbar.Controls().size(), 5u);
    EXPECT_EQ(toolbar.Controls()[1]->Bounds.Left, 10);
    EXPECT_EQ(toolbar.Controls()[2]->Bounds.Left, 39);
    EXPECT_EQ(toolbar.Controls()[4]->Bounds.Left, 74);
    EXPECT_EQ(toolbar.ButtonNormal(), nullptr);
    EXPECT_EQ(toolbar.LabelText(), nullptr);
    EXPECT_EQ(toolbar.ButtonMove(), nullptr);
    EXPECT_EQ(toolbar.DefaultButton(), tcbNormal); // nothing down
    EXPECT_TRUE(toolbar.ButtonSave()->Enabled);

    std::string seen;
    toolbar.OnSetLabel = [&](TPlotToolbar&, std::string& text) { seen = text; };
    toolbar.ClickButton(tcbZoom);
    EXPECT_EQ(seen, "Drag Chart to Zoom");
    EXPECT_EQ(toolbar.DefaultButton(), tcbZoom);
    toolbar.ClickButton(tcbMove); // absent: nothing
    EXPECT_EQ(toolbar.DefaultButton(), tcbZoom);

    // A zoom drag works without a Normal button.
    test::FixedCanvas canvas;
    chart.CalcLayout(600, 800, canvas);
    chart.MouseDown(mbLeft, ssLeft, 100, 400);
    chart.MouseMove(ssLeft, 100, 300);
    EXPECT_GT(chart.View3DOptions().Zoom, 100);
}

TEST(PlotToolbar, VerticalStripStacksTheControlsAndHidesItsLabel) {
    Rig rig;
    rig.toolbar.SetSize(33, 400);
    rig.toolbar.SetVertical(true);
    const auto& controls = rig.toolbar.Controls();
    EXPECT_EQ(controls[0]->Bounds, (TRect{4, 4, 29, 29}));
    EXPECT_EQ(controls[1]->Bounds, (TRect{4, 33, 29, 35})); // across the strip, width - 8
    EXPECT_EQ(controls[2]->Bounds, (TRect{4, 39, 29, 64}));
    EXPECT_EQ(controls[12]->Bounds.Top, 306);
    EXPECT_FALSE(rig.toolbar.LabelText()->Visible);

    // Whatever LabelValues says, the label shows no text.
    rig.toolbar.ClickButton(tcbRotate);
    EXPECT_FALSE(rig.toolbar.LabelText()->Visible);
    rig.Down(300, 400);
    rig.Move(340, 360);
    EXPECT_FALSE(rig.toolbar.LabelText()->Visible);
    EXPECT_EQ(rig.Label(), "");
    rig.Up(340, 360);

    // Back to horizontal: the controls return along x; the next text shows again.
    rig.toolbar.SetSize(400, 33);
    rig.toolbar.SetVertical(false);
    EXPECT_EQ(controls[2]->Bounds, (TRect{39, 4, 64, 29}));
    EXPECT_EQ(controls[1]->Bounds, (TRect{33, 4, 35, 29}));
    rig.toolbar.ClickButton(tcbMove);
    EXPECT_TRUE(rig.toolbar.LabelText()->Visible);
    EXPECT_EQ(rig.Label(), "Drag Chart to Move");
}

TEST(PlotToolbar, ModeClicksSetTheLabelAndDefaultButtonDoesNot) {
    Rig rig;
    EXPECT_EQ(rig.Label(), "");
    rig.toolbar.SetDefaultButton(tcbRotate);
    EXPECT_EQ(rig.toolbar.DefaultButton(), tcbRotate);
    EXPECT_FALSE(rig.toolbar.ButtonNormal()->Down);
    EXPECT_EQ(rig.Label(), "");            // pressed without its click
    rig.toolbar.SetDefaultButton(tcbEdit); // not a mode: ignored
    EXPECT_EQ(rig.toolbar.DefaultButton(), tcbRotate);

    const struct {
        TPlotToolbarControls button;
        const char* text;
    } clicks[] = {
        {tcbRotate, "Drag Chart to Rotate"},
        {tcbMove, "Drag Chart to Move"},
        {tcbZoom, "Drag Chart to Zoom"},
        {tcbDepth, "Drag Chart to resize 3D"},
        {tcbNormal, "Drag Left button to Zoom, Right button to Scroll"},
    };
    for (const auto& click : clicks) {
        SCOPED_TRACE(click.text);
        rig.toolbar.ClickButton(click.button);
        EXPECT_EQ(rig.Label(), click.text);
        EXPECT_EQ(rig.toolbar.DefaultButton(), click.button);
        int down = 0;
        for (TPlotToolbarControls mode : {tcbNormal, tcbRotate, tcbMove, tcbZoom, tcbDepth}) {
            down += rig.toolbar.Button(mode)->Down ? 1 : 0;
        }
        EXPECT_EQ(down, 1);
    }
    // Clicking the mode that is down keeps it down.
    rig.toolbar.ClickButton(tcbNormal);
    EXPECT_TRUE(rig.toolbar.ButtonNormal()->Down);

    // A handler may replace the text; without LabelValues the label hides.
    rig.toolbar.OnSetLabel = [](TPlotToolbar&, std::string& text) { text = "<" + text + ">"; };
    rig.toolbar.ClickButton(tcbZoom);
    EXPECT_EQ(rig.Label(), "<Drag Chart to Zoom>");
    rig.toolbar.SetLabelValues(false);
    rig.toolbar.ClickButton(tcbMove);
    EXPECT_FALSE(rig.toolbar.LabelText()->Visible);
}

TEST(PlotToolbar, EnablingFollowsTheChartAndItsView) {
    auto chart = std::make_unique<TPlot>();
    TPlotToolbar toolbar;
    toolbar.SetPanel(chart.get());
    for (const auto& control : toolbar.Controls()) {
        if (control->Kind != tcbLabel && control->Kind != tcbSeparator) {
            EXPECT_TRUE(control->Enabled) << control->Hint;
        }
    }
    EXPECT_FALSE(toolbar.Button3D()->Down);
    chart->SetView3D(true); // the program, not the toolbar
    EXPECT_TRUE(toolbar.Button3D()->Down);

    // Releasing the 3D button returns to 2D and keeps the 3D settings.
    TPlotView3DOptions options;
    options.Rotation = 10;
    options.Zoom = 250;
    chart->SetView3DOptions(options);
    chart->SetChart3DPercent(40);
    toolbar.ClickButton(tcb3D);
    EXPECT_FALSE(chart->View3D());
    EXPECT_FALSE(toolbar.Button3D()->Down);
    EXPECT_EQ(chart->View3DOptions(), options);
    EXPECT_EQ(chart->Chart3DPercent(), 40);
    toolbar.ClickButton(tcb3D);
    EXPECT_TRUE(chart->View3D());

    // The chart going away detaches the toolbar.
    chart.reset();
    EXPECT_EQ(toolbar.Panel(), nullptr);
    EXPECT_FALSE(toolbar.ButtonRotate()->Enabled);
    EXPECT_FALSE(toolbar.Button3D()->Down);
    toolbar.ClickButton(tcbRotate); // disabled: nothing
    EXPECT_EQ(toolbar.LabelText()->Caption, "");
}

TEST(PlotToolbar, AfterLoadingTakesTheParentChart) {
    TPlot chart;
    TPlotToolbar on_chart;
    on_chart.BeginLoading();
    on_chart.SetParent(&chart);
    on_chart.Loaded();
    EXPECT_EQ(on_chart.Panel(), &chart);
    EXPECT_TRUE(on_chart.ButtonRotate()->Enabled);

    base::TComponent form;
    form.Own(std::make_unique<base::TComponent>(&form));
    TPlot& first = form.Own(std::make_unique<TPlot>(&form));
    form.Own(std::make_unique<TPlot>(&form));
    TPlotToolbar beside;
    beside.SetParent(&form);
    beside.Loaded();
    EXPECT_EQ(beside.Panel(), &first);

    TPlotToolbar kept; // one with a Panel keeps it
    kept.SetPanel(&chart);
    kept.SetParent(&form);
    kept.Loaded();
    EXPECT_EQ(kept.Panel(), &chart);
}

// Records the actions and counts the dialog components' runs.
struct Actions : IPlotToolbarActions {
    bool Edit(TPlot&) override {
        log.push_back("edit");
        return edited;
    }
    void Print(TPlot&) override { log.push_back("print"); }
    void Copy(TPlot&) override { log.push_back("copy"); }
    void Save(TPlot&) override { log.push_back("save"); }
    bool edited = true;
    std::vector<std::string> log;
};

struct Dialog : TPlotDialogComponent {
    explicit Dialog(std::vector<std::string>& log, std::string name) : log(log) {
        SetName(std::move(name));
    }
    void Execute() override { log.push_back(Name()); }
    std::vector<std::string>& log;
};

TEST(PlotToolbar, ActionButtonsUseTheDialogComponentsOrTheActions) {
    Rig rig;
    // Unset: nothing happens.
    for (TPlotToolbarControls button : {tcbEdit, tcbPrintPreview, tcbCopy, tcbSave}) {
        rig.toolbar.ClickButton(button);
    }
    Actions actions;
    rig.toolbar.SetActions(&actions);
    int edited = 0;
    rig.toolbar.OnEditedChart = [&](TPlotToolbar&, TPlot& chart) {
        EXPECT_EQ(&chart, &rig.chart);
        ++edited;
        chart.SetView3D(true);
    };
    for (TPlotToolbarControls button : {tcbEdit, tcbPrintPreview, tcbCopy, tcbSave}) {
        rig.toolbar.ClickButton(button);
        EXPECT_FALSE(rig.toolbar.Button(button)->Down);
    }
    EXPECT_EQ(actions.log, (std::vector<std::string>{"edit", "print", "copy", "save"}));
    EXPECT_EQ(edited, 1);
    EXPECT_TRUE(rig.toolbar.Button3D()->Down);

    auto editor = std::make_unique<Dialog>(actions.log, "editor");
    auto previewer = std::make_unique<Dialog>(actions.log, "previewer");
    rig.toolbar.SetChartEditor(editor.get());
    rig.toolbar.SetPreviewer(previewer.get());
    rig.toolbar.ClickButton(tcbEdit);
    rig.toolbar.ClickButton(tcbPrintPreview);
    EXPECT_EQ(actions.log.back(), "previewer");
    EXPECT_EQ(actions.log[actions.log.size() - 2], "editor");
    EXPECT_EQ(edited, 1);

    editor.reset();
    previewer.reset();
    EXPECT_EQ(rig.toolbar.ChartEditor(), nullptr);
    EXPECT_EQ(rig.toolbar.Previewer(), nullptr);
    rig.toolbar.ClickButton(tcbPrintPreview);
    EXPECT_EQ(actions.log.back(), "print");
}

// --- drags ---

struct Step {
    int32_t x;
    int32_t y;
    TShiftState keys;
};

struct DragCase {
    const char* name;
    TPlotToolbarControls mode;
    bool full_rotation;
    TMouseButton button;
    int32_t x0, y0;
    std::vector<Step> moves;
    // What the chart and the label show after the last move.
    double rotation, elevation;
    int32_t tilt, perspective;
    bool orthogonal;
    int32_t horiz, vert;
    double zoom;
    int32_t depth;
    const char* label;
};

constexpr TShiftState kNone{};

// Columns after the moves: rotation, elevation, tilt, perspective, orthogonal, horizontal
// and vertical offset, zoom, depth percent, label.
// clang-format off
const DragCase kDrags[] = {
    {"rotate", tcbRotate, false, mbLeft, 300, 400, {{340, 360, kNone}},
     351, 349.5, 0, 15, false, 0, 0, 100, 15, "Rotation: 351\u00B0 Elevation: 350\u00B0"},
    {"rotation wraps past 360", tcbRotate, false, mbLeft, 300, 400,
     {{400, 400, kNone}, {500, 400, kNone}},
     15, 345, 0, 15, false, 0, 0, 100, 15, "Rotation: 15\u00B0 Elevation: 345\u00B0"},
    {"rotation wraps below 0", tcbRotate, false, mbLeft, 300, 400, {{-2200, 400, kNone}},
     330, 345, 0, 15, false, 0, 0, 100, 15, "Rotation: 330\u00B0 Elevation: 345\u00B0"},
    {"elevation held in 270 to 360", tcbRotate, false, mbLeft, 300, 400,
     {{300, 0, kNone}, {300, 800, kNone}, {300, 5000, kNone}},
     345, 270, 0, 15, false, 0, 0, 100, 15, "Rotation: 345\u00B0 Elevation: 270\u00B0"},
    {"elevation up stops at 360", tcbRotate, false, mbLeft, 300, 400, {{300, -3000, kNone}},
     345, 360, 0, 15, false, 0, 0, 100, 15, "Rotation: 345\u00B0 Elevation: 360\u00B0"},
    {"full rotation wraps the elevation", tcbRotate, true, mbLeft, 300, 400,
     {{300, 0, kNone}, {300, 800, kNone}},
     345, 300, 0, 15, false, 0, 0, 100, 15, "Rotation: 345\u00B0 Elevation: 300\u00B0"},
    {"move mode with shift tilts under full rotation", tcbMove, true, mbLeft, 300, 400,
     {{300, 360, ssShift}, {300, 320, ssShift}},
     345, 345, 8, 15, false, 0, 0, 100, 15, "Horiz.Offset: 0 Vert.Offset: 0"},
    {"move mode with shift rotates otherwise", tcbMove, false, mbLeft, 300, 400,
     {{340, 400, ssShift}},
     351, 345, 0, 15, false, 0, 0, 100, 15, "Horiz.Offset: 0 Vert.Offset: 0"},
    {"rotate mode with shift moves, showing the rotation", tcbRotate, false, mbLeft, 300, 400,
     {{312, 397, ssShift}},
     345, 345, 0, 15, true, 12, -3, 100, 15, "Rotation: 345\u00B0 Elevation: 345\u00B0"},
    {"ctrl before shift: zoom", tcbRotate, false, mbLeft, 300, 400,
     {{300, 300, Keys({ssShift, ssCtrl})}},
     345, 345, 0, 15, true, 0, 0, 110, 15, "Rotation: 345\u00B0 Elevation: 345\u00B0"},
    {"move", tcbMove, false, mbLeft, 300, 400, {{305, 401, kNone}, {312, 397, kNone}},
     345, 345, 0, 15, true, 12, -3, 100, 15, "Horiz.Offset: 12 Vert.Offset: -3"},
    {"right button moves in rotate mode", tcbRotate, false, mbRight, 300, 400,
     {{290, 420, kNone}},
     345, 345, 0, 15, true, -10, 20, 100, 15, "Rotation: 345\u00B0 Elevation: 345\u00B0"},
    {"right button moves in depth mode", tcbDepth, false, mbRight, 300, 400, {{290, 420, kNone}},
     345, 345, 0, 15, true, -10, 20, 100, 15, "3D: 15 %"},
    {"zoom in", tcbZoom, false, mbLeft, 300, 400, {{300, 300, kNone}, {300, 200, kNone}},
     345, 345, 0, 15, true, 0, 0, 121, 15, "Zoom: 121 %"},
    {"zoom grows by at least 1", tcbZoom, false, mbLeft, 300, 400, {{300, 399, kNone}},
     345, 345, 0, 15, true, 0, 0, 101, 15, "Zoom: 101 %"},
    {"zoom out stops at 1 and comes back", tcbZoom, false, mbLeft, 300, 400,
     {{300, 100000, kNone}, {300, 99999, kNone}},
     345, 345, 0, 15, true, 0, 0, 2, 15, "Zoom: 2 %"},
    {"zoom mode with ctrl rotates", tcbZoom, false, mbLeft, 300, 400, {{340, 400, ssCtrl}},
     351, 345, 0, 15, false, 0, 0, 100, 15, "Zoom: 100 %"},
    {"zoom mode with shift moves", tcbZoom, false, mbLeft, 300, 400, {{301, 402, ssShift}},
     345, 345, 0, 15, true, 1, 2, 100, 15, "Zoom: 100 %"},
    {"depth follows the whole drag", tcbDepth, false, mbLeft, 300, 400,
     {{330, 440, kNone}, {360, 480, kNone}},
     345, 345, 0, 15, true, 0, 0, 100, 20, "3D: 20 %"},
    {"depth keeps its value at no distance", tcbDepth, false, mbLeft, 300, 400,
     {{330, 440, ssCtrl}, {300, 400, kNone}},
     345, 345, 0, 15, true, 0, 0, 100, 10, "3D: 10 %"},
    {"depth stops at 100", tcbDepth, false, mbLeft, 300, 400, {{900, 1200, ssShift}},
     345, 345, 0, 15, true, 0, 0, 100, 100, "3D: 100 %"},
};
// clang-format on

TEST(PlotToolbarDrag, TurnsMovesIntoTheChartsSettings) {
    for (const DragCase& drag : kDrags) {
        SCOPED_TRACE(drag.name);
        Rig rig;
        rig.toolbar.SetFullRotation(drag.full_rotation);
        rig.toolbar.ClickButton(drag.mode);
        rig.Down(drag.x0, drag.y0, drag.button);
        EXPECT_TRUE(rig.chart.CancelMouse());
        for (const Step& step : drag.moves) {
            rig.Move(step.x, step.y, drag.button, step.keys);
        }
        const TPlotView3DOptions& o = rig.chart.View3DOptions();
        EXPECT_DOUBLE_EQ(o.Rotation, drag.rotation);
        EXPECT_DOUBLE_EQ(o.Elevation, drag.elevation);
        EXPECT_EQ(o.Tilt, drag.tilt);
        EXPECT_EQ(o.Perspective, drag.perspective);
        EXPECT_EQ(o.Orthogonal, drag.orthogonal);
        EXPECT_EQ(o.HorizOffset, drag.horiz);
        EXPECT_EQ(o.VertOffset, drag.vert);
        EXPECT_DOUBLE_EQ(o.Zoom, drag.zoom);
        EXPECT_EQ(rig.chart.Chart3DPercent(), drag.depth);
        EXPECT_EQ(rig.Label(), drag.label);
        EXPECT_TRUE(rig.chart.View3D());
        EXPECT_TRUE(rig.toolbar.Button3D()->Down);
        EXPECT_TRUE(rig.chart.MouseCapture());

        const int invalidates = rig.invalidates;
        rig.Up(0, 0, drag.button);
        EXPECT_FALSE(rig.chart.MouseCapture());
        EXPECT_EQ(rig.captures, (std::vector<bool>{true, false}));
        EXPECT_GT(rig.invalidates, invalidates);
        EXPECT_FALSE(rig.toolbar.Dragging());
        // Hovering afterwards changes nothing.
        const TPlotView3DOptions after = rig.chart.View3DOptions();
        rig.chart.MouseMove({}, 10, 10);
        EXPECT_EQ(rig.chart.View3DOptions(), after);
    }
}

TEST(PlotToolbarDrag, NormalModeWithoutPieDoesNothing) {
    Rig rig;
    rig.Down(300, 400);
    EXPECT_FALSE(rig.chart.CancelMouse()); // the chart's own handling is not taken away
    rig.Move(400, 300);
    rig.Up(400, 300);
    EXPECT_FALSE(rig.chart.View3D());
    EXPECT_EQ(rig.chart.View3DOptions(), TPlotView3DOptions{});
    EXPECT_TRUE(rig.captures.empty());
    EXPECT_EQ(rig.Label(), "");
    EXPECT_EQ(rig.invalidates, 0);
}

TEST(PlotToolbarDrag, MouseUpRepaintsOnlyWithInertia) {
    Rig rig;
    rig.toolbar.SetRotateInertia(0);
    rig.toolbar.ClickButton(tcbRotate);
    rig.Down(300, 400);
    rig.Move(340, 360);
    const int invalidates = rig.invalidates;
    rig.Up(340, 360);
    EXPECT_EQ(rig.invalidates, invalidates);
    EXPECT_EQ(rig.captures, (std::vector<bool>{true, false}));

    // A mouse-up with no drag neither releases nor repaints.
    rig.Up(1, 1);
    EXPECT_EQ(rig.captures.size(), 2u);
    EXPECT_EQ(rig.invalidates, invalidates);
}

TEST(PlotToolbarDrag, ADragEndsWhenTheButtonIsNoLongerHeldOrTheCaptureIsLost) {
    Rig rig;
    rig.toolbar.ClickButton(tcbRotate);
    rig.Down(300, 400);
    rig.Move(340, 360);
    const TPlotView3DOptions during = rig.chart.View3DOptions();
    // The mouse-up went to an error box: the next move comes with no button held.
    rig.chart.MouseMove({}, 500, 100);
    EXPECT_FALSE(rig.toolbar.Dragging());
    EXPECT_FALSE(rig.chart.MouseCapture());
    EXPECT_EQ(rig.chart.View3DOptions(), during);
    rig.Move(600, 0); // a button held again, but no mouse-down started a drag
    EXPECT_EQ(rig.chart.View3DOptions(), during);

    rig.Down(300, 400);
    EXPECT_TRUE(rig.chart.MouseCapture());
    rig.chart.MouseCaptureLost();
    EXPECT_FALSE(rig.toolbar.Dragging());
    rig.Move(340, 360);
    EXPECT_EQ(rig.chart.View3DOptions(), during);
    EXPECT_EQ(rig.captures, (std::vector<bool>{true, false, true}));
}

TEST(PlotToolbarDrag, MovesDuringAnOperationAreNotDrags) {
    Rig rig;
    rig.toolbar.ClickButton(tcbMove);
    int nested = 0;
    // Something run by the chart's change (a repaint that processes input, say) delivers
    // another move while the step is still running.
    rig.chart.OnView3DChanged = [&] {
        if (nested++ == 0) {
            rig.chart.MouseMove(ssLeft, 1000, 1000);
        }
    };
    rig.Down(300, 400);
    rig.Move(310, 400);
    EXPECT_EQ(rig.chart.View3DOptions().HorizOffset, 10);
    EXPECT_EQ(rig.chart.View3DOptions().VertOffset, 0);
    EXPECT_TRUE(rig.toolbar.Dragging());
}

TEST(PlotToolbarDrag, BadInputLeavesNothingCapturedAndSettingsInRange) {
    for (const auto& [width, height] : {std::pair{0, 0}, std::pair{1, 1}, std::pair{600, 800}}) {
        SCOPED_TRACE(width);
        for (TPlotToolbarControls mode : {tcbRotate, tcbMove, tcbZoom, tcbDepth}) {
            for (bool full : {false, true}) {
                Rig rig(width, height);
                rig.toolbar.SetFullRotation(full);
                rig.toolbar.ClickButton(mode);
                rig.Up(5, 5); // a mouse-up without a mouse-down
                rig.Down(0, 0);
                rig.Down(1, 1, mbRight); // both buttons
                for (int i = 0; i < 50; ++i) {
                    const int32_t far = i % 2 == 0 ? 2000000000 : -2000000000;
                    rig.Move(far, -far, i % 3 == 0 ? mbLeft : mbRight,
                             i % 4 == 0 ? TShiftState(ssShift) : TShiftState(ssCtrl));
                }
                for (int i = 0; i < 20; ++i) {
                    rig.Move(0, 0 - i * 1000);
                }
                const TPlotView3DOptions& o = rig.chart.View3DOptions();
                for (double angle : {o.Rotation, o.Elevation, double(o.Tilt)}) {
                    EXPECT_TRUE(std::isfinite(angle));
                    EXPECT_GE(angle, 0);
                    EXPECT_LE(angle, 360);
                }
                if (!full) {
                    EXPECT_GE(o.Elevation, 270);
                }
                EXPECT_TRUE(std::isfinite(o.Zoom));
                EXPECT_GE(o.Zoom, 1);
                EXPECT_GE(rig.chart.Chart3DPercent(), 0);
                EXPECT_LE(rig.chart.Chart3DPercent(), 100);
                rig.Up(0, 0, mbRight);
                rig.Up(0, 0, mbLeft);
                EXPECT_FALSE(rig.chart.MouseCapture());
                EXPECT_FALSE(rig.toolbar.Dragging());
            }
        }
    }
}

TEST(PlotToolbarDrag, CollapsedChartGivesFiniteSteps) {
    // A chart of no size turns as one of a single pixel: 90 degrees a pixel.
    Rig empty(0, 0);
    empty.toolbar.ClickButton(tcbRotate);
    empty.Down(0, 0);
    empty.Move(1, 0);
    EXPECT_DOUBLE_EQ(empty.chart.View3DOptions().Rotation, 75);
    EXPECT_EQ(empty.Label(), "Rotation: 75\u00B0 Elevation: 345\u00B0");

    // Zooming in without end on a 1-pixel plot area: huge, never infinite.
    Rig tiny(1, 1);
    tiny.toolbar.ClickButton(tcbZoom);
    tiny.Down(0, 0);
    double last = tiny.chart.View3DOptions().Zoom;
    for (int i = 1; i <= 100; ++i) {
        tiny.Move(0, -1000000 * i);
        const double zoom = tiny.chart.View3DOptions().Zoom;
        ASSERT_TRUE(std::isfinite(zoom)) << i;
        EXPECT_GE(zoom, last);
        last = zoom;
    }
    EXPECT_EQ(last, std::numeric_limits<double>::max());
    EXPECT_EQ(tiny.Label(), "Zoom: 9223372036854775807 %");
    tiny.Move(0, 0); // and all the way back to the floor
    EXPECT_EQ(tiny.chart.View3DOptions().Zoom, 1);
}

TEST(PlotToolbarDrag, ChartOrToolbarDestroyedDuringADrag) {
    std::vector<bool> captures;
    auto chart = std::make_unique<TPlot>();
    chart->OnMouseCaptureChanged = [&](bool on) { captures.push_back(on); };
    TPlotToolbar toolbar;
    toolbar.SetPanel(chart.get());
    toolbar.ClickButton(tcbRotate);
    chart->MouseDown(mbLeft, ssLeft, 10, 10);
    chart.reset();
    EXPECT_EQ(captures, (std::vector<bool>{true, false}));
    EXPECT_EQ(toolbar.Panel(), nullptr);
    EXPECT_FALSE(toolbar.Dragging());

    TPlot other;
    other.OnMouseCaptureChanged = [&](bool on) { captures.push_back(on); };
    {
        TPlotToolbar gone;
        gone.SetPanel(&other);
        gone.ClickButton(tcbMove);
        other.MouseDown(mbLeft, ssLeft, 10, 10);
    }
    EXPECT_FALSE(other.MouseCapture());
    // No listener left behind: these reach nothing.
    other.MouseMove(ssLeft, 50, 50);
    other.MouseUp(mbLeft, {}, 50, 50);
    other.SetView3D(true);
    EXPECT_EQ(other.View3DOptions(), TPlotView3DOptions{});
}

// A pie as a series class would provide it: one slice per 90 degrees of a circle around
// (100, 100), radius 50.
class TestPie : public TPlotSeries, public IPlotPieSeries {
public:
    int32_t Clicked(int32_t x, int32_t y) const override {
        const double dx = x - 100.0;
        const double dy = y - 100.0;
        if (std::hypot(dx, dy) > 50) {
            return -1;
        }
        return static_cast<int32_t>(
                   std::floor((std::atan2(dy, dx) + std::numbers::pi) / (std::numbers::pi / 2))) %
               4;
    }
    int32_t ExplodedSlice(int32_t index) const override { return exploded[index]; }
    void SetExplodedSlice(int32_t index, int32_t percent) override { exploded[index] = percent; }
    int32_t RotationAngle() const override { return angle; }
    void SetRotationAngle(int32_t degrees) override { angle = degrees; }
    double CircleDiagonal() const override { return 100 * std::sqrt(2.0); }

    int32_t exploded[4] = {};
    int32_t angle = 0;
};

TEST(PlotToolbarDrag, PieSlicesExplodeAndPiesTurn) {
    Rig rig;
    TestPie pie;
    pie.SetParentChart(&rig.chart);
    rig.toolbar.ClickButton(tcbNormal);
    EXPECT_EQ(rig.Label(), "Drag a Pie Slice to Explode it");

    const int32_t slice = pie.Clicked(130, 110);
    rig.Down(130, 110);
    EXPECT_TRUE(rig.chart.MouseCapture());
    rig.Move(130 + 60, 110 + 80); // 100 pixels out of a 141-pixel diagonal
    EXPECT_EQ(pie.exploded[slice], 71);
    EXPECT_EQ(rig.Label(), "Slice: " + std::to_string(slice) + " Exploded: 71 %");
    EXPECT_FALSE(rig.chart.View3D());
    rig.Up(0, 0);
    EXPECT_FALSE(rig.chart.MouseCapture());

    // Rotating turns the pie, not the chart, and looks at it straight.
    rig.toolbar.ClickButton(tcbRotate);
    rig.Down(300, 400);
    rig.Move(340, 400);
    EXPECT_EQ(pie.angle, 6);
    EXPECT_EQ(rig.chart.View3DOptions().Rotation, 360);
    EXPECT_EQ(rig.chart.View3DOptions().Perspective, 0);
    rig.Up(0, 0);

    rig.toolbar.SetEnablePieExploding(false);
    rig.toolbar.ClickButton(tcbNormal);
    EXPECT_EQ(rig.Label(), "Drag Left button to Zoom, Right button to Scroll");
    pie.SetParentChart(nullptr);
}

TEST(PlotToolbar, WrapAngleKeepsWholeTurnsOut) {
    const std::pair<double, double> cases[] = {
        {0, 0},    {360, 360}, {361, 1},    {720, 360},          {1000, 280},
        {-1, 359}, {-360, 0},  {-370, 350}, {3.6e11 + 345, 345},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_DOUBLE_EQ(WrapAngle(in), out) << in;
    }
}

} // namespace
} // namespace chart
