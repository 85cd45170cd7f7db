#pragma once

#include <memory>
#include <vector>

#include "checking/Probe.h"

namespace hv {

class CancelHandle;

// The real probes behind one interface: a probe per kind (EchoProbe for ICMP, ConnectProbe for
// TCP), each watching the check cycle's cancel handle, and a try goes to the probe of the
// target's kind. A kind without a probe (Skip) fails the try.
class NetProbe : public Probe {
public:
    explicit NetProbe(const CancelHandle& cancel);
    ~NetProbe() override;

    ProbeOutcome tryTarget(const ProbeTarget& target) override;
    void setConcurrent(bool concurrent) override;

private:
    struct KindProbe {
        ProbeKind kind;
        std::unique_ptr<Probe> probe;
    };
    std::vector<KindProbe> m_probes;
};

// The probe factory of the tray program and of the check-once mode.
std::unique_ptr<Probe> makeNetProbe(const CancelHandle& cancel);

}  // namespace hv
