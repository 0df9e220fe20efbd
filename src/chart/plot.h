// TPlot: the chart. Holds its series (in drawing order), its six axes (bottom, top, left,
// right, depth, top depth), the appearance settings, and the geometry of the last layout.
//
// Contract:
// - User-interface thread only; no locks.
// - The chart does not own its series: whoever creates them owns them (the main window).
//   A series leaving or being destroyed drops out of the list; the chart's destruction
//   detaches every series (their ParentChart becomes nullptr).
// - Repaints are requested, never performed: Invalidate calls OnInvalidate, which the chart
//   widget connects to its own update; requests made while painting are dropped.
// - Mouse input comes from the chart widget, after the owner's own handler: MouseDown,
//   MouseMove and MouseUp offer it to the listeners (the toolbar) in the order they were
//   added. A listener, or the owner's mouse-down handler, sets CancelMouse to keep the
//   chart's own handling (and later listeners of a mouse-down) away from the event.
//   Listeners are not owned; one that goes away removes itself. The chart's destruction
//   reaches them as a free notification (base::TComponent).
// - CalcLayout computes the plot area and axis geometry for a client size and a canvas
//   without drawing. The mapping functions read the result of the last layout, which is
//   zero before the first one.
#pragma once

#include "base/colors.h"
#include "base/component.h"
#include "chart/axis.h"
#include "chart/canvas.h"
#include "chart/graphics.h"
#include "chart/projection.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace chart {

class TPlotSeries;

enum TTitleAlignment : uint8_t { taLeftJustify, taRightJustify, taCenter };

// A title, subtitle, foot or subfoot: text lines in a font, centred by default.
struct TPlotTitle {
    std::vector<std::string> Text; // one entry per line; empty: not drawn
    TPlotFont Font;
    bool Visible = true;
    bool Transparent = true;
    bool CustomPosition = false;
    TTitleAlignment Alignment = taCenter;
    int32_t VertMargin = 5;

    bool HasText() const;
    bool operator==(const TPlotTitle&) const = default;
};

enum TLegendAlignment : uint8_t { laLeft, laRight, laTop, laBottom };

struct TPlotLegend {
    bool Visible = true;
    bool CustomPosition = false;
    int32_t Left = 0;
    int32_t Top = 0;
    bool ResizeChart = true;
    TLegendAlignment Alignment = laRight;
    TPlotFont Font;
    TPlotBrush Brush;
    TPlotPen Frame;
    base::TColor ShadowColor = base::clBlack;
    int32_t ShadowSize = 3;
    bool operator==(const TPlotLegend&) const = default;
};

struct TPlotWall {
    bool Visible = true;
    bool Transparent = true;
    base::TColor Color = base::clWhite;
    TPlotPen Pen;
    TPlotGradient Gradient;
    bool operator==(const TPlotWall&) const = default;
};

enum TPanningMode : uint8_t { pmNone, pmHorizontal, pmVertical, pmBoth };

enum TMouseButton : uint8_t { mbLeft, mbRight, mbMiddle };

enum TShiftKey : uint8_t {
    ssShift = 1 << 0,
    ssAlt = 1 << 1,
    ssCtrl = 1 << 2,
    ssLeft = 1 << 3, // mouse buttons held
    ssRight = 1 << 4,
    ssMiddle = 1 << 5,
};

// The keys and mouse buttons held during a mouse event.
class TShiftState {
public:
    constexpr TShiftState() = default;
    constexpr TShiftState(TShiftKey key) : bits_(key) {}
    constexpr bool Contains(TShiftKey key) const { return (bits_ & key) != 0; }
    constexpr TShiftState& Include(TShiftKey key) {
        bits_ = static_cast<uint8_t>(bits_ | key);
        return *this;
    }
    constexpr TShiftState operator|(TShiftKey key) const { return TShiftState(*this).Include(key); }
    // Any mouse button held.
    constexpr bool AnyButton() const { return (bits_ & (ssLeft | ssRight | ssMiddle)) != 0; }
    constexpr bool operator==(const TShiftState&) const = default;

private:
    uint8_t bits_ = 0;
};

