#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "checking/ProbeKinds.h"
#include "net/NetComponent.h"
#include "net/SocketIoHandler.h"

namespace hv {

// A TCP client as far as a connect probe needs it: open within a time limit, ask, close.
// Not one byte is sent or read.
class TcpClient : public NetComponent {
public:
    std::string host;  // taken whole: no port or path is split off
    // The family host is resolved in (a literal address keeps its own).
    AddressFamily family = AddressFamily::IPv4;
    int port = 0;
    int readTimeout = 0;
    // Watched by the connect wait: readable means give up at once (CancelledError).
    int cancelFd = -1;

    // T -1 or 0: a blocking connect; otherwise at most T ms. On any failure the socket is
    // closed, the I/O handler kept for the next open, and the error raised again.
    void openConnection(int timeoutMs);
    bool isConnected();
    // Closes the socket and frees the I/O handler.
    void closeConnection();

    SocketIoHandler* ioHandler() const { return m_ioHandler.get(); }
    // The address the last open went to, once its host was resolved; empty before.
    const std::string& resolvedAddress() const { return m_resolved; }
    // How long the last open's connect took, in µs; -1 when it did not connect.
    std::int64_t connectUs() const { return m_connectUs; }

private:
    void connectWithDeadline(int timeoutMs);
    void closeSocket();

    std::unique_ptr<SocketIoHandler> m_ioHandler;
    bool m_freeIoHandlerOnClose = false;
    bool m_closed = false;
    std::string m_resolved;
    std::int64_t m_connectUs = -1;
};

}  // namespace hv
