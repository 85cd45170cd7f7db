#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <deque>

namespace hv {

// One reported change of a host's state, as handed over to the main thread.
struct ChangeEvent {
    QDateTime time;  // local time of the hand-over
    QString title;
    QString address;
    bool appeared = false;          // false: lost
    std::int64_t roundTripUs = -1;  // the answering try's round trip; -1 for a lost host
};

// The changes of this run, oldest first, for Log > Export. The log window's text is the
// user's to edit; this list keeps what the check cycle reported. At most capacity() changes
// are kept: a long run with flapping hosts drops the oldest ones rather than growing without
// bound. Main thread (the hand-overs and the menu command).
class ChangeEvents {
public:
    static constexpr std::size_t kDefaultCapacity = 100000;

    explicit ChangeEvents(std::size_t capacity = kDefaultCapacity);

    // Appends a change; returns true when the oldest one was dropped to make room.
    bool add(ChangeEvent event);
    const std::deque<ChangeEvent>& events() const { return m_events; }
    std::size_t capacity() const { return m_capacity; }
    // Changes dropped so far because the list was full.
    std::uint64_t dropped() const { return m_dropped; }

    // The CSV file Export writes: the header "time,title,address,event,round_trip_ms", then one
    // record per change (ISO 8601 time with UTC offset, title, address, "lost" or "appeared",
    // round trip in ms or empty).
    QByteArray toCsv() const;

    // "2026-12-10T09:15:02+01:00": local date and time to the second and the offset from UTC
    // that held at that moment ("+00:00" for UTC itself).
    static QString isoTime(const QDateTime& time);

private:
    std::size_t m_capacity;
    std::deque<ChangeEvent> m_events;
    std::uint64_t m_dropped = 0;
};

}  // namespace hv
