#include <arpa/inet.h>
#include <linux/capability.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "NetNamespace.h"
#include "NetTestSupport.h"
#include "checking/Probe.h"
#include "net/EchoProbe.h"
#include "net/IcmpClient.h"
#include "net/NetError.h"
#include "net/RawSocketHelper.h"
#include "net/SocketStack.h"
#include "platform/CancelHandle.h"

using namespace hv;
using hvtest::Clock;
using hvtest::icmpTarget;
using hvtest::loopbackAddress;
using hvtest::msSince;
using hvtest::NetNamespace;

using hvtest::canEcho;

namespace {

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
                           SocketStack::dottedFromAddr({buf[16], buf[17], buf[18], buf[19]})});
        }
        return out;
    }

private:
    int m_fd;
};

// Fails every lookup of a name, so a test can make an echo fail before its socket exists.
struct FailingResolver {
    FailingResolver() {
        SocketStack::setResolver([](const std::string&, int) { return ResolveResult{"", 11001}; });
    }
    ~FailingResolver() { SocketStack::setResolver({}); }
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
    EchoProbe probe(cancel);
    for (const std::string& host : {std::string("127.0.0.1"), loopbackAddress(1),
                                    std::string("localhost"), std::string("LOCALHOST")}) {
        const ProbeOutcome o = probe.tryTarget(icmpTarget(host));
        EXPECT_TRUE(o.alive) << host << ": " << o.error;
        const ReplyStatus& r = probe.icmpClient().replyStatus();
        EXPECT_EQ(r.outcome, ReplyOutcome::EchoReply);
        EXPECT_EQ(r.icmpType, 0);
        EXPECT_GT(r.replyTtl, 0);
        EXPECT_GE(r.byteCount, 20 + 52);
        // The socket is shut at the end of every completed echo.
        EXPECT_FALSE(probe.icmpClient().socketAllocated());
    }
    EXPECT_EQ(probe.icmpClient().replyStatus().sourceAddress, "127.0.0.1");
    EXPECT_EQ(probe.icmpClient().echoSequence, 3489 + 4);
}

TEST(IcmpEcho, SequenceNumbersOnTheWireAndKeptAfterAnError) {
    RawListener listener;
    if (!listener.ok()) GTEST_SKIP() << "skipped: a raw listener needs CAP_NET_RAW";
    const std::string target = loopbackAddress(2);
    IcmpClient client;
    client.receiveTimeout = 2500;
    std::vector<bool> replies;
    client.onReply = [&](IcmpClient&, const ReplyStatus& r) {
        replies.push_back(EchoProbe::replyMeansAlive(r));
    };
    client.host = target;
    client.runEcho("", 0);
    client.runEcho("", 0);
    {
        FailingResolver failing;
        client.host = "no-such-host";
        EXPECT_THROW(client.runEcho("", 0), SocketError);
    }
    EXPECT_FALSE(client.socketAllocated());  // resolving comes before the socket
    EXPECT_EQ(client.echoSequence, 3491);
    client.host = target;
    client.runEcho("", 0);
    EXPECT_EQ(replies, (std::vector<bool>{true, true, true}));

    const auto seen = listener.requests(client.identifier());
    std::vector<int> sequences;
    for (const auto& r : seen) {
        if (r.destination != target) continue;
        sequences.push_back(r.icmp[6] | (r.icmp[7] << 8));
        ASSERT_EQ(r.icmp.size(), 52u);
        EXPECT_EQ(IcmpClient::checksum(r.icmp.data(), r.icmp.size()), 0);
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
        EchoProbe probe(cancel);
        const auto t = Clock::now();
        EXPECT_FALSE(probe.tryTarget(icmpTarget("127.0.0.1")).alive);
        const long took = msSince(t);
        const ReplyStatus& r = probe.icmpClient().replyStatus();
        EXPECT_EQ(r.outcome, ReplyOutcome::TimedOut);
        EXPECT_EQ(r.sourceAddress, "0.0.0.0");
        EXPECT_EQ(r.replyTtl, 0);
        EXPECT_EQ(r.byteCount, 0);
        EXPECT_EQ(r.seqNumber, 3489);
        EXPECT_GE(took, 2400);
        EXPECT_LT(took, 10000);
        EXPECT_GE(r.roundTripMs, 2400u);
        // The request did reach the raw socket side: it was skipped, not missed.
        EXPECT_EQ(listener.requests(probe.icmpClient().identifier()).size(), 1u);
    });
}

