#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sys/stat.h>
#include <QDir>
#include <QFile>
#include <cstdlib>
#include <functional>

#include "TestSupport.h"
#include "platform/AutostartEntry.h"

namespace {

using namespace hv;

QString errorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const Error& e) {
        return e.message();
    }
    return QStringLiteral("(no error)");
}

TEST(AutostartEntry, DefaultsToTheUsersConfigFolder) {
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(AutostartEntry().entryPath(),
              QString::fromLocal8Bit(saved) + "/autostart/Hostvane.desktop");
    // A relative value does not count.
    qputenv("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(AutostartEntry().entryPath(),
              QDir::homePath() + "/.config/autostart/Hostvane.desktop");
    qputenv("XDG_CONFIG_HOME", saved);
}

TEST(AutostartEntry, SetCheckRemove) {
    hvtest::TempDir tmp;
    const AutostartEntry entry(tmp.path());
    const QString exe = "/opt/hv/hostvane";
    EXPECT_FALSE(entry.isSetTo(exe));

    entry.set(exe);
    EXPECT_EQ(tmp.read("autostart/Hostvane.desktop"),
              "[Desktop Entry]\nType=Application\nName=Hostvane\nExec=/opt/hv/hostvane\n"
              "X-GNOME-Autostart-enabled=true\n");
    EXPECT_TRUE(entry.isSetTo(exe));
    EXPECT_FALSE(entry.isSetTo("/opt/hv/Hostvane"));  // letter case counts
    EXPECT_FALSE(entry.isSetTo("/opt/hv/hostvane2"));

    // Another copy's path is replaced.
    entry.set("/usr/bin/hostvane");
    EXPECT_FALSE(entry.isSetTo(exe));
    EXPECT_TRUE(entry.isSetTo("/usr/bin/hostvane"));

    entry.remove();
    EXPECT_FALSE(QFile::exists(entry.entryPath()));
    EXPECT_FALSE(entry.isSetTo("/usr/bin/hostvane"));
    entry.remove();  // nothing to remove: no error
}

