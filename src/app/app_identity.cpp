#include "app/app_identity.h"

#include <QApplication>
#include <QGuiApplication>
#include <array>

// The resource lives in a static library: its registration is called for by name, or the
// linker would leave it out.
static void InitAppIconResource() {
    Q_INIT_RESOURCE(app_icon);
}

namespace app {

QString ApplicationId() {
    return QStringLiteral(TDS_APP_ID);
}

QIcon ApplicationIcon() {
    InitAppIconResource();
    QIcon icon;
    for (int size : std::array{16, 22, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/app_icon/%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

void SetApplicationIdentity() {
    QGuiApplication::setDesktopFileName(ApplicationId());
    QApplication::setWindowIcon(ApplicationIcon());
}

} // namespace app
