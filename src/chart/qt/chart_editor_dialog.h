// The chart editor: a dialog of tabs (Chart, Background, Axes, Series, 3D) with a standard
// control for every setting of the chart and of its series. Each change goes to the chart at
// once, so the chart repaints as the user edits; Cancel (or closing the dialog) puts back
// the settings the chart had when the editor opened, while points a running sweep added
// meanwhile stay. "Save…" and "Open…" hand a file path to the opener's hooks.
//
// Contract:
// - User-interface thread only; the dialog is modal (RunChartEditor) and edits the chart it
//   was given, which must outlive it.
// - Every control has a label or text that assistive tools read as its accessible name, and
//   an object name (e.g. "axis.Left.minimum", "series.2.lineWidth") by which tests find it.
// - Opening a chart file replaces the chart's settings (and data) as one step that Cancel no
//   longer takes back: the editor shows the opened chart and Cancel returns to it.
#pragma once

#include "chart/chart_settings.h"
#include "chart/plot.h"

#include <QDialog>
#include <functional>
#include <string>

class QLabel;
class QPushButton;
class QTabWidget;
class QVBoxLayout;

namespace chart {

struct ChartEditorHooks {
    // Each takes a file path and returns an error text, empty on success. Unset: the dialog
    // hides its button.
    std::function<std::string(const std::string& path)> Save; // writes the chart to the file
    std::function<std::string(const std::string& path)> Open; // reads a chart file into the chart
    // The file dialogs' filter and the suffix a saved name gets when it has none.
    std::string FileFilter = "Chart files (*.json);;All files (*)";
    std::string DefaultSuffix = "json";
};

class ChartEditorDialog : public QDialog {
    Q_OBJECT

public:
    ChartEditorDialog(TPlot& chart, ChartEditorHooks hooks, QWidget* parent = nullptr);
    ~ChartEditorDialog() override;

    // The settings Cancel puts back.
    const ChartSettings& Original() const { return original_; }

    // Runs the Save or Open hook on a path, as the buttons do after asking for it; a failure
    // is shown in the dialog. True on success.
    bool SaveTo(const QString& path);
    bool OpenFrom(const QString& path);

public slots:
    void reject() override;

private:
    // (Re)builds every tab from the chart's current settings.
    void Populate();
    QWidget* BuildChartTab();
    QWidget* BuildBackgroundTab();
    QWidget* BuildAxesTab();
    QWidget* BuildAxisPage(TPlotAxis& axis, const QString& name);
    QWidget* BuildSeriesTab();
    QWidget* BuildSeriesPage(TPlotSeries& series, int index);
    QWidget* BuildView3DTab();
    void AskSavePath();
    void AskOpenPath();
    // Shows a problem below the tabs (empty clears it).
    void ShowProblem(const QString& text);
    // A change that went to the chart in place: repaint it.
    void Changed();

    TPlot& chart_;
    ChartEditorHooks hooks_;
    ChartSettings original_;
    QTabWidget* tabs_ = nullptr;
    QLabel* problem_ = nullptr;
    QVBoxLayout* layout_ = nullptr;
};

// Opens the chart editor on chart; true when it was closed with OK.
bool RunChartEditor(QWidget* parent, TPlot& chart, const ChartEditorHooks& hooks);

} // namespace chart
