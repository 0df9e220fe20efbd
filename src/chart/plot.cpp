#include "chart/plot.h"

#include "chart/series.h"

#include <algorithm>
#include <limits>

namespace chart {

namespace {

// Colours handed to series that join without a colour of their own.
constexpr base::TColor kPalette[] = {
    base::clRed,     base::clGreen, base::clYellow, base::clBlue,   base::clWhite, base::clGray,
    base::clFuchsia, base::clTeal,  base::clNavy,   base::clMaroon, base::clLime,  base::clOlive,
};
constexpr int32_t kPaletteSize = static_cast<int32_t>(std::size(kPalette));

} // namespace

bool TPlotTitle::HasText() const {
    return std::any_of(Text.begin(), Text.end(), [](const std::string& s) { return !s.empty(); });
}

TPlot::TPlot(base::TComponent* owner) : base::TComponent(owner) {
    for (int32_t i = 0; i < kAxisCount; ++i) {
        axes_[i] = std::make_unique<TPlotAxis>(this, static_cast<TAxisKind>(i));
    }
    title_.Font.Color = base::clBlue;
    legend_.Frame.Color = base::clBlack;
    back_wall_.Pen.Color = base::clBlack;
    // The side walls and the floor show only in 3D, filled: the floor a light grey under
    // the pale walls, so the box reads as one.
    for (TPlotWall* wall : {&left_wall_, &right_wall_, &bottom_wall_}) {
        wall->Transparent = false;
    }
    bottom_wall_.Color = kBottomWallColor;
}

TPlot::~TPlot() {
    MarkDestroying();
    // Listeners (the toolbar) forget the chart while it can still answer them.
    SendFreeNotifications();
    listeners_.clear();
    if (mouse_capture_ && OnMouseCaptureChanged) {
        mouse_capture_ = false;
        OnMouseCaptureChanged(false);
    }
    // The series outlive the chart (their owner frees them): make them forget it and any of
    // its axes they chose, so nothing points into the destroyed axes.
    for (TPlotSeries* series : series_list_) {
        series->ChartGone(*this);
    }
    series_list_.clear();
}

// --- series ---

void TPlot::AddSeries(TPlotSeries& series) {
    if (series.ParentChart() == this) {
        return;
    }
    if (series.ParentChart() != nullptr) {
        series.SetParentChart(nullptr);
    }
    series_list_.push_back(&series);
    static_cast<TPlotElement&>(series).parent_chart_ = this;
    series.RecalcGetAxis();
    if (series.SeriesColor() == base::clAutoColor) {
        series.SetSeriesColor(GetFreeSeriesColor(&series));
    }
    Invalidate();
}

void TPlot::RemoveSeries(TPlotSeries& series) {
    if (series.ParentChart() == this) {
        series.SetParentChart(nullptr);
    }
}

void TPlot::DetachSeries(TPlotSeries& series) {
    series_list_.erase(std::remove(series_list_.begin(), series_list_.end(), &series),
                       series_list_.end());
    Invalidate();
}

int32_t TPlot::CountActiveSeries() const {
    return static_cast<int32_t>(std::count_if(series_list_.begin(), series_list_.end(),
                                              [](const TPlotSeries* s) { return s->Active(); }));
}

void TPlot::SeriesDataChanged(TPlotSeries& series) {
    if (OnSeriesDataChanged) {
        OnSeriesDataChanged(series);
    }
}

// --- repaint requests ---

void TPlot::Invalidate() {
    if (painting_ || Destroying()) {
        return;
    }
    if (OnInvalidate) {
        OnInvalidate();
    }
}

// --- appearance ---

void TPlot::SetAxisVisible(bool value) {
    if (axis_visible_ != value) {
        axis_visible_ = value;
        Invalidate();
    }
}

void TPlot::SetView3D(bool value) {
    if (view_3d_ != value) {
        view_3d_ = value;
        View3DChanged();
    }
}

void TPlot::SetView3DOptions(const TPlotView3DOptions& value) {
    if (view_3d_options_ != value) {
        view_3d_options_ = value;
        View3DChanged();
    }
}

void TPlot::SetChart3DPercent(int32_t value) {
    value = std::clamp(value, 0, 100);
    if (chart_3d_percent_ != value) {
        chart_3d_percent_ = value;
        View3DChanged();
    }
}

void TPlot::View3DChanged() {
    Invalidate();
    if (OnView3DChanged) {
        OnView3DChanged();
    }
    ForEachListener([this](IPlotListener& l) { l.PlotView3DChanged(*this); });
}

// --- mouse input and listeners ---

void TPlot::AddListener(IPlotListener& listener) {
    if (std::find(listeners_.begin(), listeners_.end(), &listener) == listeners_.end()) {
        listeners_.push_back(&listener);
    }
}

void TPlot::RemoveListener(IPlotListener& listener) {
    std::erase(listeners_, &listener);
}

template <typename Fn> void TPlot::ForEachListener(Fn fn) {
    const std::vector<IPlotListener*> snapshot = listeners_;
    for (IPlotListener* listener : snapshot) {
        if (std::find(listeners_.begin(), listeners_.end(), listener) != listeners_.end()) {
            fn(*listener);
        }
    }
}

void TPlot::MouseDown(TMouseButton button, TShiftState shift, int32_t x, int32_t y) {
    ForEachListener([&](IPlotListener& l) {
        if (!cancel_mouse_) {
            l.PlotMouseDown(*this, button, shift, x, y);
        }
    });
}

// Moves and mouse-ups reach every listener whatever was cancelled, so a drag always ends.
void TPlot::MouseMove(TShiftState shift, int32_t x, int32_t y) {
    ForEachListener([&](IPlotListener& l) { l.PlotMouseMove(*this, shift, x, y); });
}

void TPlot::MouseUp(TMouseButton button, TShiftState shift, int32_t x, int32_t y) {
    ForEachListener([&](IPlotListener& l) { l.PlotMouseUp(*this, button, shift, x, y); });
}

void TPlot::SetMouseCapture(bool value) {
    if (mouse_capture_ == value) {
        return;
    }
    mouse_capture_ = value;
    if (OnMouseCaptureChanged) {
        OnMouseCaptureChanged(value);
    }
}

void TPlot::MouseCaptureLost() {
    mouse_capture_ = false;
    ForEachListener([this](IPlotListener& l) { l.PlotMouseCaptureLost(*this); });
}

void TPlot::SetAllowPanning(TPanningMode value) {
    allow_panning_ = value;
}

void TPlot::SetZoomAllow(bool value) {
    zoom_allow_ = value;
}

void TPlot::SetMargins(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    const TRect margins{left, top, right, bottom};
    if (!(margins_ == margins)) {
        margins_ = margins;
        Invalidate();
    }
}

void TPlot::SetBevelOuter(bool value) {
    if (bevel_outer_ != value) {
        bevel_outer_ = value;
        Invalidate();
    }
}

void TPlot::SetBevelWidth(int32_t value) {
    value = std::max(value, 0);
    if (bevel_width_ != value) {
        bevel_width_ = value;
        Invalidate();
    }
}

void TPlot::SetColorPaletteIndex(int32_t value) {
    if (color_palette_index_ != value) {
        color_palette_index_ = value;
        Invalidate();
    }
}

base::TColor TPlot::GetDefaultColor(int32_t index) const {
    const int32_t i = index % kPaletteSize;
    return kPalette[i < 0 ? i + kPaletteSize : i];
}

base::TColor TPlot::GetFreeSeriesColor(const TPlotSeries* except) const {
    for (int32_t i = 0; i < kPaletteSize; ++i) {
        const base::TColor color = kPalette[i];
        const bool used =
            std::any_of(series_list_.begin(), series_list_.end(), [&](const TPlotSeries* s) {
                return s != except && s->SeriesColor() == color;
            });
        if (!used) {
            return color;
        }
    }
    return GetDefaultColor(static_cast<int32_t>(series_list_.size()));
}

// --- layout ---

bool TPlot::IsAxisVisible(const TPlotAxis& axis) const {
    if (!axis_visible_ || !axis.Visible()) {
        return false;
    }
    if (axis.IsDepthAxis()) {
        return view_3d_;
    }
    bool any_active = false;
    for (const TPlotSeries* s : series_list_) {
        if (!s->Active()) {
            continue;
        }
        any_active = true;
        if (s->AssociatedToAxis(axis)) {
            return true;
        }
    }
    return !any_active;
}

namespace {

// An edge computed in 64 bits, brought into the int32 range.
int32_t Edge(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// Keeps the plot area at least one pixel wide and high, its left and top edges inside
// the control.
void Normalize(TRect& r, int32_t width, int32_t height) {
    r.Left = std::clamp(r.Left, 0, std::max(width - 1, 0));
    r.Top = std::clamp(r.Top, 0, std::max(height - 1, 0));
    r.Right = std::max(r.Right, r.Left + 1);
    r.Bottom = std::max(r.Bottom, r.Top + 1);
}

int32_t TitleHeight(const TPlotTitle& title, TCanvas& canvas) {
    canvas.SetFont(title.Font);
    const int64_t lines = std::max<int64_t>(static_cast<int64_t>(title.Text.size()), 1);
    return Edge(canvas.TextHeight("W") * lines);
}

} // namespace

void TPlot::CalcLayout(int32_t width, int32_t height, TCanvas& canvas) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    layout_ = TPlotLayout{};
    layout_.Bounds = TRect{0, 0, width, height};

