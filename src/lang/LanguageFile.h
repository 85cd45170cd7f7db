#pragma once

#include <QByteArray>
#include <QString>

#include "platform/IniFile.h"

namespace hv {

// A language file as the program reads it: UTF-8 text (a byte-order mark changes nothing).
// A file that is not valid UTF-8 is read as Latin-1, so an old single-byte file still shows
// its texts instead of being dropped. Read only; any thread.
class LanguageFile {
public:
    // The file at path; a missing or unreadable file reads as empty.
    static IniFile read(const QString& path, bool* readAsLatin1 = nullptr);
    // The same from the file's bytes.
    static IniFile fromData(const QString& path, const QByteArray& data,
                            bool* readAsLatin1 = nullptr);

    static bool isValidUtf8(const QByteArray& data);
};

}  // namespace hv
