#pragma once

#include <QString>
#include <QStringList>

namespace hv {

// The comma text of a whole string list in a language file.
//
// Items are separated by ","; blanks and control characters around an item are skipped; an
// item that starts with a double quote runs to the matching closing quote (two quotes inside
// stand for one) and may hold blanks and commas; an unquoted item ends at the first blank,
// control character or ",", so a blank separates items too; a "," at the very end adds an
// empty last item. A NUL character ends the text. Pure functions; any thread.
class CommaText {
public:
    static QStringList split(const QString& text);
    // The comma text that split() reads back as lines (items with blanks, control characters,
    // commas or quotes, and empty items, are quoted). Lines must not hold NUL characters.
    static QString join(const QStringList& lines);
};

}  // namespace hv