TEST(IcmpEcho, CancelEndsTheWaitAtOnce) {
    SKIP_WITHOUT_NAMESPACES();
    NetNamespace ns("c");
    ASSERT_TRUE(ns.ok());
    ASSERT_TRUE(ns.sysctl("net.ipv4.icmp_echo_ignore_all=1"));
    ns.run([] {
        CancelHandle cancel;
        EchoProbe probe(cancel);
        probe.icmpClient().receiveTimeout = 60000;
        std::thread quit([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            cancel.cancel();
        });
        const auto t = Clock::now();
        const ProbeOutcome o = probe.tryTarget(icmpTarget("127.0.0.1"));
        quit.join();
        EXPECT_FALSE(o.alive);
        EXPECT_LT(msSince(t), 30000);
        EXPECT_EQ(o.error, "Operation cancelled.");
    });
}

TEST(IcmpEcho, SendFailureKeepsSequenceAndSocketForTheNextEcho) {
    SKIP_WITHOUT_NAMESPACES();
    NetNamespace ns("s");  // only its loopback: 198.51.100.9 has no route
    ASSERT_TRUE(ns.ok());
    ns.run([] {
        IcmpClient client;
        client.receiveTimeout = 2500;
        int replies = 0;
        client.onReply = [&](IcmpClient&, const ReplyStatus&) { ++replies; };
        client.host = "198.51.100.9";
        try {
            client.runEcho("", 0);
            ADD_FAILURE() << "sent without a route";
        } catch (const SocketError& e) {
            EXPECT_EQ(e.code(), 10051);
            EXPECT_EQ(e.message(), "Socket Error # 10051\r\nNetwork is unreachable.");
        }
        EXPECT_EQ(replies, 0);
        EXPECT_EQ(client.echoSequence, 3489);
        EXPECT_TRUE(client.socketAllocated());

        client.host = "127.0.0.1";
        client.runEcho("", 0);
        EXPECT_EQ(replies, 1);
        EXPECT_EQ(client.replyStatus().seqNumber, 3489);
        EXPECT_TRUE(EchoProbe::replyMeansAlive(client.replyStatus()));
        EXPECT_EQ(client.echoSequence, 3490);
        EXPECT_FALSE(client.socketAllocated());
    });
}

// Sets the raw-socket helper for a test's life, then back to the default.
struct UseHelper {
    explicit UseHelper(const std::string& path) { RawSocketHelper::setProgram(path); }
    ~UseHelper() { RawSocketHelper::setProgram({}); }
};

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
        ReplyStatus reply;
        bool datagram = false;
        std::string error;
    };
    Outcome echo(const std::string& host, int ttl, bool dropRaw) {
        Outcome out;
        a->run(
            [&] {
                CancelHandle cancel;
                EchoProbe probe(cancel);
                probe.icmpClient().ttl = ttl;
                const ProbeOutcome o = probe.tryTarget(icmpTarget(host));
                out.alive = o.alive;
                out.reply = probe.icmpClient().replyStatus();
                out.datagram = probe.icmpClient().usesDatagramSocket();
                out.error = o.error;
            },
            dropRaw);
        return out;
    }

    void expectAnswers(bool dropRaw, bool datagram) {
        const Outcome up = echo("198.51.100.2", 128, dropRaw);
        EXPECT_TRUE(up.alive) << up.error;
        EXPECT_EQ(up.datagram, datagram);
        EXPECT_EQ(up.reply.sourceAddress, "198.51.100.2");
        EXPECT_EQ(up.reply.outcome, ReplyOutcome::EchoReply);
        EXPECT_GT(up.reply.replyTtl, 0);

        // A router's answer about our request ends the try at once, as failed.
        const Outcome unreachable = echo("198.51.100.200", 128, dropRaw);
        EXPECT_FALSE(unreachable.alive);
        EXPECT_EQ(unreachable.reply.outcome, ReplyOutcome::Unreachable);
        EXPECT_EQ(unreachable.reply.icmpType, 3);
        EXPECT_EQ(unreachable.reply.sourceAddress, "198.51.100.2");
        EXPECT_LT(unreachable.reply.roundTripMs, 2400u);

        const Outcome expired = echo("198.51.100.130", 1, dropRaw);
        EXPECT_FALSE(expired.alive);
        EXPECT_EQ(expired.reply.outcome, ReplyOutcome::TtlExpired);
        EXPECT_EQ(expired.reply.icmpType, 11);
        EXPECT_EQ(expired.reply.sourceAddress, "198.51.100.2");
        EXPECT_LT(expired.reply.roundTripMs, 2400u);
    }

    std::unique_ptr<NetNamespace> a, b;
};

