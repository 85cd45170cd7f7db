#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <limits>
#include <vector>

#include "hosts/HostList.h"

namespace hv {

class IniFile;

// The pop-up report font as the settings file stores it.
struct ReportFont {
    bool bold{};
    bool italic{};
    int size{};       // points
    quint32 color{};  // 0x00BBGGRR
    QString name;
    bool operator==(const ReportFont&) const = default;
};

// Everything the settings file holds. A default-constructed value is blank: the defaults live
// in the key table (settingsKeys) and come with defaultSettings().
struct Settings {
    QList<QPair<QString, QString>> hostEntries;  // HostList keys in file order, raw values
    ReportFont font;
    int checkPeriod{};     // ms
    int popUpInterval{};   // ms
    int parallelChecks{};  // hosts a pass checks at once; 1 = one after another
    int popUpStyle{};      // 0 the balloon, 1 the desktop's notifications, 2 both
    int lostAfter{};       // failed passes in a row before a host is reported lost
    int appearedAfter{};   // answering passes in a row before it is reported appeared
    int trayStatus{};      // 1: the tray icon shows the overall state and a tooltip
    int ipVersion{};       // names resolve to 4 IPv4, 6 IPv6, 0 either (the resolver's first)
    QString language;
    // [Dependencies] in file order: dependent title, parent title. None: every host is plain.
    QList<QPair<QString, QString>> dependencies;
    // [Metrics] Listen: ADDRESS:PORT the tray program serves GET /metrics on; empty: none.
    QString metricsListen;
    int keepDays{};      // days the history keeps its samples; 0: no history file
    int statsMinutes{};  // the state table's statistics cover this many minutes
    bool operator==(const Settings&) const = default;
};

// How a key's value is stored in the file and held in a Settings value.
enum class SettingType {
    Integer,  // int, brought into the row's bounds
    Boolean,  // bool, written as 1 or 0
    Text,     // QString
    Colour,   // quint32 0x00BBGGRR, written as a signed integer
};

// One row of the settings table: one key of the file besides the host list, with everything
// known about it. Read-only once built; any thread may read it.
struct SettingsKey {
    QString section;
    QString key;
    SettingType type = SettingType::Integer;
    QVariant defaultValue;  // of the field's own type
    // Integers only: the value is brought into [lo, hi] when read, written or taken from the
    // settings dialog. A row without bounds spans every int.
    int lo = std::numeric_limits<int>::min();
    int hi = std::numeric_limits<int>::max();
    // True: the key is always written. False (keys added after the first release): written only
    // when the value differs from the default or the file has the key already, so a file that
    // never had it keeps its form.
    bool writtenWhenMissing = true;
    // objectName of the settings dialog's control that shows it; empty when none does (the font
    // keys go through the font button).
    QString control;
    // The field of a Settings value, as a QVariant of the field's type.
    std::function<QVariant(const Settings&)> get;
    std::function<void(Settings&, const QVariant&)> set;

    bool bounded() const;
    // value brought into [lo, hi].
    int clamp(int value) const;
    void setDefault(Settings& settings) const;
    void read(const IniFile& ini, Settings& settings) const;
    void write(IniFile& ini, const Settings& settings) const;
};

// Every key, in the order they are written. readSettings, writeSettings and the settings dialog
// walk it.
const std::vector<SettingsKey>& settingsKeys();

// The row of section/key, matched ignoring case as the file matches them. Asking for a key the
// table does not have is a programming error: throws std::out_of_range.
const SettingsKey& settingsKey(const QString& section, const QString& key);

// Every key at its default, no hosts.
Settings defaultSettings();

// Every integer brought into its row's bounds.
void clampToBounds(Settings& settings);

// The settings file beside the executable: dir/"Hostvane.ini", found ignoring case.
QString settingsFilePath(const QString& executableDir);

// What reading the settings file found, beside the values.
struct SettingsReading {
    enum class File { Read, Missing, Unreadable };
    Settings settings;
    File file = File::Read;
    QString error;  // why an unreadable file could not be read
    // HostList keys equal to an earlier one but for letter case (or not even that): the file
    // matches keys ignoring case, so such a key's own value can never be read. Each pair is the
    // earlier title and the later one; the later one gives no host entry.
    QList<QPair<QString, QString>> repeatedTitles;
};

// Reads every value with its default; a missing or unreadable file gives the defaults.
SettingsReading readSettingsFile(const QString& path);
Settings readSettings(const QString& path);

// One line per problem of a reading, for stderr, each beginning with "hostvane: ": the file
// missing (naming the path it looked for), unreadable, or with repeated host titles.
QStringList readingProblems(const SettingsReading& reading, const QString& path);

// Writes the file as saveSettings does: the keys of HostList become the host entries (title =
// key, address = value) where the section stands, then every key of the table. Every other
// line of the file stays. One atomic write: throws IniWriteError ("Unable to write to %s") and
// leaves the file as it was; a file that exists but could not be read is never replaced.
void writeSettings(const QString& path, const Settings& settings);

}  // namespace hv
