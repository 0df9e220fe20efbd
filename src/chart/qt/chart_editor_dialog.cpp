#include "chart/qt/chart_editor_dialog.h"

#include "base/error_display.h"
#include "chart/qt/chart_editor_buttons.h"
#include "chart/series.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStringList>
#include <QTabWidget>
#include <QVBoxLayout>
#include <exception>
#include <memory>

namespace chart {

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// A form row: a label that names the field for assistive tools, and the field.
template <typename W>
W* Row(QFormLayout* form, const QString& label, W* field, const QString& accessible,
       const QString& object) {
    auto* text = new QLabel(label);
    text->setBuddy(field);
    field->setAccessibleName(accessible);
    field->setObjectName(object);
    form->addRow(text, field);
    return field;
}

QCheckBox* Check(QFormLayout* form, const QString& text, bool value, const QString& accessible,
                 const QString& object) {
    auto* check = new QCheckBox(text);
    check->setChecked(value);
    check->setAccessibleName(accessible);
    check->setObjectName(object);
    form->addRow(check);
    return check;
}

QSpinBox* IntSpin(int min, int max, int value, const QString& suffix = QString()) {
    auto* spin = new QSpinBox;
    spin->setRange(min, max);
    spin->setValue(value);
    spin->setSuffix(suffix);
    return spin;
}

QDoubleSpinBox* DoubleSpin(double min, double max, int decimals, double value,
                           const QString& suffix = QString()) {
    auto* spin = new QDoubleSpinBox;
    spin->setDecimals(decimals);
    spin->setRange(min, max);
    spin->setValue(value);
    spin->setSuffix(suffix);
    return spin;
}

QComboBox* Combo(const QStringList& items, int index) {
    auto* combo = new QComboBox;
    combo->addItems(items);
    combo->setCurrentIndex(index);
    return combo;
}

QFormLayout* Group(QVBoxLayout* page, const QString& title) {
    auto* box = new QGroupBox(title);
    auto* form = new QFormLayout(box);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    page->addWidget(box);
    return form;
}

QStringList LinesOf(const std::vector<std::string>& lines) {
    QStringList list;
    for (const std::string& line : lines) {
        list << Q(line);
    }
    return list;
}

const QStringList kPenStyles = {"Solid", "Dash", "Dot", "Dash dot", "Dash dot dot", "None"};
const QStringList kDirections = {"Top to bottom", "Bottom to top", "Left to right",
                                 "Right to left"};
const QStringList kPointerStyles = {"Rectangle",     "Circle",  "Triangle",
                                    "Down triangle", "Cross",   "Diagonal cross",
                                    "Star",          "Diamond", "Small dot"};
const QStringList kLegendPlaces = {"Left", "Right", "Top", "Bottom"};

QString SeriesName(const TPlotSeries& series, int index) {
    return series.Title().empty() ? QStringLiteral("Series %1").arg(index + 1) : Q(series.Title());
}

} // namespace

ChartEditorDialog::ChartEditorDialog(TPlot& chart, ChartEditorHooks hooks, QWidget* parent)
    : QDialog(parent), chart_(chart), hooks_(std::move(hooks)),
      original_(ChartSettings::Capture(chart)) {
    setWindowTitle(QStringLiteral("Edit Chart"));
    setObjectName(QStringLiteral("ChartEditor"));
    layout_ = new QVBoxLayout(this);

    problem_ = new QLabel;
    problem_->setObjectName(QStringLiteral("problem"));
    problem_->setAccessibleName(QStringLiteral("Problem"));
    problem_->setWordWrap(true);
    problem_->setStyleSheet(QStringLiteral("color: #B00000;"));
    problem_->hide();
    layout_->addWidget(problem_);

    auto* buttons = new QHBoxLayout;
    auto* open = new QPushButton(QStringLiteral("Open…"));
    open->setObjectName(QStringLiteral("open"));
    open->setAccessibleName(QStringLiteral("Open chart file"));
    open->setVisible(static_cast<bool>(hooks_.Open));
    connect(open, &QPushButton::clicked, this, &ChartEditorDialog::AskOpenPath);
    auto* save = new QPushButton(QStringLiteral("Save…"));
    save->setObjectName(QStringLiteral("save"));
    save->setAccessibleName(QStringLiteral("Save chart to file"));
    save->setVisible(static_cast<bool>(hooks_.Save));
    connect(save, &QPushButton::clicked, this, &ChartEditorDialog::AskSavePath);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    box->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ok"));
    box->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancel"));
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &ChartEditorDialog::reject);
    buttons->addWidget(open);
    buttons->addWidget(save);
    buttons->addStretch();
    buttons->addWidget(box);
    layout_->addLayout(buttons);

    Populate();
}

