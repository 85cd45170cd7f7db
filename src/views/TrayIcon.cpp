#include "views/TrayIcon.h"

#include <QCursor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>
#include <cstdio>

#include "views/TrayStatusImages.h"

namespace hv {

namespace {

constexpr int kWatchIntervalMs = 1000;

// Qt shows the icon through the D-Bus StatusNotifier protocol when a host of it is on the
// session bus; that protocol has no double click.
bool statusNotifierHostPresent() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()) return false;
    const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
    if (!bus.interface()->isServiceRegistered(watcher).value()) return false;
    QDBusInterface iface(watcher, QStringLiteral("/StatusNotifierWatcher"), watcher, bus);
    iface.setTimeout(1000);
    return iface.property("IsStatusNotifierHostRegistered").toBool();
}

QPixmap drawTrayImage(int side) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(side / 16.0, side / 16.0);
    // A screen with its stand and a green pulse across it.
    p.setPen(QPen(QColor(0x20, 0x2a, 0x3c), 1.0));
    p.setBrush(QColor(0x1d, 0x3b, 0x6e));
    p.drawRoundedRect(QRectF(0.5, 1.5, 15, 10.5), 1.5, 1.5);
    p.setBrush(QColor(0x60, 0x66, 0x70));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(6.5, 12.0, 3, 1.8));
    p.drawRoundedRect(QRectF(4.0, 13.6, 8, 1.9), 0.8, 0.8);
    QPainterPath pulse;
    pulse.moveTo(2.0, 7.2);
    pulse.lineTo(5.0, 7.2);
    pulse.lineTo(6.6, 3.8);
    pulse.lineTo(8.6, 10.2);
    pulse.lineTo(10.2, 6.0);
    pulse.lineTo(11.2, 7.2);
    pulse.lineTo(14.0, 7.2);
    p.setPen(QPen(QColor(0x57, 0xe3, 0x6b), 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(pulse);
    p.end();
    return QPixmap::fromImage(image);
}

}  // namespace

QIcon TrayIcon::trayImage() {
    QIcon icon;
    for (int side : {16, 22, 24, 32, 48, 64}) icon.addPixmap(drawTrayImage(side));
    return icon;
}

TrayIcon::TrayIcon(QMenu* pmMain, QWidget* owner) : QObject(owner), m_menu(pmMain), m_owner(owner) {
    m_plainIcon = trayImage();
    m_icon = new QSystemTrayIcon(m_plainIcon, this);
    m_icon->setToolTip(QString());
    // The right button opens the menu at the cursor; the left button opens nothing.
    m_icon->setContextMenu(m_menu);
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        // A single click (Trigger) does nothing; a double click runs the default item.
        if (r == QSystemTrayIcon::DoubleClick) emit defaultItemRequested();
        if (r == QSystemTrayIcon::Trigger && m_leftClickOpensMenu && m_menu)
            m_menu->popup(QCursor::pos());
    });

    // Nothing of the program is on screen at start but the icon.
    if (m_owner) m_owner->hide();

    m_trayAvailable = QSystemTrayIcon::isSystemTrayAvailable();
    m_leftClickOpensMenu = statusNotifierHostPresent();
    if (!m_trayAvailable)
        std::fprintf(stderr,
                     "hostvane: no notification area yet; the tray icon appears as soon as one "
                     "starts\n");
    m_icon->show();

    // Watches for a notification area that appears or is re-created, and docks again there.
    m_watch = new QTimer(this);
    m_watch->setInterval(kWatchIntervalMs);
    connect(m_watch, &QTimer::timeout, this, &TrayIcon::watchTray);
    m_watch->start();
}

TrayIcon::~TrayIcon() {
    if (m_icon) m_icon->hide();  // out of the tray at exit
}

void TrayIcon::setStatus(const std::optional<OverallStatus>& status) {
    const std::optional<OverallState> state = status ? std::optional(status->state) : std::nullopt;
    // Plain text: its first line is ours, so a title such as "<b>lab</b>" further down is
    // never taken for markup.
    const QString tip = status ? status->toolTip() : QString();
    if (state != m_shownState) {
        m_shownState = state;
        if (!state || *state == OverallState::NoHosts) {
            m_icon->setIcon(m_plainIcon);
        } else {
            QIcon& icon = m_statusIcons[static_cast<std::size_t>(*state)];
            if (icon.isNull()) icon = TrayStatusImages::icon(*state);
            m_icon->setIcon(icon);
        }
    }
    if (tip != m_shownToolTip) {
        m_shownToolTip = tip;
        m_icon->setToolTip(tip);
    }
}

bool TrayIcon::isShown() const {
    return m_icon && m_icon->isVisible() && QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::watchTray() {
    const bool available = QSystemTrayIcon::isSystemTrayAvailable();
    if (available && !m_trayAvailable) {
        // A new notification area: dock into it afresh.
        m_icon->hide();
        m_icon->show();
    }
    const bool changed = available != m_trayAvailable;
    m_trayAvailable = available;
    if (changed) emit availabilityChanged(available);
}

}  // namespace hv
