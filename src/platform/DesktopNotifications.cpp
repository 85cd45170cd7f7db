#include "platform/DesktopNotifications.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace hv {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kDefaultAction = QStringLiteral("default");

}  // namespace

Notification notificationForReport(const QString& lostHeading, const QStringList& lost,
                                   const QString& appearedHeading, const QStringList& appeared) {
    Notification n;
    QStringList headings;
    QStringList lines;
    const auto block = [&](const QString& heading, const QStringList& titles) {
        if (titles.isEmpty()) return;
        headings << heading.trimmed();
        QStringList escaped;
        for (const QString& t : titles) escaped << t.toHtmlEscaped();
        lines << escaped.join(QStringLiteral(", "));
    };
    block(lostHeading, lost);
    block(appearedHeading, appeared);
    n.summary = headings.join(QStringLiteral(" / "));
    n.body = lines.join(QLatin1Char('\n'));
    return n;
}

DesktopNotifications::DesktopNotifications(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), m_bus(bus) {
    // Any sender: the service may start, or be replaced, after us.
    m_bus.connect(QString(), kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                  SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(QString(), kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                  SLOT(onClosed(uint, uint)));
}

bool DesktopNotifications::available() const {
    if (!m_bus.isConnected() || !m_bus.interface()) return false;
    return m_bus.interface()->isServiceRegistered(kService).value();
}

bool DesktopNotifications::show(const Notification& notification, int expireMs) {
    if (!m_bus.isConnected()) return false;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    const QStringList actions{kDefaultAction, QString()};
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("org.example.Hostvane"));
    call << QStringLiteral("Hostvane") << m_shownId << QStringLiteral("hostvane")
         << notification.summary << notification.body << actions << hints
         << qint32(expireMs > 0 ? expireMs : 0);
    // Asynchronous: a slow or hung service must not hold up the main thread.
    // A missing service is an error answer too (the bus says so at once), so no check for
    // the service beforehand is needed; that check would block.
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, 5000), this);
    const quint64 serial = ++m_calls;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, serial](QDBusPendingCallWatcher* w) {
                const QDBusPendingReply<uint> reply = *w;
                w->deleteLater();
                if (!reply.isError()) {
                    m_shownId = reply.value();
                    return;
                }
                if (serial != m_calls) return;
                const QDBusError error = reply.error();
                emit failed(error.message().isEmpty()
                                ? error.name()
                                : error.name() + QStringLiteral(": ") + error.message());
            });
    return true;
}

void DesktopNotifications::onActionInvoked(uint id, const QString& actionKey) {
    if (id == m_shownId && id != 0 && actionKey == kDefaultAction) emit activated();
}

void DesktopNotifications::onClosed(uint id, uint) {
    if (id == m_shownId) m_shownId = 0;
}

}  // namespace hv
