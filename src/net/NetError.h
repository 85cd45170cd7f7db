#pragma once

#include <QString>
#include <exception>
#include <string>

#include "platform/Error.h"

namespace hv {

// The networking errors. Every probe failure is one of these; the check cycle catches them
// all and counts the try as failed.
class NetError : public Error {
public:
    explicit NetError(const QString& message) : Error(message) {}
};

// The Windows Sockets code of a family the probe cannot reach a host by.
constexpr int kAddressFamilyNotSupported = 10047;

// A failed socket call, with its Windows Sockets code ("Socket Error # %d\r\n%s").
class SocketError : public NetError {
public:
    explicit SocketError(int code);
    SocketError(int code, const QString& message) : NetError(message), m_code(code) {}
    int code() const { return m_code; }

private:
    int m_code;
};

#define HV_NET_ERROR(Name, Base, Text)                           \
    class Name : public Base {                                   \
    public:                                                      \
        Name() : Base(QStringLiteral(Text)) {}                   \
        explicit Name(const QString& message) : Base(message) {} \
    };

HV_NET_ERROR(ConnectionClosedError, NetError, "Connection Closed Gracefully.")
HV_NET_ERROR(SetSizeExceededError, NetError, "Set Size Exceeded.")
HV_NET_ERROR(NotAllBytesSentError, NetError, "Not all bytes sent.")
HV_NET_ERROR(AlreadyConnectedError, NetError, "Already connected.")
HV_NET_ERROR(ConnectTimeoutError, NetError, "Connect timed out.")
HV_NET_ERROR(IcmpError, NetError, "")
HV_NET_ERROR(ConnectError, NetError, "")
// Quit (the check cycle's cancel handle) ended a wait; the try fails like any other error.
HV_NET_ERROR(CancelledError, NetError, "Operation cancelled.")

#undef HV_NET_ERROR

// socket() refused; systemError() is its errno, so a caller can tell a missing privilege from a
// passing shortage of descriptors or buffers.
class InvalidSocketError : public NetError {
public:
    explicit InvalidSocketError(int systemError = 0)
        : NetError(QStringLiteral("Cannot allocate socket.")), m_systemError(systemError) {}
    int systemError() const { return m_systemError; }

private:
    int m_systemError;
};

class PacketTooBigError : public SocketError {
public:
    PacketTooBigError() : SocketError(10040, QStringLiteral("Package Size Too Big.")) {}
};

class BindSocketError : public SocketError {
public:
    BindSocketError()
        : SocketError(10048, QStringLiteral(
                                 "Could not bind socket. Address and port are already in use.")) {}
};

// The message of an error as a probe reports it, UTF-8.
std::string netErrorText(const std::exception& e);

}  // namespace hv
