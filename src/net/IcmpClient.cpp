#include "net/IcmpClient.h"

#include <arpa/inet.h>
#include <linux/filter.h>
#include <linux/icmp.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>

#include "net/NetError.h"
#include "net/RawSocketHelper.h"
#include "net/SocketStack.h"

namespace hv {

namespace {

constexpr std::uint8_t kEchoReply = 0;
constexpr std::uint8_t kUnreachable = 3;
constexpr std::uint8_t kEchoRequest = 8;
constexpr std::uint8_t kTimeExceeded = 11;
constexpr std::uint8_t kUnreachable6 = 1;
constexpr std::uint8_t kTimeExceeded6 = 3;
constexpr std::uint8_t kEchoRequest6 = 128;
constexpr std::uint8_t kEchoReply6 = 129;
constexpr int kIpv6Header = 40;
constexpr std::uint8_t kNextHeaderIcmp6 = 58;

std::uint16_t readLe16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

void writeLe(std::uint8_t* p, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Size of the IPv4 header put in front of what a datagram socket delivers, so that both kinds
// of socket give the parse the same layout.
constexpr int kIpHeader = 20;
constexpr int kIcmpHeader = 8;

void writeIpHeader(std::uint8_t* p, std::uint8_t ttl, const std::array<std::uint8_t, 4>& source,
                   const std::array<std::uint8_t, 4>& destination) {
    std::fill(p, p + kIpHeader, 0);
    p[0] = 0x45;
    p[8] = ttl;
    p[9] = 1;  // ICMP
    std::copy(source.begin(), source.end(), p + 12);
    std::copy(destination.begin(), destination.end(), p + 16);
}

}  // namespace

namespace {

// Raw ICMP sockets each see every reply: clients used at once get identifiers of their own
// (the first one the process id), so none takes a reply to another's request.
std::uint16_t nextIdentifier() {
    static std::atomic<std::uint32_t> created{0};
    return static_cast<std::uint16_t>((static_cast<std::uint32_t>(::getpid()) + created++) &
                                      0xFFFF);
}

// The identifier as the filter's big-endian loads read it.
std::uint32_t filterIdentifier(std::uint16_t identifier) {
    return static_cast<std::uint32_t>(((identifier & 0xFF) << 8) | (identifier >> 8));
}

template <std::size_t N>
void attachFilter(SocketHandle& socket, sock_filter (&code)[N]) {
    const sock_fprog program{static_cast<unsigned short>(N), code};
    try {
        socket.setHandleOption(SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program);
    } catch (const std::exception&) {
    }
}

// A raw ICMP socket is handed a copy of every ICMP datagram the host receives; with many
// clients at once on a busy link their queues fill with each other's replies and drop their
// own. The kernel keeps only what may concern this client: echo replies carrying its
// identifier (stored little-endian, so read swapped by the filter's big-endian loads),
// destination-unreachable and time-exceeded messages. Best effort: without the filter the
// reply parser still tells ours from others.
void keepOnlyOurReplies(SocketHandle& socket, std::uint16_t identifier) {
    sock_filter code[] = {
        BPF_STMT(BPF_LDX | BPF_B | BPF_MSH, 0),         // X = IP header length
        BPF_STMT(BPF_LD | BPF_B | BPF_IND, 0),          // A = ICMP type
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0, 3, 0),   // echo reply: test the identifier
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 3, 5, 0),   // unreachable: keep
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 11, 4, 0),  // time exceeded: keep
        BPF_STMT(BPF_RET | BPF_K, 0),                   // anything else: drop
        BPF_STMT(BPF_LD | BPF_H | BPF_IND, 4),          // A = identifier
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, filterIdentifier(identifier), 1, 0),
        BPF_STMT(BPF_RET | BPF_K, 0),
        BPF_STMT(BPF_RET | BPF_K, 0xFFFF),
    };
    attachFilter(socket, code);
}

// The same for ICMPv6, whose raw socket hands the filter the ICMPv6 message alone (no IPv6
// header in front). Without it every client's socket queued every other client's answers, and
// with 64 at once a queue filled up while its thread was not reading and dropped its own.
void keepOnlyOurReplies6(SocketHandle& socket, std::uint16_t identifier) {
    sock_filter code[] = {
        BPF_STMT(BPF_LD | BPF_B | BPF_ABS, 0),                      // A = ICMPv6 type
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kEchoReply6, 3, 0),     // test the identifier
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kUnreachable6, 5, 0),   // keep
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kTimeExceeded6, 4, 0),  // keep
        BPF_STMT(BPF_RET | BPF_K, 0),                               // anything else: drop
        BPF_STMT(BPF_LD | BPF_H | BPF_ABS, 4),                      // A = identifier
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, filterIdentifier(identifier), 1, 0),
        BPF_STMT(BPF_RET | BPF_K, 0),
        BPF_STMT(BPF_RET | BPF_K, 0xFFFF),
    };
    attachFilter(socket, code);
}

