#include "platform/ProgramFiles.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QStringList>
#include <memory>
#include <vector>

namespace hv {
namespace ProgramFiles {

namespace {

QString joined(const QString& dir, const QString& name) {
    if (dir.endsWith(QLatin1Char('/'))) return dir + name;
    return dir + QLatin1Char('/') + name;
}

bool entryExists(const QString& path) {
    struct stat st;
    // lstat: a dangling link still occupies the name.
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

QChar asciiLower(QChar c) {
    return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ? QChar(c.unicode() + 32) : c;
}

bool equalIgnoringAsciiCase(const QString& a, const QString& b) {
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    return true;
}

}  // namespace

QString executablePath() {
    std::vector<char> buffer(4096);
    for (int attempt = 0; attempt < 8; ++attempt) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) return {};
        if (static_cast<std::size_t>(n) < buffer.size())
            return QFile::decodeName(QByteArray(buffer.data(), n));
        buffer.resize(buffer.size() * 2);
    }
    return {};
}

QString executableDir() {
    const QString path = executablePath();
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) return {};
    if (slash == 0) return QStringLiteral("/");
    return path.left(slash);
}

QString executableDerivedName(const QString& executableFileName) {
    QString name = executableFileName.mid(executableFileName.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0) name.truncate(dot);
    if (name.isEmpty()) return name;
    // The first character keeps its case; it may be a surrogate pair.
    const qsizetype first = (name.size() > 1 && name[0].isHighSurrogate()) ? 2 : 1;
    return name.left(first) + name.mid(first).toLower();
}

QString resolve(const QString& dir, const QString& name) {
    const QString exact = joined(dir, name);
    if (name.isEmpty() || entryExists(exact)) return exact;

    const QByteArray encodedDir = QFile::encodeName(dir.isEmpty() ? QStringLiteral("/") : dir);
    std::unique_ptr<DIR, int (*)(DIR*)> handle(::opendir(encodedDir.constData()), ::closedir);
    if (!handle) return exact;
    // readdir order is the folder's own order, as the first match of a search would be.
    while (const dirent* entry = ::readdir(handle.get())) {
        const QString candidate = QFile::decodeName(entry->d_name);
        if (equalIgnoringAsciiCase(candidate, name)) return joined(dir, candidate);
    }
    return exact;
}

QString resolvePath(const QString& dir, const QString& relativePath) {
    QString path = dir;
    const QStringList parts = relativePath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& part : parts) path = resolve(path, part);
    return path;
}

QString iniPathFor(const QString& executablePath) {
    const qsizetype slash = executablePath.lastIndexOf(QLatin1Char('/'));
    const QString dir = slash < 0 ? QString() : executablePath.left(slash == 0 ? 1 : slash);
    QString name = executablePath.mid(slash + 1);
    // A leading dot marks a hidden file, not an extension.
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0) name.truncate(dot);
    name += QStringLiteral(".ini");
    if (slash < 0) return resolve(QStringLiteral("."), name).mid(2);
    return resolve(dir, name);
}

}  // namespace ProgramFiles
}  // namespace hv
