#include <gtest/gtest.h>

#include <sys/stat.h>

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

TEST_F(SettingsLocationTest, WithoutADefaultNothingIsCreated) {
    // Settings then read as their defaults; the first save creates the file.
    const QString path =
        SettingsLocation::settingsFile(m_program.path(), QStringLiteral("Hostvane.ini"), false);
    EXPECT_EQ(path, userFile());
    EXPECT_FALSE(QFile::exists(path));
}

}  // namespace
