#include "metrics/MetricsSnapshot.h"

#include <prometheus/metric_family.h>
#include <prometheus/text_serializer.h>

#include "hosts/HostList.h"

namespace hv {

MetricsSnapshot snapshotOf(const HostList& hosts, bool checking, double passSeconds) {
    const QList<Host> list = hosts.hosts();
    const QList<HostFigures> figures = hosts.figures();
    MetricsSnapshot snapshot;
    snapshot.hosts.reserve(static_cast<std::size_t>(list.size()));
    for (qsizetype i = 0; i < list.size(); ++i) {
        HostSample sample;
        sample.title = list[i].title;
        sample.address = list[i].address;
        sample.up = list[i].stateImage == kImageAnswered;
        sample.state = sample.up                                 ? "up"
                       : list[i].stateImage == kImageUnreachable ? "unreachable"
                                                                 : "lost";
        if (i < figures.size()) {
            const HostFigures& f = figures[i];
            sample.roundTripUs = sample.up ? f.roundTripUs : -1;
            sample.checks = f.checks;
            sample.failures = f.failures;
        }
        snapshot.hosts.push_back(std::move(sample));
    }
    snapshot.passSeconds = passSeconds;
    snapshot.checking = checking;
    snapshot.version = QStringLiteral(HV_VERSION);
    return snapshot;
}

namespace {

using prometheus::ClientMetric;
using prometheus::MetricFamily;
using prometheus::MetricType;

MetricFamily family(const char* name, const char* help, MetricType type) {
    MetricFamily f;
    f.name = name;
    f.help = help;
    f.type = type;
    return f;
}

ClientMetric gauge(double value, std::vector<ClientMetric::Label> labels = {}) {
    ClientMetric m;
    m.label = std::move(labels);
    m.gauge.value = value;
    return m;
}

ClientMetric counter(double value, std::vector<ClientMetric::Label> labels) {
    ClientMetric m;
    m.label = std::move(labels);
    m.counter.value = value;
    return m;
}

}  // namespace

std::vector<MetricFamily> metricFamilies(const MetricsSnapshot& snapshot) {
    MetricFamily up =
        family("hostvane_host_up", "1 when the host answered its last check", MetricType::Gauge);
    MetricFamily roundTrip =
        family("hostvane_host_round_trip_seconds",
               "Round trip of the host's last answer; absent while it is not answering",
               MetricType::Gauge);
    MetricFamily checks =
        family("hostvane_host_checks_total", "Checks of the host since it entered the list",
               MetricType::Counter);
    MetricFamily failures = family(
        "hostvane_host_failures_total",
        "Checks of the host that got no answer since it entered the list", MetricType::Counter);
    // One series per state and host, 1 for the state it is in: a query can count the hosts in
    // a state, or alert on one, without knowing the others.
    MetricFamily state = family("hostvane_host_state",
                                "1 for the state the host is reported in: up, lost or unreachable",
                                MetricType::Gauge);
    static const char* const kStates[] = {"up", "lost", "unreachable"};
    const std::size_t n = snapshot.hosts.size();
    state.metric.reserve(n * std::size(kStates));
    up.metric.reserve(n);
    roundTrip.metric.reserve(n);
    checks.metric.reserve(n);
    failures.metric.reserve(n);
    for (const HostSample& host : snapshot.hosts) {
        const std::vector<ClientMetric::Label> labels = {{"title", host.title.toStdString()},
                                                         {"address", host.address.toStdString()}};
        up.metric.push_back(gauge(host.up ? 1 : 0, labels));
        if (host.up && host.roundTripUs >= 0)
            roundTrip.metric.push_back(gauge(static_cast<double>(host.roundTripUs) / 1e6, labels));
        checks.metric.push_back(counter(static_cast<double>(host.checks), labels));
        failures.metric.push_back(counter(static_cast<double>(host.failures), labels));
        const std::string current = host.state.empty() ? (host.up ? "up" : "lost") : host.state;
        for (const char* name : kStates) {
            std::vector<ClientMetric::Label> stateLabels = labels;
            stateLabels.push_back({"state", name});
            state.metric.push_back(gauge(current == name ? 1 : 0, std::move(stateLabels)));
        }
    }

    std::vector<MetricFamily> families;
    families.reserve(8);
    families.push_back(std::move(up));
    families.push_back(std::move(roundTrip));
    families.push_back(std::move(checks));
    families.push_back(std::move(failures));
    families.push_back(std::move(state));
    MetricFamily pass =
        family("hostvane_pass_duration_seconds",
               "Duration of the last finished pass over the host list", MetricType::Gauge);
    pass.metric.push_back(gauge(snapshot.passSeconds));
    families.push_back(std::move(pass));
    MetricFamily checking =
        family("hostvane_checking", "1 while the monitor is started, 0 while it is stopped",
               MetricType::Gauge);
    checking.metric.push_back(gauge(snapshot.checking ? 1 : 0));
    families.push_back(std::move(checking));
    MetricFamily build =
        family("hostvane_build_info", "The running Hostvane's version", MetricType::Gauge);
    build.metric.push_back(gauge(1, {{"version", snapshot.version.toStdString()}}));
    families.push_back(std::move(build));
    return families;
}

std::string expositionText(const MetricsSnapshot& snapshot) {
    return prometheus::TextSerializer().Serialize(metricFamilies(snapshot));
}

}  // namespace hv
