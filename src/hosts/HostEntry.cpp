#include "hosts/HostEntry.h"

#include <algorithm>

namespace hv {

QString trimBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 0x20) ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 0x20) --end;
    return text.mid(begin, end - begin);
}

EditTarget editTargetOfLine(const QString& line) {
    const QString s = trimBlanks(line);
    EditTarget target;
    target.host = splitHostLine(s);
    const QString lower = s.toLower();
    // "http:" covers "https:" too. An address with a colon that names no connect (an IPv6
    // address, bare or in brackets) goes to the plain field: the IPv4 mask would keep only
    // its digits and lose it on OK.
    if (lower.contains(QStringLiteral(" :  http")) || lower.contains(QStringLiteral(" :  tcp:")))
        target.mode = HostEntryMode::EditHTTP;
    else if (lower.contains(QStringLiteral(" :  \\\\")) ||
             target.host.address.contains(QLatin1Char(':')))
        target.mode = HostEntryMode::EditLAN;
    else
        target.mode = HostEntryMode::EditIP;
    return target;
}

QString padIpAddress(const QString& address) {
    QString a = address;
    QString r;
    for (int g = 0; g < 3; ++g) {
        const qsizetype p = a.indexOf(QLatin1Char('.')) + 1;  // 0 when there is none
        r += a.left(p);
        a.remove(0, p);
        while (r.size() < 4 * (g + 1)) r.insert(4 * g, QLatin1Char('0'));
    }
    r += a;
    while (r.size() < 15) r.insert(12, QLatin1Char('0'));
    return r;
}

IpMask::IpMask() { setShownText(QString()); }

QString IpMask::valueText() const {
    QString v = m_text;
    v.replace(kBlank, QLatin1Char(' '));
    return v;
}

QString IpMask::address() const {
    QString a;
    for (QChar c : m_text)
        if (c.isDigit() || c == QLatin1Char('.')) a += c;
    return a;
}

void IpMask::setCursor(int pos) { m_cursor = std::clamp(pos, 0, kLength); }

void IpMask::setShownText(const QString& text) {
    m_text.clear();
    for (int i = 0; i < kLength; ++i) {
        if (isLiteral(i)) {
            m_text += QLatin1Char('.');
            continue;
        }
        const QChar c = i < text.size() ? text.at(i) : kBlank;
        m_text += (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ? c : kBlank;
    }
    m_cursor = 0;
}

bool IpMask::type(QChar c) {
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
        int pos = m_cursor;
        while (pos < kLength && isLiteral(pos)) ++pos;
        if (pos >= kLength) return false;
        m_text[pos] = c;
        m_cursor = pos + 1;
        return true;
    }
    if (c == QLatin1Char('.')) {
        for (int pos = m_cursor; pos < kLength; ++pos) {
            if (isLiteral(pos)) {
                m_cursor = pos + 1;
                return true;
            }
        }
        return false;  // the last group has no "." after it
    }
    return false;
}

void IpMask::clear(int from, int to) {
    from = std::clamp(from, 0, kLength);
    to = std::clamp(to, from, kLength);
    for (int i = from; i < to; ++i)
        if (!isLiteral(i)) m_text[i] = kBlank;
    m_cursor = from;
}

void IpMask::backspace() {
    int pos = m_cursor - 1;
    while (pos >= 0 && isLiteral(pos)) --pos;
    if (pos < 0) return;
    m_text[pos] = kBlank;
    m_cursor = pos;
}

void IpMask::deleteForward() {
    if (m_cursor < kLength && !isLiteral(m_cursor)) m_text[m_cursor] = kBlank;
}

}  // namespace hv
