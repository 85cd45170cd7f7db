#pragma once

#include <QString>
#include <cstdint>

class QLocale;

namespace hv {

// A round trip carried in µs, written in ms for people and for files.

// For files and terminals: ms with at most 3 decimals and a dot, trailing zeros dropped
// ("0.052", "12.5", "40"); empty for -1 (no answer).
QString roundTripMsText(std::int64_t roundTripUs);

// For tables: ms with 2 decimals below 10 ms, 1 below 100 ms and none above, in the locale's
// own separator; empty for -1.
QString roundTripDisplayText(std::int64_t roundTripUs, const QLocale& locale);

}  // namespace hv
