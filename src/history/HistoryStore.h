#pragma once

#include <QHash>
#include <QPair>
#include <QString>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace hv {

class SqliteConnection;

// What the writer tells its owner, on the writer thread.
struct HistoryNotice {
    enum class Kind {
        WriteFailed,  // opening or writing failed; the samples are kept and tried again later
        Written,      // writing works again after a failure
        Damaged,      // the file was damaged and moved aside; `file` is where it went
    };
    Kind kind = Kind::WriteFailed;
    QString path;     // the history file
    QString file;     // Damaged: the damaged file's new name
    QString message;  // WriteFailed: SQLite's reason
};

// Writes every check of every host into the history file, off the calling threads: add()
// collects a pass, endPass() hands it to the writer thread, which stores each pass in one
// transaction. The file is opened (and created) by the writer on its first pass, so a store
// that never gets a sample creates nothing.
class HistoryStore {
public:
    enum class Kind : std::uint8_t { Icmp = 0, Tcp = 1 };

    struct Options {
        QString path;
        int keepDays = 30;  // samples older than this are removed at start and hourly
        // The clock of the samples and the pruning (ms since the epoch); the system's when empty.
        std::function<std::int64_t()> nowMs;
        // Told on the writer thread: a fault, a recovery, a damaged file moved aside.
        std::function<void(const HistoryNotice&)> notify;
        int retryMs = 30'000;       // after a failed write or open
        int busyTimeoutMs = 2'000;  // how long a write waits for a lock another process holds
        // Passes held while writing fails; the oldest go beyond this.
        std::size_t maxPendingSamples = 500'000;
    };

    explicit HistoryStore(Options options);
    // Writes what is pending (once more, when it failed before) and joins the writer.
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // Any thread: one host's check in the pass being collected; roundTripUs -1 when lost.
    void add(const QString& title, const QString& address, Kind kind, std::int64_t roundTripUs);
    // Any thread: the pass is complete; the writer stores it.
    void endPass();
    // Any thread; 0 is taken as "keep nothing new" (add() drops the samples) and prunes nothing.
    void setKeepDays(int days);
    // Waits until every ended pass is written (or failed) and, after a failure, retries once at
    // once; true when nothing is pending afterwards. For tests and the benchmark.
    bool flush(int timeoutMs);
    // The file in use.
    QString path() const { return m_options.path; }

private:
    struct Sample {
        QString title;
        QString address;
        std::int64_t timeMs;
        std::int64_t roundTripUs;
        Kind kind;
    };
    using Pass = std::vector<Sample>;

    void run();
    // Writer thread: opens the file when it is not open; false when that failed.
    bool ensureOpen();
    void openFile();
    void moveAside(const QString& why);
    void writePass(const Pass& pass);
    std::int64_t hostId(const QString& title, const QString& address);
    void prune(std::int64_t now);
    void fail(const QString& message);
    void recovered();
    std::int64_t now() const;

    Options m_options;

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    Pass m_collecting;           // guarded
    std::deque<Pass> m_pending;  // guarded: ended passes not yet written
    std::size_t m_pendingSamples = 0;
    bool m_busy = false;           // guarded: the writer holds a pass
    bool m_retryNow = false;       // guarded: flush() asks for an early retry
    bool m_stopping = false;       // guarded
    int m_keepDays;                // guarded
    std::uint64_t m_attempts = 0;  // guarded: write attempts finished, for flush()
    bool m_lastFailed = false;     // guarded: the last attempt failed

    // Writer thread only.
    std::unique_ptr<SqliteConnection> m_db;
    QHash<QPair<QString, QString>, std::int64_t> m_hostIds;  // (title, address) -> hosts.id
    QHash<std::int64_t, std::int64_t> m_lastTimes;           // hosts.id -> its last sample's time
    bool m_failing = false;
    std::int64_t m_lastPrune = 0;
    std::thread m_thread;
};

}  // namespace hv
