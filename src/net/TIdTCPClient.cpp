#include "net/TIdTCPClient.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include "net/EIdException.h"
#include "net/TIdStack.h"

namespace hv {

void TIdTCPClient::OpenConnection(int timeoutMs) {
    if (!m_ioHandler) {
        m_ioHandler = std::make_unique<TIdIOHandlerSocket>();
        m_freeIOHandlerOnClose = true;
    } else if (m_ioHandler->Connected()) {
        throw EIdAlreadyConnected();
    }
    try {
        auto& binding = m_ioHandler->Binding;
        if (!binding)
            binding = std::make_unique<TIdSocketHandle>();
        else
            binding->Reset();
        m_closed = false;

        binding->OpenHandle(SOCK_STREAM, 0);
        binding->LocalAddress.clear();
        binding->LocalPort = 0;
        // Bound to port 0, a socket would hold a local port for every destination until its
        // TIME_WAIT ends, and many quick probes run out of ports; this way the port is picked
        // at connect, by the whole address pair. Best effort: without the option the bind
        // behaves as before.
        const int late = 1;
        ::setsockopt(binding->Handle(), IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &late, sizeof late);
        binding->BindLocal();
        binding->PeerAddress = Stack().ResolveToDotted(Host, CancelFd);
        binding->PeerPort = Port;
        if (timeoutMs == -1 || timeoutMs == 0) {
            Stack().CheckSocketCall(binding->ConnectPeer());
        } else {
            ConnectWithDeadline(timeoutMs);
        }
    } catch (...) {
        closeSocket();
        throw;
    }
}

void TIdTCPClient::ConnectWithDeadline(int timeoutMs) {
    int code = 0;
    TIdSocketHandle::ConnectWait outcome;
    try {
        outcome = m_ioHandler->Binding->ConnectPeerWithin(timeoutMs, CancelFd, &code);
    } catch (const EIdSocketError& e) {
        // Reading back the addresses failed: the connection is not usable.
        throw EIdConnectException(e.message());
    }
    switch (outcome) {
        case TIdSocketHandle::ConnectWait::Connected:
            return;
        case TIdSocketHandle::ConnectWait::Failed:
            throw EIdConnectException(TIdStack::SocketErrorMessage(code));
        case TIdSocketHandle::ConnectWait::TimedOut:
            m_ioHandler->Close();
            throw EIdConnectTimeout();
        case TIdSocketHandle::ConnectWait::Cancelled:
            m_ioHandler->Close();
            throw EIdCancelled();
    }
}

bool TIdTCPClient::IsConnected() {
    if ((m_closed || !m_ioHandler) && m_ioHandler && m_ioHandler->Connected()) closeSocket();
    return m_ioHandler && m_ioHandler->Connected();
}

void TIdTCPClient::CloseConnection() {
    closeSocket();
    if (m_freeIOHandlerOnClose) {
        m_ioHandler.reset();
        m_freeIOHandlerOnClose = false;
    }
}

void TIdTCPClient::closeSocket() {
    m_closed = true;
    if (m_ioHandler) m_ioHandler->Close();
}

}  // namespace hv
