#include <gtest/gtest.h>

#include "hosts/HostEntry.h"

namespace {

using namespace hv;

TEST(padIpAddress, FillsShortGroupsWithZeros) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"10.0.0.1", "010.000.000.001"},
        {"192.168.1.1", "192.168.001.001"},
        {"127.000.000.001", "127.000.000.001"},  // full groups are left alone
        {"1.22.333.4", "001.022.333.004"},
        {"", "000000000000000"},  // no dots: every group is only zeros
        {"...", "000.000.000.000"},
        {"10.0.0.", "010.000.000.000"},
        {"host", "000000000000host"},       // a name: padded by the same rule, never cut
        {"1234.5.6.7", "12340.5.006.007"},  // the zeros go where the rule puts them
        {"10.0.0.1.2", "010.000.000.1.2"},
    };
    for (const auto& c : cases) EXPECT_EQ(padIpAddress(c.in), c.out) << c.in;
}

TEST(EditTargetOfLine, ModeTitleAndAddress) {
    const struct {
        const char* line;
        HostEntryMode mode;
        const char* title;
        const char* address;
    } cases[] = {
        {"Mail :  10.0.0.1", HostEntryMode::EditIP, "Mail", "10.0.0.1"},
        {"Web :  http://localhost", HostEntryMode::EditHTTP, "Web", "http://localhost"},
        {"Web :  HTTP://LOCALHOST", HostEntryMode::EditHTTP, "Web", "HTTP://LOCALHOST"},
        {"Pc :  \\\\server", HostEntryMode::EditLAN, "Pc", "\\\\server"},
        {"Pc :  //server", HostEntryMode::EditIP, "Pc", "//server"},  // only "\\" is LAN
        {"  \tT :  10.0.0.1 \r\n", HostEntryMode::EditIP, "T", "10.0.0.1"},
        {"x :  a :  http", HostEntryMode::EditHTTP, "x", "a :  http"},  // anywhere in the line
        {"no separator", HostEntryMode::EditIP, "no separator", ""},
        {"https :  10.0.0.1", HostEntryMode::EditIP, "https", "10.0.0.1"},
        // Connects with a port or another scheme open where the whole text can be edited.
        {"S :  https://web:8443/", HostEntryMode::EditHTTP, "S", "https://web:8443/"},
        {"Ssh :  tcp://10.0.0.1:22", HostEntryMode::EditHTTP, "Ssh", "tcp://10.0.0.1:22"},
        {"Db :  TCP://[2001:db8::5]:5432", HostEntryMode::EditHTTP, "Db",
         "TCP://[2001:db8::5]:5432"},
        {"tcp :  10.0.0.1", HostEntryMode::EditIP, "tcp", "10.0.0.1"},  // a title, no scheme
        // IPv6 addresses would lose everything but their digits in the IPv4 mask.
        {"V6 :  ::1", HostEntryMode::EditLAN, "V6", "::1"},
        {"V6 :  2001:db8::5", HostEntryMode::EditLAN, "V6", "2001:db8::5"},
        {"V6 :  [2001:db8::5]", HostEntryMode::EditLAN, "V6", "[2001:db8::5]"},
        {"Ll :  fe80::1%eth0", HostEntryMode::EditLAN, "Ll", "fe80::1%eth0"},
        {"Pc :  \\\\fe80::1%lo", HostEntryMode::EditLAN, "Pc", "\\\\fe80::1%lo"},
        {"a:b :  10.0.0.1", HostEntryMode::EditIP, "a:b", "10.0.0.1"},  // a colon in the title
        {"Name :  server", HostEntryMode::EditIP, "Name", "server"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const EditTarget t = editTargetOfLine(c.line);
        EXPECT_EQ(t.mode, c.mode);
        EXPECT_EQ(t.host.title, c.title);
        EXPECT_EQ(t.host.address, c.address);
    }
    EXPECT_EQ(editTargetOfLine("t :  " + QString(1500, 'a')).host.address.size(), 1000);
}

// Feeds typed characters; '<' is Backspace. Returns the refused ones.
QString typeInto(IpMask& m, const QString& keys) {
    QString refused;
    for (QChar c : keys) {
        if (c == '<')
            m.backspace();
        else if (!m.type(c))
            refused += c;
    }
    return refused;
}

TEST(IpMask, TypedSequences) {
    const struct {
        const char* keys;
        const char* shown;
        const char* refused;
    } cases[] = {
        {"", "___.___.___.___", ""},
        {"192.168.1.1", "192.168.1__.1__", ""},
        {"192168001001", "192.168.001.001", ""},
        {"10.0.0.1", "10_.0__.0__.1__", ""},
        {"1.2.3.4.", "1__.2__.3__.4__", "."},  // no "." after the last group
        {"1a2 -3", "123.___.___.___", "a -"},
        {"1234567890123", "123.456.789.012", "3"},  // full: nothing more fits
        {"12<<3", "3__.___.___.___", ""},
        {"1234<<5", "125.___.___.___", ""},  // Backspace passes over the fixed "."
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        IpMask m;
        EXPECT_EQ(typeInto(m, c.keys), c.refused);
        EXPECT_EQ(m.shownText(), c.shown);
        EXPECT_EQ(m.shownText().size(), IpMask::kLength);
    }
}

TEST(IpMask, ValueTextAddressAndEditing) {
    IpMask m;
    typeInto(m, "192.168.1.1");
    EXPECT_EQ(m.valueText(), "192.168.1  .1  ");
    EXPECT_EQ(m.address(), "192.168.1.1");
    EXPECT_EQ(IpMask().address(), "...");

    // Edit: a padded address fills the mask; what does not fit a digit position is dropped.
    m.setShownText(padIpAddress("10.0.0.1"));
    EXPECT_EQ(m.shownText(), "010.000.000.001");
    m.setShownText(padIpAddress("host"));
    EXPECT_EQ(m.shownText(), "000.000.000.___");
    m.setShownText("1x3-4567.8");
    EXPECT_EQ(m.shownText(), "1_3.456._8_.___");

    // A typed digit overwrites at the cursor; a cleared selection leaves empty positions.
    m.setShownText("123.456.789.012");
    m.setCursor(4);
    EXPECT_TRUE(m.type('9'));
    EXPECT_EQ(m.shownText(), "123.956.789.012");
    m.clear(2, 9);
    EXPECT_EQ(m.shownText(), "12_.___._89.012");
    EXPECT_EQ(m.cursor(), 2);
    m.setCursor(12);
    m.deleteForward();
    EXPECT_EQ(m.shownText(), "12_.___._89._12");
}

}  // namespace
