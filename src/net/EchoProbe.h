#pragma once

#include "checking/Probe.h"
#include "net/IcmpClient.h"

namespace hv {

class CancelHandle;

// The ICMP probe: one echo (ICMP or ICMPv6) to an address or name per try, waiting 2500 ms for
// the answer; the reply handler's rule decides.
class EchoProbe : public Probe {
public:
    static constexpr int kReceiveTimeoutMs = 2500;

    explicit EchoProbe(const CancelHandle& cancel);

    ProbeOutcome tryTarget(const ProbeTarget& target) override;
    // Beside other probes the socket stays open between echoes.
    void setConcurrent(bool concurrent) override;

    // The reply handler's rule: only an echo reply carrying our numbers, from a real source
    // address and with a TTL above 0, means the host answered. Unreachable and time-exceeded
    // messages quoting our request mean it did not.
    static bool replyMeansAlive(const ReplyStatus& reply);

    IcmpClient& icmpClient() { return m_client; }

private:
    IcmpClient m_client;
    bool m_hostAlive = false;  // written by the reply handler, on the trying thread
};

}  // namespace hv
