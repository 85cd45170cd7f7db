#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDeadlineTimer>
#include <QProcess>
#include <QVariantMap>

#include "platform/DesktopNotifications.h"

namespace {

using namespace hv;

// A notification server of the test's own: records every Notify call and numbers them.
class RecordingServer : public QDBusVirtualObject {
public:
    struct Call {
        QString app;
        uint replaces;
        QString summary;
        QString body;
        QStringList actions;
        int timeout;
    };
    QList<Call> calls;
    bool refuse = false;  // answer every call with an error

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != QLatin1String("Notify")) return false;
        const QList<QVariant> a = message.arguments();
        if (a.size() != 8) return false;
        calls.append({a[0].toString(), a[1].toUInt(), a[3].toString(), a[4].toString(),
                      a[5].toStringList(), a[7].toInt()});
        if (refuse) {
            connection.send(message.createErrorReply(QStringLiteral("org.example.Refused"),
                                                     QStringLiteral("not now")));
            return true;
        }
        const uint id = calls.last().replaces ? calls.last().replaces : uint(calls.size());
        connection.send(message.createReply(QVariant::fromValue(id)));
        return true;
    }
    QString introspect(const QString&) const override { return {}; }
};

// A session bus of the test's own, so nothing reaches the user's desktop.
class PrivateBus {
public:
    PrivateBus() {
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--session"), QStringLiteral("--nofork"),
                        QStringLiteral("--print-address")});
        if (!m_daemon.waitForStarted(5000)) return;
        QDeadlineTimer deadline(5000);
        while (!m_daemon.canReadLine() && !deadline.hasExpired()) m_daemon.waitForReadyRead(100);
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~PrivateBus() {
        m_daemon.kill();
        m_daemon.waitForFinished(2000);
    }
    QString address() const { return m_address; }

private:
    QProcess m_daemon;
    QString m_address;
};

