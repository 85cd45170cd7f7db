#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "TestSupport.h"
#include "platform/SettingsLocation.h"

namespace {

using namespace hv;

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

// Each test gets its own XDG_CONFIG_HOME, so the per-user folder starts empty.
class SettingsLocationTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_oldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
    }
    void TearDown() override { qputenv("XDG_CONFIG_HOME", m_oldConfig); }

    QString userFile() const { return m_config.path() + QStringLiteral("/Hostvane/Hostvane.ini"); }

    hvtest::TempDir m_program;
    hvtest::TempDir m_config;
    QByteArray m_oldConfig;
};

TEST_F(SettingsLocationTest, TheRuleFollowsTheProgramFoldersWritability) {
    m_program.write(QStringLiteral("hostvane.INI"), "[General]\n");
    // A writable folder keeps today's file beside the program, found ignoring case.
    EXPECT_EQ(
        SettingsLocation::settingsFile(m_program.path(), QStringLiteral("Hostvane.ini"), true),
        m_program.file(QStringLiteral("hostvane.INI")));
    EXPECT_EQ(
        SettingsLocation::settingsFile(m_program.path(), QStringLiteral("Hostvane.ini"), false),
        userFile());
    EXPECT_EQ(SettingsLocation::settingsFile(m_program.path(), QStringLiteral("Hostvane.ini")),
              m_program.file(QStringLiteral("hostvane.INI")));
}

TEST_F(SettingsLocationTest, AReadOnlyProgramFolderGetsAPrivateCopyOfTheDefaultOnce) {
    if (hvtest::isRoot()) GTEST_SKIP() << "root may write to any folder";
    m_program.write(QStringLiteral("Hostvane.ini"), "[CheckParams]\nCheckPeriod=1000\n");
    ASSERT_EQ(::chmod(QFile::encodeName(m_program.path()).constData(), 0555), 0);

    const QString path = SettingsLocation::prepareSettingsFile(m_program.path(), "Hostvane.ini");
    EXPECT_EQ(path, userFile());
    EXPECT_EQ(readFile(path), QByteArray("[CheckParams]\nCheckPeriod=1000\n"));
    EXPECT_EQ(modeOf(path), 0600);
    EXPECT_EQ(modeOf(m_config.path() + QStringLiteral("/Hostvane")), 0700);

    // The user's own file is never replaced by the default again.
    QFile user(path);
    ASSERT_TRUE(user.open(QIODevice::WriteOnly | QIODevice::Truncate));
    user.write("[CheckParams]\nCheckPeriod=5\n");
    user.close();
    SettingsLocation::prepareSettingsFile(m_program.path(), "Hostvane.ini");
    EXPECT_EQ(readFile(path), QByteArray("[CheckParams]\nCheckPeriod=5\n"));
    ::chmod(QFile::encodeName(m_program.path()).constData(), 0755);
}

// A start killed in the middle of the first copy (the file-size limit stops its writes after
// 4 KiB with SIGXFSZ) must not leave a cut file that the next start takes for the user's own.
TEST_F(SettingsLocationTest, AStartKilledMidCopyLeavesNoCutFileForTheNext) {
    QByteArray defaults = "[HostList]\n";
    for (int i = 0; i < 2000; ++i)
        defaults += "Host" + QByteArray::number(i) + "=10.0." + QByteArray::number(i / 256) + "." +
                    QByteArray::number(i % 256) + "\n";
    defaults += "[General]\nLanguage=English\n";
    m_program.write(QStringLiteral("Hostvane.ini"), defaults);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit noCore{0, 0};
        const rlimit small{4096, 4096};
        ::setrlimit(RLIMIT_CORE, &noCore);
        ::signal(SIGXFSZ, SIG_DFL);
        ::setrlimit(RLIMIT_FSIZE, &small);
        SettingsLocation::prepareSettingsFile(m_program.path(), "Hostvane.ini", false);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ)
        << "the copy was not cut short (status " << status << ")";

    const QString path =
        SettingsLocation::prepareSettingsFile(m_program.path(), "Hostvane.ini", false);
    EXPECT_EQ(path, userFile());
    EXPECT_EQ(readFile(path), defaults);
    EXPECT_EQ(modeOf(path), 0600);
}

TEST_F(SettingsLocationTest, TheCopyIsWholeAndAnExistingUserFileIsNeverReplaced) {
    const QByteArray defaults = "[CheckParams]\nCheckPeriod=1000\n";
    m_program.write(QStringLiteral("Hostvane.ini"), defaults);
    // What an earlier start that was killed while copying left behind is not the user's file.
    const QString folder = m_config.path() + QStringLiteral("/Hostvane");
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile leftover(folder + QStringLiteral("/.Hostvane.ini.k1ll3d"));
    ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    leftover.write("[CheckPa");
    leftover.close();

    const QString path =
        SettingsLocation::prepareSettingsFile(m_program.path(), "Hostvane.ini", false);
    EXPECT_EQ(path, userFile());
    EXPECT_EQ(readFile(path), defaults);
    EXPECT_EQ(modeOf(path), 0600);
    EXPECT_EQ(modeOf(folder), 0700);
    // The copy left no temporary file of its own.
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              QStringList({".Hostvane.ini.k1ll3d", "Hostvane.ini"}));

    // The user's file, even an empty one, stays as it is.
    for (const QByteArray& own : {QByteArray(), QByteArray("[CheckParams]\nCheckPeriod=5\n")}) {
        QFile user(path);
        ASSERT_TRUE(user.open(QIODevice::WriteOnly | QIODevice::Truncate));
        user.write(own);
        user.close();
        EXPECT_EQ(SettingsLocation::prepareSettingsFile(m_program.path(), "Hostvane.ini", false),
                  path);
        EXPECT_EQ(readFile(path), own);
    }
}

TEST_F(SettingsLocationTest, WithoutADefaultNothingIsCreated) {
    // Settings then read as their defaults; the first save creates the file.
    const QString path =
        SettingsLocation::settingsFile(m_program.path(), QStringLiteral("Hostvane.ini"), false);
    EXPECT_EQ(path, userFile());
    EXPECT_FALSE(QFile::exists(path));
}

}  // namespace
