#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <vector>

#include "hosts/HostStats.h"

namespace hv {

// The history window's export: the header "time,title,address,state,round_trip_ms", then one
// record per check, oldest first: the local time in ISO 8601 with milliseconds and the UTC
// offset, the host's title and address, "up" or "down", and the round trip in ms with up to 3
// decimals and a dot (empty for a lost check). RFC 4180, UTF-8.
QByteArray historyCsv(const QString& title, const QString& address,
                      const std::vector<StatsSample>& samples);

// "2026-12-11T14:05:09.250+01:00" for a time in ms since the epoch, in the local time zone.
QString isoTimeMs(std::int64_t timeMs);
// A round trip in µs as ms with up to 3 decimals and a dot: 52 → "0.052", 1500 → "1.5".
QString millisecondsField(std::int64_t roundTripUs);

}  // namespace hv
