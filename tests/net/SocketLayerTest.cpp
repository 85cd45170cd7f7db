#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "NetTestSupport.h"
#include "net/NetError.h"
#include "net/NetProbe.h"
#include "net/SocketHandle.h"
#include "net/SocketStack.h"
#include "platform/CancelHandle.h"

using namespace hv;
using hvtest::msSince;

namespace {

// Keeps the stack object alive for a test, as any networking component does.
struct StackUser : NetComponent {
    using NetComponent::stack;
};

// Restores the system name service however the test ends.
struct ResolverGuard {
    explicit ResolverGuard(NameResolver r) { SocketStack::setResolver(std::move(r)); }
    ~ResolverGuard() { SocketStack::setResolver({}); }
};

}  // namespace

TEST(SocketLayer, LooksLikeDotted) {
    const struct {
        const char* text;
        bool dotted;
    } cases[] = {
        {"10.0.0.1", true},
        {"0.0.0.0", true},
        {"255.255.255.255", true},
        {"0x0A.0.0.1", true},
        {"$0A.X1.0x0.+1", true},
        {" 10. 0.0.1", true},
        {"-0.0.0.0", true},
        {"10.0.0", false},
        {"10.0.0.1.5", false},
        {"192.168.1.300", false},
        {"10..0.1", false},
        {"10.0.0.", false},
        {"", false},
        {"...", false},
        {"-1.0.0.0", false},
        {"1.2.3.4 ", false},
        {"1e1.0.0.1", false},
        {"localhost", false},
        {"0x100.0.0.1", false},
        {"99999999999.0.0.1", false},
    };
    for (const auto& c : cases) EXPECT_EQ(SocketStack::looksLikeDotted(c.text), c.dotted) << c.text;
}

TEST(SocketLayer, AddressConversionBothWays) {
    EXPECT_EQ(SocketStack::dottedFromAddr({10, 0, 200, 7}), "10.0.200.7");
    EXPECT_EQ(SocketStack::dottedFromAddr({0, 0, 0, 0}), "0.0.0.0");
    EXPECT_EQ(SocketStack::addrFromDotted("0x0A.0.0.1"),
              (std::array<std::uint8_t, 4>{10, 0, 0, 1}));
    // The low 8 bits of each part.
    EXPECT_EQ(SocketStack::addrFromDotted("256.257.1.2"),
              (std::array<std::uint8_t, 4>{0, 1, 1, 2}));
}

TEST(SocketLayer, MessagesCarryCodeAndDescription) {
    EXPECT_EQ(SocketStack::socketErrorMessage(10061),
              "Socket Error # 10061\r\nConnection refused.");
    EXPECT_EQ(SocketStack::socketErrorMessage(11001), "Socket Error # 11001\r\nHost not found.");
    EXPECT_EQ(SocketStack::socketErrorMessage(10035),
              "Socket Error # 10035\r\nOperation would block. ");
    EXPECT_EQ(SocketStack::socketErrorMessage(10066),
              "Socket Error # 10066\r\nDirectory not empty");
    // Outside the table: the message ends right after the line break.
    EXPECT_EQ(SocketStack::socketErrorMessage(10067), "Socket Error # 10067\r\n");
    EXPECT_EQ(SocketStack::socketErrorMessage(0), "Socket Error # 0\r\n");
    EXPECT_EQ(SocketError(10060).code(), 10060);
    EXPECT_EQ(SocketError(10060).message(), "Socket Error # 10060\r\nConnection timed out.");
}

TEST(SocketLayer, ErrnoMapsToWindowsSocketsCodes) {
    const struct {
        int err;
        int code;
    } cases[] = {
        {EINTR, 10004},           {EBADF, 10009},           {EACCES, 10013},
        {EPERM, 10013},           {EFAULT, 10014},          {EINVAL, 10022},
        {EMFILE, 10024},          {EWOULDBLOCK, 10035},     {EINPROGRESS, 10036},
        {EALREADY, 10037},        {ENOTSOCK, 10038},        {EDESTADDRREQ, 10039},
        {EMSGSIZE, 10040},        {EPROTOTYPE, 10041},      {ENOPROTOOPT, 10042},
        {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045},
        {EPFNOSUPPORT, 10046},    {EAFNOSUPPORT, 10047},    {EADDRINUSE, 10048},
        {EADDRNOTAVAIL, 10049},   {ENETDOWN, 10050},        {ENETUNREACH, 10051},
        {ENETRESET, 10052},       {ECONNABORTED, 10053},    {ECONNRESET, 10054},
        {ENOBUFS, 10055},         {EISCONN, 10056},         {ENOTCONN, 10057},
        {ESHUTDOWN, 10058},       {ETOOMANYREFS, 10059},    {ETIMEDOUT, 10060},
        {ECONNREFUSED, 10061},    {ELOOP, 10062},           {ENAMETOOLONG, 10063},
        {EHOSTDOWN, 10064},       {EHOSTUNREACH, 10065},    {ENOTEMPTY, 10066},
    };
    for (const auto& c : cases) EXPECT_EQ(SocketStack::wsaCodeFromErrno(c.err), c.code) << c.err;
    // Every code of the table has its own description.
    for (const auto& c : cases) {
        EXPECT_FALSE(SocketStack::socketErrorMessage(c.code).endsWith("\r\n")) << c.code;
    }
}

