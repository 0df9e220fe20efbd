#include "chart/axis.h"

#include "base/conversions.h"
#include "chart/plot.h"
#include "chart/series.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace chart {

TPlotAxis::TPlotAxis(TPlot* chart, TAxisKind kind) : chart_(chart), kind_(kind) {
    minor_grid_.Visible = false;
    ticks_.Color = base::clGray;
    ticks_inner_.Color = base::clGray;
    minor_ticks_.Color = base::clGray;
    if (IsDepthAxis()) {
        visible_ = false;
    }
}

TPlotAxis::~TPlotAxis() = default;

const char* TPlotAxis::Identifier() const {
    static constexpr const char* kNames[] = {"Bottom", "Top", "Left", "Right", "Depth", "DepthTop"};
    return kNames[kind_];
}

void TPlotAxis::Changed() {
    if (chart_ != nullptr) {
        chart_->Invalidate();
    }
}

bool TPlotAxis::ChartLoading() const {
    return chart_ != nullptr && chart_->Loading();
}

// --- range ---

void TPlotAxis::SetMinMax(double a_min, double a_max) {
    automatic_ = false;
    automatic_minimum_ = false;
    automatic_maximum_ = false;
    if (a_min > a_max) {
        std::swap(a_min, a_max);
    }
    bool changed = false;
    if (minimum_value_ != a_min) {
        minimum_value_ = a_min;
        changed = true;
    }
    if (maximum_value_ != a_max) {
        maximum_value_ = a_max;
        changed = true;
    }
    if (maximum_value_ - minimum_value_ < MinAxisRange) {
        maximum_value_ = minimum_value_ + MinAxisRange;
        changed = true;
    }
    if (changed) {
        Changed();
    }
}

void TPlotAxis::SetMinimum(double value) {
    if (!ChartLoading() && value > maximum_value_) {
        throw AxisException("Axis Minimum Value must be <= Maximum");
    }
    if (minimum_value_ != value) {
        minimum_value_ = value;
        Changed();
    }
}

void TPlotAxis::SetMaximum(double value) {
    if (!ChartLoading() && value < minimum_value_) {
        throw AxisException("Axis Maximum Value must be >= Minimum");
    }
    if (maximum_value_ != value) {
        maximum_value_ = value;
        Changed();
    }
}

void TPlotAxis::SetAutomatic(bool value) {
    automatic_ = value;
    if (!ChartLoading()) {
        automatic_minimum_ = value;
        automatic_maximum_ = value;
    }
    Changed();
}

void TPlotAxis::SetAutomaticMinimum(bool value) {
    automatic_minimum_ = value;
    if (!value) {
        automatic_ = false;
    } else if (automatic_maximum_) {
        automatic_ = true;
    }
    Changed();
}

void TPlotAxis::SetAutomaticMaximum(bool value) {
    automatic_maximum_ = value;
    if (!value) {
        automatic_ = false;
    } else if (automatic_minimum_) {
        automatic_ = true;
    }
    Changed();
}

void TPlotAxis::SetIncrement(double value) {
    if (!ChartLoading() && !(value >= 0)) {
        throw AxisException("Axis increment must be >= 0");
    }
    if (desired_increment_ != value) {
        desired_increment_ = value;
        Changed();
    }
}

void TPlotAxis::SetInverted(bool value) {
    if (inverted_ != value) {
        inverted_ = value;
        Changed();
    }
}

void TPlotAxis::SetLogarithmic(bool value) {
    if (value && !ChartLoading()) {
        if (date_time_) {
            throw AxisException("DateTime Axis cannot be Logarithmic");
        }
        if (minimum_value_ < 0 || maximum_value_ < 0) {
            throw AxisException("Logarithmic Axis Min and Max values should be >= 0");
        }
    }
    if (logarithmic_ != value) {
        logarithmic_ = value;
        Changed();
    }
}

void TPlotAxis::SetLogarithmicBase(double value) {
    if (!ChartLoading() && (value == 1 || !(value > 0))) {
        throw AxisException("Axis Logarithmic Base should be <> 1 and > 0");
    }
    if (logarithmic_base_ != value) {
        logarithmic_base_ = value;
        Changed();
    }
}

namespace {

template <typename T> void Assign(T& field, T value, bool& changed) {
    if (field != value) {
        field = std::move(value);
        changed = true;
    }
}

} // namespace

#define TDS_AXIS_SETTER(Name, Type, field)                                                         \
    void TPlotAxis::Set##Name(Type value) {                                                        \
        bool changed = false;                                                                      \
        Assign(field, std::move(value), changed);                                                  \
        if (changed) {                                                                             \
            Changed();                                                                             \
        }                                                                                          \
    }

