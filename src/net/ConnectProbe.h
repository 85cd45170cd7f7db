#pragma once

#include "checking/Probe.h"
#include "net/TcpClient.h"

namespace hv {

class CancelHandle;

// The TCP probe: per try, a connection to the target's port opened within 5000 ms and closed
// at once, without a byte of data.
class ConnectProbe : public Probe {
public:
    static constexpr int kConnectTimeoutMs = 5000;

    explicit ConnectProbe(const CancelHandle& cancel);

    ProbeOutcome tryTarget(const ProbeTarget& target) override;

    TcpClient& tcpClient() { return m_client; }

private:
    TcpClient m_client;
};

}  // namespace hv
