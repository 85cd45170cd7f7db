#include <gtest/gtest.h>

#include <algorithm>

#include <sys/stat.h>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "TestSupport.h"
#include "hosts/Settings.h"
#include "platform/IniFile.h"

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

using namespace hv;

using Entries = QList<QPair<QString, QString>>;

Host host(const QString& title, const QString& address) {
    return Host{title, address, kImageNotAnswering};
}

// The defaults with these hosts.
void save(const QString& path, const QList<Host>& hosts) {
    Settings s = defaultSettings();
    for (const Host& h : hosts) s.hostEntries.append({h.title, h.address});
    writeSettings(path, s);
}

TEST(Settings, NoFileGivesTheDefaults) {
    hvtest::TempDir tmp;
    const Settings s = readSettings(tmp.file("Hostvane.ini"));
    EXPECT_TRUE(s.hostEntries.isEmpty());
    EXPECT_FALSE(s.font.bold);
    EXPECT_FALSE(s.font.italic);
    EXPECT_EQ(s.font.size, 10);
    EXPECT_EQ(s.font.color, 0u);
    EXPECT_EQ(s.font.name, "MS Sans Serif");
    EXPECT_EQ(s.checkPeriod, 60000);
    EXPECT_EQ(s.popUpInterval, 5000);
    EXPECT_EQ(s.language, "English");
}

TEST(Settings, SaveWritesEverySectionAndReadsBack) {
    hvtest::TempDir tmp;
    const QString path = tmp.file("Hostvane.ini");
    const ReportFont font{true, true, 12, 255, "DejaVu Sans"};
    Settings saved;
    saved.hostEntries = {{"Mail server", "10.0.0.5"}, {"Web", "http://localhost"}};
    saved.font = font;
    saved.checkPeriod = 1000;
    saved.popUpInterval = 2000;
    saved.parallelChecks = 1;
    saved.lostAfter = 1;
    saved.appearedAfter = 1;
    saved.ipVersion = 4;
    saved.language = "German";
    saved.statsMinutes = 60;
    writeSettings(path, saved);
    EXPECT_EQ(tmp.read("Hostvane.ini"),
              "[HostList]\nMail server=10.0.0.5\nWeb=http://localhost\n\n"
              "[View]\nFontStyleBold=1\nFontStyleItalic=1\nFontSize=12\nFontColor=255\n"
              "FontName=DejaVu Sans\n\n"
              "[CheckParams]\nCheckPeriod=1000\nPopUpInterval=2000\n\n"
              "[General]\nLanguage=German\n");

    const Settings s = readSettings(path);
    EXPECT_EQ(s.hostEntries, Entries({{"Mail server", "10.0.0.5"}, {"Web", "http://localhost"}}));
    EXPECT_EQ(s.font, font);
    EXPECT_EQ(s.checkPeriod, 1000);
    EXPECT_EQ(s.popUpInterval, 2000);
    EXPECT_EQ(s.language, "German");
    EXPECT_EQ(s, saved);
}

// Every key of the table survives a write and a read with a value other than its default,
// and each section/key pair is defined once.
TEST(Settings, EveryKeyOfTheTableRoundTrips) {
    QStringList seen;
    for (const SettingsKey& k : settingsKeys()) {
        const QString id = k.section.toLower() + '/' + k.key.toLower();
        EXPECT_FALSE(seen.contains(id)) << id.toStdString();
        seen << id;
    }
    Settings changed;  // blank: every field differs from the defaults
    changed.font = ReportFont{true, true, 7, 0x123456, "X"};
    changed.checkPeriod = -3;
    changed.popUpInterval = 1;
    changed.parallelChecks = 7;
    changed.lostAfter = 3;
    changed.appearedAfter = 100;
    changed.trayStatus = 1;
    changed.language = "Y";
    changed.statsMinutes = 30;
    hvtest::TempDir tmp;
    const QString path = tmp.file("Hostvane.ini");
    writeSettings(path, changed);
    EXPECT_EQ(readSettings(path), changed);
    EXPECT_EQ(readSettings(tmp.file("missing.ini")), defaultSettings());
}

