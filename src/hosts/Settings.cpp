#include "hosts/Settings.h"

#include <QDir>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <stdexcept>
#include <type_traits>

#include "hosts/HostEntry.h"
#include "platform/IniFile.h"
#include "platform/ProgramFiles.h"
#include "platform/SettingsLocation.h"

namespace hv {

namespace {

const QString kHostList = QStringLiteral("HostList");
const QString kView = QStringLiteral("View");
const QString kCheckParams = QStringLiteral("CheckParams");
const QString kGeneral = QStringLiteral("General");
const QString kDependencies = QStringLiteral("Dependencies");
const QString kMetrics = QStringLiteral("Metrics");
const QString kHistory = QStringLiteral("History");

struct Bounds {
    int lo;
    int hi;
};
constexpr Bounds kUnbounded{std::numeric_limits<int>::min(), std::numeric_limits<int>::max()};
constexpr bool kAlways = true;    // written even at the default into a file without it
constexpr bool kWhenSet = false;  // written when not at the default or already in the file

// A row. `field` is a generic lambda giving the member for a Settings value, const or not, so
// one accessor serves reading and writing.
template <typename Field>
SettingsKey row(const QString& section, const char* name, SettingType type, QVariant def,
                Bounds bounds, bool written, const char* control, Field field) {
    SettingsKey k;
    k.section = section;
    k.key = QString::fromLatin1(name);
    k.type = type;
    k.defaultValue = std::move(def);
    k.lo = bounds.lo;
    k.hi = bounds.hi;
    k.writtenWhenMissing = written;
    k.control = QString::fromLatin1(control);
    k.get = [field](const Settings& s) { return QVariant::fromValue(field(s)); };
    k.set = [field](Settings& s, const QVariant& value) {
        using T = std::remove_cvref_t<decltype(field(s))>;
        field(s) = value.value<T>();
    };
    return k;
}

}  // namespace

bool SettingsKey::bounded() const {
    return lo != std::numeric_limits<int>::min() || hi != std::numeric_limits<int>::max();
}

int SettingsKey::clamp(int value) const { return std::clamp(value, lo, hi); }

void SettingsKey::setDefault(Settings& settings) const { set(settings, defaultValue); }

void SettingsKey::read(const IniFile& ini, Settings& settings) const {
    switch (type) {
        case SettingType::Integer:
            set(settings, clamp(ini.readInteger(section, key, defaultValue.toInt())));
            break;
        case SettingType::Boolean:
            set(settings, ini.readBool(section, key, defaultValue.toBool()));
            break;
        case SettingType::Text:
            set(settings, ini.readString(section, key, defaultValue.toString()));
            break;
        case SettingType::Colour:
            set(settings, static_cast<quint32>(ini.readInteger(
                              section, key, static_cast<int>(defaultValue.toUInt()))));
            break;
    }
}

void SettingsKey::write(IniFile& ini, const Settings& settings) const {
    QVariant value = get(settings);
    if (type == SettingType::Integer) value = clamp(value.toInt());
    if (!writtenWhenMissing && value == defaultValue &&
        !ini.keys(section).contains(key, Qt::CaseInsensitive))
        return;
    switch (type) {
        case SettingType::Integer:
            ini.writeInteger(section, key, value.toInt());
            break;
        case SettingType::Boolean:
            ini.writeBool(section, key, value.toBool());
            break;
        case SettingType::Text:
            ini.writeString(section, key, value.toString());
            break;
        case SettingType::Colour:
            ini.writeInteger(section, key, static_cast<int>(value.toUInt()));
            break;
    }
}

const std::vector<SettingsKey>& settingsKeys() {
    using enum SettingType;
    // clang-format off
    static const std::vector<SettingsKey> table = {
        // section, key, type, default, bounds, written, dialog control, field
        row(kView, "FontStyleBold", Boolean, false, kUnbounded, kAlways, "", [](auto& s) -> auto& { return s.font.bold; }),
        row(kView, "FontStyleItalic", Boolean, false, kUnbounded, kAlways, "", [](auto& s) -> auto& { return s.font.italic; }),
        row(kView, "FontSize", Integer, 10, kUnbounded, kAlways, "", [](auto& s) -> auto& { return s.font.size; }),
        row(kView, "FontColor", Colour, quint32{0}, kUnbounded, kAlways, "", [](auto& s) -> auto& { return s.font.color; }),
        row(kView, "FontName", Text, QStringLiteral("MS Sans Serif"), kUnbounded, kAlways, "", [](auto& s) -> auto& { return s.font.name; }),
        row(kView, "PopUpStyle", Integer, 0, {0, 2}, kWhenSet, "cbPopUpStyle", [](auto& s) -> auto& { return s.popUpStyle; }),
        row(kView, "TrayStatus", Integer, 0, {0, 1}, kWhenSet, "cbTrayStatus", [](auto& s) -> auto& { return s.trayStatus; }),
        row(kCheckParams, "CheckPeriod", Integer, 60000, kUnbounded, kAlways, "seCheckPeriod", [](auto& s) -> auto& { return s.checkPeriod; }),
        row(kCheckParams, "PopUpInterval", Integer, 5000, kUnbounded, kAlways, "sePopUpInt", [](auto& s) -> auto& { return s.popUpInterval; }),
        row(kCheckParams, "ParallelChecks", Integer, 1, {1, 256}, kWhenSet, "seParallelChecks", [](auto& s) -> auto& { return s.parallelChecks; }),
        row(kCheckParams, "LostAfter", Integer, 1, {1, 100}, kWhenSet, "seLostAfter", [](auto& s) -> auto& { return s.lostAfter; }),
        row(kCheckParams, "IpVersion", Integer, 4, {0, 6}, kWhenSet, "cbIpVersion", [](auto& s) -> auto& { return s.ipVersion; }),
        row(kCheckParams, "AppearedAfter", Integer, 1, {1, 100}, kWhenSet, "seAppearedAfter", [](auto& s) -> auto& { return s.appearedAfter; }),
        row(kGeneral, "Language", Text, QStringLiteral("English"), kUnbounded, kAlways, "cbLang", [](auto& s) -> auto& { return s.language; }),
        row(kMetrics, "Listen", Text, QString(), kUnbounded, kWhenSet, "edMetricsListen", [](auto& s) -> auto& { return s.metricsListen; }),
        row(kHistory, "KeepDays", Integer, 0, {0, 3650}, kWhenSet, "seKeepDays", [](auto& s) -> auto& { return s.keepDays; }),
        row(kHistory, "StatsMinutes", Integer, 60, {1, 1440}, kWhenSet, "seStatsMinutes", [](auto& s) -> auto& { return s.statsMinutes; }),
    };
    // clang-format on
    return table;
}

const SettingsKey& settingsKey(const QString& section, const QString& key) {
    for (const SettingsKey& k : settingsKeys()) {
        if (k.section.compare(section, Qt::CaseInsensitive) == 0 &&
            k.key.compare(key, Qt::CaseInsensitive) == 0)
            return k;
    }
    throw std::out_of_range("no settings key [" + section.toStdString() + "] " + key.toStdString());
}

void clampToBounds(Settings& settings) {
    for (const SettingsKey& row : settingsKeys()) {
        if (row.type == SettingType::Integer && row.bounded())
            row.set(settings, row.clamp(row.get(settings).toInt()));
    }
}

Settings defaultSettings() {
    Settings settings;
    for (const SettingsKey& k : settingsKeys()) k.setDefault(settings);
    return settings;
}

QString settingsFilePath(const QString& executableDir) {
    return SettingsLocation::settingsFile(executableDir, QStringLiteral("Hostvane.ini"));
}

SettingsReading readSettingsFile(const QString& path) {
    const IniFile ini(path);
    SettingsReading reading;
    if (ini.isUnreadable()) {
        reading.file = SettingsReading::File::Unreadable;
        reading.error = ini.readError();
    } else if (!ini.existed()) {
        reading.file = SettingsReading::File::Missing;
    }
    Settings& settings = reading.settings;
    QHash<QString, QString> firstOf;  // case-folded title -> the title that came first
    for (const QString& title : ini.keys(kHostList)) {
        const QString folded = title.toCaseFolded();
        if (const auto it = firstOf.constFind(folded); it != firstOf.constEnd()) {
            // It would read the first one's address: better no host than a wrong one.
            reading.repeatedTitles.append({*it, title});
            continue;
        }
        firstOf.insert(folded, title);
        settings.hostEntries.append({title, ini.readString(kHostList, title, QString())});
    }
    for (const SettingsKey& k : settingsKeys()) k.read(ini, settings);
    QSet<QString> dependents;  // case-folded: a repeated key reads the first one's value
    for (const QString& dependent : ini.keys(kDependencies)) {
        const QString folded = dependent.toCaseFolded();
        if (dependents.contains(folded)) continue;
        dependents.insert(folded);
        settings.dependencies.append(
            {dependent, trimBlanks(ini.readString(kDependencies, dependent, QString()))});
    }
    return reading;
}

Settings readSettings(const QString& path) { return readSettingsFile(path).settings; }

QStringList readingProblems(const SettingsReading& reading, const QString& path) {
    QStringList lines;
    const QString file = QDir::toNativeSeparators(path);
    switch (reading.file) {
        case SettingsReading::File::Read:
            break;
        case SettingsReading::File::Missing:
            lines << QStringLiteral(
                         "hostvane: no settings file %1: no hosts to check until the "
                         "settings are saved")
                         .arg(file);
            break;
        case SettingsReading::File::Unreadable:
            lines << QStringLiteral("hostvane: cannot read the settings file %1: %2")
                         .arg(file, reading.error);
            break;
    }
    for (const auto& [first, later] : reading.repeatedTitles) {
        lines << QStringLiteral(
                     "hostvane: %1: [HostList] \"%2\" is the title \"%3\" again "
                     "(letter case aside); titles must differ, so only \"%3\" is "
                     "checked")
                     .arg(file, later, first);
    }
    return lines;
}

void writeSettings(const QString& path, const Settings& settings) {
    IniFile ini(path);
    // Rewritten where it stands, so the user's comments and order around it stay.
    ini.replaceSectionKeys(kHostList, settings.hostEntries);
    for (const SettingsKey& k : settingsKeys()) k.write(ini, settings);
    // A file without the section gets none while there is no line to write.
    ini.replaceSectionKeys(kDependencies, settings.dependencies);
    ini.save();
}

}  // namespace hv
