#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QThread>
#include <cstdio>
#include <functional>
#include <string>

#include "CsvReader.h"
#include "NetNamespace.h"
#include "NetTestSupport.h"
#include "TestSupport.h"
#include "once/CheckOnce.h"
#include "platform/IniFile.h"

using namespace hv;
using hvtest::loopbackAddress;

namespace {

struct Outcome {
    std::optional<int> status;
    std::string out;
    std::string err;
};

std::string readAll(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string text;
    char buf[512];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    std::fclose(f);
    return text;
}

Outcome commandLine(const QStringList& args) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    Outcome r;
    r.status = runCommandLine(args, out, err);
    r.out = readAll(out);
    r.err = readAll(err);
    return r;
}

int listenOn80(const std::string& address) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(80);
    ::inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0 ||
        ::listen(fd, 16) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// A program folder: the executable's name, its settings file and the English language.
QString programFolder(const hvtest::TempDir& dir, const QByteArray& hostList) {
    QFile lng(hvtest::sourceDir() + "/dist/Languages/English.lng");
    EXPECT_TRUE(lng.open(QIODevice::ReadOnly));
    dir.write("Languages/English.lng", lng.readAll());
    dir.write("Hostvane.ini", "[HostList]\r\n" + hostList + "[General]\r\nLanguage=English\r\n");
    return dir.file("hostvane");
}

}  // namespace

TEST(CommandLine, TerminalModesAndUsageErrors) {
    const Outcome version = commandLine({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "Hostvane 1.1.0\n");

    const Outcome help = commandLine({"--help"});
    EXPECT_EQ(help.status, 0);
    // The options, then which settings file this copy uses.
    EXPECT_EQ(help.out.rfind(commandLineHelp().toStdString() + "\nSettings file: /", 0), 0u)
        << help.out;
    EXPECT_NE(help.out.find("Hostvane.ini\n"), std::string::npos);
    EXPECT_NE(help.out.find("--once"), std::string::npos);

    // The tray program: no option, or only Qt's own.
    for (const QStringList& tray :
         {QStringList{}, QStringList{"-platform", "offscreen"}, QStringList{"-style=fusion"}}) {
        const Outcome r = commandLine(tray);
        EXPECT_FALSE(r.status.has_value()) << tray.join(' ').toStdString();
        EXPECT_TRUE(r.out.empty() && r.err.empty());
    }
    for (const QStringList& bad : {QStringList{"--bogus"}, QStringList{"stray"},
                                   QStringList{"--once", "--version"}, QStringList{"-x"}}) {
        const Outcome r = commandLine(bad);
        EXPECT_EQ(r.status, 2) << bad.join(' ').toStdString();
        EXPECT_TRUE(r.out.empty());
        EXPECT_NE(r.err.find("Usage: hostvane"), std::string::npos);
    }
}

TEST(CommandLine, FormatIsCheckedBeforeAnyCheck) {
    struct Case {
        QStringList args;
        const char* message;
    };
    const Case cases[] = {
        {{"--once", "--format=xml"}, "unknown output format (use tsv, csv or json): --format=xml"},
        {{"--once", "--format=CSV"}, "unknown output format"},
        {{"--once", "--format="}, "unknown output format"},
        {{"--format", "json", "--once", "--format", "yaml"}, "--format=yaml"},
        {{"--format=csv"}, "--format goes with --once only"},
        {{"--version", "--format=json"}, "--format goes with --once only"},
        {{"--once", "--format"}, "unknown or conflicting option: --format"},
    };
    for (const Case& c : cases) {
        const Outcome r = commandLine(c.args);
        EXPECT_EQ(r.status, 2) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.out.empty()) << "nothing was checked";
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("Usage: hostvane"), std::string::npos);
    }
    for (const char* name : {"tsv", "csv", "json"})
        EXPECT_TRUE(onceFormatFromName(QString::fromLatin1(name)).has_value()) << name;
}