// A value of the row's type other than its default, inside its bounds.
QVariant otherValue(const SettingsKey& k) {
    switch (k.type) {
        case SettingType::Integer: {
            if (!k.bounded()) return k.defaultValue.toInt() + 7;
            return k.defaultValue.toInt() == k.hi ? k.lo : k.hi;
        }
        case SettingType::Boolean:
            return !k.defaultValue.toBool();
        case SettingType::Text:
            return k.defaultValue.toString() + "x";
        case SettingType::Colour:
            return QVariant::fromValue(k.defaultValue.toUInt() ^ 0x123456u);
    }
    return {};
}

QByteArray line(const SettingsKey& k, const QByteArray& value) {
    return "[" + k.section.toLatin1() + "]\n" + k.key.toLatin1() + "=" + value + "\n";
}

// Each row on its own: its default when the key is missing, its bounds on reading and writing,
// and whether a file without the key gets it.
TEST(Settings, EveryRowKeepsItsDefaultBoundsAndWritingRule) {
    hvtest::TempDir tmp;
    const QString path = tmp.file("Hostvane.ini");
    for (const SettingsKey& k : settingsKeys()) {
        SCOPED_TRACE(("[" + k.section + "] " + k.key).toStdString());
        tmp.write("Hostvane.ini", "[" + k.section.toLatin1() + "]\nOther=1\n");
        EXPECT_EQ(k.get(readSettings(path)), k.defaultValue);

        if (k.type == SettingType::Integer && k.bounded()) {
            constexpr int kMin = std::numeric_limits<int>::min();
            constexpr int kMax = std::numeric_limits<int>::max();
            const struct {
                qint64 stored;
                int read;
            } cases[] = {{kMin, k.lo}, {qint64(k.lo) - 1, k.lo}, {k.lo, k.lo},
                         {k.hi, k.hi}, {qint64(k.hi) + 1, k.hi}, {kMax, k.hi}};
            for (const auto& c : cases) {
                if (c.stored < kMin || c.stored > kMax) continue;
                tmp.write("Hostvane.ini", line(k, QByteArray::number(c.stored)));
                EXPECT_EQ(k.get(readSettings(path)).toInt(), c.read) << c.stored;
            }
            // Out of bounds in memory: written at the bound (which may be the default, not
            // written into a file without the key).
            for (const auto& [held, written] : {std::pair{kMin, k.lo}, std::pair{kMax, k.hi}}) {
                Settings s = defaultSettings();
                k.set(s, held);
                QFile::remove(path);
                writeSettings(path, s);
                const bool atDefault = written == k.defaultValue.toInt();
                EXPECT_EQ(IniFile(path).readString(k.section, k.key, "missing"),
                          atDefault && !k.writtenWhenMissing ? QString("missing")
                                                             : QString::number(written));
            }
        } else if (k.type == SettingType::Integer) {
            for (int v :
                 {std::numeric_limits<int>::min(), -1, 0, std::numeric_limits<int>::max()}) {
                tmp.write("Hostvane.ini", line(k, QByteArray::number(v)));
                EXPECT_EQ(k.get(readSettings(path)).toInt(), v);
            }
        }

        // At the default: a file without the key gets it only when the row says so; a file
        // with it keeps it up to date.
        QFile::remove(path);
        writeSettings(path, defaultSettings());
        EXPECT_EQ(IniFile(path).keys(k.section).contains(k.key), k.writtenWhenMissing);
        tmp.write("Hostvane.ini", line(k, "stale"));
        writeSettings(path, defaultSettings());
        EXPECT_EQ(IniFile(path).readString(k.section, k.key, "missing"),
                  k.type == SettingType::Boolean ? QString(k.defaultValue.toBool() ? "1" : "0")
                                                 : k.defaultValue.toString());

        // Away from the default: always written, and read back.
        Settings s = defaultSettings();
        k.set(s, otherValue(k));
        QFile::remove(path);
        writeSettings(path, s);
        EXPECT_TRUE(IniFile(path).keys(k.section).contains(k.key));
        EXPECT_EQ(k.get(readSettings(path)), otherValue(k));
        EXPECT_EQ(readSettings(path), s);
    }
}

