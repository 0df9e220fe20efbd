// The series classes: TPlotElement <- TPlotCustomSeries <- TPlotSeries <- TPlotCustomLineSeries
// <- TPlotPointSeries <- TPlotLineSeries.
//
// Contract:
// - User-interface thread only; no locks.
// - A series is a component owned by whoever created it (the main window); a chart refers to
//   the series in its list without owning them. Destroying either side detaches the other.
// - Every change that must become visible asks the chart to repaint later (TPlot::Invalidate);
//   nothing here paints. Repaint does nothing for a series without a chart, an inactive
//   series, or one whose chart is being destroyed.
// - Indexes are checked: reads outside the points give 0.0, writes outside are ignored.
// - Pixel mappings use the axis geometry of the chart's last layout.
#pragma once

#include "base/colors.h"
#include "base/component.h"
#include "chart/column_cache.h"
#include "chart/graphics.h"
#include "chart/value_list.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace chart {

class TPlot;
class TPlotAxis;

enum THorizAxis : uint8_t { aTopAxis, aBottomAxis, aBothHorizAxis, aCustomHorizAxis };
enum TVertAxis : uint8_t { aLeftAxis, aRightAxis, aBothVertAxis, aCustomVertAxis };
enum TValueEvent : uint8_t { veClear, veAdd, veDelete, veRefresh, veModify };
enum TTreatNulls : uint8_t { tnDontPaint, tnSkip, tnIgnore };
enum TSeriesPointerStyle : uint8_t {
    psRectangle,
    psCircle,
    psTriangle,
    psDownTriangle,
    psCross,
    psDiagCross,
    psStar,
    psDiamond,
    psSmallDot
};

// Anything drawn on a chart: active flag, parent chart, pen and brush.
class TPlotElement : public base::TComponent {
public:
    explicit TPlotElement(base::TComponent* owner = nullptr);
    ~TPlotElement() override;

    bool Active() const { return active_; }
    virtual void SetActive(bool value);
    TPlot* ParentChart() const { return parent_chart_; }
    // Joins (or with nullptr leaves) a chart; the chart lists the series at its end.
    virtual void SetParentChart(TPlot* chart);

    TPlotPen& Pen() { return pen_; }
    const TPlotPen& Pen() const { return pen_; }
    TPlotBrush& Brush() { return brush_; }
    const TPlotBrush& Brush() const { return brush_; }

    // Asks the parent chart to repaint later; nothing without a chart, while inactive, or
    // while the chart is being destroyed.
    void Repaint();

protected:
    // Called by the chart when it drops the series (chart destroyed): forget it, no call back.
    void DetachFromChart() { parent_chart_ = nullptr; }
    friend class TPlot;

    bool active_ = true;
    TPlot* parent_chart_ = nullptr;
    TPlotPen pen_;
    TPlotBrush brush_;
};

class TPlotCustomSeries : public TPlotElement {
public:
    using TPlotElement::TPlotElement;

    const std::string& Title() const { return title_; }
    void SetTitle(std::string title);
    bool ShowInLegend() const { return show_in_legend_; }
    void SetShowInLegend(bool value);

private:
    std::string title_;
    bool show_in_legend_ = true;
};

// The data, axes and notifications of a series.
class TPlotSeries : public TPlotCustomSeries {
public:
    explicit TPlotSeries(base::TComponent* owner = nullptr);
    ~TPlotSeries() override;

    void SetActive(bool value) override;
    void SetParentChart(TPlot* chart) override;

    // --- data ---
    TPlotValueList& XValues() { return *x_values_; }
    const TPlotValueList& XValues() const { return *x_values_; }
    TPlotValueList& YValues() { return *y_values_; }
    const TPlotValueList& YValues() const { return *y_values_; }
    // Every value list of the series in creation order (X, Y, then any further ones).
    const std::vector<TPlotValueList*>& ValuesLists() const { return values_lists_; }
    // The list that the mandatory values live in (Y for every line series).
    TPlotValueList& MandatoryValueList() { return y_mandatory_ ? *y_values_ : *x_values_; }
    TPlotValueList& NotMandatoryValueList() { return y_mandatory_ ? *x_values_ : *y_values_; }
    bool YMandatory() const { return y_mandatory_; }