// One pass over an answering ICMP host, an answering and a refused TCP host and a blank one,
// printed in each format: the same results, and tsv exactly as without --format.
TEST(CheckOnce, FormatsCarryTheSameResults) {
    if (!hvtest::isRoot()) GTEST_SKIP() << "skipped: raw sockets and port 80 need root";
    const std::string web = loopbackAddress(11);
    const int server = listenOn80(web);
    ASSERT_GE(server, 0);
    const std::string refused = loopbackAddress(12);
    hvtest::TempDir dir;
    const QString exe = programFolder(dir,
                                      "Me, \"here\"=127.0.0.1\r\n"
                                      "Web=http://" +
                                          QByteArray::fromStdString(web) +
                                          "\r\n"
                                          "Refused=http://" +
                                          QByteArray::fromStdString(refused) +
                                          "\r\n"
                                          "Blank=   \r\n");
    QByteArray tsv, plain, csv, json;
    EXPECT_EQ(runCheckOnce(exe, &plain), 1);
    EXPECT_EQ(runCheckOnce(exe, &tsv, OnceFormat::Tsv), 1);
    EXPECT_EQ(runCheckOnce(exe, &csv, OnceFormat::Csv), 1);
    EXPECT_EQ(runCheckOnce(exe, &json, OnceFormat::Json), 1);
    ::close(server);

    // tsv: the lines without --format, the milliseconds aside.
    const QRegularExpression ms(QStringLiteral("\\t\\d+\n"));
    EXPECT_EQ(QString::fromUtf8(tsv).replace(ms, "\tN\n"),
              QString::fromUtf8(plain).replace(ms, "\tN\n"));
    EXPECT_TRUE(tsv.startsWith("up\tMe, \"here\"\t127.0.0.1\ticmp\t")) << tsv.toStdString();

    const QString refusedError = QStringLiteral("Socket Error # 10061 Connection refused.");
    const auto records = hvtest::readCsv(QString::fromUtf8(csv));
    ASSERT_TRUE(records.has_value()) << csv.toStdString();
    ASSERT_EQ(records->size(), 4) << csv.toStdString();  // the blank host has no line
    EXPECT_EQ(records->at(0), QStringList({"state", "title", "address", "kind", "round_trip_ms",
                                           "elapsed_ms", "error", "ip", "port"}));
    const QString webAddress = "http://" + QString::fromStdString(web);
    const QString refusedAddress = "http://" + QString::fromStdString(refused);
    struct Row {
        QString state, title, address, kind;
        bool roundTrip;
        QString error;
        QString ip;
        int port;  // 0: none
    };
    const Row rows[] = {
        {"up", "Me, \"here\"", "127.0.0.1", "icmp", true, "", "127.0.0.1", 0},
        {"up", "Web", webAddress, "tcp", true, "", QString::fromStdString(web), 80},
        {"down", "Refused", refusedAddress, "tcp", false, refusedError,
         QString::fromStdString(refused), 80},
    };
    const QJsonDocument doc = QJsonDocument::fromJson(json);
    ASSERT_TRUE(doc.isObject()) << json.toStdString();
    const QJsonObject top = doc.object();
    EXPECT_EQ(top.value("up").toInt(-1), 2);
    EXPECT_EQ(top.value("down").toInt(-1), 1);
    EXPECT_EQ(top.value("skipped").toInt(-1), 0);
    const QJsonArray hosts = top.value("hosts").toArray();
    ASSERT_EQ(hosts.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const Row& want = rows[i];
        const QStringList& got = records->at(i + 1);
        ASSERT_EQ(got.size(), 9);
        EXPECT_EQ(got.mid(0, 4), QStringList({want.state, want.title, want.address, want.kind}));
        EXPECT_EQ(got[4].isEmpty(), !want.roundTrip) << got[4].toStdString();
        bool number = false;
        const int elapsed = got[5].toInt(&number);
        EXPECT_TRUE(number && elapsed >= 0) << got[5].toStdString();
        if (want.roundTrip) {
            // ms with at most 3 decimals and a dot, whatever the locale.
            static const QRegularExpression ms(QStringLiteral("^[0-9]+(\\.[0-9]{1,3})?$"));
            EXPECT_TRUE(ms.match(got[4]).hasMatch()) << got[4].toStdString();
            EXPECT_LE(got[4].toDouble(), elapsed + 1);
            // Timed in µs: even a loopback answer takes more than nothing.
            EXPECT_GT(got[4].toDouble(), 0.0) << got[4].toStdString();
        }
        EXPECT_EQ(got[6], want.error);
        EXPECT_EQ(got[7], want.ip);
        EXPECT_EQ(got[8], want.port ? QString::number(want.port) : QString());

        const QJsonObject h = hosts[i].toObject();
        EXPECT_EQ(h.value("title").toString(), want.title);
        EXPECT_EQ(h.value("address").toString(), want.address);
        EXPECT_EQ(h.value("kind").toString(), want.kind);
        EXPECT_EQ(h.value("state").toString(), want.state);
        EXPECT_EQ(h.value("round_trip_ms").isDouble(), want.roundTrip);
        EXPECT_EQ(h.value("round_trip_ms").isNull(), !want.roundTrip);
        if (want.roundTrip) {
            EXPECT_GT(h.value("round_trip_ms").toDouble(), 0.0);
        }
        EXPECT_TRUE(h.value("elapsed_ms").isDouble());
        if (want.error.isEmpty()) {
            EXPECT_TRUE(h.value("error").isNull());
        } else {
            EXPECT_EQ(h.value("error").toString(), want.error);
        }
        EXPECT_EQ(h.value("ip").toString(), want.ip);
        EXPECT_EQ(h.value("port").toInt(0), want.port);
        EXPECT_EQ(h.value("port").isNull(), want.port == 0);
    }
}

