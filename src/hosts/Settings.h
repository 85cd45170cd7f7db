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
    QString language = QStringLiteral("English");
};

// The settings file beside the executable: dir/"Hostvane.ini", found ignoring case.
QString settingsFilePath(const QString& executableDir);

// Reads every value with its default; a missing or unreadable file gives the defaults.
Settings readSettings(const QString& path);

// Writes the file as SaveSettings does: HostList erased and written anew from the hosts
// (title = key, address = value), then View, CheckParams, General. One atomic write: throws
// IniWriteError ("Unable to write to %s") and leaves the file as it was.
void writeSettings(const QString& path, const QList<Host>& hosts, const ReportFont& font,
                   int checkPeriod, int popUpInterval, const QString& language);

}  // namespace hv
