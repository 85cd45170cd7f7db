#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include "TestSupport.h"
#include "platform/ProgramFiles.h"

namespace {

using namespace hv;

TEST(ProgramFiles, ExecutableDerivedName) {
    const struct {
        const char* file;
        const char* name;
    } cases[] = {
        {"hostvane", "hostvane"},
        {"Hostvane", "Hostvane"},
        {"HOSTVANE", "Hostvane"},
        {"host.vane", "host"},
        {"Host.Vane", "Host"},
        {"HostVane.bin", "Hostvane"},
        {"/opt/HV/HOSTVANE", "Hostvane"},
        {".hostvane", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(ProgramFiles::executableDerivedName(QString::fromUtf8(c.file)),
                  QString::fromUtf8(c.name));
    }
}

TEST(ProgramFiles, ExecutablePathAndDir) {
    const QString path = ProgramFiles::executablePath();
    EXPECT_EQ(QFileInfo(path).fileName(), QStringLiteral("test_platform"));
    EXPECT_TRUE(QFileInfo(path).isExecutable());
    const QString dir = ProgramFiles::executableDir();
    EXPECT_FALSE(dir.endsWith(QLatin1Char('/')));
    EXPECT_EQ(dir + QStringLiteral("/test_platform"), path);
}

TEST(ProgramFiles, ResolveExactThenIgnoringAsciiCaseElseAsWritten) {
    hvtest::TempDir tmp;
    tmp.write("Hostvane.ini", "x");
    tmp.write("a.ini", "lower");
    tmp.write("A.ini", "upper");
    tmp.write("\u00C4.ini", "umlaut");
    const QString dir = tmp.path();

    EXPECT_EQ(ProgramFiles::resolve(dir, "Hostvane.ini"), dir + "/Hostvane.ini");
    EXPECT_EQ(ProgramFiles::resolve(dir, "hostvane.INI"), dir + "/Hostvane.ini");
    // An exact name wins over another entry that matches ignoring case.
    EXPECT_EQ(ProgramFiles::resolve(dir, "A.ini"), dir + "/A.ini");
    EXPECT_EQ(ProgramFiles::resolve(dir, "a.ini"), dir + "/a.ini");
    // Only ASCII letters are folded.
    EXPECT_EQ(ProgramFiles::resolve(dir, "\u00E4.ini"), dir + "/\u00E4.ini");
    // Nothing matches: the name as written, to be created so.
    EXPECT_EQ(ProgramFiles::resolve(dir, "New.ini"), dir + "/New.ini");
    EXPECT_EQ(ProgramFiles::resolve(dir + "/missing", "x.ini"), dir + "/missing/x.ini");
}

TEST(ProgramFiles, ResolvePathFollowsEveryComponent) {
    hvtest::TempDir tmp;
    tmp.write("skins/hostvane.skn", "x");
    const QString dir = tmp.path();
    EXPECT_EQ(ProgramFiles::resolvePath(dir, "Skins/HOSTVANE.skn"), dir + "/skins/hostvane.skn");
    EXPECT_EQ(ProgramFiles::resolvePath(dir, "SKINS/other.skn"), dir + "/skins/other.skn");
    EXPECT_EQ(ProgramFiles::resolvePath(dir, "help/x.chm"), dir + "/help/x.chm");
}

TEST(ProgramFiles, IniPathForReplacesTheExtension) {
    hvtest::TempDir tmp;
    tmp.write("Hostvane.ini", "x");
    const QString dir = tmp.path();
    EXPECT_EQ(ProgramFiles::iniPathFor(dir + "/hostvane"), dir + "/Hostvane.ini");
    EXPECT_EQ(ProgramFiles::iniPathFor(dir + "/hostvane.exe"), dir + "/Hostvane.ini");
    EXPECT_EQ(ProgramFiles::iniPathFor(dir + "/monitor"), dir + "/monitor.ini");
    EXPECT_EQ(ProgramFiles::iniPathFor(dir + "/host.vane.bin"), dir + "/host.vane.ini");
}

}  // namespace
