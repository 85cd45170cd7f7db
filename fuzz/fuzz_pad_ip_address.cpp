// Any text as an address to edit, and any keys typed into the IP mask.
// padIpAddress: never shorter than 15 characters; only "0" characters are added, the input
// stays in order; a dotted address of four groups of one to three digits becomes exactly 15
// characters that fill the mask and keep their numbers.
// IpMask: whatever is typed, the shown text keeps 15 characters, the fixed dots and digits or
// "_" in every other position, and the address it hands back holds only digits and dots.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QString>
#include <QStringList>

#include "hosts/HostEntry.h"

namespace {

bool isDottedQuad(const QString& s) {
    const QStringList groups = s.split(QLatin1Char('.'));
    if (groups.size() != 4) return false;
    for (const QString& g : groups) {
        if (g.isEmpty() || g.size() > 3) return false;
        for (QChar c : g)
            if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    }
    return true;
}

void checkMask(const hv::IpMask& m) {
    const QString shown = m.shownText();
    if (shown.size() != hv::IpMask::kLength) std::abort();
    for (int i = 0; i < shown.size(); ++i) {
        const QChar c = shown.at(i);
        if (hv::IpMask::isLiteral(i)
                ? c != QLatin1Char('.')
                : !(c == hv::IpMask::kBlank || (c >= QLatin1Char('0') && c <= QLatin1Char('9'))))
            std::abort();
    }
    for (QChar c : m.address())
        if (c != QLatin1Char('.') && !(c >= QLatin1Char('0') && c <= QLatin1Char('9')))
            std::abort();
    if (m.cursor() < 0 || m.cursor() > hv::IpMask::kLength) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString in =
        QString::fromLatin1(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString out = hv::padIpAddress(in);
    if (out.size() < 15) std::abort();
    // The input is a subsequence of the output and everything added is "0".
    qsizetype j = 0;
    for (QChar c : out) {
        if (j < in.size() && c == in.at(j))
            ++j;
        else if (c != QLatin1Char('0'))
            std::abort();
    }
    if (j != in.size()) std::abort();
    if (isDottedQuad(in)) {
        if (out.size() != 15 || !isDottedQuad(out)) std::abort();
        const QStringList a = in.split(QLatin1Char('.')), b = out.split(QLatin1Char('.'));
        for (int g = 0; g < 4; ++g)
            if (a[g].toInt() != b[g].toInt() || b[g].size() != 3) std::abort();
    }

    // The same bytes as keys: "<" Backspace, ">" Delete, "[" and "]" move, "{" clears a range.
    hv::IpMask mask;
    mask.setShownText(out);
    checkMask(mask);
    for (qsizetype i = 0; i < in.size(); ++i) {
        const QChar c = in.at(i);
        if (c == QLatin1Char('<'))
            mask.backspace();
        else if (c == QLatin1Char('>'))
            mask.deleteForward();
        else if (c == QLatin1Char('['))
            mask.setCursor(mask.cursor() - 1);
        else if (c == QLatin1Char(']'))
            mask.setCursor(mask.cursor() + 1);
        else if (c == QLatin1Char('{'))
            mask.clear(mask.cursor() - 3, mask.cursor() + 5);
        else
            mask.type(c);
        checkMask(mask);
    }
    return 0;
}
