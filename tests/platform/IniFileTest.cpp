#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>

#include "TestSupport.h"
#include "platform/IniFile.h"

namespace {

using namespace hv;

QStringList filesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

TEST(IniFile, ReadsAsPrivateProfileFunctionsDo) {
    const struct {
        const char* name;
        QByteArray file;
        const char* section;
        const char* key;
        QString expected;
    } cases[] = {
        {"names ignore case", "[View]\nFontSize=12\n", "view", "FONTSIZE", "12"},
        {"blanks around key and value", "[A]\n  key \t=  some value \t\n", "A", "key",
         "some value"},
        {"blanks around the asked key", "[A]\nkey=v\n", " A ", " key ", "v"},
        {"double quotes", "[A]\nk=\"  quoted  \"\n", "A", "k", "  quoted  "},
        {"single quotes", "[A]\nk='x'\n", "A", "k", "x"},
        {"unmatched quotes stay", "[A]\nk=\"x'\n", "A", "k", "\"x'"},
        {"a lone quote stays", "[A]\nk=\"\n", "A", "k", "\""},
        {"inner quotes stay", "[A]\nk=a\"b\"\n", "A", "k", "a\"b\""},
        {"first duplicate counts", "[A]\nk=first\nK=second\n", "A", "k", "first"},
        {"rest after first =", "[A]\nk=a=b\n", "A", "k", "a=b"},
        {"empty value is no default", "[A]\nk=\n", "A", "k", ""},
        {"comments are no keys", "[A]\n;k=x\nk=z\n", "A", "k", "z"},
        {"# starts a key, not a comment", "[A]\n#1 server=10.0.0.1\n", "A", "#1 server",
         "10.0.0.1"},
        {"CR LF", "[A]\r\nk=v\r\n", "A", "k", "v"},
        {"no final line end", "[A]\nk=v", "A", "k", "v"},
        {"byte order mark", "\xEF\xBB\xBF[A]\nk=v\n", "A", "k", "v"},
        {"comment after header", "[A] ; note\nk=v\n", "A", "k", "v"},
        {"UTF-8",
         "[A]\nk=Gr\xC3\xBC\xC3\x9F"
         "e\n",
         "A", "k", QStringLiteral("Gr\u00FC\u00DFe")},
        {"key before any section", "k=x\n[A]\n", "A", "k", "def"},
        {"missing key", "[A]\nj=1\n", "A", "k", "def"},
        {"missing section", "[B]\nk=1\n", "A", "k", "def"},
        {"first of two equal sections", "[A]\nk=1\n[B]\n[a]\nk=2\nj=3\n", "A", "k", "1"},
        {"second equal section unseen", "[A]\nk=1\n[B]\n[a]\nk=2\nj=3\n", "A", "j", "def"},
        {"bracket key is no header", "[A]\n[x]=addr\nk=v\n", "A", "k", "v"},
        {"bracket key reads", "[A]\n[x]=addr\n", "A", "[x]", "addr"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        hvtest::TempDir tmp;
        const IniFile ini(tmp.write("a.ini", c.file));
        EXPECT_EQ(ini.readString(c.section, c.key, "def"), c.expected);
    }
}

TEST(IniFile, TellsWhetherTheFileWasThereAndReadable) {
    hvtest::TempDir tmp;
    const IniFile missing(tmp.file("none.ini"));
    EXPECT_FALSE(missing.existed());
    EXPECT_FALSE(missing.isUnreadable());
    EXPECT_TRUE(missing.readError().isEmpty());
    const IniFile read(tmp.write("a.ini", "[A]\nk=v\n"));
    EXPECT_TRUE(read.existed());
    EXPECT_FALSE(read.isUnreadable());
    const IniFile empty(tmp.write("e.ini", ""));
    EXPECT_TRUE(empty.existed());
    EXPECT_FALSE(empty.isUnreadable());
    QDir(tmp.path()).mkdir("d.ini");
    const IniFile folder(tmp.file("d.ini"));
    EXPECT_TRUE(folder.existed());
    EXPECT_TRUE(folder.isUnreadable());
    EXPECT_EQ(folder.readError(), QString::fromLocal8Bit(std::strerror(EISDIR)));
}

TEST(IniFile, MissingFileReadsAsEmpty) {
    hvtest::TempDir tmp;
    const IniFile ini(tmp.file("none.ini"));
    EXPECT_TRUE(ini.keys("A").isEmpty());
    EXPECT_FALSE(ini.hasSection("A"));
    EXPECT_EQ(ini.readString("A", "k", "def"), "def");
    EXPECT_EQ(ini.readInteger("A", "k", 7), 7);
    EXPECT_TRUE(ini.readBool("A", "k", true));
}

TEST(IniFile, IntegersAndBooleans) {
    hvtest::TempDir tmp;
    const IniFile ini(tmp.write("a.ini",
                                "[A]\nhex=$FF\nc=0xff\nbad=12a\nq=\"5\"\n"
                                "two=2\nzero=0\nword=yes\n"));
    EXPECT_EQ(ini.readInteger("A", "hex", 0), 255);
    EXPECT_EQ(ini.readInteger("A", "c", 0), 255);
    EXPECT_EQ(ini.readInteger("A", "bad", 9), 9);
    EXPECT_EQ(ini.readInteger("A", "q", 0), 5);
    EXPECT_TRUE(ini.readBool("A", "two", false));
    EXPECT_FALSE(ini.readBool("A", "zero", true));
    EXPECT_TRUE(ini.readBool("A", "word", true));
    EXPECT_FALSE(ini.readBool("A", "word", false));
}

TEST(IniFile, KeysInFileOrderWithinTheBudget) {
    hvtest::TempDir tmp;
    {
        const IniFile ini(
            tmp.write("order.ini", "[H]\nb=1\n; c\nodd line\na=2\n=x\nC=3\n[I]\nd=4\n"));
        EXPECT_EQ(ini.keys("h"), QStringList({"b", "a", "C"}));
    }
    // Each name costs its UTF-8 bytes and a zero byte; 16384 bytes in all.
    const QByteArray fits(16383, 'k');
    {
        const IniFile ini(tmp.write("full.ini", "[H]\n" + fits + "=1\nb=2\n"));
        EXPECT_EQ(ini.keys("H"), QStringList({QString::fromLatin1(fits)}));
    }
    {
        // A name that does not fit hides the short ones after it too.
        const IniFile ini(tmp.write("over.ini", "[H]\na=0\n" + fits + "=1\nb=2\n"));
        EXPECT_EQ(ini.keys("H"), QStringList({"a"}));
    }
    {
        // 8191 two-byte characters are 16382 bytes: with its zero it leaves one byte free.
        QString wide(8191, QChar(0xE4));
        const IniFile ini(tmp.write("wide.ini", "[H]\n" + wide.toUtf8() + "=1\nb=2\n"));
        EXPECT_EQ(ini.keys("H"), QStringList({wide}));
    }
}

TEST(IniFile, ValuesComeBackWithAtMost2047Characters) {
    hvtest::TempDir tmp;
    const QByteArray longValue(3000, 'v');
    const IniFile ini(
        tmp.write("a.ini", "[A]\nk=" + longValue + "\nj=\"" + QByteArray(2047, 'w') + "\"\n"));
    EXPECT_EQ(ini.readString("A", "k", {}), QString(2047, 'v'));
    EXPECT_EQ(ini.readString("A", "j", {}), QString(2047, 'w'));
}

TEST(IniFile, WritesAndKeepsEverythingElse) {
    using Edit = std::function<void(IniFile&)>;
    const struct {
        const char* name;
        QByteArray before;
        Edit edit;
        QByteArray after;
    } cases[] = {
        {"replace in place, spelling kept", "; top\n[A]\nKey=old\nother=1\n\n[B]\nx=1\n",
         [](IniFile& f) { f.writeString("a", "KEY", "new"); },
         "; top\n[A]\nKey=new\nother=1\n\n[B]\nx=1\n"},
        {"new key after the section's last key", "[A]\nk=1\n; note\n\n[B]\nx=1\n",
         [](IniFile& f) { f.writeString("A", "j", "2"); }, "[A]\nk=1\nj=2\n; note\n\n[B]\nx=1\n"},
        {"new key in a section without keys", "[A]\n\n[B]\n",
         [](IniFile& f) { f.writeString("A", "j", "2"); }, "[A]\nj=2\n\n[B]\n"},
        {"new section at the end", "[A]\nk=1\n", [](IniFile& f) { f.writeString("C", "j", "2"); },
         "[A]\nk=1\n\n[C]\nj=2\n"},
        {"new file", "", [](IniFile& f) { f.writeString("A", "k", "v"); }, "[A]\nk=v\n"},
        {"no final line end", "[A]\nk=1", [](IniFile& f) { f.writeString("A", "j", "2"); },
         "[A]\nk=1\nj=2\n"},
        {"CR LF stays CR LF", "[A]\r\nk=1\r\n\r\n[B]\r\nx=1\r\n",
         [](IniFile& f) {
             f.writeString("A", "k", "2");
             f.writeString("A", "j", "3");
             f.writeString("C", "z", "4");
         },
         "[A]\r\nk=2\r\nj=3\r\n\r\n[B]\r\nx=1\r\n\r\n[C]\r\nz=4\r\n"},
        {"CR LF without final line end", "[A]\r\nk=1",
         [](IniFile& f) { f.writeString("A", "j", "2"); }, "[A]\r\nk=1\r\nj=2\r\n"},
        {"CR LF, last line replaced without a line end", "[A]\r\nk=1",
         [](IniFile& f) { f.writeString("A", "k", "2"); }, "[A]\r\nk=2"},
        {"erase a section and its lines", "[A]\nk=1\n\n[H]\na=1\n; c\n\n[B]\nx=1\n",
         [](IniFile& f) { f.eraseSection("h"); }, "[A]\nk=1\n\n[B]\nx=1\n"},
        {"erase every section of the name", "[H]\na=1\n[B]\nx=1\n[h]\nb=2\n",
         [](IniFile& f) { f.eraseSection("H"); }, "[B]\nx=1\n"},
        {"erase the last section", "[A]\nk=1\n[H]\na=1", [](IniFile& f) { f.eraseSection("H"); },
         "[A]\nk=1\n"},
        {"erase a missing section", "[A]\nk=1\n", [](IniFile& f) { f.eraseSection("H"); },
         "[A]\nk=1\n"},
        {"untouched lines byte for byte",
         "\xEF\xBB\xBF; head\n  odd line \t\n[A]\n  Weird Key =  v  \nk=1\n# hash\n"
         "[B] ; tail\nbin=\xFF\xFE\nk=\"q\"\r\n",
         [](IniFile& f) { f.writeString("A", "k", "2"); },
         "\xEF\xBB\xBF; head\n  odd line \t\n[A]\n  Weird Key =  v  \nk=2\n# hash\n"
         "[B] ; tail\nbin=\xFF\xFE\nk=\"q\"\r\n"},
        {"integers and booleans", "",
         [](IniFile& f) {
             f.writeInteger("A", "i", -12);
             f.writeBool("A", "t", true);
             f.writeBool("A", "f", false);
         },
         "[A]\ni=-12\nt=1\nf=0\n"},
        {"line breaks written as blanks", "[A]\nk=1\n",
         [](IniFile& f) { f.writeString("A\n", "a\nb", "x\r\n[Evil]\ny=1"); },
         "[A]\nk=1\na b=x  [Evil] y=1\n"},
        {"key with = written as given", "", [](IniFile& f) { f.writeString("A", "t=1", "v"); },
         "[A]\nt=1=v\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        hvtest::TempDir tmp;
        const QString path = c.before.isEmpty() ? tmp.file("a.ini") : tmp.write("a.ini", c.before);
        IniFile ini(path);
        c.edit(ini);
        ini.save();
        EXPECT_EQ(tmp.read("a.ini"), c.after);
        EXPECT_EQ(filesIn(tmp.path()), QStringList{"a.ini"});  // no temporary file left
    }
}

// The keys of a section replaced where it stands: what is unchanged keeps its bytes and place,
// comments keep theirs, and the keys end up in the order given.
TEST(IniFile, ReplacingTheKeysOfASectionInPlace) {
    const QByteArray head = "; top\n[Hosts]\n; office\n";
    const QByteArray tail = "\n[View]\nk=v\n";
    const QByteArray original = head + "A=1\nB = 2\n; lab\nC=\"3\"\n" + tail;
    using Entries = QList<QPair<QString, QString>>;
    const struct {
        const char* what;
        Entries entries;
        QByteArray expected;
    } cases[] = {
        {"the same keys", {{"A", "1"}, {"B", "2"}, {"C", "3"}}, original},
        {"a new value",
         {{"A", "1"}, {"B", "20"}, {"C", "3"}},
         head + "A=1\nB=20\n; lab\nC=\"3\"\n" + tail},
        {"one gone", {{"A", "1"}, {"C", "3"}}, head + "A=1\n; lab\nC=\"3\"\n" + tail},
        {"one more at the end",
         {{"A", "1"}, {"B", "2"}, {"C", "3"}, {"D", "4"}},
         head + "A=1\nB = 2\n; lab\nC=\"3\"\nD=4\n" + tail},
        {"one more first",
         {{"E", "5"}, {"A", "1"}, {"B", "2"}, {"C", "3"}},
         head + "E=5\nA=1\nB = 2\n; lab\nC=\"3\"\n" + tail},
        {"reordered",
         {{"C", "3"}, {"A", "1"}, {"B", "2"}},
         head + "; lab\nC=\"3\"\nA=1\nB=2\n" + tail},
        {"a title in other letter case",
         {{"a", "1"}, {"B", "2"}, {"C", "3"}},
         head + "a=1\nB = 2\n; lab\nC=\"3\"\n" + tail},
        {"a name twice: first place, last value",
         {{"A", "1"}, {"B", "2"}, {"a", "9"}},
         head + "A=9\nB = 2\n; lab\n" + tail},
        {"none: the comments stay", {}, head + "; lab\n" + tail},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        IniFile ini("x.ini", original);
        ini.replaceSectionKeys("HOSTS", c.entries);
        hvtest::TempDir tmp;
        IniFile onDisk(tmp.write("x.ini", original));
        onDisk.replaceSectionKeys("HOSTS", c.entries);
        onDisk.save();
        EXPECT_EQ(tmp.read("x.ini"), c.expected);
        EXPECT_EQ(IniFile(tmp.file("x.ini")).keys("Hosts").size(), c.expected.count('=') - 1);
    }
}

TEST(IniFile, ReplacingTheKeysOfASectionAtItsEdges) {
    using Entries = QList<QPair<QString, QString>>;
    const struct {
        const char* what;
        QByteArray original;
        Entries entries;
        QByteArray expected;
    } cases[] = {
        {"no section: added at the end",
         "[View]\nk=v\n",
         {{"A", "1"}},
         "[View]\nk=v\n\n[Hosts]\nA=1\n"},
        {"no section, no keys: nothing", "[View]\nk=v\n", {}, "[View]\nk=v\n"},
        {"an empty file", "", {{"A", "1"}}, "[Hosts]\nA=1\n"},
        {"only keys, none left: the section goes",
         "[Hosts]\nA=1\n\n[View]\nk=v\n",
         {},
         "[View]\nk=v\n"},
        {"a key line reading passes over stays",
         "[Hosts]\nA=1\na=2\n",
         {{"A", "5"}, {"B", "6"}},
         "[Hosts]\nA=5\nB=6\na=2\n"},
        {"a later section of the name goes",
         "[Hosts]\nA=1\n[View]\nk=v\n[hosts]\nZ=0\n",
         {{"A", "1"}},
         "[Hosts]\nA=1\n[View]\nk=v\n"},
        {"keys go after the comments of a section without keys",
         "[Hosts]\n; mine\n\n[V]\n",
         {{"A", "1"}},
         "[Hosts]\n; mine\nA=1\n\n[V]\n"},
        {"the last line without a line end",
         "[Hosts]\r\nA=1\r\nB=2",
         {{"A", "1"}, {"C", "3"}},
         "[Hosts]\r\nA=1\r\nC=3\r\n"},
        {"unchanged, without a line end", "[Hosts]\r\nA=1", {{"A", "1"}}, "[Hosts]\r\nA=1"},
        {"a value that would read as a header",
         "[Hosts]\nA=1\n",
         {{"[lab", "x]"}},
         "[Hosts]\n[lab=\"x]\"\n"},
        // Names that reading never gives back still keep to their one line.
        {"an empty name", "[Hosts]\n=1\nA=2\n", {{"", "1"}, {"A", "2"}}, "[Hosts]\n=1\nA=2\n"},
        {"a name that makes a comment",
         "[Hosts]\nA=2\n",
         {{";x", "1"}, {"A", "2"}},
         "[Hosts]\n;x=\"1\"\nA=2\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        hvtest::TempDir tmp;
        IniFile ini(c.original.isEmpty() ? tmp.file("x.ini") : tmp.write("x.ini", c.original));
        ini.replaceSectionKeys("Hosts", c.entries);
        ini.save();
        EXPECT_EQ(tmp.read("x.ini"), c.expected);
        // Saved again with the same keys: not a byte changes.
        IniFile again(tmp.file("x.ini"));
        again.replaceSectionKeys("Hosts", c.entries);
        again.save();
        EXPECT_EQ(tmp.read("x.ini"), c.expected);
    }
}

TEST(IniFile, WrittenTextReadsBack) {
    hvtest::TempDir tmp;
    const QString path = tmp.file("a.ini");
    IniFile ini(path);
    ini.writeString("A", "a\nb", "x\n[Evil]");
    ini.writeString("A", "t=1", "v");
    ini.save();
    const IniFile again(path);
    EXPECT_FALSE(again.hasSection("Evil"));
    EXPECT_EQ(again.readString("A", "a b", {}), "x [Evil]");
    // A key with "=" is cut at it when read again.
    EXPECT_EQ(again.readString("A", "t", {}), "1=v");

    IniFile::writeValue(path, "B", "k", "w");
    EXPECT_EQ(IniFile(path).readString("b", "K", {}), "w");
    EXPECT_EQ(IniFile(path).readString("A", "t", {}), "1=v");
}

TEST(IniFile, KeyAndValueThatWouldFormAHeaderStayAKey) {
    hvtest::TempDir tmp;
    const QString path = tmp.file("h.ini");
    IniFile ini(path);
    ini.writeString("HostList", "[lab", "10.0.0.1]");
    ini.writeString("HostList", "after", "x");
    ini.writeString("HostList", "[lab", "10.0.0.2]");  // replaced in place, too
    ini.save();
    const IniFile back(path);
    EXPECT_EQ(back.keys("HostList"), (QStringList{"[lab", "after"}));
    EXPECT_EQ(back.readString("HostList", "[lab", "-"), "10.0.0.2]");
    EXPECT_EQ(back.readString("HostList", "after", "-"), "x");
    EXPECT_FALSE(back.hasSection("lab=10.0.0.2"));
}

TEST(IniFile, SaveKeepsPermissionsAndLinks) {
    hvtest::TempDir tmp;
    const QString path = tmp.write("a.ini", "[A]\nk=1\n");
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0604), 0);
    IniFile::writeValue(path, "A", "k", "2");
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0604u);

    const mode_t mask = ::umask(022);
    ::umask(mask);
    IniFile::writeValue(tmp.file("new.ini"), "A", "k", "1");
    ASSERT_EQ(::stat(QFile::encodeName(tmp.file("new.ini")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u & ~mask);

    // Saving through a link replaces the file it points to and keeps the link.
    ASSERT_TRUE(QFile::link(path, tmp.file("link.ini")));
    IniFile::writeValue(tmp.file("link.ini"), "A", "k", "3");
    EXPECT_TRUE(QFileInfo(tmp.file("link.ini")).isSymLink());
    EXPECT_EQ(tmp.read("a.ini"), "[A]\nk=3\n");
}

void expectWriteError(const QString& path, const std::function<void()>& save) {
    try {
        save();
        ADD_FAILURE() << "no IniWriteError";
    } catch (const IniWriteError& e) {
        EXPECT_EQ(e.message(), "Unable to write to " + path);
    }
}

TEST(IniFile, FailedSaveLeavesTheDiskAsItWas) {
    hvtest::TempDir tmp;
    {
        SCOPED_TRACE("the path is a folder");
        QDir(tmp.path()).mkdir("folder.ini");
        IniFile ini(tmp.file("folder.ini"));
        ini.writeString("A", "k", "v");
        expectWriteError(tmp.file("folder.ini"), [&] { ini.save(); });
        EXPECT_TRUE(QFileInfo(tmp.file("folder.ini")).isDir());
    }
    {
        SCOPED_TRACE("the folder is missing");
        const QString path = tmp.file("missing/a.ini");
        IniFile ini(path);
        ini.writeString("A", "k", "v");
        expectWriteError(path, [&] { ini.save(); });
        EXPECT_FALSE(QFileInfo::exists(tmp.file("missing")));
    }
    {
        // A full disk, made so that it stops root as well: the file size limit.
        SCOPED_TRACE("the write runs out of room");
        const QString path = tmp.write("full.ini", "[A]\nk=old\n");
        IniFile ini(path);
        ini.writeString("A", "k", QString(4096, 'x'));
        rlimit old{};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
        auto* previous = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = 64;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        expectWriteError(path, [&] { ini.save(); });
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, previous);
        EXPECT_EQ(tmp.read("full.ini"), "[A]\nk=old\n");
    }
    EXPECT_EQ(filesIn(tmp.path()), QStringList({"folder.ini", "full.ini"}));
}

TEST(IniFile, ReadOnlyFolderAndUnreadableFile) {
    if (hvtest::isRoot()) GTEST_SKIP() << "permissions do not stop root";
    hvtest::TempDir tmp;
    const QString dir = tmp.file("ro");
    const QString path = dir + "/a.ini";
    QDir().mkpath(dir);
    tmp.write("ro/a.ini", "[A]\nk=old\n");
    ASSERT_EQ(::chmod(QFile::encodeName(dir).constData(), 0555), 0);
    IniFile ini(path);
    ini.writeString("A", "k", "new");
    expectWriteError(path, [&] { ini.save(); });
    ::chmod(QFile::encodeName(dir).constData(), 0755);
    EXPECT_EQ(tmp.read("ro/a.ini"), "[A]\nk=old\n");
    EXPECT_EQ(filesIn(dir), QStringList{"a.ini"});

    // A file we could not read is not replaced by what little we know of it.
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0), 0);
    IniFile unreadable(path);
    unreadable.writeString("A", "k", "new");
    expectWriteError(path, [&] { unreadable.save(); });
    ::chmod(QFile::encodeName(path).constData(), 0644);
    EXPECT_EQ(tmp.read("ro/a.ini"), "[A]\nk=old\n");
}

}  // namespace
