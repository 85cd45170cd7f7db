#pragma once

#include <memory>

#include "checking/HostProbes.h"

namespace hv {

class CancelHandle;

// The real probes: IdIcmpClient1 (ICMP echo, ReceiveTimeout 2500 ms) and IdHTTP1 (TCP connect
// to port 80 within 5000 ms), both watching the check cycle's cancel handle.
class NetProbes : public HostProbes {
public:
    explicit NetProbes(const CancelHandle& cancel);
    ~NetProbes() override;
    bool icmpTry(const std::string& host) override;
    bool tcpTry(const std::string& host) override;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace hv
