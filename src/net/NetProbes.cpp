#include "net/NetProbes.h"

#include <exception>

#include "net/EIdException.h"
#include "net/TIdHTTP.h"
#include "net/TIdIcmpClient.h"
#include "net/TReplyStatus.h"
#include "platform/CancelHandle.h"

namespace hv {

struct NetProbes::Impl {
    TIdIcmpClient icmp;
    TIdHTTP http;
    bool hostAlive = false;
    std::string lastError;

    // TfrmMain.IdIcmpClient1Reply: runs on the checking thread before RunEcho returns.
    void IdIcmpClient1Reply(TIdIcmpClient&, const TReplyStatus& reply) {
        hostAlive = ReplyMeansAlive(reply);
    }
};

namespace {

std::string messageOf(const std::exception& e) {
    if (const auto* err = dynamic_cast<const Error*>(&e)) return err->message().toStdString();
    return e.what();
}

}  // namespace

NetProbes::NetProbes(const CancelHandle& cancel) : m_impl(std::make_unique<Impl>()) {
    m_impl->icmp.ReceiveTimeout = 2500;
    m_impl->icmp.CancelFd = cancel.fd();
    m_impl->icmp.OnReply = [impl = m_impl.get()](TIdIcmpClient& sender, const TReplyStatus& r) {
        impl->IdIcmpClient1Reply(sender, r);
    };
    m_impl->http.ReadTimeout = 5000;
    m_impl->http.CancelFd = cancel.fd();
}

NetProbes::~NetProbes() = default;

bool NetProbes::ReplyMeansAlive(const TReplyStatus& reply) {
    return reply.Outcome == TReplyOutcome::roEchoReply && reply.IcmpType == 0 &&
           reply.ByteCount > 0 && !reply.SourceAddress.empty() &&
           reply.SourceAddress != "0.0.0.0" && reply.ReplyTtl > 0;
}

bool NetProbes::icmpTry(const std::string& host) {
    Impl& d = *m_impl;
    d.lastError.clear();
    d.hostAlive = true;
    try {
        d.icmp.Host = host;
        d.icmp.RunEcho("", 0);
    } catch (const std::exception& e) {
        d.hostAlive = false;
        d.lastError = messageOf(e);
    }
    if (!d.hostAlive && d.lastError.empty()) {
        d.lastError = d.icmp.ReplyStatus().Outcome == TReplyOutcome::roTimedOut
                          ? "Request timed out."
                          : "No echo reply.";
    }
    return d.hostAlive;
}

bool NetProbes::tcpTry(const std::string& host) {
    Impl& d = *m_impl;
    d.lastError.clear();
    d.hostAlive = true;
    d.http.Host = host;
    try {
        d.http.OpenConnection(5000);
    } catch (const std::exception& e) {
        d.hostAlive = false;
        d.lastError = messageOf(e);
    }
    if (d.http.IsConnected()) d.http.CloseConnection();
    return d.hostAlive;
}

void NetProbes::setConcurrent(bool concurrent) { m_impl->icmp.KeepSocketOpen = concurrent; }

std::string NetProbes::lastError() const { return m_impl->lastError; }

TIdIcmpClient& NetProbes::IdIcmpClient1() { return m_impl->icmp; }
TIdHTTP& NetProbes::IdHTTP1() { return m_impl->http; }

}  // namespace hv