bool waitFor(const std::function<bool()>& done) {
    QDeadlineTimer deadline(5000);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

TEST(DesktopNotifications, ReportBecomesHeadingsAndEscapedTitles) {
    const Notification both = notificationForReport(
        QStringLiteral("Lost hosts:"), {QStringLiteral("Mail"), QStringLiteral("A<b>&c")},
        QStringLiteral("Appeared hosts:"), {QStringLiteral("Web")});
    EXPECT_EQ(both.summary, QStringLiteral("Lost hosts: / Appeared hosts:"));
    EXPECT_EQ(both.body, QStringLiteral("Mail, A&lt;b&gt;&amp;c\nWeb"));

    const Notification appearedOnly =
        notificationForReport(QStringLiteral("Lost hosts:"), {}, QStringLiteral("Appeared hosts:"),
                              {QStringLiteral("Web")});
    EXPECT_EQ(appearedOnly.summary, QStringLiteral("Appeared hosts:"));
    EXPECT_EQ(appearedOnly.body, QStringLiteral("Web"));
}

TEST(DesktopNotifications, TalksToTheServiceAndHearsClicks) {
#if defined(__SANITIZE_THREAD__)
    // Qt's D-Bus thread takes every call and event over under QMutex and QWaitCondition, which
    // wait on futexes ThreadSanitizer cannot see in an uninstrumented Qt: each hand-over inside
    // Qt and libdbus reads as a race. The class has no thread of its own to check.
    GTEST_SKIP()
        << "not under ThreadSanitizer: Qt's own D-Bus thread hand-overs are invisible to it";
#endif
    PrivateBus bus;
    if (bus.address().isEmpty()) GTEST_SKIP() << "dbus-daemon is not available";
    QDBusConnection serverBus = QDBusConnection::connectToBus(bus.address(), "hv-server");
    QDBusConnection clientBus = QDBusConnection::connectToBus(bus.address(), "hv-client");
    ASSERT_TRUE(serverBus.isConnected() && clientBus.isConnected());

    DesktopNotifications notifications(clientBus);
    EXPECT_FALSE(notifications.available());  // no service yet

    RecordingServer server;
    ASSERT_TRUE(
        serverBus.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"), &server));
    ASSERT_TRUE(serverBus.registerService(QStringLiteral("org.freedesktop.Notifications")));
    EXPECT_TRUE(notifications.available());

    ASSERT_TRUE(notifications.show({QStringLiteral("Lost hosts:"), QStringLiteral("Mail")}, 5000));
    ASSERT_TRUE(waitFor([&] { return notifications.shownId() == 1; }));
    ASSERT_EQ(server.calls.size(), 1);
    EXPECT_EQ(server.calls[0].app, QStringLiteral("Hostvane"));
    EXPECT_EQ(server.calls[0].replaces, 0u);
    EXPECT_EQ(server.calls[0].summary, QStringLiteral("Lost hosts:"));
    EXPECT_EQ(server.calls[0].body, QStringLiteral("Mail"));
    EXPECT_EQ(server.calls[0].timeout, 5000);
    EXPECT_TRUE(server.calls[0].actions.contains(QStringLiteral("default")));

    // The next report replaces the one on screen; 0 means it stays until closed.
    ASSERT_TRUE(notifications.show({QStringLiteral("Appeared hosts:"), QStringLiteral("Mail")}, 0));
    ASSERT_TRUE(waitFor([&] { return server.calls.size() == 2; }));
    EXPECT_EQ(server.calls[1].replaces, 1u);
    EXPECT_EQ(server.calls[1].timeout, 0);

    int clicked = 0;
    QObject::connect(&notifications, &DesktopNotifications::activated, [&] { ++clicked; });
    const auto signal = [&](uint id, const QString& key) {
        QDBusMessage m = QDBusMessage::createSignal(
            QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("ActionInvoked"));
        m << id << key;
        serverBus.send(m);
    };
    signal(7, QStringLiteral("default"));  // another program's notification
    signal(1, QStringLiteral("default"));
    ASSERT_TRUE(waitFor([&] { return clicked >= 1; }));
    QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    EXPECT_EQ(clicked, 1);

    QDBusConnection::disconnectFromBus("hv-server");
    QDBusConnection::disconnectFromBus("hv-client");
}

// No service on the bus, or one that answers with an error: failed() tells why, once per
// notification asked for, and only for the latest one (an earlier one has been replaced).
TEST(DesktopNotifications, AMissingOrRefusingServiceIsReportedAsFailed) {
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP()
        << "not under ThreadSanitizer: Qt's own D-Bus thread hand-overs are invisible to it";
#endif
    PrivateBus bus;
    if (bus.address().isEmpty()) GTEST_SKIP() << "dbus-daemon is not available";
    QDBusConnection serverBus = QDBusConnection::connectToBus(bus.address(), "hv-server2");
    QDBusConnection clientBus = QDBusConnection::connectToBus(bus.address(), "hv-client2");
    ASSERT_TRUE(serverBus.isConnected() && clientBus.isConnected());

    DesktopNotifications notifications(clientBus);
    QStringList failures;
    QObject::connect(&notifications, &DesktopNotifications::failed,
                     [&](const QString& why) { failures << why; });
    const Notification note{QStringLiteral("Lost hosts:"), QStringLiteral("Mail")};

    // Nobody owns the name: the bus answers the call itself.
    ASSERT_TRUE(notifications.show(note, 5000));
    ASSERT_TRUE(waitFor([&] { return !failures.isEmpty(); }));
    EXPECT_TRUE(failures[0].contains(QStringLiteral("ServiceUnknown")))
        << failures[0].toStdString();

    RecordingServer server;
    server.refuse = true;
    ASSERT_TRUE(
        serverBus.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"), &server));
    ASSERT_TRUE(serverBus.registerService(QStringLiteral("org.freedesktop.Notifications")));
    ASSERT_TRUE(notifications.show(note, 5000));
    ASSERT_TRUE(notifications.show(note, 5000));  // replaces the first before either is answered
    ASSERT_TRUE(waitFor([&] { return server.calls.size() == 2 && failures.size() >= 2; }));
    QCoreApplication::processEvents(QEventLoop::AllEvents, 200);
    ASSERT_EQ(failures.size(), 2);
    EXPECT_EQ(failures[1], QStringLiteral("org.example.Refused: not now"));

    // A service that shows it: nothing failed.
    server.refuse = false;
    ASSERT_TRUE(notifications.show(note, 5000));
    ASSERT_TRUE(waitFor([&] { return notifications.shownId() != 0; }));
    QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    EXPECT_EQ(failures.size(), 2);

    QDBusConnection::disconnectFromBus("hv-server2");
    QDBusConnection::disconnectFromBus("hv-client2");
}

}  // namespace
