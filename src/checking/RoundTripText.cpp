#include "checking/RoundTripText.h"

#include <QLocale>

namespace hv {

QString roundTripMsText(std::int64_t roundTripUs) {
    if (roundTripUs < 0) return {};
    // Integer arithmetic: a double would write 0.052 as 0.051999... in some paths.
    QString text = QString::number(roundTripUs / 1000);
    const int fraction = static_cast<int>(roundTripUs % 1000);
    if (fraction != 0) {
        QString digits = QStringLiteral("%1").arg(fraction, 3, 10, QLatin1Char('0'));
        while (digits.endsWith(u'0')) digits.chop(1);
        text += u'.' + digits;
    }
    return text;
}

QString roundTripDisplayText(std::int64_t roundTripUs, const QLocale& locale) {
    if (roundTripUs < 0) return {};
    const int decimals = roundTripUs < 10'000 ? 2 : roundTripUs < 100'000 ? 1 : 0;
    QLocale plain = locale;
    // 1234 ms reads as a number, not as a sum of money.
    plain.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return plain.toString(static_cast<double>(roundTripUs) / 1000.0, 'f', decimals);
}

}  // namespace hv
