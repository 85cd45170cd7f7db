#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

#include "once/CheckOnce.h"

namespace hv {

// `hostvane --history TITLE [--since=DURATION] [--format=tsv|csv|json]`.
struct HistoryQuery {
    QString title;
    std::int64_t sinceMs = 24LL * 3600 * 1000;  // how far back from now
    OnceFormat format = OnceFormat::Tsv;
};

// "90m", "24h", "7d": a whole number of minutes, hours or days, 1 up to 3650 days; nothing
// for anything else.
std::optional<std::int64_t> historyDurationMs(const QString& text);

// Prints the samples of every host titled query.title in the history file at path, oldest
// first within each host, hosts in the order they were first stored, into *out. Returns the
// exit status: 0 printed (maybe no sample in the range), 1 no such file or title (the
// reason in *error).
int printHistory(const HistoryQuery& query, const QString& path, std::int64_t nowMs,
                 QByteArray* out, QString* error);

// The same for the program at executablePath: its settings' history file, now.
int runHistory(const HistoryQuery& query, const QString& executablePath, QByteArray* out,
               QString* error);

}  // namespace hv
