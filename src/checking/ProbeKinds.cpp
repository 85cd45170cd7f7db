#include "checking/ProbeKinds.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <iterator>

#include "platform/DottedAddress.h"

namespace hv {

namespace {

bool fail(ProbeTarget& target, const char* why) {
    target.error = why;
    return true;  // the row still claims the text: its kind says what the user meant
}

bool isDigits(QStringView text) {
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// 1..65535 in decimal digits; leading zeros allowed, so "0080" is 80.
bool parsePort(QStringView text, ProbeTarget& target) {
    if (text.isEmpty()) return !fail(target, "no port");
    if (!isDigits(text)) return !fail(target, "port is not a number");
    while (text.size() > 1 && text.front() == u'0') text = text.mid(1);
    const int value = text.size() <= 5 ? text.toInt() : 0;
    if (value < 1 || value > 65535) return !fail(target, "port out of range");
    target.port = value;
    return true;
}

// A zone names an interface of this machine, by name or by index.
bool zoneKnown(const QString& zone) {
    const QByteArray name = zone.toUtf8();
    if (name.isEmpty() || name.size() >= IF_NAMESIZE || name.contains('\0')) return false;
    if (::if_nametoindex(name.constData()) != 0) return true;
    if (!isDigits(zone)) return false;
    char found[IF_NAMESIZE];
    return ::if_indextoname(static_cast<unsigned>(zone.toUInt()), found) != nullptr;
}

// An IPv6 address with an optional "%zone", stored in its shortest form. The zone keeps its
// capitals: interface names are case-sensitive.
bool parseIpv6(QStringView lower, QStringView written, ProbeTarget& target) {
    const qsizetype percent = lower.indexOf(u'%');
    const QStringView address = percent < 0 ? lower : lower.left(percent);
    // inet_pton stops at a NUL, and would take "::1<NUL>junk" for ::1.
    const bool plain = std::all_of(address.begin(), address.end(), [](QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || c == u':' || c == u'.';
    });
    in6_addr bytes{};
    if (!plain || ::inet_pton(AF_INET6, address.toLatin1().constData(), &bytes) != 1)
        return !fail(target, "not an IPv6 address");
    QString zone;
    if (percent >= 0) {
        zone = written.mid(percent + 1).toString();
        if (!zoneKnown(zone)) return !fail(target, "unknown zone");
    } else if (bytes.s6_addr[0] == 0xFE && (bytes.s6_addr[1] & 0xC0) == 0x80) {
        // Every interface has fe80::/64: without a zone the kernel cannot pick one.
        return !fail(target, "a link-local address needs its zone, as in fe80::1%eth0");
    }
    char text[INET6_ADDRSTRLEN];
    ::inet_ntop(AF_INET6, &bytes, text, sizeof text);
    target.host = text;
    if (!zone.isEmpty()) target.host += "%" + zone.toStdString();
    target.family = AddressFamily::IPv6;
    return true;
}

// "[address]" at the start of the text; *after is where the text goes on past the bracket.
bool parseBracketed(QStringView lower, QStringView written, ProbeTarget& target, qsizetype* after) {
    const qsizetype close = lower.indexOf(u']');
    if (close < 0) return !fail(target, "unclosed bracket");
    if (close == 1) return !fail(target, "empty brackets");
    if (!parseIpv6(lower.mid(1, close - 1), written.mid(1, close - 1), target)) return false;
    *after = close + 1;
    return true;
}

// A name goes to the resolver in the family names get; a dotted address is IPv4 whatever
// that family.
void setNameOrDotted(QStringView name, ProbeTarget& target) {
    target.host = name.toString().toStdString();
    if (looksLikeDotted(target.host)) target.family = AddressFamily::IPv4;
}

// "name:digits" without a scheme: most likely a port meant for a connect.
bool looksLikeNameAndPort(QStringView text) {
    const qsizetype colon = text.indexOf(u':');
    return colon > 0 && text.indexOf(u':', colon + 1) < 0 && isDigits(text.mid(colon + 1));
}

struct Scheme {
    QStringView name;
    int defaultPort;  // 0: the port must be given
    bool anyCase;     // "http:" was always told apart in any mix of capitals
};

constexpr Scheme kSchemes[] = {{u"http", 80, true}, {u"https", 443, false}, {u"tcp", 0, false}};

bool isSchemeName(QStringView name) {
    return !name.isEmpty() && name.front() >= u'a' && name.front() <= u'z' &&
           std::all_of(name.begin(), name.end(), [](QChar c) {
               return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'+' ||
                      c == u'-' || c == u'.';
           });
}

// A blank address names nothing.
bool parseBlank(const AddressText& text, ProbeTarget&) { return text.lower.isEmpty(); }

// "http:", "https:" and "tcp:" name a connect to host[:port], with "//" or "\\" after the
// colon or not; what follows the host part (a path) is not needed for a plain connect.
bool parseScheme(const AddressText& text, ProbeTarget& target) {
    const QStringView lower = text.lower;
    const QStringView written = text.written;
    const qsizetype colon = lower.indexOf(u':');
    if (colon <= 0) return false;
    const QStringView name = lower.left(colon);
    const auto scheme = std::find_if(std::begin(kSchemes), std::end(kSchemes),
                                     [name](const Scheme& s) { return s.name == name; });
    if (scheme == std::end(kSchemes)) {
        // "ftp://x" is a scheme we do not speak; "mailto:x" is left to the echo form.
        if (isSchemeName(name) && lower.mid(colon + 1).startsWith(u"//"))
            return fail(target, "unknown scheme");
        return false;
    }
    if (!scheme->anyCase && written.left(colon) != name) return fail(target, "scheme in capitals");

    qsizetype begin = colon + 1;
    if (lower.mid(begin, 2) == u"//" || lower.mid(begin, 2) == u"\\\\") begin += 2;
    qsizetype end = begin;
    while (end < lower.size() && !QStringView(u"/?#\\").contains(lower.at(end))) ++end;
    const QStringView host = lower.mid(begin, end - begin);
    const QStringView hostWritten = written.mid(begin, end - begin);

    QStringView portText;
    bool hasPort = false;
    if (host.startsWith(u'[')) {
        qsizetype after = 0;
        if (!parseBracketed(host, hostWritten, target, &after)) return true;
        const QStringView rest = host.mid(after);
        if (!rest.isEmpty() && rest.front() != u':')
            return fail(target, "text after the closing bracket");
        hasPort = !rest.isEmpty();
        portText = rest.mid(1);
    } else {
        const qsizetype portColon = host.indexOf(u':');
        if (portColon >= 0 && host.indexOf(u':', portColon + 1) >= 0)
            return fail(target, "an IPv6 address needs brackets, as in [2001:db8::5]");
        const QStringView hostName = portColon < 0 ? host : host.left(portColon);
        if (hostName.isEmpty()) return fail(target, "no host");
        setNameOrDotted(hostName, target);
        hasPort = portColon >= 0;
        portText = host.mid(portColon + 1);
    }
    if (hasPort) {
        parsePort(portText, target);
    } else if (scheme->defaultPort != 0) {
        target.port = scheme->defaultPort;
    } else {
        fail(target, "no port");
    }
    return true;
}

// Anything else is an echo's target: a dotted address, an IPv6 address (bare or in brackets)
// or a name; "//" or "\\" before a local network computer's name is dropped.
bool parseEchoHost(const AddressText& text, ProbeTarget& target) {
    QStringView lower = text.lower;
    QStringView written = text.written;
    if (lower.startsWith(u"//") || lower.startsWith(u"\\\\")) {
        lower = lower.mid(2);
        written = written.mid(2);
    }
    if (lower.isEmpty()) return fail(target, "no host");
    if (lower.startsWith(u'[')) {
        qsizetype after = 0;
        if (parseBracketed(lower, written, target, &after) && after != lower.size())
            fail(target, "text after the closing bracket");
        return true;
    }
    if (lower.contains(u':')) {
        if (looksLikeNameAndPort(lower))
            return fail(target, "a port needs tcp://, http:// or https:// before the host");
        parseIpv6(lower, written, target);
        return true;
    }
    setNameOrDotted(lower, target);
    return true;
}

constexpr ProbeKindRow kRows[] = {
    {ProbeKind::Skip, "skip", &parseBlank},
    {ProbeKind::Tcp, "tcp", &parseScheme},
    {ProbeKind::Icmp, "icmp", &parseEchoHost},
};

bool needsComputerPrefix(const QString& name) {
    return !name.isEmpty() &&
           (name.front() == u'/' || name.front() == u'\\' || name.front().unicode() <= 0x20);
}

}  // namespace

std::span<const ProbeKindRow> probeKindRows() { return kRows; }

const ProbeKindRow& probeKindRow(ProbeKind kind) {
    const auto row = std::find_if(std::begin(kRows), std::end(kRows),
                                  [kind](const ProbeKindRow& r) { return r.kind == kind; });
    // Every kind has a row (a test walks them); the blank row is the safe answer otherwise.
    return row != std::end(kRows) ? *row : kRows[0];
}

QString addressOfTarget(const ProbeTarget& target) {
    if (!target.error.empty() || target.kind == ProbeKind::Skip) return {};
    const QString host = QString::fromStdString(target.host);
    // Only an IPv6 address holds a colon: a name may be looked up as IPv6 too.
    const bool ipv6Address = host.contains(u':');
    if (target.kind == ProbeKind::Tcp) {
        // Joined, not arg()-chained: a "%1" inside a name would be filled in again.
        const QString hostPart = ipv6Address ? u'[' + host + u']' : host;
        return QStringLiteral("tcp://") + hostPart + u':' + QString::number(target.port);
    }
    if (!ipv6Address && needsComputerPrefix(host)) return QStringLiteral("\\\\") + host;
    return host;
}

}  // namespace hv