TDS_AXIS_SETTER(DateTime, bool, date_time_)
TDS_AXIS_SETTER(MaximumRound, bool, maximum_round_)
TDS_AXIS_SETTER(MinimumRound, bool, minimum_round_)
TDS_AXIS_SETTER(Visible, bool, visible_)
TDS_AXIS_SETTER(StartPosition, double, start_position_)
TDS_AXIS_SETTER(EndPosition, double, end_position_)
TDS_AXIS_SETTER(PositionPercent, double, position_percent_)
TDS_AXIS_SETTER(MinimumOffset, int32_t, minimum_offset_)
TDS_AXIS_SETTER(MaximumOffset, int32_t, maximum_offset_)
TDS_AXIS_SETTER(TickLength, int32_t, tick_length_)
TDS_AXIS_SETTER(TickInnerLength, int32_t, tick_inner_length_)
TDS_AXIS_SETTER(MinorTickLength, int32_t, minor_tick_length_)
TDS_AXIS_SETTER(MinorTickCount, int32_t, minor_tick_count_)
TDS_AXIS_SETTER(TickOnLabelsOnly, bool, tick_on_labels_only_)
TDS_AXIS_SETTER(Labels, bool, labels_)
TDS_AXIS_SETTER(LabelsOnAxis, bool, labels_on_axis_)
TDS_AXIS_SETTER(LabelsAlternate, bool, labels_alternate_)
TDS_AXIS_SETTER(LabelsMultiLine, bool, labels_multi_line_)
TDS_AXIS_SETTER(LabelsExponent, bool, labels_exponent_)
TDS_AXIS_SETTER(LabelsBehind, bool, labels_behind_)
TDS_AXIS_SETTER(LabelsAngle, int32_t, labels_angle_)
TDS_AXIS_SETTER(LabelStyle, TAxisLabelStyle, label_style_)
TDS_AXIS_SETTER(RoundFirstLabel, bool, round_first_label_)
TDS_AXIS_SETTER(AxisValuesFormat, std::string, axis_values_format_)

#undef TDS_AXIS_SETTER

void TPlotAxis::SetLabelsSeparation(int32_t value) {
    if (!ChartLoading() && value < 0) {
        throw AxisException("Labels Separation % must be greater than 0");
    }
    if (labels_separation_ != value) {
        labels_separation_ = value;
        Changed();
    }
}

// --- automatic range ---

bool TPlotAxis::XValuesOnThisAxis(const TPlotSeries& series) const {
    return series.YMandatory() == Horizontal();
}

void TPlotAxis::AdjustMaxMin() {
    const bool adjust_min = automatic_ || automatic_minimum_;
    const bool adjust_max = automatic_ || automatic_maximum_;
    if (!(adjust_min || adjust_max) || chart_ == nullptr || IsDepthAxis()) {
        return;
    }
    const auto& list = chart_->SeriesList();
    const bool any_associated = std::any_of(list.begin(), list.end(), [this](TPlotSeries* s) {
        return s->Active() && s->AssociatedToAxis(*this);
    });
    bool found = false;
    double lo = 0.0;
    double hi = 0.0;
    for (const TPlotSeries* s : list) {
        if (!s->Active() || s->Count() == 0 || (any_associated && !s->AssociatedToAxis(*this))) {
            continue;
        }
        const TPlotValueList& values = Horizontal() ? s->XValues() : s->YValues();
        const double s_min = values.MinValue();
        const double s_max = values.MaxValue();
        if (!found) {
            lo = s_min;
            hi = s_max;
            found = true;
        } else {
            lo = std::min(lo, s_min);
            hi = std::max(hi, s_max);
        }
    }
    if (adjust_min) {
        minimum_value_ = lo;
    }
    if (adjust_max) {
        maximum_value_ = hi;
    }
}

// --- layout ---

void TPlotAxis::InternalCalcRange() {
    AdjustMaxMin();
    i_maximum_ = maximum_value_;
    i_minimum_ = minimum_value_;
    i_range_ = i_maximum_ - i_minimum_;
    i_range_zero_ = i_range_ == 0;
    i_axis_size_range_ = i_range_zero_ ? 0.0 : i_axis_size_ / i_range_;
}

namespace {

// Positions and zone sizes from absurd settings (a StartPosition of 1e12 %, a tick length
// near the int32 limit) saturate to the pixel band instead of overflowing.
int32_t ToPixelBand(int64_t value) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(value, -TPlotAxis::kPixelLimit, TPlotAxis::kPixelLimit));
}

} // namespace

void TPlotAxis::InternalCalcPositions(const TRect& chart_rect) {
    const int64_t origin = Horizontal() ? chart_rect.Left : chart_rect.Top;
    const int64_t size = Horizontal() ? int64_t{chart_rect.Right} - chart_rect.Left
                                      : int64_t{chart_rect.Bottom} - chart_rect.Top;
    const auto percent_of_size = [size](double percent) {
        const double pixels = static_cast<double>(size) * 0.01 * percent;
        return base::Round(std::clamp(pixels, -4.0 * kPixelLimit, 4.0 * kPixelLimit));
    };
    int64_t start = origin + percent_of_size(start_position_);
    int64_t end = origin + percent_of_size(end_position_);
    // The offsets keep the ends of the range away from the extent's ends; on a vertical
    // axis the minimum sits at the bottom.
    start += Horizontal() ? minimum_offset_ : maximum_offset_;
    end -= Horizontal() ? maximum_offset_ : minimum_offset_;
    SetPositions(ToPixelBand(start), ToPixelBand(end));
}

