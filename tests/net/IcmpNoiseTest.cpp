// ICMP echo under conditions a busy machine brings: foreign ICMP arriving while a try waits,
// and a socket() that fails for want of descriptors rather than of privilege.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "NetNamespace.h"
#include "NetTestSupport.h"
#include "net/EchoProbe.h"
#include "net/IcmpClient.h"
#include "platform/CancelHandle.h"

using namespace hv;
using hvtest::icmpTarget;
using hvtest::NetNamespace;

namespace {

using Bytes = std::vector<std::uint8_t>;

#define SKIP_WITHOUT_NAMESPACES()                                             \
    do {                                                                      \
        const QString why = NetNamespace::unavailableReason();                \
        if (!why.isEmpty()) GTEST_SKIP() << "skipped: " << why.toStdString(); \
    } while (0)

void setChecksum(Bytes& icmp) {
    icmp[2] = icmp[3] = 0;
    const std::uint16_t sum = IcmpClient::checksum(icmp.data(), icmp.size());
    icmp[2] = static_cast<std::uint8_t>(sum & 0xFF);
    icmp[3] = static_cast<std::uint8_t>(sum >> 8);
}

void sendIcmp(int fd, Bytes icmp, const char* to) {
    if (icmp.size() >= 4) setChecksum(icmp);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    ::inet_pton(AF_INET, to, &sa.sin_addr);
    ::sendto(fd, icmp.data(), icmp.size(), 0, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
}

// The messages a raw socket may see from other programs and routers: none is about our request.
std::vector<Bytes> foreignMessages() {
    Bytes quotedOther(8 + 20 + 8, 0);  // unreachable about somebody else's echo request
    quotedOther[0] = 3;
    quotedOther[8] = 0x45;
    quotedOther[8 + 9] = 1;
    quotedOther[8 + 20] = 8;
    quotedOther[8 + 20 + 4] = 0x34;  // another identifier and sequence
    quotedOther[8 + 20 + 6] = 0x12;
    Bytes redirect(8 + 28, 0);
    redirect[0] = 5;
    Bytes otherReply{0, 0, 0, 0, 0x77, 0x77, 0x01, 0x00, 'x', 'y'};  // another program's reply
    return {
        redirect,
        Bytes{14, 0, 0, 0, 1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        Bytes{12, 0, 0, 0, 8, 0, 0, 0},  // parameter problem
        Bytes{13, 0, 0, 0, 1, 2, 0, 1},  // timestamp request
        Bytes{0, 0, 0, 0},               // an echo reply too short to carry numbers
        Bytes{3, 1, 0, 0},               // an unreachable too short to quote anything
        otherReply,
        quotedOther,
    };
}

// Answers echo requests after delayMs, as a slow host does (the namespace's own kernel answers
// nothing: icmp_echo_ignore_all=1). Counts what it answered.
void respondLate(const std::atomic<bool>& stop, int delayMs, std::atomic<int>& answered,
                 std::atomic<bool>& ready) {
    const int fd = ::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    ready = true;
    ASSERT_GE(fd, 0);
    std::uint8_t buf[2048];
    for (int round = 0; round < 100000 && !stop.load(); ++round) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        sockaddr_in from{};
        socklen_t len = sizeof from;
        const ssize_t n =
            ::recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 28) continue;
        const int h = 4 * (buf[0] & 0xF);
        if (n < h + 8 || buf[h] != 8) continue;
        char to[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, buf + 16, to, sizeof to);  // the request's destination
        Bytes reply(buf + h, buf + n);
        reply[0] = 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        // From the address asked, back to the asker: a local destination routes to itself.
        sendIcmp(fd, reply, to);
        ++answered;
    }
    ::close(fd);
}

}  // namespace

