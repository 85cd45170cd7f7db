#pragma once

#include <QIcon>
#include <QObject>

class QMenu;
class QSystemTrayIcon;
class QTimer;
class QWidget;

namespace hv {

// spTrayIcon1: the icon in the notification area from start to exit, no tooltip; the right
// button opens pmMain at the cursor, a left double click asks for the menu's default item
// (miStart) and opens no menu, a single click does nothing. Without a notification area it
// says so once on stderr and shows the icon as soon as one appears; it re-adds the icon when
// the notification area is re-created.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    TrayIcon(QMenu* pmMain, QWidget* owner);
    ~TrayIcon() override;

    bool isShown() const;

    // The tray image: a monitor with a pulse line, drawn at the sizes panels ask for.
    static QIcon trayImage();

signals:
    void defaultItemRequested();

private:
    QMenu* m_menu;
    QWidget* m_owner;
    QSystemTrayIcon* m_icon = nullptr;
    QTimer* m_watch = nullptr;
    bool m_trayAvailable = false;

    void watchTray();
};

}  // namespace hv
