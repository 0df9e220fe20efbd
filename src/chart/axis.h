// TPlotAxis: a value range along one edge of the plot area, the mapping between values and
// pixels, and the choice of label step, label positions and label texts.
//
// Contract:
// - User-interface thread only; no locks.
// - The axis belongs to its chart (TPlot owns its six axes). Property setters that change a
//   value ask the chart to repaint later; setters with a range check raise AxisException
//   and leave the property unchanged, except while the chart is loading.
// - The internal state (IMinimum ... IAxisSizeRange, PosAxis/PosLabels/PosTitle, Tick) is
//   the geometry of the last layout; it is zero before the first one, and the mapping
//   functions read it.
// - Mapping never produces undefined values: pixels saturate to +/-kPixelLimit, NaN maps to
//   the centre pixel, and no label loop runs forever on infinite, NaN or zero steps. Extents
//   and zone sizes from absurd settings (positions, offsets, tick lengths) saturate the same
//   way instead of overflowing.
#pragma once

#include "base/exceptions.h"
#include "chart/canvas.h"
#include "chart/graphics.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace chart {

class TPlot;
class TPlotSeries;

class AxisException : public base::Exception {
public:
    using base::Exception::Exception;
};

enum TAxisKind : uint8_t { akBottom, akTop, akLeft, akRight, akDepth, akDepthTop };

enum TAxisLabelStyle : uint8_t { talAuto, talNone, talValue, talMark, talText, talPointValue };

// The axis line pen: width 2, black.
struct TPlotAxisPen : TPlotPen {
    TPlotAxisPen() { Width = 2; }
};

// Grid lines: grey, dotted, every label.
struct TAxisGridPen : TPlotPen {
    TAxisGridPen() {
        Color = base::clGray;
        Style = psDot;
    }
    int32_t DrawEvery = 1;
    bool Centered = false;
    bool operator==(const TAxisGridPen&) const = default;
};

struct TAxisTitle {
    std::string Caption;
    TPlotFont Font;
    int32_t Angle = 0;
    bool Visible = true;
    bool operator==(const TAxisTitle&) const = default;
};

// One label or tick found by the label walk.
struct TAxisLabel {
    double Value = 0.0;
    int32_t Pos = 0;  // pixel along the axis
    std::string Text; // empty when Labels is off
};

// One axis' value-to-pixel mapping, copied out of the last layout for tight loops over many
// points; Map gives what CalcXPosValue / CalcYPosValue give.
struct TAxisMapping {
    double Minimum = 0.0;
    double SizeRange = 0.0;
    int32_t Start = 0;
    int32_t End = 0;
    int32_t Center = 0;
    bool RangeZero = true;
    bool FromEnd = false; // pixels count back from End

    [[nodiscard]] int32_t Map(double value) const {
        if (RangeZero) {
            return Center;
        }
        const double t = (value - Minimum) * SizeRange;
        if (std::isnan(t)) {
            return Center;
        }
        return PixelFrom(t);
    }
    [[nodiscard]] int32_t PixelFrom(double offset) const;
};

class TPlotAxis {
public:
    static constexpr double MinAxisRange = 1e-10;
    static constexpr double MinAxisIncrement = 1e-12;
    // Above this many labels the axis shows none (nor ticks or grid lines).
    static constexpr double kMaxLabels = 10000;
    // Pixels saturate here: far outside any control, inside every painter's range.
    static constexpr int32_t kPixelLimit = 1 << 22;

    TPlotAxis(TPlot* chart, TAxisKind kind);
    TPlotAxis(const TPlotAxis&) = delete;
    TPlotAxis& operator=(const TPlotAxis&) = delete;
    virtual ~TPlotAxis();

    TPlot* ParentChart() const { return chart_; }
    TAxisKind Kind() const { return kind_; }
    // "Bottom", "Top", "Left", "Right", "Depth", "DepthTop".
    const char* Identifier() const;
    bool Horizontal() const { return kind_ == akBottom || kind_ == akTop; }
    bool OtherSide() const { return kind_ == akTop || kind_ == akRight; }
    bool IsDepthAxis() const { return kind_ == akDepth || kind_ == akDepthTop; }

