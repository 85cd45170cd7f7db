#include "views/ProgramIcon.h"

#include <QGuiApplication>

#include "views/TrayIcon.h"

namespace hv::ProgramIcon {

QIcon icon() { return QIcon::fromTheme(kThemeName, TrayIcon::trayImage()); }

void apply() {
    QGuiApplication::setWindowIcon(icon());
    QGuiApplication::setDesktopFileName(kDesktopFileName);
}

}  // namespace hv::ProgramIcon