// A socket on address at a port the system picks; listening or only holding the port.
struct PortHolder {
    int fd = -1;
    int port = 0;
    PortHolder(const char* address, bool listening) {
        const bool v6 = std::string(address).find(':') != std::string::npos;
        sockaddr_storage ss{};
        socklen_t len = v6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
        ss.ss_family = v6 ? AF_INET6 : AF_INET;
        ::inet_pton(ss.ss_family, address,
                    v6 ? static_cast<void*>(&reinterpret_cast<sockaddr_in6&>(ss).sin6_addr)
                       : static_cast<void*>(&reinterpret_cast<sockaddr_in&>(ss).sin_addr));
        fd = ::socket(ss.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&ss), len) != 0 ||
            (listening && ::listen(fd, 16) != 0) ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&ss), &len) != 0)
            return;
        port = ntohs(v6 ? reinterpret_cast<sockaddr_in6&>(ss).sin6_port
                        : reinterpret_cast<sockaddr_in&>(ss).sin_port);
    }
    ~PortHolder() {
        if (fd >= 0) ::close(fd);
    }
};

// 64 echo sockets of each family at once, all to loopback: each client finds its own answers
// among the others' (identifiers of its own on raw sockets, the kernel's on datagram ones).
TEST(CheckOnce, ParallelEchoesOfBothFamiliesEachFindTheirAnswers) {
    if (!hvtest::canEcho()) GTEST_SKIP() << "skipped: no ICMP socket for this user";
    QByteArray list;
    for (int i = 0; i < 64; ++i) {
        list += "Six" + QByteArray::number(i) + "=::1\r\n";
        list += "Four" + QByteArray::number(i) + "=127.0.0.1\r\n";
    }
    hvtest::TempDir dir;
    const QString exe = programFolder(dir, list + "[CheckParams]\r\nParallelChecks=64\r\n");
    QByteArray csv;
    EXPECT_EQ(runCheckOnce(exe, &csv, OnceFormat::Csv), 0) << csv.toStdString();
    const auto records = hvtest::readCsv(QString::fromUtf8(csv));
    ASSERT_TRUE(records.has_value());
    ASSERT_EQ(records->size(), 129);
    for (qsizetype i = 1; i < records->size(); ++i) {
        const QStringList& r = records->at(i);
        EXPECT_EQ(r[0], "up") << r[1].toStdString() << ": " << r[6].toStdString();
        EXPECT_EQ(r[7], r[1].startsWith("Six") ? "::1" : "127.0.0.1") << r[1].toStdString();
    }
}

