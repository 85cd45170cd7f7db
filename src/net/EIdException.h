#pragma once

#include <QString>

#include "platform/Error.h"

namespace hv {

// The networking errors. Every probe failure is one of these; the check cycle catches them
// all and counts the try as failed.
class EIdException : public Error {
public:
    explicit EIdException(const QString& message) : Error(message) {}
};

// A failed socket call, with its Windows Sockets code ("Socket Error # %d\r\n%s").
class EIdSocketError : public EIdException {
public:
    explicit EIdSocketError(int code);
    EIdSocketError(int code, const QString& message) : EIdException(message), m_code(code) {}
    int code() const { return m_code; }

private:
    int m_code;
};

#define HV_ID_ERROR(Name, Base, Text)                            \
    class Name : public Base {                                   \
    public:                                                      \
        Name() : Base(QStringLiteral(Text)) {}                   \
        explicit Name(const QString& message) : Base(message) {} \
    };

HV_ID_ERROR(EIdConnClosedGracefully, EIdException, "Connection Closed Gracefully.")
HV_ID_ERROR(EIdStackSetSizeExceeded, EIdException, "Set Size Exceeded.")
HV_ID_ERROR(EIdNotAllBytesSent, EIdException, "Not all bytes sent.")
HV_ID_ERROR(EIdAlreadyConnected, EIdException, "Already connected.")
HV_ID_ERROR(EIdConnectTimeout, EIdException, "Connect timed out.")
HV_ID_ERROR(EIdIcmpException, EIdException, "")
HV_ID_ERROR(EIdConnectException, EIdException, "")
// Quit (the check cycle's cancel handle) ended a wait; the try fails like any other error.
HV_ID_ERROR(EIdCancelled, EIdException, "Operation cancelled.")

#undef HV_ID_ERROR

// socket() refused; systemError() is its errno, so a caller can tell a missing privilege from a
// passing shortage of descriptors or buffers.
class EIdInvalidSocket : public EIdException {
public:
    explicit EIdInvalidSocket(int systemError = 0)
        : EIdException(QStringLiteral("Cannot allocate socket.")), m_systemError(systemError) {}
    int systemError() const { return m_systemError; }

private:
    int m_systemError;
};

class EIdPackageSizeTooBig : public EIdSocketError {
public:
    EIdPackageSizeTooBig() : EIdSocketError(10040, QStringLiteral("Package Size Too Big.")) {}
};

class EIdCouldNotBindSocket : public EIdSocketError {
public:
    EIdCouldNotBindSocket()
        : EIdSocketError(
              10048,
              QStringLiteral("Could not bind socket. Address and port are already in use.")) {}
};

}  // namespace hv
