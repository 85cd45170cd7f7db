#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "NetNamespace.h"
#include "NetTestSupport.h"
#include "checking/AddressKind.h"
#include "net/ConnectProbe.h"
#include "net/NetError.h"
#include "net/SocketStack.h"
#include "platform/CancelHandle.h"

using namespace hv;
using hvtest::Clock;
using hvtest::loopbackAddress;
using hvtest::msSince;
using hvtest::tcpTarget;

namespace {

sockaddr_in addressOf(const std::string& dotted, int port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET, dotted.c_str(), &sa.sin_addr);
    return sa;
}

// A listening socket on address:80; -1 when port 80 is out of reach for this user.
int listenOn(const std::string& address, int backlog) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in sa = addressOf(address, 80);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0 ||
        ::listen(fd, backlog) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool canBindPort80() {
    const int fd = listenOn(loopbackAddress(250), 1);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

#define SKIP_WITHOUT_PORT_80() \
    if (!canBindPort80()) GTEST_SKIP() << "skipped: cannot listen on port 80 (needs root)"

struct Fd {
    int fd;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

TEST(TcpConnect, ListenerSeesAConnectionOpenedAndClosedWithoutData) {
    SKIP_WITHOUT_PORT_80();
    const std::string host = loopbackAddress(1);
    Fd server{listenOn(host, 8)};
    ASSERT_GE(server.fd, 0);

    CancelHandle cancel;
    ConnectProbe probe(cancel);
    const ProbeOutcome o = probe.tryTarget(tcpTarget(host));
    EXPECT_TRUE(o.alive) << o.error;
    EXPECT_EQ(probe.tcpClient().ioHandler(), nullptr);  // freed by the close

    pollfd p{server.fd, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 5000), 1);
    Fd conn{::accept(server.fd, nullptr, nullptr)};
    ASSERT_GE(conn.fd, 0);
    pollfd c{conn.fd, POLLIN, 0};
    ASSERT_EQ(::poll(&c, 1, 5000), 1);
    char buf[16];
    EXPECT_EQ(::recv(conn.fd, buf, sizeof buf, 0), 0) << "the probe sent data";
}

// A socket on address (IPv4 dotted or IPv6) at a port the system picks, listening or not.
struct AnyPortSocket {
    Fd fd{-1};
    int port = 0;
    AnyPortSocket(const std::string& address, bool listening) {
        sockaddr_storage ss{};
        socklen_t len = 0;
        const bool v6 = address.find(':') != std::string::npos;
        if (v6) {
            auto& sa = reinterpret_cast<sockaddr_in6&>(ss);
            sa.sin6_family = AF_INET6;
            ::inet_pton(AF_INET6, address.c_str(), &sa.sin6_addr);
            len = sizeof sa;
        } else {
            auto& sa = reinterpret_cast<sockaddr_in&>(ss);
            sa.sin_family = AF_INET;
            ::inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
            len = sizeof sa;
        }
        fd.fd = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::bind(fd.fd, reinterpret_cast<const sockaddr*>(&ss), len) != 0 ||
            (listening && ::listen(fd.fd, 8) != 0) ||
            ::getsockname(fd.fd, reinterpret_cast<sockaddr*>(&ss), &len) != 0)
            return;
        port = ntohs(v6 ? reinterpret_cast<sockaddr_in6&>(ss).sin6_port
                        : reinterpret_cast<sockaddr_in&>(ss).sin_port);
    }
};

// The listener saw one connection, opened and closed without a byte.
void expectOneSilentConnection(int listener, const std::string& address) {
    pollfd p{listener, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 5000), 1) << address;
    Fd conn{::accept(listener, nullptr, nullptr)};
    ASSERT_GE(conn.fd, 0) << address;
    pollfd c{conn.fd, POLLIN, 0};
    ASSERT_EQ(::poll(&c, 1, 5000), 1) << address;
    char buf[16];
    EXPECT_EQ(::recv(conn.fd, buf, sizeof buf, 0), 0) << address << ": the probe sent data";
}

