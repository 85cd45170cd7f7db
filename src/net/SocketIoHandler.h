#pragma once

#include <memory>

#include "net/NetComponent.h"
#include "net/SocketHandle.h"

namespace hv {

// The connection's way to its socket: owns one socket handle.
class SocketIoHandler : public NetComponent {
public:
    std::unique_ptr<SocketHandle> binding;
    bool useNagle = true;  // the no-delay option is left alone

    bool connected() const { return binding && binding->allocated(); }
    // Shuts the socket (shutdown for sending, then close).
    void close() {
        if (binding) binding->shutHandle();
    }
};

}  // namespace hv
