// Any text as a host address: the dotted test must agree with the address conversion (a text
// it accepts converts, part by part, to the same four numbers it checked).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/TIdStack.h"
#include "platform/IntegerText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (!hv::TIdStack::LooksLikeDotted(text)) return 0;
    const auto bytes = hv::TIdStack::AddrFromDotted(text);
    const std::string dotted = hv::TIdStack::DottedFromAddr(bytes);
    // The canonical form is dotted too, and converts back to the same bytes.
    if (!hv::TIdStack::LooksLikeDotted(dotted)) std::abort();
    if (hv::TIdStack::AddrFromDotted(dotted) != bytes) std::abort();
    return 0;
}
