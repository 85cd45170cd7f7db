// Any text as a host line of the settings dialog. Splitting never gives an address over 1000
// characters; a title without the separator and an address of at most 1000 characters come
// back unchanged from hostLine; the mode told for Edit agrees with the line's lower-cased text
// and its address (a colon that starts no connect opens the plain field).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QString>

#include "hosts/HostEntry.h"
#include "hosts/HostList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString line =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString sep = QStringLiteral(" :  ");
    const hv::Host split = hv::splitHostLine(line);
    if (split.address.size() > 1000) std::abort();
    if (split.title.contains(sep)) std::abort();

    // Title and address chosen from the input: they survive a round trip.
    const qsizetype half = line.size() / 2;
    QString title = line.left(half);
    title.replace(sep, QStringLiteral(" : "));
    // A title whose end forms a separator with the one that follows (" : " + " :  ") is cut
    // there: no host line can hold it.
    if (hv::hostLine(title, QString()).indexOf(sep) != title.size()) return 0;
    const QString address = line.mid(half).left(1000);
    if (address.size() > 0 && address.back().isHighSurrogate()) return 0;
    const hv::Host back = hv::splitHostLine(hv::hostLine(title, address));
    if (back.title != title || back.address != address) std::abort();

    const hv::EditTarget t = hv::editTargetOfLine(line);
    const QString lower = hv::trimBlanks(line).toLower();
    const bool http =
        lower.contains(QStringLiteral(" :  http")) || lower.contains(QStringLiteral(" :  tcp:"));
    const bool lan = !http && (lower.contains(QStringLiteral(" :  \\\\")) ||
                               t.host.address.contains(QLatin1Char(':')));
    if ((t.mode == hv::HostEntryMode::EditHTTP) != http) std::abort();
    if ((t.mode == hv::HostEntryMode::EditLAN) != lan) std::abort();
    if (t.host.address.size() > 1000) std::abort();
    return 0;
}