    // --- range ---
    // Makes the axis manual and sets its range: ends swapped when reversed, a range below
    // MinAxisRange widened. Never fails.
    void SetMinMax(double a_min, double a_max);
    double Minimum() const { return minimum_value_; }
    double Maximum() const { return maximum_value_; }
    void SetMinimum(double value);
    void SetMaximum(double value);
    bool Automatic() const { return automatic_; }
    void SetAutomatic(bool value);
    bool AutomaticMinimum() const { return automatic_minimum_; }
    void SetAutomaticMinimum(bool value);
    bool AutomaticMaximum() const { return automatic_maximum_; }
    void SetAutomaticMaximum(bool value);
    double Increment() const { return desired_increment_; }
    void SetIncrement(double value);
    bool Inverted() const { return inverted_; }
    virtual void SetInverted(bool value);
    bool Logarithmic() const { return logarithmic_; }
    void SetLogarithmic(bool value);
    double LogarithmicBase() const { return logarithmic_base_; }
    void SetLogarithmicBase(double value);
    bool DateTime() const { return date_time_; }
    void SetDateTime(bool value);
    bool MaximumRound() const { return maximum_round_; }
    void SetMaximumRound(bool value);
    bool MinimumRound() const { return minimum_round_; }
    void SetMinimumRound(bool value);

    // --- placement ---
    bool Visible() const { return visible_; }
    void SetVisible(bool value);
    double StartPosition() const { return start_position_; }
    void SetStartPosition(double value);
    double EndPosition() const { return end_position_; }
    void SetEndPosition(double value);
    double PositionPercent() const { return position_percent_; }
    void SetPositionPercent(double value);
    int32_t MinimumOffset() const { return minimum_offset_; }
    void SetMinimumOffset(int32_t value);
    int32_t MaximumOffset() const { return maximum_offset_; }
    void SetMaximumOffset(int32_t value);

    // --- pens and ticks (edit in place, then invalidate the chart) ---
    TPlotAxisPen& Axis() { return axis_pen_; }
    const TPlotAxisPen& Axis() const { return axis_pen_; }
    TAxisGridPen& Grid() { return grid_; }
    const TAxisGridPen& Grid() const { return grid_; }
    TPlotPen& MinorGrid() { return minor_grid_; }
    const TPlotPen& MinorGrid() const { return minor_grid_; }
    TPlotPen& Ticks() { return ticks_; }
    const TPlotPen& Ticks() const { return ticks_; }
    TPlotPen& TicksInner() { return ticks_inner_; }
    const TPlotPen& TicksInner() const { return ticks_inner_; }
    TPlotPen& MinorTicks() { return minor_ticks_; }
    const TPlotPen& MinorTicks() const { return minor_ticks_; }
    int32_t TickLength() const { return tick_length_; }
    void SetTickLength(int32_t value);
    int32_t TickInnerLength() const { return tick_inner_length_; }
    void SetTickInnerLength(int32_t value);
    int32_t MinorTickLength() const { return minor_tick_length_; }
    void SetMinorTickLength(int32_t value);
    int32_t MinorTickCount() const { return minor_tick_count_; }
    void SetMinorTickCount(int32_t value);
    bool TickOnLabelsOnly() const { return tick_on_labels_only_; }
    void SetTickOnLabelsOnly(bool value);

    // --- labels ---
    bool Labels() const { return labels_; }
    void SetLabels(bool value);
    TPlotFont& LabelsFont() { return labels_font_; }
    const TPlotFont& LabelsFont() const { return labels_font_; }
    int32_t LabelsSeparation() const { return labels_separation_; }
    void SetLabelsSeparation(int32_t value);
    bool LabelsOnAxis() const { return labels_on_axis_; }
    void SetLabelsOnAxis(bool value);
    bool LabelsAlternate() const { return labels_alternate_; }
    void SetLabelsAlternate(bool value);
    bool LabelsMultiLine() const { return labels_multi_line_; }
    void SetLabelsMultiLine(bool value);
    bool LabelsExponent() const { return labels_exponent_; }
    void SetLabelsExponent(bool value);
    bool LabelsBehind() const { return labels_behind_; }
    void SetLabelsBehind(bool value);
    int32_t LabelsAngle() const { return labels_angle_; }
    void SetLabelsAngle(int32_t value);
    TAxisLabelStyle LabelStyle() const { return label_style_; }
    void SetLabelStyle(TAxisLabelStyle value);
    bool RoundFirstLabel() const { return round_first_label_; }
    void SetRoundFirstLabel(bool value);
    const std::string& AxisValuesFormat() const { return axis_values_format_; }
    void SetAxisValuesFormat(std::string value);
    TAxisTitle& Title() { return title_; }
    const TAxisTitle& Title() const { return title_; }

