#include "serial/qt/com_select_form.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace serial {
namespace {

QStringList Items(const QComboBox& box) {
    QStringList items;
    for (int i = 0; i < box.count(); ++i)
        items << box.itemText(i);
    return items;
}

TEST(ComSelectForm, ListsTheAvailablePortsInOrderAndSelectsTheFirst) {
    int asked = 0;
    TComSelectForm form([&](int n) {
        ++asked;
        return n == 3 || n == 12 || n == 50 || n == 51;
    });
    EXPECT_EQ(asked, 50); // COM1 to COM50, nothing beyond
    EXPECT_EQ(Items(*form.PortsComboBox), (QStringList{"COM3", "COM12", "COM50"}));
    EXPECT_EQ(form.PortsComboBox->currentIndex(), 0);
    EXPECT_FALSE(form.PortsComboBox->isEditable());
    EXPECT_EQ(form.windowTitle(), "Select Port");
    EXPECT_EQ(form.size(), QSize(220, 131));
    EXPECT_EQ(form.Label1->text(), "The configured serial port is not valid.");
    EXPECT_EQ(form.Label2->text(), "Please choose another port.");
    EXPECT_EQ(form.OkBtn->text(), "OK");
    EXPECT_TRUE(form.OkBtn->isDefault());
    EXPECT_TRUE(form.OkBtn->isEnabled());
    EXPECT_EQ(form.AbortBtn->text(), "Cancel");
    form.PortsComboBox->setCurrentIndex(1);
    EXPECT_EQ(form.SelectedPort(), std::optional<uint16_t>(12));
}

TEST(ComSelectForm, WithNoPortOkIsDisabledAndNothingIsSelected) {
    TComSelectForm form([](int) { return false; });
    EXPECT_EQ(form.PortsComboBox->count(), 0);
    EXPECT_FALSE(form.OkBtn->isEnabled());
    EXPECT_EQ(form.SelectedPort(), std::nullopt);
}

// Clicks a button of the modal dialog once it is shown.
void ClickWhenShown(const char* button) {
    QTimer::singleShot(0, [button] {
        auto* form = qobject_cast<TComSelectForm*>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        QTest::mouseClick(form->findChild<QPushButton*>(button), Qt::LeftButton);
    });
}

TEST(ComSelectForm, ChooseAnswersThePortOnlyForOk) {
    auto available = [](int n) { return n == 4 || n == 9; };
    ClickWhenShown("OkBtn");
    EXPECT_EQ(TComSelectForm::Choose(available), std::optional<uint16_t>(4));
    ClickWhenShown("AbortBtn");
    EXPECT_EQ(TComSelectForm::Choose(available), std::nullopt);
}

} // namespace
} // namespace serial
