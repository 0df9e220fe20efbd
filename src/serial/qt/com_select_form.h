// The port selection dialog: shown when a port is to be opened without a port number. It
// lists the ports that exist among COM1 to COM50 and answers the one the user picks.
//
// UI thread only. The list is filled once, when the dialog is made; ports are looked up
// without being opened, so a port another program holds is listed too.
#pragma once

#include "serial/com_port_types.h"

#include <QDialog>
#include <cstdint>
#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QPushButton;

namespace serial {

class TComSelectForm : public QDialog {
    Q_OBJECT

public:
    static constexpr int kClientWidth = 220;
    static constexpr int kClientHeight = 131;
    static constexpr int kHighestPort = 50;

    // is_available(n) tells whether COM<n> exists.
    explicit TComSelectForm(const std::function<bool(int)>& is_available,
                            QWidget* parent = nullptr);

    // The number of the selected entry ("COM7" gives 7); none without a selection.
    [[nodiscard]] std::optional<uint16_t> SelectedPort() const;

    // Shows the dialog modally: the port chosen with OK, or none for any other ending.
    [[nodiscard]] static std::optional<uint16_t>
    Choose(const std::function<bool(int)>& is_available, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* PortsComboBox = nullptr;
    QPushButton* OkBtn = nullptr;
    QPushButton* AbortBtn = nullptr;
};

// Asks the user through the dialog, with the ports the com port's device layer knows.
class TComSelectFormSelector : public IPortSelector {
public:
    explicit TComSelectFormSelector(QWidget* parent = nullptr) : parent_(parent) {}
    [[nodiscard]] std::optional<uint16_t> SelectPort() override;

private:
    QWidget* parent_;
};

} // namespace serial
