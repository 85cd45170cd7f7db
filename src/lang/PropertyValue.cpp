#include "lang/PropertyValue.h"

#include <cmath>

#include "lang/CommaText.h"
#include "platform/IntegerText.h"

namespace hv {

std::optional<QVariant> PropertyValue::read(Type type, const QString& value, int memberCount,
                                            const QLocale& locale) {
    switch (type) {
        case Type::Integer:
            if (const auto n = parseInteger(value)) return QVariant(*n);
            return std::nullopt;
        case Type::Character: {
            if (value.isEmpty()) return std::nullopt;
            // One whole character, never half of a surrogate pair.
            const qsizetype len =
                value.size() >= 2 && value[0].isHighSurrogate() && value[1].isLowSurrogate() ? 2
                                                                                             : 1;
            return QVariant(value.left(len));
        }
        case Type::Enumeration: {
            const auto n = parseInteger(value);
            if (!n || *n < 0 || *n >= memberCount) return std::nullopt;
            return QVariant(*n);
        }
        case Type::Float: {
            bool ok = false;
            const double d = locale.toDouble(value.trimmed(), &ok);
            if (!ok || !std::isfinite(d)) return std::nullopt;
            return QVariant(d);
        }
        case Type::Text:
            return QVariant(value);
        case Type::StringList:
            return QVariant(CommaText::split(value));
    }
    return std::nullopt;
}

QString PropertyValue::write(Type type, const QVariant& value, const QLocale& locale) {
    switch (type) {
        case Type::Integer:
        case Type::Enumeration:
            return QString::number(value.toInt());
        case Type::Float:
            return locale.toString(value.toDouble(), 'g', 12);
        case Type::Character:
        case Type::Text:
            return value.toString();
        case Type::StringList:
            return CommaText::join(value.toStringList());
    }
    return {};
}

const char* PropertyValue::typeName(Type type) {
    switch (type) {
        case Type::Integer:
            return "an integer";
        case Type::Character:
            return "a character";
        case Type::Enumeration:
            return "a position (0, 1, ...)";
        case Type::Float:
            return "a number";
        case Type::Text:
            return "a text";
        case Type::StringList:
            return "a comma text";
    }
    return "";
}

}  // namespace hv