    int32_t Count() const { return x_values_->Count(); }

    // Adds one point in X order; returns its index, or -1 when OnBeforeAdd vetoes.
    int32_t AddXY(double x, double y, const std::string& label = std::string(),
                  base::TColor color = base::clAutoColor);
    // Removes all points and repaints.
    virtual void Clear();
    // Removes one point (ignored outside the points).
    void Delete(int32_t index);

    [[nodiscard]] virtual double GetxValue(int32_t index) const;
    [[nodiscard]] virtual double GetyValue(int32_t index) const;
    // Overwrite one value and repaint; no reordering, no notification of dependants.
    void SetXValue(int32_t index, double value);
    void SetYValue(int32_t index, double value);

    // The lowest Y, skipping null points unless TreatNulls is tnIgnore; 0.0 when none counts.
    [[nodiscard]] virtual double MinYValue() const;
    [[nodiscard]] virtual double MaxYValue() const;
    [[nodiscard]] virtual double MinXValue() const;
    [[nodiscard]] virtual double MaxXValue() const;

    // Per-point labels: "" for a point without one.
    [[nodiscard]] std::string Label(int32_t index) const;
    // True when some point carries a non-empty label.
    [[nodiscard]] bool HasLabels() const;
    // Per-point colour as stored (clAutoColor when none).
    [[nodiscard]] base::TColor PointColor(int32_t index) const;
    bool HasColors() const { return colors_ != nullptr; }

    base::TColor SeriesColor() const { return series_color_; }
    void SetSeriesColor(base::TColor color);
    bool ColorEachPoint() const { return color_each_point_; }
    void SetColorEachPoint(bool value);

    // The colour a point is drawn in (own colour, palette colour or SeriesColor).
    [[nodiscard]] virtual base::TColor GetValueColor(int32_t index) const;
    [[nodiscard]] bool IsNull(int32_t index) const;

    virtual TTreatNulls TreatNulls() const { return tnDontPaint; }

    // --- batches ---
    void BeginUpdate();
    void EndUpdate();
    int32_t UpdateCount() const { return update_count_; }

    bool ManualData() const { return manual_data_; }
    void SetManualData(bool value) { manual_data_ = value; }
    int32_t FirstValueIndex() const { return first_value_index_; }
    int32_t LastValueIndex() const { return last_value_index_; }
    void SetValueIndexRange(int32_t first, int32_t last);

    // --- axes ---
    THorizAxis HorizAxis() const { return horiz_axis_; }
    void SetHorizAxis(THorizAxis value);
    TVertAxis VertAxis() const { return vert_axis_; }
    void SetVertAxis(TVertAxis value);
    TPlotAxis* CustomHorizAxis() const { return custom_horiz_axis_; }
    TPlotAxis* CustomVertAxis() const { return custom_vert_axis_; }
    // Uses axis for the vertical values (aCustomVertAxis), or with nullptr the left axis.
    void SetCustomVertAxis(TPlotAxis* axis);
    // Uses axis for the horizontal values (aCustomHorizAxis), or with nullptr the bottom axis.
    void SetCustomHorizAxis(TPlotAxis* axis);
    // The resolved axes (nullptr without a chart).
    TPlotAxis* GetHorizAxis() const { return get_horiz_axis_; }
    TPlotAxis* GetVertAxis() const { return get_vert_axis_; }
    [[nodiscard]] virtual bool AssociatedToAxis(const TPlotAxis& axis) const;
    void RecalcGetAxis();

    // --- coordinates (axis geometry of the last layout; 0 without an axis) ---
    [[nodiscard]] virtual int32_t CalcXPos(int32_t index) const;
    [[nodiscard]] virtual int32_t CalcYPos(int32_t index) const;
    [[nodiscard]] int32_t CalcXPosValue(double value) const;
    [[nodiscard]] int32_t CalcYPosValue(double value) const;
    [[nodiscard]] double XScreenToValue(int32_t screen_pos) const;
    [[nodiscard]] double YScreenToValue(int32_t screen_pos) const;

