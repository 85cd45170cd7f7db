#include <arpa/inet.h>
#include <netinet/icmp6.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "NetNamespace.h"
#include "NetTestSupport.h"
#include "checking/AddressKind.h"
#include "net/EchoProbe.h"
#include "net/IcmpClient.h"
#include "net/NetError.h"
#include "platform/CancelHandle.h"

using namespace hv;
using hvtest::Clock;
using hvtest::msSince;
using hvtest::NetNamespace;

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t kId = 0x1234;
constexpr std::uint16_t kSeq = 3489;

void putLe16(Bytes& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

// parseReply6's layout: source address, hop limit, padding, then the ICMPv6 message.
Bytes prefix(const char* source, std::uint8_t hops) {
    Bytes b(IcmpClient::kIpv6Prefix, 0);
    ::inet_pton(AF_INET6, source, b.data());
    b[16] = hops;
    return b;
}

Bytes echoHeader(std::uint8_t type, std::uint16_t id, std::uint16_t seq) {
    Bytes b(8, 0);
    b[0] = type;
    putLe16(b, 4, id);
    putLe16(b, 6, seq);
    return b;
}

Bytes ipv6Header(std::uint8_t nextHeader) {
    Bytes b(40, 0);
    b[0] = 0x60;
    b[6] = nextHeader;
    b[7] = 1;
    return b;
}

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes reply(std::uint8_t type, std::uint16_t id, std::uint16_t seq) {
    return cat({prefix("2001:db8::2", 64), echoHeader(type, id, seq), Bytes(44, 'E')});
}

// A router's message of type about a packet whose IPv6 header names nextHeader, then an echo.
Bytes quoting(std::uint8_t type, std::uint16_t id, std::uint16_t seq, std::uint8_t next = 58,
              std::uint8_t quotedType = 128) {
    Bytes icmp(8, 0);
    icmp[0] = type;
    return cat(
        {prefix("2001:db8::2", 63), icmp, ipv6Header(next), echoHeader(quotedType, id, seq)});
}

}  // namespace

// Only an echo reply with our numbers, or an error quoting our request, ends the wait; every
// other ICMPv6 message (neighbour discovery, router advertisements, other programs' echoes,
// errors about other packets) is skipped and never fails the try.
TEST(Icmp6Packet, OursEndsTheWaitForeignIsSkipped) {
    const struct {
        const char* what;
        Bytes bytes;
        bool done;
        ReplyOutcome outcome;
        bool alive;
    } cases[] = {
        {"our reply", reply(129, kId, kSeq), true, ReplyOutcome::EchoReply, true},
        {"another id", reply(129, kId + 1, kSeq), false, ReplyOutcome::EchoReply, false},
        {"another sequence", reply(129, kId, kSeq + 1), false, ReplyOutcome::EchoReply, false},
        {"our own request", reply(128, kId, kSeq), false, ReplyOutcome::EchoReply, false},
        {"neighbour solicitation", reply(135, kId, kSeq), false, ReplyOutcome::EchoReply, false},
        {"router advertisement", reply(134, kId, kSeq), false, ReplyOutcome::EchoReply, false},
        {"unreachable", quoting(1, kId, kSeq), true, ReplyOutcome::Unreachable, false},
        {"time exceeded", quoting(3, kId, kSeq), true, ReplyOutcome::TtlExpired, false},
        {"unreachable, not ours", quoting(1, kId, kSeq + 1), false, ReplyOutcome::EchoReply, false},
        {"unreachable about UDP", quoting(1, kId, kSeq, 17), false, ReplyOutcome::EchoReply, false},
        {"unreachable about a reply", quoting(1, kId, kSeq, 58, 129), false,
         ReplyOutcome::EchoReply, false},
        {"packet too big", quoting(2, kId, kSeq), false, ReplyOutcome::EchoReply, false},
        {"too short", Bytes(IcmpClient::kIpv6Prefix + 7, 0), false, ReplyOutcome::EchoReply, false},
    };
    for (const auto& c : cases) {
        ReplyStatus r;
        // Every shorter cut must be read safely too (the sanitizers watch).
        for (std::size_t n = 1; n < c.bytes.size(); ++n) {
            ReplyStatus cutRecord;
            IcmpClient::parseReply6(c.bytes.data(), static_cast<int>(n), kSeq, kId, cutRecord);
        }
        const bool done =
            IcmpClient::parseReply6(c.bytes.data(), static_cast<int>(c.bytes.size()), kSeq, kId, r);
        EXPECT_EQ(done, c.done) << c.what;
        if (!done) continue;
        EXPECT_EQ(r.outcome, c.outcome) << c.what;
        EXPECT_EQ(r.sourceAddress, "2001:db8::2") << c.what;
        EXPECT_EQ(EchoProbe::replyMeansAlive(r), c.alive) << c.what;
    }
    // The datagram socket's kernel has matched the identifier: any is taken then.
    ReplyStatus r;
    const Bytes other = reply(129, kId + 1, kSeq);
    EXPECT_TRUE(IcmpClient::parseReply6(other.data(), static_cast<int>(other.size()), kSeq,
                                        std::nullopt, r));
    ReplyStatus timedOut;
    EXPECT_TRUE(IcmpClient::parseReply6(nullptr, 0, kSeq, kId, timedOut));
    EXPECT_EQ(timedOut.outcome, ReplyOutcome::TimedOut);
    EXPECT_FALSE(EchoProbe::replyMeansAlive(timedOut));
}