    // --- layout (driven by the chart) ---
    // Step 1: the range in use for this layout (automatic ends resolved first).
    void InternalCalcRange();
    // Step 2: pixel extent from the plot area and StartPosition/EndPosition.
    void InternalCalcPositions(const TRect& chart_rect);
    // Sets the pixel extent directly and the quantities derived from it.
    void SetPositions(int32_t start_pos, int32_t end_pos);
    // Step 3: pixels the axis takes outside the plot area (title, labels, ticks).
    [[nodiscard]] int32_t CalcSpace(TCanvas& canvas);
    // The tick zone: axis line width + 1, plus TickLength, at least MinorTickLength.
    [[nodiscard]] int32_t TickZone() const;
    // Step 4: the axis line, label line and title line from the plot area's edge (uses the
    // label space found by the last CalcSpace).
    void CalcPosAxis(const TRect& chart_rect);
    // The automatic ends from the series (only for an automatic axis).
    void AdjustMaxMin();

    // --- state of the last layout ---
    double IMinimum() const { return i_minimum_; }
    double IMaximum() const { return i_maximum_; }
    double IRange() const { return i_range_; }
    bool IRangeZero() const { return i_range_zero_; }
    int32_t IStartPos() const { return i_start_pos_; }
    int32_t IEndPos() const { return i_end_pos_; }
    int32_t IAxisSize() const { return i_axis_size_; }
    int32_t ICenterPos() const { return i_center_pos_; }
    double IAxisSizeRange() const { return i_axis_size_range_; }
    // The mapping CalcXPosValue (horizontal) or CalcYPosValue (vertical) uses.
    [[nodiscard]] TAxisMapping XMapping() const { return Mapping(inverted_); }
    [[nodiscard]] TAxisMapping YMapping() const { return Mapping(!inverted_); }
    int32_t PosAxis() const { return pos_axis_; }
    int32_t PosLabels() const { return pos_labels_; }
    int32_t PosTitle() const { return pos_title_; }
    bool IsVisible() const { return is_visible_; }
    void SetIsVisible(bool value) { is_visible_ = value; }
    // Ticks and labels found by the last label walk (CalcLabels).
    const std::vector<int32_t>& Tick() const { return tick_; }
    const std::vector<TAxisLabel>& LabelList() const { return label_list_; }

    // --- mapping ---
    [[nodiscard]] int32_t CalcXPosValue(double value) const;
    [[nodiscard]] int32_t CalcYPosValue(double value) const;
    [[nodiscard]] int32_t CalcPosValue(double value) const;
    // In 3D the screen position is read on the chart's front plane (where the values map).
    [[nodiscard]] double CalcPosPoint(int32_t screen_pos) const;

    // --- labels ---
    // The label step for the current range, extent and label font.
    [[nodiscard]] double CalcIncrement(TCanvas& canvas);
    // The step from the most labels that fit (N), starting from desired (0: from the range).
    [[nodiscard]] double CalcLabelsIncrement(int32_t max_num_labels, double desired) const;
    // The next step of the 1-2-5 sequence.
    [[nodiscard]] static double NextStep(double step);
    // The label style in force (talAuto resolved).
    [[nodiscard]] TAxisLabelStyle CalcLabelStyle() const;
    // Finds ticks and labels for the step (fills Tick and LabelList).
    void CalcLabels(TCanvas& canvas);
    void CalcLabels(double increment);
    void ClearLabels();
    // Text of a value label.
    [[nodiscard]] virtual std::string LabelValue(double value) const;
    // Width of the widest value label for the step (vertical axes' label zone).
    [[nodiscard]] int32_t MaxLabelsWidth(TCanvas& canvas, double increment) const;
    // Size of one label: width on a horizontal axis, lines x height of "W" on a vertical one.
    [[nodiscard]] int32_t LabelSize(TCanvas& canvas, double value) const;

protected:
    virtual TAxisLabelStyle InternalCalcLabelStyle() const;

private:
    void Changed(); // asks the chart to repaint
    bool ChartLoading() const;
    bool AnySeriesWithFewPoints(int32_t max_points) const;
    double CalcIncrementPass(TCanvas& canvas, bool integer_measure);
    int32_t MaxLabelsCount(TCanvas& canvas, bool integer_measure) const;
    void AddLabel(double value);
    void CalcTextLabels();
    // Width of the widest text label (fills the labels first).
    int32_t TextLabelsWidth(TCanvas& canvas);
    TAxisMapping Mapping(bool from_end) const {
        return TAxisMapping{i_minimum_,    i_axis_size_range_, i_start_pos_, i_end_pos_,
                            i_center_pos_, i_range_zero_,      from_end};
    }
    bool XValuesOnThisAxis(const TPlotSeries& series) const;

