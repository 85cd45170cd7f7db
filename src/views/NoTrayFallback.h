#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QTimer;
class QWidget;

namespace hv {

// Without a notification area the user would see nothing of the program. When none has
// appeared some seconds after start, the host state table becomes an ordinary window with a
// taskbar entry, the tray menu's commands in a menu bar and a notice saying why; minimising it
// goes to the taskbar and closing it quits after a question. When a notification area appears,
// the window hides and the program lives in the tray again. Main thread.
class NoTrayFallback : public QObject {
    Q_OBJECT
public:
    static constexpr int kGraceMs = 5000;

    // window: the state table; menu: the tray menu whose commands the menu bar offers.
    NoTrayFallback(QWidget* window, QMenu* menu, std::function<bool()> trayAvailable,
                   int graceMs = kGraceMs);

    bool active() const { return m_active; }

    // Tests replace the question asked on close; it returns true to quit.
    void setQuitQuestion(std::function<bool(QWidget* parent)> ask) { m_ask = std::move(ask); }

    // Rebuilds the notice in the current language.
    void retranslate();

public slots:
    // The notification area came or went (from the tray icon's watch).
    void trayAvailabilityChanged(bool available);

signals:
    // The user confirmed closing the window: the program ends as by Quit.
    void quitRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_window;
    QPointer<QMenu> m_menu;
    std::function<bool()> m_trayAvailable;
    std::function<bool(QWidget*)> m_ask;
    QTimer* m_grace = nullptr;
    QMenuBar* m_bar = nullptr;
    QLabel* m_notice = nullptr;
    bool m_active = false;
    bool m_graceOver = false;
    bool m_quitting = false;  // the application is closing its windows to quit

    void enter();
    void leave();
    void fillBar();
};

}  // namespace hv
