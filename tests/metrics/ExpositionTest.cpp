#include <gtest/gtest.h>

#include <string>

#include "hosts/HostList.h"
#include "metrics/MetricsSnapshot.h"

using hv::HostSample;
using hv::MetricsSnapshot;

namespace {

MetricsSnapshot oneHost(const QString& title, const QString& address = QStringLiteral("10.0.0.1")) {
    MetricsSnapshot s;
    s.hosts.push_back(HostSample{title, address, true, 12, 3, 1, "up"});
    s.version = QStringLiteral("1.2.3");
    return s;
}

// The line of `name` in text, or empty.
std::string lineOf(const std::string& text, const std::string& start) {
    const auto at = text.find("\n" + start);
    if (at == std::string::npos) return {};
    const auto end = text.find('\n', at + 1);
    return text.substr(at + 1, end - at - 1);
}

}  // namespace

// Label values as the text format wants them: backslash, quote and line feed escaped, every
// other byte (UTF-8 included) as it is.
TEST(Exposition, LabelValuesAreEscaped) {
    const struct {
        QString title;
        std::string label;
    } cases[] = {
        {QStringLiteral("plain"), R"(plain)"},
        {QStringLiteral("say \"hi\""), R"(say \"hi\")"},
        {QStringLiteral("C:\\share"), R"(C:\\share)"},
        {QStringLiteral("two\nlines"), R"(two\nlines)"},
        {QStringLiteral("end\\"), R"(end\\)"},
        {QStringLiteral("\\\"\n"), R"(\\\"\n)"},
        {QStringLiteral("Zürich — 東京"), "Zürich — 東京"},
        {QStringLiteral("tab\there"), "tab\there"},
        {QString(), ""},
    };
    for (const auto& c : cases) {
        const std::string text = hv::expositionText(oneHost(c.title));
        const std::string expected =
            "hostvane_host_up{title=\"" + c.label + "\",address=\"10.0.0.1\"} 1";
        EXPECT_EQ(lineOf(text, "hostvane_host_up{"), expected) << c.title.toStdString();
    }
}

TEST(Exposition, WholeTextOfAnUpAndADownHost) {
    MetricsSnapshot s;
    s.hosts.push_back(HostSample{QStringLiteral("Gateway"), QStringLiteral("10.0.0.1"), true,
                                 1500000, 7, 2, "up"});
    s.hosts.push_back(
        HostSample{QStringLiteral("Mail"), QStringLiteral("http://mail"), false, -1, 7, 7, "lost"});
    s.passSeconds = 2.5;
    s.checking = true;
    s.version = QStringLiteral("1.1.0");
    const std::string expected =
        "# HELP hostvane_host_up 1 when the host answered its last check\n"
        "# TYPE hostvane_host_up gauge\n"
        "hostvane_host_up{title=\"Gateway\",address=\"10.0.0.1\"} 1\n"
        "hostvane_host_up{title=\"Mail\",address=\"http://mail\"} 0\n"
        "# HELP hostvane_host_round_trip_seconds Round trip of the host's last answer; absent "
        "while it is not answering\n"
        "# TYPE hostvane_host_round_trip_seconds gauge\n"
        "hostvane_host_round_trip_seconds{title=\"Gateway\",address=\"10.0.0.1\"} 1.5\n"
        "# HELP hostvane_host_checks_total Checks of the host since it entered the list\n"
        "# TYPE hostvane_host_checks_total counter\n"
        "hostvane_host_checks_total{title=\"Gateway\",address=\"10.0.0.1\"} 7\n"
        "hostvane_host_checks_total{title=\"Mail\",address=\"http://mail\"} 7\n"
        "# HELP hostvane_host_failures_total Checks of the host that got no answer since it "
        "entered the list\n"
        "# TYPE hostvane_host_failures_total counter\n"
        "hostvane_host_failures_total{title=\"Gateway\",address=\"10.0.0.1\"} 2\n"
        "hostvane_host_failures_total{title=\"Mail\",address=\"http://mail\"} 7\n"
        "# HELP hostvane_host_state 1 for the state the host is reported in: up, lost or "
        "unreachable\n"
        "# TYPE hostvane_host_state gauge\n"
        "hostvane_host_state{title=\"Gateway\",address=\"10.0.0.1\",state=\"up\"} 1\n"
        "hostvane_host_state{title=\"Gateway\",address=\"10.0.0.1\",state=\"lost\"} 0\n"
        "hostvane_host_state{title=\"Gateway\",address=\"10.0.0.1\",state=\"unreachable\"} 0\n"
        "hostvane_host_state{title=\"Mail\",address=\"http://mail\",state=\"up\"} 0\n"
        "hostvane_host_state{title=\"Mail\",address=\"http://mail\",state=\"lost\"} 1\n"
        "hostvane_host_state{title=\"Mail\",address=\"http://mail\",state=\"unreachable\"} 0\n"
        "# HELP hostvane_pass_duration_seconds Duration of the last finished pass over the host "
        "list\n"
        "# TYPE hostvane_pass_duration_seconds gauge\n"
        "hostvane_pass_duration_seconds 2.5\n"
        "# HELP hostvane_checking 1 while the monitor is started, 0 while it is stopped\n"
        "# TYPE hostvane_checking gauge\n"
        "hostvane_checking 1\n"
        "# HELP hostvane_build_info The running Hostvane's version\n"
        "# TYPE hostvane_build_info gauge\n"
        "hostvane_build_info{version=\"1.1.0\"} 1\n";
    EXPECT_EQ(hv::expositionText(s), expected);
}

