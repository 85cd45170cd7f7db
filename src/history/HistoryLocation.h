#pragma once

#include <QString>

namespace hv {

// history.sqlite beside the settings file when that is beside the program, else
// $XDG_STATE_HOME/Hostvane/ (default ~/.local/state/Hostvane/).
QString historyFilePath(const QString& settingsFilePath);
// The same with the program's folder given.
QString historyFilePath(const QString& settingsFilePath, const QString& programDir);

}  // namespace hv