TEST(Settings, RowsAreFoundIgnoringCaseAndAMissingOneIsAnError) {
    const SettingsKey& k = settingsKey("checkparams", "PARALLELCHECKS");
    EXPECT_EQ(k.section, "CheckParams");
    EXPECT_EQ(k.key, "ParallelChecks");
    EXPECT_EQ(k.clamp(0), k.lo);
    EXPECT_EQ(k.clamp(k.hi + 1), k.hi);
    const SettingsKey& language = settingsKey("general", "LANGUAGE");
    EXPECT_EQ(language.section, "General");
    EXPECT_EQ(language.key, "Language");
    EXPECT_EQ(&language, &*std::find_if(settingsKeys().begin(), settingsKeys().end(),
                                        [](const SettingsKey& r) { return r.key == "Language"; }));
    EXPECT_EQ(settingsKey("history", "KEEPDAYS").key, "KeepDays");
    EXPECT_EQ(settingsKey("history", "STATSMINUTES").key, "StatsMinutes");
    EXPECT_THROW(settingsKey("HostList", "Mail"), std::out_of_range);
    EXPECT_THROW(settingsKey("View", "Language"), std::out_of_range);
}

TEST(Settings, HostListStaysWhereItIsAndTheRestStays) {
    hvtest::TempDir tmp;
    const QString path = tmp.write("Hostvane.ini",
                                   "; my hosts\n[HostList]\nOld=10.0.0.1\n\n[View]\nFontSize=14\n"
                                   "Custom=kept\n\n[Extra]\nfoo = bar\n\n[CheckParams]\n"
                                   "CheckPeriod=1\n\n[General]\nLanguage=German\n");
    save(path, {host("New", "10.0.0.2")});
    EXPECT_EQ(tmp.read("Hostvane.ini"),
              "; my hosts\n[HostList]\nNew=10.0.0.2\n\n[View]\nFontSize=10\nCustom=kept\n"
              "FontStyleBold=0\nFontStyleItalic=0\nFontColor=0\nFontName=MS Sans Serif\n\n"
              "[Extra]\nfoo = bar\n\n[CheckParams]\nCheckPeriod=60000\nPopUpInterval=5000\n\n"
              "[General]\nLanguage=English\n");

    // An empty list leaves no section behind.
    save(path, {});
    EXPECT_FALSE(IniFile(path).hasSection("HostList"));
    EXPECT_TRUE(IniFile(path).hasSection("General"));
}

// A file the user keeps by hand: saving the same hosts changes no byte of it, and an edited
// list keeps the comments, the order and the unknown lines around and within [HostList].
TEST(Settings, SavingKeepsAHandWrittenFile) {
    hvtest::TempDir tmp;
    const QByteArray original =
        "; Hostvane settings, kept by hand\r\n"
        "[HostList]\r\n"
        "; the office\r\n"
        "Mail server = 10.0.0.5\r\n"
        "Web=\"http://intranet\"\r\n"
        "; the lab\r\n"
        "Printer=10.0.0.9\r\n"
        "\r\n"
        "[View]\r\nFontStyleBold=0\r\nFontStyleItalic=0\r\nFontSize=10\r\nFontColor=0\r\n"
        "FontName=MS Sans Serif\r\nMine=1\r\n\r\n"
        "[CheckParams]\r\nCheckPeriod=60000\r\nPopUpInterval=5000\r\n\r\n"
        "[General]\r\nLanguage=English";
    const QString path = tmp.write("Hostvane.ini", original);
    Settings s = readSettings(path);
    ASSERT_EQ(s.hostEntries, Entries({{"Mail server", "10.0.0.5"},
                                      {"Web", "http://intranet"},
                                      {"Printer", "10.0.0.9"}}));
    writeSettings(path, s);
    EXPECT_EQ(tmp.read("Hostvane.ini"), original);

    s.hostEntries = {{"Mail server", "10.0.0.6"}, {"Printer", "10.0.0.9"}, {"NAS", "10.0.0.7"}};
    writeSettings(path, s);
    QByteArray edited = original;
    edited.replace("Mail server = 10.0.0.5", "Mail server=10.0.0.6")
        .replace("Web=\"http://intranet\"\r\n", "")
        .replace("Printer=10.0.0.9\r\n", "Printer=10.0.0.9\r\nNAS=10.0.0.7\r\n");
    EXPECT_EQ(tmp.read("Hostvane.ini"), edited);
    EXPECT_EQ(readSettings(path).hostEntries, s.hostEntries);
}

