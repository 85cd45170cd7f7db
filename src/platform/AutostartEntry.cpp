#include "platform/AutostartEntry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <optional>

#include "platform/AtomicFile.h"
#include "platform/IniFile.h"

namespace hv {

namespace {

const QString kValueName = QStringLiteral("Hostvane");

Error invalidData() { return Error(QStringLiteral("Invalid data type for '%1'").arg(kValueName)); }

bool isReserved(QChar c) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`=");
    return reserved.contains(c);
}

// The program path as the first Exec argument: quoted when it needs it, "%" doubled, then
// escaped as a desktop-entry string value.
QString execValue(const QString& path) {
    QString argument = path;
    argument.replace(QLatin1Char('%'), QStringLiteral("%%"));
    if (path.isEmpty() || std::any_of(path.begin(), path.end(), isReserved)) {
        QString quoted = QStringLiteral("\"");
        for (QChar c : argument) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                c == QLatin1Char('\\'))
                quoted += QLatin1Char('\\');
            quoted += c;
        }
        argument = quoted + QLatin1Char('"');
    }
    QString value;
    for (QChar c : argument) {
        if (c == QLatin1Char('\\'))
            value += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            value += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            value += QStringLiteral("\\t");
        else if (c == QLatin1Char('\r'))
            value += QStringLiteral("\\r");
        else
            value += c;
    }
    return value;
}

// Undoes the string escapes of a value; nothing when an escape is unknown.
std::optional<QString> unescapeString(const QString& value) {
    QString text;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != QLatin1Char('\\')) {
            text += value[i];
            continue;
        }
        if (++i == value.size()) return std::nullopt;
        switch (value[i].unicode()) {
            case 's':
                text += QLatin1Char(' ');
                break;
            case 'n':
                text += QLatin1Char('\n');
                break;
            case 't':
                text += QLatin1Char('\t');
                break;
            case 'r':
                text += QLatin1Char('\r');
                break;
            case '\\':
                text += QLatin1Char('\\');
                break;
            default:
                return std::nullopt;
        }
    }
    return text;
}

// The first argument of a command line with its quoting undone and "%%" made "%".
std::optional<QString> firstArgument(const QString& commandLine) {
    qsizetype i = 0;
    while (i < commandLine.size() && commandLine[i] == QLatin1Char(' ')) ++i;
    QString argument;
    if (i < commandLine.size() && commandLine[i] == QLatin1Char('"')) {
        for (++i;; ++i) {
            if (i == commandLine.size()) return std::nullopt;  // quote never closed
            if (commandLine[i] == QLatin1Char('"')) break;
            if (commandLine[i] == QLatin1Char('\\') && i + 1 < commandLine.size()) ++i;
            argument += commandLine[i];
        }
    } else {
        while (i < commandLine.size() && commandLine[i] != QLatin1Char(' ') &&
               commandLine[i] != QLatin1Char('\t'))
            argument += commandLine[i++];
    }
    argument.replace(QStringLiteral("%%"), QStringLiteral("%"));
    return argument;
}

}  // namespace

AutostartEntry::AutostartEntry(QString configHome) : m_configHome(std::move(configHome)) {
    if (m_configHome.isEmpty()) {
        // The base directory rules: an unset, empty or relative value means ~/.config.
        m_configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
        if (!m_configHome.startsWith(QLatin1Char('/')))
            m_configHome = QDir::homePath() + QStringLiteral("/.config");
    }
}

QString AutostartEntry::entryPath() const {
    return m_configHome + QStringLiteral("/autostart/") + kValueName + QStringLiteral(".desktop");
}

bool AutostartEntry::isSetTo(const QString& exePath) const {
    const QString path = entryPath();
    // An entry that cannot be read (no permission, a folder, a pipe or device that could block
    // the read) counts as not set, as a value that cannot be opened does.
    if (!QFileInfo(path).isFile()) return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QList<QByteArray> lines = file.readAll().split('\n');

    // Desktop entries are case-sensitive: only the group and keys exactly so written count.
    bool inEntry = false, sawEntry = false;
    std::optional<QString> exec;
    bool disabled = false;
    for (QByteArray raw : lines) {
        if (raw.endsWith('\r')) raw.chop(1);
        const QString line = QString::fromUtf8(raw);
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = line.trimmed() == QStringLiteral("[Desktop Entry]") && !sawEntry;
            sawEntry = sawEntry || inEntry;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inEntry || equals < 0 || line.startsWith(QLatin1Char('#'))) continue;
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (key == QStringLiteral("Exec") && !exec) exec = value;
        // An entry the desktop was told to skip does not start the program.
        if ((key == QStringLiteral("Hidden") && value == QStringLiteral("true")) ||
            (key == QStringLiteral("X-GNOME-Autostart-enabled") &&
             value == QStringLiteral("false")))
            disabled = true;
    }
    if (!exec) throw invalidData();
    const std::optional<QString> commandLine = unescapeString(*exec);
    if (!commandLine) throw invalidData();
    const std::optional<QString> program = firstArgument(*commandLine);
    if (!program) throw invalidData();
    return !disabled && *program == exePath;
}

void AutostartEntry::set(const QString& exePath) const {
    const QString path = entryPath();
    const QByteArray text = QStringLiteral(
                                "[Desktop Entry]\n"
                                "Type=Application\n"
                                "Name=%1\n"
                                "Exec=%2\n"
                                "X-GNOME-Autostart-enabled=true\n")
                                .arg(kValueName, execValue(exePath))
                                .toUtf8();
    try {
        if (!QDir().mkpath(QFileInfo(path).absolutePath())) throw IniWriteError(path);
        // The replacement keeps the old entry's mode, and the desktop must read it: an entry
        // the owner could not read would stay "not set" however often it is written.
        const QFileInfo old(path);
        if (old.isFile() && !(old.permissions() & QFileDevice::ReadOwner))
            QFile::setPermissions(path, old.permissions() | QFileDevice::ReadOwner);
        AtomicFile::write(path, text);
    } catch (const Error&) {
        throw Error(QStringLiteral("Failed to set data for '%1'").arg(kValueName));
    }
}

void AutostartEntry::remove() const { QFile::remove(entryPath()); }

}  // namespace hv
