#pragma once

#include "net/TIdTCPClient.h"

namespace hv {

// The HTTP client of the TCP probe: only its TCP layer is used, on port 80.
class TIdHTTP : public TIdTCPClient {
public:
    TIdHTTP() { Port = 80; }
};

}  // namespace hv