TEST(SocketLayer, CheckSocketCallIgnoresOnlyListedCodes) {
    StackUser user;
    EXPECT_FALSE(user.stack().checkSocketCall(0));
    EXPECT_FALSE(user.stack().checkSocketCall(5));
    errno = ECONNREFUSED;
    EXPECT_TRUE(user.stack().checkSocketCall(-1, {10009, 10061}));
    errno = ECONNREFUSED;
    try {
        user.stack().checkSocketCall(-1, {10009});
        FAIL() << "no error raised";
    } catch (const SocketError& e) {
        EXPECT_EQ(e.code(), 10061);
        EXPECT_EQ(e.message(), "Socket Error # 10061\r\nConnection refused.");
    }
}

TEST(SocketLayer, StackLivesWhileAnyComponentDoes) {
    const int before = SocketStack::componentCount();
    {
        StackUser a;
        SocketStack* stack = SocketStack::instance();
        ASSERT_NE(stack, nullptr);
        {
            StackUser b;
            EXPECT_EQ(SocketStack::componentCount(), before + 2);
            EXPECT_EQ(SocketStack::instance(), stack);
        }
        EXPECT_EQ(SocketStack::componentCount(), before + 1);
        EXPECT_EQ(SocketStack::instance(), stack);
    }
    EXPECT_EQ(SocketStack::componentCount(), before);
    if (before == 0) {
        EXPECT_EQ(SocketStack::instance(), nullptr);
    }
}

TEST(SocketLayer, ResolveAsksTheNameServiceOnlyForNames) {
    std::vector<std::string> asked;
    ResolverGuard guard([&](const std::string& name, int family) {
        EXPECT_EQ(family, AF_INET) << name;
        asked.push_back(name);
        if (name == "files") return ResolveResult{"198.51.100.7", 0};
        return ResolveResult{"", 11001};
    });
    StackUser user;
    EXPECT_EQ(user.stack().resolveToDotted("LocalHost"), "127.0.0.1");
    EXPECT_EQ(user.stack().resolveToDotted("LOCALHOST"), "127.0.0.1");
    EXPECT_EQ(user.stack().resolveToDotted("10.1.2.3"), "10.1.2.3");
    EXPECT_EQ(user.stack().resolveToDotted("0x0A.0.0.1"), "0x0A.0.0.1");
    EXPECT_TRUE(asked.empty());

    EXPECT_EQ(user.stack().resolveToDotted("files"), "198.51.100.7");
    for (const char* name : {"192.168.1.300", "name:8080", "name/dir"}) {
        try {
            user.stack().resolveToDotted(name);
            ADD_FAILURE() << name << " resolved";
        } catch (const SocketError& e) {
            EXPECT_EQ(e.code(), 11001);
            EXPECT_EQ(e.message(), "Socket Error # 11001\r\nHost not found.");
        }
    }
    EXPECT_EQ(asked, (std::vector<std::string>{"files", "192.168.1.300", "name:8080", "name/dir"}));
}

