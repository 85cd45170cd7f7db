#include "net/SocketHandle.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/errqueue.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "net/NetError.h"
#include "net/SocketStack.h"
#include "platform/IntegerText.h"

namespace hv {

namespace {

// A socket address of either family, filled from text the way the socket layer carries it.
struct SocketAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;
    const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&storage); }
};

// An IPv4 address from dotted text (empty: any), or an IPv6 address with an optional zone
// (empty: any). IPv6 text that does not parse is refused rather than taken for "::", which
// would reach this machine.
SocketAddress socketAddress(int family, const std::string& text, int port) {
    SocketAddress a;
    if (family == AF_INET6) {
        auto& sa = reinterpret_cast<sockaddr_in6&>(a.storage);
        sa.sin6_family = AF_INET6;
        sa.sin6_port = htons(static_cast<std::uint16_t>(port));
        a.length = sizeof sa;
        if (text.empty()) return a;
        const auto percent = text.find('%');
        const std::string address = text.substr(0, percent);
        if (!SocketStack::looksLikeIpv6(text) ||
            ::inet_pton(AF_INET6, address.c_str(), &sa.sin6_addr) != 1)
            throw SocketError(10022);
        if (percent != std::string::npos) {
            const std::string zone = text.substr(percent + 1);
            sa.sin6_scope_id = ::if_nametoindex(zone.c_str());
            if (sa.sin6_scope_id == 0) {
                const auto index = parseInteger(zone);
                if (!index || *index <= 0) throw SocketError(10022);
                sa.sin6_scope_id = static_cast<std::uint32_t>(*index);
            }
        }
        return a;
    }
    auto& sa = reinterpret_cast<sockaddr_in&>(a.storage);
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<std::uint16_t>(port));
    const auto bytes =
        text.empty() ? std::array<std::uint8_t, 4>{} : SocketStack::addrFromDotted(text);
    std::memcpy(&sa.sin_addr, bytes.data(), 4);
    a.length = sizeof sa;
    return a;
}

std::array<std::uint8_t, 4> addressBytes(const sockaddr_in& sa) {
    std::array<std::uint8_t, 4> bytes{};
    std::memcpy(bytes.data(), &sa.sin_addr, 4);
    return bytes;
}

// The text of a socket address that getsockname or getpeername gave, and its port.
std::string addressText(const sockaddr_storage& storage, int* port) {
    if (storage.ss_family == AF_INET6) {
        const auto& sa = reinterpret_cast<const sockaddr_in6&>(storage);
        *port = ntohs(sa.sin6_port);
        char text[INET6_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET6, &sa.sin6_addr, text, sizeof text);
        std::string out = text;
        char zone[IF_NAMESIZE] = {};
        if (sa.sin6_scope_id != 0 && ::if_indextoname(sa.sin6_scope_id, zone))
            out += std::string("%") + zone;
        return out;
    }
    const auto& sa = reinterpret_cast<const sockaddr_in&>(storage);
    *port = ntohs(sa.sin_port);
    return SocketStack::dottedFromAddr(addressBytes(sa));
}

using Clock = std::chrono::steady_clock;

// poll() on one socket and an optional cancel descriptor, until the deadline (none: -2),
// across EINTR. Returns the socket's revents, 0 on time-out, -1 when cancelled.
int pollWithCancel(int fd, short events, int timeoutMs, int cancelFd) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        int wait = -1;
        if (timeoutMs != -2) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            wait = left > 0 ? static_cast<int>(left) : 0;
        }
        pollfd fds[2] = {{fd, events, 0}, {cancelFd, POLLIN, 0}};
        const int rc = ::poll(fds, cancelFd >= 0 ? 2 : 1, wait);
        if (rc < 0) {
            if (errno == EINTR) continue;
            return 0;
        }
        if (cancelFd >= 0 && (fds[1].revents & POLLIN)) return -1;
        if (rc > 0) return fds[0].revents;
        return 0;
    }
}

}  // namespace

SocketHandle::~SocketHandle() { shutHandle(); }

void SocketHandle::openHandle(int type, int protocol, int family) {
    shutHandle();
    m_handle = stack().newSocket(type, protocol, family);
    m_type = type;
    m_family = family;
    m_allocated = true;
}

