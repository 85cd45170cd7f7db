#include "hosts/Settings.h"

#include <algorithm>

#include "platform/IniFile.h"
#include "platform/ProgramFiles.h"
#include "platform/SettingsLocation.h"

namespace hv {

namespace {

const QString kHostList = QStringLiteral("HostList");
const QString kView = QStringLiteral("View");
const QString kCheckParams = QStringLiteral("CheckParams");
const QString kGeneral = QStringLiteral("General");

}  // namespace

QString settingsFilePath(const QString& executableDir) {
    return SettingsLocation::settingsFile(executableDir, QStringLiteral("Hostvane.ini"));
}

Settings readSettings(const QString& path) {
    const IniFile ini(path);
    Settings settings;
    const Settings defaults;

    for (const QString& key : ini.keys(kHostList))
        settings.hostEntries.append({key, ini.readString(kHostList, key, QString())});

    ReportFont& font = settings.font;
    font.bold = ini.readBool(kView, QStringLiteral("FontStyleBold"), defaults.font.bold);
    font.italic = ini.readBool(kView, QStringLiteral("FontStyleItalic"), defaults.font.italic);
    font.size = ini.readInteger(kView, QStringLiteral("FontSize"), defaults.font.size);
    font.color = static_cast<quint32>(
        ini.readInteger(kView, QStringLiteral("FontColor"), static_cast<int>(defaults.font.color)));
    font.name = ini.readString(kView, QStringLiteral("FontName"), defaults.font.name);

    settings.checkPeriod =
        ini.readInteger(kCheckParams, QStringLiteral("CheckPeriod"), defaults.checkPeriod);
    settings.popUpInterval =
        ini.readInteger(kCheckParams, QStringLiteral("PopUpInterval"), defaults.popUpInterval);
    settings.parallelChecks = clampParallelChecks(
        ini.readInteger(kCheckParams, QStringLiteral("ParallelChecks"), defaults.parallelChecks));
    settings.language = ini.readString(kGeneral, QStringLiteral("Language"), defaults.language);
    return settings;
}

int clampParallelChecks(int value) { return std::clamp(value, 1, 256); }

void writeSettings(const QString& path, const QList<Host>& hosts, const ReportFont& font,
                   int checkPeriod, int popUpInterval, const QString& language,
                   int parallelChecks) {
    IniFile ini(path);
    // Erased and written anew, so the host list ends up after the other sections.
    ini.eraseSection(kHostList);
    for (const Host& host : hosts) ini.writeString(kHostList, host.title, host.address);

    ini.writeBool(kView, QStringLiteral("FontStyleBold"), font.bold);
    ini.writeBool(kView, QStringLiteral("FontStyleItalic"), font.italic);
    ini.writeInteger(kView, QStringLiteral("FontSize"), font.size);
    ini.writeInteger(kView, QStringLiteral("FontColor"), static_cast<int>(font.color));
    ini.writeString(kView, QStringLiteral("FontName"), font.name);

    ini.writeInteger(kCheckParams, QStringLiteral("CheckPeriod"), checkPeriod);
    ini.writeInteger(kCheckParams, QStringLiteral("PopUpInterval"), popUpInterval);
    // A file that never had the key keeps the form it always had while checks stay sequential.
    const QString parallelKey = QStringLiteral("ParallelChecks");
    if (parallelChecks != 1 || ini.keys(kCheckParams).contains(parallelKey, Qt::CaseInsensitive))
        ini.writeInteger(kCheckParams, parallelKey, clampParallelChecks(parallelChecks));

    ini.writeString(kGeneral, QStringLiteral("Language"), language);
    ini.save();
}

}  // namespace hv
