#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <vector>

namespace hv {

// One check as the statistics see it.
struct StatsSample {
    std::int64_t timeMs = 0;        // ms since the epoch, UTC
    std::int64_t roundTripUs = -1;  // -1: lost (no answer)
    bool operator==(const StatsSample&) const = default;
};

// Figures over a span of checks. Lost checks count in checks and lost only: min, avg, max and
// jitter are taken over the answered ones.
struct StatsSummary {
    int checks = 0;
    int lost = 0;
    std::int64_t minUs = -1;  // -1: no answered check
    std::int64_t maxUs = -1;
    double avgUs = -1;
    // The mean absolute difference of consecutive answered round trips; -1 with fewer than two.
    double jitterUs = -1;

    // Lost checks in percent of all; -1 without checks.
    double lossPercent() const;
    bool operator==(const StatsSummary&) const = default;
};

// The figures of a list of samples, oldest first.
StatsSummary summarize(const std::vector<StatsSample>& samples);

// One host's statistics over its recent minutes, kept in per-minute buckets so that any window
// up to kMaxMinutes costs the same to keep and to read, and its last kRecentCount checks.
// Not thread-safe: the host list guards it.
class HostStats {
public:
    static constexpr int kRecentCount = 60;
    static constexpr int kMaxMinutes = 1440;

    // Counts one check; buckets older than keepMinutes before it are dropped. A sample older
    // than the newest bucket (the clock was set back, or history is read in after live checks)
    // goes into its own minute, chained to that minute's last answer.
    void add(const StatsSample& sample, int keepMinutes);
    // The checks of the minutes (nowMs - minutes, nowMs], the current minute counted as one.
    StatsSummary summary(std::int64_t nowMs, int minutes) const;
    // The last kRecentCount checks, oldest first.
    std::vector<StatsSample> recent() const;
    bool empty() const { return m_buckets.empty(); }

private:
    struct Bucket {
        std::int64_t minute = 0;  // timeMs / 60000
        int count = 0;
        int lost = 0;
        int answers = 0;  // answered checks with a round trip
        std::int64_t minUs = 0;
        std::int64_t maxUs = 0;
        std::int64_t sumUs = 0;
        std::int64_t diffSumUs = 0;  // sum of |consecutive differences| inside the minute
        int diffs = 0;
        std::int64_t firstUs = -1;  // the minute's first and last answered round trips
        std::int64_t lastUs = -1;
    };

    std::deque<Bucket> m_buckets;  // oldest first, one per minute with checks
    std::array<StatsSample, kRecentCount> m_recent{};
    int m_recentNext = 0;
    int m_recentSize = 0;
};

}  // namespace hv
