#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "checking/ProbeKinds.h"
#include "net/NetComponent.h"
#include "net/ReplyStatus.h"
#include "net/SocketHandle.h"

namespace hv {

// ICMP echo over a raw socket, or, where raw sockets are refused to the user, over the kernel's
// unprivileged ICMP datagram socket; ICMPv4 or ICMPv6 by the address the host resolves to, each
// family on a socket of its own. One echo: build, send, wait, report.
class IcmpClient : public NetComponent {
public:
    static constexpr int kRequestSize = 52;
    static constexpr int kReceiveSize = 1024;
    static constexpr std::uint16_t kFirstSequence = 3489;

    IcmpClient();
    ~IcmpClient() override;

    std::string host;
    // The family host is resolved in (a literal address keeps its own).
    AddressFamily family = AddressFamily::IPv4;
    int port = 0;
    int protocol = 1;  // ICMP
    int receiveTimeout = 5000;
    int ttl = 128;  // outgoing time-to-live (IPv6: hop limit), set on the socket before use
    std::uint16_t echoSequence = kFirstSequence;
    // Watched by every wait: readable means give up at once (CancelledError).
    int cancelFd = -1;
    // Keeps the socket open from one echo to the next instead of closing it after each. For
    // clients used at once: sockets opened and closed beside each other's replies lose some.
    bool keepSocketOpen = false;
    // Called with the descriptor right after a raw socket is created, before its filters: what
    // arrives meanwhile on a busy machine (anybody's ICMP) can be delivered here by a test.
    std::function<void(int fd)> onRawSocketCreated;
    // Called at the end of every echo that completes without error.
    std::function<void(IcmpClient& sender, const ReplyStatus& reply)> onReply;

    // Raises on any failure; then onReply is not called, echoSequence keeps its value and an
    // open socket stays open for the next echo.
    void runEcho(const std::string& payload, std::uint16_t sequence);
    void buildEchoRequest(const std::string& payload);
    ReplyStatus awaitReply(int timeoutMs);
    // One datagram of the receive buffer (IP header first); true when it ends the wait.
    bool parseReply(int count, ReplyStatus& record) const;

    // The ICMPv6 parse on any bytes: the 16-byte source address, the hop limit, three bytes of
    // padding, then the ICMPv6 message (what either kind of ICMPv6 socket gives, put in one
    // layout). Same rules as parseReply: an echo reply carrying our numbers, or an unreachable
    // or time-exceeded message quoting our request, ends the wait; anything else is skipped.
    static constexpr int kIpv6Prefix = 20;
    static bool parseReply6(const std::uint8_t* data, int count, std::uint16_t sequence,
                            std::optional<std::uint16_t> identifier, ReplyStatus& record);
    // The parse on any bytes, for tests and fuzzing. identifier: the one our requests carry,
    // or nothing on a datagram socket (the kernel has matched it already). Never reads beyond
    // count bytes.
    static bool parseReply(const std::uint8_t* data, int count, std::uint16_t sequence,
                           std::optional<std::uint16_t> identifier, ReplyStatus& record);
    // RFC 1071 Internet checksum, as the two bytes to store (little-endian word order).
    static std::uint16_t checksum(const std::uint8_t* data, std::size_t length);

    const std::array<std::uint8_t, kRequestSize>& request() const { return m_request; }
    const ReplyStatus& replyStatus() const { return m_lastReply; }
    std::uint16_t identifier() const { return m_identifier; }
    bool socketAllocated() const {
        return m_sockets[0].socket.allocated() || m_sockets[1].socket.allocated();
    }
    // The socket in use (or last used) is the unprivileged datagram kind.
    bool usesDatagramSocket() const { return current().datagram; }
    // Time the echo under way or last sent waited for the raw-socket helper to start.
    std::chrono::microseconds helperWait() const { return m_helperWait; }
    // The address of the echo under way or last sent; empty when its host did not resolve.
    const std::string& targetAddress() const { return m_target; }

private:
    // One socket per family, so a client that echoes both kinds of host keeps both open.
    struct FamilySocket {
        SocketHandle socket;
        bool datagram = false;
        int appliedTtl = -1;  // the TTL / hop limit the open socket carries; -1: not set yet
    };
    FamilySocket& current() { return m_sockets[m_v6 ? 1 : 0]; }
    const FamilySocket& current() const { return m_sockets[m_v6 ? 1 : 0]; }
    SocketHandle& fetchSocket();
    void openRawOrDatagram(FamilySocket& s);
    int receiveDatagram();
    int receiveDatagram6();

    FamilySocket m_sockets[2];
    bool m_v6 = false;                          // the echo under way is ICMPv6
    bool m_ownRawRefused = false;               // this process may not open a raw socket itself
    bool m_helperRefused = false;               // the helper is missing or gave none
    std::chrono::microseconds m_helperWait{0};  // spent waiting for the helper this echo
    std::string m_target;                       // address of the echo under way
    std::uint16_t m_identifier = 0;
    std::array<std::uint8_t, kRequestSize> m_request{};
    std::array<std::uint8_t, kReceiveSize> m_receive{};
    ReplyStatus m_lastReply;
};

}  // namespace hv
