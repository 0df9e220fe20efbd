#include "chart/qt/plot_toolbar_widget.h"

#include "base/error_display.h"
#include "chart/gradient_fill.h"
#include "chart/qt/plot_widget.h"
#include "chart/qt/qt_canvas.h"

#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QSvgRenderer>
#include <QToolButton>

// Resources of a static library are registered by hand, outside any namespace.
static void InitPlotToolbarResources() {
    Q_INIT_RESOURCE(plot_toolbar);
}

namespace chart {

namespace {

constexpr int kGlyphSize = 24;

QString ToQString(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The disabled look: the picture in light grey, half transparent, so it reads as unavailable
// on any background.
QPixmap DisabledLook(const QPixmap& normal) {
    QImage image = normal.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = line[x];
            const int grey = 128 + qGray(pixel) / 3;
            line[x] = qRgba(grey, grey, grey, qAlpha(pixel) / 2);
        }
    }
    QPixmap disabled = QPixmap::fromImage(image);
    disabled.setDevicePixelRatio(normal.devicePixelRatio());
    return disabled;
}

} // namespace

QIcon PlotToolbarWidget::GlyphIcon(const std::string& glyph) {
    InitPlotToolbarResources();
    const QString path = QStringLiteral(":/plot_toolbar/%1.svg").arg(ToQString(glyph));
    if (!QFile::exists(path)) {
        return {};
    }
    QSvgRenderer renderer(path);
    if (!renderer.isValid()) {
        return {};
    }
    QIcon icon;
    for (int ratio : {1, 2}) {
        QPixmap pixmap(kGlyphSize * ratio, kGlyphSize * ratio);
        pixmap.fill(Qt::transparent);
        {
            QPainter painter(&pixmap);
            painter.setRenderHint(QPainter::Antialiasing);
            renderer.render(&painter);
        }
        pixmap.setDevicePixelRatio(ratio);
        icon.addPixmap(pixmap, QIcon::Normal);
        icon.addPixmap(DisabledLook(pixmap), QIcon::Disabled);
    }
    return icon;
}

PlotToolbarWidget::PlotToolbarWidget(QWidget* parent)
    : QWidget(parent), toolbar_(std::make_unique<TPlotToolbar>()) {
    resize(toolbar_->Width(), toolbar_->Height());
    toolbar_->SetView(this);
    ControlsCreated();
}

PlotToolbarWidget::~PlotToolbarWidget() {
    toolbar_->SetView(nullptr);
}

void PlotToolbarWidget::SetPanel(PlotWidget* chart) {
    toolbar_->SetPanel(chart != nullptr ? &chart->Plot() : nullptr);
}

QAbstractButton* PlotToolbarWidget::ButtonWidget(TPlotToolbarControls kind) const {
    const auto& controls = toolbar_->Controls();
    for (size_t i = 0; i < controls.size() && i < widgets_.size(); ++i) {
        if (controls[i].get() == toolbar_->Button(kind)) {
            return qobject_cast<QAbstractButton*>(widgets_[i]);
        }
    }
    return nullptr;
}

QLabel* PlotToolbarWidget::LabelWidget() const {
    const auto& controls = toolbar_->Controls();
    for (size_t i = 0; i < controls.size() && i < widgets_.size(); ++i) {
        if (controls[i].get() == toolbar_->LabelText()) {
            return qobject_cast<QLabel*>(widgets_[i]);
        }
    }
    return nullptr;
}