TEST_F(RoutedEcho, RawSocketUpUnreachableAndExpired) { expectAnswers(false, false); }

TEST_F(RoutedEcho, DatagramSocketWithoutRawCapability) {
    ASSERT_TRUE(a->sysctl("net.ipv4.ping_group_range=0 2147483647"));
    expectAnswers(true, true);
}

// Without a raw socket of its own and with the datagram socket barred, the helper's raw
// socket gives the same answers, router messages included.
TEST_F(RoutedEcho, RawSocketFromTheHelperWithoutCapability) {
    ASSERT_TRUE(a->sysctl("net.ipv4.ping_group_range=1 0"));
    const UseHelper helper(HV_BUILD_DIR "/hostvane-icmp-helper");
    expectAnswers(true, false);
}

TEST_F(RoutedEcho, NeitherSocketAllowedCannotAllocate) {
    ASSERT_TRUE(a->sysctl("net.ipv4.ping_group_range=1 0"));
    const Outcome refused = echo("198.51.100.2", 128, true);
    EXPECT_FALSE(refused.alive);
    EXPECT_EQ(refused.error, "Cannot allocate socket.");
}

// An unprivileged caller where datagram ICMP is barred: 127.0.0.1 and ::1 answer through the
// helper's raw sockets, whose requests on the wire are the raw socket's 52 bytes. One start of
// the helper serves a batch of echoes of a family, and the next batch is asked for before the
// last one runs out.
TEST(IcmpEcho, LoopbackAnswersThroughTheHelper) {
    SKIP_WITHOUT_NAMESPACES();
    NetNamespace ns("h");
    ASSERT_TRUE(ns.ok());
    ASSERT_TRUE(ns.sysctl("net.ipv4.ping_group_range=1 0"));
    const UseHelper helper(HV_BUILD_DIR "/hostvane-icmp-helper");
    std::unique_ptr<RawListener> listener;
    ns.run([&] { listener = std::make_unique<RawListener>(); });
    ASSERT_TRUE(listener->ok());
    const int startsBefore = RawSocketHelper::starts();
    std::uint16_t identifier = 0;
    ns.run(
        [&] {
            const struct {
                const char* host;
                AddressFamily family;
                int echoes;
            } cases[] = {{"127.0.0.1", AddressFamily::IPv4, 14}, {"::1", AddressFamily::IPv6, 3}};
            for (const auto& [host, family, echoes] : cases) {
                SCOPED_TRACE(host);
                IcmpClient client;
                client.receiveTimeout = 2500;
                client.host = host;
                client.family = family;
                if (family == AddressFamily::IPv4) identifier = client.identifier();
                for (int i = 0; i < echoes; ++i) {
                    client.runEcho("", 0);
                    EXPECT_FALSE(client.usesDatagramSocket());
                    EXPECT_TRUE(EchoProbe::replyMeansAlive(client.replyStatus()));
                    EXPECT_EQ(client.replyStatus().sourceAddress, host);
                }
            }
        },
        true);
    // IPv4: the first batch of 16, and the next one asked for with 3 left; IPv6: one batch.
    EXPECT_EQ(RawSocketHelper::starts() - startsBefore, 3);
    const auto seen = listener->requests(identifier);
    ASSERT_EQ(seen.size(), 14u);
    for (const auto& r : seen) {
        ASSERT_EQ(r.icmp.size(), 52u);
        EXPECT_EQ(IcmpClient::checksum(r.icmp.data(), r.icmp.size()), 0);
        EXPECT_EQ(std::string(r.icmp.begin() + 20, r.icmp.end()), std::string(32, 'E'));
    }
    EXPECT_EQ(seen.front().icmp[6], 0xA1);  // 3489, least significant byte first
    EXPECT_EQ(seen.front().icmp[7], 0x0D);
}

