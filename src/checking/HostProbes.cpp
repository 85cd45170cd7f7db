#include "checking/HostProbes.h"

#include <chrono>

namespace hv {

ProbeOutcome HostProbes::tryTarget(const ProbeTarget& target) {
    const auto began = std::chrono::steady_clock::now();
    bool alive = false;
    try {
        switch (target.kind) {
            case ProbeKind::Icmp:
                alive = icmpTry(target.host);
                break;
            case ProbeKind::Tcp:
                alive = tcpTry(target.host);
                break;
            case ProbeKind::Skip:
                break;
        }
    } catch (...) {
        alive = false;
    }
    ProbeOutcome outcome;
    outcome.alive = alive;
    if (alive) {
        outcome.roundTripMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::steady_clock::now() - began)
                                  .count();
    }
    return outcome;
}

}  // namespace hv
