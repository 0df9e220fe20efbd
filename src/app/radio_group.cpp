#include "app/radio_group.h"

#include <QEvent>
#include <QFontMetrics>

namespace app {

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent) {
    // Named by its own caption; inside another group box assistive tools would otherwise
    // take the outer box's title.
    setAccessibleName(caption);
    group_.setExclusive(true);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        button->setFocusPolicy(Qt::ClickFocus);
        group_.addButton(button, i);
        buttons_.push_back(button);
    }
    // toggled(true) fires only when a button becomes checked, so a click on the button that
    // is already checked reports nothing.
    connect(&group_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        // Tab stops at the checked item only; the others are reached by click or arrow keys.
        buttons_[id]->setFocusPolicy(checked ? Qt::StrongFocus : Qt::ClickFocus);
        if (checked && !setting_) {
            emit ItemSelected(id);
        }
    });
}

QRadioButton* RadioGroup::Button(int index) const {
    if (index < 0 || index >= buttons_.size()) {
        return nullptr;
    }
    return buttons_[index];
}

int RadioGroup::ItemIndex() const {
    return group_.checkedId();
}

void RadioGroup::SetItemIndex(int index) {
    setting_ = true;
    if (index >= 0 && index < buttons_.size()) {
        buttons_[index]->setChecked(true);
    } else if (QAbstractButton* checked = group_.checkedButton()) {
        // An exclusive group refuses to uncheck its last button.
        group_.setExclusive(false);
        checked->setChecked(false);
        group_.setExclusive(true);
    }
    setting_ = false;
}

void RadioGroup::resizeEvent(QResizeEvent* event) {
    QGroupBox::resizeEvent(event);
    ArrangeButtons();
}

void RadioGroup::changeEvent(QEvent* event) {
    QGroupBox::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        ArrangeButtons();
    }
}

// The items share the height below the caption line equally; what is left over is split
// above and below them.
void RadioGroup::ArrangeButtons() {
    if (buttons_.isEmpty()) {
        return;
    }
    const int count = static_cast<int>(buttons_.size());
    const int text_height = QFontMetrics(font()).height();
    const int free_height = height() - text_height - 5;
    const int button_height = free_height > 0 ? free_height / count : 0;
    const int top_margin = text_height + 1 + (free_height > 0 ? free_height % count : 0) / 2;
    const int button_width = width() - 10;
    for (int i = 0; i < count; ++i) {
        buttons_[i]->setGeometry(8, top_margin + i * button_height, button_width, button_height);
    }
}

} // namespace app
