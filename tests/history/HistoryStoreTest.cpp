#include <signal.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <atomic>
#include <mutex>
#include <random>
#include <vector>

#include "TestSupport.h"
#include "history/HistoryLocation.h"
#include "history/HistoryReader.h"
#include "history/HistoryStore.h"

namespace {

using hv::HistoryNotice;
using hv::HistorySample;
using hv::HistoryStore;
using Kind = HistoryStore::Kind;

constexpr std::int64_t kT0 = 1'780'000'000'000;  // a moment in 2026, ms since the epoch
constexpr std::int64_t kDay = 24LL * 3600 * 1000;

// The store's clock and what it told, for one test.
struct Harness {
    std::atomic<std::int64_t> clock{kT0};
    std::mutex lock;
    std::vector<HistoryNotice> notices;

    HistoryStore::Options options(const QString& path, int keepDays = 30) {
        HistoryStore::Options o;
        o.path = path;
        o.keepDays = keepDays;
        o.nowMs = [this] { return clock.load(); };
        o.notify = [this](const HistoryNotice& n) {
            std::lock_guard guard(lock);
            notices.push_back(n);
        };
        o.retryMs = 50;
        o.busyTimeoutMs = 50;
        return o;
    }
    std::vector<HistoryNotice::Kind> kinds() {
        std::lock_guard guard(lock);
        std::vector<HistoryNotice::Kind> out;
        for (const auto& n : notices) out.push_back(n.kind);
        return out;
    }
};

std::vector<HistorySample> readAll(const QString& path, const QString& title,
                                   const QString& address) {
    QString error;
    const auto reader = hv::HistoryReader::open(path, &error);
    if (!reader) {
        ADD_FAILURE() << error.toStdString();
        return {};
    }
    return reader->samples(title, address, 0, std::numeric_limits<std::int64_t>::max());
}

// One answer of a PRAGMA or query through a connection of its own.
QString ask(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    QString out;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK &&
            sqlite3_step(s) == SQLITE_ROW)
            out = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
        sqlite3_finalize(s);
    }
    sqlite3_close(db);
    return out;
}