// In a family: literal addresses are taken as they are (an IPv6 one whatever the family names
// get), and names are asked for in the family, the answer's family telling the socket's.
TEST(SocketLayer, ResolveInAFamilyAsksForThatFamilyAndKeepsLiterals) {
    std::vector<std::pair<std::string, int>> asked;
    ResolverGuard guard([&](const std::string& name, int family) {
        asked.emplace_back(name, family);
        if (name == "dual")
            return ResolveResult{family == AF_INET ? "198.51.100.7" : "2001:db8::7", 0};
        if (name == "v6only" && family != AF_INET) return ResolveResult{"2001:db8::6", 0};
        if (name == "liar") return ResolveResult{"2001:db8::9", 0};  // IPv6 whatever asked
        return ResolveResult{"", 11004};
    });
    StackUser user;
    using hv::AddressFamily;
    const struct {
        const char* host;
        AddressFamily family;
        AddressFamily gotFamily;
        const char* got;  // nullptr: fails with code 11004
    } cases[] = {
        {"::1", AddressFamily::IPv6, AddressFamily::IPv6, "::1"},
        {"fe80::1%lo", AddressFamily::Any, AddressFamily::IPv6, "fe80::1%lo"},
        {"10.0.0.1", AddressFamily::Any, AddressFamily::IPv4, "10.0.0.1"},
        {"dual", AddressFamily::IPv4, AddressFamily::IPv4, "198.51.100.7"},
        {"dual", AddressFamily::IPv6, AddressFamily::IPv6, "2001:db8::7"},
        {"dual", AddressFamily::Any, AddressFamily::IPv6, "2001:db8::7"},
        {"v6only", AddressFamily::IPv4, AddressFamily::IPv4, nullptr},
        {"v6only", AddressFamily::Any, AddressFamily::IPv6, "2001:db8::6"},
        {"liar", AddressFamily::IPv4, AddressFamily::IPv4, nullptr},
        {"localhost", AddressFamily::IPv6, AddressFamily::IPv6, nullptr},
    };
    for (const auto& c : cases) {
        try {
            const hv::ResolvedAddress r = user.stack().resolveAddress(c.host, c.family);
            EXPECT_TRUE(c.got) << c.host << " resolved to " << r.text;
            if (c.got) {
                EXPECT_EQ(r.text, c.got) << c.host;
            }
            EXPECT_EQ(r.family, c.gotFamily) << c.host;
        } catch (const SocketError& e) {
            EXPECT_FALSE(c.got) << c.host << ": " << e.code();
            EXPECT_EQ(e.code(), 11004) << c.host;
        }
    }
    const std::vector<std::pair<std::string, int>> names = {
        {"dual", AF_INET},     {"dual", AF_INET6}, {"dual", AF_UNSPEC},    {"v6only", AF_INET},
        {"v6only", AF_UNSPEC}, {"liar", AF_INET},  {"localhost", AF_INET6}};
    EXPECT_EQ(asked, names);
}

// A name service that answers only when released (or after 20 s), like one whose server is gone.
// Polls rather than waiting on a condition: timed condition waits are opaque to ThreadSanitizer.
struct StuckNameService {
    struct State {
        std::atomic<bool> released{false};
        std::atomic<int> asked{0}, answered{0};
    };
    std::shared_ptr<State> state = std::make_shared<State>();