    // Border and percentage margins (integer-truncated).
    const int32_t border = BorderWidth();
    // In 64 bits: a stored margin of any size must not overflow; Normalize then brings the
    // edges back inside the control.
    const auto margin = [](int32_t percent, int32_t size) { return int64_t{percent} * size / 100; };
    TRect r{Edge(int64_t{border} + margin(margins_.Left, width)),
            Edge(int64_t{border} + margin(margins_.Top, height)),
            Edge(int64_t{width} - border - margin(margins_.Right, width)),
            Edge(int64_t{height} - border - margin(margins_.Bottom, height))};
    Normalize(r, width, height);

    // Titles from the top, feet from the bottom: each line plus its frame and margin.
    for (const TPlotTitle* title : {&title_, &sub_title_}) {
        if (!title->Visible || !title->HasText() || title->CustomPosition) {
            continue;
        }
        const int32_t h = TitleHeight(*title, canvas);
        if (title == &title_) {
            layout_.TitleRect = TRect{r.Left, r.Top + 1, r.Right, Edge(int64_t{r.Top} + 1 + h)};
        }
        r.Top = Edge(std::min<int64_t>(int64_t{r.Top} + h + 3 + title->VertMargin, r.Bottom - 1));
        Normalize(r, width, height);
    }
    for (const TPlotTitle* title : {&foot_, &sub_foot_}) {
        if (!title->Visible || !title->HasText() || title->CustomPosition) {
            continue;
        }
        const int32_t h = TitleHeight(*title, canvas);
        r.Bottom =
            Edge(std::max<int64_t>(int64_t{r.Bottom} - h - 3 - title->VertMargin, r.Top + 1));
        Normalize(r, width, height);
    }