ChartEditorDialog::~ChartEditorDialog() = default;

void ChartEditorDialog::reject() {
    original_.Apply(chart_);
    QDialog::reject();
}

void ChartEditorDialog::Changed() {
    chart_.Invalidate();
}

void ChartEditorDialog::ShowProblem(const QString& text) {
    problem_->setText(text);
    problem_->setVisible(!text.isEmpty());
}

void ChartEditorDialog::Populate() {
    const int current = tabs_ != nullptr ? tabs_->currentIndex() : 0;
    if (tabs_ != nullptr) {
        layout_->removeWidget(tabs_);
        delete tabs_;
    }
    tabs_ = new QTabWidget;
    tabs_->setObjectName(QStringLiteral("tabs"));
    tabs_->addTab(BuildChartTab(), QStringLiteral("Chart"));
    tabs_->addTab(BuildBackgroundTab(), QStringLiteral("Background"));
    tabs_->addTab(BuildAxesTab(), QStringLiteral("Axes"));
    tabs_->addTab(BuildSeriesTab(), QStringLiteral("Series"));
    tabs_->addTab(BuildView3DTab(), QStringLiteral("3D"));
    tabs_->setCurrentIndex(current);
    layout_->insertWidget(0, tabs_);
}

QWidget* ChartEditorDialog::BuildChartTab() {
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);

    QFormLayout* title = Group(column, QStringLiteral("Title"));
    TPlotTitle& t = chart_.Title();
    auto* text = new QPlainTextEdit(LinesOf(t.Text).join('\n'));
    text->setTabChangesFocus(true);
    text->setFixedHeight(text->fontMetrics().lineSpacing() * 3 + 12);
    Row(title, QStringLiteral("Text (one line each):"), text, QStringLiteral("Title text"),
        QStringLiteral("title.text"));
    connect(text, &QPlainTextEdit::textChanged, this, [this, text] {
        std::vector<std::string> lines;
        const QStringList parts = text->toPlainText().split('\n');
        for (const QString& line : parts) {
            lines.push_back(line.toStdString());
        }
        if (parts.size() == 1 && parts.front().isEmpty()) {
            lines.clear();
        }
        chart_.Title().Text = std::move(lines);
        Changed();
    });
    auto* shown = Check(title, QStringLiteral("Show title"), t.Visible,
                        QStringLiteral("Show title"), QStringLiteral("title.visible"));
    connect(shown, &QCheckBox::toggled, this, [this](bool on) {
        chart_.Title().Visible = on;
        Changed();
    });
    auto* font = Row(title, QStringLiteral("Font:"), new FontButton(t.Font),
                     QStringLiteral("Title font"), QStringLiteral("title.font"));
    font->OnChanged = [this](const TPlotFont& f) {
        chart_.Title().Font = f;
        Changed();
    };
    auto* color = Row(title, QStringLiteral("Colour:"), new ColorButton(t.Font.Color),
                      QStringLiteral("Title colour"), QStringLiteral("title.color"));
    color->OnChanged = [this, font](base::TColor c) {
        chart_.Title().Font.Color = c;
        font->SetFont(chart_.Title().Font);
    };

    QFormLayout* legend = Group(column, QStringLiteral("Legend"));
    TPlotLegend& l = chart_.Legend();
    auto* legend_shown = Check(legend, QStringLiteral("Show legend"), l.Visible,
                               QStringLiteral("Show legend"), QStringLiteral("legend.visible"));
    auto* custom =
        Check(legend, QStringLiteral("At a fixed position"), l.CustomPosition,
              QStringLiteral("Legend at a fixed position"), QStringLiteral("legend.custom"));
    auto* left = Row(legend, QStringLiteral("Left:"), IntSpin(0, 10000, l.Left, " px"),
                     QStringLiteral("Legend left"), QStringLiteral("legend.left"));
    auto* top = Row(legend, QStringLiteral("Top:"), IntSpin(0, 10000, l.Top, " px"),
                    QStringLiteral("Legend top"), QStringLiteral("legend.top"));
    auto* place =
        Row(legend, QStringLiteral("Otherwise at the:"), Combo(kLegendPlaces, l.Alignment),
            QStringLiteral("Legend side"), QStringLiteral("legend.alignment"));
    auto enable = [custom, left, top, place] {
        left->setEnabled(custom->isChecked());
        top->setEnabled(custom->isChecked());
        place->setEnabled(!custom->isChecked());
    };
    enable();
    connect(legend_shown, &QCheckBox::toggled, this, [this](bool on) {
        chart_.Legend().Visible = on;
        Changed();
    });
    connect(custom, &QCheckBox::toggled, this, [this, enable](bool on) {
        chart_.Legend().CustomPosition = on;
        enable();
        Changed();
    });
    connect(left, &QSpinBox::valueChanged, this, [this](int v) {
        chart_.Legend().Left = v;
        Changed();
    });
    connect(top, &QSpinBox::valueChanged, this, [this](int v) {
        chart_.Legend().Top = v;
        Changed();
    });
    connect(place, &QComboBox::currentIndexChanged, this, [this](int i) {
        chart_.Legend().Alignment = static_cast<TLegendAlignment>(i);
        Changed();
    });

    QFormLayout* margins = Group(column, QStringLiteral("Margins (percent of the chart's size)"));
    const struct {
        const char* label;
        const char* key;
        int value;
    } sides[] = {{"Left", "left", chart_.MarginLeft()},
                 {"Top", "top", chart_.MarginTop()},
                 {"Right", "right", chart_.MarginRight()},
                 {"Bottom", "bottom", chart_.MarginBottom()}};
    std::vector<QSpinBox*> spins;
    for (const auto& side : sides) {
        spins.push_back(Row(margins, QStringLiteral("%1:").arg(side.label),
                            IntSpin(0, 45, side.value, " %"),
                            QStringLiteral("%1 margin").arg(side.label),
                            QStringLiteral("margin.%1").arg(side.key)));
    }
    for (QSpinBox* spin : spins) {
        connect(spin, &QSpinBox::valueChanged, this, [this, spins] {
            chart_.SetMargins(spins[0]->value(), spins[1]->value(), spins[2]->value(),
                              spins[3]->value());
        });
    }
    column->addStretch();
    return page;
}

