#include "net/NetError.h"

#include "net/SocketStack.h"

namespace hv {

SocketError::SocketError(int code)
    : NetError(SocketStack::socketErrorMessage(code)), m_code(code) {}

std::string netErrorText(const std::exception& e) {
    if (const auto* err = dynamic_cast<const Error*>(&e)) return err->message().toStdString();
    return e.what();
}

}  // namespace hv