class TPlot;

// What the chart tells its listeners. Positions are client pixels of the chart.
class IPlotListener {
public:
    virtual void PlotMouseDown(TPlot& chart, TMouseButton button, TShiftState shift, int32_t x,
                               int32_t y) = 0;
    virtual void PlotMouseMove(TPlot& chart, TShiftState shift, int32_t x, int32_t y) = 0;
    virtual void PlotMouseUp(TPlot& chart, TMouseButton button, TShiftState shift, int32_t x,
                             int32_t y) = 0;
    // The chart lost the mouse it had captured (another window took it, a modal box opened,
    // the widget was hidden): no mouse-up will come.
    virtual void PlotMouseCaptureLost(TPlot& chart) = 0;
    // View3D, the 3D options or the depth percent changed.
    virtual void PlotView3DChanged(TPlot& chart) = 0;

protected:
    ~IPlotListener() = default;
};

// How the chart is turned, moved and zoomed while View3D is on. Angles in degrees, 0 to 360;
// Rotation 360 with Elevation 360 is the straight front view, 270 to 360 looks from above.
struct TPlotView3DOptions {
    double Rotation = 345;
    double Elevation = 345;
    int32_t Tilt = 0;
    int32_t Perspective = 15; // percent; 0 is none
    bool Orthogonal = true;   // oblique projection; off: perspective
    int32_t HorizOffset = 0;  // pixels
    int32_t VertOffset = 0;   // pixels
    double Zoom = 100;        // percent, at least 1

    bool operator==(const TPlotView3DOptions&) const = default;
};

// Where the last layout put things.
struct TPlotLayout {
    TRect Bounds;    // the client rectangle
    TRect ChartRect; // the plot area
    TRect TitleRect; // the title's line (empty when no title)
    bool Valid = false;
    // With View3D on, ChartRect is the box's front plane and Frame3D says where the box goes.
    bool View3D = false;
    TView3DFrame Frame3D;
};

class TPlot : public base::TComponent {
public:
    explicit TPlot(base::TComponent* owner = nullptr);
    ~TPlot() override;

    // --- series ---
    // Appends series to the list (it joins this chart, leaving any other one).
    void AddSeries(TPlotSeries& series);
    void RemoveSeries(TPlotSeries& series);
    int32_t SeriesCount() const { return static_cast<int32_t>(series_list_.size()); }
    TPlotSeries& Series(int32_t index) const { return *series_list_.at(index); }
    const std::vector<TPlotSeries*>& SeriesList() const { return series_list_; }
    int32_t CountActiveSeries() const;

    // --- axes, in list order ---
    TPlotAxis& BottomAxis() { return *axes_[akBottom]; }
    TPlotAxis& TopAxis() { return *axes_[akTop]; }
    TPlotAxis& LeftAxis() { return *axes_[akLeft]; }
    TPlotAxis& RightAxis() { return *axes_[akRight]; }
    TPlotAxis& DepthAxis() { return *axes_[akDepth]; }
    TPlotAxis& DepthTopAxis() { return *axes_[akDepthTop]; }
    const TPlotAxis& BottomAxis() const { return *axes_[akBottom]; }
    const TPlotAxis& TopAxis() const { return *axes_[akTop]; }
    const TPlotAxis& LeftAxis() const { return *axes_[akLeft]; }
    const TPlotAxis& RightAxis() const { return *axes_[akRight]; }
    static constexpr int32_t kAxisCount = 6;
    TPlotAxis& Axes(int32_t index) { return *axes_.at(index); }
    const TPlotAxis& Axes(int32_t index) const { return *axes_.at(index); }
    bool AxisVisible() const { return axis_visible_; }
    void SetAxisVisible(bool value);