// A helper that is missing or answers nothing leaves the datagram socket, as before there was
// one: it answers where it is allowed, and the try fails to allocate where it is barred.
TEST(IcmpEcho, AMissingOrSilentHelperFallsBackToTheDatagramSocket) {
    SKIP_WITHOUT_NAMESPACES();
    NetNamespace ns("f");
    ASSERT_TRUE(ns.ok());
    const struct {
        const char* helper;
        const char* range;
        bool alive;
        std::string error;
    } cases[] = {
        {"/nonexistent/hostvane-icmp-helper", "0 2147483647", true, ""},
        {"/bin/true", "0 2147483647", true, ""},
        {"/nonexistent/hostvane-icmp-helper", "1 0", false, "Cannot allocate socket."},
        {"/bin/true", "1 0", false, "Cannot allocate socket."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.helper) + ", ping_group_range " + c.range);
        ASSERT_TRUE(ns.sysctl(QString("net.ipv4.ping_group_range=") + c.range));
        const UseHelper helper(c.helper);
        ns.run(
            [&] {
                CancelHandle cancel;
                EchoProbe probe(cancel);
                const ProbeOutcome o = probe.tryTarget(icmpTarget("127.0.0.1"));
                EXPECT_EQ(o.alive, c.alive);
                EXPECT_EQ(o.error, c.error);
                if (c.alive) {
                    EXPECT_TRUE(probe.icmpClient().usesDatagramSocket());
                }
            },
            true);
    }
}

// A helper slow to start (here by a second) costs the echo that waits for it that time, but
// the round trip reported is the echo's alone, as over a raw socket of our own.
TEST(IcmpEcho, TheHelpersStartIsNoPartOfTheRoundTrip) {
    SKIP_WITHOUT_NAMESPACES();
    NetNamespace ns("w");
    ASSERT_TRUE(ns.ok());
    ASSERT_TRUE(ns.sysctl("net.ipv4.ping_group_range=1 0"));
    char dir[] = "/tmp/hv-slow-helper-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    const std::string script = std::string(dir) + "/slow-helper";
    {
        std::ofstream out(script);
        out << "#!/bin/sh\n/bin/sleep 1\nexec " HV_BUILD_DIR "/hostvane-icmp-helper\n";
    }
    ::chmod(script.c_str(), 0755);
    const UseHelper helper(script);
    ns.run(
        [&] {
            CancelHandle cancel;
            EchoProbe probe(cancel);
            const auto began = Clock::now();
            const ProbeOutcome o = tryProbe(probe, icmpTarget("127.0.0.1"));
            EXPECT_GE(msSince(began), 1000);
            EXPECT_TRUE(o.alive) << o.error;
            EXPECT_FALSE(probe.icmpClient().usesDatagramSocket());
            // The figure shown and kept, and the echo record's own.
            EXPECT_GE(o.roundTripUs, 0);
            EXPECT_LT(o.roundTripUs, 900'000);
            EXPECT_LT(probe.icmpClient().replyStatus().roundTripMs, 900u);
        },
        true);
    std::filesystem::remove_all(dir);
}
