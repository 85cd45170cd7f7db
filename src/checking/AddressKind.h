#pragma once

#include <QString>

#include "checking/ProbeKinds.h"

namespace hv {

// The pass's address clean-up and classification: surrounding blanks and control characters
// removed, ASCII capitals lowered; then the first row of probeKindRows() that claims the text
// makes the target: empty → Skip; "http:" → Tcp to port 80 without "http://" / "http:\\"
// (7 characters when either stands anywhere in the text) or "http:" (5); "//" or "\\" at the
// start → Icmp without them; anything else → Icmp whole.
ProbeTarget classifyAddress(const QString& address);

}  // namespace hv