void TPlotAxis::SetPositions(int32_t start_pos, int32_t end_pos) {
    i_start_pos_ = start_pos;
    i_end_pos_ = end_pos;
    i_axis_size_ = static_cast<int32_t>(std::clamp<int64_t>(int64_t{end_pos} - start_pos,
                                                            std::numeric_limits<int32_t>::min(),
                                                            std::numeric_limits<int32_t>::max()));
    i_center_pos_ = static_cast<int32_t>((int64_t{start_pos} + end_pos) / 2);
    i_axis_size_range_ = i_range_zero_ ? 0.0 : i_axis_size_ / i_range_;
}

int32_t TPlotAxis::TickZone() const {
    int64_t zone = 0;
    if (axis_pen_.Visible) {
        zone += int64_t{axis_pen_.Width} + 1;
    }
    if (ticks_.Visible) {
        zone += tick_length_;
    }
    if (minor_ticks_.Visible) {
        zone = std::max<int64_t>(zone, minor_tick_length_);
    }
    return ToPixelBand(zone);
}

int32_t TPlotAxis::CalcSpace(TCanvas& canvas) {
    int32_t title_space = 0;
    if (title_.Visible && !title_.Caption.empty()) {
        canvas.SetFont(title_.Font);
        title_space = ToPixelBand(canvas.TextHeight("W"));
    }
    label_space_ = 0;
    const TAxisLabelStyle style = CalcLabelStyle();
    if (labels_ && style != talNone) {
        canvas.SetFont(labels_font_);
        if (Horizontal()) {
            label_space_ =
                ToPixelBand(int64_t{canvas.TextHeight("W")} * (labels_alternate_ ? 2 : 1));
        } else {
            int32_t widest = 0;
            if (style == talValue) {
                const double inc = CalcIncrement(canvas);
                widest = MaxLabelsWidth(canvas, inc);
            } else {
                widest = TextLabelsWidth(canvas);
            }
            label_space_ = ToPixelBand(int64_t{widest} + canvas.TextWidth(" "));
        }
    }
    return ToPixelBand(int64_t{title_space} + label_space_ + TickZone());
}

void TPlotAxis::CalcPosAxis(const TRect& chart_rect) {
    // Labels and title lie outside the plot-area edge: leftwards or upwards for the left
    // and top axes, rightwards or downwards for the others.
    int32_t edge = chart_rect.Bottom;
    int64_t outward = 1;
    switch (kind_) {
    case akLeft:
        edge = chart_rect.Left;
        outward = -1;
        break;
    case akRight:
        edge = chart_rect.Right;
        break;
    case akTop:
        edge = chart_rect.Top;
        outward = -1;
        break;
    default:
        break;
    }
    const auto clamp32 = [](int64_t value) {
        return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                        std::numeric_limits<int32_t>::max()));
    };
    const int64_t zone = TickZone();
    pos_axis_ = edge;
    pos_labels_ = clamp32(edge + outward * zone);
    pos_title_ = clamp32(edge + outward * (zone + label_space_));
}

// --- mapping ---

int32_t TPlotAxis::CalcXPosValue(double value) const {
    return XMapping().Map(value);
}

int32_t TPlotAxis::CalcYPosValue(double value) const {
    return YMapping().Map(value);
}

int32_t TPlotAxis::CalcPosValue(double value) const {
    return Horizontal() ? CalcXPosValue(value) : CalcYPosValue(value);
}

double TPlotAxis::CalcPosPoint(int32_t screen_pos) const {
    if (i_axis_size_ <= 0) {
        return 0.0;
    }
    if (chart_ != nullptr && chart_->Layout().View3D) {
        // In 3D the mouse is read on the front plane, where the axes map values.
        const double p = FrontPlanePos(chart_->Layout().Frame3D, Horizontal(), screen_pos);
        const double d = inverted_ ? i_end_pos_ - p : p - i_start_pos_;
        const double a = d * i_range_ / i_axis_size_;
        return Horizontal() ? i_minimum_ + a : i_maximum_ - a;
    }
    const int64_t d =
        inverted_ ? int64_t{i_end_pos_} - screen_pos : int64_t{screen_pos} - i_start_pos_;
    const double a = static_cast<double>(d) * i_range_ / i_axis_size_;
    return Horizontal() ? i_minimum_ + a : i_maximum_ - a;
}

} // namespace chart
