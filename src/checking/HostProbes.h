#pragma once

#include <cstdint>
#include <string>

#include "checking/AddressKind.h"

namespace hv {

// One try's outcome: whether the host answered and, when it did, the round trip in ms.
struct ProbeOutcome {
    bool alive = false;
    std::int64_t roundTripMs = -1;  // -1 when the host did not answer
    std::string error;              // why the try failed, when the probe said; UTF-8
};

// One probe set: the probes one check at a time calls, one try at a time, on one thread. A try
// returns the host's HostAlive for that try; any exception counts as a failed try. Waits
// inside a try must end at once when the check cycle's CancelHandle is cancelled. A pass that
// checks several hosts at once gets one set per concurrent check, so a set is never used by
// two threads at once.
class HostProbes {
public:
    virtual ~HostProbes() = default;
    // ICMP echo to a dotted address or name: set Host, RunEcho("", 0), and the reply handler's
    // success rule.
    virtual bool icmpTry(const std::string& host) = 0;
    // TCP connect to port 80: set Host, OpenConnection(5000) (an error fails the try), then
    // IsConnected and CloseConnection.
    virtual bool tcpTry(const std::string& host) = 0;

    // The message of the error that failed the last try, empty when it did not fail or the
    // probe gives none.
    virtual std::string lastError() const { return {}; }

    // Told before every pass whether other sets probe beside this one.
    virtual void setConcurrent(bool concurrent) { (void)concurrent; }

    // The one dispatch point: one try of the probe the target's kind names. Never throws: an
    // error fails the try. A new probe kind is a new try above and one line here.
    ProbeOutcome tryTarget(const ProbeTarget& target);
};

}  // namespace hv