    TPlot* chart_;
    TAxisKind kind_;

    bool automatic_ = true;
    bool automatic_minimum_ = true;
    bool automatic_maximum_ = true;
    double minimum_value_ = 0.0;     // FMinimumValue
    double maximum_value_ = 0.0;     // FMaximumValue
    double desired_increment_ = 0.0; // FDesiredIncrement
    bool inverted_ = false;
    bool visible_ = true;
    bool logarithmic_ = false;
    double logarithmic_base_ = 10.0;
    bool date_time_ = false;
    double start_position_ = 0.0;
    double end_position_ = 100.0;
    double position_percent_ = 0.0;
    int32_t minimum_offset_ = 0;
    int32_t maximum_offset_ = 0;
    bool maximum_round_ = false;
    bool minimum_round_ = false;
    TPlotAxisPen axis_pen_;
    TAxisGridPen grid_;
    TPlotPen minor_grid_;
    TPlotPen ticks_;
    TPlotPen ticks_inner_;
    TPlotPen minor_ticks_;
    int32_t tick_length_ = 4;
    int32_t tick_inner_length_ = 0;
    int32_t minor_tick_length_ = 2;
    int32_t minor_tick_count_ = 3;
    bool tick_on_labels_only_ = true;
    bool labels_ = true;
    TPlotFont labels_font_;
    int32_t labels_separation_ = 10;
    bool labels_on_axis_ = true;
    bool labels_alternate_ = false;
    bool labels_multi_line_ = false;
    bool labels_exponent_ = false;
    bool labels_behind_ = false;
    int32_t labels_angle_ = 0;
    TAxisLabelStyle label_style_ = talAuto;
    bool round_first_label_ = true;
    std::string axis_values_format_ = "#,##0.###";
    TAxisTitle title_;

    // State of the last layout.
    double i_minimum_ = 0.0;
    double i_maximum_ = 0.0;
    double i_range_ = 0.0;
    bool i_range_zero_ = false;
    int32_t i_start_pos_ = 0;
    int32_t i_end_pos_ = 0;
    int32_t i_axis_size_ = 0;
    int32_t i_center_pos_ = 0;
    double i_axis_size_range_ = 0.0;
    int32_t pos_axis_ = 0;
    int32_t pos_labels_ = 0;
    int32_t pos_title_ = 0;
    int32_t label_space_ = 0; // label zone found by the last CalcSpace
    bool is_visible_ = false;
    std::vector<int32_t> tick_;
    std::vector<TAxisLabel> label_list_;
};

// The pixel at offset pixels from the start (or back from the end), the offset rounded half
// to even. Far-away values (a range of 1e-10 gives offsets near 1e17) saturate instead of
// overflowing the pixel type. Inline: the painter maps every point of a series through here.
inline int32_t TAxisMapping::PixelFrom(double offset) const {
    constexpr double kOffsetLimit = 2.0 * TPlotAxis::kPixelLimit;
    // Adding and taking away 1.5 * 2^52 rounds half to even in the default rounding mode,
    // exactly for |offset| below 2^51 (without fast-math nothing folds it away).
    constexpr double kRoundingBias = 6755399441055744.0;
    offset =
        offset < -kOffsetLimit ? -kOffsetLimit : (offset > kOffsetLimit ? kOffsetLimit : offset);
    const auto rounded = static_cast<int64_t>((offset + kRoundingBias) - kRoundingBias);
    const int64_t pixel = FromEnd ? int64_t{End} - rounded : int64_t{Start} + rounded;
    constexpr int64_t kLimit = TPlotAxis::kPixelLimit;
    return static_cast<int32_t>(pixel < -kLimit ? -kLimit : (pixel > kLimit ? kLimit : pixel));
}

} // namespace chart
