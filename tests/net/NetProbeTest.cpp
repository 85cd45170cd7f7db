// The real probes behind the one probe interface: the kind of a target picks the probe, the
// target carries the port and the address family.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "NetTestSupport.h"
#include "net/ConnectProbe.h"
#include "net/EchoProbe.h"
#include "net/NetProbe.h"
#include "platform/CancelHandle.h"

using namespace hv;
using hvtest::icmpTarget;
using hvtest::loopbackAddress;
using hvtest::tcpTarget;

using hvtest::canEcho;

namespace {

// A listener on address at a port the system picks (no root needed).
struct Listener {
    explicit Listener(const std::string& address) {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        ::inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
        socklen_t len = sizeof sa;
        if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0 ||
            ::listen(fd, 8) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0)
            return;
        port = ntohs(sa.sin_port);
    }
    ~Listener() {
        if (fd >= 0) ::close(fd);
    }
    // A connection waits to be accepted.
    bool connected() const {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, 5000) == 1;
    }
    int fd = -1;
    int port = 0;
};

const std::string kRefused = "Socket Error # 10061\r\nConnection refused.";

}  // namespace

TEST(NetProbe, TheConnectProbeOpensTheTargetsPort) {
    const std::string host = loopbackAddress(20);
    Listener server(host);
    ASSERT_GT(server.port, 0);
    CancelHandle cancel;
    ConnectProbe probe(cancel);
    const ProbeOutcome open = probe.tryTarget(tcpTarget(host, server.port));
    EXPECT_TRUE(open.alive) << open.error;
    EXPECT_TRUE(server.connected());
    // Nothing listens on the next port of this test's own address.
    const ProbeOutcome next = probe.tryTarget(tcpTarget(host, server.port + 1));
    EXPECT_FALSE(next.alive);
    EXPECT_EQ(next.error, kRefused);
}

TEST(NetProbe, EachKindGoesToItsOwnProbe) {
    const std::string host = loopbackAddress(21);
    Listener server(host);
    ASSERT_GT(server.port, 0);
    CancelHandle cancel;
    const std::unique_ptr<Probe> probe = makeNetProbe(cancel);
    const ProbeOutcome tcp = probe->tryTarget(tcpTarget(host, server.port));
    EXPECT_TRUE(tcp.alive) << tcp.error;
    EXPECT_TRUE(server.connected());
    EXPECT_EQ(probe->tryTarget(tcpTarget(host, server.port + 1)).error, kRefused);
    // The echo goes to the host, whatever the target's port.
    ProbeTarget echo = icmpTarget(host);
    echo.port = server.port + 1;
    const ProbeOutcome icmp = probe->tryTarget(echo);
    EXPECT_NE(icmp.error, kRefused);
    if (canEcho()) {
        EXPECT_TRUE(icmp.alive) << icmp.error;
    }
    // A blank address has no probe: the try fails without a word.
    const ProbeOutcome skip = probe->tryTarget({ProbeKind::Skip, host});
    EXPECT_FALSE(skip.alive);
    EXPECT_TRUE(skip.error.empty());
}

// IPv6 targets reach the network through each probe and through the net probe: ::1 answers
// an echo, and a connect to a port nobody listens on there is refused by the IPv6 stack.
TEST(NetProbe, Ipv6TargetsGoOutOverIpv6) {
    if (!canEcho()) GTEST_SKIP() << "skipped: no ICMP socket for this user";
    CancelHandle cancel;
    EchoProbe echo(cancel);
    ConnectProbe connect(cancel);
    const std::unique_ptr<Probe> net = makeNetProbe(cancel);
    const struct {
        const char* name;
        Probe& probe;
        ProbeTarget target;
        bool alive;
    } cases[] = {
        {"echo", echo, icmpTarget("::1"), true},
        {"connect", connect, tcpTarget("::1", 9), false},
        {"net, icmp", *net, icmpTarget("::1"), true},
        {"net, tcp", *net, tcpTarget("::1", 9), false},
    };
    for (const auto& c : cases) {
        ProbeTarget target = c.target;
        target.family = AddressFamily::IPv6;
        const ProbeOutcome o = c.probe.tryTarget(target);
        EXPECT_EQ(o.alive, c.alive) << c.name << ": " << o.error;
        EXPECT_EQ(o.address, "::1") << c.name;
        if (!c.alive) {
            EXPECT_EQ(o.error, "Socket Error # 10061\r\nConnection refused.") << c.name;
        }
    }
    EXPECT_FALSE(echo.icmpClient().socketAllocated());
    EXPECT_FALSE(connect.tcpClient().isConnected());
}
