#include "net/ConnectProbe.h"

#include <exception>

#include "net/NetError.h"
#include "platform/CancelHandle.h"

namespace hv {

ConnectProbe::ConnectProbe(const CancelHandle& cancel) {
    m_client.readTimeout = kConnectTimeoutMs;
    m_client.cancelFd = cancel.fd();
}

ProbeOutcome ConnectProbe::tryTarget(const ProbeTarget& target) {
    ProbeOutcome outcome;
    outcome.alive = true;
    m_client.host = target.host;
    m_client.port = target.port;
    m_client.family = target.family;
    try {
        m_client.openConnection(kConnectTimeoutMs);
    } catch (const std::exception& e) {
        outcome.alive = false;
        outcome.error = netErrorText(e);
    }
    // Whether or not the open failed: a probe never leaves a connection open.
    if (m_client.isConnected()) m_client.closeConnection();
    outcome.address = m_client.resolvedAddress();
    if (outcome.alive) outcome.roundTripUs = m_client.connectUs();
    return outcome;
}

}  // namespace hv
