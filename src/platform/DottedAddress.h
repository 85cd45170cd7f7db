#pragma once

#include <string_view>

namespace hv {

// Four parts cut at the first three periods, each an integer 0..255 by the runtime's integer
// reading ("0x0A.0.0.1" passes; "10.0.0", "10.0.0.1.5" and "192.168.1.300" fail). The address
// parser and the socket layer ask the same question, so it lives below both.
bool looksLikeDotted(std::string_view text);

}  // namespace hv
