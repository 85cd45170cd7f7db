#pragma once

#include <QIcon>
#include <QString>

namespace hv {

// The program's own icon on every window: the icon theme's "hostvane" (the packaged icons)
// where the theme has it, else the tray image drawn in code, so a copy run from its build
// folder shows it too.
namespace ProgramIcon {
inline const QString kThemeName = QStringLiteral("hostvane");
// The desktop entry the windows belong to (packaging/org.example.Hostvane.desktop), so a
// taskbar finds the entry's name and icon for them.
inline const QString kDesktopFileName = QStringLiteral("org.example.Hostvane");
QIcon icon();
// Gives the application its icon and desktop entry; every window created later inherits it.
void apply();
}  // namespace ProgramIcon

}  // namespace hv