// The file matches keys ignoring case, so two titles that differ only so cannot both be kept:
// the later one's own address could never be read. It gives no host (rather than one checked
// at the first one's address), the reading names both, and the file keeps the line.
TEST(Settings, TitlesRepeatedButForLetterCase) {
    hvtest::TempDir tmp;
    const QString path = tmp.write("Hostvane.ini",
                                   "[HostList]\nLoop two=127.0.0.2\nOther=127.0.0.3\n"
                                   "loop two=127.0.0.4\nOTHER=127.0.0.5\nThird=127.0.0.6\n");
    const SettingsReading r = readSettingsFile(path);
    EXPECT_EQ(r.file, SettingsReading::File::Read);
    EXPECT_EQ(r.settings.hostEntries,
              Entries({{"Loop two", "127.0.0.2"}, {"Other", "127.0.0.3"}, {"Third", "127.0.0.6"}}));
    EXPECT_EQ(r.repeatedTitles, Entries({{"Loop two", "loop two"}, {"Other", "OTHER"}}));
    const QStringList problems = readingProblems(r, path);
    ASSERT_EQ(problems.size(), 2);
    EXPECT_EQ(problems[0], "hostvane: " + path +
                               ": [HostList] \"loop two\" is the title \"Loop two\" again (letter "
                               "case aside); titles must differ, so only \"Loop two\" is checked");
    EXPECT_EQ(readSettings(path).hostEntries, r.settings.hostEntries);

    // Saved unchanged, the lines that could not be read stay for the user to mend.
    writeSettings(path, r.settings);
    EXPECT_TRUE(tmp.read("Hostvane.ini")
                    .startsWith("[HostList]\nLoop two=127.0.0.2\nOther=127.0.0.3\n"
                                "loop two=127.0.0.4\nOTHER=127.0.0.5\nThird=127.0.0.6\n"));
}

TEST(Settings, AMissingOrUnreadableFileIsTold) {
    hvtest::TempDir tmp;
    const QString missing = tmp.file("Hostvane.ini");
    const SettingsReading none = readSettingsFile(missing);
    EXPECT_EQ(none.file, SettingsReading::File::Missing);
    EXPECT_EQ(none.settings, defaultSettings());
    EXPECT_EQ(readingProblems(none, missing),
              QStringList("hostvane: no settings file " + missing +
                          ": no hosts to check until the settings are saved"));

    // A folder in the file's place cannot be read, by root neither.
    QDir(tmp.path()).mkdir("Hostvane.ini");
    const SettingsReading folder = readSettingsFile(missing);
    EXPECT_EQ(folder.file, SettingsReading::File::Unreadable);
    EXPECT_EQ(folder.settings, defaultSettings());
    const QStringList problems = readingProblems(folder, missing);
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].startsWith("hostvane: cannot read the settings file " + missing + ": "))
        << problems[0].toStdString();
    EXPECT_GT(problems[0].size(),
              ("hostvane: cannot read the settings file " + missing + ": ").size());

    tmp.write("Read.ini", "[HostList]\nA=1\n");
    EXPECT_EQ(readSettingsFile(tmp.file("Read.ini")).file, SettingsReading::File::Read);
    EXPECT_TRUE(
        readingProblems(readSettingsFile(tmp.file("Read.ini")), tmp.file("Read.ini")).isEmpty());
}

