#include "chart/series.h"

#include "chart/axis.h"
#include "chart/plot.h"

#include <algorithm>

namespace chart {

// --- TPlotElement ---

TPlotElement::TPlotElement(base::TComponent* owner) : base::TComponent(owner) {}

TPlotElement::~TPlotElement() = default;

void TPlotElement::SetActive(bool value) {
    if (active_ != value) {
        active_ = value;
        if (parent_chart_ != nullptr) {
            parent_chart_->Invalidate();
        }
    }
}

void TPlotElement::SetParentChart(TPlot* chart) {
    parent_chart_ = chart;
}

void TPlotElement::Repaint() {
    if (parent_chart_ != nullptr && active_ && !parent_chart_->Destroying()) {
        parent_chart_->Invalidate();
    }
}

// --- TPlotCustomSeries ---

void TPlotCustomSeries::SetTitle(std::string title) {
    if (title_ != title) {
        title_ = std::move(title);
        Repaint();
    }
}

void TPlotCustomSeries::SetShowInLegend(bool value) {
    if (show_in_legend_ != value) {
        show_in_legend_ = value;
        Repaint();
    }
}

// --- TPlotSeries ---

TPlotSeries::TPlotSeries(base::TComponent* owner) : TPlotCustomSeries(owner) {
    x_values_ = std::make_unique<TPlotValueList>(this, "X");
    x_values_->SetOrder(loAscending);
    y_values_ = std::make_unique<TPlotValueList>(this, "Y");
}

TPlotSeries::~TPlotSeries() {
    if (parent_chart_ != nullptr) {
        parent_chart_->DetachSeries(*this);
        parent_chart_ = nullptr;
    }
}

void TPlotSeries::SetActive(bool value) {
    if (active_ != value) {
        active_ = value;
        // Visibility of axes and the legend depend on the active series.
        if (parent_chart_ != nullptr && !parent_chart_->Destroying()) {
            parent_chart_->Invalidate();
        }
    }
}

void TPlotSeries::SetParentChart(TPlot* chart) {
    if (chart == parent_chart_) {
        return;
    }
    if (parent_chart_ != nullptr) {
        TPlot* old = parent_chart_;
        parent_chart_ = nullptr;
        old->DetachSeries(*this);
        old->Invalidate();
    }
    if (chart != nullptr) {
        chart->AddSeries(*this); // sets parent_chart_, resolves the axes
    } else {
        RecalcGetAxis();
    }
}

int32_t TPlotSeries::AddXY(double x, double y, const std::string& label, base::TColor color) {
    x_values_->SetTempValue(x);
    y_values_->SetTempValue(y);
    if (OnBeforeAdd && !OnBeforeAdd(*this)) {
        return -1;
    }
    const int32_t index = x_values_->AddChartValue();
    y_values_->InsertChartValue(index, y);
    for (TPlotValueList* list : values_lists_) {
        if (list != x_values_.get() && list != y_values_.get()) {
            list->InsertChartValue(index, list->TempValue());
        }
    }
    const int32_t earlier = Count() - 1;
    if (colors_ != nullptr) {
        colors_->resize(std::max<size_t>(colors_->size(), earlier), base::clAutoColor);
        colors_->insert(colors_->begin() + index, color);
    } else if (color != base::clAutoColor) {
        colors_ = std::make_unique<std::vector<base::TColor>>(earlier, base::clAutoColor);
        colors_->insert(colors_->begin() + index, color);
    }
    if (!label.empty() || !labels_.empty()) {
        // Points added before the first label had none: pad so every label keeps its point.
        labels_.resize(std::max<size_t>(labels_.size(), earlier));
        labels_.insert(labels_.begin() + index, label);
    }
    if (update_count_ == 0) {
        NotifyNewValue(index);
    }
    return index;
}

void TPlotSeries::NotifyNewValue(int32_t index) {
    if (OnAfterAdd) {
        OnAfterAdd(*this, index);
    }
    NotifyValue(veAdd, index);
    if (active_) {
        Repaint();
    }
}

void TPlotSeries::NotifyValue(TValueEvent /*event*/, int32_t /*index*/) {
    // No series of this program has dependent series; nothing to forward.
}

void TPlotSeries::Clear() {
    first_value_index_ = -1;
    last_value_index_ = -1;
    for (TPlotValueList* list : values_lists_) {
        list->ClearValues();
    }
    colors_.reset();
    labels_.clear();
    labels_.shrink_to_fit();
    if (OnClearValues) {
        OnClearValues(*this);
    }
    NotifyValue(veClear, 0);
    Repaint();
    DataChanged();
}

void TPlotSeries::Delete(int32_t index) {
    if (index < 0 || index >= Count()) {
        return;
    }
    for (TPlotValueList* list : values_lists_) {
        list->Delete(index);
    }
    if (colors_ != nullptr && index < static_cast<int32_t>(colors_->size())) {
        colors_->erase(colors_->begin() + index);
    }
    if (index < static_cast<int32_t>(labels_.size())) {
        labels_.erase(labels_.begin() + index);
    }
    NotifyValue(veDelete, index);
    Repaint();
}

double TPlotSeries::GetxValue(int32_t index) const {
    return x_values_->GetValue(index);
}

double TPlotSeries::GetyValue(int32_t index) const {
    return y_values_->GetValue(index);
}

void TPlotSeries::SetXValue(int32_t index, double value) {
    if (index < 0 || index >= x_values_->Count()) {
        return;
    }
    x_values_->StoreValue(index, value);
    Repaint();
}

void TPlotSeries::SetYValue(int32_t index, double value) {
    if (index < 0 || index >= y_values_->Count()) {
        return;
    }
    y_values_->StoreValue(index, value);
    Repaint();
}

namespace {

// Lowest or highest value of a list over the points that count (null points skipped unless
// the series ignores nulls).
template <typename Better>
double Extreme(const TPlotSeries& series, const TPlotValueList& list, Better better) {
    // Only stored colours or a series colour of clNone make null points (the palette has
    // none); without them the per-point lookup is skipped.
    const bool skip_nulls = series.TreatNulls() != tnIgnore &&
                            (series.HasColors() || series.SeriesColor() == base::clNone);
    const int32_t count = std::min(list.Count(), series.Count());
    const double* values = list.Data();
    bool found = false;
    double result = 0.0;
    for (int32_t i = 0; i < count; ++i) {
        if (skip_nulls && series.IsNull(i)) {
            continue;
        }
        if (!found) {
            result = values[i];
            found = true;
        } else if (better(values[i], result)) {
            result = values[i];
        }
    }
    return result;
}

} // namespace

double TPlotSeries::MinYValue() const {
    return Extreme(*this, *y_values_, [](double a, double b) { return a < b; });
}

double TPlotSeries::MaxYValue() const {
    return Extreme(*this, *y_values_, [](double a, double b) { return a > b; });
}

double TPlotSeries::MinXValue() const {
    return Extreme(*this, *x_values_, [](double a, double b) { return a < b; });
}

double TPlotSeries::MaxXValue() const {
    return Extreme(*this, *x_values_, [](double a, double b) { return a > b; });
}

std::string TPlotSeries::Label(int32_t index) const {
    if (index < 0 || index >= static_cast<int32_t>(labels_.size())) {
        return std::string();
    }
    return labels_[index];
}

bool TPlotSeries::HasLabels() const {
    return std::any_of(labels_.begin(), labels_.end(),
                       [](const std::string& s) { return !s.empty(); });
}

base::TColor TPlotSeries::PointColor(int32_t index) const {
    if (colors_ == nullptr || index < 0 || index >= static_cast<int32_t>(colors_->size())) {
        return base::clAutoColor;
    }
    return (*colors_)[index];
}

void TPlotSeries::SetSeriesColor(base::TColor color) {
    if (series_color_ != color) {
        series_color_ = color;
        Repaint();
    }
}

void TPlotSeries::SetColorEachPoint(bool value) {
    if (color_each_point_ != value) {
        color_each_point_ = value;
        Repaint();
    }
}

base::TColor TPlotSeries::GetValueColor(int32_t index) const {
    const base::TColor own = PointColor(index);
    if (own != base::clAutoColor) {
        return own;
    }
    if (color_each_point_ && parent_chart_ != nullptr) {
        return parent_chart_->GetDefaultColor(index);
    }
    return series_color_;
}

bool TPlotSeries::IsNull(int32_t index) const {
    return GetValueColor(index) == base::clNone;
}

void TPlotSeries::BeginUpdate() {
    ++update_count_;
}

void TPlotSeries::EndUpdate() {
    if (update_count_ <= 0) {
        return;
    }
    if (--update_count_ == 0) {
        NotifyValue(veRefresh, 0);
        DataChanged();
        if (parent_chart_ != nullptr && !parent_chart_->Destroying()) {
            parent_chart_->SeriesDataChanged(*this);
        }
        // The batch skipped the per-point repaints; one now makes its points visible.
        Repaint();
    }
}

void TPlotSeries::SetValueIndexRange(int32_t first, int32_t last) {
    first_value_index_ = first;
    last_value_index_ = last;
}

void TPlotSeries::SetHorizAxis(THorizAxis value) {
    if (horiz_axis_ != value) {
        horiz_axis_ = value;
        RecalcGetAxis();
        Repaint();
    }
}

void TPlotSeries::SetVertAxis(TVertAxis value) {
    if (vert_axis_ != value) {
        vert_axis_ = value;
        RecalcGetAxis();
        Repaint();
    }
}

void TPlotSeries::SetCustomVertAxis(TPlotAxis* axis) {
    custom_vert_axis_ = axis;
    vert_axis_ = axis != nullptr ? aCustomVertAxis : aLeftAxis;
    RecalcGetAxis();
    Repaint();
}

void TPlotSeries::SetCustomHorizAxis(TPlotAxis* axis) {
    custom_horiz_axis_ = axis;
    horiz_axis_ = axis != nullptr ? aCustomHorizAxis : aBottomAxis;
    RecalcGetAxis();
    Repaint();
}

void TPlotSeries::ChartGone(const TPlot& chart) {
    for (int32_t i = 0; i < TPlot::kAxisCount; ++i) {
        const TPlotAxis* axis = &chart.Axes(i);
        if (custom_horiz_axis_ == axis) {
            custom_horiz_axis_ = nullptr;
        }
        if (custom_vert_axis_ == axis) {
            custom_vert_axis_ = nullptr;
        }
    }
    parent_chart_ = nullptr;
    RecalcGetAxis();
}

void TPlotSeries::RecalcGetAxis() {
    if (parent_chart_ == nullptr) {
        get_horiz_axis_ = nullptr;
        get_vert_axis_ = nullptr;
        return;
    }
    TPlot& chart = *parent_chart_;
    get_horiz_axis_ = &chart.BottomAxis();
    if (horiz_axis_ == aTopAxis) {
        get_horiz_axis_ = &chart.TopAxis();
    } else if (horiz_axis_ == aCustomHorizAxis && custom_horiz_axis_ != nullptr) {
        get_horiz_axis_ = custom_horiz_axis_;
    }
    get_vert_axis_ = &chart.LeftAxis();
    if (vert_axis_ == aRightAxis) {
        get_vert_axis_ = &chart.RightAxis();
    } else if (vert_axis_ == aCustomVertAxis && custom_vert_axis_ != nullptr) {
        get_vert_axis_ = custom_vert_axis_;
    }
}

bool TPlotSeries::AssociatedToAxis(const TPlotAxis& axis) const {
    if (axis.IsDepthAxis()) {
        return true;
    }
    if (axis.Horizontal()) {
        return horiz_axis_ == aBothHorizAxis || &axis == get_horiz_axis_;
    }
    return vert_axis_ == aBothVertAxis || &axis == get_vert_axis_;
}

int32_t TPlotSeries::CalcXPos(int32_t index) const {
    return CalcXPosValue(GetxValue(index));
}

int32_t TPlotSeries::CalcYPos(int32_t index) const {
    return CalcYPosValue(GetyValue(index));
}

int32_t TPlotSeries::CalcXPosValue(double value) const {
    return get_horiz_axis_ != nullptr ? get_horiz_axis_->CalcXPosValue(value) : 0;
}

int32_t TPlotSeries::CalcYPosValue(double value) const {
    return get_vert_axis_ != nullptr ? get_vert_axis_->CalcYPosValue(value) : 0;
}

double TPlotSeries::XScreenToValue(int32_t screen_pos) const {
    return get_horiz_axis_ != nullptr ? get_horiz_axis_->CalcPosPoint(screen_pos) : 0.0;
}

double TPlotSeries::YScreenToValue(int32_t screen_pos) const {
    return get_vert_axis_ != nullptr ? get_vert_axis_->CalcPosPoint(screen_pos) : 0.0;
}

// --- line series ---

void TPlotCustomLineSeries::SetTreatNulls(TTreatNulls value) {
    if (treat_nulls_ != value) {
        treat_nulls_ = value;
        Repaint();
    }
}

TPlotPointSeries::TPlotPointSeries(base::TComponent* owner) : TPlotCustomLineSeries(owner) {}

void TPlotPointSeries::SetOnFrontPlane(bool value) {
    if (on_front_plane_ != value) {
        on_front_plane_ = value;
        Repaint();
    }
}

TPlotLineSeries::TPlotLineSeries(base::TComponent* owner) : TPlotPointSeries(owner) {
    Pointer().Visible = false;
}

} // namespace chart
