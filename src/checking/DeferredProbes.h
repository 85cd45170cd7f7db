#pragma once

#include <memory>

#include "checking/HostProbes.h"

namespace hv {

// The checking thread is built with its probes, but the real probes need the thread's cancel
// handle: this stands in at construction and forwards to the probes set right after. Until
// then (and after reset) every try fails.
class DeferredProbes : public HostProbes {
public:
    void setTarget(std::unique_ptr<HostProbes> target) { m_target = std::move(target); }
    void reset() { m_target.reset(); }

    bool icmpTry(const std::string& host) override;
    bool tcpTry(const std::string& host) override;

private:
    std::unique_ptr<HostProbes> m_target;
};

}  // namespace hv
