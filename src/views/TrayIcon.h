#pragma once

#include <QIcon>
#include <QObject>
#include <array>
#include <optional>

#include "checking/OverallStatus.h"

class QMenu;
class QSystemTrayIcon;
class QTimer;
class QWidget;

namespace hv {

// spTrayIcon1: the icon in the notification area from start to exit, no tooltip; the right
// button opens pmMain at the cursor, a left double click asks for the menu's default item
// (miStart) and opens no menu, a single click does nothing. Without a notification area it
// says so once on stderr (availabilityChanged tells when one comes or goes) and shows the icon as
// soon as one appears; it re-adds the icon when the notification area is re-created.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    TrayIcon(QMenu* pmMain, QWidget* owner);
    ~TrayIcon() override;

    bool isShown() const;
    // Whether a notification area is there now (as last seen by the watch).
    bool trayAvailable() const { return m_trayAvailable; }

    // The tray image: a monitor with a pulse line, drawn at the sizes panels ask for.
    static QIcon trayImage();

    // [View] TrayStatus=1: the icon shows the overall state and the tooltip says it (NoHosts
    // keeps the plain image). Nothing: the plain image of the start and no tooltip, as without
    // the key. The icon and the tooltip are handed on only when they change.
    void setStatus(const std::optional<OverallStatus>& status);

signals:
    void defaultItemRequested();
    // A notification area appeared or went away.
    void availabilityChanged(bool available);

private:
    QMenu* m_menu;
    QWidget* m_owner;
    QSystemTrayIcon* m_icon = nullptr;
    QIcon m_plainIcon;  // the one image without TrayStatus, kept so it stays the very same
    std::array<QIcon, 7> m_statusIcons;        // by OverallState, drawn on first use
    std::optional<OverallState> m_shownState;  // what the icon shows; nothing: the plain image
    QString m_shownToolTip;
    QTimer* m_watch = nullptr;
    bool m_trayAvailable = false;
    // The D-Bus StatusNotifier protocol delivers no double click: a left click opens the menu.
    bool m_leftClickOpensMenu = false;

    void watchTray();
};

}  // namespace hv
