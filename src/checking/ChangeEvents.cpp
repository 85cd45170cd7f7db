#include "checking/ChangeEvents.h"

#include <QStringList>
#include <algorithm>
#include <cstdlib>
#include <utility>

#include "checking/CsvWriter.h"
#include "checking/RoundTripText.h"

namespace hv {

ChangeEvents::ChangeEvents(std::size_t capacity) : m_capacity(std::max<std::size_t>(capacity, 1)) {}

bool ChangeEvents::add(ChangeEvent event) {
    bool full = false;
    if (m_events.size() >= m_capacity) {
        m_events.pop_front();
        ++m_dropped;
        full = true;
    }
    m_events.push_back(std::move(event));
    return full;
}

QByteArray ChangeEvents::toCsv() const {
    CsvWriter csv;
    csv.addRecord({QStringLiteral("time"), QStringLiteral("title"), QStringLiteral("address"),
                   QStringLiteral("event"), QStringLiteral("round_trip_ms")});
    for (const ChangeEvent& e : m_events) {
        csv.addRecord({isoTime(e.time), e.title, e.address,
                       e.appeared ? QStringLiteral("appeared") : QStringLiteral("lost"),
                       e.appeared ? roundTripMsText(e.roundTripUs) : QString()});
    }
    return csv.bytes();
}

QString ChangeEvents::isoTime(const QDateTime& time) {
    const QDateTime local = time.toLocalTime();
    const int offset = local.offsetFromUtc();  // seconds east of UTC
    const int minutes = std::abs(offset) / 60;
    return local.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")) + (offset < 0 ? u'-' : u'+') +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace hv
