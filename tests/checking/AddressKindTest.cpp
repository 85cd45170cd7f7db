#include <gtest/gtest.h>

#include "checking/AddressKind.h"

namespace {

using hv::ProbeKind;

struct Case {
    const char* address;
    ProbeKind kind;
    const char* host;
};

TEST(ClassifyAddress, KindAndHostFromTheAddressText) {
    const Case cases[] = {
        {"HTTP://Intranet", ProbeKind::Tcp, "intranet"},
        {"hTtP://InTrAnEt/Path:8080", ProbeKind::Tcp, "intranet/path:8080"},
        {"http:intranet", ProbeKind::Tcp, "intranet"},
        {"http:\\\\x", ProbeKind::Tcp, "x"},
        {"http:/x", ProbeKind::Tcp, "/x"},
        // The long prefix is removed when it stands anywhere, not only at the start.
        {"http:ab http://", ProbeKind::Tcp, " http://"},
        {"http:", ProbeKind::Tcp, ""},
        {"\\\\Files", ProbeKind::Icmp, "files"},
        {"//Files", ProbeKind::Icmp, "files"},
        {"/Files", ProbeKind::Icmp, "/files"},
        {"https://x", ProbeKind::Icmp, "https://x"},
        {"10.0.0.5", ProbeKind::Icmp, "10.0.0.5"},
        {" \t\r\n Mail.Example \x01\x1f ", ProbeKind::Icmp, "mail.example"},
        {"  http://Web  ", ProbeKind::Tcp, "web"},
        {"In ner", ProbeKind::Icmp, "in ner"},
        // Only A-Z are lowered; the rest travels as UTF-8.
        {"\\\\ÄRGER-Ö", ProbeKind::Icmp, "Ärger-Ö"},
        {"", ProbeKind::Skip, ""},
        {" \t\x01 ", ProbeKind::Skip, ""},
    };
    for (const Case& c : cases) {
        const hv::ProbeTarget t = hv::classifyAddress(QString::fromUtf8(c.address));
        EXPECT_EQ(t.kind, c.kind) << c.address;
        EXPECT_EQ(t.host, c.host) << c.address;
    }
}

}  // namespace