namespace {

// The rows of one gradient: shown, start, middle (optional), end, direction. Each change
// goes to the gradient and calls changed.
void GradientRows(QFormLayout* form, TPlotGradient& g, const QString& what, const QString& key,
                  QWidget* context, const std::function<void()>& changed) {
    auto* shown = Check(form, QStringLiteral("Gradient"), g.Visible,
                        QStringLiteral("%1 gradient").arg(what), key + ".gradient");
    auto* start = Row(form, QStringLiteral("Start colour:"), new ColorButton(g.StartColor),
                      QStringLiteral("%1 gradient start colour").arg(what), key + ".start");
    const bool has_mid = g.MidColor != base::clNone;
    auto* mid_on =
        Check(form, QStringLiteral("Middle colour"), has_mid,
              QStringLiteral("%1 gradient has a middle colour").arg(what), key + ".hasMid");
    auto* mid = Row(form, QStringLiteral("Middle colour:"),
                    new ColorButton(has_mid ? g.MidColor : g.StartColor),
                    QStringLiteral("%1 gradient middle colour").arg(what), key + ".mid");
    auto* end = Row(form, QStringLiteral("End colour:"), new ColorButton(g.EndColor),
                    QStringLiteral("%1 gradient end colour").arg(what), key + ".end");
    auto* direction = Row(form, QStringLiteral("Direction:"), Combo(kDirections, g.Direction),
                          QStringLiteral("%1 gradient direction").arg(what), key + ".direction");
    mid->setEnabled(has_mid);
    QObject::connect(shown, &QCheckBox::toggled, context, [&g, changed](bool on) {
        g.Visible = on;
        changed();
    });
    start->OnChanged = [&g, changed](base::TColor c) {
        g.StartColor = c;
        changed();
    };
    QObject::connect(mid_on, &QCheckBox::toggled, context, [&g, mid, changed](bool on) {
        g.MidColor = on ? mid->Color() : base::clNone;
        mid->setEnabled(on);
        changed();
    });
    mid->OnChanged = [&g, changed](base::TColor c) {
        g.MidColor = c;
        changed();
    };
    end->OnChanged = [&g, changed](base::TColor c) {
        g.EndColor = c;
        changed();
    };
    QObject::connect(direction, &QComboBox::currentIndexChanged, context, [&g, changed](int i) {
        g.Direction = static_cast<TGradientDirection>(i);
        changed();
    });
}

} // namespace

