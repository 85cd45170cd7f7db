#include <gtest/gtest.h>

#include <iterator>

#include "checking/AddressKind.h"

namespace {

using hv::ProbeKind;

struct Case {
    const char* address;
    ProbeKind kind;
    const char* host;
    int port;  // the http: form connects to port 80; the other kinds have no port
};

TEST(ClassifyAddress, KindAndHostFromTheAddressText) {
    const Case cases[] = {
        {"HTTP://Intranet", ProbeKind::Tcp, "intranet", 80},
        {"hTtP://InTrAnEt/Path:8080", ProbeKind::Tcp, "intranet/path:8080", 80},
        {"http:intranet", ProbeKind::Tcp, "intranet", 80},
        {"http:\\\\x", ProbeKind::Tcp, "x", 80},
        {"http:/x", ProbeKind::Tcp, "/x", 80},
        // The long prefix is removed when it stands anywhere, not only at the start.
        {"http:ab http://", ProbeKind::Tcp, " http://", 80},
        {"http:", ProbeKind::Tcp, "", 80},
        {"\\\\Files", ProbeKind::Icmp, "files", 0},
        {"//Files", ProbeKind::Icmp, "files", 0},
        {"/Files", ProbeKind::Icmp, "/files", 0},
        {"https://x", ProbeKind::Icmp, "https://x", 0},
        {"10.0.0.5", ProbeKind::Icmp, "10.0.0.5", 0},
        {" \t\r\n Mail.Example \x01\x1f ", ProbeKind::Icmp, "mail.example", 0},
        {"  http://Web  ", ProbeKind::Tcp, "web", 80},
        {"In ner", ProbeKind::Icmp, "in ner", 0},
        // Only A-Z are lowered; the rest travels as UTF-8.
        {"\\\\ÄRGER-Ö", ProbeKind::Icmp, "Ärger-Ö", 0},
        {"", ProbeKind::Skip, "", 0},
        {" \t\x01 ", ProbeKind::Skip, "", 0},
    };
    for (const Case& c : cases) {
        const hv::ProbeTarget t = hv::classifyAddress(QString::fromUtf8(c.address));
        EXPECT_EQ(t.kind, c.kind) << c.address;
        EXPECT_EQ(t.host, c.host) << c.address;
        EXPECT_EQ(t.port, c.port) << c.address;
        EXPECT_EQ(t.family, hv::AddressFamily::IPv4) << c.address;
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
