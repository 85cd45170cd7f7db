#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLocalSocket>
#include <QTimer>
#include <cstdlib>

#include "TestSupport.h"
#include "platform/InstanceLock.h"

using hv::InstanceLock;

namespace {

// Runs the event loop until count reaches want or ten seconds pass.
void processUntil(const int& count, int want) {
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (count >= want) loop.quit();
    });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    tick.start(10);
    loop.exec();
}

void sendRaw(const QString& path, const QByteArray& bytes) {
    QLocalSocket socket;
    socket.connectToServer(path);
    ASSERT_TRUE(socket.waitForConnected(2000));
    socket.write(bytes);
    ASSERT_TRUE(socket.waitForBytesWritten(2000));
    socket.disconnectFromServer();
}

}  // namespace

TEST(InstanceLock, MutexNameKeepsAtMost512Characters) {
    EXPECT_EQ(InstanceLock::mutexName("hostvane"), "PREVINST:hostvane");
    EXPECT_EQ(InstanceLock::mutexName("Host"), "PREVINST:Host");
    EXPECT_EQ(InstanceLock::mutexName(QString(512, 'a')), "PREVINST:" + QString(512, 'a'));
    EXPECT_EQ(InstanceLock::mutexName(QString(600, 'a')), "PREVINST:" + QString(512, 'a'));
}

TEST(InstanceLock, OneHolderPerName) {
    hvtest::TempDir dir;
    auto first = std::make_unique<InstanceLock>("PREVINST:hostvane", dir.path());
    InstanceLock second("PREVINST:hostvane", dir.path());
    InstanceLock other("PREVINST:hostvane2", dir.path());
    InstanceLock otherCase("PREVINST:Hostvane", dir.path());
    EXPECT_TRUE(first->acquire());
    EXPECT_TRUE(first->acquire());  // asking again changes nothing
    EXPECT_TRUE(first->isFirstInstance());
    EXPECT_FALSE(second.acquire());
    EXPECT_FALSE(second.isFirstInstance());
    EXPECT_TRUE(other.acquire());
    EXPECT_TRUE(otherCase.acquire());
    EXPECT_EQ(QFileInfo(first->lockPath()).fileName(), "PREVINST:hostvane");
    EXPECT_EQ(QFileInfo(first->lockPath()).permissions() & 0x0077, 0);  // no group/other bits

    // The lock ends with its holder; the lock file may stay.
    first.reset();
    EXPECT_TRUE(second.acquire());
    EXPECT_TRUE(second.failureReason().isEmpty());
}

TEST(InstanceLock, ALockFileThatCannotBeOpenedSaysWhy) {
    hvtest::TempDir dir;
    InstanceLock held("PREVINST:hostvane", dir.path());
    ASSERT_TRUE(held.acquire());
    InstanceLock later("PREVINST:hostvane", dir.path());
    EXPECT_FALSE(later.acquire());
    EXPECT_TRUE(later.failureReason().isEmpty());  // simply held by another copy

    // A folder where the lock file should be: not held by anybody, yet not ours to take.
    ASSERT_TRUE(QDir(dir.path()).mkdir("PREVINST:other"));
    InstanceLock blocked("PREVINST:other", dir.path());
    EXPECT_FALSE(blocked.acquire());
    EXPECT_TRUE(blocked.failureReason().contains("PREVINST:other"))
        << blocked.failureReason().toStdString();
}

TEST(InstanceLock, LongNamesStayDistinct) {
    hvtest::TempDir dir;
    const QString longName = InstanceLock::mutexName(QString(600, 'x'));
    InstanceLock a(longName, dir.path());
    InstanceLock sameAfterCut(InstanceLock::mutexName(QString(700, 'x')), dir.path());
    InstanceLock differsAtTheEnd(InstanceLock::mutexName(QString(511, 'x') + "y"), dir.path());
    EXPECT_TRUE(a.acquire());
    EXPECT_FALSE(sameAfterCut.acquire());
    EXPECT_TRUE(differsAtTheEnd.acquire());
    EXPECT_LE(QFile::encodeName(QFileInfo(a.lockPath()).fileName()).size(), 255);
    EXPECT_LE(QFile::encodeName(a.socketPath()).size(), 107);
    EXPECT_NE(a.socketPath(), differsAtTheEnd.socketPath());
}

TEST(InstanceLock, LaterCopyActivatesTheFirst) {
    hvtest::TempDir dir;
    InstanceLock first("PREVINST:hostvane", dir.path());
    // A socket file left by a copy that died does not stop the new first copy.
    dir.write(QFileInfo(first.socketPath()).fileName(), "stale");
    ASSERT_TRUE(first.acquire());
    int requests = 0;
    QObject::connect(&first, &InstanceLock::activationRequested, [&] { ++requests; });

    // Other talk on the socket is not a request.
    sendRaw(first.socketPath(), "hello\n");
    sendRaw(first.socketPath(), QByteArray(200, 'a'));

    InstanceLock later("PREVINST:hostvane", dir.path());
    ASSERT_FALSE(later.acquire());
    later.activatePreviousInstance();
    processUntil(requests, 1);
    EXPECT_EQ(requests, 1);

    later.activatePreviousInstance();
    processUntil(requests, 2);
    // Let anything still queued arrive: only the two real requests count.
    QEventLoop settle;
    QTimer::singleShot(300, &settle, &QEventLoop::quit);
    settle.exec();
    EXPECT_EQ(requests, 2);
}

TEST(InstanceLock, ActivationWithoutARunningCopyReturns) {
    hvtest::TempDir dir;
    InstanceLock lonely("PREVINST:nobody", dir.path());
    lonely.activatePreviousInstance();
    // A dead copy's socket file answers nobody either.
    dir.write(QFileInfo(lonely.socketPath()).fileName(), "stale");
    lonely.activatePreviousInstance();
    InstanceLock nowhere("PREVINST:nobody", dir.file("missing"));
    EXPECT_FALSE(nowhere.acquire());
    nowhere.activatePreviousInstance();
}

TEST(InstanceLock, RuntimeFolder) {
    hvtest::TempDir dir;
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.path()));
    EXPECT_EQ(InstanceLock::runtimeDir(), dir.path());
    qputenv("XDG_RUNTIME_DIR", saved);

    // The fallback folder is made private, and refused when it is not.
    const QString made = dir.file("mine");
    EXPECT_EQ(InstanceLock::privateDir(made), made);
    EXPECT_EQ(QFileInfo(made).permissions() & 0x0077, 0);
    EXPECT_EQ(InstanceLock::privateDir(made), made);

    const QString open = dir.file("open");
    QDir().mkpath(open);
    ::chmod(QFile::encodeName(open).constData(), 0755);
    EXPECT_EQ(InstanceLock::privateDir(open), QString());

    const QString link = dir.file("link");
    ASSERT_TRUE(QFile::link(made, link));
    EXPECT_EQ(InstanceLock::privateDir(link), QString());

    const QString file = dir.write("file", "x");
    EXPECT_EQ(InstanceLock::privateDir(file), QString());
}
