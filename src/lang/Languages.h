#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <mutex>

namespace hv {

class IniFile;
struct Settings;

// Language files beside the executable (Languages/<name>.lng) and the current language.
// One object per process; langMessage() reads through it.
class Languages {
public:
    static Languages& instance();

    // The executable whose folder holds Languages/ and whose name (extension ".ini") names
    // the file the chosen language is read from.
    void setExecutable(const QString& executablePath);
    QString executableDir() const;

    QString currentLanguage() const;
    void setCurrentLanguage(const QString& name);

    // Languages/<CurrentLanguage>.lng, found ignoring case.
    QString languageFilePath() const;

    // The text of key in section "Messages" of the current language file, the key itself
    // when the file or key is missing. The file is read at every call.
    QString message(const QString& key) const;

    // The settings file the language is read from: the executable's own name with ".ini"
    // (Hostvane.ini for hostvane), found ignoring case.
    QString settingsFilePath() const;
    // CurrentLanguage := the settings' language; then, when apply is true, TranslateAllForms.
    void loadFromSettings(const Settings& settings, bool apply);
    // loadFromSettings with the settings read from settingsFilePath(): at start and when the
    // settings dialog is cancelled.
    void loadLanguage(bool apply);

    // Installed by the windows' side; called by loadLanguage(true).
    void setTranslateAllForms(std::function<void()> translateAll);
    void translateAllForms() const;

    // The keys of section "Messages" that the program asks for.
    static const QStringList& messageKeys();

    // Names of the entries of the language folder that contain ".lng" (lower case), each cut
    // before its first ".lng", in the file system's order; no sorting, no de-duplication.
    QStringList listLanguages() const;

private:
    Languages() = default;
    mutable std::mutex m_lock;
    QString m_executablePath;
    QString m_current;
    std::function<void()> m_translateAll;

    // The last language file read: parsed again only when its path or bytes differ, since a
    // pass that reports hundreds of changes asks for the same texts hundreds of times.
    mutable std::mutex m_cacheLock;
    mutable QString m_cachedPath;
    mutable QByteArray m_cachedBytes;
    mutable std::shared_ptr<const IniFile> m_cachedFile;
};

inline QString langMessage(const QString& key) { return Languages::instance().message(key); }

}  // namespace hv
