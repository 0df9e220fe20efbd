// The chart toolbar's strip: the Qt face of a TPlotToolbar. Buttons are flat tool buttons
// (checkable for the mode group and the 3D toggle) with their hint as tooltip and accessible
// name, separators are sunken lines, the label is a transparent QLabel. The toolbar decides
// every state; this widget shows it and forwards clicks.
//
// User-interface thread only. The widget owns its TPlotToolbar; the chart it is bound to
// belongs to its PlotWidget, and the toolbar lets go of it when the chart is destroyed.
#pragma once

#include "chart/plot_toolbar.h"

#include <QIcon>
#include <QWidget>
#include <memory>
#include <vector>

class QAbstractButton;
class QLabel;

namespace chart {

class PlotWidget;

class PlotToolbarWidget : public QWidget, private IPlotToolbarView {
    Q_OBJECT

public:
    explicit PlotToolbarWidget(QWidget* parent = nullptr);
    ~PlotToolbarWidget() override;

    TPlotToolbar& Toolbar() { return *toolbar_; }
    const TPlotToolbar& Toolbar() const { return *toolbar_; }

    // Binds the toolbar to the chart of a chart widget; nullptr: to none.
    void SetPanel(PlotWidget* chart);

    // The widget showing a control, nullptr when the toolbar has none of that kind.
    [[nodiscard]] QAbstractButton* ButtonWidget(TPlotToolbarControls kind) const;
    [[nodiscard]] QLabel* LabelWidget() const;

    // A glyph by its resource name ("GlyphRotate"), with its normal and disabled looks at
    // 1x and 2x device pixels; a null icon for an unknown name.
    [[nodiscard]] static QIcon GlyphIcon(const std::string& glyph);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void ControlsCreated() override;
    void ControlsChanged() override;
    void RepaintLabel() override;

    std::unique_ptr<TPlotToolbar> toolbar_;
    // One widget per control, in the toolbar's order; children of this widget.
    std::vector<QWidget*> widgets_;
};

} // namespace chart
