#pragma once

#include <sys/socket.h>

#include <array>
#include <cstdint>
#include <string>

#include "net/TIdComponent.h"

namespace hv {

// One socket and the addresses that belong to it. Time-outs are in ms; -2 waits without limit.
class TIdSocketHandle : public TIdComponent {
public:
    TIdSocketHandle() = default;
    ~TIdSocketHandle() override;

    int Handle() const { return m_handle; }
    bool Allocated() const { return m_allocated; }

    // Shuts any socket held, then opens a new one (EIdInvalidSocket when refused).
    void OpenHandle(int type, int protocol);
    // shutdown for sending, then close; results ignored; nothing when not allocated.
    void ShutHandle();
    // Forgets the socket (shut first when open) and both addresses.
    void Reset();

    void SetHandleOption(int level, int option, const void* value, socklen_t length);
    // EIdPackageSizeTooBig, EIdNotAllBytesSent or EIdSocketError on failure.
    void SendDatagramTo(const std::string& dotted, int port, const void* bytes, int length);
    // recv with the call's result unchanged; a datagram longer than length fails with
    // EMSGSIZE (10040) instead of being cut short silently.
    int ReceiveInto(void* buffer, int length);

    // Facts of one datagram received with ReceiveFrom.
    struct DatagramInfo {
        std::array<std::uint8_t, 4> source{};
        int ttl = 0;  // from IP_RECVTTL, 0 when not delivered
        // From the error queue (IP_RECVERR): the ICMP message that a router sent about our
        // datagram, whose copy is in the buffer.
        bool fromErrorQueue = false;
        std::uint8_t icmpType = 0;
        std::uint8_t icmpCode = 0;
    };
    // recvmsg: the normal queue, or (errorQueue) the error queue without waiting. Same result
    // rules as ReceiveInto; -1 with EAGAIN when the queue asked for is empty.
    int ReceiveFrom(void* buffer, int length, DatagramInfo& info, bool errorQueue);

    // true when the socket became readable (or has an error pending) within timeoutMs.
    // EIdConnClosedGracefully when not allocated; EIdCancelled when cancelFd (>= 0) becomes
    // readable first.
    bool WaitReadable(int timeoutMs, int cancelFd = -1);

    // Binds LocalAddress:LocalPort (empty: any address); EIdCouldNotBindSocket when in use.
    void BindLocal();
    // Blocking connect to PeerAddress:PeerPort; the result of connect unchanged. On success
    // the local and peer addresses are read back.
    int ConnectPeer();

    enum class ConnectWait { Connected, Failed, TimedOut, Cancelled };
    // Non-blocking connect, then a wait for the outcome on the socket and cancelFd. Failed
    // leaves the Windows Sockets code in *code.
    ConnectWait ConnectPeerWithin(int timeoutMs, int cancelFd, int* code);

    std::string LocalAddress;
    int LocalPort = 0;
    std::string PeerAddress;
    int PeerPort = 0;
    int ClientPortMin = 0;
    int ClientPortMax = 0;

private:
    void readBackNames();

    int m_handle = -1;
    int m_type = 0;
    bool m_allocated = false;
};

}  // namespace hv
