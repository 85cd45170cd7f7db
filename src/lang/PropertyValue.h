#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace hv {

// The types a translated property can have, and how a language file's value is read for
// each. A value that does not read as its type gives nothing: the property keeps its value.
// Pure; any thread.
class PropertyValue {
public:
    enum class Type {
        Integer,      // read as an index is read: decimal, or hex after $, x, X, 0x, 0X
        Character,    // the first character; an empty value keeps the current one
        Enumeration,  // the position counted from 0 (yes/no: 0 = no, 1 = yes)
        Float,        // a number in the given locale's number format
        Text,
        StringList,  // comma text
    };

    // The value read for type; memberCount bounds an enumeration. Integer → int,
    // Character → QString of one character, Enumeration → int, Float → double, Text → QString,
    // StringList → QStringList.
    static std::optional<QVariant> read(Type type, const QString& value, int memberCount = 0,
                                        const QLocale& locale = QLocale::system());

    // The current value written as the file would give it (used as the default of a key).
    static QString write(Type type, const QVariant& value,
                         const QLocale& locale = QLocale::system());

    static const char* typeName(Type type);
};

}  // namespace hv
