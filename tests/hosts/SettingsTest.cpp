#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include "TestSupport.h"
#include "hosts/Settings.h"
#include "platform/IniFile.h"

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
    saved.language = "German";
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
    hvtest::TempDir tmp;
    const QString path = tmp.file("Hostvane.ini");
    writeSettings(path, changed);
    EXPECT_EQ(readSettings(path), changed);
    EXPECT_EQ(readSettings(tmp.file("missing.ini")), defaultSettings());
}

TEST(Settings, HostListMovesToTheEndAndTheRestStays) {
    hvtest::TempDir tmp;
    const QString path = tmp.write("Hostvane.ini",
                                   "; my hosts\n[HostList]\nOld=10.0.0.1\n\n[View]\nFontSize=14\n"
                                   "Custom=kept\n\n[Extra]\nfoo = bar\n\n[CheckParams]\n"
                                   "CheckPeriod=1\n\n[General]\nLanguage=German\n");
    save(path, {host("New", "10.0.0.2")});
    EXPECT_EQ(tmp.read("Hostvane.ini"),
              "; my hosts\n[View]\nFontSize=10\nCustom=kept\nFontStyleBold=0\nFontStyleItalic=0\n"
              "FontColor=0\nFontName=MS Sans Serif\n\n[Extra]\nfoo = bar\n\n"
              "[CheckParams]\nCheckPeriod=60000\nPopUpInterval=5000\n\n"
              "[General]\nLanguage=English\n\n[HostList]\nNew=10.0.0.2\n");

    // An empty list leaves no section behind.
    save(path, {});
    EXPECT_FALSE(IniFile(path).hasSection("HostList"));
    EXPECT_TRUE(IniFile(path).hasSection("General"));
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