// Any port, over IPv4 and IPv6, in each address form that names a port; the outcome tells the
// address the try went to.
TEST(TcpConnect, AnyPortOverIpv4AndIpv6) {
    AnyPortSocket v4("127.0.0.1", true);
    AnyPortSocket v6("::1", true);
    AnyPortSocket closed6("::1", false);  // holds a port nobody listens on
    if (v6.port == 0) GTEST_SKIP() << "skipped: no ::1 on this machine";
    ASSERT_NE(v4.port, 0);
    ASSERT_NE(closed6.port, 0);
    const std::string p4 = std::to_string(v4.port);
    const std::string p6 = std::to_string(v6.port);
    const struct {
        std::string address;
        int listener;  // -1: refused
        const char* checked;
    } cases[] = {
        {"tcp://127.0.0.1:" + p4, v4.fd.fd, "127.0.0.1"},
        {"https://localhost:" + p4 + "/", v4.fd.fd, "127.0.0.1"},
        {"tcp://[::1]:" + p6, v6.fd.fd, "::1"},
        {"http://[::1]:" + p6 + "/status", v6.fd.fd, "::1"},
        {"tcp://[::1]:" + std::to_string(closed6.port), -1, "::1"},
        {"tcp://127.0.0.1:" + p6, -1, "127.0.0.1"},  // ::1 only: not on IPv4
    };
    CancelHandle cancel;
    ConnectProbe probe(cancel);
    for (const auto& c : cases) {
        const ProbeTarget target = classifyAddress(QString::fromStdString(c.address));
        ASSERT_EQ(target.error, "") << c.address;
        const ProbeOutcome o = probe.tryTarget(target);
        EXPECT_EQ(o.alive, c.listener >= 0) << c.address << ": " << o.error;
        EXPECT_EQ(o.address, c.checked) << c.address;
        EXPECT_FALSE(probe.tcpClient().isConnected()) << c.address;
        if (c.listener >= 0) {
            expectOneSilentConnection(c.listener, c.address);
        } else {
            EXPECT_EQ(o.error, "Socket Error # 10061\r\nConnection refused.") << c.address;
        }
    }
}

TEST(TcpConnect, ClosedPortIsRefusedOnBothTries) {
    const std::string host = loopbackAddress(2);  // nothing listens there
    // The http: form's target: the whole host text, port 80.
    const ProbeTarget target = classifyAddress(QString::fromStdString("http://" + host));
    TcpClient http;
    http.host = target.host;
    http.port = target.port;
    EXPECT_EQ(http.port, 80);
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            http.openConnection(5000);
            ADD_FAILURE() << "connected to a closed port";
        } catch (const ConnectError& e) {
            EXPECT_EQ(e.message(), "Socket Error # 10061\r\nConnection refused.");
        }
        EXPECT_FALSE(http.isConnected());
        // The handler survives a failed open and is reused by the next one.
        EXPECT_NE(http.ioHandler(), nullptr);
    }

    CancelHandle cancel;
    ConnectProbe probe(cancel);
    EXPECT_FALSE(probe.tryTarget(tcpTarget(host)).alive);
    const ProbeOutcome second = probe.tryTarget(tcpTarget(host));
    EXPECT_FALSE(second.alive);
    EXPECT_EQ(second.error, "Socket Error # 10061\r\nConnection refused.");
}

TEST(TcpConnect, HandlerReusedAfterFailureAndRenewedAfterSuccess) {
    SKIP_WITHOUT_PORT_80();
    const std::string up = loopbackAddress(3);
    Fd server{listenOn(up, 8)};
    ASSERT_GE(server.fd, 0);
    TcpClient http;
    http.port = 80;
    http.host = loopbackAddress(4);  // closed
    EXPECT_THROW(http.openConnection(5000), ConnectError);
    SocketIoHandler* kept = http.ioHandler();
    ASSERT_NE(kept, nullptr);
    http.host = up;
    http.openConnection(5000);
    EXPECT_EQ(http.ioHandler(), kept);
    EXPECT_TRUE(http.isConnected());
    EXPECT_EQ(http.ioHandler()->binding->peerAddress, up);
    EXPECT_EQ(http.ioHandler()->binding->peerPort, 80);
    EXPECT_THROW(http.openConnection(5000), AlreadyConnectedError);
    EXPECT_TRUE(http.isConnected());
    http.closeConnection();
    EXPECT_EQ(http.ioHandler(), nullptr);
    EXPECT_FALSE(http.isConnected());
    // The blocking form (no time-out) connects too.
    http.openConnection(0);
    EXPECT_TRUE(http.isConnected());
    http.closeConnection();
}

