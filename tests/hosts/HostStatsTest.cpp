#include <gtest/gtest.h>

#include <random>

#include "hosts/HostList.h"
#include "hosts/HostStats.h"

using hv::HostStats;
using hv::StatsSample;
using hv::StatsSummary;
using hv::summarize;

namespace {

constexpr std::int64_t kMinute = 60000;
constexpr std::int64_t kT0 = 1'700'000'040'000;  // on a minute boundary

// Lost checks as -1 round trips, one second apart from kT0.
std::vector<StatsSample> series(const std::vector<std::int64_t>& roundTripsUs) {
    std::vector<StatsSample> out;
    for (std::size_t i = 0; i < roundTripsUs.size(); ++i)
        out.push_back({kT0 + std::int64_t(i) * 1000, roundTripsUs[i]});
    return out;
}

}  // namespace

TEST(HostStats, SummaryOfAListOfChecks) {
    struct Case {
        const char* what;
        std::vector<std::int64_t> us;
        StatsSummary want;
    };
    const Case cases[] = {
        {"nothing", {}, {0, 0, -1, -1, -1, -1}},
        {"one answer: no jitter yet", {500}, {1, 0, 500, 500, 500, -1}},
        {"jitter is the mean absolute step", {1000, 3000, 2000}, {3, 0, 1000, 3000, 2000, 1500}},
        // A lost check is no step: 1000 -> 4000 is the step across it.
        {"lost checks are left out of min/avg/max/jitter",
         {1000, -1, 4000, -1},
         {4, 2, 1000, 4000, 2500, 3000}},
        {"every check lost", {-1, -1, -1}, {3, 3, -1, -1, -1, -1}},
        {"zero is an answer", {0, 10}, {2, 0, 0, 10, 5, 10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(summarize(series(c.us)), c.want);
    }
    EXPECT_DOUBLE_EQ(summarize(series({1000, -1, 4000, -1})).lossPercent(), 50.0);
    EXPECT_EQ(summarize({}).lossPercent(), -1);
}

// The per-minute buckets must give exactly what a plain walk over the same checks gives, jitter
// steps across minute boundaries (and across lost checks) included.
TEST(HostStats, BucketsAgreeWithAPlainWalkOverTheWindow) {
    std::mt19937 random(21);
    std::uniform_int_distribution<int> rtt(0, 50'000), gap(200, 40'000), lose(0, 9);
    for (const int minutes : {1, 5, 60}) {
        SCOPED_TRACE(minutes);
        HostStats stats;
        std::vector<StatsSample> all;
        std::int64_t t = kT0;
        for (int i = 0; i < 600; ++i) {
            t += gap(random);
            const StatsSample s{t, lose(random) == 0 ? -1 : rtt(random)};
            all.push_back(s);
            stats.add(s, minutes);
        }
        const std::int64_t firstMinute = t / kMinute - minutes + 1;
        std::vector<StatsSample> window;
        for (const StatsSample& s : all)
            if (s.timeMs / kMinute >= firstMinute) window.push_back(s);
        const StatsSummary want = summarize(window);
        const StatsSummary got = stats.summary(t, minutes);
        EXPECT_EQ(got.checks, want.checks);
        EXPECT_EQ(got.lost, want.lost);
        EXPECT_EQ(got.minUs, want.minUs);
        EXPECT_EQ(got.maxUs, want.maxUs);
        EXPECT_DOUBLE_EQ(got.avgUs, want.avgUs);
        EXPECT_DOUBLE_EQ(got.jitterUs, want.jitterUs);
    }
}

TEST(HostStats, OldMinutesLeaveTheWindowAndTheMemory) {
    HostStats stats;
    stats.add({kT0, 9000}, 60);
    stats.add({kT0 + 30 * kMinute, 1000}, 60);
    // Both minutes are inside the last 60.
    EXPECT_EQ(stats.summary(kT0 + 30 * kMinute, 60).checks, 2);
    // A narrower window asked for sees only the newer one.
    EXPECT_EQ(stats.summary(kT0 + 30 * kMinute, 10).maxUs, 1000);
    // Asked later, with no new check, the old one has left the window.
    EXPECT_EQ(stats.summary(kT0 + 60 * kMinute, 60).checks, 1);
    EXPECT_EQ(stats.summary(kT0 + 91 * kMinute, 60).checks, 0);
    // A check an hour and more later drops the old buckets for good.
    stats.add({kT0 + 95 * kMinute, 2000}, 60);
    EXPECT_EQ(stats.summary(kT0 + 95 * kMinute, 1440).checks, 1);
}

TEST(HostStats, ChecksArrivingOutOfOrderGoIntoTheirOwnMinute) {
    HostStats stats;
    stats.add({kT0 + 5 * kMinute, 4000}, 60);
    stats.add({kT0, 1000}, 60);  // read from the history after a live check
    const StatsSummary s = stats.summary(kT0 + 5 * kMinute, 60);
    EXPECT_EQ(s.checks, 2);
    EXPECT_EQ(s.minUs, 1000);
    EXPECT_DOUBLE_EQ(s.jitterUs, 3000);  // in time order: 1000 then 4000
}

TEST(HostStats, RecentKeepsTheLast60InOrder) {
    HostStats stats;
    EXPECT_TRUE(stats.recent().empty());
    for (int i = 0; i < 75; ++i) stats.add({kT0 + i * 1000, i % 7 == 0 ? -1 : i}, 60);
    const std::vector<StatsSample> recent = stats.recent();
    ASSERT_EQ(recent.size(), 60u);
    EXPECT_EQ(recent.front().timeMs, kT0 + 15 * 1000);
    EXPECT_EQ(recent.back().timeMs, kT0 + 74 * 1000);
    EXPECT_EQ(recent[6].roundTripUs, -1);  // check 21
}

TEST(HostList, StatisticsFollowTheChecksAndSurviveARebuildLikeTheFigures) {
    hv::HostList hosts;
    std::int64_t now = kT0;
    hosts.setClock([&now] { return now; });
    hosts.rebuildFromEntries({{"a", "127.0.0.1"}, {"b", "127.0.0.2"}});
    std::uint64_t g = hosts.generation();
    hosts.recordCheck(0, g, true, 3000, 1, 1);
    now += 1000;
    hosts.recordCheck(0, g, false, -1, 1, 1);
    now += 1000;
    hosts.recordCheck(0, g, true, 7000, 1, 1);
    // A check of a list rebuilt since counts nowhere.
    hosts.recordCheck(1, g - 1, true, 5000, 1, 1);

    auto a = hosts.statsAt(0, g);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->summary, (StatsSummary{3, 1, 3000, 7000, 5000, 4000}));
    ASSERT_EQ(a->recent.size(), 3u);
    EXPECT_EQ(a->recent[1], (StatsSample{kT0 + 1000, -1}));
    EXPECT_EQ(hosts.statsAt(1, g)->summary.checks, 0);

    // "a" stays as it was and keeps its statistics; "c" is new and starts empty.
    hosts.rebuildFromEntries({{"c", "127.0.0.3"}, {"a", "127.0.0.1"}});
    g = hosts.generation();
    EXPECT_EQ(hosts.statsAt(0, g)->summary.checks, 0);
    EXPECT_EQ(hosts.statsAt(1, g)->summary.checks, 3);
    EXPECT_FALSE(hosts.statsAt(2, g));
    EXPECT_FALSE(hosts.statsAt(0, g - 1));

    // Stored checks read at start count like live ones; the window is the list's setting.
    hosts.addStoredChecks(0, g, {{now - 50 * kMinute, 9000}, {now - 5 * kMinute, 1000}});
    EXPECT_EQ(hosts.statsAt(0, g)->summary.checks, 2);
    hosts.setStatsMinutes(10);
    EXPECT_EQ(hosts.statsMinutes(), 10);
    EXPECT_EQ(hosts.statsAt(0, g)->summary.maxUs, 1000);
    hosts.setStatsMinutes(0);
    EXPECT_EQ(hosts.statsMinutes(), 1);
    hosts.setStatsMinutes(99999);
    EXPECT_EQ(hosts.statsMinutes(), HostStats::kMaxMinutes);
}
