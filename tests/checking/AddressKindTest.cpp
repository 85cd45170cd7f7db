#include <gtest/gtest.h>

#include <iterator>

#include "checking/AddressKind.h"

namespace {

using hv::AddressFamily;
using hv::ProbeKind;

constexpr AddressFamily V4 = AddressFamily::IPv4;
constexpr AddressFamily V6 = AddressFamily::IPv6;

struct Case {
    const char* address;
    ProbeKind kind;
    const char* host;
    AddressFamily family;
    int port;  // connects only; echoes have no port
};

// Every form a host's address may take, as the pass sees it.
TEST(ClassifyAddress, KindHostFamilyAndPortFromTheAddressText) {
    const Case cases[] = {
        // http: as ever, in any mix of capitals, with or without the slashes.
        {"HTTP://Intranet", ProbeKind::Tcp, "intranet", V4, 80},
        {"http:intranet", ProbeKind::Tcp, "intranet", V4, 80},
        {"http:\\\\x", ProbeKind::Tcp, "x", V4, 80},
        {"  http://Web  ", ProbeKind::Tcp, "web", V4, 80},
        // A port and a path: the path is not needed for a plain connect.
        {"hTtP://InTrAnEt/Path:8080", ProbeKind::Tcp, "intranet", V4, 80},
        {"http://server:8080/", ProbeKind::Tcp, "server", V4, 8080},
        {"http://10.0.0.7:0081?q#f", ProbeKind::Tcp, "10.0.0.7", V4, 81},
        {"http://[2001:DB8:0::5]:8443/a", ProbeKind::Tcp, "2001:db8::5", V6, 8443},
        {"http://[::1]", ProbeKind::Tcp, "::1", V6, 80},
        {"https://x", ProbeKind::Tcp, "x", V4, 443},
        {"https://mail.example:993/inbox", ProbeKind::Tcp, "mail.example", V4, 993},
        {"https://[fe80::1%lo]", ProbeKind::Tcp, "fe80::1%lo", V6, 443},
        {"tcp://db:5432", ProbeKind::Tcp, "db", V4, 5432},
        {"tcp://db:0000000000000000005432", ProbeKind::Tcp, "db", V4, 5432},
        {"tcp://127.0.0.1:65535", ProbeKind::Tcp, "127.0.0.1", V4, 65535},
        {"tcp://[::1]:22", ProbeKind::Tcp, "::1", V6, 22},
        // Echoes: names and dotted addresses as ever...
        {"\\\\Files", ProbeKind::Icmp, "files", V4, 0},
        {"//Files", ProbeKind::Icmp, "files", V4, 0},
        {"/Files", ProbeKind::Icmp, "/files", V4, 0},
        {"10.0.0.5", ProbeKind::Icmp, "10.0.0.5", V4, 0},
        {" \t\r\n Mail.Example \x01\x1f ", ProbeKind::Icmp, "mail.example", V4, 0},
        {"In ner", ProbeKind::Icmp, "in ner", V4, 0},
        // Only A-Z are lowered; the rest travels as UTF-8.
        {"\\\\ÄRGER-Ö", ProbeKind::Icmp, "Ärger-Ö", V4, 0},
        // ...and IPv6 addresses, bare, in brackets, after the computer prefix, with a zone.
        {"::1", ProbeKind::Icmp, "::1", V6, 0},
        {"2001:DB8:0:0::5", ProbeKind::Icmp, "2001:db8::5", V6, 0},
        {"[2001:db8::5]", ProbeKind::Icmp, "2001:db8::5", V6, 0},
        {"\\\\::1", ProbeKind::Icmp, "::1", V6, 0},
        {"fe80::1%lo", ProbeKind::Icmp, "fe80::1%lo", V6, 0},
        {"::ffff:10.0.0.1", ProbeKind::Icmp, "::ffff:10.0.0.1", V6, 0},
        {"", ProbeKind::Skip, "", V4, 0},
        {" \t\x01 ", ProbeKind::Skip, "", V4, 0},
    };
    for (const Case& c : cases) {
        const hv::ProbeTarget t = hv::classifyAddress(QString::fromUtf8(c.address));
        EXPECT_EQ(t.kind, c.kind) << c.address;
        EXPECT_EQ(t.host, c.host) << c.address;
        EXPECT_EQ(t.family, c.family) << c.address;
        EXPECT_EQ(t.port, c.port) << c.address;
        EXPECT_EQ(t.error, "") << c.address;
    }
}

// A malformed address is a checked failure that says what is wrong; nothing of it is kept.
TEST(ClassifyAddress, MalformedAddressesNameTheirFault) {
    const struct {
        const char* address;
        ProbeKind kind;
        const char* error;
    } cases[] = {
        {"tcp://host", ProbeKind::Tcp, "no port"},
        {"tcp://host:", ProbeKind::Tcp, "no port"},
        {"tcp://[::1]", ProbeKind::Tcp, "no port"},
        {"tcp://host:0", ProbeKind::Tcp, "port out of range"},
        {"tcp://host:70000", ProbeKind::Tcp, "port out of range"},
        {"http://host:65536", ProbeKind::Tcp, "port out of range"},
        {"tcp://host:99999999999999999999", ProbeKind::Tcp, "port out of range"},
        {"tcp://host:000000000000000000000", ProbeKind::Tcp, "port out of range"},
        {"tcp://host:22a", ProbeKind::Tcp, "port is not a number"},
        {"tcp://host:-1", ProbeKind::Tcp, "port is not a number"},
        {"https://host:ssh", ProbeKind::Tcp, "port is not a number"},
        {"http://[::1", ProbeKind::Tcp, "unclosed bracket"},
        {"http://[::1/]", ProbeKind::Tcp, "unclosed bracket"},
        {"[::1", ProbeKind::Icmp, "unclosed bracket"},
        {"[]", ProbeKind::Icmp, "empty brackets"},
        {"tcp://[]:22", ProbeKind::Tcp, "empty brackets"},
        {"[::1]x", ProbeKind::Icmp, "text after the closing bracket"},
        {"tcp://[::1]22", ProbeKind::Tcp, "text after the closing bracket"},
        {"::::1", ProbeKind::Icmp, "not an IPv6 address"},
        {"[10.0.0.1]", ProbeKind::Icmp, "not an IPv6 address"},
        {"2001:db8::g", ProbeKind::Icmp, "not an IPv6 address"},
        {"::1\x7f", ProbeKind::Icmp, "not an IPv6 address"},
        {"fe80::1%no-such-if0", ProbeKind::Icmp, "unknown zone"},
        {"fe80::1%", ProbeKind::Icmp, "unknown zone"},
        {"fe80::1%LO", ProbeKind::Icmp, "unknown zone"},  // interface names keep their case
        {"fe80::1", ProbeKind::Icmp, "a link-local address needs its zone"},
        {"tcp://::1:22", ProbeKind::Tcp, "an IPv6 address needs brackets"},
        {"TCP://host:22", ProbeKind::Tcp, "scheme in capitals"},
        {"Https://host", ProbeKind::Tcp, "scheme in capitals"},
        {"ftp://files", ProbeKind::Tcp, "unknown scheme"},
        {"tcp://:22", ProbeKind::Tcp, "no host"},
        {"http:", ProbeKind::Tcp, "no host"},
        {"http:/x", ProbeKind::Tcp, "no host"},
        {"\\\\", ProbeKind::Icmp, "no host"},
        {"server:8080", ProbeKind::Icmp, "a port needs tcp://, http:// or https://"},
    };
    for (const auto& c : cases) {
        const hv::ProbeTarget t = hv::classifyAddress(QString::fromUtf8(c.address));
        EXPECT_EQ(t.kind, c.kind) << c.address;
        EXPECT_EQ(t.error.rfind(c.error, 0), 0u) << c.address << " gave '" << t.error << "'";
        EXPECT_EQ(t.host, "") << c.address;
        EXPECT_EQ(t.port, 0) << c.address;
        EXPECT_EQ(hv::addressOfTarget(t), QString()) << c.address;
    }
    // A NUL inside the text ends the address for the C library, not for us.
    const hv::ProbeTarget nul = hv::classifyAddress(QString::fromUtf16(u"::1\0junk", 8));
    EXPECT_EQ(nul.error, "not an IPv6 address");
}

// Names take the family [CheckParams] IpVersion gives them; literal addresses keep their own.
TEST(ClassifyAddress, NamesTakeTheAskedFamilyLiteralsTheirOwn) {
    const struct {
        const char* address;
        AddressFamily names;
        AddressFamily family;
    } cases[] = {
        {"mail.example", AddressFamily::IPv6, V6},
        {"mail.example", AddressFamily::Any, AddressFamily::Any},
        {"https://mail.example", AddressFamily::IPv6, V6},
        {"localhost", AddressFamily::Any, AddressFamily::Any},
        {"10.0.0.1", AddressFamily::IPv6, V4},
        {"tcp://10.0.0.1:22", AddressFamily::Any, V4},
        {"::1", AddressFamily::IPv4, V6},
        {"tcp://[::1]:22", AddressFamily::IPv4, V6},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(hv::classifyAddress(QString::fromUtf8(c.address), c.names).family, c.family)
            << c.address;
    }
}

// [CheckParams] IpVersion → the family names get; a value that means nothing keeps IPv4.
TEST(ClassifyAddress, IpVersionGivesTheFamilyOfNames) {
    const struct {
        int ipVersion;
        AddressFamily family;
    } cases[] = {{4, V4}, {6, V6}, {0, AddressFamily::Any}, {5, V4}, {1, V4}, {-1, V4}};
    for (const auto& c : cases) EXPECT_EQ(hv::namesFamilyOf(c.ipVersion), c.family) << c.ipVersion;
}

// The printed form of a target parses back to the same target.
TEST(ClassifyAddress, PrintedTargetsParseBackToTheSameTarget) {
    const char* addresses[] = {
        "http://server:8080/",
        "https://[2001:db8::5]",
        "tcp://db:5432",
        "http:intranet",
        "\\\\Files",
        "////files",
        "\\\\ x",
        "/files",
        "10.0.0.5",
        "[2001:db8::5]",
        "fe80::1%lo",
        "tcp:// a :1",
        "http://a%1b%2/",
    };
    for (const AddressFamily names : {V4, V6, AddressFamily::Any}) {
        for (const char* a : addresses) {
            const hv::ProbeTarget t = hv::classifyAddress(QString::fromUtf8(a), names);
            ASSERT_EQ(t.error, "") << a;
            const QString printed = hv::addressOfTarget(t);
            EXPECT_EQ(hv::classifyAddress(printed, names), t)
                << a << " printed as " << printed.toStdString();
        }
    }
}

// The kinds' names are what --once prints and scripts read.
TEST(ProbeKinds, EveryKindHasOneRowWithItsName) {
    const struct {
        ProbeKind kind;
        const char* name;
    } kinds[] = {{ProbeKind::Skip, "skip"}, {ProbeKind::Icmp, "icmp"}, {ProbeKind::Tcp, "tcp"}};
    for (const auto& k : kinds) {
        int rows = 0;
        for (const hv::ProbeKindRow& row : hv::probeKindRows()) rows += row.kind == k.kind;
        EXPECT_EQ(rows, 1) << k.name;
        EXPECT_STREQ(hv::probeKindRow(k.kind).name, k.name);
    }
    EXPECT_EQ(hv::probeKindRows().size(), std::size(kinds));
}

}  // namespace
