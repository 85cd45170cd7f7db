#pragma once

#include <cstdint>

namespace hv {

// One stored check of one host.
struct HistorySample {
    std::int64_t timeMs = 0;        // ms since the epoch, UTC
    std::int64_t roundTripUs = -1;  // -1: lost (no answer)
    bool operator==(const HistorySample&) const = default;
};

}  // namespace hv
