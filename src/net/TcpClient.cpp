#include "net/TcpClient.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>

#include "net/NetError.h"
#include "net/SocketStack.h"

namespace hv {

void TcpClient::openConnection(int timeoutMs) {
    if (!m_ioHandler) {
        m_ioHandler = std::make_unique<SocketIoHandler>();
        m_freeIoHandlerOnClose = true;
    } else if (m_ioHandler->connected()) {
        throw AlreadyConnectedError();
    }
    try {
        auto& binding = m_ioHandler->binding;
        if (!binding)
            binding = std::make_unique<SocketHandle>();
        else
            binding->reset();
        m_closed = false;
        m_resolved.clear();
        m_connectUs = -1;

        // Resolved first: the name decides the socket's family.
        const ResolvedAddress peer = stack().resolveAddress(host, family, cancelFd);
        m_resolved = peer.text;
        binding->openHandle(SOCK_STREAM, 0,
                            peer.family == AddressFamily::IPv6 ? AF_INET6 : AF_INET);
        binding->localAddress.clear();
        binding->localPort = 0;
        // Bound to port 0, a socket would hold a local port for every destination until its
        // TIME_WAIT ends, and many quick probes run out of ports; this way the port is picked
        // at connect, by the whole address pair. Best effort: without the option the bind
        // behaves as before.
        const int late = 1;
        ::setsockopt(binding->handle(), IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &late, sizeof late);
        binding->bindLocal();
        binding->peerAddress = peer.text;
        binding->peerPort = port;
        // Only the connect is timed: resolving and opening are not the network's.
        const auto began = std::chrono::steady_clock::now();
        if (timeoutMs == -1 || timeoutMs == 0) {
            stack().checkSocketCall(binding->connectPeer());
        } else {
            connectWithDeadline(timeoutMs);
        }
        m_connectUs = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now() - began)
                          .count();
    } catch (...) {
        closeSocket();
        throw;
    }
}

void TcpClient::connectWithDeadline(int timeoutMs) {
    int code = 0;
    SocketHandle::ConnectWait outcome;
    try {
        outcome = m_ioHandler->binding->connectPeerWithin(timeoutMs, cancelFd, &code);
    } catch (const SocketError& e) {
        // Reading back the addresses failed: the connection is not usable.
        throw ConnectError(e.message());
    }
    switch (outcome) {
        case SocketHandle::ConnectWait::Connected:
            return;
        case SocketHandle::ConnectWait::Failed:
            throw ConnectError(SocketStack::socketErrorMessage(code));
        case SocketHandle::ConnectWait::TimedOut:
            m_ioHandler->close();
            throw ConnectTimeoutError();
        case SocketHandle::ConnectWait::Cancelled:
            m_ioHandler->close();
            throw CancelledError();
    }
}

bool TcpClient::isConnected() {
    if ((m_closed || !m_ioHandler) && m_ioHandler && m_ioHandler->connected()) closeSocket();
    return m_ioHandler && m_ioHandler->connected();
}

void TcpClient::closeConnection() {
    closeSocket();
    if (m_freeIoHandlerOnClose) {
        m_ioHandler.reset();
        m_freeIoHandlerOnClose = false;
    }
}

void TcpClient::closeSocket() {
    m_closed = true;
    if (m_ioHandler) m_ioHandler->close();
}

}  // namespace hv