QWidget* ChartEditorDialog::BuildBackgroundTab() {
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    const auto changed = [this] { Changed(); };

    QFormLayout* panel = Group(column, QStringLiteral("Panel"));
    GradientRows(panel, chart_.Gradient(), QStringLiteral("Panel"), QStringLiteral("panel"), this,
                 changed);

    QFormLayout* wall = Group(column, QStringLiteral("Back wall"));
    TPlotWall& w = chart_.BackWall();
    auto* shown = Check(wall, QStringLiteral("Show back wall"), w.Visible,
                        QStringLiteral("Show back wall"), QStringLiteral("backWall.visible"));
    auto* transparent =
        Check(wall, QStringLiteral("Transparent"), w.Transparent,
              QStringLiteral("Back wall transparent"), QStringLiteral("backWall.transparent"));
    auto* color = Row(wall, QStringLiteral("Colour:"), new ColorButton(w.Color),
                      QStringLiteral("Back wall colour"), QStringLiteral("backWall.color"));
    auto* border =
        Row(wall, QStringLiteral("Border colour:"), new ColorButton(w.Pen.Color),
            QStringLiteral("Back wall border colour"), QStringLiteral("backWall.border"));
    connect(shown, &QCheckBox::toggled, this, [this](bool on) {
        chart_.BackWall().Visible = on;
        Changed();
    });
    connect(transparent, &QCheckBox::toggled, this, [this](bool on) {
        chart_.BackWall().Transparent = on;
        Changed();
    });
    color->OnChanged = [this](base::TColor c) {
        chart_.BackWall().Color = c;
        Changed();
    };
    border->OnChanged = [this](base::TColor c) {
        chart_.BackWall().Pen.Color = c;
        Changed();
    };
    GradientRows(wall, w.Gradient, QStringLiteral("Back wall"), QStringLiteral("backWall"), this,
                 changed);
    column->addStretch();
    return page;
}

QWidget* ChartEditorDialog::BuildAxesTab() {
    auto* axes = new QTabWidget;
    axes->setObjectName(QStringLiteral("axes"));
    const struct {
        TPlotAxis& axis;
        const char* name;
    } pages[] = {{chart_.LeftAxis(), "Left"},
                 {chart_.RightAxis(), "Right"},
                 {chart_.BottomAxis(), "Bottom"},
                 {chart_.TopAxis(), "Top"}};
    for (const auto& p : pages) {
        axes->addTab(BuildAxisPage(p.axis, QString::fromLatin1(p.name)),
                     QString::fromLatin1(p.name));
    }
    return axes;
}

