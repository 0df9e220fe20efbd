// The chart as the main window configures it: gradients, title, legend at (680, 60), axes
// with their colours and ranges, and the six line series (R, Z, SWR on their axes, the
// marker lines). Shared by the painting tests of the plain and the Qt canvas.
#pragma once

#include "chart/plot.h"
#include "chart/series.h"

#include <array>
#include <memory>

namespace chart::test {

class StoredChart {
public:
    StoredChart() {
        plot.SetMargins(3, 4, 3, 4);
        TPlotGradient& panel = plot.Gradient();
        panel = TPlotGradient{true, 15395562, 15395562, base::clWhite, gdBottomTop};
        TPlotWall& back = plot.BackWall();
        back.Transparent = false;
        back.Gradient = TPlotGradient{true, 15395562, base::clNone, base::clWhite, gdBottomTop};
        back.Pen = TPlotPen{base::clBlack, 1, psSolid, true};
        plot.LeftWall().Color = 14745599; // #FFFFE0
        plot.RightWall().Color = 14745599;

        TPlotFont verdana;
        verdana.Name = "Verdana";
        plot.Title().Text = {"VSWR Scan Data Chart"};
        plot.Title().Font = verdana;
        plot.Title().Font.PixelSize = 16;
        plot.Title().Font.Style = fsBold;
        plot.Title().Font.Color = base::clBlue;
        TPlotLegend& legend = plot.Legend();
        legend.CustomPosition = true;
        legend.Left = 680;
        legend.Top = 60;
        legend.Font = verdana;
        legend.ResizeChart = false;

        TPlotFont bold = verdana;
        bold.Style = fsBold;
        for (int32_t i = 0; i < TPlot::kAxisCount; ++i) {
            plot.Axes(i).LabelsFont() = verdana;
            plot.Axes(i).Axis().Color = 4210752;
            plot.Axes(i).Grid().Color = 11119017;
        }
        plot.BottomAxis().LabelsFont() = bold;
        plot.BottomAxis().SetMinMax(13675, 14675);
        plot.LeftAxis().Axis().Color = base::clRed;
        plot.LeftAxis().LabelsFont() = bold;
        plot.LeftAxis().LabelsFont().Color = base::clRed;
        plot.LeftAxis().SetMinMax(1, 6);
        plot.RightAxis().Axis().Color = base::clTeal;
        plot.RightAxis().LabelsFont() = bold;
        plot.RightAxis().LabelsFont().Color = base::clTeal;
        plot.RightAxis().SetMinMax(0, 300);
        plot.RightAxis().Grid().Visible = false;

        const struct {
            const char* title;
            base::TColor color;
            bool in_legend;
            bool dot;
            bool right;
        } settings[6] = {
            {"R", base::clGreen, true, false, true},
            {"Z", 16744448, true, false, true},
            {"SWR", base::clRed, true, true, false},
            {"CenterLine", 4227327, false, false, false},
            {"RefLine", 16744703, false, false, false},
            {"YLine", 16744703, false, false, false},
        };
        for (size_t i = 0; i < series.size(); ++i) {
            series[i] = std::make_unique<TPlotLineSeries>();
            TPlotLineSeries& s = *series[i];
            s.SetTitle(settings[i].title);
            s.SetSeriesColor(settings[i].color);
            s.SetShowInLegend(settings[i].in_legend);
            s.LinePen().Width = 2;
            s.Pointer().Visible = settings[i].dot;
            s.Pointer().Style = settings[i].dot ? psSmallDot : psRectangle;
            s.SetOnFrontPlane(!settings[i].in_legend); // the cursor and marker lines
            s.SetParentChart(&plot);
            if (settings[i].right) {
                s.SetCustomVertAxis(&plot.RightAxis());
            }
        }
        // The marker lines' stored points lie outside any sweep's range.
        RefLine().AddXY(5, 1);
        RefLine().AddXY(5, 6);
        YLine().AddXY(1, 6);
        YLine().AddXY(3, 6);
        CenterLine().AddXY(14175, 1);
        CenterLine().AddXY(14175, 6);
    }

    TPlotLineSeries& R() { return *series[0]; }
    TPlotLineSeries& Z() { return *series[1]; }
    TPlotLineSeries& Swr() { return *series[2]; }
    TPlotLineSeries& CenterLine() { return *series[3]; }
    TPlotLineSeries& RefLine() { return *series[4]; }
    TPlotLineSeries& YLine() { return *series[5]; }

    // Declared first: destroyed last, after the series have left it.
    TPlot plot;
    std::array<std::unique_ptr<TPlotLineSeries>, 6> series;
};

} // namespace chart::test
