#include "checking/AddressKind.h"

namespace hv {

namespace {

// Blanks and control characters, the set the host list trims as well.
bool isBlank(QChar c) { return c.unicode() <= 0x20; }

}  // namespace

AddressFamily namesFamilyOf(int ipVersion) {
    switch (ipVersion) {
        case 6:
            return AddressFamily::IPv6;
        case 0:
            return AddressFamily::Any;
        default:
            return AddressFamily::IPv4;
    }
}

ProbeTarget classifyAddress(const QString& address, AddressFamily names) {
    qsizetype begin = 0;
    qsizetype end = address.size();
    while (begin < end && isBlank(address.at(begin))) ++begin;
    while (end > begin && isBlank(address.at(end - 1))) --end;

    // Only A-Z are lowered: a locale-aware lower case would turn e.g. a Turkish dotted
    // capital into something the resolver never sees in the user's text.
    AddressText text;
    text.written = address.mid(begin, end - begin);
    text.lower = text.written;
    for (QChar& c : text.lower) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) c = QChar(c.unicode() + 0x20);
    }

    for (const ProbeKindRow& row : probeKindRows()) {
        ProbeTarget target;
        target.kind = row.kind;
        target.family = names;
        if (!row.parse(text, target)) continue;
        if (!target.error.empty()) {
            // Nothing half-parsed travels on with the error.
            target.host.clear();
            target.family = names;
            target.port = 0;
        }
        return target;
    }
    return {};  // the last row claims every text; kept for a table without a catch-all
}

}  // namespace hv
