#pragma once

// The tray program and the translators' check live in a module beside the executable, loaded
// only when one of them runs: the terminal modes (--once, --version, --help) then start without
// loading the widget, GUI and D-Bus libraries, which cost most of their start-up time.
#define HV_GUI_MODULE_FILE "hostvane-gui.so"
#define HV_GUI_MODULE_ENTRY "hostvaneGuiMain"

extern "C" {
// Everything main() does after the terminal modes. Returns the exit status.
int hostvaneGuiMain(int argc, char** argv);
}
