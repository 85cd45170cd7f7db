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
    // ours still on screen. Returns false when there is no session bus.
    virtual bool show(const Notification& notification, int expireMs);

    // The service's id of our notification on screen; 0 until the service has answered.
    uint shownId() const { return m_shownId; }

signals:
    // The user clicked the notification we showed last.
    void activated();

private slots:
    void onActionInvoked(uint id, const QString& actionKey);
    void onClosed(uint id, uint reason);

private:
    QDBusConnection m_bus;
    uint m_shownId = 0;  // the service's id of our notification on screen, 0 when none
};

}  // namespace hv