// IPv4 and IPv6 echoes, ports on both families and malformed addresses in one parallel pass:
// the output keeps the list order, with the address and port checked and the parser's text.
TEST(CheckOnce, MixedFamiliesAndPortsComeOutInListOrder) {
    if (!hvtest::canEcho()) GTEST_SKIP() << "skipped: no ICMP socket for this user";
    PortHolder v4("127.0.0.1", true), v6("::1", true), closed6("::1", false);
    if (v6.port == 0) GTEST_SKIP() << "skipped: no ::1 on this machine";
    ASSERT_NE(v4.port, 0);
    const QByteArray p4 = QByteArray::number(v4.port);
    const QByteArray p6 = QByteArray::number(v6.port);
    const QByteArray pc = QByteArray::number(closed6.port);
    hvtest::TempDir dir;
    const QString exe = programFolder(dir,
                                      "NoPort=tcp://localhost\r\n"
                                      "V6=::1\r\n"
                                      "Port6=http://[::1]:" +
                                          p6 +
                                          "/status\r\n"
                                          "V4=127.0.0.1\r\n"
                                          "Bracket=http://[::1\r\n"
                                          "Closed6=tcp://[::1]:" +
                                          pc +
                                          "\r\n"
                                          "Port4=tcp://127.0.0.1:" +
                                          p4 +
                                          "\r\n"
                                          "Bare6=[::1]\r\n"
                                          "[CheckParams]\r\nParallelChecks=8\r\n");
    QByteArray csv;
    EXPECT_EQ(runCheckOnce(exe, &csv, OnceFormat::Csv), 1);
    const auto records = hvtest::readCsv(QString::fromUtf8(csv));
    ASSERT_TRUE(records.has_value()) << csv.toStdString();
    const struct {
        const char* title;
        const char* state;
        const char* kind;
        const char* error;
        const char* ip;
        QByteArray port;
    } want[] = {
        {"NoPort", "down", "tcp", "no port", "", ""},
        {"V6", "up", "icmp", "", "::1", ""},
        {"Port6", "up", "tcp", "", "::1", p6},
        {"V4", "up", "icmp", "", "127.0.0.1", ""},
        {"Bracket", "down", "tcp", "unclosed bracket", "", ""},
        {"Closed6", "down", "tcp", "Socket Error # 10061 Connection refused.", "::1", pc},
        {"Port4", "up", "tcp", "", "127.0.0.1", p4},
        {"Bare6", "up", "icmp", "", "::1", ""},
    };
    ASSERT_EQ(records->size(), static_cast<qsizetype>(std::size(want)) + 1) << csv.toStdString();
    for (std::size_t i = 0; i < std::size(want); ++i) {
        const QStringList& got = records->at(static_cast<qsizetype>(i) + 1);
        ASSERT_EQ(got.size(), 9);
        SCOPED_TRACE(want[i].title);
        EXPECT_EQ(got[1], want[i].title);
        EXPECT_EQ(got[0], want[i].state);
        EXPECT_EQ(got[3], want[i].kind);
        EXPECT_EQ(got[6], want[i].error);
        EXPECT_EQ(got[7], want[i].ip);
        EXPECT_EQ(got[8], QString::fromLatin1(want[i].port));
    }
}

TEST(CheckOnce, OneLinePerHostThenTheReport) {
    if (!hvtest::isRoot()) GTEST_SKIP() << "skipped: raw sockets and port 80 need root";
    const std::string web = loopbackAddress(7);
    const int server = listenOn80(web);
    ASSERT_GE(server, 0);
    const std::string closed = loopbackAddress(8);
    hvtest::TempDir dir;
    const QString exe = programFolder(dir,
                                      "This computer=127.0.0.1\r\n"
                                      "Web=http://" +
                                          QByteArray::fromStdString(web) +
                                          "\r\n"
                                          "Shut=HTTP://" +
                                          QByteArray::fromStdString(closed) +
                                          "\r\n"
                                          "Blank=   \r\n");

    QByteArray out;
    EXPECT_EQ(runCheckOnce(exe, &out), 1);
    ::close(server);

    const QString text = QString::fromUtf8(out);
    EXPECT_FALSE(text.contains('\r'));
    const QStringList lines = text.split('\n');
    ASSERT_GE(lines.size(), 8) << text.toStdString();
    const QString n = QStringLiteral("\\t\\d+$");
    EXPECT_TRUE(QRegularExpression("^up\\tThis computer\\t127\\.0\\.0\\.1\\ticmp" + n)
                    .match(lines[0])
                    .hasMatch())
        << lines[0].toStdString();
    EXPECT_TRUE(QRegularExpression("^up\\tWeb\\thttp://" +
                                   QRegularExpression::escape(QString::fromStdString(web)) +
                                   "\\ttcp" + n)
                    .match(lines[1])
                    .hasMatch())
        << lines[1].toStdString();
    EXPECT_TRUE(QRegularExpression("^down\\tShut\\tHTTP://" +
                                   QRegularExpression::escape(QString::fromStdString(closed)) +
                                   "\\ttcp" + n)
                    .match(lines[2])
                    .hasMatch())
        << lines[2].toStdString();
    // A host without an address is no host of the list; the report follows an empty line.
    EXPECT_EQ(lines.mid(3).join('\n'), "\nAppeared hosts:\n  This computer\n  Web\n");
}