    // --- repaint requests ---
    // Connected by the chart widget: schedule a paint.
    std::function<void()> OnInvalidate;
    // Requests a repaint; nothing while painting or being destroyed.
    void Invalidate();
    // The widget brackets each paint with these; requests in between are dropped.
    void BeginPaint() { painting_ = true; }
    void EndPaint() { painting_ = false; }
    bool Painting() const { return painting_; }
    // Announced after a batch of points (EndUpdate) to legend and tools.
    std::function<void(TPlotSeries&)> OnSeriesDataChanged;
    void SeriesDataChanged(TPlotSeries& series);
    // May replace the text of an axis label (series is null for value labels).
    std::function<void(const TPlotAxis&, const TPlotSeries*, int32_t, std::string&)> OnGetAxisLabel;

    // --- appearance ---
    bool View3D() const { return view_3d_; }
    void SetView3D(bool value);
    const TPlotView3DOptions& View3DOptions() const { return view_3d_options_; }
    void SetView3DOptions(const TPlotView3DOptions& value);
    // The depth of the 3D chart in percent of the plot area's smaller side (0 to 100).
    int32_t Chart3DPercent() const { return chart_3d_percent_; }
    void SetChart3DPercent(int32_t value);
    // Our canvases project onto a plane and cannot turn the picture freely.
    static constexpr bool kCanvasSupportsFullRotation = false;
    // Called after View3D, the 3D options or the depth percent changed (the toolbar's
    // 3D button follows it).
    std::function<void()> OnView3DChanged;
    // --- mouse input and listeners ---
    void AddListener(IPlotListener& listener);
    void RemoveListener(IPlotListener& listener);
    // Set by a handler to keep the chart's own reaction (and, for a mouse-down, the
    // listeners after it) away from the current event; cleared as each event begins.
    bool CancelMouse() const { return cancel_mouse_; }
    void SetCancelMouse(bool value) { cancel_mouse_ = value; }
    // The widget calls BeginMouseEvent, then the owner's handler, then one of these.
    void BeginMouseEvent() { cancel_mouse_ = false; }
    void MouseDown(TMouseButton button, TShiftState shift, int32_t x, int32_t y);
    void MouseMove(TShiftState shift, int32_t x, int32_t y);
    void MouseUp(TMouseButton button, TShiftState shift, int32_t x, int32_t y);
    // Mouse capture: every mouse event goes to the chart until it is released, wherever the
    // mouse is. The widget performs it (OnMouseCaptureChanged) and reports a lost capture.
    bool MouseCapture() const { return mouse_capture_; }
    void SetMouseCapture(bool value);
    std::function<void(bool)> OnMouseCaptureChanged;
    void MouseCaptureLost();

    TPanningMode AllowPanning() const { return allow_panning_; }
    void SetAllowPanning(TPanningMode value);
    bool ZoomAllow() const { return zoom_allow_; }
    void SetZoomAllow(bool value);
    int32_t MarginLeft() const { return margins_.Left; }
    int32_t MarginTop() const { return margins_.Top; }
    int32_t MarginRight() const { return margins_.Right; }
    int32_t MarginBottom() const { return margins_.Bottom; }
    // Margins in percent of the client width (left, right) and height (top, bottom).
    void SetMargins(int32_t left, int32_t top, int32_t right, int32_t bottom);
    // The raised bevel around the control; its width insets the plot area.
    bool BevelOuter() const { return bevel_outer_; }
    void SetBevelOuter(bool value);
    int32_t BevelWidth() const { return bevel_width_; }
    void SetBevelWidth(int32_t value);
    int32_t BorderWidth() const { return bevel_outer_ ? bevel_width_ : 0; }
    int32_t ColorPaletteIndex() const { return color_palette_index_; }
    void SetColorPaletteIndex(int32_t value);
    // The palette colour for an index (wraps around the palette).
    [[nodiscard]] base::TColor GetDefaultColor(int32_t index) const;
    // The first palette colour that no series of the chart uses (excluding one series).
    [[nodiscard]] base::TColor GetFreeSeriesColor(const TPlotSeries* except) const;

