// The history's write load and a file for the read benchmark.
//
//   history-bench write FILE HOSTS SECONDS [PERIOD_MS]
//       HOSTS samples every PERIOD_MS (default 1000) for SECONDS into FILE, fed as the check
//       cycle feeds it: a checking thread adds, the main thread's event loop ends each pass.
//       Prints the event loop's worst and 99th-percentile lateness (a 5 ms timer), the writer
//       thread's CPU share, bytes per sample and the peak resident memory of this process.
//       "off" after PERIOD_MS feeds the same way with nothing kept: the machine's own lateness.
//   history-bench fill FILE TITLE SAMPLES PERIOD_MS
//       SAMPLES samples of one host, PERIOD_MS apart, ending now (every tenth lost).
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "history/HistoryStore.h"

namespace {

using hv::HistoryStore;

// utime + stime of this process's thread named `name`, in seconds.
double threadCpu(const char* name) {
    const long tick = sysconf(_SC_CLK_TCK);
    for (const QString& tid :
         QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(tid));
        if (!comm.open(QIODevice::ReadOnly) || comm.readAll().trimmed() != name) continue;
        QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(tid));
        if (!stat.open(QIODevice::ReadOnly)) return 0;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> f = text.mid(text.lastIndexOf(')') + 2).split(' ');
        return (f.value(11).toDouble() + f.value(12).toDouble()) / double(tick);
    }
    return 0;
}

int write(const QString& file, int hosts, int seconds, int periodMs, bool off) {
    HistoryStore::Options o;
    o.path = file;
    o.keepDays = off ? 0 : 30;  // off: the same feeding, every sample dropped (the baseline)
    o.notify = [](const hv::HistoryNotice& n) {
        std::fprintf(stderr, "notice %d: %s\n", int(n.kind), qPrintable(n.message));
    };
    auto owned = std::make_unique<HistoryStore>(o);
    HistoryStore& store = *owned;
    std::vector<QString> titles;
    for (int i = 0; i < hosts; ++i) titles.push_back(QStringLiteral("host %1").arg(i));

    std::atomic<bool> stop{false};
    std::atomic<long> samples{0};
    // The checking thread: a pass of every host each period, ended on the main thread.
    std::thread checking([&] {
        auto next = std::chrono::steady_clock::now();
        int pass = 0;
        while (!stop) {
            for (int i = 0; i < hosts; ++i)
                store.add(titles[i], QStringLiteral("10.%1.%2.1").arg(i / 256).arg(i % 256),
                          HistoryStore::Kind::Icmp, (i + pass) % 10 == 0 ? -1 : 200 + i % 900);
            samples += hosts;
            ++pass;
            QMetaObject::invokeMethod(
                qApp, [&store] { store.endPass(); }, Qt::QueuedConnection);
            next += std::chrono::milliseconds(periodMs);
            std::this_thread::sleep_until(next);
        }
    });

    // The event loop's lateness: a 5 ms timer, each tick's delay past its due time.
    std::vector<double> late;
    QElapsedTimer clock;
    clock.start();
    qint64 due = 5;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed() / 1000;  // µs
        late.push_back(std::max<double>(0, double(now - due * 1000)) / 1000.0);
        due = now / 1000 + 5;
    });
    tick.start(5);
    QTimer::singleShot(seconds * 1000, qApp, [] { QCoreApplication::quit(); });
    const double cpuBefore = threadCpu("hv-history");
    QCoreApplication::exec();
    stop = true;
    checking.join();
    store.endPass();
    store.flush(60'000);
    const double writerCpu = threadCpu("hv-history") - cpuBefore;
    const double wall = double(clock.elapsed()) / 1000.0;

    std::sort(late.begin(), late.end());
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const qint64 walBytes = QFileInfo(file + "-wal").size();
    owned.reset();  // closing checkpoints the WAL into the file
    const qint64 bytes = QFileInfo(file).size();
    std::printf("hosts %d, period %d ms, %.1f s: %ld samples\n", hosts, periodMs, wall,
                samples.load());
    std::printf("event loop lateness: max %.2f ms, p99 %.2f ms (%zu ticks)\n",
                late.empty() ? 0 : late.back(), late.empty() ? 0 : late[late.size() * 99 / 100],
                late.size());
    std::printf("writer thread CPU: %.2f s = %.1f %% of a core\n", writerCpu,
                100.0 * writerCpu / wall);
    std::printf("file: %lld bytes = %.1f bytes per sample (its WAL before closing: %lld bytes)\n",
                bytes, double(bytes) / double(std::max<long>(samples.load(), 1)), walBytes);
    std::printf("peak resident memory of this process: %.1f MiB\n", usage.ru_maxrss / 1024.0);
    return 0;
}

int fill(const QString& file, const QString& title, int count, qint64 periodMs) {
    std::atomic<qint64> clock{QDateTime::currentMSecsSinceEpoch() - (count - 1) * periodMs};
    HistoryStore::Options o;
    o.path = file;
    o.keepDays = 3650;
    o.nowMs = [&clock] { return clock.load(); };
    HistoryStore store(o);
    for (int i = 0; i < count; ++i) {
        store.add(title, QStringLiteral("127.0.0.1"), HistoryStore::Kind::Icmp,
                  i % 10 == 9 ? -1 : 40 + (i * 37) % 4000);
        // A pass per thousand samples: the file's layout does not depend on it.
        if (i % 1000 == 999) store.endPass();
        clock += periodMs;
    }
    store.endPass();
    return store.flush(120'000) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() >= 5 && a[1] == "write")
        return write(a[2], a[3].toInt(), a[4].toInt(), a.size() > 5 ? a[5].toInt() : 1000,
                     a.size() > 6 && a[6] == "off");
    if (a.size() == 6 && a[1] == "fill") return fill(a[2], a[3], a[4].toInt(), a[5].toLongLong());
    std::fprintf(stderr,
                 "usage: history-bench write FILE HOSTS SECONDS [PERIOD_MS [off]]\n"
                 "       history-bench fill FILE TITLE SAMPLES PERIOD_MS\n");
    return 2;
}
