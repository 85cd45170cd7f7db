#pragma once

#include <QList>
#include <QPair>
#include <QString>

#include "hosts/HostList.h"

namespace hv {

// The pop-up report font as the settings file stores it.
struct ReportFont {
    bool bold = false;
    bool italic = false;
    int size = 10;      // points
    quint32 color = 0;  // 0x00BBGGRR
    QString name = QStringLiteral("MS Sans Serif");
    bool operator==(const ReportFont&) const = default;
};

struct Settings {
    QList<QPair<QString, QString>> hostEntries;  // HostList keys in file order, raw values
    ReportFont font;
    int checkPeriod = 60000;   // ms
    int popUpInterval = 5000;  // ms
    int parallelChecks = 1;    // hosts a pass checks at once, 1..256; 1 = one after another
    QString language = QStringLiteral("English");
};

// The settings file: dir/"Hostvane.ini" while dir is writable, else the per-user copy (see
// SettingsLocation); found ignoring case.
QString settingsFilePath(const QString& executableDir);

// Reads every value with its default; a missing or unreadable file gives the defaults.
Settings readSettings(const QString& path);

// Writes the file as SaveSettings does: HostList erased and written anew from the hosts
// (title = key, address = value), then View, CheckParams, General. One atomic write: throws
// IniWriteError ("Unable to write to %s") and leaves the file as it was.
void writeSettings(const QString& path, const QList<Host>& hosts, const ReportFont& font,
                   int checkPeriod, int popUpInterval, const QString& language,
                   int parallelChecks = 1);

// [CheckParams] ParallelChecks brought into 1..256.
int clampParallelChecks(int value);

}  // namespace hv
