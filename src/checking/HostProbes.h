#pragma once

#include <string>

namespace hv {

// The two probes the check cycle calls, one try at a time, on the checking thread. A try
// returns the host's HostAlive for that try; any exception counts as a failed try. Waits
// inside a try must end at once when the check cycle's CancelHandle is cancelled.
class HostProbes {
public:
    virtual ~HostProbes() = default;
    // ICMP echo to a dotted address or name: set Host, RunEcho("", 0), and the reply handler's
    // success rule.
    virtual bool icmpTry(const std::string& host) = 0;
    // TCP connect to port 80: set Host, OpenConnection(5000) (an error fails the try), then
    // IsConnected and CloseConnection.
    virtual bool tcpTry(const std::string& host) = 0;
};

}  // namespace hv
