// The chart toolbar: a strip of flat buttons bound to one chart (Panel). Five mode buttons
// decide what a mouse drag on the chart does (nothing of the toolbar's own, rotate, move,
// zoom, change the 3D depth); a toggle switches the chart between 2D and 3D; four action
// buttons hand the chart to IPlotToolbarActions (editor, print preview, copy, save); a label
// says what a drag will do and, during a drag, shows the values being changed.
//
// Contract:
// - User-interface thread only; no locks.
// - The toolbar decides, a view shows: the controls are plain records (TPlotToolbarControl)
//   that the toolbar owns and changes; the view (IPlotToolbarView, the Qt strip) is told
//   when to rebuild its widgets and when to show the records again, and forwards clicks
//   (ClickButton).
// - Panel, ChartEditor and Previewer are not owned. Each is watched by free notification:
//   when it is destroyed the property becomes none. The toolbar listens to the chart's mouse
//   and 3D-view events while attached, and removes itself on detach and on destruction.
// - A drag lasts from a mouse-down that starts one until the mouse-up, a move with no mouse
//   button held, or the chart losing the mouse capture, whichever comes first; the capture
//   the toolbar asked for is released at that moment.
#pragma once

#include "base/colors.h"
#include "base/component.h"
#include "chart/canvas.h"
#include "chart/graphics.h"
#include "chart/plot.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace chart {

class TPlotSeries;

enum TPlotToolbarControls : uint8_t {
    tcbNormal,
    tcbSeparator,
    tcbRotate,
    tcbMove,
    tcbZoom,
    tcbDepth,
    tcbEdit,
    tcbPrintPreview,
    tcbCopy,
    tcbSave,
    tcbLabel,
    tcb3D,
};

// A series drawn as a pie, as the toolbar sees it. The chart engine has no pie series yet;
// a series class that draws one also derives from this interface, and the toolbar finds it
// in the chart's series list.
class IPlotPieSeries {
public:
    // Index of the slice under the chart pixel, or -1.
    [[nodiscard]] virtual int32_t Clicked(int32_t x, int32_t y) const = 0;
    [[nodiscard]] virtual int32_t ExplodedSlice(int32_t index) const = 0;
    virtual void SetExplodedSlice(int32_t index, int32_t percent) = 0;
    [[nodiscard]] virtual int32_t RotationAngle() const = 0;
    virtual void SetRotationAngle(int32_t degrees) = 0;
    // Diagonal of the rectangle around the pie's circle, in pixels.
    [[nodiscard]] virtual double CircleDiagonal() const = 0;

protected:
    ~IPlotPieSeries() = default;
};

// What the action buttons do with the chart: the chart editor, print preview, copy to the
// clipboard, save or export. Unset, the buttons do nothing.
class IPlotToolbarActions {
public:
    virtual ~IPlotToolbarActions() = default;
    // Opens the chart editor; true when the chart was edited through it.
    virtual bool Edit(TPlot& chart) = 0;
    virtual void Print(TPlot& chart) = 0;
    virtual void Copy(TPlot& chart) = 0;
    virtual void Save(TPlot& chart) = 0;
};

// A component placed beside the toolbar that the Edit or Print button runs in place of the
// built-in dialog.
class TPlotDialogComponent : public base::TComponent {
public:
    explicit TPlotDialogComponent(base::TComponent* owner = nullptr) : base::TComponent(owner) {}
    virtual void Execute() = 0;
};

// One control of the strip: a button, a separator or the label. Bounds are pixels of the
// toolbar's client area.
struct TPlotToolbarControl {
    TPlotToolbarControls Kind = tcbNormal;
    TRect Bounds;
    bool Visible = true;
    bool Enabled = true;
    bool Down = false;
    // Buttons: 0 never stays down, 1 one of the group is down, 2 toggles.
    int32_t GroupIndex = 0;
    bool AllowAllUp = false;
    std::string Hint;    // buttons: tooltip and accessible name
    std::string Glyph;   // buttons: the picture's resource name
    std::string Caption; // the label's text
    TPlotFont Font;      // the label's font
    bool Transparent = false;
};

// The widgets that show the controls.
class IPlotToolbarView {
public:
    // The list of controls was replaced: rebuild the widgets from it.
    virtual void ControlsCreated() = 0;
    // States, places, texts or the toolbar's own settings changed: show them.
    virtual void ControlsChanged() = 0;
    // Show the label's text now rather than at the next paint (during a drag).
    virtual void RepaintLabel() = 0;

protected:
    ~IPlotToolbarView() = default;
};

// The panel part: the chart served, orientation, background gradient, drag flag.
class TCustomPlotToolbar : public base::TComponent, private IPlotListener {
public:
    static constexpr int32_t kDefaultWidth = 400;
    static constexpr int32_t kDefaultHeight = 33;

    explicit TCustomPlotToolbar(base::TComponent* owner = nullptr);
    ~TCustomPlotToolbar() override;

    TPlot* Panel() const { return FPanel; }
    void SetPanel(TPlot* value);
    bool Vertical() const { return FVertical; }
    void SetVertical(bool value);
    bool ShowHint() const { return show_hint_; }
    void SetShowHint(bool value);

