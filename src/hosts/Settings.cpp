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

int readValue(const IniFile& ini, const QString& s, const QString& k, int def) {
    return ini.readInteger(s, k, def);
}
bool readValue(const IniFile& ini, const QString& s, const QString& k, bool def) {
    return ini.readBool(s, k, def);
}
quint32 readValue(const IniFile& ini, const QString& s, const QString& k, quint32 def) {
    return static_cast<quint32>(ini.readInteger(s, k, static_cast<int>(def)));
}
QString readValue(const IniFile& ini, const QString& s, const QString& k, const QString& def) {
    return ini.readString(s, k, def);
}

void writeValue(IniFile& ini, const QString& s, const QString& k, int value) {
    ini.writeInteger(s, k, value);
}
void writeValue(IniFile& ini, const QString& s, const QString& k, bool value) {
    ini.writeBool(s, k, value);
}
void writeValue(IniFile& ini, const QString& s, const QString& k, quint32 value) {
    ini.writeInteger(s, k, static_cast<int>(value));
}
void writeValue(IniFile& ini, const QString& s, const QString& k, const QString& value) {
    ini.writeString(s, k, value);
}

// A row of the table. `field` is a generic lambda giving the member for a Settings value, const
// or not, so one accessor serves reading and writing.
template <typename T, typename Field>
SettingsKey key(const QString& section, const char* name, T def, Field field) {
    const QString k = QString::fromLatin1(name);
    return SettingsKey{section, k, [def, field](Settings& s) { field(s) = def; },
                       [section, k, def, field](const IniFile& ini, Settings& s) {
                           field(s) = readValue(ini, section, k, def);
                       },
                       [section, k, field](IniFile& ini, const Settings& s) {
                           writeValue(ini, section, k, field(s));
                       }};
}

// A key beyond the original set: its value is brought into [lo, hi] when read, and it is
// written only when it differs from the default or the file has it already, so a file that
// never had it keeps its form while the behaviour stays the default's.
template <typename Field>
SettingsKey optionalKey(const QString& section, const char* name, int def, int lo, int hi,
                        Field field) {
    const QString k = QString::fromLatin1(name);
    return SettingsKey{section, k, [def, field](Settings& s) { field(s) = def; },
                       [section, k, def, lo, hi, field](const IniFile& ini, Settings& s) {
                           field(s) = std::clamp(ini.readInteger(section, k, def), lo, hi);
                       },
                       [section, k, def, lo, hi, field](IniFile& ini, const Settings& s) {
                           const int value = std::clamp(field(s), lo, hi);
                           if (value != def || ini.keys(section).contains(k, Qt::CaseInsensitive))
                               ini.writeInteger(section, k, value);
                       }};
}

}  // namespace

int clampParallelChecks(int value) { return std::clamp(value, 1, 256); }

int clampPassesToReport(int value) { return std::clamp(value, 1, 100); }

const std::vector<SettingsKey>& settingsKeys() {
    // clang-format off
    static const std::vector<SettingsKey> table = {
        key(kView, "FontStyleBold", false, [](auto& s) -> auto& { return s.font.bold; }),
        key(kView, "FontStyleItalic", false, [](auto& s) -> auto& { return s.font.italic; }),
        key(kView, "FontSize", 10, [](auto& s) -> auto& { return s.font.size; }),
        key(kView, "FontColor", quint32{0}, [](auto& s) -> auto& { return s.font.color; }),
        key(kView, "FontName", QStringLiteral("MS Sans Serif"), [](auto& s) -> auto& { return s.font.name; }),
        optionalKey(kView, "PopUpStyle", 0, 0, 2, [](auto& s) -> auto& { return s.popUpStyle; }),
        optionalKey(kView, "TrayStatus", 0, 0, 1, [](auto& s) -> auto& { return s.trayStatus; }),
        key(kCheckParams, "CheckPeriod", 60000, [](auto& s) -> auto& { return s.checkPeriod; }),
        key(kCheckParams, "PopUpInterval", 5000, [](auto& s) -> auto& { return s.popUpInterval; }),
        optionalKey(kCheckParams, "ParallelChecks", 1, 1, 256, [](auto& s) -> auto& { return s.parallelChecks; }),
        optionalKey(kCheckParams, "LostAfter", 1, 1, 100, [](auto& s) -> auto& { return s.lostAfter; }),
        optionalKey(kCheckParams, "AppearedAfter", 1, 1, 100, [](auto& s) -> auto& { return s.appearedAfter; }),
        key(kGeneral, "Language", QStringLiteral("English"), [](auto& s) -> auto& { return s.language; }),
    };
    // clang-format on
    return table;
}

Settings defaultSettings() {
    Settings settings;
    for (const SettingsKey& k : settingsKeys()) k.setDefault(settings);
    return settings;
}

QString settingsFilePath(const QString& executableDir) {
    return SettingsLocation::settingsFile(executableDir, QStringLiteral("Hostvane.ini"));
}

Settings readSettings(const QString& path) {
    const IniFile ini(path);
    Settings settings;
    for (const QString& title : ini.keys(kHostList))
        settings.hostEntries.append({title, ini.readString(kHostList, title, QString())});
    for (const SettingsKey& k : settingsKeys()) k.read(ini, settings);
    return settings;
}

void writeSettings(const QString& path, const Settings& settings) {
    IniFile ini(path);
    // Erased and written anew, so the host list ends up after the other sections.
    ini.eraseSection(kHostList);
    for (const auto& [title, address] : settings.hostEntries)
        ini.writeString(kHostList, title, address);
    for (const SettingsKey& k : settingsKeys()) k.write(ini, settings);
    ini.save();
}

}  // namespace hv
