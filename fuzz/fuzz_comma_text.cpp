// Any text as the comma text of a string list: reading it, writing the lines back and reading
// again gives the same lines; and any lines (the input split at line breaks) survive
// join-then-split unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QString>
#include <QStringList>

#include "lang/CommaText.h"

using hv::CommaText;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList lines = CommaText::split(text);
    if (CommaText::split(CommaText::join(lines)) != lines) std::abort();

    QString noNul = text;
    noNul.remove(QChar(0));
    const QStringList any = noNul.split('\n');
    if (CommaText::split(CommaText::join(any)) != any) std::abort();
    return 0;
}