TEST(Settings, AnUnreadableFileIsNeitherReadNorReplaced) {
    if (hvtest::isRoot()) GTEST_SKIP() << "permissions do not stop root";
    hvtest::TempDir tmp;
    const QString path = tmp.write("Hostvane.ini", "[HostList]\nA=10.0.0.1\n");
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0), 0);
    const SettingsReading r = readSettingsFile(path);
    EXPECT_EQ(r.file, SettingsReading::File::Unreadable);
    EXPECT_TRUE(r.settings.hostEntries.isEmpty());
    EXPECT_EQ(readingProblems(r, path),
              QStringList("hostvane: cannot read the settings file " + path + ": " +
                          QString::fromLocal8Bit(std::strerror(EACCES))));
    EXPECT_THROW(save(path, {host("B", "10.0.0.2")}), IniWriteError);
    ::chmod(QFile::encodeName(path).constData(), 0644);
    EXPECT_EQ(tmp.read("Hostvane.ini"), "[HostList]\nA=10.0.0.1\n");
}

TEST(Settings, HostEntriesAsTheFileKeepsThem) {
    hvtest::TempDir tmp;
    const QString path = tmp.file("Hostvane.ini");
    save(path, {host("Mail", "10.0.0.1"), host("Web", "http://a"), host("MAIL", "10.0.0.3"),
                host("a=b", "c"), host("Gone", "")});
    // Equal titles ignoring case: the place of the first, the address of the last.
    // A title with "=" is cut at it; an empty address stays an empty value.
    EXPECT_EQ(readSettings(path).hostEntries,
              Entries({{"Mail", "10.0.0.3"}, {"Web", "http://a"}, {"a", "b=c"}, {"Gone", ""}}));
    EXPECT_TRUE(tmp.read("Hostvane.ini").contains("\nGone=\n"));

    // Values come back with the blanks the file gives them trimmed, quotes removed.
    tmp.write("Hostvane.ini", "[hostlist]\nA=  10.0.0.1  \nB=   \nC=\"10.0.0.2\"\n");
    EXPECT_EQ(readSettings(path).hostEntries,
              Entries({{"A", "10.0.0.1"}, {"B", ""}, {"C", "10.0.0.2"}}));
}

TEST(Settings, NumbersWrittenByHand) {
    const struct {
        const char* text;
        quint32 color;
        bool bold;
    } cases[] = {
        {"255", 255, true}, {"0xFF", 255, true}, {"$FF", 255, true},
        {"0", 0, false},    {"red", 0, false},   {"$FFFFFFFF", 0xFFFFFFFFu, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        hvtest::TempDir tmp;
        const QString path =
            tmp.write("Hostvane.ini", QByteArray("[View]\nFontColor=") + c.text +
                                          "\nFontStyleBold=" + c.text +
                                          "\n[CheckParams]\nCheckPeriod=" + c.text + "\n");
        const Settings s = readSettings(path);
        EXPECT_EQ(s.font.color, c.color);
        EXPECT_EQ(s.font.bold, c.bold);
        EXPECT_EQ(s.checkPeriod, QByteArray(c.text) == "red" ? 60000 : int(c.color));
    }
}

TEST(Settings, FailedSaveWritesNothing) {
    hvtest::TempDir tmp;
    QDir(tmp.path()).mkdir("Hostvane.ini");
    const QString path = tmp.file("Hostvane.ini");
    try {
        save(path, {host("A", "10.0.0.1")});
        ADD_FAILURE() << "no IniWriteError";
    } catch (const IniWriteError& e) {
        EXPECT_EQ(e.message(), "Unable to write to " + path);
    }
    EXPECT_TRUE(QFileInfo(path).isDir());
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"Hostvane.ini"});
}

