#include "chart/chart_settings.h"

#include <algorithm>

namespace chart {

namespace {

int32_t AxisIndex(const TPlot* chart, const TPlotAxis* axis) {
    if (chart == nullptr || axis == nullptr) {
        return SeriesSettings::kNoAxis;
    }
    for (int32_t i = 0; i < TPlot::kAxisCount; ++i) {
        if (&chart->Axes(i) == axis) {
            return i;
        }
    }
    return SeriesSettings::kNoAxis;
}

TPlotAxis* AxisAt(TPlot* chart, int32_t index) {
    if (chart == nullptr || index < 0 || index >= TPlot::kAxisCount) {
        return nullptr;
    }
    return &chart->Axes(index);
}

// Puts the chart in its loading state for the lifetime of the object, unless it is already
// loading: the setters then take stored values as they are.
class LoadingScope {
public:
    explicit LoadingScope(TPlot& chart) : chart_(chart), entered_(!chart.Loading()) {
        if (entered_) {
            chart_.BeginLoading();
        }
    }
    ~LoadingScope() {
        if (entered_) {
            chart_.base::TComponent::Loaded();
        }
    }
    LoadingScope(const LoadingScope&) = delete;
    LoadingScope& operator=(const LoadingScope&) = delete;

private:
    TPlot& chart_;
    bool entered_;
};

} // namespace

AxisSettings AxisSettings::Capture(const TPlotAxis& a) {
    AxisSettings s;
    s.Automatic = a.Automatic();
    s.AutomaticMinimum = a.AutomaticMinimum();
    s.AutomaticMaximum = a.AutomaticMaximum();
    s.Minimum = a.Minimum();
    s.Maximum = a.Maximum();
    s.Increment = a.Increment();
    s.Inverted = a.Inverted();
    s.Logarithmic = a.Logarithmic();
    s.LogarithmicBase = a.LogarithmicBase();
    s.DateTime = a.DateTime();
    s.MaximumRound = a.MaximumRound();
    s.MinimumRound = a.MinimumRound();
    s.Visible = a.Visible();
    s.StartPosition = a.StartPosition();
    s.EndPosition = a.EndPosition();
    s.PositionPercent = a.PositionPercent();
    s.MinimumOffset = a.MinimumOffset();
    s.MaximumOffset = a.MaximumOffset();
    s.Axis = a.Axis();
    s.Grid = a.Grid();
    s.MinorGrid = a.MinorGrid();
    s.Ticks = a.Ticks();
    s.TicksInner = a.TicksInner();
    s.MinorTicks = a.MinorTicks();
    s.TickLength = a.TickLength();
    s.TickInnerLength = a.TickInnerLength();
    s.MinorTickLength = a.MinorTickLength();
    s.MinorTickCount = a.MinorTickCount();
    s.TickOnLabelsOnly = a.TickOnLabelsOnly();
    s.Labels = a.Labels();
    s.LabelsFont = a.LabelsFont();
    s.LabelsSeparation = a.LabelsSeparation();
    s.LabelsOnAxis = a.LabelsOnAxis();
    s.LabelsAlternate = a.LabelsAlternate();
    s.LabelsMultiLine = a.LabelsMultiLine();
    s.LabelsExponent = a.LabelsExponent();
    s.LabelsBehind = a.LabelsBehind();
    s.LabelsAngle = a.LabelsAngle();
    s.LabelStyle = a.LabelStyle();
    s.RoundFirstLabel = a.RoundFirstLabel();
    s.AxisValuesFormat = a.AxisValuesFormat();
    s.Title = a.Title();
    return s;
}

// Runs with the chart loading (see ChartSettings::Apply), so no setter refuses a value.
void AxisSettings::Apply(TPlotAxis& a) const {
    a.SetMinimum(Minimum);
    a.SetMaximum(Maximum);
    // Each flag setter adjusts the others outside loading; the whole flag last, taken as is.
    a.SetAutomaticMinimum(AutomaticMinimum);
    a.SetAutomaticMaximum(AutomaticMaximum);
    a.SetAutomatic(Automatic);
    a.SetIncrement(Increment);
    a.SetInverted(Inverted);
    a.SetDateTime(DateTime);
    a.SetLogarithmicBase(LogarithmicBase);
    a.SetLogarithmic(Logarithmic);
    a.SetMaximumRound(MaximumRound);
    a.SetMinimumRound(MinimumRound);
    a.SetVisible(Visible);
    a.SetStartPosition(StartPosition);
    a.SetEndPosition(EndPosition);
    a.SetPositionPercent(PositionPercent);
    a.SetMinimumOffset(MinimumOffset);
    a.SetMaximumOffset(MaximumOffset);
    a.Axis() = Axis;
    a.Grid() = Grid;
    a.MinorGrid() = MinorGrid;
    a.Ticks() = Ticks;
    a.TicksInner() = TicksInner;
    a.MinorTicks() = MinorTicks;
    a.SetTickLength(TickLength);
    a.SetTickInnerLength(TickInnerLength);
    a.SetMinorTickLength(MinorTickLength);
    a.SetMinorTickCount(MinorTickCount);
    a.SetTickOnLabelsOnly(TickOnLabelsOnly);
    a.SetLabels(Labels);
    a.LabelsFont() = LabelsFont;
    a.SetLabelsSeparation(LabelsSeparation);
    a.SetLabelsOnAxis(LabelsOnAxis);
    a.SetLabelsAlternate(LabelsAlternate);
    a.SetLabelsMultiLine(LabelsMultiLine);
    a.SetLabelsExponent(LabelsExponent);
    a.SetLabelsBehind(LabelsBehind);
    a.SetLabelsAngle(LabelsAngle);
    a.SetLabelStyle(LabelStyle);
    a.SetRoundFirstLabel(RoundFirstLabel);
    a.SetAxisValuesFormat(AxisValuesFormat);
    a.Title() = Title;
}

SeriesSettings SeriesSettings::Capture(const TPlotSeries& series) {
    SeriesSettings s;
    s.Title = series.Title();
    s.ShowInLegend = series.ShowInLegend();
    s.Active = series.Active();
    s.SeriesColor = series.SeriesColor();
    s.ColorEachPoint = series.ColorEachPoint();
    s.Pen = series.Pen();
    s.Brush = series.Brush();
    s.HorizAxis = series.HorizAxis();
    s.VertAxis = series.VertAxis();
    s.CustomHorizAxis = AxisIndex(series.ParentChart(), series.CustomHorizAxis());
    s.CustomVertAxis = AxisIndex(series.ParentChart(), series.CustomVertAxis());
    s.XOrder = series.XValues().Order();
    s.YOrder = series.YValues().Order();
    if (const auto* line = dynamic_cast<const TPlotCustomLineSeries*>(&series)) {
        s.TreatNulls = line->TreatNulls();
    }
    if (const auto* points = dynamic_cast<const TPlotPointSeries*>(&series)) {
        s.LinePen = points->LinePen();
        s.Pointer = points->Pointer();
    }
    return s;
}

void SeriesSettings::Apply(TPlotSeries& series) const {
    series.SetTitle(Title);
    series.SetShowInLegend(ShowInLegend);
    series.SetActive(Active);
    series.SetSeriesColor(SeriesColor);
    series.SetColorEachPoint(ColorEachPoint);
    series.Pen() = Pen;
    series.Brush() = Brush;
    // Choosing a custom axis also sets the selector; the selector as stored goes last.
    series.SetCustomHorizAxis(AxisAt(series.ParentChart(), CustomHorizAxis));
    series.SetCustomVertAxis(AxisAt(series.ParentChart(), CustomVertAxis));
    series.SetHorizAxis(HorizAxis);
    series.SetVertAxis(VertAxis);
    series.XValues().SetOrder(XOrder);
    series.YValues().SetOrder(YOrder);
    if (auto* line = dynamic_cast<TPlotCustomLineSeries*>(&series)) {
        line->SetTreatNulls(TreatNulls);
    }
    if (auto* points = dynamic_cast<TPlotPointSeries*>(&series)) {
        points->LinePen() = LinePen;
        points->Pointer() = Pointer;
    }
}

ChartSettings ChartSettings::Capture(const TPlot& chart) {
    ChartSettings s;
    s.AxisVisible = chart.AxisVisible();
    s.AllowPanning = chart.AllowPanning();
    s.ZoomAllow = chart.ZoomAllow();
    s.Margins =
        TRect{chart.MarginLeft(), chart.MarginTop(), chart.MarginRight(), chart.MarginBottom()};
    s.BevelOuter = chart.BevelOuter();
    s.BevelWidth = chart.BevelWidth();
    s.ColorPaletteIndex = chart.ColorPaletteIndex();
    s.Gradient = chart.Gradient();
    s.BackWall = chart.BackWall();
    s.LeftWall = chart.LeftWall();
    s.RightWall = chart.RightWall();
    s.Title = chart.Title();
    s.SubTitle = chart.SubTitle();
    s.Foot = chart.Foot();
    s.SubFoot = chart.SubFoot();
    s.Legend = chart.Legend();
    s.DefaultFont = chart.DefaultFont();
    s.View3D = chart.View3D();
    s.View3DOptions = chart.View3DOptions();
    s.Chart3DPercent = chart.Chart3DPercent();
    for (int32_t i = 0; i < TPlot::kAxisCount; ++i) {
        s.Axes[i] = AxisSettings::Capture(chart.Axes(i));
    }
    s.Series.reserve(chart.SeriesList().size());
    for (const TPlotSeries* series : chart.SeriesList()) {
        s.Series.push_back(SeriesSettings::Capture(*series));
    }
    return s;
}

void ChartSettings::Apply(TPlot& chart) const {
    {
        const LoadingScope loading(chart);
        chart.SetAxisVisible(AxisVisible);
        chart.SetAllowPanning(AllowPanning);
        chart.SetZoomAllow(ZoomAllow);
        chart.SetMargins(Margins.Left, Margins.Top, Margins.Right, Margins.Bottom);
        chart.SetBevelOuter(BevelOuter);
        chart.SetBevelWidth(BevelWidth);
        chart.SetColorPaletteIndex(ColorPaletteIndex);
        chart.Gradient() = Gradient;
        chart.BackWall() = BackWall;
        chart.LeftWall() = LeftWall;
        chart.RightWall() = RightWall;
        chart.Title() = Title;
        chart.SubTitle() = SubTitle;
        chart.Foot() = Foot;
        chart.SubFoot() = SubFoot;
        chart.Legend() = Legend;
        chart.DefaultFont() = DefaultFont;
        for (int32_t i = 0; i < TPlot::kAxisCount; ++i) {
            Axes[i].Apply(chart.Axes(i));
        }
        const size_t count = std::min(Series.size(), chart.SeriesList().size());
        for (size_t i = 0; i < count; ++i) {
            Series[i].Apply(*chart.SeriesList()[i]);
        }
    }
    // Last, so the toolbar's 3D button follows the restored view.
    chart.SetView3DOptions(View3DOptions);
    chart.SetChart3DPercent(Chart3DPercent);
    chart.SetView3D(View3D);
    chart.Invalidate();
}

} // namespace chart