QWidget* ChartEditorDialog::BuildAxisPage(TPlotAxis& axis, const QString& name) {
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    const QString key = QStringLiteral("axis.") + name;
    const QString who = name + QStringLiteral(" axis");

    QFormLayout* range = Group(column, QStringLiteral("Scale"));
    auto* shown = Check(range, QStringLiteral("Show axis"), axis.Visible(),
                        QStringLiteral("Show %1").arg(who), key + ".visible");
    auto* automatic = Check(range, QStringLiteral("Automatic range"), axis.Automatic(),
                            who + QStringLiteral(" automatic range"), key + ".automatic");
    auto* auto_min = Check(range, QStringLiteral("Automatic minimum"), axis.AutomaticMinimum(),
                           who + QStringLiteral(" automatic minimum"), key + ".automaticMinimum");
    auto* auto_max = Check(range, QStringLiteral("Automatic maximum"), axis.AutomaticMaximum(),
                           who + QStringLiteral(" automatic maximum"), key + ".automaticMaximum");
    constexpr double kLimit = 1e12;
    auto* minimum =
        Row(range, QStringLiteral("Minimum:"), DoubleSpin(-kLimit, kLimit, 4, axis.Minimum()),
            who + QStringLiteral(" minimum"), key + ".minimum");
    auto* maximum =
        Row(range, QStringLiteral("Maximum:"), DoubleSpin(-kLimit, kLimit, 4, axis.Maximum()),
            who + QStringLiteral(" maximum"), key + ".maximum");
    for (QDoubleSpinBox* spin : {minimum, maximum}) {
        spin->setMinimumWidth(140);
    }
    // Shows the flags as the axis holds them (one flag's setter changes the others).
    const auto show_flags = [&axis, automatic, auto_min, auto_max, minimum, maximum] {
        for (QCheckBox* check : {automatic, auto_min, auto_max}) {
            check->blockSignals(true);
        }
        automatic->setChecked(axis.Automatic());
        auto_min->setChecked(axis.AutomaticMinimum());
        auto_max->setChecked(axis.AutomaticMaximum());
        for (QCheckBox* check : {automatic, auto_min, auto_max}) {
            check->blockSignals(false);
        }
        minimum->setEnabled(!axis.AutomaticMinimum());
        maximum->setEnabled(!axis.AutomaticMaximum());
    };
    show_flags();
    connect(shown, &QCheckBox::toggled, this, [&axis](bool on) { axis.SetVisible(on); });
    connect(automatic, &QCheckBox::toggled, this, [&axis, show_flags](bool on) {
        axis.SetAutomatic(on);
        show_flags();
    });
    connect(auto_min, &QCheckBox::toggled, this, [&axis, show_flags](bool on) {
        axis.SetAutomaticMinimum(on);
        show_flags();
    });
    connect(auto_max, &QCheckBox::toggled, this, [&axis, show_flags](bool on) {
        axis.SetAutomaticMaximum(on);
        show_flags();
    });
    // Only the ends the user edited are written: the spin boxes show rounded copies. A
    // minimum above the maximum is not applied until the other end makes room for it.
    struct Edited {
        bool minimum = false;
        bool maximum = false;
    };
    auto edited = std::make_shared<Edited>();
    const auto apply_range = [this, &axis, who, minimum, maximum, edited] {
        const double lo = edited->minimum ? minimum->value() : axis.Minimum();
        const double hi = edited->maximum ? maximum->value() : axis.Maximum();
        if (lo > hi) {
            ShowProblem(QStringLiteral("%1: the minimum must not be above the maximum.").arg(who));
            return;
        }
        ShowProblem(QString());
        if (lo > axis.Maximum()) {
            axis.SetMaximum(hi);
            axis.SetMinimum(lo);
        } else {
            axis.SetMinimum(lo);
            axis.SetMaximum(hi);
        }
    };
    connect(minimum, &QDoubleSpinBox::valueChanged, this, [edited, apply_range] {
        edited->minimum = true;
        apply_range();
    });
    connect(maximum, &QDoubleSpinBox::valueChanged, this, [edited, apply_range] {
        edited->maximum = true;
        apply_range();
    });

    QFormLayout* labels = Group(column, QStringLiteral("Labels"));
    auto* labels_shown = Check(labels, QStringLiteral("Show labels"), axis.Labels(),
                               who + QStringLiteral(" show labels"), key + ".labels");
    auto* font = Row(labels, QStringLiteral("Font:"), new FontButton(axis.LabelsFont()),
                     who + QStringLiteral(" labels font"), key + ".labelsFont");
    auto* color = Row(labels, QStringLiteral("Colour:"), new ColorButton(axis.LabelsFont().Color),
                      who + QStringLiteral(" labels colour"), key + ".labelsColor");
    connect(labels_shown, &QCheckBox::toggled, this, [&axis](bool on) { axis.SetLabels(on); });
    font->OnChanged = [this, &axis](const TPlotFont& f) {
        axis.LabelsFont() = f;
        Changed();
    };
    color->OnChanged = [&axis, font](base::TColor c) {
        TPlotFont f = axis.LabelsFont();
        f.Color = c;
        font->SetFont(f);
    };

    QFormLayout* grid = Group(column, QStringLiteral("Grid"));
    TAxisGridPen& g = axis.Grid();
    auto* grid_shown = Check(grid, QStringLiteral("Show grid lines"), g.Visible,
                             who + QStringLiteral(" show grid"), key + ".grid");
    auto* grid_color = Row(grid, QStringLiteral("Colour:"), new ColorButton(g.Color),
                           who + QStringLiteral(" grid colour"), key + ".gridColor");
    auto* grid_style = Row(grid, QStringLiteral("Style:"), Combo(kPenStyles, g.Style),
                           who + QStringLiteral(" grid style"), key + ".gridStyle");
    auto* grid_width = Row(grid, QStringLiteral("Width:"), IntSpin(1, 10, g.Width, " px"),
                           who + QStringLiteral(" grid width"), key + ".gridWidth");
    connect(grid_shown, &QCheckBox::toggled, this, [this, &g](bool on) {
        g.Visible = on;
        Changed();
    });
    grid_color->OnChanged = [this, &g](base::TColor c) {
        g.Color = c;
        Changed();
    };
    connect(grid_style, &QComboBox::currentIndexChanged, this, [this, &g](int i) {
        g.Style = static_cast<TPenStyle>(i);
        Changed();
    });
    connect(grid_width, &QSpinBox::valueChanged, this, [this, &g](int v) {
        g.Width = v;
        Changed();
    });
    column->addStretch();
    return page;
}

