#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "NetNamespace.h"
#include "NetTestSupport.h"
#include "net/EIdException.h"
#include "net/NetProbes.h"
#include "net/TIdIcmpClient.h"
#include "net/TIdStack.h"
#include "platform/CancelHandle.h"

using namespace hv;
using hvtest::Clock;
using hvtest::loopbackAddress;
using hvtest::msSince;
using hvtest::NetNamespace;

namespace {

bool canEcho() {
    for (int type : {SOCK_RAW, SOCK_DGRAM}) {
        const int fd = ::socket(AF_INET, type, IPPROTO_ICMP);
        if (fd >= 0) {
            ::close(fd);
            return true;
        }
    }
    return false;
}

// Sees every ICMP message of this network namespace, as a capture would.
class RawListener {
public:
    RawListener() : m_fd(::socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK, IPPROTO_ICMP)) {}
    ~RawListener() {
        if (m_fd >= 0) ::close(m_fd);
    }
    bool ok() const { return m_fd >= 0; }

    struct Request {
        std::vector<std::uint8_t> icmp;
        std::string destination;
    };
    // The echo requests with identifier id queued so far (bounded: at most 1000 datagrams).
    std::vector<Request> requests(std::uint16_t id) {
        std::vector<Request> out;
        std::uint8_t buf[2048];
        for (int i = 0; i < 1000; ++i) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 200) <= 0) break;
            const ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
            if (n <= 0) break;
            const int h = 4 * (buf[0] & 0xF);
            if (n < h + 8 || buf[h] != 8) continue;
            if ((buf[h + 4] | (buf[h + 5] << 8)) != id) continue;
            out.push_back({std::vector<std::uint8_t>(buf + h, buf + n),
                           TIdStack::DottedFromAddr({buf[16], buf[17], buf[18], buf[19]})});
        }
        return out;
    }

private:
    int m_fd;
};

// Fails every lookup of a name, so a test can make an echo fail before its socket exists.
struct FailingResolver {
    FailingResolver() {
        TIdStack::SetResolver([](const std::string&) { return ResolveResult{"", 11001}; });
    }
    ~FailingResolver() { TIdStack::SetResolver({}); }
};

#define SKIP_WITHOUT_NAMESPACES()                                             \
    do {                                                                      \
        const QString why = NetNamespace::unavailableReason();                \
        if (!why.isEmpty()) GTEST_SKIP() << "skipped: " << why.toStdString(); \
    } while (0)

}  // namespace

TEST(IcmpEcho, LoopbackAddressesAnswer) {
    if (!canEcho()) GTEST_SKIP() << "skipped: neither raw nor ICMP datagram sockets are allowed";
    CancelHandle cancel;
    NetProbes probes(cancel);
    for (const std::string& host : {std::string("127.0.0.1"), loopbackAddress(1),
                                    std::string("localhost"), std::string("LOCALHOST")}) {
        EXPECT_TRUE(probes.icmpTry(host)) << host << ": " << probes.lastError();
        const TReplyStatus& r = probes.IdIcmpClient1().ReplyStatus();
        EXPECT_EQ(r.Outcome, TReplyOutcome::roEchoReply);
        EXPECT_EQ(r.IcmpType, 0);
        EXPECT_GT(r.ReplyTtl, 0);
        EXPECT_GE(r.ByteCount, 20 + 52);
        // The socket is shut at the end of every completed echo.
        EXPECT_FALSE(probes.IdIcmpClient1().SocketAllocated());
    }
    EXPECT_EQ(probes.IdIcmpClient1().ReplyStatus().SourceAddress, "127.0.0.1");
    EXPECT_EQ(probes.IdIcmpClient1().EchoSequence, 3489 + 4);
}