TEST(Settings, FileFoundIgnoringCase) {
    hvtest::TempDir tmp;
    EXPECT_EQ(settingsFilePath(tmp.path()), tmp.path() + "/Hostvane.ini");
    tmp.write("HOSTVANE.INI", "[General]\nLanguage=German\n");
    EXPECT_EQ(settingsFilePath(tmp.path()), tmp.path() + "/HOSTVANE.INI");
    EXPECT_EQ(readSettings(settingsFilePath(tmp.path())).language, "German");
}

}  // namespace

TEST(Settings, ParallelChecksIsBroughtIntoRangeAndSavedOnlyWhenItMatters) {
    hvtest::TempDir tmp;
    const QString path = tmp.file("Hostvane.ini");
    const struct {
        QByteArray stored;  // the CheckParams line, empty for none
        int read;
    } cases[] = {{"", 1},
                 {"ParallelChecks=1\n", 1},
                 {"ParallelChecks=64\n", 64},
                 {"ParallelChecks=0\n", 1},
                 {"ParallelChecks=-7\n", 1},
                 {"ParallelChecks=256\n", 256},
                 {"ParallelChecks=257\n", 256},
                 {"ParallelChecks=x\n", 1}};
    for (const auto& c : cases) {
        tmp.write("Hostvane.ini", "[CheckParams]\n" + c.stored);
        EXPECT_EQ(readSettings(path).parallelChecks, c.read) << c.stored.constData();
    }

    // Sequential checks leave a file without the key as it was; anything else is written,
    // and a stored key is kept up to date even when it goes back to 1.
    QFile::remove(path);
    Settings settings = defaultSettings();
    writeSettings(path, settings);
    EXPECT_FALSE(tmp.read("Hostvane.ini").contains("ParallelChecks"));
    settings.parallelChecks = 500;
    writeSettings(path, settings);
    EXPECT_TRUE(tmp.read("Hostvane.ini").contains("PopUpInterval=5000\nParallelChecks=256\n"));
    settings.parallelChecks = 1;
    writeSettings(path, settings);
    EXPECT_EQ(readSettings(path).parallelChecks, 1);
    EXPECT_TRUE(tmp.read("Hostvane.ini").contains("ParallelChecks=1\n"));
}

// IpVersion: a file without it reads 4 (names as IPv4, as before the key) and stays without it.
TEST(Settings, IpVersionReadsFourWhenMissingAndIsSavedOnlyWhenItMatters) {
    hvtest::TempDir tmp;
    const QString path = tmp.file("Hostvane.ini");
    const struct {
        QByteArray stored;
        int read;
    } cases[] = {{"", 4},
                 {"IpVersion=0\n", 0},
                 {"IpVersion=6\n", 6},
                 {"IpVersion=4\n", 4},
                 {"IpVersion=-1\n", 0},
                 {"IpVersion=46\n", 6},
                 {"IpVersion=x\n", 4}};
    for (const auto& c : cases) {
        tmp.write("Hostvane.ini", "[CheckParams]\n" + c.stored);
        EXPECT_EQ(readSettings(path).ipVersion, c.read) << c.stored.constData();
    }
    QFile::remove(path);
    Settings settings = defaultSettings();
    writeSettings(path, settings);
    EXPECT_FALSE(tmp.read("Hostvane.ini").contains("IpVersion"));
    settings.ipVersion = 0;
    writeSettings(path, settings);
    EXPECT_TRUE(tmp.read("Hostvane.ini").contains("IpVersion=0\n"));
    EXPECT_EQ(readSettings(path).ipVersion, 0);
}

