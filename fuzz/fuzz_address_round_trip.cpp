// Any text as a host's address, as a property: the parse never fails silently (a target is
// either well formed or carries its fault), and a well-formed target printed and parsed again
// is the same target, for each family names may take.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QString>

#include "checking/AddressKind.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString address =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const hv::AddressFamily names :
         {hv::AddressFamily::IPv4, hv::AddressFamily::IPv6, hv::AddressFamily::Any}) {
        const hv::ProbeTarget first = hv::classifyAddress(address, names);
        if (!first.error.empty()) {
            if (!first.host.empty() || first.port != 0 || first.kind == hv::ProbeKind::Skip)
                std::abort();
            continue;
        }
        if (first.kind == hv::ProbeKind::Skip) continue;
        if (first.kind == hv::ProbeKind::Tcp && (first.port < 1 || first.port > 65535))
            std::abort();
        if (first.host.empty()) std::abort();
        const hv::ProbeTarget again = hv::classifyAddress(hv::addressOfTarget(first), names);
        if (!(again == first)) std::abort();
    }
    return 0;
}