QWidget* ChartEditorDialog::BuildSeriesTab() {
    auto* page = new QWidget;
    auto* row = new QHBoxLayout(page);
    auto* list = new QListWidget;
    list->setObjectName(QStringLiteral("series.list"));
    list->setAccessibleName(QStringLiteral("Series"));
    list->setMaximumWidth(160);
    auto* pages = new QStackedWidget;
    const std::vector<TPlotSeries*> series = chart_.SeriesList();
    for (size_t i = 0; i < series.size(); ++i) {
        list->addItem(SeriesName(*series[i], static_cast<int>(i)));
        pages->addWidget(BuildSeriesPage(*series[i], static_cast<int>(i)));
    }
    connect(list, &QListWidget::currentRowChanged, pages, &QStackedWidget::setCurrentIndex);
    if (!series.empty()) {
        list->setCurrentRow(0);
    }
    row->addWidget(list);
    row->addWidget(pages, 1);
    return page;
}

QWidget* ChartEditorDialog::BuildSeriesPage(TPlotSeries& series, int index) {
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    const QString key = QStringLiteral("series.%1").arg(index);
    const QString who = SeriesName(series, index);
    QFormLayout* form = Group(column, who);
    auto* box = qobject_cast<QGroupBox*>(form->parentWidget());

    auto* title = Row(form, QStringLiteral("Title:"), new QLineEdit(Q(series.Title())),
                      who + QStringLiteral(" title"), key + ".title");
    auto* active = Check(form, QStringLiteral("Visible"), series.Active(),
                         who + QStringLiteral(" visible"), key + ".visible");
    auto* legend = Check(form, QStringLiteral("Listed in the legend"), series.ShowInLegend(),
                         who + QStringLiteral(" listed in the legend"), key + ".legend");
    auto* color = Row(form, QStringLiteral("Colour:"), new ColorButton(series.SeriesColor()),
                      who + QStringLiteral(" colour"), key + ".color");
    connect(title, &QLineEdit::textChanged, this, [this, &series, box, index](const QString& t) {
        series.SetTitle(t.toStdString());
        const QString name = SeriesName(series, index);
        box->setTitle(name);
        if (auto* list = tabs_->findChild<QListWidget*>(QStringLiteral("series.list"))) {
            list->item(index)->setText(name);
        }
    });
    connect(active, &QCheckBox::toggled, this, [&series](bool on) { series.SetActive(on); });
    connect(legend, &QCheckBox::toggled, this, [&series](bool on) { series.SetShowInLegend(on); });
    color->OnChanged = [&series](base::TColor c) { series.SetSeriesColor(c); };

    if (auto* points = dynamic_cast<TPlotPointSeries*>(&series)) {
        auto* width =
            Row(form, QStringLiteral("Line width:"), IntSpin(1, 20, points->LinePen().Width, " px"),
                who + QStringLiteral(" line width"), key + ".lineWidth");
        auto* pointer = Check(form, QStringLiteral("Mark the points"), points->Pointer().Visible,
                              who + QStringLiteral(" mark the points"), key + ".pointer");
        auto* style =
            Row(form, QStringLiteral("Point mark:"), Combo(kPointerStyles, points->Pointer().Style),
                who + QStringLiteral(" point mark"), key + ".pointerStyle");
        connect(width, &QSpinBox::valueChanged, this, [this, points](int v) {
            points->LinePen().Width = v;
            Changed();
        });
        connect(pointer, &QCheckBox::toggled, this, [this, points](bool on) {
            points->Pointer().Visible = on;
            Changed();
        });
        connect(style, &QComboBox::currentIndexChanged, this, [this, points](int i) {
            points->Pointer().Style = static_cast<TSeriesPointerStyle>(i);
            Changed();
        });
    }
    column->addStretch();
    return page;
}