TEST(IcmpNoise, LateAnswersCountWhileForeignIcmpArrives) {
    SKIP_WITHOUT_NAMESPACES();
    NetNamespace ns("n");
    ASSERT_TRUE(ns.ok());
    ASSERT_TRUE(ns.sysctl("net.ipv4.icmp_echo_ignore_all=1"));
    ns.run([] {
        std::atomic<bool> stop{false}, ready{false};
        std::atomic<int> answered{0}, noiseSent{0};
        std::thread responder([&] { respondLate(stop, 40, answered, ready); });
        for (int i = 0; i < 500 && !ready; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::thread noise([&] {
            const int fd = ::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
            const auto messages = foreignMessages();
            for (int i = 0; i < 20000 && !stop.load() && fd >= 0; ++i) {
                sendIcmp(fd, messages[static_cast<std::size_t>(i) % messages.size()], "127.0.0.1");
                ++noiseSent;
                std::this_thread::sleep_for(std::chrono::microseconds(1000));
            }
            if (fd >= 0) ::close(fd);
        });

        CancelHandle cancel;
        EchoProbe probe(cancel);
        std::vector<std::string> down;
        for (int host = 1; host <= 20; ++host) {
            const std::string address = "127.0.0." + std::to_string(host);
            const ProbeOutcome o = probe.tryTarget(icmpTarget(address));
            if (!o.alive) down.push_back(address + ": " + o.error);
        }
        stop = true;
        noise.join();
        responder.join();
        EXPECT_TRUE(down.empty()) << down.size() << " of 20 down, first " << down.front();
        EXPECT_GE(answered.load(), 20);
        EXPECT_GT(noiseSent.load(), 100);  // the noise really ran during the tries
    });
}

TEST(IcmpNoise, ShortageOfDescriptorsFailsOneTryNotTheRawSocket) {
    SKIP_WITHOUT_NAMESPACES();
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // The sanitizer runtime opens descriptors of its own (a pipe to probe memory, for one) and
    // misreports when there are none left.
    GTEST_SKIP() << "not with a sanitizer runtime, which needs descriptors of its own";
#endif
    // A fresh namespace bars the unprivileged datagram socket (ping_group_range "1 0"), so only
    // the raw socket can answer here.
    NetNamespace ns("f");
    ASSERT_TRUE(ns.ok());
    ns.run([] {
        CancelHandle cancel;
        EchoProbe probe(cancel);
        rlimit old{};
        ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &old), 0);
        int highest = 0;
        for (int fd = 0; fd < 4096; ++fd)
            if (::fcntl(fd, F_GETFD) != -1) highest = fd;
        rlimit tight = old;
        tight.rlim_cur = static_cast<rlim_t>(highest + 16);
        ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
        std::vector<int> filler;
        for (int i = 0; i < 8192; ++i) {  // holes below the highest, then 16 more
            const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
            if (fd < 0) break;
            filler.push_back(fd);
        }
        ASSERT_LT(filler.size(), 8192u);
        const ProbeOutcome full = probe.tryTarget(icmpTarget("127.0.0.1"));
        const bool whileFull = full.alive;
        const std::string fullError = full.error;
        for (int fd : filler) ::close(fd);
        ::setrlimit(RLIMIT_NOFILE, &old);

        EXPECT_FALSE(whileFull);
        EXPECT_EQ(fullError, "Cannot allocate socket.");
        const ProbeOutcome after = probe.tryTarget(icmpTarget("127.0.0.1"));
        EXPECT_TRUE(after.alive) << after.error;
        EXPECT_FALSE(probe.icmpClient().usesDatagramSocket());
    });
}

