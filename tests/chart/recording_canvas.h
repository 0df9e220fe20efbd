// A canvas with the fixed metrics of FixedCanvas that records every drawing call with the
// pen, brush, font and clip in force, so tests check what is drawn, where, in which order.
#pragma once

#include "fixed_canvas.h"

#include <optional>
#include <string>
#include <vector>

namespace chart::test {

enum class DrawKind { FillRect, Rectangle, Line, Pixel, Text, Polygon };

struct DrawCall {
    DrawKind Kind = DrawKind::FillRect;
    TRect Rect;      // FillRect, Rectangle
    TPoint From, To; // Line (To excluded); Pixel and Text: From
    TTextAlign Align;
    std::string Text;
    std::vector<TPoint> Points;         // Polygon
    base::TColor Color = base::clBlack; // brush, pen, pixel or font colour
    TPlotPen Pen;
    TPlotFont Font;
    std::optional<TRect> Clip;
};

class RecordingCanvas : public FixedCanvas {
public:
    void SetPen(const TPlotPen& pen) override { pen_ = pen; }
    void SetBrush(const TPlotBrush& brush) override { brush_ = brush; }
    void FillRect(const TRect& rect) override {
        if (brush_.Style != bsClear) {
            DrawCall call = Make(DrawKind::FillRect, brush_.Color);
            call.Rect = rect;
            Add(std::move(call));
        }
    }
    void Rectangle(const TRect& rect) override {
        DrawCall call = Make(DrawKind::Rectangle, pen_.Color);
        call.Rect = rect;
        Add(std::move(call));
    }
    void Line(TPoint from, TPoint to) override {
        if (pen_.Visible && pen_.Style != psClear) {
            DrawCall call = Make(DrawKind::Line, pen_.Color);
            call.From = from;
            call.To = to;
            Add(std::move(call));
        }
    }
    void Polyline(const std::vector<TPoint>& points) override {
        for (size_t i = 1; i < points.size(); ++i) {
            Line(points[i - 1], points[i]);
        }
    }
    void SetPixel(TPoint at, base::TColor color) override {
        DrawCall call = Make(DrawKind::Pixel, color);
        call.From = at;
        Add(std::move(call));
    }
    void Polygon(std::span<const TPoint> points) override {
        if (points.size() >= 3) {
            DrawCall call =
                Make(DrawKind::Polygon, brush_.Style != bsClear ? brush_.Color : pen_.Color);
            call.Points.assign(points.begin(), points.end());
            Add(std::move(call));
        }
    }
    void TextOut(TPoint at, TTextAlign align, std::string_view text) override {
        DrawCall call = Make(DrawKind::Text, Font().Color);
        call.From = at;
        call.Align = align;
        call.Text = std::string(text);
        Add(std::move(call));
    }
    void SetClip(const TRect& rect) override { clip_ = rect; }
    void ClearClip() override { clip_.reset(); }

    const std::vector<DrawCall>& Calls() const { return calls_; }
    void Reset() { calls_.clear(); }

    // The calls of one kind, in order.
    std::vector<DrawCall> Of(DrawKind kind) const {
        std::vector<DrawCall> out;
        for (const DrawCall& call : calls_) {
            if (call.Kind == kind) {
                out.push_back(call);
            }
        }
        return out;
    }
    // Index of the first text call with this text, -1 when none.
    int IndexOfText(std::string_view text) const {
        for (size_t i = 0; i < calls_.size(); ++i) {
            if (calls_[i].Kind == DrawKind::Text && calls_[i].Text == text) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

private:
    DrawCall Make(DrawKind kind, base::TColor color) const {
        DrawCall call;
        call.Kind = kind;
        call.Color = color;
        call.Pen = pen_;
        call.Font = Font();
        return call;
    }
    void Add(DrawCall call) {
        call.Clip = clip_;
        calls_.push_back(std::move(call));
    }

    TPlotPen pen_;
    TPlotBrush brush_;
    std::optional<TRect> clip_;
    std::vector<DrawCall> calls_;
};

} // namespace chart::test