void SocketHandle::adoptHandle(int fd, int type, int family) {
    shutHandle();
    m_handle = fd;
    m_type = type;
    m_family = family;
    m_allocated = true;
}

void SocketHandle::shutHandle() {
    if (!m_allocated) return;
    m_allocated = false;
    ::shutdown(m_handle, SHUT_WR);
    ::close(m_handle);
    m_handle = -1;
}

void SocketHandle::reset() {
    shutHandle();
    m_handle = -1;
    localAddress.clear();
    localPort = 0;
    peerAddress.clear();
    peerPort = 0;
}

void SocketHandle::setHandleOption(int level, int option, const void* value, socklen_t length) {
    stack().checkSocketCall(::setsockopt(m_handle, level, option, value, length));
}

void SocketHandle::sendDatagramTo(const std::string& dotted, int port, const void* bytes,
                                  int length) {
    const SocketAddress sa = socketAddress(m_family, dotted, port);
    const ssize_t sent =
        ::sendto(m_handle, bytes, static_cast<std::size_t>(length), 0, sa.get(), sa.length);
    if (sent == -1) {
        if (SocketStack::lastErrorCode() == 10040) throw PacketTooBigError();
        stack().checkSocketCall(-1);
    }
    if (sent != length) throw NotAllBytesSentError();
}

int SocketHandle::receiveInto(void* buffer, int length) {
    // MSG_TRUNC makes recv report a datagram's real length, so one that does not fit is an
    // error here rather than a silently shortened datagram.
    const int flags = m_type == SOCK_STREAM ? 0 : MSG_TRUNC;  // on a stream it would discard
    const ssize_t got = ::recv(m_handle, buffer, static_cast<std::size_t>(length), flags);
    if (got > length) {
        errno = EMSGSIZE;
        return -1;
    }
    return static_cast<int>(got);
}

int SocketHandle::receiveFrom(void* buffer, int length, DatagramInfo& info, bool errorQueue) {
    info = DatagramInfo{};
    sockaddr_storage from{};
    iovec iov{buffer, static_cast<std::size_t>(length)};
    alignas(cmsghdr) unsigned char control[512];
    msghdr msg{};
    msg.msg_name = &from;
    msg.msg_namelen = sizeof from;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    const int flags = errorQueue ? (MSG_ERRQUEUE | MSG_DONTWAIT) : MSG_DONTWAIT;
    const ssize_t got = ::recvmsg(m_handle, &msg, flags);
    if (got < 0) return -1;
    if (!errorQueue && (msg.msg_flags & MSG_TRUNC)) {
        errno = EMSGSIZE;
        return -1;
    }
    if (from.ss_family == AF_INET6) {
        const auto& sa = reinterpret_cast<const sockaddr_in6&>(from);
        std::memcpy(info.source6.data(), &sa.sin6_addr, 16);
    } else {
        info.source = addressBytes(reinterpret_cast<const sockaddr_in&>(from));
    }
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == IPPROTO_IPV6) {
            readIpv6Control(c, info);
            continue;
        }
        if (c->cmsg_level != IPPROTO_IP) continue;
        if (c->cmsg_type == IP_TTL && c->cmsg_len >= CMSG_LEN(sizeof(int))) {
            int ttl = 0;
            std::memcpy(&ttl, CMSG_DATA(c), sizeof ttl);
            info.ttl = ttl;
        } else if (c->cmsg_type == IP_RECVERR &&
                   c->cmsg_len >= CMSG_LEN(sizeof(sock_extended_err))) {
            sock_extended_err ee{};
            std::memcpy(&ee, CMSG_DATA(c), sizeof ee);
            if (ee.ee_origin != SO_EE_ORIGIN_ICMP) continue;
            info.fromErrorQueue = true;
            info.icmpType = ee.ee_type;
            info.icmpCode = ee.ee_code;
            // The router that sent the message follows the record.
            const auto* offender = reinterpret_cast<const unsigned char*>(CMSG_DATA(c)) + sizeof ee;
            if (c->cmsg_len >= CMSG_LEN(sizeof ee + sizeof(sockaddr_in))) {
                sockaddr_in router{};
                std::memcpy(&router, offender, sizeof router);
                if (router.sin_family == AF_INET) info.source = addressBytes(router);
            }
        }
    }
    if (errorQueue && !info.fromErrorQueue) {
        // Something else was queued (a local error): nothing a router told us.
        errno = EAGAIN;
        return -1;
    }
    return static_cast<int>(got);
}

