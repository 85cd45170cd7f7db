// Any bytes as a language file (UTF-8, else Latin-1): every key a section lists reads back
// its value, values stay within 2047 characters, the key list within 16384 bytes, and every
// message lookup answers with the file's text or the key itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QByteArray>
#include <QString>

#include "lang/FormKey.h"
#include "lang/LanguageFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    bool latin1 = false;
    const hv::IniFile file = hv::LanguageFile::fromData("fuzz.lng", bytes, &latin1);
    if (latin1 == hv::LanguageFile::isValidUtf8(bytes)) std::abort();

    const QString sentinel = QStringLiteral("\x01missing\x01");
    for (const QString& section : file.sections()) {
        qsizetype used = 0;
        for (const QString& key : file.keys(section)) {
            used += key.toUtf8().size() + 1;
            const QString value = file.readString(section, key, sentinel);
            if (value == sentinel || value.size() > 2047) std::abort();
            hv::FormKey::parse(key);
        }
        if (used > 16384) std::abort();
    }
    // A message without the section is its key; with it, the text the section gives.
    const QString messages = QStringLiteral("Messages");
    for (const char* key : {"Start", "Table", "LoseHosts", "items"}) {
        const QString k = QString::fromLatin1(key);
        const QString text = file.readString(messages, k, k);
        if (!file.hasSection(messages) && text != k) std::abort();
        if (file.keys(messages).contains(k, Qt::CaseInsensitive) &&
            text != file.readString(messages, k, sentinel))
            std::abort();
    }
    return 0;
}
