#include "platform/TimeFormat.h"

#include <QList>

namespace hv {

namespace {

// One piece of a Qt time format: a run of one pattern letter, or literal text.
struct Token {
    QChar letter;  // null for literal text
    int count = 0;
    QString text;
};

bool isPatternLetter(QChar c) { return QStringLiteral("hHmszaAtdMyg").contains(c); }

QList<Token> tokenize(const QString& format) {
    QList<Token> tokens;
    auto literal = [&](const QString& text) {
        if (!tokens.isEmpty() && tokens.last().letter.isNull())
            tokens.last().text += text;
        else
            tokens.append(Token{QChar(), 0, text});
    };
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\'')) {
            // 'quoted text', with '' standing for one quote.
            if (i + 1 < format.size() && format.at(i + 1) == QLatin1Char('\'')) {
                literal(QStringLiteral("'"));
                i += 2;
                continue;
            }
            QString text;
            ++i;
            while (i < format.size()) {
                if (format.at(i) == QLatin1Char('\'')) {
                    if (i + 1 < format.size() && format.at(i + 1) == QLatin1Char('\'')) {
                        text += QLatin1Char('\'');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                text += format.at(i++);
            }
            literal(text);
        } else if ((c == QLatin1Char('a') || c == QLatin1Char('A')) && i + 1 < format.size() &&
                   (format.at(i + 1) == QLatin1Char('p') || format.at(i + 1) == QLatin1Char('P'))) {
            tokens.append(Token{c, 2, {}});  // "AP" / "ap": one marker
            i += 2;
        } else if (isPatternLetter(c)) {
            qsizetype j = i;
            while (j < format.size() && format.at(j) == c) ++j;
            tokens.append(Token{c, static_cast<int>(j - i), {}});
            i = j;
        } else {
            literal(QString(c));
            ++i;
        }
    }
    return tokens;
}

struct Parsed {
    bool found = false;
    bool leadingZero = true;
    bool twelveHour = false;
    bool markerFirst = false;
    QString separator;
};

Parsed parse(const QString& format) {
    Parsed p;
    const QList<Token> tokens = tokenize(format);
    qsizetype hour = -1;
    qsizetype marker = -1;
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const QChar c = tokens[i].letter;
        if (hour < 0 && (c == QLatin1Char('h') || c == QLatin1Char('H'))) hour = i;
        if (marker < 0 && (c == QLatin1Char('a') || c == QLatin1Char('A'))) marker = i;
    }
    if (hour < 0) return p;
    p.found = true;
    p.leadingZero = tokens[hour].count >= 2;
    // Qt shows "h" on a 12-hour clock only when an AM/PM marker is in the format.
    p.twelveHour = tokens[hour].letter == QLatin1Char('h') && marker >= 0;
    p.markerFirst = p.twelveHour && marker < hour;
    if (hour + 2 < tokens.size() && tokens[hour + 1].letter.isNull() &&
        tokens[hour + 2].letter == QLatin1Char('m'))
        p.separator = tokens[hour + 1].text;
    return p;
}

// A separator that is a word ("시 ", " h ") belongs to a format that names its units; our one
// separator between all three numbers cannot stand for it.
bool usableSeparator(const QString& separator) {
    if (separator.isEmpty()) return false;
    for (QChar c : separator)
        if (c.isLetterOrNumber()) return false;
    return true;
}

QString twoDigits(int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); }

}  // namespace

TimeFormat TimeFormat::fromLocale(const QLocale& locale) {
    TimeFormat f;
    const Parsed longForm = parse(locale.timeFormat(QLocale::LongFormat));
    if (longForm.found) {
        f.hourLeadingZero = longForm.leadingZero;
        f.twelveHour = longForm.twelveHour;
        f.markerFirst = longForm.markerFirst;
    }
    if (usableSeparator(longForm.separator)) {
        f.separator = longForm.separator;
    } else {
        const Parsed shortForm = parse(locale.timeFormat(QLocale::ShortFormat));
        f.separator =
            usableSeparator(shortForm.separator) ? shortForm.separator : QStringLiteral(":");
    }
    f.amText = locale.amText();
    f.pmText = locale.pmText();
    return f;
}

QString TimeFormat::format(const QTime& time) const {
    if (!time.isValid()) return {};
    int hour = time.hour();
    if (twelveHour) {
        hour %= 12;
        if (hour == 0) hour = 12;
    }
    QString text = hourLeadingZero ? twoDigits(hour) : QString::number(hour);
    text += separator + twoDigits(time.minute()) + separator + twoDigits(time.second());
    if (!twelveHour) return text;
    const QString& marker = time.hour() < 12 ? amText : pmText;
    return markerFirst ? marker + QLatin1Char(' ') + text : text + QLatin1Char(' ') + marker;
}

}  // namespace hv