QWidget* ChartEditorDialog::BuildView3DTab() {
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    QFormLayout* form = Group(column, QStringLiteral("3D view"));
    const TPlotView3DOptions& o = chart_.View3DOptions();
    auto* on = Check(form, QStringLiteral("Show the chart in 3D"), chart_.View3D(),
                     QStringLiteral("Show the chart in 3D"), QStringLiteral("view3D"));
    connect(on, &QCheckBox::toggled, this, [this](bool v) { chart_.SetView3D(v); });

    // Each control edits one field of the options.
    const auto edit = [this](auto change) {
        return [this, change](auto value) {
            TPlotView3DOptions options = chart_.View3DOptions();
            change(options, value);
            chart_.SetView3DOptions(options);
        };
    };
    auto* rotation = Row(form, QStringLiteral("Rotation:"), DoubleSpin(0, 360, 1, o.Rotation, "°"),
                         QStringLiteral("Rotation"), QStringLiteral("view3D.rotation"));
    connect(rotation, &QDoubleSpinBox::valueChanged, this,
            edit([](TPlotView3DOptions& p, double v) { p.Rotation = v; }));
    auto* elevation =
        Row(form, QStringLiteral("Elevation:"), DoubleSpin(0, 360, 1, o.Elevation, "°"),
            QStringLiteral("Elevation"), QStringLiteral("view3D.elevation"));
    connect(elevation, &QDoubleSpinBox::valueChanged, this,
            edit([](TPlotView3DOptions& p, double v) { p.Elevation = v; }));
    auto* tilt = Row(form, QStringLiteral("Tilt:"), IntSpin(0, 360, o.Tilt, "°"),
                     QStringLiteral("Tilt"), QStringLiteral("view3D.tilt"));
    connect(tilt, &QSpinBox::valueChanged, this,
            edit([](TPlotView3DOptions& p, int v) { p.Tilt = v; }));
    auto* perspective =
        Row(form, QStringLiteral("Perspective:"), IntSpin(0, 100, o.Perspective, " %"),
            QStringLiteral("Perspective"), QStringLiteral("view3D.perspective"));
    connect(perspective, &QSpinBox::valueChanged, this,
            edit([](TPlotView3DOptions& p, int v) { p.Perspective = v; }));
    auto* orthogonal = Check(form, QStringLiteral("Orthogonal (no perspective)"), o.Orthogonal,
                             QStringLiteral("Orthogonal"), QStringLiteral("view3D.orthogonal"));
    connect(orthogonal, &QCheckBox::toggled, this,
            edit([](TPlotView3DOptions& p, bool v) { p.Orthogonal = v; }));
    auto* horiz = Row(form, QStringLiteral("Horizontal offset:"),
                      IntSpin(-10000, 10000, o.HorizOffset, " px"),
                      QStringLiteral("Horizontal offset"), QStringLiteral("view3D.horizOffset"));
    connect(horiz, &QSpinBox::valueChanged, this,
            edit([](TPlotView3DOptions& p, int v) { p.HorizOffset = v; }));
    auto* vert =
        Row(form, QStringLiteral("Vertical offset:"), IntSpin(-10000, 10000, o.VertOffset, " px"),
            QStringLiteral("Vertical offset"), QStringLiteral("view3D.vertOffset"));
    connect(vert, &QSpinBox::valueChanged, this,
            edit([](TPlotView3DOptions& p, int v) { p.VertOffset = v; }));
    auto* zoom = Row(form, QStringLiteral("Zoom:"), DoubleSpin(1, 10000, 0, o.Zoom, " %"),
                     QStringLiteral("Zoom"), QStringLiteral("view3D.zoom"));
    connect(zoom, &QDoubleSpinBox::valueChanged, this,
            edit([](TPlotView3DOptions& p, double v) { p.Zoom = v; }));
    auto* depth =
        Row(form, QStringLiteral("Depth:"), IntSpin(0, 100, chart_.Chart3DPercent(), " %"),
            QStringLiteral("3D depth"), QStringLiteral("view3D.depth"));
    connect(depth, &QSpinBox::valueChanged, this, [this](int v) { chart_.SetChart3DPercent(v); });
    column->addStretch();
    return page;
}