    // Axes: ranges and extents from the area as it stands, so that the widest labels are
    // measured before any axis zone shrinks it; then each visible axis takes its zone.
    for (auto& axis : axes_) {
        axis->SetIsVisible(IsAxisVisible(*axis));
        if (axis->IsDepthAxis()) {
            continue;
        }
        axis->InternalCalcRange();
        axis->InternalCalcPositions(r);
    }
    for (auto& axis : axes_) {
        if (!axis->IsVisible() || axis->IsDepthAxis()) {
            continue;
        }
        const int32_t space = axis->CalcSpace(canvas);
        switch (axis->Kind()) {
        case akBottom:
            r.Bottom = Edge(std::max<int64_t>(int64_t{r.Bottom} - space, r.Top + 1));
            break;
        case akTop:
            r.Top = Edge(std::min<int64_t>(int64_t{r.Top} + space, r.Bottom - 1));
            break;
        case akLeft:
            r.Left = Edge(std::min<int64_t>(int64_t{r.Left} + space, r.Right - 1));
            break;
        case akRight:
            r.Right = Edge(std::max<int64_t>(int64_t{r.Right} - space, r.Left + 1));
            break;
        default:
            break;
        }
        Normalize(r, width, height);
    }
    if (view_3d_) {
        // The box fills what the flat plot area would; the axes map to its front plane.
        layout_.View3D = true;
        layout_.Frame3D = LayOut3D(r, view_3d_options_, chart_3d_percent_);
        r = layout_.Frame3D.Front;
    }
    for (auto& axis : axes_) {
        if (axis->IsDepthAxis()) {
            continue;
        }
        axis->InternalCalcPositions(r);
        axis->CalcPosAxis(r);
        if (axis->IsVisible()) {
            axis->CalcLabels(canvas);
        } else {
            axis->ClearLabels(); // nothing of a hidden axis is drawn
        }
    }
    layout_.ChartRect = r;
    layout_.Valid = true;
}

} // namespace chart
