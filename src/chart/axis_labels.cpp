// The label side of TPlotAxis: the label step (CalcIncrement and the 1-2-5 walk), the label
// walk from the top of the range downwards, label texts and the widest-label measure.
#include "base/conversions.h"
#include "chart/axis.h"
#include "chart/plot.h"
#include "chart/series.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace chart {

namespace {

// Width of a label, which may hold several lines.
int32_t TextWidthOf(TCanvas& canvas, const std::string& text) {
    int32_t widest = 0;
    size_t start = 0;
    while (true) {
        const size_t end = text.find('\n', start);
        const std::string_view line(text.data() + start,
                                    (end == std::string::npos ? text.size() : end) - start);
        widest = std::max(widest, canvas.TextWidth(line));
        if (end == std::string::npos) {
            return widest;
        }
        start = end + 1;
    }
}

int32_t LineCount(const std::string& text) {
    return 1 + static_cast<int32_t>(std::count(text.begin(), text.end(), '\n'));
}

// A value between a and b with decimals, so that its label is as wide as a decimal label
// of the range can be: the middle, halved while it is a whole number other than 0.
double MiddleWithDecimals(double a, double b) {
    double m = (a + b) / 2;
    for (int guard = 0; guard < 2200 && std::isfinite(m) && m != 0 && m == std::trunc(m); ++guard) {
        m /= 2;
    }
    return m;
}

double RoundToDouble(double value) {
    return static_cast<double>(base::Round(value));
}

} // namespace

// --- label step ---

double TPlotAxis::NextStep(double step) {
    if (std::isinf(step)) {
        return 1.0;
    }
    if (!(step > 0)) {
        return MinAxisIncrement;
    }
    if (step >= 10) {
        return 10 * NextStep(step / 10);
    }
    if (step < 1) {
        return NextStep(step * 10) / 10;
    }
    if (step < 2) {
        return 2;
    }
    if (step < 5) {
        return 5;
    }
    return 10;
}

bool TPlotAxis::AnySeriesWithFewPoints(int32_t max_points) const {
    if (chart_ == nullptr) {
        return false;
    }
    for (const TPlotSeries* s : chart_->SeriesList()) {
        if (s->Active() && s->AssociatedToAxis(*this) && XValuesOnThisAxis(*s) &&
            s->Count() <= max_points) {
            return true;
        }
    }
    return false;
}

double TPlotAxis::CalcLabelsIncrement(int32_t max_num_labels, double desired) const {
    if (max_num_labels < 1) {
        return MinAxisIncrement;
    }
    double step;
    if (desired > 0) {
        step = desired;
    } else {
        step = i_range_ == 0 ? 1.0 : std::fabs(i_range_) / (max_num_labels + 1.0);
    }
    // An axis carrying few points of integer positions gets no fractional steps.
    if (i_range_ >= 1.1 && AnySeriesWithFewPoints(max_num_labels)) {
        step = std::max(step, 1.0);
    }
    if (labels_separation_ > 0) {
        bool too_many = false;
        // Each pass at least doubles the step, so the walk ends within a few thousand
        // passes even for an infinite range; the guard only backs that up.
        int guard = 0;
        do {
            const double quotient = i_range_ / step;
            if (quotient >= 2147483647.0) {
                too_many = true;
            } else {
                too_many = base::Round(quotient) > max_num_labels;
            }
            if (too_many) {
                step = NextStep(step);
            }
        } while (too_many && step <= i_range_ && std::isfinite(step) && ++guard < 10000);
    }
    if (std::isinf(step)) {
        step = i_range_;
    } else if (!(step >= MinAxisIncrement)) {
        step = MinAxisIncrement;
    }
    return step;
}

int32_t TPlotAxis::LabelSize(TCanvas& canvas, double value) const {
    const std::string text = LabelValue(value);
    if (Horizontal()) {
        return TextWidthOf(canvas, text);
    }
    return canvas.TextHeight("W") * LineCount(text);
}

