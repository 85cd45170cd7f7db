#include "history/HistoryStore.h"

#include <sqlite3.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <chrono>
#include <cstdio>

#include "history/SqliteHandle.h"

namespace hv {

namespace {

constexpr std::int64_t kDayMs = 24LL * 60 * 60 * 1000;
constexpr std::int64_t kPruneEveryMs = 60LL * 60 * 1000;

// The compact form: a host is a row of its own, and a sample is keyed by (host, time) without a
// rowid, so a sample costs its key and its round trip and little else. kind 0 and 1 take no
// bytes in a record.
constexpr const char* kSchema =
    "CREATE TABLE hosts(id INTEGER PRIMARY KEY, title TEXT NOT NULL, address TEXT NOT NULL,"
    " UNIQUE(title, address));"
    "CREATE TABLE samples(host INTEGER NOT NULL REFERENCES hosts(id), time INTEGER NOT NULL,"
    " round_trip_us INTEGER, kind INTEGER NOT NULL, PRIMARY KEY(host, time)) WITHOUT ROWID;"
    "PRAGMA user_version = 1;";

bool isDamage(const SqliteError& e) {
    const int primary = e.code & 0xff;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

struct Damaged {
    QString why;
};

}  // namespace

HistoryStore::HistoryStore(Options options)
    : m_options(std::move(options)), m_keepDays(m_options.keepDays) {
    if (!m_options.nowMs) m_options.nowMs = [] { return QDateTime::currentMSecsSinceEpoch(); };
    m_thread = std::thread([this] { run(); });
}

HistoryStore::~HistoryStore() {
    {
        std::lock_guard guard(m_lock);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

std::int64_t HistoryStore::now() const { return m_options.nowMs(); }

void HistoryStore::add(const QString& title, const QString& address, Kind kind,
                       std::int64_t roundTripUs) {
    const std::int64_t at = now();
    std::lock_guard guard(m_lock);
    if (m_keepDays <= 0) return;
    m_collecting.push_back({title, address, at, roundTripUs < 0 ? -1 : roundTripUs, kind});
}

void HistoryStore::endPass() {
    {
        std::lock_guard guard(m_lock);
        if (m_collecting.empty()) return;
        m_pendingSamples += m_collecting.size();
        m_pending.push_back(std::move(m_collecting));
        m_collecting = {};
        // While writing fails the passes wait here; memory is bounded by dropping the oldest.
        while (m_pending.size() > 1 && m_pendingSamples > m_options.maxPendingSamples) {
            m_pendingSamples -= m_pending.front().size();
            m_pending.pop_front();
        }
    }
    m_wake.notify_all();
}

void HistoryStore::setKeepDays(int days) {
    std::lock_guard guard(m_lock);
    m_keepDays = days;
}

bool HistoryStore::flush(int timeoutMs) {
    std::unique_lock guard(m_lock);
    const std::uint64_t before = m_attempts;
    m_retryNow = true;
    m_wake.notify_all();
    const bool done = m_idle.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] {
        const bool empty = m_pending.empty() && !m_busy;
        return empty || (m_lastFailed && m_attempts > before);
    });
    return done && m_pending.empty() && !m_busy;
}

void HistoryStore::run() {
    bool first = true;
    for (;;) {
        Pass pass;
        bool stopping = false;
        {
            std::unique_lock guard(m_lock);
            const auto ready = [&] {
                return m_stopping || m_retryNow || (!m_pending.empty() && !m_failing);
            };
            // Woken hourly at least, to prune; after a failure, to try again.
            const auto wait =
                std::chrono::milliseconds(m_failing ? m_options.retryMs : std::int64_t{60'000});
            if (!first) m_wake.wait_for(guard, wait, ready);
            first = false;
            m_retryNow = false;
            stopping = m_stopping;
            if (!m_pending.empty()) {
                pass = std::move(m_pending.front());
                m_pending.pop_front();
                m_pendingSamples -= pass.size();
                m_busy = true;
            } else if (stopping) {
                break;
            }
        }
        bool ok = true;
        if (!pass.empty() || m_db) {
            ok = ensureOpen();
            if (ok) {
                try {
                    const std::int64_t t = now();
                    std::int64_t keep;
                    {
                        std::lock_guard guard(m_lock);
                        keep = m_keepDays;
                    }
                    if (keep > 0 && (m_lastPrune == 0 || t - m_lastPrune >= kPruneEveryMs)) {
                        prune(t - keep * kDayMs);
                        m_lastPrune = t;
                    }
                    if (!pass.empty()) writePass(pass);
                    recovered();
                } catch (const SqliteError& e) {
                    fail(e.message);
                    ok = false;
                }
            }
        }
        {
            std::lock_guard guard(m_lock);
            if (!ok && !pass.empty()) {
                m_pendingSamples += pass.size();
                m_pending.push_front(std::move(pass));
            }
            m_busy = false;
            m_lastFailed = !ok;
            ++m_attempts;
            if (stopping && (m_pending.empty() || !ok)) {
                m_idle.notify_all();
                break;
            }
        }
        m_idle.notify_all();
    }
    m_db.reset();
}

bool HistoryStore::ensureOpen() {
    if (m_db && m_db->isOpen()) return true;
    try {
        openFile();
        return true;
    } catch (const Damaged& d) {
        try {
            moveAside(d.why);
            openFile();
            return true;
        } catch (const SqliteError& e) {
            fail(e.message);
        } catch (const Damaged& again) {
            fail(again.why);
        }
    } catch (const SqliteError& e) {
        fail(e.message);
    }
    m_db.reset();
    return false;
}

void HistoryStore::openFile() {
    m_hostIds.clear();
    m_lastTimes.clear();
    // The state folder may not exist yet; a failure shows as the open's.
    QDir().mkpath(QFileInfo(m_options.path).absolutePath());
    m_db = std::make_unique<SqliteConnection>();
    m_db->open(m_options.path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX);
    try {
        // A reader (--history) or a second writer holds the file only briefly.
        sqlite3_busy_timeout(m_db->handle(), m_options.busyTimeoutMs);
        m_db->text("PRAGMA journal_mode = WAL");
        // WAL with NORMAL: a killed process loses nothing committed; only a power cut may
        // lose the last passes, never the file.
        m_db->exec("PRAGMA synchronous = NORMAL");
        const QString check = m_db->text("PRAGMA quick_check");
        if (check != QLatin1String("ok")) throw Damaged{check};
        const std::int64_t version = m_db->integer("PRAGMA user_version");
        if (version == 0) {
            m_db->exec("BEGIN IMMEDIATE");
            try {
                // A file of no tables is new; anything else is not ours.
                if (m_db->integer("SELECT count(*) FROM sqlite_schema") != 0)
                    throw Damaged{QStringLiteral("not a history file")};
                m_db->exec(kSchema);
                m_db->exec("COMMIT");
            } catch (...) {
                sqlite3_exec(m_db->handle(), "ROLLBACK", nullptr, nullptr, nullptr);
                throw;
            }
        } else if (version > kHistorySchemaVersion) {
            throw SqliteError{
                SQLITE_ERROR,
                QStringLiteral("written by a newer version (schema %1)").arg(version)};
        }
    } catch (const SqliteError& e) {
        if (isDamage(e)) {
            m_db.reset();
            throw Damaged{e.message};
        }
        m_db.reset();
        throw;
    } catch (const Damaged&) {
        m_db.reset();
        throw;
    }
}

void HistoryStore::moveAside(const QString& why) {
    m_db.reset();
    const QString stamp =
        QDateTime::fromMSecsSinceEpoch(now()).toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = m_options.path + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFile::exists(aside) && n < 100; ++n)
        aside = m_options.path + QStringLiteral(".damaged-") + stamp + u'-' + QString::number(n);
    if (!QFile::rename(m_options.path, aside))
        throw SqliteError{SQLITE_CANTOPEN,
                          QStringLiteral("cannot move the damaged file aside to %1").arg(aside)};
    // Its journal belongs to it, never to the new file.
    QFile::rename(m_options.path + QStringLiteral("-wal"), aside + QStringLiteral("-wal"));
    QFile::remove(m_options.path + QStringLiteral("-shm"));
    if (m_options.notify) {
        HistoryNotice notice;
        notice.kind = HistoryNotice::Kind::Damaged;
        notice.path = m_options.path;
        notice.file = aside;
        notice.message = why;
        m_options.notify(notice);
    }
}

std::int64_t HistoryStore::hostId(const QString& title, const QString& address) {
    const QPair<QString, QString> key(title, address);
    if (const auto it = m_hostIds.constFind(key); it != m_hostIds.constEnd()) return *it;
    SqliteStatement insert(*m_db, "INSERT OR IGNORE INTO hosts(title, address) VALUES(?, ?)");
    insert.bind(1, title).bind(2, address).run();
    SqliteStatement select(*m_db, "SELECT id FROM hosts WHERE title = ? AND address = ?");
    select.bind(1, title).bind(2, address);
    if (!select.step()) throw SqliteError{SQLITE_ERROR, QStringLiteral("host row missing")};
    const std::int64_t id = select.integer(0);
    m_hostIds.insert(key, id);
    return id;
}

void HistoryStore::writePass(const Pass& pass) {
    try {
        m_db->exec("BEGIN IMMEDIATE");
        SqliteStatement insert(*m_db,
                               "INSERT OR REPLACE INTO samples(host, time, round_trip_us, kind)"
                               " VALUES(?, ?, ?, ?)");
        for (const Sample& s : pass) {
            const std::int64_t id = hostId(s.title, s.address);
            // Two checks of a host in one ms (a pass right after another) stay two samples.
            std::int64_t& last = m_lastTimes[id];
            const std::int64_t at = std::max(s.timeMs, last + 1);
            last = at;
            insert.reset().bind(1, id).bind(2, at);
            if (s.roundTripUs < 0)
                insert.bindNull(3);
            else
                insert.bind(3, s.roundTripUs);
            insert.bind(4, std::int64_t(s.kind)).run();
        }
        m_db->exec("COMMIT");
    } catch (const SqliteError&) {
        // Host rows of the rolled-back pass are gone again.
        m_hostIds.clear();
        m_lastTimes.clear();
        m_db.reset();  // closing rolls back; the next attempt opens anew
        throw;
    }
}

void HistoryStore::prune(std::int64_t before) {
    try {
        m_db->exec("BEGIN IMMEDIATE");
        {
            SqliteStatement hosts(*m_db, "SELECT id FROM hosts");
            SqliteStatement remove(*m_db, "DELETE FROM samples WHERE host = ? AND time < ?");
            // Per host: each is one range of the key.
            while (hosts.step()) remove.reset().bind(1, hosts.integer(0)).bind(2, before).run();
        }
        m_db->exec(
            "DELETE FROM hosts WHERE NOT EXISTS (SELECT 1 FROM samples WHERE host = hosts.id)");
        m_db->exec("COMMIT");
        m_hostIds.clear();
        m_lastTimes.clear();
    } catch (const SqliteError&) {
        m_hostIds.clear();
        m_lastTimes.clear();
        m_db.reset();
        throw;
    }
}

void HistoryStore::fail(const QString& message) {
    if (m_failing) return;
    m_failing = true;
    if (m_options.notify) {
        HistoryNotice notice;
        notice.kind = HistoryNotice::Kind::WriteFailed;
        notice.path = m_options.path;
        notice.message = message;
        m_options.notify(notice);
    }
}

void HistoryStore::recovered() {
    if (!m_failing) return;
    m_failing = false;
    if (m_options.notify) {
        HistoryNotice notice;
        notice.kind = HistoryNotice::Kind::Written;
        notice.path = m_options.path;
        m_options.notify(notice);
    }
}

}  // namespace hv
