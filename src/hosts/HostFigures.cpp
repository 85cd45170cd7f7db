#include "hosts/HostFigures.h"

namespace hv {

bool HostFigures::record(bool alive, std::int64_t roundTrip, bool reportedUp, int lostAfter,
                         int appearedAfter) {
    ++checks;
    if (!alive) ++failures;
    roundTripUs = alive ? roundTrip : -1;
    if (alive == reportedUp) {
        disagreeingPasses = 0;
        return false;
    }
    ++disagreeingPasses;
    if (disagreeingPasses < (reportedUp ? lostAfter : appearedAfter)) return false;
    disagreeingPasses = 0;
    return true;
}

double HostFigures::answeredPercent() const {
    if (checks <= 0) return -1;
    return 100.0 * (checks - failures) / checks;
}

}  // namespace hv
