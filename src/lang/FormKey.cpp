#include "lang/FormKey.h"

#include "platform/IntegerText.h"

namespace hv {

namespace {

bool isAsciiLetter(QChar c) {
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

bool isAsciiDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

FormKey invalid(const char* problem) {
    FormKey k;
    k.problem = QString::fromLatin1(problem);
    return k;
}

// The index between "(" at open and the first ")" after it, read as an integer.
bool readIndex(QStringView text, qsizetype open, int* index) {
    const qsizetype close = text.indexOf(QLatin1Char(')'), open + 1);
    if (close < 0) return false;
    const auto n = parseInteger(text.mid(open + 1, close - open - 1).toString());
    if (!n) return false;
    *index = *n;
    return true;
}

}  // namespace

bool FormKey::isIdentifier(QStringView text) {
    if (text.isEmpty() || !(isAsciiLetter(text[0]) || text[0] == QLatin1Char('_'))) return false;
    for (QChar c : text)
        if (!isAsciiLetter(c) && !isAsciiDigit(c) && c != QLatin1Char('_')) return false;
    return true;
}

QString FormKey::sectionName(const QString& windowName) {
    const qsizetype n = windowName.size();
    if (n >= 2 && windowName[n - 2] == QLatin1Char('_') && isAsciiDigit(windowName[n - 1]))
        return windowName.left(n - 2);
    if (n >= 3 && windowName[n - 3] == QLatin1Char('_') && isAsciiDigit(windowName[n - 2]) &&
        isAsciiDigit(windowName[n - 1]))
        return windowName.left(n - 3);
    return windowName;
}

QString FormKey::lineValue(const QString& value) {
    return value.startsWith(QLatin1Char('.')) ? value.mid(1) : value;
}

FormKey FormKey::parse(QStringView key) {
    FormKey k;
    const qsizetype dot = key.indexOf(QLatin1Char('.'));
    if (dot < 0 && isIdentifier(key)) {
        k.form = Form::Bare;
        k.component = key.toString();
        return k;
    }
    if (dot >= 0 && isIdentifier(key.left(dot))) {
        const QStringView c = key.left(dot);
        const QStringView p = key.mid(dot + 1);
        k.component = c.toString();
        if (isIdentifier(p)) {
            k.form = Form::Dotted;
            k.property = p.toString();
            return k;
        }
        const qsizetype open = p.indexOf(QLatin1Char('('));
        const qsizetype close = p.indexOf(QLatin1Char(')'));
        if (open < 0 || close < 0 || close < open)
            return invalid("the part after the \".\" is no property name and no P(n)");
        if (!readIndex(p, open, &k.index)) return invalid("the index is not an integer");
        k.form = Form::DottedIndex;
        k.property = p.left(open).toString();
        return k;
    }
    // No "." and no identifier, or no identifier before the first ".": only C(n) is left.
    const qsizetype open = key.indexOf(QLatin1Char('('));
    if (open < 0) return invalid("fits no key form (C, C.P, C.P(n), C(n))");
    if (!isIdentifier(key.left(open))) return invalid("no component name before the \"(\"");
    if (key.indexOf(QLatin1Char(')'), open + 1) < 0) return invalid("no \")\" after the \"(\"");
    if (!readIndex(key, open, &k.index)) return invalid("the index is not an integer");
    k.form = Form::NameIndex;
    k.component = key.left(open).toString();
    k.property = QStringLiteral("Items");
    return k;
}

}  // namespace hv
