#include "checking/DeferredProbes.h"

namespace hv {

bool DeferredProbes::icmpTry(const std::string& host) {
    return m_target ? m_target->icmpTry(host) : false;
}

bool DeferredProbes::tcpTry(const std::string& host) {
    return m_target ? m_target->tcpTry(host) : false;
}

}  // namespace hv
