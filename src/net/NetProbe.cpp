#include "net/NetProbe.h"

#include "net/ConnectProbe.h"
#include "net/EchoProbe.h"

namespace hv {

namespace {

template <class P>
std::unique_ptr<Probe> make(const CancelHandle& cancel) {
    return std::make_unique<P>(cancel);
}

// Which class tries which kind: a new kind is one row here (and its address form's row in
// checking/ProbeKinds.cpp).
struct NetKindRow {
    ProbeKind kind;
    std::unique_ptr<Probe> (*make)(const CancelHandle& cancel);
};

constexpr NetKindRow kNetKinds[] = {
    {ProbeKind::Icmp, &make<EchoProbe>},
    {ProbeKind::Tcp, &make<ConnectProbe>},
};

}  // namespace

NetProbe::NetProbe(const CancelHandle& cancel) {
    for (const NetKindRow& row : kNetKinds) m_probes.push_back({row.kind, row.make(cancel)});
}

NetProbe::~NetProbe() = default;

ProbeOutcome NetProbe::tryTarget(const ProbeTarget& target) {
    for (KindProbe& p : m_probes) {
        if (p.kind == target.kind) return p.probe->tryTarget(target);
    }
    return {};
}

void NetProbe::setConcurrent(bool concurrent) {
    for (KindProbe& p : m_probes) p.probe->setConcurrent(concurrent);
}

std::unique_ptr<Probe> makeNetProbe(const CancelHandle& cancel) {
    return std::make_unique<NetProbe>(cancel);
}

}  // namespace hv
