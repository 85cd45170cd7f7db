#include <gtest/gtest.h>

#include <QDir>
#include <algorithm>

#include "TestSupport.h"
#include "lang/Languages.h"

using hv::Languages;

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

// A program folder of its own for each test, with the one Languages object pointed at it.
class LanguagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        lang().setExecutable(dir.file("hostvane"));
        lang().setCurrentLanguage(QString());
        lang().setTranslateAllForms({});
    }
    void TearDown() override { lang().setTranslateAllForms({}); }
    static Languages& lang() { return Languages::instance(); }

    hvtest::TempDir dir;
};

QStringList sorted(QStringList list) {
    std::sort(list.begin(), list.end());
    return list;
}

}  // namespace

TEST_F(LanguagesTest, WithoutLanguageFilesEveryMessageIsItsKey) {
    for (const QString& language : {QString(), QStringLiteral("English")}) {
        lang().setCurrentLanguage(language);
        EXPECT_EQ(hv::langMessage("Table"), "Table");
        EXPECT_EQ(hv::langMessage("items"), "items");
        EXPECT_EQ(hv::langMessage("NewIP"), "NewIP");
    }
    EXPECT_TRUE(lang().listLanguages().isEmpty());
    // A folder without the language's file, or a file without the section, changes nothing.
    QDir().mkpath(dir.file("Languages"));
    EXPECT_EQ(hv::langMessage("NewIP"), "NewIP");
    EXPECT_TRUE(lang().listLanguages().isEmpty());
    dir.write("Languages/English.lng", "[frmMain]\nNewIP=Wrong section\n");
    EXPECT_EQ(hv::langMessage("NewIP"), "NewIP");
}

TEST_F(LanguagesTest, MessagesComeFromTheCurrentFileReadAtEveryLookup) {
    dir.write("Languages/English.lng",
              "[Messages]\r\nTable=Table view\r\nLoseHost=\r\nitems = \"items\" \r\n");
    dir.write("Languages/German.lng", "[messages]\nTable=Tabelle\nLOSEHOST=verloren\n");
    lang().setCurrentLanguage("English");
    EXPECT_EQ(lang().languageFilePath(), dir.file("Languages/English.lng"));
    EXPECT_EQ(hv::langMessage("Table"), "Table view");
    EXPECT_EQ(hv::langMessage("LoseHost"), "");  // an empty value is an empty text
    EXPECT_EQ(hv::langMessage("items"), "items");
    EXPECT_EQ(hv::langMessage("NewIP"), "NewIP");

    lang().setCurrentLanguage("German");
    EXPECT_EQ(hv::langMessage("Table"), "Tabelle");
    EXPECT_EQ(hv::langMessage("LoseHost"), "verloren");

    dir.write("Languages/German.lng", "[Messages]\nTable=Übersicht\n");
    EXPECT_EQ(hv::langMessage("Table"), QString::fromUtf8("Übersicht"));
    EXPECT_EQ(hv::langMessage("LoseHost"), "LoseHost");

    lang().setCurrentLanguage("Klingon");  // no such file: keys again
    EXPECT_EQ(hv::langMessage("Table"), "Table");
}

TEST_F(LanguagesTest, FolderAndFileAreFoundIgnoringCase) {
    dir.write("languages/GERMAN.LNG", "[Messages]\nTable=Tabelle\n");
    lang().setCurrentLanguage("German");
    EXPECT_EQ(hv::langMessage("Table"), "Tabelle");
    EXPECT_EQ(lang().languageFilePath(), dir.file("languages/GERMAN.LNG"));
}

TEST_F(LanguagesTest, LoadLanguageReadsTheSettingsFileOfTheExecutable) {
    int translated = 0;
    QString seen;
    lang().setTranslateAllForms([&] {
        ++translated;
        // Called after the name has been taken, and outside the lock (it reads messages).
        seen = lang().currentLanguage() + "/" + hv::langMessage("Table");
    });
    dir.write("Languages/German.lng", "[Messages]\nTable=Tabelle\n");

    // No settings file, then one without the key: English.
    lang().loadLanguage(true);
    EXPECT_EQ(lang().currentLanguage(), "English");
    EXPECT_EQ(seen, "English/Table");
    dir.write("Hostvane.ini", "[General]\nOther=1\n");
    lang().loadLanguage(false);
    EXPECT_EQ(lang().currentLanguage(), "English");

    // Section and key in any case; the file found ignoring case for an executable without
    // an extension.
    dir.write("Hostvane.ini", "[HostList]\nLanguage=Wrong\n[general]\nlanguage=German\n");
    translated = 0;
    lang().loadLanguage(false);
    EXPECT_EQ(lang().currentLanguage(), "German");
    EXPECT_EQ(translated, 0);
    lang().setCurrentLanguage("English");
    lang().loadLanguage(true);
    EXPECT_EQ(translated, 1);
    EXPECT_EQ(seen, "German/Tabelle");

    // An executable with an extension reads the settings file named after it.
    lang().setTranslateAllForms({});
    lang().setExecutable(dir.file("hostvane2.bin"));
    dir.write("hostvane2.ini", "[General]\nLanguage=French\n");
    lang().loadLanguage(true);
    EXPECT_EQ(lang().currentLanguage(), "French");
}

TEST_F(LanguagesTest, ListLanguagesKeepsNamesWithLowerCaseLng) {
    for (const char* name : {"English.lng", "German.lng", "readme.txt", "Old.lng.bak", "French.LNG",
                             ".Hidden.lng", "Twice.lng.lng", "noext"})
        dir.write(QStringLiteral("Languages/") + name, "[Messages]\n");
    QDir().mkpath(dir.file("Languages/Folder.lng"));
    const QStringList names = lang().listLanguages();
    EXPECT_EQ(sorted(names), sorted({"English", "German", "Old", ".Hidden", "Twice", "Folder"}));

    // The file system's order is kept: the same as an unsorted listing.
    QStringList expected;
    for (const QString& entry :
         QDir(dir.file("Languages"))
             .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDir::Unsorted)) {
        if (entry.contains(".lng")) expected << entry.left(entry.indexOf(".lng"));
    }
    EXPECT_EQ(names, expected);
}

TEST_F(LanguagesTest, ListLanguagesFindsTheFolderIgnoringCase) {
    dir.write("LANGUAGES/Dutch.lng", "");
    EXPECT_EQ(lang().listLanguages(), QStringList{"Dutch"});
}

TEST_F(LanguagesTest, FilesAreUtf8WithOrWithoutMarkAndOldLatin1FilesStillRead) {
    lang().setCurrentLanguage("German");
    const std::pair<QByteArray, const char*> files[] = {
        {"[Messages]\nTable=\xC3\x9C"
         "bersicht\n",
         "UTF-8"},
        {"\xEF\xBB\xBF[Messages]\r\nTable=\xC3\x9C"
         "bersicht\r\n",
         "UTF-8 with a byte-order mark"},
        {"[Messages]\nTable=\xDC"
         "bersicht\n",
         "Latin-1"},
    };
    for (const auto& [bytes, what] : files) {
        dir.write("Languages/German.lng", bytes);
        EXPECT_EQ(hv::langMessage("Table"), QString::fromUtf8("Übersicht")) << what;
    }
}