int32_t TPlotAxis::MaxLabelsCount(TCanvas& canvas, bool integer_measure) const {
    int32_t max_size = 0;
    if (integer_measure) {
        const double lo = RoundToDouble(i_minimum_);
        const double hi = std::trunc(i_maximum_);
        for (double v : {lo, hi, MiddleWithDecimals(lo, hi), hi - 1, lo + 1}) {
            max_size = std::max(max_size, LabelSize(canvas, v));
        }
    } else {
        for (double v : {i_minimum_, MiddleWithDecimals(i_minimum_, i_maximum_), i_maximum_}) {
            max_size = std::max(max_size, LabelSize(canvas, v));
        }
    }
    if (max_size <= 0 || i_axis_size_ <= 0) {
        return 1;
    }
    double divisor = max_size;
    if (labels_separation_ > 0) {
        divisor += RoundToDouble(labels_separation_ * 0.01 * max_size);
    }
    return static_cast<int32_t>(base::Round(i_axis_size_ / divisor));
}

double TPlotAxis::CalcIncrementPass(TCanvas& canvas, bool integer_measure) {
    const int32_t n = MaxLabelsCount(canvas, integer_measure);
    return CalcLabelsIncrement(n, integer_measure ? 1.0 : desired_increment_);
}

double TPlotAxis::CalcIncrement(TCanvas& canvas) {
    canvas.SetFont(labels_font_);
    double step = CalcIncrementPass(canvas, false);
    // Whole-number labels are narrower than the decimal ones measured first, so more of
    // them may fit: measure again as if the step were 1.
    if (!labels_alternate_ && desired_increment_ == 0 && step >= 2) {
        step = CalcIncrementPass(canvas, true);
    }
    if (labels_alternate_) {
        step /= logarithmic_ ? logarithmic_base_ : 2.0;
    }
    return step;
}

// --- labels ---

TAxisLabelStyle TPlotAxis::CalcLabelStyle() const {
    return label_style_ == talAuto ? InternalCalcLabelStyle() : label_style_;
}

TAxisLabelStyle TPlotAxis::InternalCalcLabelStyle() const {
    if (chart_ == nullptr) {
        return talValue;
    }
    TAxisLabelStyle style = talNone;
    for (const TPlotSeries* s : chart_->SeriesList()) {
        if (!s->Active() || !s->AssociatedToAxis(*this)) {
            continue;
        }
        if (XValuesOnThisAxis(*s) && s->HasLabels()) {
            return talText;
        }
        style = talValue;
    }
    return style;
}

std::string TPlotAxis::LabelValue(double value) const {
    std::string text = base::FormatFloat(axis_values_format_, value);
    if (chart_ != nullptr && chart_->OnGetAxisLabel) {
        chart_->OnGetAxisLabel(*this, nullptr, -1, text);
    }
    if (labels_multi_line_) {
        std::replace(text.begin(), text.end(), ' ', '\n');
    }
    return text;
}

void TPlotAxis::AddLabel(double value) {
    const int32_t pos = CalcPosValue(value);
    if (labels_on_axis_ || (i_start_pos_ < pos && pos < i_end_pos_)) {
        tick_.push_back(pos);
        label_list_.push_back({value, pos, labels_ ? LabelValue(value) : std::string()});
    }
}

void TPlotAxis::CalcLabels(TCanvas& canvas) {
    const TAxisLabelStyle style = CalcLabelStyle();
    if (style == talValue) {
        CalcLabels(CalcIncrement(canvas));
    } else if (style == talNone) {
        ClearLabels();
    } else {
        CalcTextLabels();
    }
}

