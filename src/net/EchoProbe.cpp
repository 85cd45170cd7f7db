#include "net/EchoProbe.h"

#include <exception>

#include "net/NetError.h"
#include "platform/CancelHandle.h"

namespace hv {

EchoProbe::EchoProbe(const CancelHandle& cancel) {
    m_client.receiveTimeout = kReceiveTimeoutMs;
    m_client.cancelFd = cancel.fd();
    // Runs on the trying thread before runEcho returns.
    m_client.onReply = [this](IcmpClient&, const ReplyStatus& reply) {
        m_hostAlive = replyMeansAlive(reply);
    };
}

bool EchoProbe::replyMeansAlive(const ReplyStatus& reply) {
    // Type 0 is ICMP's echo reply, 129 ICMPv6's.
    return reply.outcome == ReplyOutcome::EchoReply &&
           (reply.icmpType == 0 || reply.icmpType == 129) && reply.byteCount > 0 &&
           !reply.sourceAddress.empty() && reply.sourceAddress != "0.0.0.0" &&
           reply.sourceAddress != "::" && reply.replyTtl > 0;
}

ProbeOutcome EchoProbe::tryTarget(const ProbeTarget& target) {
    ProbeOutcome outcome;
    m_hostAlive = true;
    try {
        m_client.host = target.host;
        m_client.family = target.family;
        m_client.runEcho("", 0);
    } catch (const std::exception& e) {
        m_hostAlive = false;
        outcome.error = netErrorText(e);
    }
    outcome.alive = m_hostAlive;
    outcome.address = m_client.targetAddress();
    // Timed from the send to the reply: opening the socket (and the helper's start, which
    // hands it over) comes before and is no part of it.
    if (outcome.alive) outcome.roundTripUs = m_client.replyStatus().roundTripUs;
    if (!outcome.alive && outcome.error.empty()) {
        outcome.error = m_client.replyStatus().outcome == ReplyOutcome::TimedOut
                            ? "Request timed out."
                            : "No echo reply.";
    }
    return outcome;
}

void EchoProbe::setConcurrent(bool concurrent) { m_client.keepSocketOpen = concurrent; }

}  // namespace hv
