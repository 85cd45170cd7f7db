#pragma once

#include <QString>

#include "hosts/HostList.h"

namespace hv {

// The six ways the host entry dialog is opened.
enum class HostEntryMode { NewIP, NewHTTP, NewLAN, EditIP, EditHTTP, EditLAN };

inline bool isIpMode(HostEntryMode m) {
    return m == HostEntryMode::NewIP || m == HostEntryMode::EditIP;
}

// What Edit opens for a host line: the line trimmed of blanks and control characters, split
// at its first " :  " (address at most 1000 characters); edit HTTP when the lower-cased line
// holds " :  http" (so "https:" too) or " :  tcp:", else edit LAN when it holds " :  \\" or
// the address holds a ":" (IPv6), else edit IP.
struct EditTarget {
    HostEntryMode mode = HostEntryMode::EditIP;
    Host host;
};
EditTarget editTargetOfLine(const QString& line);

// Leading zeros for every group of one or two digits so that a dotted address fills the IP
// mask: 10.0.0.1 -> 010.000.000.001. Never shorter than 15 characters; anything else in the
// text is kept in place and padded by the same rule.
QString padIpAddress(const QString& address);

// Leading and trailing spaces and control characters removed.
QString trimBlanks(const QString& text);

// The text of the masked IP field "!999.999.999.999;_": four groups of three digit positions
// with a fixed "." between them, "_" for an empty position. The cursor sits between
// characters (0..15), as in a line edit. Widget-free so that the typing rules are tested and
// fuzzed alone.
class IpMask {
public:
    static constexpr int kLength = 15;
    static constexpr QChar kBlank = QLatin1Char('_');
    static bool isLiteral(int pos) { return pos == 3 || pos == 7 || pos == 11; }

    IpMask();

    QString shownText() const { return m_text; }
    // The shown text with every empty position as a blank.
    QString valueText() const;
    // The digits and dots of the shown text, in order: the address a host line stores.
    QString address() const;

    int cursor() const { return m_cursor; }
    void setCursor(int pos);

    // Puts the digits of text where the mask has digit positions; everything else is empty.
    void setShownText(const QString& text);

    // One typed character at the cursor; false when it is refused (the caller beeps).
    // A digit fills the next digit position; "." moves past the next fixed "." (refused in
    // the last group).
    bool type(QChar c);
    // Empties the digit positions in [from, to) and puts the cursor at from.
    void clear(int from, int to);
    // Empties the digit position before the cursor and moves onto it.
    void backspace();
    // Empties the digit position at the cursor; the cursor stays.
    void deleteForward();

private:
    QString m_text;
    int m_cursor = 0;
};

}  // namespace hv
