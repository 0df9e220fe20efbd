// The program's entry point: no command-line arguments are read (the name it was started
// with gives the title of its error boxes).
#include "app/app_identity.h"
#include "app/com_port_adapter.h"
#include "app/data_packet_adapter.h"
#include "app/tarnel.h"
#include "base/error_display.h"
#include "base/format_settings.h"
#include "base/message_loop.h"
#include "base/qt/message_box_error_display.h"
#include "base/qt/qt_message_loop.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>
#include <memory>

int main(int argc, char** argv) {
    base::SetApplicationTitle(base::ApplicationTitleFromPath(argc > 0 ? argv[0] : ""));
    // Qt gets only the program's name, so none of its own options are taken from the
    // command line either.
    int qt_argc = argc > 0 ? 1 : 0;
    QApplication application(qt_argc, argv);
    app::SetApplicationIdentity();
    // The layout was designed for the classic look: group box frames through their captions.
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Windows"))) {
        QApplication::setStyle(style);
    }
    base::LoadFormatSettingsFromLocale();

    base::QtMessageLoop loop;
    base::ScopedMessageLoop scoped_loop(loop);
    base::MessageBoxErrorDisplay display;
    base::ScopedErrorDisplay scoped_display(display);

    try {
        auto com_port = std::make_unique<app::ComPortAdapter>();
        auto data_packet = std::make_unique<app::DataPacketAdapter>(com_port->Port());
        app::TTarnel window(std::move(com_port), std::move(data_packet));
        window.show();
        QApplication::exec();
    } catch (...) {
        base::ShowCurrentException();
    }
    return 0;
}
