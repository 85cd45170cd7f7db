#include "platform/SettingsLocation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include "platform/ProgramFiles.h"

namespace hv {
namespace SettingsLocation {

QString userSettingsDir() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Hostvane");
}

QString settingsFile(const QString& programDir, const QString& fileName, bool programDirWritable) {
    if (programDirWritable) return ProgramFiles::resolve(programDir, fileName);
    return ProgramFiles::resolve(userSettingsDir(), fileName);
}

QString settingsFile(const QString& programDir, const QString& fileName) {
    const bool writable = ::access(QFile::encodeName(programDir).constData(), W_OK) == 0;
    return settingsFile(programDir, fileName, writable);
}

QString prepareSettingsFile(const QString& programDir, const QString& fileName) {
    const QString path = settingsFile(programDir, fileName);
    const QString beside = ProgramFiles::resolve(programDir, fileName);
    if (path == beside || QFile::exists(path)) return path;

    const QString dir = userSettingsDir();
    if (!QDir().mkpath(dir)) return path;
    ::chmod(QFile::encodeName(dir).constData(), 0700);
    QFile source(beside);
    if (!source.open(QIODevice::ReadOnly)) return path;
    const QByteArray bytes = source.readAll();
    // O_EXCL: a second copy starting at the same moment must not truncate a file being written.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return path;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        done += n;
    }
    ::close(fd);
    if (done != bytes.size()) ::unlink(QFile::encodeName(path).constData());
    return path;
}

}  // namespace SettingsLocation
}  // namespace hv
