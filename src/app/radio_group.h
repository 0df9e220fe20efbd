// A one-column group of radio buttons with an item index, as the band quick setup uses it.
// Setting the index from code never reports a selection; the user selecting an item other
// than the one already selected does (a second click on the selected item does not).
#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QList>
#include <QRadioButton>
#include <QStringList>

namespace app {

class RadioGroup : public QGroupBox {
    Q_OBJECT

public:
    // The items are fixed at construction; none is selected until SetItemIndex.
    RadioGroup(const QString& caption, const QStringList& items, QWidget* parent = nullptr);

    [[nodiscard]] int ItemCount() const { return static_cast<int>(buttons_.size()); }
    // The radio button of an item (for focus order and tests); nullptr outside the items.
    [[nodiscard]] QRadioButton* Button(int index) const;

    // Index of the selected item, -1 when none.
    [[nodiscard]] int ItemIndex() const;
    // Selects an item (-1 or an index outside the items clears the selection) without
    // reporting it.
    void SetItemIndex(int index);

    // Places the items for the box's current size and font (also done on every resize, which
    // a hidden box does not get until it is shown).
    void ArrangeButtons();

signals:
    // The user selected another item.
    void ItemSelected(int index);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QButtonGroup group_;
    QList<QRadioButton*> buttons_; // children of this box, in item order
    bool setting_ = false;         // true while SetItemIndex changes the checked button
};

} // namespace app
