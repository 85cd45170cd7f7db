#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>

namespace hv {

// One notification as the desktop's notification service shows it.
struct Notification {
    QString summary;
    QString body;
};

// The report as a notification: its headings as the summary, the titles as the body, each
// block's titles on its own line. Titles are escaped, since servers may read the body as
// markup.
Notification notificationForReport(const QString& lostHeading, const QStringList& lost,
                                   const QString& appearedHeading, const QStringList& appeared);

// The freedesktop notification service (org.freedesktop.Notifications) on the session bus.
// Main thread. A new report replaces the one still shown.
class DesktopNotifications : public QObject {
    Q_OBJECT
public:
    explicit DesktopNotifications(const QDBusConnection& bus = QDBusConnection::sessionBus(),
                                  QObject* parent = nullptr);

    // Whether a notification service is on the bus now.
    bool available() const;

    // Shows the notification for expireMs milliseconds (0: until the user closes it), replacing
    // ours still on screen. Returns false when there is no session bus; a call the bus or the
    // service answers with an error emits failed() later.
    virtual bool show(const Notification& notification, int expireMs);

    // The service's id of our notification on screen; 0 until the service has answered.
    uint shownId() const { return m_shownId; }

signals:
    // The user clicked the notification we showed last.
    void activated();
    // The latest notification asked for could not be shown (no service on the bus, or the
    // service refused it); reason is the bus's error. An earlier one failing says nothing, as
    // the latest has replaced it.
    void failed(const QString& reason);

private slots:
    void onActionInvoked(uint id, const QString& actionKey);
    void onClosed(uint id, uint reason);

private:
    QDBusConnection m_bus;
    uint m_shownId = 0;   // the service's id of our notification on screen, 0 when none
    quint64 m_calls = 0;  // Notify calls made so far: tells the latest one's answer apart
};

}  // namespace hv