    // --- events (none assigned by the program) ---
    std::function<bool(TPlotSeries&)> OnBeforeAdd;         // false vetoes the addition
    std::function<void(TPlotSeries&, int32_t)> OnAfterAdd; // index of the new point
    std::function<void(TPlotSeries&)> OnClearValues;

protected:
    // Tells dependent series of a change; a hook here (no series has dependants).
    virtual void NotifyValue(TValueEvent event, int32_t index);
    virtual void NotifyNewValue(int32_t index);
    // Marks drawing caches stale after the points changed wholesale.
    virtual void DataChanged() {}

private:
    friend class TPlotValueList;
    friend class TPlot;
    // The chart is being destroyed: forget it and any of its axes.
    void ChartGone(const TPlot& chart);
    void RegisterValueList(TPlotValueList* list) { values_lists_.push_back(list); }
    void ValueListChanged(TValueEvent event, int32_t index) { NotifyValue(event, index); }

    std::vector<TPlotValueList*> values_lists_; // registered by each list, X first
    std::unique_ptr<TPlotValueList> x_values_;
    std::unique_ptr<TPlotValueList> y_values_;
    bool y_mandatory_ = true;
    std::vector<std::string> labels_;                   // empty until a point has a label
    std::unique_ptr<std::vector<base::TColor>> colors_; // none until a point has a colour
    base::TColor series_color_ = base::clAutoColor;
    bool color_each_point_ = false;
    int32_t update_count_ = 0;
    bool manual_data_ = false;
    int32_t first_value_index_ = -1;
    int32_t last_value_index_ = -1;
    THorizAxis horiz_axis_ = aBottomAxis;
    TVertAxis vert_axis_ = aLeftAxis;
    TPlotAxis* custom_horiz_axis_ = nullptr;
    TPlotAxis* custom_vert_axis_ = nullptr;
    TPlotAxis* get_horiz_axis_ = nullptr;
    TPlotAxis* get_vert_axis_ = nullptr;
};

class TPlotCustomLineSeries : public TPlotSeries {
public:
    using TPlotSeries::TPlotSeries;

    TTreatNulls TreatNulls() const override { return treat_nulls_; }
    void SetTreatNulls(TTreatNulls value);

private:
    TTreatNulls treat_nulls_ = tnDontPaint;
};

// The point marks drawn at each point of a point or line series.
struct TSeriesPointer {
    bool Visible = true;
    TSeriesPointerStyle Style = psRectangle;
    int32_t HorizSize = 4;
    int32_t VertSize = 4;
    bool operator==(const TSeriesPointer&) const = default;
};

class TPlotPointSeries : public TPlotCustomLineSeries {
public:
    explicit TPlotPointSeries(base::TComponent* owner = nullptr);

    TPlotPen& LinePen() { return line_pen_; }
    const TPlotPen& LinePen() const { return line_pen_; }
    TSeriesPointer& Pointer() { return pointer_; }
    const TSeriesPointer& Pointer() const { return pointer_; }
    bool Stacked() const { return false; }
    // In 3D the series is a flat line on the front plane, where the mouse is read, instead
    // of a ribbon at its own depth: for cursor and marker lines.
    bool OnFrontPlane() const { return on_front_plane_; }
    void SetOnFrontPlane(bool value);

    // The pixel-column runs the painter draws, kept between paints.
    ColumnCache& DrawCache() const { return draw_cache_; }

    // Drawing caches are stale (points cleared or changed wholesale).
    bool Dirty() const { return dirty_; }
    void SetDirty(bool value) { dirty_ = value; }

protected:
    void DataChanged() override { dirty_ = true; }

private:
    TPlotPen line_pen_;
    TSeriesPointer pointer_;
    bool on_front_plane_ = false;
    bool dirty_ = true;
    mutable ColumnCache draw_cache_; // what the paint draws, not part of the series' state
};

// The series kind the main window uses for every curve and marker line.
class TPlotLineSeries : public TPlotPointSeries {
public:
    explicit TPlotLineSeries(base::TComponent* owner = nullptr);
};

} // namespace chart