TEST(AutostartEntry, PathsThatNeedQuoting) {
    const struct {
        const char* path;
        const char* exec;  // the Exec line as the file holds it
    } cases[] = {
        {"/opt/my apps/host vane", "Exec=\"/opt/my apps/host vane\""},
        {"/opt/it's/hv", "Exec=\"/opt/it's/hv\""},
        {"/opt/a\"b/hv", "Exec=\"/opt/a\\\\\"b/hv\""},
        {"/opt/a\\b/hv", "Exec=\"/opt/a\\\\\\\\b/hv\""},
        {"/opt/$HOME/`x`/hv", "Exec=\"/opt/\\\\$HOME/\\\\`x\\\\`/hv\""},
        {"/opt/100%/hv", "Exec=/opt/100%%/hv"},
        {"/opt/tab\there", "Exec=\"/opt/tab\\there\""},
        {"/opt/\u00FCber/hv", "Exec=/opt/\u00FCber/hv"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        hvtest::TempDir tmp;
        const AutostartEntry entry(tmp.path());
        const QString path = QString::fromUtf8(c.path);
        entry.set(path);
        const QList<QByteArray> lines = tmp.read("autostart/Hostvane.desktop").split('\n');
        EXPECT_TRUE(lines.contains(QByteArray(c.exec)))
            << tmp.read("autostart/Hostvane.desktop").constData();
        EXPECT_TRUE(entry.isSetTo(path));
        EXPECT_FALSE(entry.isSetTo(path + "x"));
    }
}

TEST(AutostartEntry, ReadsEntriesWrittenByHand) {
    const struct {
        const char* name;
        QByteArray file;
        bool expected;
    } cases[] = {
        {"arguments after the program", "[Desktop Entry]\nExec=/opt/hv/hostvane --tray %U\n", true},
        {"CR LF and blanks", "[Desktop Entry]\r\nExec = /opt/hv/hostvane\r\n", true},
        {"quoted without need", "[Desktop Entry]\nExec=\"/opt/hv/hostvane\"\n", true},
        {"first Exec counts", "[Desktop Entry]\nExec=/opt/hv/hostvane\nExec=/other\n", true},
        {"other groups ignored",
         "# made by hand\n[Desktop Entry]\nType=Application\nExec=/opt/hv/hostvane\n"
         "[Desktop Action x]\nExec=/other\n",
         true},
        {"another program", "[Desktop Entry]\nExec=/usr/bin/other\n", false},
        {"empty Exec", "[Desktop Entry]\nExec=\n", false},
        {"hidden", "[Desktop Entry]\nExec=/opt/hv/hostvane\nHidden=true\n", false},
        {"disabled", "[Desktop Entry]\nExec=/opt/hv/hostvane\nX-GNOME-Autostart-enabled=false\n",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        hvtest::TempDir tmp;
        tmp.write("autostart/Hostvane.desktop", c.file);
        EXPECT_EQ(AutostartEntry(tmp.path()).isSetTo("/opt/hv/hostvane"), c.expected);
    }
}

TEST(AutostartEntry, ForeignFileIsInvalidData) {
    const QByteArray cases[] = {
        "Exec=/opt/hv/hostvane\n",                            // no group
        "[desktop entry]\nExec=/opt/hv/hostvane\n",           // group names are case-sensitive
        "[Desktop Entry]\nType=Application\n",                // no Exec
        "[Other]\nExec=/opt/hv/hostvane\n[Desktop Entry]\n",  // Exec in another group
        "[Desktop Entry]\nExec=\"/opt/hv/hostvane\n",         // quote never closed
        "[Desktop Entry]\nExec=/opt/hv/host\\qvane\n",        // unknown escape
        "\x7f"
        "ELF\x02\x01\x01",
    };
    for (const QByteArray& file : cases) {
        SCOPED_TRACE(file.constData());
        hvtest::TempDir tmp;
        tmp.write("autostart/Hostvane.desktop", file);
        const AutostartEntry entry(tmp.path());
        EXPECT_EQ(errorOf([&] { entry.isSetTo("/opt/hv/hostvane"); }),
                  "Invalid data type for 'Hostvane'");
    }
}

// An entry that exists but cannot be read is no error that locks the user out of Settings:
// it counts as not set, and the settings dialog's OK can write a good one over it.
TEST(AutostartEntry, UnreadableEntryCountsAsNotSet) {
    const QString exe = "/opt/hv/hostvane";
    {
        SCOPED_TRACE("a folder of that name");
        hvtest::TempDir tmp;
        QDir().mkpath(tmp.file("autostart/Hostvane.desktop"));
        EXPECT_EQ(errorOf([&] { EXPECT_FALSE(AutostartEntry(tmp.path()).isSetTo(exe)); }),
                  "(no error)");
    }
    {
        SCOPED_TRACE("a named pipe, whose read would block");
        hvtest::TempDir tmp;
        QDir().mkpath(tmp.file("autostart"));
        ASSERT_EQ(::mkfifo(QFile::encodeName(tmp.file("autostart/Hostvane.desktop")), 0600), 0);
        EXPECT_EQ(errorOf([&] { EXPECT_FALSE(AutostartEntry(tmp.path()).isSetTo(exe)); }),
                  "(no error)");
    }
    if (hvtest::isRoot()) GTEST_SKIP() << "root reads a file without read permission";
    hvtest::TempDir tmp;
    const QString path =
        tmp.write("autostart/Hostvane.desktop", "[Desktop Entry]\nExec=" + exe.toUtf8() + "\n");
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::WriteOwner));
    const AutostartEntry entry(tmp.path());
    EXPECT_EQ(errorOf([&] { EXPECT_FALSE(entry.isSetTo(exe)); }), "(no error)");
    entry.set(exe);  // replaced atomically by a readable one
    EXPECT_TRUE(entry.isSetTo(exe));
}

TEST(AutostartEntry, UnwritableFolderFailsToSet) {
    const QString failed = "Failed to set data for 'Hostvane'";
    hvtest::TempDir tmp;
    {
        SCOPED_TRACE("config home is a file");
        const AutostartEntry entry(tmp.write("config", "not a folder"));
        EXPECT_EQ(errorOf([&] { entry.set("/opt/hv/hostvane"); }), failed);
    }
    {
        SCOPED_TRACE("the entry's name is taken by a folder");
        QDir().mkpath(tmp.file("taken/autostart/Hostvane.desktop"));
        const AutostartEntry entry(tmp.file("taken"));
        EXPECT_EQ(errorOf([&] { entry.set("/opt/hv/hostvane"); }), failed);
    }
}

// A test of its own, so that a run as root reports it skipped and the unprivileged re-run
// finds it.
TEST(AutostartEntry, ReadOnlyFolderFailsToSet) {
    if (hvtest::isRoot()) GTEST_SKIP() << "root writes to read-only folders";
    hvtest::TempDir tmp;
    QDir().mkpath(tmp.file("ro/autostart"));
    const QByteArray dir = QFile::encodeName(tmp.file("ro/autostart"));
    ASSERT_EQ(::chmod(dir.constData(), 0555), 0);
    const AutostartEntry entry(tmp.file("ro"));
    EXPECT_EQ(errorOf([&] { entry.set("/opt/hv/hostvane"); }), "Failed to set data for 'Hostvane'");
    ::chmod(dir.constData(), 0755);
    EXPECT_TRUE(QDir(tmp.file("ro/autostart"))
                    .isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

}  // namespace