// Namespace a (2001:db8::1) and b (2001:db8::2, fe80::2 on the link) joined by a veth pair,
// addresses without duplicate detection. b routes 2001:db8:1:1::/64 back to a (so a hop limit
// of 1 expires at b) and has no route for 2001:db8:1:2::/64; a has a permanent neighbour
// entry for 2001:db8::99 to a MAC nobody owns, a host that never answers.
class RoutedEcho6 : public ::testing::Test {
protected:
    void SetUp() override {
        const QString why = NetNamespace::unavailableReason();
        if (!why.isEmpty()) GTEST_SKIP() << "skipped: " << why.toStdString();
        a = std::make_unique<NetNamespace>("a6");
        b = std::make_unique<NetNamespace>("b6");
        ASSERT_TRUE(a->ok() && b->ok());
        ASSERT_TRUE(NetNamespace::link(*a, *b));
        const QString da = QString::fromStdString(a->name());
        const QString db = QString::fromStdString(b->name());
        ASSERT_TRUE(a->ip({"addr", "add", "2001:db8::1/64", "dev", da, "nodad"}));
        ASSERT_TRUE(b->ip({"addr", "add", "2001:db8::2/64", "dev", db, "nodad"}));
        ASSERT_TRUE(b->ip({"addr", "add", "fe80::2/64", "dev", db, "nodad"}));
        ASSERT_TRUE(a->ip({"route", "add", "2001:db8:1::/48", "via", "2001:db8::2"}));
        ASSERT_TRUE(b->sysctl("net.ipv6.conf.all.forwarding=1"));
        ASSERT_TRUE(b->ip({"route", "add", "2001:db8:1:1::/64", "via", "2001:db8::1"}));
        ASSERT_TRUE(b->ip({"route", "add", "unreachable", "2001:db8:1:2::/64"}));
        ASSERT_TRUE(a->ip({"-6", "neigh", "replace", "2001:db8::99", "lladdr", "02:00:00:00:00:99",
                           "dev", da, "nud", "permanent"}));
        ASSERT_TRUE(a->sysctl("net.ipv4.ping_group_range=0 2147483647"));
        linkDevice = a->name();
    }

    struct Outcome {
        bool alive = false;
        ReplyStatus reply;
        bool datagram = false;
        std::string error;
        std::string address;
        long ms = 0;
    };
    Outcome echo(const std::string& address, int ttl, bool dropRaw) {
        Outcome out;
        a->run(
            [&] {
                CancelHandle cancel;
                EchoProbe probe(cancel);
                probe.icmpClient().ttl = ttl;
                const ProbeTarget target = classifyAddress(QString::fromStdString(address));
                const auto began = Clock::now();
                const ProbeOutcome o = probe.tryTarget(target);
                out.ms = msSince(began);
                out.alive = o.alive;
                out.address = o.address;
                out.reply = probe.icmpClient().replyStatus();
                out.datagram = probe.icmpClient().usesDatagramSocket();
                out.error = o.error;
            },
            dropRaw);
        return out;
    }

