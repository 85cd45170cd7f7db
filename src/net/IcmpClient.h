#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "net/NetComponent.h"
#include "net/ReplyStatus.h"
#include "net/SocketHandle.h"

namespace hv {

// ICMP echo over a raw IPv4 socket, or, where raw sockets are refused to the user, over the
// kernel's unprivileged ICMP datagram socket. One echo: build, send, wait, report.
class IcmpClient : public NetComponent {
public:
    static constexpr int kRequestSize = 52;
    static constexpr int kReceiveSize = 1024;
    static constexpr std::uint16_t kFirstSequence = 3489;

    IcmpClient();
    ~IcmpClient() override;

    std::string host;
    int port = 0;
    int protocol = 1;  // ICMP
    int receiveTimeout = 5000;
    int ttl = 128;  // outgoing time-to-live, set on the socket before every use
    std::uint16_t echoSequence = kFirstSequence;
    // Watched by every wait: readable means give up at once (CancelledError).
    int cancelFd = -1;
    // Keeps the socket open from one echo to the next instead of closing it after each. For
    // clients used at once: sockets opened and closed beside each other's replies lose some.
    bool keepSocketOpen = false;
    // Called at the end of every echo that completes without error.
    std::function<void(IcmpClient& sender, const ReplyStatus& reply)> onReply;

    // Raises on any failure; then onReply is not called, echoSequence keeps its value and an
    // open socket stays open for the next echo.
    void runEcho(const std::string& payload, std::uint16_t sequence);
    void buildEchoRequest(const std::string& payload);
    ReplyStatus awaitReply(int timeoutMs);
    // One datagram of the receive buffer (IP header first); true when it ends the wait.
    bool parseReply(int count, ReplyStatus& record) const;

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
    bool socketAllocated() const { return m_socket.allocated(); }
    // The socket in use (or last used) is the unprivileged datagram kind.
    bool usesDatagramSocket() const { return m_datagram; }

private:
    SocketHandle& fetchSocket();
    int receiveDatagram();

    SocketHandle m_socket;
    bool m_datagram = false;
    bool m_rawRefused = false;
    int m_appliedTtl = -1;  // the TTL the open socket carries; -1: not set yet
    std::string m_target;   // dotted address of the echo under way
    std::uint16_t m_identifier = 0;
    std::array<std::uint8_t, kRequestSize> m_request{};
    std::array<std::uint8_t, kReceiveSize> m_receive{};
    ReplyStatus m_lastReply;
};

}  // namespace hv