// [Metrics] Listen: a file without it serves nothing and stays without it; the text is kept as
// written (checking it is the server's business, which reports a bad one).
TEST(Settings, MetricsListenIsEmptyWhenMissingAndSavedOnlyWhenSet) {
    hvtest::TempDir tmp;
    const QString path = tmp.file("Hostvane.ini");
    const struct {
        QByteArray stored;
        QString read;
    } cases[] = {{"", ""},
                 {"[Metrics]\nListen=\n", ""},
                 {"[Metrics]\nListen=127.0.0.1:9860\n", "127.0.0.1:9860"},
                 {"[metrics]\nlisten=[::1]:9860\n", "[::1]:9860"},
                 {"[Metrics]\nListen=not an address\n", "not an address"}};
    for (const auto& c : cases) {
        tmp.write("Hostvane.ini", "[General]\nLanguage=English\n" + c.stored);
        EXPECT_EQ(readSettings(path).metricsListen, c.read) << c.stored.constData();
    }
    QFile::remove(path);
    Settings settings = defaultSettings();
    writeSettings(path, settings);
    EXPECT_FALSE(tmp.read("Hostvane.ini").contains("Metrics"));
    settings.metricsListen = QStringLiteral("[::1]:9860");
    writeSettings(path, settings);
    EXPECT_TRUE(tmp.read("Hostvane.ini").contains("[Metrics]\nListen=[::1]:9860\n"));
    EXPECT_EQ(readSettings(path).metricsListen, "[::1]:9860");
}

TEST(Settings, PassesToReportAreBroughtIntoRangeAndSavedOnlyWhenTheyMatter) {
    hvtest::TempDir tmp;
    const QString path = tmp.file("Hostvane.ini");
    const struct {
        QByteArray stored;
        int lostAfter;
        int appearedAfter;
    } cases[] = {{"", 1, 1},
                 {"LostAfter=2\nAppearedAfter=1\n", 2, 1},
                 {"LostAfter=0\nAppearedAfter=-5\n", 1, 1},
                 {"LostAfter=100\nAppearedAfter=101\n", 100, 100},
                 {"LostAfter=x\nAppearedAfter=$3\n", 1, 3}};
    for (const auto& c : cases) {
        tmp.write("Hostvane.ini", "[CheckParams]\n" + c.stored);
        const Settings s = readSettings(path);
        EXPECT_EQ(s.lostAfter, c.lostAfter) << c.stored.constData();
        EXPECT_EQ(s.appearedAfter, c.appearedAfter) << c.stored.constData();
    }

    // At their defaults a file without the keys stays without them.
    QFile::remove(path);
    Settings settings = defaultSettings();
    writeSettings(path, settings);
    EXPECT_FALSE(tmp.read("Hostvane.ini").contains("After"));
    settings.lostAfter = 2;
    writeSettings(path, settings);
    EXPECT_TRUE(tmp.read("Hostvane.ini").contains("LostAfter=2\n"));
    EXPECT_FALSE(tmp.read("Hostvane.ini").contains("AppearedAfter"));
}

TEST(Settings, TrayStatusIsOffOrOnAndSavedOnlyWhenItMatters) {
    hvtest::TempDir tmp;
    const QString path = tmp.file("Hostvane.ini");
    const struct {
        QByteArray stored;  // the View line, empty for none
        int read;
    } cases[] = {{"", 0},
                 {"TrayStatus=0\n", 0},
                 {"TrayStatus=1\n", 1},
                 {"TrayStatus=2\n", 1},
                 {"TrayStatus=-1\n", 0},
                 {"TrayStatus=on\n", 0}};
    for (const auto& c : cases) {
        tmp.write("Hostvane.ini", "[View]\n" + c.stored);
        EXPECT_EQ(readSettings(path).trayStatus, c.read) << c.stored.constData();
    }
    QFile::remove(path);
    Settings settings = defaultSettings();
    writeSettings(path, settings);
    EXPECT_FALSE(tmp.read("Hostvane.ini").contains("TrayStatus"));
    settings.trayStatus = 1;
    writeSettings(path, settings);
    EXPECT_TRUE(tmp.read("Hostvane.ini").contains("FontName=MS Sans Serif\nTrayStatus=1\n"));
}

