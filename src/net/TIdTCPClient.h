#pragma once

#include <memory>
#include <string>

#include "net/TIdComponent.h"
#include "net/TIdIOHandlerSocket.h"

namespace hv {

// A TCP client as far as a connect probe needs it: open within a time limit, ask, close.
// Not one byte is sent or read.
class TIdTCPClient : public TIdComponent {
public:
    std::string Host;  // taken whole: no port or path is split off
    int Port = 0;
    int ReadTimeout = 0;
    // Watched by the connect wait: readable means give up at once (EIdCancelled).
    int CancelFd = -1;

    // T -1 or 0: a blocking connect; otherwise at most T ms. On any failure the socket is
    // closed, the I/O handler kept for the next open, and the error raised again.
    void OpenConnection(int timeoutMs);
    bool IsConnected();
    // Closes the socket and frees the I/O handler.
    void CloseConnection();

    TIdIOHandlerSocket* IOHandler() const { return m_ioHandler.get(); }

private:
    void ConnectWithDeadline(int timeoutMs);
    void closeSocket();

    std::unique_ptr<TIdIOHandlerSocket> m_ioHandler;
    bool m_freeIOHandlerOnClose = false;
    bool m_closed = false;
};

}  // namespace hv