// A listener with listen(0) whose one queue place is taken and that never accepts drops every
// further SYN: the connect neither succeeds nor is refused.
class SilentHost : public ::testing::Test {
protected:
    void SetUp() override {
        if (!canBindPort80()) GTEST_SKIP() << "skipped: cannot listen on port 80 (needs root)";
        host = loopbackAddress(5);
        server.fd = listenOn(host, 0);
        ASSERT_GE(server.fd, 0);
        for (int i = 0; i < 3; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            const sockaddr_in sa = addressOf(host, 80);
            ::connect(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
            fillers.push_back(fd);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    void TearDown() override {
        for (int fd : fillers) ::close(fd);
    }
    std::string host;
    Fd server{-1};
    std::vector<int> fillers;
};

TEST_F(SilentHost, ConnectTimesOutAfterTheLimit) {
    TcpClient http;
    http.host = host;
    http.port = 80;
    const auto t = Clock::now();
    try {
        http.openConnection(5000);
        ADD_FAILURE() << "connected to a full backlog";
    } catch (const ConnectTimeoutError& e) {
        EXPECT_EQ(e.message(), "Connect timed out.");
    }
    const long took = msSince(t);
    EXPECT_GE(took, 4900);
    EXPECT_LT(took, 15000);
    EXPECT_FALSE(http.isConnected());
}

TEST_F(SilentHost, ProbeGivesUpAfterItsOwnFiveSeconds) {
    CancelHandle cancel;
    ConnectProbe probe(cancel);
    const auto t = Clock::now();
    const ProbeOutcome o = probe.tryTarget(tcpTarget(host));
    EXPECT_FALSE(o.alive);
    const long took = msSince(t);
    EXPECT_EQ(o.error, "Connect timed out.");
    EXPECT_GE(took, 4500);
    EXPECT_LT(took, 9000);
}

TEST_F(SilentHost, CancelEndsTheConnectWaitAtOnce) {
    CancelHandle cancel;
    ConnectProbe probe(cancel);
    std::thread quit([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        cancel.cancel();
    });
    const auto t = Clock::now();
    const ProbeOutcome o = probe.tryTarget(tcpTarget(host));
    EXPECT_FALSE(o.alive);
    quit.join();
    EXPECT_LT(msSince(t), 4000);
    EXPECT_EQ(o.error, "Operation cancelled.");
    EXPECT_FALSE(probe.tcpClient().isConnected());
}

TEST(TcpConnect, HostTextGoesWholeToTheNameService) {
    // The name service runs on a lookup thread of its own.
    std::mutex lock;
    std::vector<std::string> asked;
    SocketStack::setResolver([&](const std::string& name, int) {
        std::lock_guard guard(lock);
        asked.push_back(name);
        return ResolveResult{"", 11001};
    });
    CancelHandle cancel;
    ConnectProbe probe(cancel);
    const ProbeOutcome o = probe.tryTarget(tcpTarget("name:8080"));
    EXPECT_FALSE(o.alive);
    EXPECT_EQ(o.error, "Socket Error # 11001\r\nHost not found.");
    EXPECT_FALSE(probe.tryTarget(tcpTarget("name/dir")).alive);
    SocketStack::setResolver({});
    std::lock_guard guard(lock);
    EXPECT_EQ(asked, (std::vector<std::string>{"name:8080", "name/dir"}));
    EXPECT_EQ(probe.tcpClient().port, 80);
}

TEST(TcpConnect, QuickProbesDoNotRunOutOfLocalPorts) {
    const QString why = hvtest::NetNamespace::unavailableReason();
    if (!why.isEmpty()) GTEST_SKIP() << "skipped: " << why.toStdString();
    // Two local ports for the whole namespace: each probe leaves its port in TIME_WAIT, and a
    // port bound before connect would be held for every destination.
    hvtest::NetNamespace ns("p");
    ASSERT_TRUE(ns.ok());
    ASSERT_TRUE(ns.sysctl("net.ipv4.ip_local_port_range=40000 40001"));
    ns.run([] {
        std::vector<std::unique_ptr<Fd>> servers;
        for (int i = 1; i <= 6; ++i) {
            servers.push_back(std::make_unique<Fd>(Fd{-1}));
            servers.back()->fd = listenOn("127.0.0." + std::to_string(i), 8);
            ASSERT_GE(servers.back()->fd, 0);
        }
        CancelHandle cancel;
        ConnectProbe probe(cancel);
        for (int i = 1; i <= 6; ++i) {
            const std::string host = "127.0.0." + std::to_string(i);
            const ProbeOutcome o = probe.tryTarget(tcpTarget(host));
            EXPECT_TRUE(o.alive) << host << ": " << o.error;
        }
    });
}
