#pragma once

#include <QString>

class QWidget;

namespace hv {

// The tray program from start to end: the application object, the chosen language, the
// single-instance guard, the three long-lived windows, the settings, the translation, the
// message loop, and an orderly end (checking thread first, then the windows, then the lock).
class StartupSequence {
public:
    // Exit status: 0 after Quit, SIGTERM or SIGINT, and in a later copy; 1 when the program
    // files are broken (the skin).
    static int run(int& argc, char** argv);

    // No display to open: DISPLAY and WAYLAND_DISPLAY unset and no QT_QPA_PLATFORM chosen.
    static bool hasDisplay();
    static QString noDisplayMessage();

    // TranslateAllForms: translateForm of the three windows the application owns, in their
    // creation order; nullptrs uninstall it.
    static void installTranslateAllForms(QWidget* frmMain, QWidget* frmLog, QWidget* frmState);

    // A later copy asked the running one to come forward: the window to raise, if any.
    static QWidget* windowToActivate();
};

}  // namespace hv