// A wait that ended without an answer: the record says so, with the family's "any" address.
void markTimedOut(ReplyStatus& record, std::uint16_t sequence, const char* anyAddress) {
    record.byteCount = 0;
    record.sourceAddress = anyAddress;
    record.icmpType = 0;
    record.seqNumber = sequence;
    record.replyTtl = 0;
    record.outcome = ReplyOutcome::TimedOut;
}

// A raw socket is given a copy of every ICMP message from the moment it exists; what came
// before its filters were in place (anybody's echoes and answers, on a busy machine a queue's
// worth while the thread waited for a processor) would fill its receive buffer and leave the
// answer to our request no room. Dropped before the request goes out.
void dropQueued(SocketHandle& socket) {
    std::array<std::uint8_t, 64> scrap{};
    for (int i = 0; i < 100000; ++i) {  // bounded by the receive buffer anyway
        if (::recv(socket.handle(), scrap.data(), scrap.size(), MSG_DONTWAIT | MSG_TRUNC) < 0)
            break;
    }
}

}  // namespace

IcmpClient::IcmpClient() : m_identifier(nextIdentifier()) {}

IcmpClient::~IcmpClient() = default;

std::uint16_t IcmpClient::checksum(const std::uint8_t* data, std::size_t length) {
    std::uint32_t sum = 0;
    std::size_t i = 0;
    for (; i + 1 < length; i += 2) sum += readLe16(data + i);
    if (i < length) sum += data[i];
    sum = (sum >> 16) + (sum & 0xFFFF);
    sum += sum >> 16;
    return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

void IcmpClient::buildEchoRequest(const std::string& payload) {
    m_request.fill(0);
    m_request[0] = m_v6 ? kEchoRequest6 : kEchoRequest;
    m_request[1] = 0;
    writeLe(&m_request[4], m_identifier, 2);
    writeLe(&m_request[6], echoSequence, 2);
    writeLe(&m_request[8], SocketStack::tickCount(), 4);
    const std::size_t n = std::min<std::size_t>(payload.size(), 32);
    std::copy(payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(n), &m_request[20]);
    std::fill(m_request.begin() + 20 + static_cast<std::ptrdiff_t>(n), m_request.end(), 'E');
    // An ICMPv6 checksum covers the addresses too: the kernel fills it in on either socket.
    if (!m_v6) writeLe(&m_request[2], checksum(m_request.data(), m_request.size()), 2);
}

void IcmpClient::openRawOrDatagram(FamilySocket& s) {
    SocketHandle& socket = s.socket;
    const int family = m_v6 ? AF_INET6 : AF_INET;
    const int raw = m_v6 ? IPPROTO_ICMPV6 : protocol;
    bool opened = false;
    if (!m_ownRawRefused) {
        try {
            socket.openHandle(SOCK_RAW, raw, family);
            opened = true;
        } catch (const InvalidSocketError& e) {
            // Only a missing privilege lasts; a shortage of descriptors or buffers fails
            // this try alone, and the next one asks for a raw socket again.
            if (e.systemError() != EPERM && e.systemError() != EACCES) throw;
            m_ownRawRefused = true;
        }
    }
    // Without the privilege of its own (the usual case: the program holds no capability), the
    // helper that holds it hands over a raw socket, with the same filters as below.
    if (!opened && !m_helperRefused) {
        const auto asked = std::chrono::steady_clock::now();
        const int fd = RawSocketHelper::takeSocket(family);
        // The helper's start (the first echo of a run, rarely another) is no part of the
        // round trip: the figure stays what it is over a raw socket of our own.
        m_helperWait += std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now() - asked);
        if (fd >= 0) {
            socket.adoptHandle(fd, SOCK_RAW, family);
            opened = true;
        } else {
            m_helperRefused = true;
        }
    }
    if (opened) {
        if (onRawSocketCreated) onRawSocketCreated(socket.handle());
        if (m_v6) {
            // Every ICMPv6 message reaches a raw socket: neighbour discovery, router
            // advertisements, other programs' echoes. Before anything is sent, let through only
            // the kinds that can answer an echo; the parse skips the rest anyway.
            icmp6_filter filter;
            ICMP6_FILTER_SETBLOCKALL(&filter);
            ICMP6_FILTER_SETPASS(kEchoReply6, &filter);
            ICMP6_FILTER_SETPASS(kUnreachable6, &filter);
            ICMP6_FILTER_SETPASS(kTimeExceeded6, &filter);
            ::setsockopt(socket.handle(), IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter);
            keepOnlyOurReplies6(socket, m_identifier);
        } else {
            keepOnlyOurReplies(socket, m_identifier);
            // A raw socket sees every ICMP message that reaches the machine: let through
            // only the kinds that can answer an echo. Best effort; the parse skips the
            // rest anyway.
            icmp_filter filter{};
            filter.data = ~((1u << kEchoReply) | (1u << kUnreachable) | (1u << kTimeExceeded));
            ::setsockopt(socket.handle(), SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
        }
        dropQueued(socket);
    }
    const int on = 1;
    if (!opened) {
        // Without CAP_NET_RAW: the datagram socket that net.ipv4.ping_group_range allows (for
        // both families). It throws "Cannot allocate socket." when that is refused too.
        socket.openHandle(SOCK_DGRAM, m_v6 ? int{IPPROTO_ICMPV6} : int{IPPROTO_ICMP}, family);
        s.datagram = true;
        if (m_v6) {
            socket.setHandleOption(IPPROTO_IPV6, IPV6_RECVERR, &on, sizeof on);
        } else {
            socket.setHandleOption(IPPROTO_IP, IP_RECVTTL, &on, sizeof on);
            socket.setHandleOption(IPPROTO_IP, IP_RECVERR, &on, sizeof on);
        }
    }
    // Neither kind of ICMPv6 socket hands over the IPv6 header: the hop limit comes aside.
    if (m_v6) socket.setHandleOption(IPPROTO_IPV6, IPV6_RECVHOPLIMIT, &on, sizeof on);
}

SocketHandle& IcmpClient::fetchSocket() {
    FamilySocket& s = current();
    if (!s.socket.allocated()) {
        s.datagram = false;
        s.appliedTtl = -1;
        openRawOrDatagram(s);
    }
    // Applied when it differs from what this socket has: the socket is fetched several times
    // an echo, and a pass of hundreds of echoes spent most of its system calls here.
    const int wanted = ttl;
    if (wanted != s.appliedTtl) {
        if (m_v6)
            s.socket.setHandleOption(IPPROTO_IPV6, IPV6_UNICAST_HOPS, &wanted, sizeof wanted);
        else
            s.socket.setHandleOption(IPPROTO_IP, IP_TTL, &wanted, sizeof wanted);
        s.appliedTtl = wanted;
    }
    return s.socket;
}

void IcmpClient::runEcho(const std::string& payload, std::uint16_t sequence) {
    if (sequence != 0) echoSequence = sequence;
    m_helperWait = {};
    const std::uint32_t started = SocketStack::tickCount();

    // Resolved before the socket is fetched: a name that does not resolve leaves none open.
    m_target.clear();
    const ResolvedAddress peer = stack().resolveAddress(host, family, cancelFd);
    m_target = peer.text;
    m_v6 = peer.family == AddressFamily::IPv6;
    buildEchoRequest(payload);
    SocketHandle& socket = fetchSocket();
    // Only the send and the wait are timed: resolving and opening are not the network's.
    const auto sent = std::chrono::steady_clock::now();
    socket.sendDatagramTo(m_target, port, m_request.data(), kRequestSize);

    ReplyStatus record = awaitReply(receiveTimeout);
    const auto answered = std::chrono::steady_clock::now();
    const auto helperMs = static_cast<std::uint32_t>(m_helperWait.count() / 1000);
    const std::uint32_t roundTrip = SocketStack::tickCount() - started - helperMs;  // mod 2^32
    if (record.byteCount > 0)
        record.roundTripUs =
            std::chrono::duration_cast<std::chrono::microseconds>(answered - sent).count();
    if (!keepSocketOpen) fetchSocket().shutHandle();

    record.roundTripMs = roundTrip;
    m_lastReply = record;
    if (onReply) onReply(*this, m_lastReply);
    ++echoSequence;
}

int IcmpClient::receiveDatagram() {
    if (m_v6) return receiveDatagram6();
    SocketHandle& socket = current().socket;
    if (!current().datagram) return socket.receiveInto(m_receive.data(), kReceiveSize);

    // The datagram socket delivers the ICMP message alone, or, in its error queue, the copy of
    // our request that a router's message quoted. Rebuild the datagram a raw socket would have
    // seen from the facts the kernel gives (source, TTL, type and code).
    SocketHandle::DatagramInfo info;
    const auto destination = SocketStack::addrFromDotted(m_target);
    constexpr int kQuoted = kIpHeader + kIcmpHeader + kIpHeader;
    int got = socket.receiveFrom(m_receive.data() + kQuoted, kReceiveSize - kQuoted, info, true);
    if (got >= 0) {
        std::uint8_t* p = m_receive.data();
        writeIpHeader(p, static_cast<std::uint8_t>(info.ttl), info.source, {});
        std::fill(p + kIpHeader, p + kIpHeader + kIcmpHeader, 0);
        p[kIpHeader] = info.icmpType;
        p[kIpHeader + 1] = info.icmpCode;
        writeIpHeader(p + kIpHeader + kIcmpHeader, static_cast<std::uint8_t>(ttl), {}, destination);
        return got + kQuoted;
    }
    if (errno != EAGAIN && errno != EWOULDBLOCK) return -1;
    got = socket.receiveFrom(m_receive.data() + kIpHeader, kReceiveSize - kIpHeader, info, false);
    if (got < 0) return (errno == EAGAIN || errno == EWOULDBLOCK) ? -2 : -1;
    writeIpHeader(m_receive.data(), static_cast<std::uint8_t>(info.ttl), info.source, destination);
    return got + kIpHeader;
}

int IcmpClient::receiveDatagram6() {
    // Both kinds of socket give the ICMPv6 message alone, with the source and hop limit aside;
    // the datagram socket gives a router's message about our request in its error queue, as
    // the copy of our request and the message's type. Put either in the layout of parseReply6,
    // an error rebuilt as a raw socket would have seen it: its header, our request's IPv6
    // header, our request.
    FamilySocket& s = current();
    SocketHandle::DatagramInfo info;
    std::uint8_t* p = m_receive.data();
    const auto prefix = [&] {
        std::copy(info.source6.begin(), info.source6.end(), p);
        p[16] = static_cast<std::uint8_t>(info.ttl);
        p[17] = p[18] = p[19] = 0;
    };
    constexpr int kQuoted = kIpv6Prefix + kIcmpHeader + kIpv6Header;
    if (s.datagram) {
        const int got = s.socket.receiveFrom(p + kQuoted, kReceiveSize - kQuoted, info, true);
        if (got >= 0) {
            prefix();
            std::fill(p + kIpv6Prefix, p + kQuoted, 0);
            p[kIpv6Prefix] = info.icmpType;
            p[kIpv6Prefix + 1] = info.icmpCode;
            p[kIpv6Prefix + kIcmpHeader + 6] = kNextHeaderIcmp6;
            return got + kQuoted;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) return -1;
    }
    const int got = s.socket.receiveFrom(p + kIpv6Prefix, kReceiveSize - kIpv6Prefix, info, false);
    if (got < 0) return (errno == EAGAIN || errno == EWOULDBLOCK) ? -2 : -1;
    prefix();
    return got + kIpv6Prefix;
}

ReplyStatus IcmpClient::awaitReply(int timeoutMs) {
    ReplyStatus record;
    record.outcome = ReplyOutcome::EchoReply;
    m_receive.fill(0);
    const std::uint32_t started = SocketStack::tickCount();
    int remaining = timeoutMs;
    // Every pass either takes a datagram or reaches the time-out, so the loop is bounded by
    // the time-out.
    for (;;) {
        int count = 0;
        if (fetchSocket().waitReadable(timeoutMs < 0 ? -2 : remaining, cancelFd)) {
            fetchSocket();
            count = receiveDatagram();
        }
        if (count == -1) stack().checkSocketCall(-1);
        // -2: woken without a datagram (the error was consumed elsewhere); wait on.
        if (count != -2 && parseReply(count, record)) return record;
        if (timeoutMs < 0) continue;
        const auto elapsed = static_cast<std::int64_t>(SocketStack::tickCount() - started);
        const std::int64_t left = static_cast<std::int64_t>(timeoutMs) - elapsed;
        if (left <= 0) return record;
        remaining = static_cast<int>(left);
    }
}

bool IcmpClient::parseReply(int count, ReplyStatus& record) const {
    const int n = std::clamp(count, -1, kReceiveSize);
    // A datagram socket's kernel has matched the identifier already (it chose it).
    const std::optional<std::uint16_t> id =
        current().datagram ? std::nullopt : std::optional<std::uint16_t>(m_identifier);
    if (m_v6) return parseReply6(m_receive.data(), n, echoSequence, id, record);
    return parseReply(m_receive.data(), n, echoSequence, id, record);
}

bool IcmpClient::parseReply6(const std::uint8_t* data, int count, std::uint16_t sequence,
                             std::optional<std::uint16_t> identifier, ReplyStatus& record) {
    if (count == 0) {
        markTimedOut(record, sequence, "::");
        return true;
    }
    if (count < 0) throw IcmpError("Not enough bytes received");
    record.outcome = ReplyOutcome::EchoReply;
    // Too short to be about anything of ours: somebody else's message, skipped.
    if (count < kIpv6Prefix + kIcmpHeader) return false;

    const std::uint8_t* message = data + kIpv6Prefix;
    const std::uint8_t type = message[0];
    const std::uint8_t* echo = nullptr;
    switch (type) {
        case kEchoReply6:
            echo = message;
            break;
        case kUnreachable6:
        case kTimeExceeded6: {
            // The quoted packet: its IPv6 header, then our request's header. A quote with
            // extension headers in between, or too short, is not about an echo of ours.
            const int quoted = kIpv6Prefix + kIcmpHeader;
            if (quoted + kIpv6Header + kIcmpHeader > count) return false;
            if (data[quoted + 6] != kNextHeaderIcmp6) return false;
            echo = data + quoted + kIpv6Header;
            if (echo[0] != kEchoRequest6) return false;
            break;
        }
        default:
            // Our own request looped back, neighbour discovery, router advertisements and
            // anything else: never about our request, and the wait goes on.
            return false;
    }
    const std::uint16_t seq = readLe16(echo + 6);
    if (seq != sequence) return false;
    if (identifier && readLe16(echo + 4) != *identifier) return false;

    char text[INET6_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET6, data, text, sizeof text);
    record.outcome = type == kEchoReply6     ? ReplyOutcome::EchoReply
                     : type == kUnreachable6 ? ReplyOutcome::Unreachable
                                             : ReplyOutcome::TtlExpired;
    record.byteCount = count;
    record.sourceAddress = text;
    record.icmpType = type;
    record.seqNumber = seq;
    record.replyTtl = data[16];
    return true;
}

bool IcmpClient::parseReply(const std::uint8_t* data, int count, std::uint16_t sequence,
                            std::optional<std::uint16_t> identifier, ReplyStatus& record) {
    if (count == 0) {
        markTimedOut(record, sequence, "0.0.0.0");
        return true;
    }
    record.outcome = ReplyOutcome::Error;
    const int h = 4 * (data[0] & 0x0F);
    if (count < 0) throw IcmpError("Not enough bytes received");
    // Too short to be about anything of ours: somebody else's message, skipped.
    if (h + kIcmpHeader > count) {
        record.outcome = ReplyOutcome::EchoReply;
        return false;
    }

    const std::uint8_t type = data[h];
    const std::uint8_t* echo = nullptr;  // the echo header that must carry our numbers
    switch (type) {
        case kEchoReply:
            record.outcome = ReplyOutcome::EchoReply;
            echo = data + h;
            break;
        case kEchoRequest:
            // Our own request looped back to the raw socket, or anybody's: never an answer.
            record.outcome = ReplyOutcome::EchoReply;
            return false;
        case kUnreachable:
        case kTimeExceeded: {
            record.outcome =
                type == kUnreachable ? ReplyOutcome::Unreachable : ReplyOutcome::TtlExpired;
            // The quoted datagram: its own IP header, then at least the 8 bytes of our request's
            // header. Anything that does not hold a whole one quotes nothing of ours.
            const int quoted = h + kIcmpHeader;
            if (quoted >= count) return false;
            const int qh = 4 * (data[quoted] & 0x0F);
            if (qh < kIpHeader || quoted + qh + kIcmpHeader > count) return false;
            echo = data + quoted + qh;
            if (echo[0] != kEchoRequest) return false;
            break;
        }
        default:
            // A redirect, parameter problem, timestamp or any other message: never about our
            // request, and the wait goes on.
            record.outcome = ReplyOutcome::EchoReply;
            return false;
    }

    const std::uint16_t seq = readLe16(echo + 6);
    if (seq != sequence) return false;
    if (identifier && readLe16(echo + 4) != *identifier) return false;

    // With a header length below 20 the IP fields may lie beyond the datagram: read as 0.
    const auto at = [&](int i) { return i < count ? data[i] : std::uint8_t{0}; };
    record.byteCount = count;
    record.sourceAddress = SocketStack::dottedFromAddr({at(12), at(13), at(14), at(15)});
    record.icmpType = type;
    record.seqNumber = seq;
    record.replyTtl = at(8);
    return true;
}

}  // namespace hv
