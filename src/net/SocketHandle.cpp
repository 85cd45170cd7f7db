#include "net/SocketHandle.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/errqueue.h>
#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "net/NetError.h"
#include "net/SocketStack.h"

namespace hv {

namespace {

sockaddr_in socketAddress(const std::string& dotted, int port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<std::uint16_t>(port));
    const auto bytes =
        dotted.empty() ? std::array<std::uint8_t, 4>{} : SocketStack::addrFromDotted(dotted);
    std::memcpy(&sa.sin_addr, bytes.data(), 4);
    return sa;
}

std::array<std::uint8_t, 4> addressBytes(const sockaddr_in& sa) {
    std::array<std::uint8_t, 4> bytes{};
    std::memcpy(bytes.data(), &sa.sin_addr, 4);
    return bytes;
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

void SocketHandle::openHandle(int type, int protocol) {
    shutHandle();
    m_handle = stack().newSocket(type, protocol);
    m_type = type;
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
    const sockaddr_in sa = socketAddress(dotted, port);
    const ssize_t sent = ::sendto(m_handle, bytes, static_cast<std::size_t>(length), 0,
                                  reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
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
    sockaddr_in from{};
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
    info.source = addressBytes(from);
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
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

bool SocketHandle::waitReadable(int timeoutMs, int cancelFd) {
    if (!m_allocated) throw ConnectionClosedError();
    const int revents = pollWithCancel(m_handle, POLLIN, timeoutMs, cancelFd);
    if (revents < 0) throw CancelledError();
    return (revents & (POLLIN | POLLERR)) != 0;
}

void SocketHandle::bindLocal() {
    const sockaddr_in sa = socketAddress(localAddress, localPort);
    const int rc = ::bind(m_handle, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    if (stack().checkSocketCall(rc, {10048})) throw BindSocketError();
    sockaddr_in local{};
    socklen_t len = sizeof local;
    stack().checkSocketCall(::getsockname(m_handle, reinterpret_cast<sockaddr*>(&local), &len));
    localAddress = SocketStack::dottedFromAddr(addressBytes(local));
    localPort = ntohs(local.sin_port);
}

void SocketHandle::readBackNames() {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    stack().checkSocketCall(::getsockname(m_handle, reinterpret_cast<sockaddr*>(&sa), &len));
    localAddress = SocketStack::dottedFromAddr(addressBytes(sa));
    localPort = ntohs(sa.sin_port);
    len = sizeof sa;
    stack().checkSocketCall(::getpeername(m_handle, reinterpret_cast<sockaddr*>(&sa), &len));
    peerAddress = SocketStack::dottedFromAddr(addressBytes(sa));
    peerPort = ntohs(sa.sin_port);
}

int SocketHandle::connectPeer() {
    const sockaddr_in sa = socketAddress(peerAddress, peerPort);
    const int rc = ::connect(m_handle, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    if (rc != -1) readBackNames();
    return rc;
}

SocketHandle::ConnectWait SocketHandle::connectPeerWithin(int timeoutMs, int cancelFd, int* code) {
    const int flags = ::fcntl(m_handle, F_GETFL);
    stack().checkSocketCall(flags == -1 ? -1 : ::fcntl(m_handle, F_SETFL, flags | O_NONBLOCK));

    const sockaddr_in sa = socketAddress(peerAddress, peerPort);
    int rc = ::connect(m_handle, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
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