TEST(CheckOnce, AllUpIsStatusZeroAndEmptyListPrintsNothingButTheBreak) {
    if (!hvtest::isRoot()) GTEST_SKIP() << "skipped: raw sockets need root";
    hvtest::TempDir dir;
    QByteArray out;
    EXPECT_EQ(runCheckOnce(programFolder(dir, "Me=localhost\r\n"), &out), 0);
    EXPECT_TRUE(out.startsWith("up\tMe\tlocalhost\ticmp\t")) << out.toStdString();
    EXPECT_TRUE(out.endsWith("\n\nAppeared hosts:\n  Me\n")) << out.toStdString();

    hvtest::TempDir empty;
    out.clear();
    EXPECT_EQ(runCheckOnce(programFolder(empty, ""), &out), 0);
    EXPECT_EQ(out, "\n");
}

// A settings file that is there but cannot be read checks nothing: a script must not take
// that for "every host is up". A missing one checks nothing as before, but says which file it
// looked for.
TEST(CheckOnce, AnUnreadableSettingsFileIsStatusTwoAndAMissingOneIsTold) {
    struct Case {
        const char* what;
        std::function<void(const hvtest::TempDir&)> spoil;
        int status;
        const char* out;
        const char* err;  // after "hostvane: ", before the path
        const char* errEnd;
        bool needsNonRoot;
    };
    const Case cases[] = {
        {"a folder in its place",
         [](const hvtest::TempDir& d) {
             QFile::remove(d.file("Hostvane.ini"));
             QDir(d.path()).mkdir("Hostvane.ini");
         },
         2, "", "cannot read the settings file ", ": Is a directory\n", false},
        {"no permission",
         [](const hvtest::TempDir& d) {
             ::chmod(QFile::encodeName(d.file("Hostvane.ini")).constData(), 0);
         },
         2, "", "cannot read the settings file ", ": Permission denied\n", true},
        {"missing", [](const hvtest::TempDir& d) { QFile::remove(d.file("Hostvane.ini")); }, 0,
         "\n", "no settings file ", ": no hosts to check until the settings are saved\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsNonRoot && hvtest::isRoot()) {
            std::printf("(skipped as root: %s)\n", c.what);
            continue;
        }
        hvtest::TempDir dir;
        const QString exe = programFolder(dir, "Me=127.0.0.1\r\n");
        c.spoil(dir);
        QByteArray out;
        testing::internal::CaptureStderr();
        const int status = runCheckOnce(exe, &out);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(out.toStdString(), c.out);
        EXPECT_EQ(err, std::string("hostvane: ") + c.err + dir.file("Hostvane.ini").toStdString() +
                           c.errEnd);
        ::chmod(QFile::encodeName(dir.file("Hostvane.ini")).constData(), 0644);
    }
    if (hvtest::isRoot()) GTEST_SKIP() << "the permission case needs a user that is not root";
}

// Titles the file holds twice but for letter case: the later one is not checked at the first
// one's address, and stderr names both.
TEST(CheckOnce, ARepeatedTitleIsToldAndNotCheckedAtTheWrongAddress) {
    hvtest::TempDir dir;
    const QString exe = programFolder(dir, "Loop two=127.0.0.2\r\nloop two=127.0.0.4\r\n");
    QByteArray out;
    testing::internal::CaptureStderr();
    runCheckOnce(exe, &out);
    const std::string err = testing::internal::GetCapturedStderr();
    // One host, at its own address, whether or not this user may send echoes.
    const QList<QByteArray> rows = out.left(out.indexOf("\n\n")).split('\n');
    ASSERT_EQ(rows.size(), 1) << out.toStdString();
    EXPECT_EQ(rows[0].split('\t').mid(1, 2), QList<QByteArray>({"Loop two", "127.0.0.2"}));
    EXPECT_FALSE(out.contains("127.0.0.4"));
    EXPECT_NE(err.find("\"loop two\" is the title \"Loop two\" again"), std::string::npos) << err;
}