TEST(IcmpEcho, SequenceNumbersOnTheWireAndKeptAfterAnError) {
    RawListener listener;
    if (!listener.ok()) GTEST_SKIP() << "skipped: a raw listener needs CAP_NET_RAW";
    const std::string target = loopbackAddress(2);
    TIdIcmpClient client;
    client.ReceiveTimeout = 2500;
    std::vector<bool> replies;
    client.OnReply = [&](TIdIcmpClient&, const TReplyStatus& r) {
        replies.push_back(NetProbes::ReplyMeansAlive(r));
    };
    client.Host = target;
    client.RunEcho("", 0);
    client.RunEcho("", 0);
    {
        FailingResolver failing;
        client.Host = "no-such-host";
        EXPECT_THROW(client.RunEcho("", 0), EIdSocketError);
    }
    EXPECT_FALSE(client.SocketAllocated());  // resolving comes before the socket
    EXPECT_EQ(client.EchoSequence, 3491);
    client.Host = target;
    client.RunEcho("", 0);
    EXPECT_EQ(replies, (std::vector<bool>{true, true, true}));

    const auto seen = listener.requests(client.Identifier());
    std::vector<int> sequences;
    for (const auto& r : seen) {
        if (r.destination != target) continue;
        sequences.push_back(r.icmp[6] | (r.icmp[7] << 8));
        ASSERT_EQ(r.icmp.size(), 52u);
        EXPECT_EQ(TIdIcmpClient::Checksum(r.icmp.data(), r.icmp.size()), 0);
        EXPECT_EQ(std::string(r.icmp.begin() + 20, r.icmp.end()), std::string(32, 'E'));
    }
    EXPECT_EQ(sequences, (std::vector<int>{3489, 3490, 3491}));
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front().icmp[6], 0xA1);
    EXPECT_EQ(seen.front().icmp[7], 0x0D);
}

TEST(IcmpEcho, SilentLoopbackTimesOutThoughOurRequestComesBack) {
    SKIP_WITHOUT_NAMESPACES();
    NetNamespace ns("q");
    ASSERT_TRUE(ns.ok());
    ASSERT_TRUE(ns.sysctl("net.ipv4.icmp_echo_ignore_all=1"));
    ns.run([] {
        RawListener listener;
        ASSERT_TRUE(listener.ok());
        CancelHandle cancel;
        NetProbes probes(cancel);
        const auto t = Clock::now();
        EXPECT_FALSE(probes.icmpTry("127.0.0.1"));
        const long took = msSince(t);
        const TReplyStatus& r = probes.IdIcmpClient1().ReplyStatus();
        EXPECT_EQ(r.Outcome, TReplyOutcome::roTimedOut);
        EXPECT_EQ(r.SourceAddress, "0.0.0.0");
        EXPECT_EQ(r.ReplyTtl, 0);
        EXPECT_EQ(r.ByteCount, 0);
        EXPECT_EQ(r.SeqNumber, 3489);
        EXPECT_GE(took, 2400);
        EXPECT_LT(took, 10000);
        EXPECT_GE(r.RoundTripMs, 2400u);
        // The request did reach the raw socket side: it was skipped, not missed.
        EXPECT_EQ(listener.requests(probes.IdIcmpClient1().Identifier()).size(), 1u);
    });
}

TEST(IcmpEcho, CancelEndsTheWaitAtOnce) {
    SKIP_WITHOUT_NAMESPACES();
    NetNamespace ns("c");
    ASSERT_TRUE(ns.ok());
    ASSERT_TRUE(ns.sysctl("net.ipv4.icmp_echo_ignore_all=1"));
    ns.run([] {
        CancelHandle cancel;
        NetProbes probes(cancel);
        probes.IdIcmpClient1().ReceiveTimeout = 60000;
        std::thread quit([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            cancel.cancel();
        });
        const auto t = Clock::now();
        EXPECT_FALSE(probes.icmpTry("127.0.0.1"));
        quit.join();
        EXPECT_LT(msSince(t), 30000);
        EXPECT_EQ(probes.lastError(), "Operation cancelled.");
    });
}

TEST(IcmpEcho, SendFailureKeepsSequenceAndSocketForTheNextEcho) {
    SKIP_WITHOUT_NAMESPACES();
    NetNamespace ns("s");  // only its loopback: 198.51.100.9 has no route
    ASSERT_TRUE(ns.ok());
    ns.run([] {
        TIdIcmpClient client;
        client.ReceiveTimeout = 2500;
        int replies = 0;
        client.OnReply = [&](TIdIcmpClient&, const TReplyStatus&) { ++replies; };
        client.Host = "198.51.100.9";
        try {
            client.RunEcho("", 0);
            ADD_FAILURE() << "sent without a route";
        } catch (const EIdSocketError& e) {
            EXPECT_EQ(e.code(), 10051);
            EXPECT_EQ(e.message(), "Socket Error # 10051\r\nNetwork is unreachable.");
        }
        EXPECT_EQ(replies, 0);
        EXPECT_EQ(client.EchoSequence, 3489);
        EXPECT_TRUE(client.SocketAllocated());

        client.Host = "127.0.0.1";
        client.RunEcho("", 0);
        EXPECT_EQ(replies, 1);
        EXPECT_EQ(client.ReplyStatus().SeqNumber, 3489);
        EXPECT_TRUE(NetProbes::ReplyMeansAlive(client.ReplyStatus()));
        EXPECT_EQ(client.EchoSequence, 3490);
        EXPECT_FALSE(client.SocketAllocated());
    });
}

