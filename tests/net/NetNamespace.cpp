#include "NetNamespace.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <sched.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QDir>
#include <atomic>
#include <cerrno>
#include <thread>

#include "TestSupport.h"

namespace hvtest {

namespace {

constexpr int kCommandMs = 10000;

bool runIp(const QStringList& args) {
    QByteArray out, err;
    const int rc = runCommand(QStringLiteral("ip"), args, kCommandMs, &out, &err);
    if (rc != 0) {
        ADD_FAILURE() << "ip " << args.join(' ').toStdString() << " failed (" << rc
                      << "): " << err.toStdString();
    }
    return rc == 0;
}

// Namespaces left by test runs that died before their clean-up.
void sweepStale() {
    const QStringList names = QDir(QStringLiteral("/run/netns")).entryList(QDir::Files);
    for (const QString& n : names) {
        if (!n.startsWith(QStringLiteral("hvt"))) continue;
        const QString digits = n.mid(3).section(QLatin1Char('_'), 0, 0);
        bool isNumber = false;
        const int pid = digits.toInt(&isNumber);
        if (!isNumber || pid == getpid()) continue;
        if (::kill(pid, 0) == 0 || errno == EPERM) continue;  // its test still runs
        runCommand(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("del"), n},
                   kCommandMs);
    }
}

std::atomic<int> g_serial{0};

}  // namespace

QString NetNamespace::unavailableReason() {
    if (!isRoot()) return QStringLiteral("needs root to create network namespaces");
    if (runCommand(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("list")},
                   kCommandMs) != 0)
        return QStringLiteral("`ip netns` is not available");
    return {};
}

NetNamespace::NetNamespace(const char* tag) {
    static bool swept = false;
    if (!swept) {
        swept = true;
        sweepStale();
    }
    // At most 15 characters, so the name also serves for a veth device.
    m_name =
        "hvt" + std::to_string(getpid() % 10000000) + "_" + std::to_string(g_serial++ % 100) + tag;
    m_ok =
        runIp({QStringLiteral("netns"), QStringLiteral("add"), QString::fromStdString(m_name)}) &&
        ip({QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("lo"),
            QStringLiteral("up")});
}

NetNamespace::~NetNamespace() {
    runCommand(QStringLiteral("ip"),
               {QStringLiteral("netns"), QStringLiteral("del"), QString::fromStdString(m_name)},
               kCommandMs);
}

bool NetNamespace::ip(const QStringList& args) const {
    return runIp(QStringList{QStringLiteral("-n"), QString::fromStdString(m_name)} + args);
}

bool NetNamespace::sysctl(const QString& assignment) const {
    QByteArray err;
    const int rc = runCommand(
        QStringLiteral("ip"),
        {QStringLiteral("netns"), QStringLiteral("exec"), QString::fromStdString(m_name),
         QStringLiteral("sysctl"), QStringLiteral("-q"), QStringLiteral("-w"), assignment},
        kCommandMs, nullptr, &err);
    if (rc != 0)
        ADD_FAILURE() << "sysctl " << assignment.toStdString() << ": " << err.toStdString();
    return rc == 0;
}

void NetNamespace::run(const std::function<void()>& body, bool dropRaw) const {
    std::string failure;
    std::thread worker([&] {
        // setns and capset both act on the calling thread alone.
        const std::string path = "/run/netns/" + m_name;
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || ::setns(fd, CLONE_NEWNET) != 0) {
            failure = "cannot join " + m_name;
            if (fd >= 0) ::close(fd);
            return;
        }
        ::close(fd);
        if (dropRaw) {
            __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
            __user_cap_data_struct data[2]{};
            if (::syscall(SYS_capget, &header, data) != 0) {
                failure = "capget failed";
                return;
            }
            const unsigned bit = 1u << CAP_NET_RAW;
            data[0].effective &= ~bit;
            data[0].permitted &= ~bit;
            data[0].inheritable &= ~bit;
            if (::syscall(SYS_capset, &header, data) != 0) {
                failure = "capset failed";
                return;
            }
        }
        body();
    });
    worker.join();
    if (!failure.empty()) ADD_FAILURE() << failure;
}

bool NetNamespace::link(NetNamespace& a, NetNamespace& b) {
    const QString na = QString::fromStdString(a.name());
    const QString nb = QString::fromStdString(b.name());
    return runIp({QStringLiteral("link"), QStringLiteral("add"), na, QStringLiteral("netns"), na,
                  QStringLiteral("type"), QStringLiteral("veth"), QStringLiteral("peer"),
                  QStringLiteral("name"), nb, QStringLiteral("netns"), nb}) &&
           a.ip({QStringLiteral("addr"), QStringLiteral("add"), QStringLiteral("198.51.100.1/25"),
                 QStringLiteral("dev"), na}) &&
           b.ip({QStringLiteral("addr"), QStringLiteral("add"), QStringLiteral("198.51.100.2/25"),
                 QStringLiteral("dev"), nb}) &&
           a.ip({QStringLiteral("link"), QStringLiteral("set"), na, QStringLiteral("up")}) &&
           b.ip({QStringLiteral("link"), QStringLiteral("set"), nb, QStringLiteral("up")});
}

}  // namespace hvtest
