#pragma once

#include <QLocale>
#include <QString>
#include <QTime>

namespace hv {

// The long time form of the user's locale, as the log lines need it.
struct TimeFormat {
    bool hourLeadingZero = true;
    bool twelveHour = false;
    QString separator = QStringLiteral(":");
    QString amText = QStringLiteral("AM");
    QString pmText = QStringLiteral("PM");
    bool markerFirst = false;

    // Taken from the locale's long time format (hour style, clock, separator, AM/PM place)
    // and its AM/PM texts.
    static TimeFormat fromLocale(const QLocale& locale);

    // Hour (leading zero as the locale says), separator, two-digit minutes, separator,
    // two-digit seconds; with a 12-hour clock the AM/PM text before ("PM 2:05:09") or after
    // ("2:05:09 PM") the time.
    QString format(const QTime& time) const;
};

}  // namespace hv
