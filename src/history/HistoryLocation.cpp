#include "history/HistoryLocation.h"

#include <QDir>
#include <QFileInfo>

#include "platform/ProgramFiles.h"

namespace hv {

namespace {

QString stateHome() {
    const QString xdg = qEnvironmentVariable("XDG_STATE_HOME");
    // The base directory rules ignore a relative path.
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg)) return xdg;
    return QDir::homePath() + QStringLiteral("/.local/state");
}

}  // namespace

QString historyFilePath(const QString& settingsFilePath, const QString& programDir) {
    const QString settingsDir = QFileInfo(settingsFilePath).absolutePath();
    if (QDir(settingsDir) == QDir(programDir))
        return settingsDir + QStringLiteral("/history.sqlite");
    return stateHome() + QStringLiteral("/Hostvane/history.sqlite");
}

QString historyFilePath(const QString& settingsFilePath) {
    return historyFilePath(settingsFilePath, ProgramFiles::executableDir());
}

}  // namespace hv
