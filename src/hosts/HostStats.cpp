#include "hosts/HostStats.h"

#include <algorithm>
#include <cstdlib>

namespace hv {

namespace {

constexpr std::int64_t kMinuteMs = 60000;

std::int64_t minuteOf(std::int64_t timeMs) {
    // Floor division: a time before the epoch still falls into its own minute.
    return timeMs >= 0 ? timeMs / kMinuteMs : -((-timeMs + kMinuteMs - 1) / kMinuteMs);
}

// Adds the figures of one more span of answered round trips, chaining its first to the last
// one before it.
struct Totals {
    int checks = 0;
    int lost = 0;
    int answers = 0;
    std::int64_t minUs = -1;
    std::int64_t maxUs = -1;
    std::int64_t sumUs = 0;
    std::int64_t diffSumUs = 0;
    std::int64_t diffs = 0;
    std::int64_t lastUs = -1;

    StatsSummary summary() const {
        StatsSummary s;
        s.checks = checks;
        s.lost = lost;
        if (answers > 0) {
            s.minUs = minUs;
            s.maxUs = maxUs;
            s.avgUs = double(sumUs) / answers;
        }
        if (diffs > 0) s.jitterUs = double(diffSumUs) / double(diffs);
        return s;
    }
};

}  // namespace

double StatsSummary::lossPercent() const { return checks > 0 ? 100.0 * lost / checks : -1; }

StatsSummary summarize(const std::vector<StatsSample>& samples) {
    Totals t;
    for (const StatsSample& s : samples) {
        ++t.checks;
        if (s.roundTripUs < 0) {
            ++t.lost;
            continue;
        }
        t.minUs = t.answers ? std::min(t.minUs, s.roundTripUs) : s.roundTripUs;
        t.maxUs = t.answers ? std::max(t.maxUs, s.roundTripUs) : s.roundTripUs;
        ++t.answers;
        t.sumUs += s.roundTripUs;
        if (t.lastUs >= 0) {
            t.diffSumUs += std::llabs(s.roundTripUs - t.lastUs);
            ++t.diffs;
        }
        t.lastUs = s.roundTripUs;
    }
    return t.summary();
}

void HostStats::add(const StatsSample& sample, int keepMinutes) {
    m_recent[m_recentNext] = sample;
    m_recentNext = (m_recentNext + 1) % kRecentCount;
    m_recentSize = std::min(m_recentSize + 1, kRecentCount);

    const std::int64_t minute = minuteOf(sample.timeMs);
    auto it = std::lower_bound(m_buckets.begin(), m_buckets.end(), minute,
                               [](const Bucket& b, std::int64_t m) { return b.minute < m; });
    if (it == m_buckets.end() || it->minute != minute) {
        Bucket fresh;
        fresh.minute = minute;
        it = m_buckets.insert(it, fresh);
    }
    Bucket& b = *it;
    ++b.count;
    if (sample.roundTripUs < 0) {
        ++b.lost;
    } else {
        const std::int64_t us = sample.roundTripUs;
        b.minUs = b.answers ? std::min(b.minUs, us) : us;
        b.maxUs = b.answers ? std::max(b.maxUs, us) : us;
        ++b.answers;
        b.sumUs += us;
        if (b.lastUs >= 0) {
            b.diffSumUs += std::llabs(us - b.lastUs);
            ++b.diffs;
        } else {
            b.firstUs = us;
        }
        b.lastUs = us;
    }

    const int keep = std::clamp(keepMinutes, 1, kMaxMinutes);
    const std::int64_t newest = m_buckets.back().minute;
    while (!m_buckets.empty() && m_buckets.front().minute <= newest - keep) m_buckets.pop_front();
}

StatsSummary HostStats::summary(std::int64_t nowMs, int minutes) const {
    const std::int64_t last = minuteOf(nowMs);
    const std::int64_t first = last - std::clamp(minutes, 1, kMaxMinutes) + 1;
    Totals t;
    for (const Bucket& b : m_buckets) {
        if (b.minute < first) continue;
        if (b.minute > last) break;
        t.checks += b.count;
        t.lost += b.lost;
        if (b.answers == 0) continue;
        t.minUs = t.answers ? std::min(t.minUs, b.minUs) : b.minUs;
        t.maxUs = t.answers ? std::max(t.maxUs, b.maxUs) : b.maxUs;
        t.answers += b.answers;
        t.sumUs += b.sumUs;
        t.diffSumUs += b.diffSumUs;
        t.diffs += b.diffs;
        // The step from the last answer of an earlier minute to this minute's first.
        if (t.lastUs >= 0) {
            t.diffSumUs += std::llabs(b.firstUs - t.lastUs);
            ++t.diffs;
        }
        t.lastUs = b.lastUs;
    }
    return t.summary();
}

std::vector<StatsSample> HostStats::recent() const {
    std::vector<StatsSample> out;
    out.reserve(m_recentSize);
    const int start = (m_recentNext - m_recentSize + kRecentCount) % kRecentCount;
    for (int i = 0; i < m_recentSize; ++i) out.push_back(m_recent[(start + i) % kRecentCount]);
    return out;
}

}  // namespace hv
