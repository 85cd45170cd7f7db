#include "platform/SettingsLocation.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include "platform/AtomicFile.h"
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
    const bool writable = ::access(QFile::encodeName(programDir).constData(), W_OK) == 0;
    return prepareSettingsFile(programDir, fileName, writable);
}

QString prepareSettingsFile(const QString& programDir, const QString& fileName,
                            bool programDirWritable) {
    const QString path = settingsFile(programDir, fileName, programDirWritable);
    const QString beside = ProgramFiles::resolve(programDir, fileName);
    if (path == beside || QFile::exists(path)) return path;

    const QString dir = userSettingsDir();
    if (!QDir().mkpath(dir)) return path;
    ::chmod(QFile::encodeName(dir).constData(), 0700);
    QFile source(beside);
    if (!source.open(QIODevice::ReadOnly)) return path;
    const QByteArray bytes = source.readAll();
    if (source.error() != QFileDevice::NoError) return path;
    // Whole or not at all: a start killed while copying must not leave a cut file that every
    // later start takes for the user's own. A second copy starting at the same moment finds
    // the file made and leaves it alone.
    AtomicFile::Options create;
    create.newFileMode = 0600;
    create.noReplace = true;
    try {
        AtomicFile::write(path, bytes, create);
    } catch (const AtomicFileError&) {
        // Made meanwhile, or not at all: then the defaults are read and the first save makes it.
    }
    return path;
}

}  // namespace SettingsLocation
}  // namespace hv
