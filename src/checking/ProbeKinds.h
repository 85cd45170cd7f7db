#pragma once

#include <QString>
#include <span>
#include <string>
#include <utility>

namespace hv {

// What a host's address asks for. Skip: a blank address, which nothing probes.
enum class ProbeKind { Skip, Icmp, Tcp };

// How a probe reaches its host. Every probe speaks IPv4 today; IPv6 is reserved for the
// probes that will learn it, and the others refuse it.
enum class AddressFamily { IPv4, IPv6 };

struct ProbeTarget {
    ProbeTarget() = default;
    ProbeTarget(ProbeKind k, std::string h, AddressFamily f = AddressFamily::IPv4, int p = 0)
        : kind(k), host(std::move(h)), family(f), port(p) {}

    ProbeKind kind = ProbeKind::Skip;
    std::string host;  // UTF-8, what the probe is given
    AddressFamily family = AddressFamily::IPv4;
    int port = 0;  // the TCP port a connect probe opens; 0 for kinds without ports
};

// One address form: the kind it names and how its text becomes a target. A new probe kind
// is one row here and one probe class on the network side.
struct ProbeKindRow {
    ProbeKind kind;
    const char* name;  // the kind's name in the check-once output (data: scripts read it)
    // Claims the cleaned, lower-case address text or not; when it does, fills the target's
    // host, family and port.
    bool (*parse)(const QString& text, ProbeTarget& target);
};

// Every row, in the order classifyAddress tries them: the first row that claims a text
// decides its kind, so the catch-all form comes last.
std::span<const ProbeKindRow> probeKindRows();
// The row of a kind; every kind has one.
const ProbeKindRow& probeKindRow(ProbeKind kind);

}  // namespace hv
