#include "chart/plot_toolbar.h"

#include "base/conversions.h"
#include "chart/series.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace chart {

namespace {

// %s of the mode texts.
std::string ModeSubject(bool chart_with_axes) {
    return chart_with_axes ? "Chart" : "Panel";
}

int32_t SaturatedAdd(int32_t a, int64_t b) {
    return static_cast<int32_t>(std::clamp<int64_t>(
        int64_t{a} + b, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// A size used as a divisor: a chart laid out at 0 pixels counts as 1, so a drag over a
// collapsed chart gives large but finite steps.
double Divisor(double size) {
    return std::isfinite(size) && size >= 1 ? size : 1;
}

std::string IntText(int64_t value) {
    return std::to_string(value);
}

// Mode buttons in the order DefaultButton reads them.
constexpr TPlotToolbarControls kModes[] = {tcbNormal, tcbRotate, tcbMove, tcbZoom, tcbDepth};

struct ButtonSetting {
    TPlotToolbarControls Kind;
    const char* Hint;
    int32_t Group;
    const char* Glyph;
};

constexpr ButtonSetting kButtons[] = {
    {tcbNormal, "Normal", 1, "GlyphNormal"}, {tcbRotate, "Rotate", 1, "GlyphRotate"},
    {tcbMove, "Move", 1, "GlyphMove"},       {tcbZoom, "Zoom", 1, "GlyphZoom"},
    {tcbDepth, "Depth", 1, "GlyphDepth"},    {tcb3D, "3D", 2, "GlyphView3D"},
    {tcbEdit, "Edit", 0, "GlyphEdit"},       {tcbPrintPreview, "Print", 0, "GlyphPrint"},
    {tcbCopy, "Copy", 0, "GlyphCopy"},       {tcbSave, "Save", 0, "GlyphSave"},
};

const ButtonSetting* FindButtonSetting(TPlotToolbarControls kind) {
    for (const ButtonSetting& setting : kButtons) {
        if (setting.Kind == kind) {
            return &setting;
        }
    }
    return nullptr;
}

} // namespace

double WrapAngle(double degrees) {
    if (!std::isfinite(degrees)) {
        return 0;
    }
    // fmod is exact, so no turn is lost or gained however far the drag went.
    if (degrees > 360) {
        const double rest = std::fmod(degrees, 360);
        return rest == 0 ? 360 : rest;
    }
    if (degrees < 0) {
        const double rest = std::fmod(degrees, 360);
        return rest < 0 ? rest + 360 : 0;
    }
    return degrees;
}

// --- TCustomPlotToolbar ---

TCustomPlotToolbar::TCustomPlotToolbar(base::TComponent* owner) : base::TComponent(owner) {}

TCustomPlotToolbar::~TCustomPlotToolbar() {
    MarkDestroying();
    SetPanel(nullptr);
}

void TCustomPlotToolbar::SetPanel(TPlot* value) {
    if (value == FPanel) {
        return;
    }
    if (FPanel != nullptr) {
        if (FDragging) {
            DoMouseUp(); // the old chart gives back the capture the drag took
        }
        FPanel->RemoveListener(*this);
        FPanel->RemoveFreeNotification(*this);
    }
    FPanel = value;
    if (FPanel != nullptr) {
        FPanel->AddListener(*this);
        FPanel->FreeNotification(*this);
    }
    if (!Destroying()) {
        ShowHideControls();
    }
}

void TCustomPlotToolbar::SetVertical(bool value) {
    if (FVertical == value) {
        return;
    }
    FVertical = value;
    RelayoutControls();
}

void TCustomPlotToolbar::SetShowHint(bool value) {
    if (show_hint_ != value) {
        show_hint_ = value;
        NotifyChanged();
    }
}

void TCustomPlotToolbar::SetSize(int32_t width, int32_t height) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
}

TPlotGradient& TCustomPlotToolbar::Gradient() {
    if (!FGradient) {
        FGradient = std::make_unique<TPlotGradient>();
    }
    return *FGradient;
}

void TCustomPlotToolbar::Loaded() {
    base::TComponent::Loaded();
    if (FPanel == nullptr && parent_ != nullptr) {
        if (auto* chart = dynamic_cast<TPlot*>(parent_)) {
            SetPanel(chart);
        } else {
            for (size_t i = 0; i < parent_->ComponentCount(); ++i) {
                if (auto* owned = dynamic_cast<TPlot*>(parent_->Components(i))) {
                    SetPanel(owned);
                    break;
                }
            }
        }
    }
    ShowHideControls();
}

void TCustomPlotToolbar::Notification(base::TComponent& component) {
    if (&component == FPanel) {
        SetPanel(nullptr);
    }
}

void TCustomPlotToolbar::DoMouseUp() {
    if (FDragging && FPanel != nullptr) {
        FPanel->SetMouseCapture(false);
    }
    FDragging = false;
}

void TCustomPlotToolbar::NotifyCreated() {
    if (view_ != nullptr && !Destroying()) {
        view_->ControlsCreated();
    }
}

void TCustomPlotToolbar::NotifyChanged() {
    if (view_ != nullptr && !Destroying()) {
        view_->ControlsChanged();
    }
}

void TCustomPlotToolbar::NotifyRepaintLabel() {
    if (view_ != nullptr && !Destroying()) {
        view_->RepaintLabel();
    }
}

void TCustomPlotToolbar::PlotMouseDown(TPlot&, TMouseButton button, TShiftState shift, int32_t x,
                                       int32_t y) {
    DoMouseDown(button, shift, x, y);
}

void TCustomPlotToolbar::PlotMouseMove(TPlot&, TShiftState shift, int32_t x, int32_t y) {
    DoMouseMove(shift, x, y);
}

void TCustomPlotToolbar::PlotMouseUp(TPlot&, TMouseButton, TShiftState, int32_t, int32_t) {
    DoMouseUp();
}

void TCustomPlotToolbar::PlotMouseCaptureLost(TPlot&) {
    if (FDragging) {
        DoMouseUp();
    }
}

void TCustomPlotToolbar::PlotView3DChanged(TPlot&) {
    ShowHideControls();
}

// --- TPlotToolbar ---

const std::vector<TPlotToolbarControls>& TPlotToolbar::DefaultControls() {
    static const std::vector<TPlotToolbarControls> kDefault = {
        tcbNormal,    tcbSeparator, tcbRotate,       tcbMove, tcbZoom, tcbDepth, tcb3D,
        tcbSeparator, tcbEdit,      tcbPrintPreview, tcbCopy, tcbSave, tcbLabel,
    };
    return kDefault;
}

TPlotToolbar::TPlotToolbar(base::TComponent* owner) : TCustomPlotToolbar(owner) {
    CreateControls(DefaultControls());
}

TPlotToolbar::~TPlotToolbar() {
    MarkDestroying();
    SetPanel(nullptr);
}

TPlotToolbarControl** TPlotToolbar::ButtonField(TPlotToolbarControls kind) {
    switch (kind) {
    case tcbNormal:
        return &FButtonNormal;
    case tcbRotate:
        return &FButtonRotate;
    case tcbMove:
        return &FButtonMove;
    case tcbZoom:
        return &FButtonZoom;
    case tcbDepth:
        return &FButtonDepth;
    case tcb3D:
        return &FButton3D;
    case tcbEdit:
        return &FButtonEdit;
    case tcbPrintPreview:
        return &FButtonPrint;
    case tcbCopy:
        return &FButtonCopy;
    case tcbSave:
        return &FButtonSave;
    case tcbLabel:
        return &FLabel;
    default:
        return nullptr; // separators have no field
    }
}

TPlotToolbarControl* TPlotToolbar::Button(TPlotToolbarControls kind) const {
    if (kind == tcbLabel) {
        return nullptr;
    }
    TPlotToolbarControl** field = const_cast<TPlotToolbar*>(this)->ButtonField(kind);
    return field != nullptr ? *field : nullptr;
}

void TPlotToolbar::RemoveControls() {
    for (TPlotToolbarControls kind : {tcbNormal, tcbRotate, tcbMove, tcbZoom, tcbDepth, tcb3D,
                                      tcbEdit, tcbPrintPreview, tcbCopy, tcbSave, tcbLabel}) {
        *ButtonField(kind) = nullptr;
    }
    controls_.clear();
}

void TPlotToolbar::CreateControls(const std::vector<TPlotToolbarControls>& controls) {
    RemoveControls();
    int32_t position = kFirstPosition;
    for (TPlotToolbarControls kind : controls) {
        auto control = std::make_unique<TPlotToolbarControl>();
        control->Kind = kind;
        if (kind == tcbSeparator) {
            // A 2-pixel line across the strip, 2 pixels in from its edges.
            control->Bounds = FVertical ? TRect{2, position, Width() - 2, position + 2}
                                        : TRect{position, 2, position + 2, Height() - 2};
            position += kSeparatorAdvance;
        } else if (kind == tcbLabel) {
            // The label sizes itself to its text; Bounds give its top-left corner.
            control->Bounds = FVertical ? TRect{4, position, 4, position}
                                        : TRect{position, kLabelTop, position, kLabelTop};
            control->Font = TPlotFont{}; // the chart's default font
            control->Font.Color = kLabelColor;
            control->Transparent = true;
            position += kControlAdvance;
        } else {
            const ButtonSetting* setting = FindButtonSetting(kind);
            if (setting == nullptr) {
                continue;
            }
            const int32_t left = FVertical ? kButtonTop : position;
            const int32_t top = FVertical ? position : kButtonTop;
            control->Bounds = TRect{left, top, left + kButtonSize, top + kButtonSize};
            control->Hint = setting->Hint;
            control->Glyph = setting->Glyph;
            control->GroupIndex = setting->Group;
            control->AllowAllUp = setting->Group == 2;
            position += kControlAdvance;
        }
        // With a kind listed twice, the first one is the toolbar's.
        TPlotToolbarControl** field = ButtonField(kind);
        if (field != nullptr && *field == nullptr) {
            *field = control.get();
        }
        controls_.push_back(std::move(control));
    }
    if (FButtonNormal != nullptr) {
        FButtonNormal->Down = true;
    }
    ShowHideControls();
    NotifyCreated();
}

TPlotToolbarControls TPlotToolbar::DefaultButton() const {
    for (TPlotToolbarControls mode : kModes) {
        const TPlotToolbarControl* button = Button(mode);
        if (button != nullptr && button->Down) {
            return mode;
        }
    }
    return tcbNormal;
}

void TPlotToolbar::SetDefaultButton(TPlotToolbarControls value) {
    if (std::find(std::begin(kModes), std::end(kModes), value) == std::end(kModes)) {
        return;
    }
    TPlotToolbarControl* target = Button(value);
    if (target == nullptr) {
        return;
    }
    for (TPlotToolbarControls mode : kModes) {
        if (TPlotToolbarControl* button = Button(mode)) {
            button->Down = button == target;
        }
    }
    NotifyChanged();
}

void TPlotToolbar::ClickButton(TPlotToolbarControls kind) {
    TPlotToolbarControl* button = Button(kind);
    if (button == nullptr || !button->Enabled || !button->Visible) {
        return;
    }
    if (button->GroupIndex == 1) {
        for (const auto& control : controls_) {
            if (control->GroupIndex == 1 && control->Kind != tcbLabel &&
                control->Kind != tcbSeparator) {
                control->Down = control.get() == button;
            }
        }
    } else if (button->GroupIndex == 2) {
        button->Down = !button->Down;
    }
    NotifyChanged();
    RunClick(*button);
}

void TPlotToolbar::RunClick(TPlotToolbarControl& button) {
    switch (button.Kind) {
    case tcbNormal:
        SetLabelCaption(FEnablePieExp && ActivePieSeries() != nullptr
                            ? "Drag a Pie Slice to Explode it"
                            : "Drag Left button to Zoom, Right button to Scroll");
        break;
    case tcbRotate:
    case tcbMove:
    case tcbZoom:
    case tcbDepth:
        SetLabelCaption(ModeText(button.Kind));
        break;
    case tcb3D:
        if (FPanel != nullptr) {
            FPanel->SetView3D(button.Down);
        }
        break;
    case tcbEdit:
        if (FEditor != nullptr) {
            FEditor->Execute();
        } else if (FPanel != nullptr && actions_ != nullptr) {
            const bool edited = actions_->Edit(*FPanel);
            if (edited && OnEditedChart && FPanel != nullptr) {
                OnEditedChart(*this, *FPanel);
            }
        }
        if (FButton3D != nullptr && FPanel != nullptr) {
            FButton3D->Down = FPanel->View3D();
            NotifyChanged();
        }
        break;
    case tcbPrintPreview:
        if (FPreviewer != nullptr) {
            FPreviewer->Execute();
        } else if (FPanel != nullptr && actions_ != nullptr) {
            actions_->Print(*FPanel);
        }
        break;
    case tcbCopy:
        if (FPanel != nullptr && actions_ != nullptr) {
            actions_->Copy(*FPanel);
        }
        break;
    case tcbSave:
        if (ChartWithAxes() && actions_ != nullptr) {
            actions_->Save(*FPanel);
        }
        break;
    default:
        break;
    }
}

std::string TPlotToolbar::ModeText(TPlotToolbarControls mode) const {
    const std::string subject = ModeSubject(ChartWithAxes());
    switch (mode) {
    case tcbRotate:
        return "Drag " + subject + " to Rotate";
    case tcbMove:
        return "Drag " + subject + " to Move";
    case tcbZoom:
        return "Drag " + subject + " to Zoom";
    case tcbDepth:
        return "Drag " + subject + " to resize 3D";
    default:
        return {};
    }
}

void TPlotToolbar::SetLabelCaption(std::string text) {
    if (OnSetLabel) {
        OnSetLabel(*this, text);
    }
    if (FLabel == nullptr) {
        return;
    }
    if (FLabelValues && !FVertical) {
        FLabel->Caption = std::move(text);
        FLabel->Visible = true;
    } else {
        FLabel->Visible = false;
    }
    NotifyChanged();
}

void TPlotToolbar::SetChartEditor(TPlotDialogComponent* value) {
    if (FEditor == value) {
        return;
    }
    if (FEditor != nullptr && FEditor != FPreviewer) {
        RemoveFreeNotification(*FEditor);
    }
    FEditor = value;
    if (FEditor != nullptr) {
        FreeNotification(*FEditor);
    }
}

void TPlotToolbar::SetPreviewer(TPlotDialogComponent* value) {
    if (FPreviewer == value) {
        return;
    }
    if (FPreviewer != nullptr && FPreviewer != FEditor) {
        RemoveFreeNotification(*FPreviewer);
    }
    FPreviewer = value;
    if (FPreviewer != nullptr) {
        FreeNotification(*FPreviewer);
    }
}

void TPlotToolbar::Notification(base::TComponent& component) {
    if (&component == FEditor) {
        FEditor = nullptr;
    }
    if (&component == FPreviewer) {
        FPreviewer = nullptr;
    }
    TCustomPlotToolbar::Notification(component);
}

void TPlotToolbar::ShowHideControls() {
    const bool attached = FPanel != nullptr;
    for (TPlotToolbarControl* button : {FButtonNormal, FButtonRotate, FButtonMove, FButtonZoom,
                                        FButtonCopy, FButtonPrint, FButton3D, FButtonEdit}) {
        if (button != nullptr) {
            button->Enabled = attached;
        }
    }
    for (TPlotToolbarControl* button : {FButtonDepth, FButtonSave}) {
        if (button != nullptr) {
            button->Enabled = ChartWithAxes();
        }
    }
    if (FButton3D != nullptr) {
        FButton3D->Down = attached && FPanel->View3D();
    }
    NotifyChanged();
}

void TPlotToolbar::RelayoutControls() {
    int32_t position = kFirstPosition;
    for (const auto& control : controls_) {
        TRect& r = control->Bounds;
        if (control->Kind == tcbSeparator) {
            r = FVertical ? TRect{4, position, 4 + std::max(Width() - 8, 0), position + 2}
                          : TRect{position, 4, position + 2, 4 + std::max(Height() - 8, 0)};
            position += kSeparatorAdvance;
            continue;
        }
        const int32_t width = r.Width();
        const int32_t height = r.Height();
        const int32_t left = FVertical ? 4 : position;
        const int32_t top = FVertical ? position : 4;
        r = TRect{left, top, left + width, top + height};
        if (control->Kind == tcbLabel && FVertical) {
            control->Visible = false; // a vertical strip has no room for a text
        }
        position += kControlAdvance;
    }
    NotifyChanged();
}

// Every chart of this engine carries axes; a plain panel would not.
bool TPlotToolbar::ChartWithAxes() const {
    return FPanel != nullptr;
}

IPlotPieSeries* TPlotToolbar::ActivePieSeries() const {
    if (FPanel == nullptr) {
        return nullptr;
    }
    for (TPlotSeries* series : FPanel->SeriesList()) {
        if (series->Active()) {
            if (auto* pie = dynamic_cast<IPlotPieSeries*>(series)) {
                return pie;
            }
        }
    }
    return nullptr;
}

IPlotPieSeries* TPlotToolbar::GetPieSeries(int32_t x, int32_t y) const {
    if (!FEnablePieExp || !ChartWithAxes()) {
        return nullptr;
    }
    for (TPlotSeries* series : FPanel->SeriesList()) {
        auto* pie = dynamic_cast<IPlotPieSeries*>(series);
        if (series->Active() && pie != nullptr && pie->Clicked(x, y) != -1) {
            return pie;
        }
    }
    return ActivePieSeries();
}

bool TPlotToolbar::FullRotationAllowed() const {
    return FAllowFull || TPlot::kCanvasSupportsFullRotation;
}

void TPlotToolbar::DoMouseDown(TMouseButton button, TShiftState, int32_t x, int32_t y) {
    if (FPanel == nullptr) {
        return;
    }
    FMouseButton = button;
    const bool normal = DefaultButton() == tcbNormal;
    IPieSeries = normal || !TPlot::kCanvasSupportsFullRotation ? GetPieSeries(x, y) : nullptr;
    if (normal && IPieSeries == nullptr) {
        return;
    }
    FDragging = true;
    FOldX = x;
    FOldY = y;
    FDraggingIndex = IPieSeries != nullptr ? IPieSeries->Clicked(x, y) : -1;
    if (FDraggingIndex != -1 || !normal) {
        FPanel->SetCancelMouse(true);
        FPanel->SetMouseCapture(true);
    }
}

TPlotToolbar::Operation TPlotToolbar::ChooseOperation(TShiftState shift) const {
    const TPlotToolbarControls mode = DefaultButton();
    if (mode == tcbNormal) {
        return FDraggingIndex != -1 && IPieSeries != nullptr ? Operation::ExplodeSlice
                                                             : Operation::None;
    }
    if (FMouseButton == mbRight) {
        return Operation::Move;
    }
    const bool ctrl = shift.Contains(ssCtrl);
    const bool with_shift = shift.Contains(ssShift);
    switch (mode) {
    case tcbRotate:
        return ctrl ? Operation::Zoom : with_shift ? Operation::Move : Operation::Rotate;
    case tcbMove:
        return ctrl ? Operation::Zoom : with_shift ? Operation::Rotate : Operation::Move;
    case tcbZoom:
        return ctrl ? Operation::Rotate : with_shift ? Operation::Move : Operation::Zoom;
    case tcbDepth:
        return ChartWithAxes() ? Operation::Depth : Operation::None;
    default:
        return Operation::None;
    }
}

void TPlotToolbar::DoMouseMove(TShiftState shift, int32_t x, int32_t y) {
    if (!FDragging || in_operation_ || FPanel == nullptr) {
        return;
    }
    // The mouse-up went elsewhere (the grab was lost to a box that opened mid-drag): hovering
    // must not go on turning the chart.
    if (!shift.AnyButton()) {
        DoMouseUp();
        return;
    }
    in_operation_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{in_operation_};
    switch (ChooseOperation(shift)) {
    case Operation::ExplodeSlice:
        DoExplode(x, y);
        break;
    case Operation::Rotate:
        DoRotate(shift, x, y);
        break;
    case Operation::Move:
        DoMove(x, y);
        break;
    case Operation::Zoom:
        DoZoom(y);
        break;
    case Operation::Depth:
        DoDepth(x, y);
        break;
    case Operation::None:
        break;
    }
    if (FLabelValues && !FVertical && FPanel != nullptr) {
        SetLabelCaption(LabelValuesText());
        if (FLabel != nullptr && FLabel->Visible) {
            NotifyRepaintLabel();
        }
    }
    if (FPanel != nullptr && DefaultButton() != tcbNormal) {
        FPanel->SetCancelMouse(true);
    }
}

void TPlotToolbar::DoMouseUp() {
    if (FPanel != nullptr) {
        if (FDragging || IRotating) {
            FPanel->SetMouseCapture(false);
        }
        if (FDragging && FInertia > 0) {
            FPanel->Invalidate();
        }
        if (DefaultButton() != tcbNormal) {
            FPanel->SetCancelMouse(true);
        }
    }
    IPieSeries = nullptr;
    IRotating = false;
    FDragging = false;
    FDraggingIndex = -1;
}

void TPlotToolbar::MakeChart3D() {
    FPanel->SetView3D(true);
    if (FButton3D != nullptr && !FButton3D->Down) {
        FButton3D->Down = true;
        NotifyChanged();
    }
}

void TPlotToolbar::DoRotate(TShiftState shift, int32_t x, int32_t y) {
    MakeChart3D();
    TPlotView3DOptions options = FPanel->View3DOptions();
    options.Orthogonal = false;
    const TRect& bounds = FPanel->Layout().Bounds;
    IDifX = FAllowRotationX ? (static_cast<double>(x) - FOldX) * 90 / Divisor(bounds.Width()) : 0;
    IDifY = FAllowRotationY ? (static_cast<double>(FOldY) - y) * 90 / Divisor(bounds.Height()) : 0;
    IShift = shift;
    IRotating = true;
    if (FullRotationAllowed()) {
        if (shift.Contains(ssShift)) {
            options.Tilt = static_cast<int32_t>(base::Round(WrapAngle(options.Tilt + IDifY)));
        } else {
            options.Rotation = WrapAngle(options.Rotation + IDifX);
            options.Elevation = WrapAngle(options.Elevation + IDifY);
        }
    } else if (IPieSeries != nullptr) {
        options.Rotation = 360;
        options.Perspective = 0;
        if (IDifX != 0) {
            IPieSeries->SetRotationAngle(
                static_cast<int32_t>(base::Round(WrapAngle(IPieSeries->RotationAngle() + IDifX))));
        }
    } else {
        // Without free rotation the chart is seen from above only: elevation 270 to 360.
        if (IDifX != 0) {
            options.Rotation = WrapAngle(options.Rotation + IDifX);
        }
        if (IDifY > 0) {
            options.Elevation = std::min(options.Elevation + IDifY, 360.0);
        } else if (IDifY < 0) {
            options.Elevation = std::max(options.Elevation + IDifY, 270.0);
        }
    }
    FOldX = x;
    FOldY = y;
    FPanel->SetView3DOptions(options);
}

void TPlotToolbar::DoMove(int32_t x, int32_t y) {
    if (!TPlot::kCanvasSupportsFullRotation) {
        MakeChart3D();
    }
    TPlotView3DOptions options = FPanel->View3DOptions();
    options.HorizOffset = SaturatedAdd(options.HorizOffset, int64_t{x} - FOldX);
    options.VertOffset = SaturatedAdd(options.VertOffset, int64_t{y} - FOldY);
    FOldX = x;
    FOldY = y;
    FPanel->SetView3DOptions(options);
}

void TPlotToolbar::DoZoom(int32_t y) {
    if (!TPlot::kCanvasSupportsFullRotation) {
        MakeChart3D();
    }
    TPlotView3DOptions options = FPanel->View3DOptions();
    const TRect& area = FPanel->ChartRect();
    const double diagonal = Divisor(std::hypot(area.Width(), area.Height()));
    const double step = (static_cast<double>(FOldY) - y) * 10 / diagonal;
    const double amount = step * 10 * options.Zoom / 100;
    if (step > 0) {
        options.Zoom += std::max(amount, 1.0);
        // No ceiling, but a finite zoom: a huge step on a tiny chart stops at the largest.
        if (!std::isfinite(options.Zoom)) {
            options.Zoom = std::numeric_limits<double>::max();
        }
    } else if (step < 0) {
        options.Zoom = std::max(options.Zoom + std::min(amount, -1.0), 1.0);
    }
    FOldY = y;
    FPanel->SetView3DOptions(options);
}

void TPlotToolbar::DoDepth(int32_t x, int32_t y) {
    MakeChart3D();
    const TRect& area = FPanel->ChartRect();
    const double diagonal = Divisor(std::hypot(area.Width(), area.Height()));
    // From the mouse-down point, which stays put: the depth follows the whole drag.
    const double distance =
        std::hypot(static_cast<double>(x) - FOldX, static_cast<double>(y) - FOldY);
    const int64_t percent = base::Round(distance * 200 / diagonal);
    if (percent > 0) {
        FPanel->SetChart3DPercent(static_cast<int32_t>(std::min<int64_t>(percent, 100)));
    }
}

void TPlotToolbar::DoExplode(int32_t x, int32_t y) {
    const double diagonal = Divisor(IPieSeries->CircleDiagonal());
    const double distance =
        std::hypot(static_cast<double>(x) - FOldX, static_cast<double>(y) - FOldY);
    IPieSeries->SetExplodedSlice(FDraggingIndex, static_cast<int32_t>(std::min<int64_t>(
                                                     100, base::Round(distance * 100 / diagonal))));
}

std::string TPlotToolbar::LabelValuesText() const {
    const TPlotView3DOptions& options = FPanel->View3DOptions();
    switch (DefaultButton()) {
    case tcbRotate:
        return "Rotation: " + IntText(base::Round(options.Rotation)) +
               "\u00B0 Elevation: " + IntText(base::Round(options.Elevation)) + "\u00B0";
    case tcbMove:
        return "Horiz.Offset: " + IntText(options.HorizOffset) +
               " Vert.Offset: " + IntText(options.VertOffset);
    case tcbZoom:
        return "Zoom: " + IntText(base::Round(options.Zoom)) + " %";
    case tcbDepth:
        return ChartWithAxes() ? "3D: " + IntText(FPanel->Chart3DPercent()) + " %" : "";
    case tcbNormal:
        if (IPieSeries != nullptr && FDraggingIndex != -1) {
            return "Slice: " + IntText(FDraggingIndex) +
                   " Exploded: " + IntText(IPieSeries->ExplodedSlice(FDraggingIndex)) + " %";
        }
        return {};
    default:
        return {};
    }
}

} // namespace chart
