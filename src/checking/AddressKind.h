#pragma once

#include <QString>
#include <string>

namespace hv {

enum class ProbeKind { Skip, Icmp, Tcp };

struct ProbeTarget {
    ProbeKind kind = ProbeKind::Skip;
    std::string host;  // UTF-8, what the probe is given
};

// The pass's address clean-up and classification: surrounding blanks and control characters
// removed, ASCII capitals lowered; empty → Skip; "http:" → Tcp without "http://" / "http:\\"
// (7 characters when either stands anywhere in the text) or "http:" (5); "//" or "\\" at the
// start → Icmp without them; anything else → Icmp whole.
ProbeTarget classifyAddress(const QString& address);

}  // namespace hv
