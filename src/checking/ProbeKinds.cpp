#include "checking/ProbeKinds.h"

#include <algorithm>
#include <iterator>

namespace hv {

namespace {

// A blank address names nothing.
bool parseBlank(const QString& text, ProbeTarget&) { return text.isEmpty(); }

// "http:" names a web server: a connect to port 80 of what follows "http://" or "http:\\"
// (7 characters, removed when either stands anywhere in the text) or "http:" (5). The rest
// goes whole to the name service: no port or path is split off.
bool parseHttp(const QString& text, ProbeTarget& target) {
    if (!text.startsWith(QLatin1String("http:"))) return false;
    const bool longPrefix =
        text.contains(QLatin1String("http://")) || text.contains(QLatin1String("http:\\\\"));
    target.host = text.mid(longPrefix ? 7 : 5).toStdString();
    target.family = AddressFamily::IPv4;
    target.port = 80;
    return true;
}

// Anything else: a dotted address or a name, an echo's target; "//" or "\\" before a local
// network computer's name is dropped.
bool parseEchoHost(const QString& text, ProbeTarget& target) {
    const bool computer =
        text.startsWith(QLatin1String("//")) || text.startsWith(QLatin1String("\\\\"));
    target.host = (computer ? text.mid(2) : text).toStdString();
    target.family = AddressFamily::IPv4;
    target.port = 0;
    return true;
}

constexpr ProbeKindRow kRows[] = {
    {ProbeKind::Skip, "skip", &parseBlank},
    {ProbeKind::Tcp, "tcp", &parseHttp},
    {ProbeKind::Icmp, "icmp", &parseEchoHost},
};

}  // namespace

std::span<const ProbeKindRow> probeKindRows() { return kRows; }

const ProbeKindRow& probeKindRow(ProbeKind kind) {
    const auto row = std::find_if(std::begin(kRows), std::end(kRows),
                                  [kind](const ProbeKindRow& r) { return r.kind == kind; });
    // Every kind has a row (a test walks them); the blank row is the safe answer otherwise.
    return row != std::end(kRows) ? *row : kRows[0];
}

}  // namespace hv
