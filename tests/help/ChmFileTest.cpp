#include <gtest/gtest.h>

#include <QFile>

#include "TestSupport.h"
#include "helpcore/ChmFile.h"
#include "helpcore/ChmTables.h"
#include "helpcore/SiteMap.h"

namespace {

using namespace hv;

QString builtHelpFile() { return hvtest::buildDir() + QStringLiteral("/help/hostvane.chm"); }

QByteArray u32(quint32 v) {
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i) b[i] = char((v >> (8 * i)) & 0xff);
    return b;
}

QByteArray ivb(std::initializer_list<std::pair<quint32, quint32>> pairs, int sizeDelta = 0) {
    QByteArray out = u32(quint32(int(pairs.size()) * 8 + sizeDelta));
    for (const auto& [context, offset] : pairs) out += u32(context) + u32(offset);
    return out;
}

// The help file the build makes: every context the program asks for leads to its page.
TEST(BuiltHelpFile, MapsEveryContextToItsPage) {
    ChmFile file(builtHelpFile());
    ASSERT_TRUE(file.isOpen()) << file.error().toStdString();
    struct Case {
        quint32 context;
        const char* page;
        const char* title;
    } cases[] = {
        {1, "/index.htm", "<title>Hostvane Help</title>"},
        {2, "/traymenu.htm", "<title>The tray icon and its menu</title>"},
        {3, "/settings.htm", "<title>The settings dialog</title>"},
        {5, "/about.htm", "<title>The About window</title>"},
        {14, "/contact.htm", "<title>Reporting a problem</title>"},
        {20, "/history.htm", "<title>The history window</title>"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(file.pageForContext(c.context), QString::fromUtf8(c.page)) << c.context;
        const auto html = file.read(QString::fromUtf8(c.page));
        ASSERT_TRUE(html) << c.page;
        EXPECT_TRUE(html->contains(c.title)) << c.page;
    }
    EXPECT_EQ(file.contexts().size(), 6);
    EXPECT_TRUE(file.pageForContext(4).isEmpty());
}

TEST(BuiltHelpFile, ContentsIndexDefaultPageAndResources) {
    ChmFile file(builtHelpFile());
    ASSERT_TRUE(file.isOpen());
    EXPECT_EQ(file.system().title, QStringLiteral("Hostvane Help"));
    EXPECT_EQ(file.defaultPage(), QStringLiteral("/index.htm"));
    const auto toc = file.contents();
    ASSERT_GE(toc.size(), 9);
    EXPECT_EQ(toc.first().name, QStringLiteral("Introduction"));
    bool nested = false;
    for (const auto& e : toc) {
        if (e.depth == 1) nested = true;
        // Every entry leads to a page that is in the file.
        const QString page = ChmTables::objectPath(e.local.section(QLatin1Char('#'), 0, 0));
        EXPECT_TRUE(file.contains(page)) << e.local.toStdString();
    }
    EXPECT_TRUE(nested);
    bool monitor = false;
    for (const auto& e : file.index()) monitor |= e.name == QStringLiteral("monitor");
    EXPECT_TRUE(monitor);
    EXPECT_TRUE(file.read(QStringLiteral("/style.css")));
    const auto png = file.read(QStringLiteral("/vane.png"));
    ASSERT_TRUE(png);
    EXPECT_TRUE(png->startsWith("\x89PNG"));
}

TEST(ChmFile, UnreadableFilesGiveOneLineAndNoCrash) {
    hvtest::TempDir dir;
    QFile real(builtHelpFile());
    ASSERT_TRUE(real.open(QIODevice::ReadOnly));
    const QByteArray bytes = real.readAll();
    struct Case {
        QString path;
        const char* error;  // empty: may open, but must not crash
    } cases[] = {
        {dir.file("missing.chm"), "is missing"},
        {dir.write("text.chm", "just some text, not a help file\n"), "not a compiled help file"},
        {dir.write("empty.chm", ""), "not a compiled help file"},
        {dir.write("head.chm", bytes.left(600)), ""},
        {dir.write("half.chm", bytes.left(bytes.size() / 2)), ""},
    };
    for (const Case& c : cases) {
        ChmFile file(c.path);
        if (*c.error) {
            EXPECT_FALSE(file.isOpen()) << c.path.toStdString();
            EXPECT_TRUE(file.error().contains(QString::fromUtf8(c.error)))
                << file.error().toStdString();
            EXPECT_FALSE(file.read(QStringLiteral("/index.htm")));
        }
        // Whatever opened reads without crashing.
        for (const QString& o : file.objects()) (void)file.read(o);
        (void)file.contents();
        (void)file.defaultPage();
    }
}

TEST(ChmTables, ContextTable) {
    const QByteArray strings("\0/build/help-src/intro.htm\0settings.htm\0tail-without-nul", 56);
    // A normal table; the first pair for a number wins.
    auto t = ChmTables::contextTable(ivb({{1, 1}, {3, 27}, {1, 27}}), strings);
    ASSERT_EQ(t.size(), 2);
    EXPECT_EQ(t.value(1), QStringLiteral("/build/help-src/intro.htm"));
    EXPECT_EQ(t.value(3), QStringLiteral("settings.htm"));

    // Offsets past the strings, at the empty text, or into an unterminated tail.
    t = ChmTables::contextTable(ivb({{1, 9999}, {2, 0}, {3, 40}, {4, 0xffffffffu}}), strings);
    EXPECT_EQ(t.size(), 1);
    EXPECT_EQ(t.value(3), QStringLiteral("tail-without-nul"));

    // A byte count larger than the object, a half pair, nothing at all.
    EXPECT_EQ(ChmTables::contextTable(ivb({{5, 1}}, 800), strings).size(), 1);
    EXPECT_EQ(ChmTables::contextTable(ivb({{5, 1}}).left(10), strings).size(), 0);
    EXPECT_TRUE(ChmTables::contextTable({}, strings).isEmpty());
    EXPECT_TRUE(ChmTables::contextTable(ivb({{5, 1}}), {}).isEmpty());
}

TEST(ChmTables, ObjectForTarget) {
    const QStringList objects = {
        "/", "/index.htm", "/settings.htm", "/sub/", "/sub/page.htm", "/page.htm", "/#IVB"};
    struct Case {
        const char* target;
        const char* object;
    } cases[] = {
        {"/tmp/build/help-src/settings.htm", "/settings.htm"},  // chmcmd: absolute source path
        {"settings.htm", "/settings.htm"},
        {"C:\\proj\\help\\SETTINGS.HTM", "/settings.htm"},
        {"/x/sub/page.htm", "/sub/page.htm"},  // the longest tail wins
        {"/x/other/page.htm", "/page.htm"},
        {"/x/xsettings.htm", ""},  // a tail must be whole path components
        {"", ""},
        {"/", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChmTables::objectForTarget(QString::fromUtf8(c.target), objects),
                  QString::fromUtf8(c.object))
            << c.target;
}

TEST(ChmTables, System) {
    auto record = [](quint16 code, const QByteArray& data) {
        QByteArray r;
        r += char(code & 0xff);
        r += char(code >> 8);
        r += char(data.size() & 0xff);
        r += char(data.size() >> 8);
        return r + data;
    };
    QByteArray sys = u32(3) + record(0, QByteArray("toc.hhc", 8)) + record(9, "HHA") +
                     record(2, QByteArray("index.htm", 10)) + record(3, QByteArray("Title", 6));
    auto s = ChmTables::system(sys);
    EXPECT_EQ(s.contentsFile, QStringLiteral("toc.hhc"));
    EXPECT_EQ(s.defaultTopic, QStringLiteral("index.htm"));
    EXPECT_EQ(s.title, QStringLiteral("Title"));
    // A record whose length runs past the end: its text stops at the end.
    sys = u32(3) + record(1, QByteArray("index.hhk", 9)).left(9);
    sys[6] = char(0xff);
    EXPECT_EQ(ChmTables::system(sys).indexFile, QStringLiteral("index"));
    EXPECT_EQ(ChmTables::system(QByteArray(3, '\0')).title, QString());
}

TEST(SiteMap, NestedEntriesAndJunk) {
    const QByteArray hhc =
        "<ul><li><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"A &amp; B\">"
        "<param name=Local value='a.htm'></OBJECT><ul><li><object type=\"text/sitemap\">"
        "<param name=\"Name\" value=\"Inner\"><param name=\"Local\" value=\"a.htm#in\"></object>"
        "</ul><li><object type=\"application/x-other\"><param name=\"Name\" value=\"skip\">"
        "</object><li><object type=\"text/sitemap\"><param name=\"Local\" value=\"c.htm\"></object>"
        "</ul></ul></ul><object type=\"text/sitemap\"><param name=\"Name\"";
    const auto e = SiteMap::parse(hhc);
    ASSERT_EQ(e.size(), 3);
    EXPECT_EQ(e[0].name, QStringLiteral("A & B"));
    EXPECT_EQ(e[0].local, QStringLiteral("a.htm"));
    EXPECT_EQ(e[0].depth, 0);
    EXPECT_EQ(e[1].depth, 1);
    EXPECT_EQ(e[1].local, QStringLiteral("a.htm#in"));
    EXPECT_EQ(e[2].local, QStringLiteral("c.htm"));
    EXPECT_EQ(e[2].depth, 0);
    EXPECT_TRUE(SiteMap::parse(QByteArray("\xff\xfe<<>>", 6)).isEmpty());
}

}  // namespace