    // Client size; the controls' cross-axis extents follow it.
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    void SetSize(int32_t width, int32_t height);

    // The parent control, for the rule that a toolbar loaded without a Panel takes its
    // parent chart (or the first chart the parent owns). Not owned.
    base::TComponent* Parent() const { return parent_; }
    void SetParent(base::TComponent* value) { parent_ = value; }

    // The background gradient, created on first use; painted when visible.
    TPlotGradient& Gradient();
    const TPlotGradient* GradientOrNull() const { return FGradient.get(); }
    // The raised bevel around the strip; its width insets the gradient.
    bool BevelOuter() const { return bevel_outer_; }
    int32_t BevelWidth() const { return bevel_width_; }

    void SetView(IPlotToolbarView* view) { view_ = view; }

    std::function<void()> OnMouseEnter;
    std::function<void()> OnMouseLeave;

    void Loaded() override;

    // Enables or disables the buttons for the chart served.
    virtual void ShowHideControls() {}

protected:
    void Notification(base::TComponent& component) override;
    // Moves the controls for the orientation.
    virtual void RelayoutControls() {}
    // The chart's mouse, as seen by the toolbar. DoMouseUp also ends a drag that lost its
    // mouse-up, and one under way when the chart is detached.
    virtual void DoMouseDown(TMouseButton, TShiftState, int32_t, int32_t) {}
    virtual void DoMouseMove(TShiftState, int32_t, int32_t) {}
    virtual void DoMouseUp();
    void NotifyCreated();
    void NotifyChanged();
    void NotifyRepaintLabel();

    std::unique_ptr<TPlotGradient> FGradient;
    TMouseButton FMouseButton = mbLeft; // of the last mouse-down on the chart
    TPlot* FPanel = nullptr;
    bool FVertical = false;
    bool FDragging = false;

private:
    void PlotMouseDown(TPlot& chart, TMouseButton button, TShiftState shift, int32_t x,
                       int32_t y) override;
    void PlotMouseMove(TPlot& chart, TShiftState shift, int32_t x, int32_t y) override;
    void PlotMouseUp(TPlot& chart, TMouseButton button, TShiftState shift, int32_t x,
                     int32_t y) override;
    void PlotMouseCaptureLost(TPlot& chart) override;
    void PlotView3DChanged(TPlot& chart) override;

    IPlotToolbarView* view_ = nullptr; // not owned
    base::TComponent* parent_ = nullptr;
    int32_t width_ = kDefaultWidth;
    int32_t height_ = kDefaultHeight;
    bool show_hint_ = true;
    bool bevel_outer_ = true;
    int32_t bevel_width_ = 1;
};

class TPlotToolbar : public TCustomPlotToolbar {
public:
    using TPlotEditedEvent = std::function<void(TPlotToolbar& sender, TPlot& chart)>;
    using TPlotToolbarSetLabelEvent = std::function<void(TPlotToolbar& sender, std::string& text)>;

    // Positions along the strip: the first control's, and the advance after a separator and
    // after any other control.
    static constexpr int32_t kFirstPosition = 4;
    static constexpr int32_t kSeparatorAdvance = 6;
    static constexpr int32_t kControlAdvance = 29;
    static constexpr int32_t kButtonSize = 25;
    static constexpr int32_t kButtonTop = 4;
    static constexpr int32_t kLabelTop = 12;
    static constexpr base::TColor kLabelColor = 0x800000; // navy
    static const std::vector<TPlotToolbarControls>& DefaultControls();

    explicit TPlotToolbar(base::TComponent* owner = nullptr);
    ~TPlotToolbar() override;

    // Removes the owned controls and creates the given ones, in order along the strip.
    void CreateControls(const std::vector<TPlotToolbarControls>& controls);
    const std::vector<std::unique_ptr<TPlotToolbarControl>>& Controls() const { return controls_; }

    TPlotToolbarControl* ButtonNormal() const { return FButtonNormal; }
    TPlotToolbarControl* ButtonRotate() const { return FButtonRotate; }
    TPlotToolbarControl* ButtonMove() const { return FButtonMove; }
    TPlotToolbarControl* ButtonZoom() const { return FButtonZoom; }
    TPlotToolbarControl* ButtonDepth() const { return FButtonDepth; }
    TPlotToolbarControl* Button3D() const { return FButton3D; }
    TPlotToolbarControl* ButtonEdit() const { return FButtonEdit; }
    TPlotToolbarControl* ButtonPrint() const { return FButtonPrint; }
    TPlotToolbarControl* ButtonCopy() const { return FButtonCopy; }
    TPlotToolbarControl* ButtonSave() const { return FButtonSave; }
    TPlotToolbarControl* LabelText() const { return FLabel; }
    // The button of a kind, or nullptr.
    [[nodiscard]] TPlotToolbarControl* Button(TPlotToolbarControls kind) const;

    // A click on a button (from the view or a program): the group rule, then its action.
    // A disabled or absent button does nothing.
    void ClickButton(TPlotToolbarControls kind);