// An empty list still tells the pass, the state and the version: a scraper sees the program.
TEST(Exposition, EmptyListKeepsTheProgramsOwnMetrics) {
    MetricsSnapshot s;
    s.version = QStringLiteral("9");
    const std::string text = hv::expositionText(s);
    EXPECT_EQ(text.find("hostvane_host_up{"), std::string::npos);
    EXPECT_EQ(lineOf(text, "hostvane_checking "), "hostvane_checking 0");
    EXPECT_EQ(lineOf(text, "hostvane_build_info"), "hostvane_build_info{version=\"9\"} 1");
    EXPECT_EQ(lineOf(text, "hostvane_pass_duration_seconds "), "hostvane_pass_duration_seconds 0");
}

// The snapshot reads the one host list: the reported state, and the round trip only while the
// host is reported answering.
TEST(Exposition, SnapshotFollowsTheHostList) {
    hv::HostList list;
    list.rebuildFromEntries({{QStringLiteral("A"), QStringLiteral("10.0.0.1")},
                             {QStringLiteral("B"), QStringLiteral("10.0.0.2")},
                             {QStringLiteral("C"), QStringLiteral("10.0.0.3")},
                             {QStringLiteral("D"), QStringLiteral("10.0.0.4")}});
    const auto gen = list.generation();
    // A answers and is reported up; B answered once but is not yet reported (2 passes to
    // appear); C fails.
    ASSERT_TRUE(list.recordCheck(0, gen, true, 4, 1, 1).value());
    list.setStateImage(0, hv::kImageAnswered);
    ASSERT_FALSE(list.recordCheck(1, gen, true, 9, 1, 2).value());
    list.recordCheck(2, gen, false, -1, 1, 1);
    list.recordCheck(2, gen, false, -1, 1, 1);
    // D is behind a lost host.
    list.setStateImage(3, hv::kImageUnreachable);

    const MetricsSnapshot s = hv::snapshotOf(list, true, 0.25);
    ASSERT_EQ(s.hosts.size(), 4u);
    EXPECT_EQ(s.hosts[0], (HostSample{"A", "10.0.0.1", true, 4, 1, 0, "up"}));
    EXPECT_EQ(s.hosts[1], (HostSample{"B", "10.0.0.2", false, -1, 1, 0, "lost"}));
    EXPECT_EQ(s.hosts[2], (HostSample{"C", "10.0.0.3", false, -1, 2, 2, "lost"}));
    EXPECT_EQ(s.hosts[3], (HostSample{"D", "10.0.0.4", false, -1, 0, 0, "unreachable"}));
    EXPECT_TRUE(s.checking);
    EXPECT_DOUBLE_EQ(s.passSeconds, 0.25);
    EXPECT_EQ(s.version, QStringLiteral(HV_VERSION));
}
