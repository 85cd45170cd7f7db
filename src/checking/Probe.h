#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "checking/ProbeKinds.h"

namespace hv {

class CancelHandle;

// One try's outcome: whether the host answered and, when it did, the round trip in µs.
struct ProbeOutcome {
    ProbeOutcome() = default;
    explicit ProbeOutcome(bool answered, std::int64_t roundTrip = -1, std::string why = {})
        : alive(answered), roundTripUs(roundTrip), error(std::move(why)) {}

    bool alive = false;
    std::int64_t roundTripUs = -1;  // -1 when the host did not answer (or the probe kept none)
    std::string error;              // why the try failed, when the probe said; UTF-8
    // The address the try went to (a name resolved), when it got that far; UTF-8.
    std::string address;
};

// A probe: one try at a target at a time, on one thread. Waits inside a try must end at once
// when the check cycle's CancelHandle is cancelled. A pass that checks several hosts at once
// gets a probe per concurrent check, so a probe is never used by two threads at once.
class Probe {
public:
    virtual ~Probe() = default;

    // One try at the target, whatever its kind. May throw: tryProbe() below counts an
    // exception as a failed try carrying its message.
    virtual ProbeOutcome tryTarget(const ProbeTarget& target) = 0;

    // Told before every pass whether other probes run beside this one.
    virtual void setConcurrent(bool concurrent) { (void)concurrent; }
};

// Makes a probe per concurrent check, watching the given cancel handle; called on the checking
// thread.
using ProbeFactory = std::function<std::unique_ptr<Probe>(const CancelHandle&)>;

// One try that never throws. A target with an error fails at once with that text, without the
// probe. An exception fails the try with its message ("unknown error"
// when it is no std::exception). An answering try whose probe gave no round trip gets the
// time the try took.
ProbeOutcome tryProbe(Probe& probe, const ProbeTarget& target);

}  // namespace hv