    // The mode: the first of Normal, Rotate, Move, Zoom, Depth that is down, tcbNormal when
    // none. Writing presses that button without running its click; other values are
    // ignored.
    [[nodiscard]] TPlotToolbarControls DefaultButton() const;
    void SetDefaultButton(TPlotToolbarControls value);

    // Passes the text to OnSetLabel, then shows it in the label, or hides the label when
    // LabelValues is off or the toolbar is vertical.
    void SetLabelCaption(std::string text);

    bool FullRotation() const { return FAllowFull; }
    void SetFullRotation(bool value) { FAllowFull = value; }
    bool EnablePieExploding() const { return FEnablePieExp; }
    void SetEnablePieExploding(bool value) { FEnablePieExp = value; }
    bool LabelValues() const { return FLabelValues; }
    void SetLabelValues(bool value) { FLabelValues = value; }
    int32_t RotateInertia() const { return FInertia; }
    void SetRotateInertia(int32_t value) { FInertia = value; }
    TPlotDialogComponent* ChartEditor() const { return FEditor; }
    void SetChartEditor(TPlotDialogComponent* value);
    TPlotDialogComponent* Previewer() const { return FPreviewer; }
    void SetPreviewer(TPlotDialogComponent* value);
    // Not owned; nullptr (the default) leaves the action buttons doing nothing.
    void SetActions(IPlotToolbarActions* actions) { actions_ = actions; }

    // A drag started by a mouse-down is under way.
    bool Dragging() const { return FDragging; }

    TPlotEditedEvent OnEditedChart;
    TPlotToolbarSetLabelEvent OnSetLabel;

    void ShowHideControls() override;

    // The label's texts; %s is "Chart" for a chart with axes, otherwise "Panel".
    [[nodiscard]] std::string ModeText(TPlotToolbarControls mode) const;

protected:
    void Notification(base::TComponent& component) override;
    void RelayoutControls() override;
    void DoMouseDown(TMouseButton button, TShiftState shift, int32_t x, int32_t y) override;
    void DoMouseMove(TShiftState shift, int32_t x, int32_t y) override;
    void DoMouseUp() override;

private:
    enum class Operation : uint8_t { None, ExplodeSlice, Rotate, Move, Zoom, Depth };

    TPlotToolbarControl** ButtonField(TPlotToolbarControls kind);
    void RemoveControls();
    [[nodiscard]] bool ChartWithAxes() const;
    [[nodiscard]] IPlotPieSeries* ActivePieSeries() const;
    [[nodiscard]] IPlotPieSeries* GetPieSeries(int32_t x, int32_t y) const;
    [[nodiscard]] bool FullRotationAllowed() const;
    [[nodiscard]] Operation ChooseOperation(TShiftState shift) const;
    [[nodiscard]] std::string LabelValuesText() const;
    void MakeChart3D();
    void DoRotate(TShiftState shift, int32_t x, int32_t y);
    void DoMove(int32_t x, int32_t y);
    void DoZoom(int32_t y);
    void DoDepth(int32_t x, int32_t y);
    void DoExplode(int32_t x, int32_t y);
    void RunClick(TPlotToolbarControl& button);

    bool FAllowFull = false;
    TPlotToolbarControl* FButtonCopy = nullptr;
    TPlotToolbarControl* FButtonDepth = nullptr;
    TPlotToolbarControl* FButtonEdit = nullptr;
    TPlotToolbarControl* FButtonMove = nullptr;
    TPlotToolbarControl* FButtonNormal = nullptr;
    TPlotToolbarControl* FButtonPrint = nullptr;
    TPlotToolbarControl* FButtonRotate = nullptr;
    TPlotToolbarControl* FButtonSave = nullptr;
    TPlotToolbarControl* FButtonZoom = nullptr;
    TPlotToolbarControl* FButton3D = nullptr;
    TPlotDialogComponent* FEditor = nullptr;
    TPlotDialogComponent* FPreviewer = nullptr;
    bool FEnablePieExp = true;
    TPlotToolbarControl* FLabel = nullptr;
    bool FLabelValues = true;
    int32_t FDraggingIndex = -1;
    int32_t FInertia = 3;
    int32_t FOldX = 0;
    int32_t FOldY = 0;
    double IDifX = 0;
    double IDifY = 0;
    TShiftState IShift;
    IPlotPieSeries* IPieSeries = nullptr;
    bool IRotating = false;
    bool FAllowRotationX = true;
    bool FAllowRotationY = true;

    bool in_operation_ = false; // a drag step is running: moves meanwhile are not drags
    std::vector<std::unique_ptr<TPlotToolbarControl>> controls_; // along the strip
    IPlotToolbarActions* actions_ = nullptr;                     // not owned
};

// Brings an angle into 0 to 360 the way a drag does: above 360 loses whole turns, below 0
// gains them, so 360 stays 360 and 0 stays 0 (720 gives 360, -360 gives 0). Not a number
// gives 0.
[[nodiscard]] double WrapAngle(double degrees);

} // namespace chart
