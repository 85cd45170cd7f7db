// Any text as a host address: the dotted test must agree with the address conversion (a text
// it accepts converts, part by part, to the same four numbers it checked).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/SocketStack.h"
#include "platform/IntegerText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (!hv::SocketStack::looksLikeDotted(text)) return 0;
    const auto bytes = hv::SocketStack::addrFromDotted(text);
    const std::string dotted = hv::SocketStack::dottedFromAddr(bytes);
    // The canonical form is dotted too, and converts back to the same bytes.
    if (!hv::SocketStack::looksLikeDotted(dotted)) std::abort();
    if (hv::SocketStack::addrFromDotted(dotted) != bytes) std::abort();
    return 0;
}
