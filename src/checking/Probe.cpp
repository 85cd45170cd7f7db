#include "checking/Probe.h"

#include <chrono>
#include <exception>

namespace hv {

ProbeOutcome tryProbe(Probe& probe, const ProbeTarget& target) {
    const auto began = std::chrono::steady_clock::now();
    // A malformed address is down with the parser's text; nothing is sent anywhere.
    if (!target.error.empty()) return ProbeOutcome{false, -1, target.error};
    ProbeOutcome outcome;
    try {
        outcome = probe.tryTarget(target);
    } catch (const std::exception& e) {
        outcome = ProbeOutcome{false, -1, e.what()};
    } catch (...) {
        outcome = ProbeOutcome{false, -1, "unknown error"};
    }
    if (!outcome.alive) {
        outcome.roundTripUs = -1;
    } else {
        outcome.error.clear();
        if (outcome.roundTripUs < 0) {
            outcome.roundTripUs = std::chrono::duration_cast<std::chrono::microseconds>(
                                      std::chrono::steady_clock::now() - began)
                                      .count();
        }
    }
    return outcome;
}

}  // namespace hv
