#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <random>

#include "TestSupport.h"
#include "platform/AtomicFile.h"
#include "platform/IniFile.h"

namespace {

using namespace hv;

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

mode_t modeOf(const QString& path) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

TEST(AtomicFile, LinksAreFollowedAndTheirFileReplaced) {
    hvtest::TempDir tmp;
    QDir(tmp.path()).mkdir("real");
    const QString real = tmp.file("real/Hostvane.ini");
    AtomicFile::write(real, "old\n");
    ASSERT_EQ(::chmod(QFile::encodeName(real).constData(), 0640), 0);
    // A chain: relative link to an absolute link to the file.
    ASSERT_TRUE(QFile::link(real, tmp.file("abs.ini")));
    ASSERT_EQ(::symlink("abs.ini", QFile::encodeName(tmp.file("rel.ini")).constData()), 0);

    AtomicFile::write(tmp.file("rel.ini"), "new\n");
    EXPECT_TRUE(QFileInfo(tmp.file("rel.ini")).isSymLink());
    EXPECT_TRUE(QFileInfo(tmp.file("abs.ini")).isSymLink());
    EXPECT_EQ(readAll(real), "new\n");
    EXPECT_EQ(modeOf(real), 0640u);
    // No temporary file stays behind, here or beside the link.
    EXPECT_EQ(QDir(tmp.file("real")).entryList(QDir::Files | QDir::Hidden),
              QStringList{"Hostvane.ini"});
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 2);

    // A dangling link gets its file created where it points.
    ASSERT_EQ(::symlink("real/later.log", QFile::encodeName(tmp.file("later.log")).constData()), 0);
    AtomicFile::write(tmp.file("later.log"), "x");
    EXPECT_TRUE(QFileInfo(tmp.file("later.log")).isSymLink());
    EXPECT_EQ(readAll(tmp.file("real/later.log")), "x");
}

TEST(AtomicFile, RefusesWhatItMustNotReplace) {
    hvtest::TempDir tmp;
    const struct {
        const char* what;
        QString path;
        int error;
    } cases[] = {
        {"a folder", tmp.path(), EISDIR},
        {"a device", QStringLiteral("/dev/null"), EINVAL},
        {"a missing folder", tmp.file("none/x.ini"), ENOENT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            AtomicFile::write(c.path, "x");
            ADD_FAILURE() << "written";
        } catch (const AtomicFileError& e) {
            EXPECT_EQ(e.systemError(), c.error);
        }
    }
}

// Creating only: the file comes whole or not at all, and an existing one is never replaced.
TEST(AtomicFile, NoReplaceCreatesButNeverReplaces) {
    hvtest::TempDir tmp;
    const QString path = tmp.file("Hostvane.ini");
    AtomicFile::Options create;
    create.newFileMode = 0600;
    create.noReplace = true;
    AtomicFile::write(path, "first\n", create);
    EXPECT_EQ(readAll(path), "first\n");
    EXPECT_EQ(modeOf(path), 0600u);

    try {
        AtomicFile::write(path, "second\n", create);
        ADD_FAILURE() << "replaced";
    } catch (const AtomicFileError& e) {
        EXPECT_EQ(e.systemError(), EEXIST);
    }
    EXPECT_EQ(readAll(path), "first\n");
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Hostvane.ini"});
}

TEST(AtomicFile, NewFilesTakeTheModeLessTheUmask) {
    hvtest::TempDir tmp;
    const mode_t old = ::umask(027);
    AtomicFile::Options options;
    options.newFileMode = 0666;
    AtomicFile::write(tmp.file("a.log"), "x", options);
    AtomicFile::write(tmp.file("b.ini"), "x");
    ::umask(old);
    EXPECT_EQ(modeOf(tmp.file("a.log")), 0640u);
    EXPECT_EQ(modeOf(tmp.file("b.ini")), 0640u);
}

// A settings save killed at any moment leaves the old file or the new one, never a mix.
TEST(AtomicFile, SettingsSaveKilledAtRandomLeavesOldOrNew) {
    hvtest::TempDir tmp;
    const QString path = tmp.file("Hostvane.ini");
    // Each version writes the same number into every key, so a mix or a cut shows.
    const auto version = [](int n) {
        QByteArray text = "[HostList]\n";
        for (int i = 0; i < 200; ++i)
            text += "Host" + QByteArray::number(i) + "=" + QByteArray::number(n) + "\n";
        return text + "[End]\nVersion=" + QByteArray::number(n) + "\n";
    };
    const auto versionOf = [&](const QByteArray& text) {
        const qsizetype at = text.lastIndexOf("Version=");
        if (at < 0) return -1;
        const int n = text.mid(at + 8).trimmed().toInt();
        return text == version(n) ? n : -1;
    };
    AtomicFile::write(path, version(0));

    std::mt19937 random(20081207);
    int lastSeen = 0, newer = 0;
    for (int round = 0; round < 200; ++round) {
        // Every other round the kill comes only after the child has finished one save, so
        // kills between saves happen however slow a loaded machine makes each save.
        const bool afterASave = round % 2 == 1;
        int saved[2];
        ASSERT_EQ(::pipe(saved), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(saved[0]);
            // Saves new versions without pause until killed, telling the parent of each.
            for (int n = lastSeen + 1;; ++n) {
                try {
                    IniFile ini(path);
                    ini.writeString("End", "Version", QString::number(n));
                    for (int i = 0; i < 200; ++i)
                        ini.writeString("HostList", QStringLiteral("Host%1").arg(i),
                                        QString::number(n));
                    ini.save();
                } catch (...) {
                    ::_exit(3);
                }
                const char one = 1;
                if (::write(saved[1], &one, 1) != 1) ::_exit(4);
            }
        }
        ::close(saved[1]);
        if (afterASave) {
            char one = 0;
            ASSERT_EQ(::read(saved[0], &one, 1), 1) << "round " << round << ": no save ended";
        }
        ::usleep(std::uniform_int_distribution<useconds_t>(0, 20000)(random));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ::close(saved[0]);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saving child ended on its own in round " << round;
        const int seen = versionOf(readAll(path));
        ASSERT_GE(seen, lastSeen) << "round " << round << ": neither the old file nor a new one";
        if (seen > lastSeen) ++newer;
        lastSeen = seen;
    }
    // Kills landed both between and during saves (how often each: the machine's load decides).
    EXPECT_GT(newer, 0);
    std::printf(
        "[ figures  ] 200 kills during saves: every file whole, %d rounds saw a newer file\n",
        newer);
}

}  // namespace
