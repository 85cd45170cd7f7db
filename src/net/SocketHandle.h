#pragma once

#include <sys/socket.h>

#include <array>
#include <cstdint>
#include <string>

#include "net/NetComponent.h"

namespace hv {

// One socket and the addresses that belong to it. Time-outs are in ms; -2 waits without limit.
class SocketHandle : public NetComponent {
public:
    SocketHandle() = default;
    ~SocketHandle() override;

    int handle() const { return m_handle; }
    int family() const { return m_family; }
    bool allocated() const { return m_allocated; }

    // Shuts any socket held, then opens a new one (InvalidSocketError when refused). The
    // addresses below are of the socket's family: dotted IPv4, or IPv6 text with "%zone".
    void openHandle(int type, int protocol, int family = AF_INET);
    // Shuts any socket held, then takes over fd, a socket opened elsewhere.
    void adoptHandle(int fd, int type, int family);
    // shutdown for sending, then close; results ignored; nothing when not allocated.
    void shutHandle();
    // Forgets the socket (shut first when open) and both addresses.
    void reset();

    void setHandleOption(int level, int option, const void* value, socklen_t length);
    // PacketTooBigError, NotAllBytesSentError or SocketError on failure.
    void sendDatagramTo(const std::string& dotted, int port, const void* bytes, int length);
    // recv with the call's result unchanged; a datagram longer than length fails with
    // EMSGSIZE (10040) instead of being cut short silently.
    int receiveInto(void* buffer, int length);

    // Facts of one datagram received with receiveFrom.
    struct DatagramInfo {
        std::array<std::uint8_t, 4> source{};
        std::array<std::uint8_t, 16> source6{};  // on an IPv6 socket, in place of source
        int ttl = 0;  // from IP_RECVTTL or IPV6_RECVHOPLIMIT, 0 when not delivered
        // From the error queue (IP_RECVERR, IPV6_RECVERR): the ICMP message that a router sent
        // about our datagram, whose copy is in the buffer.
        bool fromErrorQueue = false;
        std::uint8_t icmpType = 0;
        std::uint8_t icmpCode = 0;
    };
    // recvmsg: the normal queue, or (errorQueue) the error queue without waiting. Same result
    // rules as receiveInto; -1 with EAGAIN when the queue asked for is empty.
    int receiveFrom(void* buffer, int length, DatagramInfo& info, bool errorQueue);

    // true when the socket became readable (or has an error pending) within timeoutMs.
    // ConnectionClosedError when not allocated; CancelledError when cancelFd (>= 0) becomes
    // readable first.
    bool waitReadable(int timeoutMs, int cancelFd = -1);

    // Binds localAddress:localPort (empty: any address); BindSocketError when in use.
    void bindLocal();
    // Blocking connect to peerAddress:peerPort; the result of connect unchanged. On success
    // the local and peer addresses are read back.
    int connectPeer();

    enum class ConnectWait { Connected, Failed, TimedOut, Cancelled };
    // Non-blocking connect, then a wait for the outcome on the socket and cancelFd. Failed
    // leaves the Windows Sockets code in *code.
    ConnectWait connectPeerWithin(int timeoutMs, int cancelFd, int* code);

    std::string localAddress;
    int localPort = 0;
    std::string peerAddress;
    int peerPort = 0;
    int clientPortMin = 0;
    int clientPortMax = 0;

private:
    void readBackNames();
    static void readIpv6Control(struct cmsghdr* c, DatagramInfo& info);

    int m_handle = -1;
    int m_type = 0;
    int m_family = AF_INET;
    bool m_allocated = false;
};

}  // namespace hv
