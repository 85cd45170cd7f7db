#include "checking/HostProbes.h"

#include <chrono>
#include <exception>

namespace hv {

ProbeOutcome HostProbes::tryTarget(const ProbeTarget& target) {
    const auto began = std::chrono::steady_clock::now();
    bool alive = false;
    std::string error;
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
    } catch (const std::exception& e) {
        alive = false;
        error = e.what();
    } catch (...) {
        alive = false;
        error = "unknown error";
    }
    ProbeOutcome outcome;
    outcome.alive = alive;
    if (!alive) outcome.error = error.empty() ? lastError() : error;
    if (alive) {
        outcome.roundTripMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::steady_clock::now() - began)
                                  .count();
    }
    return outcome;
}

}  // namespace hv
