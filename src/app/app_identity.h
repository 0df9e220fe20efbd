// How the program is known to the desktop: the reverse-DNS id its desktop entry, metainfo and
// icon are installed under, and the icon itself, compiled in from the same pictures.
// User-interface thread only, once a QApplication exists.
#pragma once

#include <QIcon>
#include <QString>

namespace app {

// The desktop id ("io.github.tarnel.DataScan"), the name of the installed .desktop file
// without its extension.
QString ApplicationId();

// The program's icon in every size it is installed in (16 to 256 pixels).
QIcon ApplicationIcon();

// Gives the application its icon (for every window and dialog) and its desktop file name,
// by which a desktop matches the running program to its entry and icon.
void SetApplicationIdentity();

} // namespace app
