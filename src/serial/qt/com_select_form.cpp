#include "serial/qt/com_select_form.h"

#include "serial/com_port.h"

#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace serial {

namespace {

// The dialog's designed font; Linux has it only through fontconfig substitutes, so close
// metric matches come first.
QFont DialogFont() {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arial")});
    font.setPixelSize(11);
    return font;
}

} // namespace

TComSelectForm::TComSelectForm(const std::function<bool(int)>& is_available, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("ComSelectForm"));
    setWindowTitle(QStringLiteral("Select Port"));
    // A fixed dialog with only the system menu: no resizing, no help or maximize buttons.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(DialogFont());

    auto* bevel = new QFrame(this);
    bevel->setObjectName(QStringLiteral("Bevel1"));
    bevel->setFrameShape(QFrame::Box);
    bevel->setFrameShadow(QFrame::Sunken);
    bevel->setGeometry(8, 8, 204, 81);

    Label1 = new QLabel(QStringLiteral("The configured serial port is not valid."), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(16, 16, 188, 16);
    Label2 = new QLabel(QStringLiteral("Please choose another port."), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(16, 34, 188, 16);

    PortsComboBox = new QComboBox(this);
    PortsComboBox->setObjectName(QStringLiteral("PortsComboBox"));
    PortsComboBox->setEditable(false); // selection only
    PortsComboBox->setGeometry(16, 58, 188, 21);
    PortsComboBox->setAccessibleName(QStringLiteral("Port"));
    for (int n = 1; n <= kHighestPort; ++n) {
        if (is_available(n))
            PortsComboBox->addItem(QStringLiteral("COM%1").arg(n));
    }
    if (PortsComboBox->count() > 0)
        PortsComboBox->setCurrentIndex(0);

    OkBtn = new QPushButton(QStringLiteral("OK"), this);
    OkBtn->setObjectName(QStringLiteral("OkBtn"));
    OkBtn->setGeometry(30, 98, 75, 25);
    OkBtn->setDefault(true);
    // With no port to choose, OK would answer a port that does not exist.
    OkBtn->setEnabled(PortsComboBox->count() > 0);
    AbortBtn = new QPushButton(QStringLiteral("Cancel"), this);
    AbortBtn->setObjectName(QStringLiteral("AbortBtn"));
    AbortBtn->setGeometry(115, 98, 75, 25);

    connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(AbortBtn, &QPushButton::clicked, this, &QDialog::reject);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(kClientWidth / 2, kClientHeight / 2));
    }
}

std::optional<uint16_t> TComSelectForm::SelectedPort() const {
    const QString text = PortsComboBox->currentText();
    bool ok = false;
    const int number = text.mid(3).toInt(&ok);
    if (!ok || number <= 0 || number > 0xFFFF)
        return std::nullopt;
    return static_cast<uint16_t>(number);
}

std::optional<uint16_t> TComSelectForm::Choose(const std::function<bool(int)>& is_available,
                                               QWidget* parent) {
    TComSelectForm form(is_available, parent);
    if (form.exec() != QDialog::Accepted)
        return std::nullopt;
    return form.SelectedPort();
}

std::optional<uint16_t> TComSelectFormSelector::SelectPort() {
    return TComSelectForm::Choose(
        [](int n) { return TSioCustomComPort::IsPortAvailable(static_cast<uint16_t>(n)); },
        parent_);
}

} // namespace serial
