#include "lang/Languages.h"

#include <dirent.h>

#include <QFile>
#include <QFileInfo>

#include "hosts/Settings.h"
#include "lang/LanguageFile.h"
#include "platform/ProgramFiles.h"
#include "platform/SettingsLocation.h"

namespace hv {

namespace {

const QString kLanguageFolder = QStringLiteral("Languages");
const QString kExtension = QStringLiteral(".lng");

}  // namespace

Languages& Languages::instance() {
    static Languages languages;
    return languages;
}

void Languages::setExecutable(const QString& executablePath) {
    std::lock_guard guard(m_lock);
    m_executablePath = executablePath;
}

QString Languages::executableDir() const {
    QString path;
    {
        std::lock_guard guard(m_lock);
        path = m_executablePath;
    }
    if (path.isEmpty()) return ProgramFiles::executableDir();
    return QFileInfo(path).absolutePath();
}

QString Languages::currentLanguage() const {
    std::lock_guard guard(m_lock);
    return m_current;
}

void Languages::setCurrentLanguage(const QString& name) {
    std::lock_guard guard(m_lock);
    m_current = name;
}

QString Languages::languageFilePath() const {
    const QString folder = ProgramFiles::resolve(executableDir(), kLanguageFolder);
    return ProgramFiles::resolve(folder, currentLanguage() + kExtension);
}

QString Languages::message(const QString& key) const {
    // Read afresh every time, so a new language or an edited file counts at the next lookup;
    // only the decoding and parsing of unchanged bytes is skipped.
    const QString path = languageFilePath();
    QFile in(path);
    const QByteArray bytes = in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    std::shared_ptr<const IniFile> file;
    {
        std::lock_guard guard(m_cacheLock);
        if (m_cachedFile && m_cachedPath == path && m_cachedBytes == bytes) file = m_cachedFile;
    }
    if (!file) {
        file = std::make_shared<const IniFile>(LanguageFile::fromData(path, bytes));
        std::lock_guard guard(m_cacheLock);
        m_cachedPath = path;
        m_cachedBytes = bytes;
        m_cachedFile = file;
    }
    return file->readString(QStringLiteral("Messages"), key, key);
}

const QStringList& Languages::messageKeys() {
    static const QStringList keys = {
        QStringLiteral("Start"), QStringLiteral("Stop"), QStringLiteral("Table"),
        QStringLiteral("items"), QStringLiteral("NewIP"), QStringLiteral("NewHTTP"),
        QStringLiteral("NewLAN"), QStringLiteral("EditIP"), QStringLiteral("EditHTTP"),
        QStringLiteral("EditLAN"), QStringLiteral("InputIP"), QStringLiteral("InputHost"),
        QStringLiteral("InputLAN"), QStringLiteral("AppearHost"), QStringLiteral("LoseHost"),
        QStringLiteral("LoseHosts"), QStringLiteral("AppearHosts"),
        // The window that stands in for a missing notification area.
        QStringLiteral("NoTrayNotice"), QStringLiteral("NoTrayQuit"),
        // The state table's columns after Title and Address.
        QStringLiteral("ColState"), QStringLiteral("ColRoundTrip"), QStringLiteral("ColLastChange"),
        QStringLiteral("ColChecks"), QStringLiteral("ColFailures"), QStringLiteral("ColAnswered"),
        // The tooltip of the state table's Address column.
        QStringLiteral("CheckedAddress"), QStringLiteral("LastFailure"),
        // The tray icon's tooltip with [View] TrayStatus=1.
        QStringLiteral("TrayAnswering"), QStringLiteral("TrayMore"), QStringLiteral("TrayChecking"),
        QStringLiteral("TrayStopped"), QStringLiteral("TrayNoHosts"), QStringLiteral("TrayPaused"),
        // The host entry dialog's refusal of a title another host has.
        QStringLiteral("TitleTaken"),
        // Hosts behind a lost host ([Dependencies]) and the lines that section had to ignore.
        QStringLiteral("BehindUnreachable"), QStringLiteral("BehindUnreachable1"),
        QStringLiteral("StateUnreachable"), QStringLiteral("TrayUnreachable"),
        QStringLiteral("DependsUnknown"), QStringLiteral("DependsItself"),
        QStringLiteral("DependsLoop"),
        // The event log line when [Metrics] Listen cannot be served.
        QStringLiteral("MetricsNotServed"),
        // The history's faults and a damaged file, in the event log.
        QStringLiteral("HistoryWriteFailed"), QStringLiteral("HistoryWritten"),
        QStringLiteral("HistoryDamaged"),
        // The state table's statistics columns and the tooltip of its last checks.
        QStringLiteral("ColMin"), QStringLiteral("ColAvg"), QStringLiteral("ColMax"),
        QStringLiteral("ColJitter"), QStringLiteral("ColLoss"), QStringLiteral("ColRecent"),
        QStringLiteral("RecentTip"),
        // The history window of a host.
        QStringLiteral("HistoryMenu"), QStringLiteral("HistoryCaption"),
        QStringLiteral("HistorySummary"), QStringLiteral("HistoryPoint"),
        QStringLiteral("HistoryLostPoint"), QStringLiteral("HistoryEmpty"),
        QStringLiteral("HistoryNotKept"), QStringLiteral("HistoryUnreadable")};
    return keys;
}

QString Languages::settingsFilePath() const {
    QString executable;
    {
        std::lock_guard guard(m_lock);
        executable = m_executablePath;
    }
    if (executable.isEmpty()) executable = ProgramFiles::executablePath();
    const QFileInfo ini(ProgramFiles::iniPathFor(executable));
    return SettingsLocation::settingsFile(ini.absolutePath(), ini.fileName());
}

void Languages::loadFromSettings(const Settings& settings, bool apply) {
    setCurrentLanguage(settings.language);
    if (apply) translateAllForms();
}

void Languages::loadLanguage(bool apply) {
    loadFromSettings(readSettings(settingsFilePath()), apply);
}

void Languages::setTranslateAllForms(std::function<void()> translateAll) {
    std::lock_guard guard(m_lock);
    m_translateAll = std::move(translateAll);
}

void Languages::translateAllForms() const {
    std::function<void()> translateAll;
    {
        std::lock_guard guard(m_lock);
        translateAll = m_translateAll;
    }
    // Outside the lock: translating reads messages and the current language.
    if (translateAll) translateAll();
}

QStringList Languages::listLanguages() const {
    QStringList names;
    const QString folder = ProgramFiles::resolve(executableDir(), kLanguageFolder);
    // readdir gives the entries in the file system's own order, hidden ones included.
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (name == QLatin1String(".") || name == QLatin1String("..")) continue;
        const qsizetype p = name.indexOf(kExtension);
        if (p >= 0) names.append(name.left(p));
    }
    ::closedir(dir);
    return names;
}

}  // namespace hv
