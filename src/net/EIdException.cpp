#include "net/EIdException.h"

#include "net/TIdStack.h"

namespace hv {

EIdSocketError::EIdSocketError(int code)
    : EIdException(TIdStack::SocketErrorMessage(code)), m_code(code) {}

}  // namespace hv
