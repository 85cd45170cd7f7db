// Any text as a key of a window's section, and as a window name: the key's form must hold
// together (its parts are identifiers and spell the key), and the section name rule only ever
// drops "_" and one or two digits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QString>

#include "lang/FormKey.h"

using hv::FormKey;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString key = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const FormKey k = FormKey::parse(key);
    const QString c = k.component;
    switch (k.form) {
        case FormKey::Form::Bare:
            if (key != c || !FormKey::isIdentifier(c)) std::abort();
            break;
        case FormKey::Form::Dotted:
            if (key != c + '.' + k.property || !FormKey::isIdentifier(c) ||
                !FormKey::isIdentifier(k.property))
                std::abort();
            break;
        case FormKey::Form::DottedIndex:
            if (!FormKey::isIdentifier(c) || !key.startsWith(c + '.' + k.property + '(') ||
                !key.contains(')'))
                std::abort();
            break;
        case FormKey::Form::NameIndex:
            if (!FormKey::isIdentifier(c) || !key.startsWith(c + '(') ||
                k.property != QStringLiteral("Items"))
                std::abort();
            break;
        case FormKey::Form::Invalid:
            if (k.problem.isEmpty()) std::abort();
            break;
    }

    const QString section = FormKey::sectionName(key);
    const qsizetype cut = key.size() - section.size();
    if (!key.startsWith(section) || (cut != 0 && cut != 2 && cut != 3)) std::abort();
    if (cut > 0 && key[section.size()] != '_') std::abort();
    return 0;
}
