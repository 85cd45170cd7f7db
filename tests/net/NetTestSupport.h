#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "checking/ProbeKinds.h"

namespace hvtest {

// This machine lets us open an ICMP socket, raw or datagram.
inline bool canEcho() {
    for (int type : {SOCK_RAW, SOCK_DGRAM}) {
        const int fd = ::socket(AF_INET, type, IPPROTO_ICMP);
        if (fd >= 0) {
            ::close(fd);
            return true;
        }
    }
    return false;
}

using Clock = std::chrono::steady_clock;

inline long msSince(Clock::time_point t) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

// A 127.x address of this test process, so parallel runs never see each other's echoes or
// meet on port 80.
inline std::string loopbackAddress(int last) {
    const int pid = static_cast<int>(getpid());
    return "127." + std::to_string(100 + pid % 100) + "." + std::to_string((pid / 100) % 250) +
           "." + std::to_string(last);
}

// Targets as an address of each form gives them: a name or dotted address to echo, and a
// web server's name to connect to (on port 80, as the http: form says).
inline hv::ProbeTarget icmpTarget(const std::string& host) {
    return {hv::ProbeKind::Icmp, host, hv::AddressFamily::IPv4, 0};
}
inline hv::ProbeTarget tcpTarget(const std::string& host, int port = 80) {
    return {hv::ProbeKind::Tcp, host, hv::AddressFamily::IPv4, port};
}

}  // namespace hvtest
