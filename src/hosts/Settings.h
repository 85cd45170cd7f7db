#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <functional>
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
    int parallelChecks{};  // hosts a pass checks at once, 1..256; 1 = one after another
    int popUpStyle{};      // 0 the balloon, 1 the desktop's notifications, 2 both
    int lostAfter{};       // failed passes in a row before a host is reported lost, 1..100
    int appearedAfter{};   // answering passes in a row before it is reported appeared, 1..100
    int trayStatus{};      // 1: the tray icon shows the overall state and a tooltip
    QString language;
    bool operator==(const Settings&) const = default;
};

// One key of the settings file besides the host list: where it lives, its default, and how it
// is read into and written from a Settings value. Main thread.
struct SettingsKey {
    QString section;
    QString key;
    std::function<void(Settings&)> setDefault;
    std::function<void(const IniFile&, Settings&)> read;
    std::function<void(IniFile&, const Settings&)> write;
};

// Every key, in the order they are written. Both readSettings and writeSettings walk it.
const std::vector<SettingsKey>& settingsKeys();

// Every key at its default, no hosts.
Settings defaultSettings();

// The settings file beside the executable: dir/"Hostvane.ini", found ignoring case.
QString settingsFilePath(const QString& executableDir);

// Reads every value with its default; a missing or unreadable file gives the defaults.
Settings readSettings(const QString& path);

// Writes the file as saveSettings does: HostList erased and written anew from the host entries
// (title = key, address = value), then every key of the table. One atomic write: throws
// IniWriteError ("Unable to write to %s") and leaves the file as it was.
void writeSettings(const QString& path, const Settings& settings);

// [CheckParams] ParallelChecks brought into 1..256.
int clampParallelChecks(int value);
// [CheckParams] LostAfter and AppearedAfter brought into 1..100.
int clampPassesToReport(int value);

}  // namespace hv
