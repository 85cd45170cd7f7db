#pragma once

#include <QString>

namespace hv {

// Which settings file the program uses. A copy whose folder the user may write to (a build, a
// portable copy) keeps its settings beside the executable; an installed copy's folder is
// read-only and holds only the default, so the user's own file lives in
// $XDG_CONFIG_HOME/Hostvane (default ~/.config/Hostvane) and starts as a copy of that default.
namespace SettingsLocation {

// The folder for the per-user settings file.
QString userSettingsDir();

// The settings file for fileName ("Hostvane.ini") of the program in programDir, looked up
// ignoring case in whichever folder the rule picks.
QString settingsFile(const QString& programDir, const QString& fileName, bool programDirWritable);
QString settingsFile(const QString& programDir, const QString& fileName);

// settingsFile(), and when that is the per-user file and it does not exist yet, creates it from
// the default beside the program (folder mode 0700, file mode 0600), whole or not at all and
// never over a file that exists. A failure to create it leaves the defaults to be read; the
// first save creates it then. programDirWritable: as settingsFile() takes it.
QString prepareSettingsFile(const QString& programDir, const QString& fileName);
QString prepareSettingsFile(const QString& programDir, const QString& fileName,
                            bool programDirWritable);

}  // namespace SettingsLocation
}  // namespace hv