    static void pollUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 2000 && !done(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    NameResolver resolver() const {
        return [state = state](const std::string& name, int) {
            ++state->asked;
            pollUntil([&] { return state->released.load(); });
            ++state->answered;
            return name == "fileserver" ? ResolveResult{"127.0.0.1", 0} : ResolveResult{"", 11001};
        };
    }
    // Lets every lookup end and waits (at most 20 s) until those asked have answered.
    void releaseAndDrain() {
        state->released = true;
        pollUntil([&] { return state->answered.load() == state->asked.load(); });
    }
};

TEST(SocketLayer, CancelAbandonsALookupThatDoesNotEnd) {
    StuckNameService service;
    ResolverGuard guard(service.resolver());
    CancelHandle cancel;
    const std::unique_ptr<Probe> probe = makeNetProbe(cancel);
    for (const bool tcp : {false, true}) {
        SCOPED_TRACE(tcp ? "tcp" : "icmp");
        cancel.reset();
        std::thread quit([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            cancel.cancel();
        });
        const auto t = std::chrono::steady_clock::now();
        const ProbeOutcome o = probe->tryTarget(tcp ? hvtest::tcpTarget("fileserver")
                                                    : hvtest::icmpTarget("fileserver"));
        EXPECT_FALSE(o.alive);
        const long took = msSince(t);
        quit.join();
        EXPECT_EQ(o.error, "Operation cancelled.");
        EXPECT_LT(took, 2000);
    }
    service.releaseAndDrain();
    EXPECT_EQ(service.state->answered, 2);

    // A lookup that ends while the cancel handle is watched gives its answer as always.
    cancel.reset();
    StackUser user;
    EXPECT_EQ(user.stack().resolveToDotted("fileserver", cancel.fd()), "127.0.0.1");
    try {
        user.stack().resolveToDotted("nowhere", cancel.fd());
        ADD_FAILURE() << "nowhere resolved";
    } catch (const SocketError& e) {
        EXPECT_EQ(e.code(), 11001);
    }
}

TEST(SocketLayer, SystemResolverReadsHostsFileAndMapsUnknownNames) {
    // localhost comes from /etc/hosts; an empty name fails without asking any server.
    const ResolveResult local = SocketStack::systemResolve("localhost");
    EXPECT_EQ(local.code, 0);
    EXPECT_EQ(local.dotted.rfind("127.", 0), 0u) << local.dotted;
    const ResolveResult bad = SocketStack::systemResolve("");
    EXPECT_NE(bad.code, 0);
    EXPECT_TRUE(bad.dotted.empty());
    // Literal addresses of either family come back in their own, whatever the family asked.
    EXPECT_EQ(SocketStack::systemResolve("::1", AF_INET6).dotted, "::1");
    EXPECT_EQ(SocketStack::systemResolve("::1", AF_UNSPEC).dotted, "::1");
    EXPECT_NE(SocketStack::systemResolve("::1", AF_INET).code, 0);
}

TEST(SocketLayer, WaitReadableTimesOutWithoutErrorAndWakesOnCancel) {
    SocketHandle handle;
    EXPECT_THROW(handle.waitReadable(10), ConnectionClosedError);
    handle.openHandle(SOCK_DGRAM, 0);
    handle.localAddress = "127.0.0.1";
    handle.bindLocal();
    EXPECT_EQ(handle.localAddress, "127.0.0.1");
    EXPECT_NE(handle.localPort, 0);

    auto t = std::chrono::steady_clock::now();
    EXPECT_FALSE(handle.waitReadable(300));
    EXPECT_GE(msSince(t), 290);

    CancelHandle cancel;
    std::thread quit([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        cancel.cancel();
    });
    t = std::chrono::steady_clock::now();
    EXPECT_THROW(handle.waitReadable(20000, cancel.fd()), CancelledError);
    quit.join();
    EXPECT_LT(msSince(t), 10000);

    // A datagram to itself makes it readable.
    const char byte = 'x';
    handle.sendDatagramTo("127.0.0.1", handle.localPort, &byte, 1);
    EXPECT_TRUE(handle.waitReadable(5000));
    char buf[4];
    EXPECT_EQ(handle.receiveInto(buf, sizeof buf), 1);
}

TEST(SocketLayer, ReceiveReportsDatagramLongerThanBuffer) {
    SocketHandle handle;
    handle.openHandle(SOCK_DGRAM, 0);
    handle.localAddress = "127.0.0.1";
    handle.bindLocal();
    const std::string big(100, 'x');
    handle.sendDatagramTo("127.0.0.1", handle.localPort, big.data(), static_cast<int>(big.size()));
    ASSERT_TRUE(handle.waitReadable(5000));
    char buf[10];
    EXPECT_EQ(handle.receiveInto(buf, sizeof buf), -1);
    EXPECT_EQ(SocketStack::lastErrorCode(), 10040);
}

TEST(SocketLayer, BindToAPortInUseRaisesCouldNotBind) {
    SocketHandle first;
    first.openHandle(SOCK_STREAM, 0);
    first.localAddress = "127.0.0.1";
    first.bindLocal();
    SocketHandle second;
    second.openHandle(SOCK_STREAM, 0);
    second.localAddress = "127.0.0.1";
    second.localPort = first.localPort;
    try {
        second.bindLocal();
        FAIL() << "bound twice";
    } catch (const BindSocketError& e) {
        EXPECT_EQ(e.message(), "Could not bind socket. Address and port are already in use.");
    }
    // An address that is not ours is a plain socket error.
    SocketHandle third;
    third.openHandle(SOCK_STREAM, 0);
    third.localAddress = "198.51.100.9";
    try {
        third.bindLocal();
        FAIL() << "bound a foreign address";
    } catch (const SocketError& e) {
        EXPECT_EQ(e.code(), 10049);
    }
}

TEST(SocketLayer, ShutHandleIsIdempotentAndOpenReplacesTheSocket) {
    SocketHandle handle;
    handle.shutHandle();
    handle.openHandle(SOCK_DGRAM, 0);
    EXPECT_TRUE(handle.allocated());
    handle.openHandle(SOCK_DGRAM, 0);
    EXPECT_TRUE(handle.allocated());
    handle.shutHandle();
    handle.shutHandle();
    EXPECT_FALSE(handle.allocated());
    EXPECT_EQ(handle.handle(), -1);
}
