#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>

namespace hv {

// How one host has done since it entered the list, and how many passes in a row have
// disagreed with the state it is reported in. Kept by the host list, changed on the main
// thread from every check (a host with an empty address is never checked).
struct HostFigures {
    std::int64_t roundTripUs = -1;  // the last check's round trip; -1: it did not answer, or none
    QDateTime lastChange;           // the last lost/appeared report; invalid: none yet
    int checks = 0;
    int failures = 0;
    // Passes in a row whose outcome differs from the reported state; the reported state turns
    // when they reach the threshold.
    int disagreeingPasses = 0;
    // Where the last check went: the address a name resolved to, with the port of a connect
    // ("10.0.0.1:22", "[2001:db8::5]:443"); empty when it got no address.
    QString checkedAddress;
    // Why the last check failed, as the probe or the address parser said; empty after an
    // answer.
    QString lastError;

    // Counts one check. Returns true when the reported state must turn now: reportedUp's
    // opposite has held for lostAfter (reported up) or appearedAfter (reported down) passes in
    // a row. With 1 and 1 that is every check whose outcome differs from the reported state.
    bool record(bool alive, std::int64_t roundTrip, bool reportedUp, int lostAfter,
                int appearedAfter);

    // Answered checks in percent of all checks; -1 before the first check.
    double answeredPercent() const;

    bool operator==(const HostFigures&) const = default;
};

}  // namespace hv