void SocketHandle::readIpv6Control(cmsghdr* c, DatagramInfo& info) {
    if (c->cmsg_type == IPV6_HOPLIMIT && c->cmsg_len >= CMSG_LEN(sizeof(int))) {
        std::memcpy(&info.ttl, CMSG_DATA(c), sizeof info.ttl);
    } else if (c->cmsg_type == IPV6_RECVERR && c->cmsg_len >= CMSG_LEN(sizeof(sock_extended_err))) {
        sock_extended_err ee{};
        std::memcpy(&ee, CMSG_DATA(c), sizeof ee);
        if (ee.ee_origin != SO_EE_ORIGIN_ICMP6) return;
        info.fromErrorQueue = true;
        info.icmpType = ee.ee_type;
        info.icmpCode = ee.ee_code;
        const auto* offender = reinterpret_cast<const unsigned char*>(CMSG_DATA(c)) + sizeof ee;
        if (c->cmsg_len >= CMSG_LEN(sizeof ee + sizeof(sockaddr_in6))) {
            sockaddr_in6 router{};
            std::memcpy(&router, offender, sizeof router);
            if (router.sin6_family == AF_INET6)
                std::memcpy(info.source6.data(), &router.sin6_addr, 16);
        }
    }
}

bool SocketHandle::waitReadable(int timeoutMs, int cancelFd) {
    if (!m_allocated) throw ConnectionClosedError();
    const int revents = pollWithCancel(m_handle, POLLIN, timeoutMs, cancelFd);
    if (revents < 0) throw CancelledError();
    return (revents & (POLLIN | POLLERR)) != 0;
}

void SocketHandle::bindLocal() {
    const SocketAddress sa = socketAddress(m_family, localAddress, localPort);
    const int rc = ::bind(m_handle, sa.get(), sa.length);
    if (stack().checkSocketCall(rc, {10048})) throw BindSocketError();
    sockaddr_storage local{};
    socklen_t len = sizeof local;
    stack().checkSocketCall(::getsockname(m_handle, reinterpret_cast<sockaddr*>(&local), &len));
    localAddress = addressText(local, &localPort);
}

void SocketHandle::readBackNames() {
    sockaddr_storage sa{};
    socklen_t len = sizeof sa;
    stack().checkSocketCall(::getsockname(m_handle, reinterpret_cast<sockaddr*>(&sa), &len));
    localAddress = addressText(sa, &localPort);
    sa = {};
    len = sizeof sa;
    stack().checkSocketCall(::getpeername(m_handle, reinterpret_cast<sockaddr*>(&sa), &len));
    peerAddress = addressText(sa, &peerPort);
}

int SocketHandle::connectPeer() {
    const SocketAddress sa = socketAddress(m_family, peerAddress, peerPort);
    const int rc = ::connect(m_handle, sa.get(), sa.length);
    if (rc != -1) readBackNames();
    return rc;
}

SocketHandle::ConnectWait SocketHandle::connectPeerWithin(int timeoutMs, int cancelFd, int* code) {
    const int flags = ::fcntl(m_handle, F_GETFL);
    stack().checkSocketCall(flags == -1 ? -1 : ::fcntl(m_handle, F_SETFL, flags | O_NONBLOCK));

    const SocketAddress sa = socketAddress(m_family, peerAddress, peerPort);
    int rc = ::connect(m_handle, sa.get(), sa.length);
    if (rc == -1 && errno == EINPROGRESS) {
        const int revents = pollWithCancel(m_handle, POLLOUT, timeoutMs, cancelFd);
        if (revents < 0) return ConnectWait::Cancelled;
        if (revents == 0) return ConnectWait::TimedOut;
        int err = 0;
        socklen_t len = sizeof err;
        if (::getsockopt(m_handle, SOL_SOCKET, SO_ERROR, &err, &len) == -1) err = errno;
        if (err != 0) {
            errno = err;
            rc = -1;
        } else {
            rc = 0;
        }
    }
    if (rc == -1) {
        if (code) *code = SocketStack::lastErrorCode();
        return ConnectWait::Failed;
    }
    readBackNames();
    return ConnectWait::Connected;
}

}  // namespace hv
