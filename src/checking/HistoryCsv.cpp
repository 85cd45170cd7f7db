#include "checking/HistoryCsv.h"

#include <cstdlib>

#include "checking/CsvWriter.h"
#include "checking/RoundTripText.h"

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

QString millisecondsField(std::int64_t roundTripUs) { return roundTripMsText(roundTripUs); }

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
