// Metrics for 3000 hosts: how long a scrape of GET /metrics takes, what taking and publishing a
// snapshot costs the main thread, and how late the main thread's timers run while a client
// scrapes without pause, against the same run without scrapes.
//
//   cmake --build build --target hv_metrics_bench && build/bench/hv_metrics_bench [HOSTS [SECONDS]]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "hosts/HostList.h"
#include "metrics/MetricsServer.h"

namespace {

using Clock = std::chrono::steady_clock;

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// One whole GET /metrics; the bytes received, 0 on failure.
std::size_t scrape(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::size_t got = 0;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
        const std::string req = "GET /metrics HTTP/1.1\r\nHost: b\r\nConnection: close\r\n\r\n";
        if (::send(fd, req.data(), req.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(req.size())) {
            char buf[65536];
            ssize_t n;
            while ((n = ::recv(fd, buf, sizeof buf, 0)) > 0) got += static_cast<std::size_t>(n);
        }
    }
    ::close(fd);
    return got;
}

struct Stats {
    double median, p95, max;
};
Stats stats(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    if (v.empty()) return {0, 0, 0};
    return {v[v.size() / 2], v[v.size() * 95 / 100], v.back()};
}

// Runs the main loop for `seconds` with a 5 ms timer and the monitor's 250 ms publication;
// returns how late each 5 ms tick came, in ms.
std::vector<double> loopLateness(hv::HostList& list, hv::MetricsServer& server, double seconds,
                                 std::vector<double>* publishMs) {
    std::vector<double> late;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(5);
    Clock::time_point last = Clock::now();
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        late.push_back(std::max(0.0, ms(now - last) - 5.0));
        last = now;
    });
    QTimer publish;
    publish.setInterval(250);
    int round = 0;
    QObject::connect(&publish, &QTimer::timeout, [&] {
        const auto t0 = Clock::now();
        // A hand-over's worth of change, then the snapshot as the monitor takes it.
        list.recordCheck(round % list.count(), list.generation(), true, 3, 1, 1);
        ++round;
        server.publish(
            std::make_shared<const hv::MetricsSnapshot>(hv::snapshotOf(list, true, 1.5)));
        publishMs->push_back(ms(Clock::now() - t0));
    });
    tick.start();
    publish.start();
    QTimer::singleShot(static_cast<int>(seconds * 1000), [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    return late;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int hosts = argc > 1 ? std::atoi(argv[1]) : 3000;
    const double seconds = argc > 2 ? std::atof(argv[2]) : 5;

    hv::HostList list;
    QList<QPair<QString, QString>> entries;
    for (int i = 0; i < hosts; ++i) {
        entries.append(
            {QStringLiteral("Host \"%1\" in office \\ %2").arg(i).arg(i % 7),
             QStringLiteral("10.%1.%2.%3").arg(i >> 16).arg((i >> 8) & 255).arg(i & 255)});
    }
    list.rebuildFromEntries(entries);
    for (int i = 0; i < hosts; ++i) {
        list.recordCheck(i, list.generation(), i % 10 != 0, 1234 + i, 1, 1);
        if (i % 10 != 0) list.setStateImage(i, hv::kImageAnswered);
    }
    hv::MetricsServer::Limits limits;
    limits.anyPort = true;
    hv::MetricsServer server(QStringLiteral("127.0.0.1:0"), limits);
    server.publish(std::make_shared<const hv::MetricsSnapshot>(hv::snapshotOf(list, true, 1.5)));

    // The text alone, without HTTP.
    {
        const hv::MetricsSnapshot snapshot = hv::snapshotOf(list, true, 1.5);
        std::vector<double> renderMs;
        for (int i = 0; i < 50; ++i) {
            const auto t0 = Clock::now();
            const std::string text = hv::expositionText(snapshot);
            renderMs.push_back(ms(Clock::now() - t0));
        }
        const Stats r = stats(renderMs);
        std::printf("render alone: median %.2f ms, p95 %.2f ms, max %.2f ms\n", r.median, r.p95,
                    r.max);
    }

    // Scrapes one after another, on their own.
    std::vector<double> scrapeMs;
    std::size_t bytes = 0;
    for (int i = 0; i < 50; ++i) {
        const auto t0 = Clock::now();
        bytes = scrape(server.port());
        scrapeMs.push_back(ms(Clock::now() - t0));
    }
    const Stats s = stats(scrapeMs);
    std::printf("hosts %d, scrape %zu bytes: median %.2f ms, p95 %.2f ms, max %.2f ms\n", hosts,
                bytes, s.median, s.p95, s.max);

    // The main loop alone, then with a client scraping without pause.
    std::vector<double> publishQuiet, publishBusy;
    const Stats quiet = stats(loopLateness(list, server, seconds, &publishQuiet));
    std::atomic<bool> stop{false};
    std::atomic<int> scrapes{0};
    std::thread client([&] {
        while (!stop) {
            if (scrape(server.port()) > 0) ++scrapes;
        }
    });
    const Stats busy = stats(loopLateness(list, server, seconds, &publishBusy));
    stop = true;
    client.join();
    const Stats pq = stats(publishQuiet), pb = stats(publishBusy);
    std::printf("5 ms timer lateness without scrapes: median %.2f ms, p95 %.2f ms, max %.2f ms\n",
                quiet.median, quiet.p95, quiet.max);
    std::printf(
        "5 ms timer lateness with %d scrapes in %.0f s: median %.2f ms, p95 %.2f ms, "
        "max %.2f ms\n",
        scrapes.load(), seconds, busy.median, busy.p95, busy.max);
    std::printf(
        "snapshot + publish on the main thread: median %.2f ms (quiet), %.2f ms (scraping), "
        "max %.2f ms\n",
        pq.median, pb.median, std::max(pq.max, pb.max));
    return 0;
}