// Labels from the point labels of the first series that has some on this axis.
void TPlotAxis::CalcTextLabels() {
    ClearLabels();
    if (chart_ == nullptr) {
        return;
    }
    for (const TPlotSeries* s : chart_->SeriesList()) {
        if (!s->Active() || !s->AssociatedToAxis(*this) || !XValuesOnThisAxis(*s) ||
            !s->HasLabels()) {
            continue;
        }
        for (int32_t i = 0; i < s->Count(); ++i) {
            std::string text = s->Label(i);
            if (text.empty()) {
                continue;
            }
            const double value = s->GetxValue(i);
            const int32_t pos = CalcPosValue(value);
            if (labels_on_axis_ || (i_start_pos_ < pos && pos < i_end_pos_)) {
                if (chart_->OnGetAxisLabel) {
                    chart_->OnGetAxisLabel(*this, s, i, text);
                }
                tick_.push_back(pos);
                label_list_.push_back({value, pos, labels_ ? std::move(text) : std::string()});
            }
        }
        return;
    }
}

void TPlotAxis::ClearLabels() {
    tick_.clear();
    label_list_.clear();
}

void TPlotAxis::CalcLabels(double increment) {
    ClearLabels();
    const double inc = increment;
    // A zero, negative or non-finite step, or too many labels: the axis shows none.
    if (!(inc > 0) || !std::isfinite(inc) || !(std::fabs(i_range_ / inc) < kMaxLabels)) {
        return;
    }
    double v = i_maximum_;
    if (round_first_label_ && base::FloatToStr(i_minimum_) != base::FloatToStr(i_maximum_)) {
        v = std::trunc(i_maximum_ / inc) * inc;
    }
    for (int guard = 0; v > i_maximum_ && guard < 16; ++guard) {
        v -= inc;
    }
    if (!std::isfinite(v)) {
        return;
    }
    if (i_range_zero_ || std::fabs(i_maximum_ - i_minimum_) < MinAxisRange ||
        base::FloatToStr(v) == base::FloatToStr(v - inc)) {
        AddLabel(v);
        return;
    }
    const double lower_limit =
        i_minimum_ >= 0 ? (i_minimum_ - MinAxisIncrement) / (1 + MinAxisIncrement) : i_minimum_;
    // The label count is below kMaxLabels by the test above; the bound guards against a
    // subtraction that stops making progress.
    for (int guard = 0; v >= lower_limit && guard <= kMaxLabels + 1; ++guard) {
        AddLabel(v);
        const double tolerance =
            std::max(MinAxisIncrement, MinAxisIncrement * std::min(std::fabs(v), std::fabs(inc)));
        v = std::fabs(v - inc) <= tolerance ? 0.0 : v - inc;
    }
}

int32_t TPlotAxis::MaxLabelsWidth(TCanvas& canvas, double increment) const {
    if (!(increment > 0) || !std::isfinite(increment)) {
        return std::max(TextWidthOf(canvas, LabelValue(i_minimum_)),
                        TextWidthOf(canvas, LabelValue(i_maximum_)));
    }
    double hi = i_maximum_;
    double lo = i_minimum_;
    if (round_first_label_) {
        hi = std::trunc(i_maximum_ / increment) * increment;
        lo = std::trunc(i_minimum_ / increment) * increment;
    }
    constexpr int64_t kMaxMeasured = 5000;
    const double steps = std::floor((hi - lo) / increment + 1e-9);
    int64_t count = 0;
    if (steps >= 0) {
        count = steps < kMaxMeasured ? static_cast<int64_t>(steps) + 1 : kMaxMeasured;
    }
    int32_t widest = 0;
    for (int64_t k = 0; k < count; ++k) {
        widest = std::max(widest, TextWidthOf(canvas, LabelValue(hi - k * increment)));
    }
    return widest;
}

int32_t TPlotAxis::TextLabelsWidth(TCanvas& canvas) {
    CalcTextLabels();
    int32_t widest = 0;
    for (const TAxisLabel& label : label_list_) {
        widest = std::max(widest, TextWidthOf(canvas, label.Text));
    }
    return widest;
}

} // namespace chart