    void expectAnswers(bool dropRaw) {
        const struct {
            std::string address;
            int hops;
            ReplyOutcome outcome;
            int type;
            const char* source;
        } cases[] = {
            {"2001:db8::2", 64, ReplyOutcome::EchoReply, 129, "2001:db8::2"},
            {"[2001:DB8::2]", 1, ReplyOutcome::EchoReply, 129, "2001:db8::2"},
            {"::1", 64, ReplyOutcome::EchoReply, 129, "::1"},
            {"fe80::2%" + linkDevice, 64, ReplyOutcome::EchoReply, 129, "fe80::2"},
            {"2001:db8:1:2::5", 64, ReplyOutcome::Unreachable, 1, "2001:db8::2"},
            // The hop limit is the TTL: 1 expires at b.
            {"2001:db8:1:1::5", 1, ReplyOutcome::TtlExpired, 3, "2001:db8::2"},
        };
        for (const auto& c : cases) {
            const Outcome o = echo(c.address, c.hops, dropRaw);
            SCOPED_TRACE(c.address);
            EXPECT_EQ(o.alive, c.outcome == ReplyOutcome::EchoReply) << o.error;
            EXPECT_EQ(o.datagram, dropRaw);
            EXPECT_EQ(o.reply.outcome, c.outcome);
            EXPECT_EQ(o.reply.icmpType, c.type);
            EXPECT_EQ(o.reply.sourceAddress.rfind(c.source, 0), 0u) << o.reply.sourceAddress;
            EXPECT_LT(o.ms, 2400);  // answers and router's messages end the try at once
        }
        // A silent host: the whole wait, then down, reported as a time-out.
        const Outcome silent = echo("2001:db8::99", 64, dropRaw);
        EXPECT_FALSE(silent.alive);
        EXPECT_EQ(silent.reply.outcome, ReplyOutcome::TimedOut);
        EXPECT_EQ(silent.error, "Request timed out.");
        EXPECT_EQ(silent.address, "2001:db8::99");
        EXPECT_GE(silent.ms, 2400);
        EXPECT_LT(silent.ms, 10000);
    }

    std::unique_ptr<NetNamespace> a, b;
    std::string linkDevice;
};

TEST_F(RoutedEcho6, RawSocketAnswersErrorsAndSilence) { expectAnswers(false); }

TEST_F(RoutedEcho6, DatagramSocketWithoutRawCapability) { expectAnswers(true); }

// Without the raw capability and outside the ping group range nothing can be opened; the try
// fails with the socket layer's message, as for IPv4.
TEST_F(RoutedEcho6, NeitherSocketAllowedCannotAllocate) {
    ASSERT_TRUE(a->sysctl("net.ipv4.ping_group_range=1 0"));
    const Outcome refused = echo("2001:db8::2", 64, true);
    EXPECT_FALSE(refused.alive);
    EXPECT_EQ(refused.error, "Cannot allocate socket.");
}

// b's kernel keeps quiet and a program there answers each request late (1 s), after an answer
// with another sequence number and one with another identifier: the foreign answers are
// skipped, never fail the try, and the late one counts.
TEST_F(RoutedEcho6, ALateAnswerAfterForeignOnesCounts) {
    ASSERT_TRUE(b->sysctl("net.ipv6.icmp.echo_ignore_all=1"));
    for (const bool dropRaw : {false, true}) {
        SCOPED_TRACE(dropRaw ? "datagram socket" : "raw socket");
        bool answered = false;
        std::atomic<bool> listening{false};
        std::thread responder([&] {
            b->run([&] {
                const int fd = ::socket(AF_INET6, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMPV6);
                if (fd < 0) return;
                icmp6_filter filter;
                ICMP6_FILTER_SETBLOCKALL(&filter);
                ICMP6_FILTER_SETPASS(ICMP6_ECHO_REQUEST, &filter);
                ::setsockopt(fd, IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter);
                listening = true;
                pollfd p{fd, POLLIN, 0};
                std::uint8_t request[256];
                sockaddr_in6 from{};
                socklen_t len = sizeof from;
                ssize_t n = -1;
                if (::poll(&p, 1, 5000) == 1)
                    n = ::recvfrom(fd, request, sizeof request, 0,
                                   reinterpret_cast<sockaddr*>(&from), &len);
                if (n >= 8) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
                    Bytes answer(request, request + n);
                    answer[0] = ICMP6_ECHO_REPLY;
                    answer[2] = answer[3] = 0;  // the kernel fills the checksum in
                    Bytes otherSeq = answer, otherId = answer;
                    ++otherSeq[6];
                    ++otherId[4];
                    for (const Bytes* a : {&otherSeq, &otherId, &answer})
                        ::sendto(fd, a->data(), a->size(), 0,
                                 reinterpret_cast<const sockaddr*>(&from), len);
                    answered = true;
                }
                ::close(fd);
            });
        });
        // The request must find the responder's socket open.
        for (int i = 0; i < 500 && !listening; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const Outcome o = echo("2001:db8::2", 64, dropRaw);
        responder.join();
        EXPECT_TRUE(answered);
        EXPECT_TRUE(o.alive) << o.error;
        EXPECT_EQ(o.datagram, dropRaw);
        EXPECT_GE(o.reply.roundTripMs, 900u);
        EXPECT_LT(o.ms, 2400);
    }
}