// The settings' passes in a row before a change is reported do not hold back the one pass's
// report.
TEST(CheckOnce, TheReportIsThatOfTheOnePassWhateverTheSettingsWait) {
    if (!hvtest::isRoot()) GTEST_SKIP() << "skipped: raw sockets need root";
    hvtest::TempDir dir;
    QByteArray out;
    const QString exe =
        programFolder(dir, "Me=localhost\r\n[CheckParams]\r\nLostAfter=5\r\nAppearedAfter=5\r\n");
    EXPECT_EQ(runCheckOnce(exe, &out), 0);
    EXPECT_TRUE(out.startsWith("up\tMe\tlocalhost\ticmp\t")) << out.toStdString();
    EXPECT_TRUE(out.endsWith("\n\nAppeared hosts:\n  Me\n")) << out.toStdString();
    EXPECT_EQ(out.count('\n'), 4) << out.toStdString();
}

// One parallel pass in a namespace of the test's own: answering hosts (the linked namespace,
// this namespace's loopback, a listener on port 80) between silent ones (permanent neighbour
// entries to MACs nobody owns), several echoing the same address at once. Each host must get
// its own result: no probe may take another's reply.
TEST(CheckOnce, ParallelPassGivesSilentAndAnsweringHostsEachTheirOwnResult) {
    const QString why = hvtest::NetNamespace::unavailableReason();
    if (!why.isEmpty()) GTEST_SKIP() << "skipped: " << why.toStdString();
    hvtest::NetNamespace a("pa");
    hvtest::NetNamespace b("pb");
    ASSERT_TRUE(a.ok() && b.ok());
    ASSERT_TRUE(hvtest::NetNamespace::link(a, b));
    ASSERT_TRUE(a.ip({"link", "set", "lo", "up"}));
    const QString dev = QString::fromStdString(a.name());
    for (int i = 10; i <= 13; ++i) {
        ASSERT_TRUE(a.ip({"neigh", "replace", QStringLiteral("198.51.100.%1").arg(i), "lladdr",
                          QStringLiteral("02:00:00:00:00:%1").arg(i, 2, 16, QLatin1Char('0')),
                          "dev", dev, "nud", "permanent"}));
    }
    int server = -1;
    b.run([&] { server = listenOn80("198.51.100.2"); });
    ASSERT_GE(server, 0);

    hvtest::TempDir dir;
    const QString exe = programFolder(dir,
                                      "S1=198.51.100.10\r\nB=198.51.100.2\r\nS2=198.51.100.11\r\n"
                                      "L=127.0.0.1\r\nS3=198.51.100.12\r\nW=http://198.51.100.2\r\n"
                                      "SW=http://198.51.100.13\r\nB2=198.51.100.2\r\n"
                                      "L2=127.0.0.2\r\n");
    IniFile ini(dir.file("Hostvane.ini"));
    ini.writeInteger("CheckParams", "ParallelChecks", 8);
    ini.save();

    // On a thread of Qt's (its event loop serves the hand-overs) that has joined namespace a;
    // the checking thread and its workers start from it and live there too.
    QByteArray out;
    int status = -1;
    std::string failure;
    QThread* pass = QThread::create([&] {
        const int fd = ::open(("/run/netns/" + a.name()).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || ::setns(fd, CLONE_NEWNET) != 0) {
            failure = "cannot join " + a.name();
        } else {
            status = runCheckOnce(exe, &out);
        }
        if (fd >= 0) ::close(fd);
    });
    pass->start();
    ASSERT_TRUE(pass->wait(60000));
    delete pass;
    ASSERT_TRUE(failure.empty()) << failure;
    ::close(server);
    EXPECT_EQ(status, 1);

    QStringList states;
    const QStringList lines = QString::fromUtf8(out).split('\n');
    for (const QString& line : lines) {
        if (line.contains('\t')) states << line.section('\t', 0, 1);
    }
    EXPECT_EQ(states, QStringList({"down\tS1", "up\tB", "down\tS2", "up\tL", "down\tS3", "up\tW",
                                   "down\tSW", "up\tB2", "up\tL2"}))
        << out.toStdString();
    EXPECT_TRUE(out.endsWith("\n\nAppeared hosts:\n  B\n  L\n  W\n  B2\n  L2\n"))
        << out.toStdString();
}