    // The floor's colour unless set otherwise: light grey, #D3D3D3.
    static constexpr base::TColor kBottomWallColor = base::RGB(0xD3, 0xD3, 0xD3);

    // Edit in place, then Invalidate.
    TPlotGradient& Gradient() { return gradient_; }
    TPlotWall& BackWall() { return back_wall_; }
    TPlotWall& LeftWall() { return left_wall_; }
    TPlotWall& RightWall() { return right_wall_; }
    // The floor of the 3D box (drawn only in 3D).
    TPlotWall& BottomWall() { return bottom_wall_; }
    const TPlotWall& BackWall() const { return back_wall_; }
    const TPlotWall& LeftWall() const { return left_wall_; }
    const TPlotWall& RightWall() const { return right_wall_; }
    const TPlotWall& BottomWall() const { return bottom_wall_; }
    TPlotTitle& Title() { return title_; }
    TPlotTitle& SubTitle() { return sub_title_; }
    TPlotTitle& Foot() { return foot_; }
    TPlotTitle& SubFoot() { return sub_foot_; }
    TPlotLegend& Legend() { return legend_; }
    TPlotFont& DefaultFont() { return default_font_; }
    const TPlotGradient& Gradient() const { return gradient_; }
    const TPlotTitle& Title() const { return title_; }
    const TPlotTitle& SubTitle() const { return sub_title_; }
    const TPlotTitle& Foot() const { return foot_; }
    const TPlotTitle& SubFoot() const { return sub_foot_; }
    const TPlotLegend& Legend() const { return legend_; }
    const TPlotFont& DefaultFont() const { return default_font_; }

    // --- layout ---
    // Lays out the chart for a client area of width x height: plot area after border and
    // margins, title space, each visible axis' label and tick zone, final axis extents and
    // label positions. Draws nothing.
    void CalcLayout(int32_t width, int32_t height, TCanvas& canvas);
    const TPlotLayout& Layout() const { return layout_; }
    const TRect& ChartRect() const { return layout_.ChartRect; }
    int32_t ChartWidth() const { return layout_.ChartRect.Width(); }
    int32_t ChartHeight() const { return layout_.ChartRect.Height(); }
    // Visibility rule of one axis for the current series.
    [[nodiscard]] bool IsAxisVisible(const TPlotAxis& axis) const;

private:
    friend class TPlotSeries;
    void DetachSeries(TPlotSeries& series); // series is going away or leaving
    void ShrinkTop(int32_t pixels);
    void View3DChanged();
    // Calls fn for each listener, skipping any removed by an earlier one meanwhile.
    template <typename Fn> void ForEachListener(Fn fn);

    std::array<std::unique_ptr<TPlotAxis>, kAxisCount> axes_;
    std::vector<TPlotSeries*> series_list_; // not owned; drawing order
    std::vector<IPlotListener*> listeners_; // not owned; in the order added
    bool cancel_mouse_ = false;
    bool mouse_capture_ = false;
    bool painting_ = false;
    bool axis_visible_ = true;
    bool view_3d_ = false;
    TPlotView3DOptions view_3d_options_;
    int32_t chart_3d_percent_ = 15;
    TPanningMode allow_panning_ = pmBoth;
    bool zoom_allow_ = true;
    TRect margins_{3, 4, 3, 4};
    bool bevel_outer_ = true;
    int32_t bevel_width_ = 1;
    int32_t color_palette_index_ = 0;
    TPlotGradient gradient_;
    TPlotWall back_wall_;
    TPlotWall left_wall_;
    TPlotWall right_wall_;
    TPlotWall bottom_wall_;
    TPlotTitle title_;
    TPlotTitle sub_title_;
    TPlotTitle foot_;
    TPlotTitle sub_foot_;
    TPlotLegend legend_;
    TPlotFont default_font_;
    TPlotLayout layout_;
};

} // namespace chart