TEST(Settings, DependenciesAreReadInFileOrderAndWrittenOnlyWhenThereAreAny) {
    hvtest::TempDir tmp;
    const QString path = tmp.file("Hostvane.ini");
    tmp.write("Hostvane.ini",
              "[HostList]\nRouter=10.0.0.1\nWeb=10.0.0.2\nMail=10.0.0.3\n"
              "[Dependencies]\nWeb = Router \nmail=Router\nWEB=Mail\n; a note\n");
    const Settings read = readSettings(path);
    // A key repeated but for letter case reads the first one's value, so it gives no line.
    EXPECT_EQ(read.dependencies, (Entries{{"Web", "Router"}, {"mail", "Router"}}));

    // Saving keeps the section where it is, with the comment.
    tmp.write("Hostvane.ini",
              "[HostList]\nRouter=10.0.0.1\nWeb=10.0.0.2\nMail=10.0.0.3\n"
              "[Dependencies]\nWeb=Router\n; a note\n");
    Settings changed = readSettings(path);
    changed.dependencies = {{"Web", "Mail"}};
    writeSettings(path, changed);
    EXPECT_EQ(readSettings(path).dependencies, (Entries{{"Web", "Mail"}}));
    EXPECT_TRUE(tmp.read("Hostvane.ini").contains("; a note"));
    changed.dependencies.clear();
    writeSettings(path, changed);
    EXPECT_TRUE(readSettings(path).dependencies.isEmpty());

    // A file that never had the section gets none.
    QFile::remove(path);
    save(path, {host("Router", "10.0.0.1")});
    EXPECT_FALSE(tmp.read("Hostvane.ini").contains("Dependencies"));
    EXPECT_TRUE(readSettings(path).dependencies.isEmpty());
}

// [History] KeepDays: missing is 0 (no history), and a value is brought into 0..3650.
TEST(Settings, KeepDaysIsZeroWhenMissingAndBounded) {
    hvtest::TempDir dir;
    const struct {
        const char* ini;
        int keepDays;
    } cases[] = {
        {"[General]\nLanguage=English\n", 0},  {"[History]\nKeepDays=30\n", 30},
        {"[History]\nKeepDays=99999\n", 3650}, {"[History]\nKeepDays=-5\n", 0},
        {"[history]\nkeepdays=7\n", 7},
    };
    for (const auto& c : cases) {
        const QString path = dir.write("Hostvane.ini", c.ini);
        EXPECT_EQ(hv::readSettings(path).keepDays, c.keepDays) << c.ini;
    }
    EXPECT_EQ(hv::defaultSettings().keepDays, 0);
}

TEST(Settings, StatsMinutesIsBroughtIntoRangeAndSavedOnlyWhenItMatters) {
    hvtest::TempDir tmp;
    const QString path = tmp.file("Hostvane.ini");
    const struct {
        QByteArray stored;  // the History line, empty for none
        int read;
    } cases[] = {{"", 60},
                 {"StatsMinutes=15\n", 15},
                 {"StatsMinutes=0\n", 1},
                 {"StatsMinutes=1440\n", 1440},
                 {"StatsMinutes=1441\n", 1440},
                 {"StatsMinutes=soon\n", 60}};
    for (const auto& c : cases) {
        tmp.write("Hostvane.ini", "[History]\n" + c.stored);
        EXPECT_EQ(readSettings(path).statsMinutes, c.read) << c.stored.constData();
    }
    // The default leaves a file without the key (or the section) as it was.
    QFile::remove(path);
    Settings settings = defaultSettings();
    writeSettings(path, settings);
    EXPECT_FALSE(tmp.read("Hostvane.ini").contains("History"));
    settings.statsMinutes = 30;
    writeSettings(path, settings);
    EXPECT_TRUE(tmp.read("Hostvane.ini").contains("[History]\nStatsMinutes=30\n"));
}