// The probe in namespace a (198.51.100.1); b (198.51.100.2) answers echoes and routes
// 198.51.100.128/25: .128-.191 back towards a (so a TTL of 1 expires at b), .192-.255 nowhere.
class RoutedEcho : public ::testing::Test {
protected:
    void SetUp() override {
        const QString why = NetNamespace::unavailableReason();
        if (!why.isEmpty()) GTEST_SKIP() << "skipped: " << why.toStdString();
        a = std::make_unique<NetNamespace>("a");
        b = std::make_unique<NetNamespace>("b");
        ASSERT_TRUE(a->ok() && b->ok());
        ASSERT_TRUE(NetNamespace::link(*a, *b));
        ASSERT_TRUE(a->ip({"route", "add", "198.51.100.128/25", "via", "198.51.100.2"}));
        ASSERT_TRUE(b->sysctl("net.ipv4.ip_forward=1"));
        ASSERT_TRUE(b->ip({"route", "add", "198.51.100.128/26", "via", "198.51.100.1"}));
        ASSERT_TRUE(b->ip({"route", "add", "unreachable", "198.51.100.192/26"}));
    }

    struct Outcome {
        bool alive = false;
        TReplyStatus reply;
        bool datagram = false;
        std::string error;
    };
    Outcome echo(const std::string& host, int ttl, bool dropRaw) {
        Outcome out;
        a->run(
            [&] {
                CancelHandle cancel;
                NetProbes probes(cancel);
                probes.IdIcmpClient1().TTL = ttl;
                out.alive = probes.icmpTry(host);
                out.reply = probes.IdIcmpClient1().ReplyStatus();
                out.datagram = probes.IdIcmpClient1().UsesDatagramSocket();
                out.error = probes.lastError();
            },
            dropRaw);
        return out;
    }

    void expectAnswers(bool dropRaw) {
        const Outcome up = echo("198.51.100.2", 128, dropRaw);
        EXPECT_TRUE(up.alive) << up.error;
        EXPECT_EQ(up.datagram, dropRaw);
        EXPECT_EQ(up.reply.SourceAddress, "198.51.100.2");
        EXPECT_EQ(up.reply.Outcome, TReplyOutcome::roEchoReply);
        EXPECT_GT(up.reply.ReplyTtl, 0);

        // A router's answer about our request ends the try at once, as failed.
        const Outcome unreachable = echo("198.51.100.200", 128, dropRaw);
        EXPECT_FALSE(unreachable.alive);
        EXPECT_EQ(unreachable.reply.Outcome, TReplyOutcome::roUnreachable);
        EXPECT_EQ(unreachable.reply.IcmpType, 3);
        EXPECT_EQ(unreachable.reply.SourceAddress, "198.51.100.2");
        EXPECT_LT(unreachable.reply.RoundTripMs, 2400u);

        const Outcome expired = echo("198.51.100.130", 1, dropRaw);
        EXPECT_FALSE(expired.alive);
        EXPECT_EQ(expired.reply.Outcome, TReplyOutcome::roTtlExpired);
        EXPECT_EQ(expired.reply.IcmpType, 11);
        EXPECT_EQ(expired.reply.SourceAddress, "198.51.100.2");
        EXPECT_LT(expired.reply.RoundTripMs, 2400u);
    }

    std::unique_ptr<NetNamespace> a, b;
};

TEST_F(RoutedEcho, RawSocketUpUnreachableAndExpired) { expectAnswers(false); }

TEST_F(RoutedEcho, DatagramSocketWithoutRawCapability) {
    ASSERT_TRUE(a->sysctl("net.ipv4.ping_group_range=0 2147483647"));
    expectAnswers(true);
}

TEST_F(RoutedEcho, NeitherSocketAllowedCannotAllocate) {
    ASSERT_TRUE(a->sysctl("net.ipv4.ping_group_range=1 0"));
    const Outcome refused = echo("198.51.100.2", 128, true);
    EXPECT_FALSE(refused.alive);
    EXPECT_EQ(refused.error, "Cannot allocate socket.");
}