namespace {

// Echo requests of another program (identifier 0x7777) to a loopback address: each reaches
// every raw socket of the family, and so does the kernel's answer to it. Returns how many went.
int floodForeignEchoes(int family, const char* address, int count) {
    const int fd =
        ::socket(family, SOCK_RAW, family == AF_INET ? int{IPPROTO_ICMP} : int{IPPROTO_ICMPV6});
    if (fd < 0) return 0;
    Bytes request{
        static_cast<std::uint8_t>(family == AF_INET ? 8 : 128), 0, 0, 0, 0x77, 0x77, 0x01, 0x00};
    request.resize(56, 'f');
    sockaddr_storage to{};
    socklen_t length = 0;
    if (family == AF_INET) {
        auto* sa = reinterpret_cast<sockaddr_in*>(&to);
        sa->sin_family = AF_INET;
        ::inet_pton(AF_INET, address, &sa->sin_addr);
        length = sizeof *sa;
        setChecksum(request);
    } else {
        auto* sa = reinterpret_cast<sockaddr_in6*>(&to);
        sa->sin6_family = AF_INET6;
        ::inet_pton(AF_INET6, address, &sa->sin6_addr);
        length = sizeof *sa;  // the kernel fills in an ICMPv6 checksum
    }
    int sent = 0;
    for (int i = 0; i < count; ++i) {
        if (::sendto(fd, request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&to),
                     length) > 0)
            ++sent;
    }
    ::close(fd);
    return sent;
}

struct LoopbackCase {
    const char* address;
    int family;
};
const LoopbackCase kLoopbacks[] = {{"127.0.0.1", AF_INET}, {"::1", AF_INET6}};

ProbeTarget loopbackTarget(const LoopbackCase& c) {
    ProbeTarget target = icmpTarget(c.address);
    target.family = c.family == AF_INET ? AddressFamily::IPv4 : AddressFamily::IPv6;
    return target;
}

}  // namespace

// A raw socket sees every ICMP message from the moment it exists, before any filter of ours is
// in place. On a busy machine (other programs pinging, a descheduled thread) that window can
// fill its queue with foreign messages; the answer to our request then found no room and the
// host waited for its second try.
TEST(IcmpNoise, ForeignMessagesQueuedBeforeTheFiltersLeaveRoomForTheAnswer) {
    SKIP_WITHOUT_NAMESPACES();
    NetNamespace ns("q");
    ASSERT_TRUE(ns.ok());
    for (const LoopbackCase& c : kLoopbacks) {
        SCOPED_TRACE(c.address);
        ns.run([&] {
            int flooded = 0;
            CancelHandle cancel;
            EchoProbe probe(cancel);
            probe.icmpClient().onRawSocketCreated = [&](int) {
                flooded = floodForeignEchoes(c.family, c.address, 3000);
            };
            const ProbeOutcome o = probe.tryTarget(loopbackTarget(c));  // one echo, one wait
            EXPECT_EQ(flooded, 3000);  // the window really was flooded
            EXPECT_FALSE(probe.icmpClient().usesDatagramSocket());
            EXPECT_TRUE(o.alive) << o.error;
        });
    }
}

// Clients used at once keep their sockets open between echoes, and a thread that is handing a
// result over does not read: other programs' and other clients' answers that arrive meanwhile
// must not fill its queue (only answers carrying its identifier are let in).
TEST(IcmpNoise, ForeignAnswersBetweenEchoesOfAnOpenSocketLeaveRoomForTheAnswer) {
    SKIP_WITHOUT_NAMESPACES();
    NetNamespace ns("k");
    ASSERT_TRUE(ns.ok());
    for (const LoopbackCase& c : kLoopbacks) {
        SCOPED_TRACE(c.address);
        ns.run([&] {
            CancelHandle cancel;
            EchoProbe probe(cancel);
            probe.setConcurrent(true);
            const ProbeOutcome first = probe.tryTarget(loopbackTarget(c));
            ASSERT_TRUE(first.alive) << first.error;
            ASSERT_TRUE(probe.icmpClient().socketAllocated());
            EXPECT_EQ(floodForeignEchoes(c.family, c.address, 3000), 3000);
            const ProbeOutcome second = probe.tryTarget(loopbackTarget(c));
            EXPECT_FALSE(probe.icmpClient().usesDatagramSocket());
            EXPECT_TRUE(second.alive) << second.error;
        });
    }
}
