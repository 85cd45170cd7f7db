#pragma once

#include <memory>
#include <string>

#include "checking/HostProbes.h"

namespace hv {

class CancelHandle;
class TIdHTTP;
class TIdIcmpClient;
struct TReplyStatus;

// The real probes: IdIcmpClient1 (ICMP echo, ReceiveTimeout 2500 ms) and IdHTTP1 (TCP connect
// to port 80 within 5000 ms), both watching the check cycle's cancel handle.
class NetProbes : public HostProbes {
public:
    explicit NetProbes(const CancelHandle& cancel);
    ~NetProbes() override;
    bool icmpTry(const std::string& host) override;
    bool tcpTry(const std::string& host) override;
    // Beside other sets the ICMP socket stays open between echoes.
    void setConcurrent(bool concurrent) override;

    // The reply handler's rule: only an echo reply carrying our numbers, from a real source
    // address and with a TTL above 0, means the host answered. Unreachable and time-exceeded
    // messages quoting our request mean it did not.
    static bool ReplyMeansAlive(const TReplyStatus& reply);

    // The message of the error that failed the last try, empty when it did not fail.
    std::string lastError() const override;

    TIdIcmpClient& IdIcmpClient1();
    TIdHTTP& IdHTTP1();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace hv
