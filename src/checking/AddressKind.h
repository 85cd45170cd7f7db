#pragma once

#include <QString>

#include "checking/ProbeKinds.h"

namespace hv {

// The pass's address clean-up and classification: surrounding blanks and control characters
// removed, ASCII capitals lowered; then the first row of probeKindRows() that claims the text
// makes the target: empty → Skip; "http:", "https:" or "tcp:" → Tcp to host[:port] (80, 443
// or a port that must be given); "//" or "\\" at the start → Icmp without them; anything else
// → Icmp whole. Names get the family `names` (IPv4 unless [CheckParams] IpVersion says
// otherwise); literal addresses their own. A malformed text gives a target whose error says
// what is wrong, with the kind the text was meant for.
ProbeTarget classifyAddress(const QString& address, AddressFamily names = AddressFamily::IPv4);

// The family names resolve in for [CheckParams] IpVersion: 6 IPv6, 0 either; 4, and any value
// that means nothing, IPv4 as before the key existed.
AddressFamily namesFamilyOf(int ipVersion);

}  // namespace hv
