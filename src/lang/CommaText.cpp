#include "lang/CommaText.h"

namespace hv {

namespace {

// Blanks and control characters (U+0001 to U+0020); U+0000 ends the text.
bool isSpace(QChar c) { return c.unicode() >= 1 && c.unicode() <= 0x20; }

}  // namespace

QStringList CommaText::split(const QString& input) {
    const qsizetype nul = input.indexOf(QChar(0));
    const QString text = nul >= 0 ? input.left(nul) : input;
    const qsizetype n = text.size();
    QStringList lines;
    qsizetype i = 0;
    while (i < n && isSpace(text[i])) ++i;
    while (i < n) {
        QString item;
        if (text[i] == QLatin1Char('"')) {
            ++i;
            while (i < n) {
                if (text[i] == QLatin1Char('"')) {
                    if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
                        item += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;  // the closing quote
                    break;
                }
                item += text[i++];
            }
        } else {
            const qsizetype start = i;
            while (i < n && text[i].unicode() > 0x20 && text[i] != QLatin1Char(',')) ++i;
            item = text.mid(start, i - start);
        }
        lines.append(item);
        while (i < n && isSpace(text[i])) ++i;
        if (i < n && text[i] == QLatin1Char(',')) {
            if (i + 1 == n) lines.append(QString());  // a trailing "," adds an empty item
            ++i;
            while (i < n && isSpace(text[i])) ++i;
        }
    }
    return lines;
}

QString CommaText::join(const QStringList& lines) {
    QStringList parts;
    parts.reserve(lines.size());
    for (const QString& line : lines) {
        bool quote = line.isEmpty();
        for (QChar c : line)
            if (c.unicode() <= 0x20 || c == QLatin1Char('"') || c == QLatin1Char(',')) quote = true;
        if (!quote) {
            parts.append(line);
            continue;
        }
        QString quoted = line;
        quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        parts.append(QLatin1Char('"') + quoted + QLatin1Char('"'));
    }
    return parts.join(QLatin1Char(','));
}

}  // namespace hv
