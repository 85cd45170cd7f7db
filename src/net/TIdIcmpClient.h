#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "net/TIdComponent.h"
#include "net/TIdSocketHandle.h"
#include "net/TReplyStatus.h"

namespace hv {

// ICMP echo over a raw IPv4 socket, or, where raw sockets are refused to the user, over the
// kernel's unprivileged ICMP datagram socket. One echo: build, send, wait, report.
class TIdIcmpClient : public TIdComponent {
public:
    static constexpr int kRequestSize = 52;
    static constexpr int kReceiveSize = 1024;
    static constexpr std::uint16_t kFirstSequence = 3489;

    TIdIcmpClient();
    ~TIdIcmpClient() override;

    std::string Host;
    int Port = 0;
    int Protocol = 1;  // ICMP
    int ReceiveTimeout = 5000;
    int TTL = 128;  // outgoing time-to-live, set on the socket before every use
    std::uint16_t EchoSequence = kFirstSequence;
    // Watched by every wait: readable means give up at once (EIdCancelled).
    int CancelFd = -1;
    // Keeps the socket open from one echo to the next instead of closing it after each. For
    // clients used at once: sockets opened and closed beside each other's replies lose some.
    bool KeepSocketOpen = false;
    // Called at the end of every echo that completes without error.
    std::function<void(TIdIcmpClient& sender, const TReplyStatus& reply)> OnReply;

    // Raises on any failure; then OnReply is not called, EchoSequence keeps its value and an
    // open socket stays open for the next echo.
    void RunEcho(const std::string& payload, std::uint16_t sequence);
    void BuildEchoRequest(const std::string& payload);
    TReplyStatus AwaitReply(int timeoutMs);
    // One datagram of the receive buffer (IP header first); true when it ends the wait.
    bool ParseReply(int count, TReplyStatus& record) const;

    // The parse on any bytes, for tests and fuzzing. identifier: the one our requests carry,
    // or nothing on a datagram socket (the kernel has matched it already). Never reads beyond
    // count bytes.
    static bool ParseReply(const std::uint8_t* data, int count, std::uint16_t sequence,
                           std::optional<std::uint16_t> identifier, TReplyStatus& record);
    // RFC 1071 Internet checksum, as the two bytes to store (little-endian word order).
    static std::uint16_t Checksum(const std::uint8_t* data, std::size_t length);

    const std::array<std::uint8_t, kRequestSize>& Request() const { return m_request; }
    const TReplyStatus& ReplyStatus() const { return m_lastReply; }
    std::uint16_t Identifier() const { return m_identifier; }
    bool SocketAllocated() const { return m_socket.Allocated(); }
    // The socket in use (or last used) is the unprivileged datagram kind.
    bool UsesDatagramSocket() const { return m_datagram; }

private:
    TIdSocketHandle& fetchSocket();
    int receiveDatagram();

    TIdSocketHandle m_socket;
    bool m_datagram = false;
    bool m_rawRefused = false;
    int m_appliedTtl = -1;  // the TTL the open socket carries; -1: not set yet
    std::string m_target;   // dotted address of the echo under way
    std::uint16_t m_identifier = 0;
    std::array<std::uint8_t, kRequestSize> m_request{};
    std::array<std::uint8_t, kReceiveSize> m_receive{};
    TReplyStatus m_lastReply;
};

}  // namespace hv
