#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace prometheus {
struct MetricFamily;
}

namespace hv {

class HostList;

// One host as a scrape sees it.
struct HostSample {
    QString title;
    QString address;
    bool up = false;                // it answered at its last check
    std::int64_t roundTripUs = -1;  // the last answer's, in µs; -1 while it is not answering
    std::int64_t checks = 0;
    std::int64_t failures = 0;
    // The reported state: "up", "lost" or "unreachable" (behind a lost host); empty: from up.
    std::string state;

    bool operator==(const HostSample&) const = default;
};

// Everything the metrics tell, as it was at one moment on the main thread. Immutable once
// published, so a scrape on another thread reads it without a lock and without the host list.
struct MetricsSnapshot {
    std::vector<HostSample> hosts;
    double passSeconds = 0;  // the last finished pass; 0 before the first
    bool checking = false;   // the monitor is started
    QString version;

    bool operator==(const MetricsSnapshot&) const = default;
};

// The host list as it is now. Main thread (the figures are read under the list's lock).
MetricsSnapshot snapshotOf(const HostList& hosts, bool checking, double passSeconds);

// The snapshot as metric families, in the order they are exposed. Label values are UTF-8.
std::vector<prometheus::MetricFamily> metricFamilies(const MetricsSnapshot& snapshot);

// The text exposition format 0.0.4 of metricFamilies(snapshot): what GET /metrics serves and
// --once --format=prometheus prints.
std::string expositionText(const MetricsSnapshot& snapshot);

}  // namespace hv
