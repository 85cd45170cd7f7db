#pragma once

#include <QString>
#include <span>
#include <string>
#include <utility>

namespace hv {

// What a host's address asks for. Skip: a blank address, which nothing probes.
enum class ProbeKind { Skip, Icmp, Tcp };

// How a probe reaches its host. A literal address has its own family; a name has the family
// that [CheckParams] IpVersion asks for, Any meaning the resolver's first address of either.
enum class AddressFamily { IPv4, IPv6, Any };

struct ProbeTarget {
    ProbeTarget() = default;
    ProbeTarget(ProbeKind k, std::string h, AddressFamily f = AddressFamily::IPv4, int p = 0)
        : kind(k), host(std::move(h)), family(f), port(p) {}

    ProbeKind kind = ProbeKind::Skip;
    // UTF-8, what the probe is given: a name, a dotted address, or an IPv6 address in its
    // shortest form with its zone ("fe80::1%eth0"), without brackets.
    std::string host;
    AddressFamily family = AddressFamily::IPv4;
    int port = 0;  // the TCP port a connect probe opens; 0 for kinds without ports
    // Why the address text is malformed ("no port", "unclosed bracket", ...); such a target is
    // never probed, and the host is down with this text.
    std::string error;

    bool operator==(const ProbeTarget&) const = default;
};

// The address text a row parses: cleaned of surrounding blanks, as written and with ASCII
// capitals lowered (the two have the same length, so positions agree).
struct AddressText {
    QString lower;
    QString written;
};

// One address form: the kind it names and how its text becomes a target. A new probe kind
// is one row here and one probe class on the network side.
struct ProbeKindRow {
    ProbeKind kind;
    const char* name;  // the kind's name in the check-once output (data: scripts read it)
    // Claims the text or not; when it does, fills the target's host, family and port, or its
    // error. The target comes with the family names get.
    bool (*parse)(const AddressText& text, ProbeTarget& target);
};

// Every row, in the order classifyAddress tries them: the first row that claims a text
// decides its kind, so the catch-all form comes last.
std::span<const ProbeKindRow> probeKindRows();
// The row of a kind; every kind has one.
const ProbeKindRow& probeKindRow(ProbeKind kind);

// An address text that gives the same target again: a name or address for an echo,
// "tcp://host:port" (IPv6 in brackets) for a connect; empty for Skip or a malformed target.
QString addressOfTarget(const ProbeTarget& target);

}  // namespace hv
