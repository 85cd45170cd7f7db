#pragma once

#include <memory>

#include "net/TIdComponent.h"
#include "net/TIdSocketHandle.h"

namespace hv {

// The connection's way to its socket: owns one socket handle.
class TIdIOHandlerSocket : public TIdComponent {
public:
    std::unique_ptr<TIdSocketHandle> Binding;
    bool UseNagle = true;  // the no-delay option is left alone

    bool Connected() const { return Binding && Binding->Allocated(); }
    // Shuts the socket (shutdown for sending, then close).
    void Close() {
        if (Binding) Binding->ShutHandle();
    }
};

}  // namespace hv
