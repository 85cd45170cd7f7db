#include "checking/HistoryCsv.h"

#include <cstdlib>

#include "checking/CsvWriter.h"

namespace hv {

QString isoTimeMs(std::int64_t timeMs) {
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(timeMs).toLocalTime();
    const int offset = local.offsetFromUtc();  // seconds east of UTC
    const int minutes = std::abs(offset) / 60;
    return local.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz")) +
           (offset < 0 ? u'-' : u'+') +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString millisecondsField(std::int64_t roundTripUs) {
    if (roundTripUs < 0) return {};
    QString text = QString::number(roundTripUs / 1000);
    int fraction = int(roundTripUs % 1000);
    if (fraction == 0) return text;
    QString digits = QStringLiteral("%1").arg(fraction, 3, 10, QLatin1Char('0'));
    while (digits.endsWith(u'0')) digits.chop(1);
    return text + u'.' + digits;
}

QByteArray historyCsv(const QString& title, const QString& address,
                      const std::vector<StatsSample>& samples) {
    CsvWriter csv;
    csv.addRecord({QStringLiteral("time"), QStringLiteral("title"), QStringLiteral("address"),
                   QStringLiteral("state"), QStringLiteral("round_trip_ms")});
    for (const StatsSample& s : samples)
        csv.addRecord({isoTimeMs(s.timeMs), title, address,
                       s.roundTripUs >= 0 ? QStringLiteral("up") : QStringLiteral("down"),
                       millisecondsField(s.roundTripUs)});
    return csv.bytes();
}

}  // namespace hv