void PlotToolbarWidget::ControlsCreated() {
    // The old widgets may be the sender of the click that led here: deleted later.
    for (QWidget* widget : widgets_) {
        widget->hide();
        widget->deleteLater();
    }
    widgets_.clear();
    for (const auto& control : toolbar_->Controls()) {
        QWidget* widget = nullptr;
        switch (control->Kind) {
        case tcbSeparator: {
            auto* line = new QFrame(this);
            line->setFrameShadow(QFrame::Sunken);
            widget = line;
            break;
        }
        case tcbLabel: {
            auto* label = new QLabel(this);
            label->setFont(QtCanvas::ToQFont(control->Font));
            QPalette palette = label->palette();
            palette.setColor(QPalette::WindowText, QtCanvas::ToQColor(control->Font.Color));
            label->setPalette(palette);
            label->setAutoFillBackground(!control->Transparent);
            label->setObjectName(QStringLiteral("PlotToolbarLabel"));
            widget = label;
            break;
        }
        default: {
            auto* button = new QToolButton(this);
            const QString hint = ToQString(control->Hint);
            button->setObjectName(hint);
            button->setAccessibleName(hint);
            button->setAutoRaise(true);
            button->setCheckable(control->GroupIndex != 0);
            button->setIcon(GlyphIcon(control->Glyph));
            button->setIconSize(QSize(kGlyphSize - 4, kGlyphSize - 4));
            const TPlotToolbarControls kind = control->Kind;
            connect(button, &QToolButton::clicked, this,
                    [this, kind] { base::RunHandler([&] { toolbar_->ClickButton(kind); }); });
            widget = button;
            break;
        }
        }
        widgets_.push_back(widget);
    }
    ControlsChanged();
}

void PlotToolbarWidget::ControlsChanged() {
    const auto& controls = toolbar_->Controls();
    for (size_t i = 0; i < controls.size() && i < widgets_.size(); ++i) {
        const TPlotToolbarControl& control = *controls[i];
        QWidget* widget = widgets_[i];
        const TRect& r = control.Bounds;
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            const QString text = ToQString(control.Caption);
            if (label->text() != text) {
                label->setText(text);
            }
            label->move(r.Left, r.Top);
            label->adjustSize();
        } else {
            if (auto* line = qobject_cast<QFrame*>(widget)) {
                line->setFrameShape(r.Width() <= r.Height() ? QFrame::VLine : QFrame::HLine);
            }
            widget->setGeometry(r.Left, r.Top, r.Width(), r.Height());
        }
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            button->setToolTip(toolbar_->ShowHint() ? ToQString(control.Hint) : QString());
            if (button->isCheckable() && button->isChecked() != control.Down) {
                const QSignalBlocker blocker(button);
                button->setChecked(control.Down);
            }
        }
        widget->setEnabled(control.Enabled);
        widget->setVisible(control.Visible);
    }
}

void PlotToolbarWidget::RepaintLabel() {
    if (QLabel* label = LabelWidget(); label != nullptr && label->isVisible()) {
        label->repaint();
    }
}

void PlotToolbarWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    toolbar_->SetSize(width(), height());
}

void PlotToolbarWidget::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    if (toolbar_->OnMouseEnter) {
        base::RunHandler([&] { toolbar_->OnMouseEnter(); });
    }
}

void PlotToolbarWidget::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (toolbar_->OnMouseLeave) {
        base::RunHandler([&] { toolbar_->OnMouseLeave(); });
    }
}

// A panel: the face colour, a gradient when one is set and visible (inside the bevel), and a
// raised bevel around the strip.
void PlotToolbarWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    const int bevel = toolbar_->BevelOuter() ? toolbar_->BevelWidth() : 0;
    if (const TPlotGradient* gradient = toolbar_->GradientOrNull();
        gradient != nullptr && gradient->Visible) {
        QtCanvas canvas;
        canvas.SetPainter(&painter);
        FillGradient(canvas, TRect{bevel, bevel, width() - bevel, height() - bevel}, *gradient);
        canvas.SetPainter(nullptr);
    }
    if (bevel > 0) {
        const QColor light = palette().color(QPalette::Light);
        const QColor dark = palette().color(QPalette::Dark);
        for (int i = 0; i < bevel; ++i) {
            const QRect r = rect().adjusted(i, i, -i - 1, -i - 1);
            painter.setPen(light);
            painter.drawLine(r.topLeft(), r.topRight());
            painter.drawLine(r.topLeft(), r.bottomLeft());
            painter.setPen(dark);
            painter.drawLine(r.bottomLeft(), r.bottomRight());
            painter.drawLine(r.topRight(), r.bottomRight());
        }
    }
}

} // namespace chart