namespace {

// Runs a file hook and turns whatever it raises into its error text.
std::string RunHook(const std::function<std::string(const std::string&)>& hook,
                    const QString& path) {
    try {
        return hook(path.toStdString());
    } catch (const std::exception& e) {
        return e.what()[0] != '\0' ? std::string(e.what()) : std::string("Unknown error");
    } catch (...) {
        return "Unknown error";
    }
}

void ShowError(const std::string& text) {
    base::CurrentErrorDisplay().Show(base::ApplicationTitle(), base::ErrorBoxText(text));
}

QString AskPath(QWidget* parent, const QString& caption, const ChartEditorHooks& hooks,
                bool saving) {
    QFileDialog dialog(parent, caption, QString(), Q(hooks.FileFilter));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setObjectName(saving ? QStringLiteral("saveDialog") : QStringLiteral("openDialog"));
    if (saving) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(Q(hooks.DefaultSuffix));
    } else {
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return QString();
    }
    return dialog.selectedFiles().front();
}

} // namespace

bool ChartEditorDialog::SaveTo(const QString& path) {
    if (!hooks_.Save) {
        return false;
    }
    const std::string error = RunHook(hooks_.Save, path);
    if (!error.empty()) {
        ShowError(error);
        return false;
    }
    return true;
}

bool ChartEditorDialog::OpenFrom(const QString& path) {
    if (!hooks_.Open) {
        return false;
    }
    const std::string error = RunHook(hooks_.Open, path);
    // Even a failed open may have changed part of the chart: show what it holds now.
    Populate();
    if (!error.empty()) {
        ShowError(error);
        return false;
    }
    original_ = ChartSettings::Capture(chart_);
    chart_.Invalidate();
    return true;
}

void ChartEditorDialog::AskSavePath() {
    const QString path = AskPath(this, QStringLiteral("Save Chart"), hooks_, true);
    if (!path.isEmpty()) {
        SaveTo(path);
    }
}

void ChartEditorDialog::AskOpenPath() {
    const QString path = AskPath(this, QStringLiteral("Open Chart"), hooks_, false);
    if (!path.isEmpty()) {
        OpenFrom(path);
    }
}

bool RunChartEditor(QWidget* parent, TPlot& chart, const ChartEditorHooks& hooks) {
    ChartEditorDialog dialog(chart, hooks, parent);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace chart
