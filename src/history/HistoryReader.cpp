#include "history/HistoryReader.h"

#include <sqlite3.h>

#include <QFileInfo>

#include "history/SqliteHandle.h"

namespace hv {

HistoryReader::HistoryReader() : m_db(std::make_unique<SqliteConnection>()) {}

HistoryReader::~HistoryReader() = default;

std::unique_ptr<HistoryReader> HistoryReader::open(const QString& path, QString* error) {
    const auto failed = [&](const QString& why) -> std::unique_ptr<HistoryReader> {
        if (error) *error = why;
        return nullptr;
    };
    // Opening read-only never creates the file; say plainly when there is none.
    if (!QFileInfo(path).isFile()) return failed(QStringLiteral("no history file %1").arg(path));
    std::unique_ptr<HistoryReader> reader(new HistoryReader);
    try {
        reader->m_db->open(path, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX);
        // The writer's transactions are short; waiting a little beats failing.
        reader->m_db->exec("PRAGMA busy_timeout = 2000");
        const std::int64_t version = reader->m_db->integer("PRAGMA user_version");
        if (version != kHistorySchemaVersion)
            return failed(QStringLiteral("%1 is not a history file of this version (schema %2)")
                              .arg(path)
                              .arg(version));
    } catch (const SqliteError& e) {
        return failed(QStringLiteral("cannot read %1: %2").arg(path, e.message));
    }
    return reader;
}

QList<QPair<QString, QString>> HistoryReader::hostsWithTitle(const QString& title) const {
    QList<QPair<QString, QString>> hosts;
    try {
        SqliteStatement s(*m_db, "SELECT title, address FROM hosts WHERE title = ? ORDER BY id");
        s.bind(1, title);
        while (s.step()) hosts.append({s.text(0), s.text(1)});
    } catch (const SqliteError&) {
        hosts.clear();
    }
    return hosts;
}

std::vector<HistorySample> HistoryReader::samples(const QString& title, const QString& address,
                                                  std::int64_t fromMs, std::int64_t toMs) const {
    std::vector<HistorySample> out;
    try {
        SqliteStatement s(*m_db,
                          "SELECT s.time, s.round_trip_us FROM samples s"
                          " JOIN hosts h ON h.id = s.host"
                          " WHERE h.title = ? AND h.address = ? AND s.time >= ? AND s.time < ?"
                          " ORDER BY s.time");
        s.bind(1, title).bind(2, address).bind(3, fromMs).bind(4, toMs);
        while (s.step()) out.push_back({s.integer(0), s.isNull(1) ? -1 : s.integer(1)});
    } catch (const SqliteError&) {
        out.clear();
    }
    return out;
}

}  // namespace hv