TEST(HistoryStore, EveryPassIsStoredPerHostWithLostChecksAndReadBackInOrder) {
    hvtest::TempDir dir;
    Harness h;
    const QString path = dir.file("history.sqlite");
    {
        HistoryStore store(h.options(path));
        store.add("Web", "http://w", Kind::Tcp, 52);
        store.add("Mail", "10.0.0.5", Kind::Icmp, -1);
        store.endPass();
        h.clock += 1000;
        store.add("Web", "http://w", Kind::Tcp, -1);
        store.add("Mail", "10.0.0.5", Kind::Icmp, 1'250);
        // Identity is title and address: a host renamed, or moved, is a new host.
        store.add("Web", "http://w2", Kind::Tcp, 7);
        store.add("Web (old)", "http://w", Kind::Tcp, 8);
        store.endPass();
        ASSERT_TRUE(store.flush(10'000));
    }
    EXPECT_EQ(readAll(path, "Web", "http://w"),
              (std::vector<HistorySample>{{kT0, 52}, {kT0 + 1000, -1}}));
    EXPECT_EQ(readAll(path, "Mail", "10.0.0.5"),
              (std::vector<HistorySample>{{kT0, -1}, {kT0 + 1000, 1'250}}));
    EXPECT_EQ(readAll(path, "Web", "http://w2"), (std::vector<HistorySample>{{kT0 + 1000, 7}}));
    EXPECT_EQ(readAll(path, "Web (old)", "http://w"),
              (std::vector<HistorySample>{{kT0 + 1000, 8}}));

    QString error;
    const auto reader = hv::HistoryReader::open(path, &error);
    ASSERT_TRUE(reader) << error.toStdString();
    EXPECT_EQ(reader->hostsWithTitle("Web"),
              (QList<QPair<QString, QString>>{{"Web", "http://w"}, {"Web", "http://w2"}}));
    EXPECT_TRUE(reader->hostsWithTitle("web").isEmpty());  // titles are matched exactly
    // The range is half open: fromMs <= time < toMs.
    EXPECT_EQ(reader->samples("Web", "http://w", kT0, kT0 + 1000),
              (std::vector<HistorySample>{{kT0, 52}}));
    EXPECT_EQ(ask(path, "PRAGMA user_version"), "1");
    EXPECT_EQ(ask(path, "PRAGMA journal_mode"), "wal");
    EXPECT_EQ(ask(path, "SELECT group_concat(kind) FROM samples WHERE host = 1"), "1,1");
    EXPECT_TRUE(h.kinds().empty());
}

TEST(HistoryStore, NoSampleNoFileAndKeepDaysZeroKeepsNothing) {
    hvtest::TempDir dir;
    Harness h;
    {
        HistoryStore idle(h.options(dir.file("idle.sqlite")));
        ASSERT_TRUE(idle.flush(5'000));
        HistoryStore off(h.options(dir.file("off.sqlite"), 0));
        off.add("A", "a", Kind::Icmp, 1);
        off.endPass();
        ASSERT_TRUE(off.flush(5'000));
    }
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST(HistoryStore, OldSamplesGoAtStartAndAfterAnHourWithTheStoresClock) {
    hvtest::TempDir dir;
    Harness h;
    const QString path = dir.file("history.sqlite");
    const auto writeAt = [&](HistoryStore& store, std::int64_t at) {
        h.clock = at;
        store.add("A", "a", Kind::Icmp, at / kDay % 1000);
        store.endPass();
        ASSERT_TRUE(store.flush(10'000));
    };
    const auto times = [&] {
        std::vector<std::int64_t> out;
        for (const HistorySample& s : readAll(path, "A", "a")) out.push_back(s.timeMs);
        return out;
    };
    {
        HistoryStore store(h.options(path, 30));
        writeAt(store, kT0 - 40 * kDay);
        writeAt(store, kT0 - 20 * kDay);
        writeAt(store, kT0 - 1 * kDay);  // an hour and more since the last pruning: 40 d goes
        EXPECT_EQ(times(), (std::vector<std::int64_t>{kT0 - 20 * kDay, kT0 - kDay}));
    }
    {
        // At start: the first pass of a new run prunes before it writes.
        HistoryStore store(h.options(path, 10));
        writeAt(store, kT0);
        EXPECT_EQ(times(), (std::vector<std::int64_t>{kT0 - kDay, kT0}));
        // Less than an hour later nothing is pruned, though a day has aged out meanwhile.
        h.clock = kT0 + 9 * kDay + 59 * 60'000;
        store.setKeepDays(1);
        writeAt(store, kT0 + 30 * 60'000);
        EXPECT_EQ(times().size(), 3u);
        writeAt(store, kT0 + 2 * 3600'000);
        EXPECT_EQ(times(), (std::vector<std::int64_t>{kT0, kT0 + 30 * 60'000, kT0 + 2 * 3600'000}));
    }
}

// A file that is not a database, or one whose pages are damaged, is moved aside under a
// dated name and a new one started; the owner is told.
TEST(HistoryStore, ADamagedFileIsMovedAsideAndANewOneStarted) {
    const auto validFile = [](const QString& path) {
        Harness h;
        HistoryStore store(h.options(path));
        for (int pass = 0; pass < 40; ++pass) {
            for (int host = 0; host < 50; ++host)
                store.add(QString::number(host), "a", Kind::Icmp, pass * 10 + host);
            store.endPass();
            h.clock += 1000;
        }
        store.flush(10'000);
    };
    const struct {
        const char* name;
        std::function<void(const QString& path)> damage;
    } cases[] = {
        {"not a database",
         [](const QString& path) {
             QFile f(path);
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
             f.write(QByteArray("hosts and samples, honestly\n").repeated(200));
         }},
        {"damaged pages",
         [&](const QString& path) {
             validFile(path);
             ASSERT_EQ(ask(path, "PRAGMA quick_check"), "ok");
             QFile f(path);
             ASSERT_TRUE(f.open(QIODevice::ReadWrite));
             ASSERT_GT(f.size(), 4 * 4096);
             f.seek(2 * 4096 + 100);  // inside the third page: a b-tree page of samples
             f.write(QByteArray(3000, '\x5a'));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        hvtest::TempDir dir;
        const QString path = dir.file("history.sqlite");
        c.damage(path);
        const QByteArray damaged = dir.read("history.sqlite");
        Harness h;
        {
            HistoryStore store(h.options(path));
            store.add("A", "a", Kind::Icmp, 5);
            store.endPass();
            ASSERT_TRUE(store.flush(10'000));
        }
        ASSERT_EQ(h.kinds(), std::vector<HistoryNotice::Kind>{HistoryNotice::Kind::Damaged});
        const QString aside = h.notices[0].file;
        const QString stamp =
            QDateTime::fromMSecsSinceEpoch(kT0).toString(QStringLiteral("yyyyMMdd-HHmmss"));
        EXPECT_EQ(aside, path + ".damaged-" + stamp);
        QFile moved(aside);
        ASSERT_TRUE(moved.open(QIODevice::ReadOnly));
        EXPECT_EQ(moved.readAll(), damaged);  // moved as it was
        EXPECT_EQ(readAll(path, "A", "a"), (std::vector<HistorySample>{{kT0, 5}}));
        EXPECT_EQ(ask(path, "PRAGMA integrity_check"), "ok");
    }
}

// A folder the store may not write to: told once, checking goes on, the passes are kept and
// written once it may.
TEST(HistoryStore, AReadOnlyFolderIsToldOnceAndThePassesWrittenLater) {
    if (hvtest::isRoot()) GTEST_SKIP() << "root writes into read-only folders";
    hvtest::TempDir dir;
    const QString folder = dir.file("ro");
    ASSERT_TRUE(QDir().mkdir(folder));
    ASSERT_EQ(::chmod(folder.toUtf8().constData(), 0555), 0);
    const QString path = folder + "/history.sqlite";
    Harness h;
    HistoryStore store(h.options(path));
    for (int pass = 0; pass < 3; ++pass) {
        store.add("A", "a", Kind::Icmp, pass);
        store.endPass();
        h.clock += 1000;
        EXPECT_FALSE(store.flush(10'000));
    }
    EXPECT_EQ(h.kinds(), std::vector<HistoryNotice::Kind>{HistoryNotice::Kind::WriteFailed});
    EXPECT_FALSE(h.notices[0].message.isEmpty());
    ASSERT_EQ(::chmod(folder.toUtf8().constData(), 0755), 0);
    ASSERT_TRUE(store.flush(10'000));
    EXPECT_EQ(h.kinds(), (std::vector<HistoryNotice::Kind>{HistoryNotice::Kind::WriteFailed,
                                                           HistoryNotice::Kind::Written}));
    EXPECT_EQ(readAll(path, "A", "a"),
              (std::vector<HistorySample>{{kT0, 0}, {kT0 + 1000, 1}, {kT0 + 2000, 2}}));
}

// Another process holding the file's write lock: the pass waits, the owner is told, and it is
// written once the lock is gone.
TEST(HistoryStore, ALockedFileIsToldAndWrittenOnceFree) {
    hvtest::TempDir dir;
    const QString path = dir.file("history.sqlite");
    Harness h;
    HistoryStore store(h.options(path));
    store.add("A", "a", Kind::Icmp, 1);
    store.endPass();
    ASSERT_TRUE(store.flush(10'000));

    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    h.clock += 1000;
    store.add("A", "a", Kind::Icmp, 2);
    store.endPass();
    EXPECT_FALSE(store.flush(10'000));
    EXPECT_EQ(h.kinds(), std::vector<HistoryNotice::Kind>{HistoryNotice::Kind::WriteFailed});
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    ASSERT_TRUE(store.flush(10'000));
    EXPECT_EQ(readAll(path, "A", "a"), (std::vector<HistorySample>{{kT0, 1}, {kT0 + 1000, 2}}));
}

// A small tmpfs that fills up: told once, written again once there is room.
TEST(HistoryStore, AFullDiskIsToldAndWrittenOnceThereIsRoom) {
    if (!hvtest::isRoot()) GTEST_SKIP() << "mounting a tmpfs needs root";
    hvtest::TempDir dir;
    const QString mountPoint = dir.file("small");
    ASSERT_TRUE(QDir().mkdir(mountPoint));
    if (::mount("tmpfs", mountPoint.toUtf8().constData(), "tmpfs", 0, "size=256k") != 0)
        GTEST_SKIP() << "no tmpfs mount here";
    const auto unmount =
        qScopeGuard([&] { ::umount2(mountPoint.toUtf8().constData(), MNT_DETACH); });
    const QString path = mountPoint + "/history.sqlite";
    Harness h;
    {
        HistoryStore store(h.options(path));
        int passes = 0;
        bool full = false;
        for (; passes < 400 && !full; ++passes) {
            for (int host = 0; host < 100; ++host)
                store.add(QStringLiteral("host %1").arg(host), "a", Kind::Icmp, passes);
            store.endPass();
            h.clock += 1000;
            full = !store.flush(10'000);
        }
        ASSERT_TRUE(full) << "256 KiB never filled";
        EXPECT_EQ(h.kinds(), std::vector<HistoryNotice::Kind>{HistoryNotice::Kind::WriteFailed});
        // Room again: everything pruned (the clock jumps past KeepDays) makes space.
        h.clock += 31 * kDay;
        QFile::remove(path);
        QFile::remove(path + "-wal");
        QFile::remove(path + "-shm");
        EXPECT_TRUE(store.flush(10'000));
    }
    EXPECT_EQ(h.kinds().back(), HistoryNotice::Kind::Written);
    EXPECT_EQ(ask(path, "PRAGMA integrity_check"), "ok");
}

// Killed at random moments while it writes: the file opens, its integrity check is ok, and
// every pass committed before the kill is there.
TEST(HistoryStore, AKillAtAnyMomentKeepsEveryCommittedPass) {
#if defined(__SANITIZE_THREAD__)
    // A forked child that starts threads is outside ThreadSanitizer's model: it reports the
    // writer's locked queue as a race. The kill is what this tests; the other builds run it.
    GTEST_SKIP() << "fork with threads in the child is not supported by ThreadSanitizer";
#endif
    hvtest::TempDir dir;
    const QString path = dir.file("history.sqlite");
    std::mt19937 random(12345);
    int committedBefore = 0;
    for (int round = 0; round < 6; ++round) {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(fds[0]);
            HistoryStore::Options o;
            o.path = path;
            o.keepDays = 3650;
            // Each sample a moment of its own, so no pass replaces another's.
            o.nowMs = [base = kT0 + std::int64_t(committedBefore) * 1'000'000] {
                static std::atomic<std::int64_t> tick{0};
                return base + ++tick;
            };
            for (int pass = committedBefore;; ++pass) {
                {
                    static HistoryStore store(o);
                    for (int host = 0; host < 200; ++host)
                        store.add(QStringLiteral("host %1").arg(host), "a", Kind::Icmp, pass);
                    store.endPass();
                    if (!store.flush(10'000)) ::_exit(3);
                }
                // Told only once the pass is committed.
                if (::write(fds[1], &pass, sizeof pass) != sizeof pass) ::_exit(4);
            }
        }
        ::close(fds[1]);
        ::usleep(std::uniform_int_distribution<int>(50'000, 400'000)(random));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        int pass = -1, last = -1;
        while (::read(fds[0], &pass, sizeof pass) == sizeof pass) last = pass;
        ::close(fds[0]);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended by itself: " << status;

        QByteArray out;
        ASSERT_EQ(hvtest::runCommand("sqlite3", {path, "PRAGMA integrity_check;"}, 60'000, &out),
                  0);
        EXPECT_EQ(out.trimmed(), "ok") << "round " << round;
        // Every committed pass has all its hosts; at most the one under way is missing.
        const QString stored = ask(path, "SELECT count(DISTINCT round_trip_us) FROM samples");
        const QString complete =
            ask(path,
                "SELECT count(*) FROM (SELECT round_trip_us FROM samples GROUP BY "
                "round_trip_us HAVING count(*) = 200)");
        EXPECT_GE(complete.toInt(), last + 1) << "round " << round;
        EXPECT_EQ(stored, complete) << "a pass half written, round " << round;
        committedBefore = stored.toInt();
    }
    EXPECT_GT(committedBefore, 0);
}

TEST(HistoryLocation, BesideTheProgramsSettingsElseTheStateFolder) {
    qputenv("XDG_STATE_HOME", "/tmp/state-here");
    EXPECT_EQ(hv::historyFilePath("/opt/hv/Hostvane.ini", "/opt/hv"), "/opt/hv/history.sqlite");
    EXPECT_EQ(hv::historyFilePath("/home/u/.config/Hostvane/Hostvane.ini", "/usr/bin"),
              "/tmp/state-here/Hostvane/history.sqlite");
    qputenv("XDG_STATE_HOME", "relative/is/ignored");
    EXPECT_EQ(hv::historyFilePath("/home/u/.config/Hostvane/Hostvane.ini", "/usr/bin"),
              QDir::homePath() + "/.local/state/Hostvane/history.sqlite");
    qunsetenv("XDG_STATE_HOME");
}

}  // namespace
